// The main window: its class, the load sequence every file choice ends in,
// and the status line.
#pragma once
#include <windows.h>

#include <cstdint>

#include "app/app.h"

// Registers the main window class for shell; returns its atom, 0 on failure.
ATOM register_main_class(HINSTANCE instance, Shell* shell);

// Loads requested_path into the window: the same path only raises the window
// and resumes a paused animation; another path replaces the animation on show,
// or clears the window (title "Zoetra", both paths emptied) when it cannot be
// used. While it runs, the window answers the messages other threads and
// programs send, by the rules of a load (main_window_proc).
void load_requested_file(HWND window, Shell* shell);

// Brings the window to the front, or restores it when it is minimised.
void raise_window(HWND window);

// The dots per inch of the monitor the window is on (GetDpiForWindow where
// the system has it, else the screen's LOGPIXELSX).
UINT window_dpi(HWND window);

// Writes the status line; path (or null to keep the name) and the frame
// number (0 for none, else 1-based).
LRESULT update_title(HWND window, const wchar_t* path, Shell* shell, uint32_t frame_number);
