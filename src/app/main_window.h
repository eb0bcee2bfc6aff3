// The main window: its class and message routing, and the status line. The
// load sequence every file choice ends in is in load.h.
#pragma once
#include <windows.h>

#include <cstdint>

#include "app/app.h"

// Registers the main window class for shell; returns its atom, 0 on failure.
ATOM register_main_class(HINSTANCE instance, Shell* shell);

// Brings the window to the front (or the modal box it has open), or restores
// it when it is minimised.
void raise_window(HWND window);

// The dots per inch of the monitor the window is on (GetDpiForWindow where
// the system has it, else the screen's LOGPIXELSX).
UINT window_dpi(HWND window);

// Writes the status line of the player's state (format_title); path is the
// file's, or null to keep the name.
LRESULT update_title(HWND window, const wchar_t* path, Shell* shell);
