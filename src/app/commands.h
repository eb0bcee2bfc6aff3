// The command keys, the context menu whose items are the same commands, and
// the fullscreen switch.
#pragma once
#include <windows.h>

#include <cstdint>

#include "app/app.h"

// WM_KEYDOWN: carries out the command of the virtual-key code and refreshes
// the title. Nothing acts while Ctrl, Shift or a Windows key is held.
void handle_command_key(HWND window, WPARAM key, Shell* shell);

// WM_MOUSEWHEEL with the wheel's delta: one zoom step a notch, away from the
// user zooming in, and the title; also with Ctrl held, not with Shift or a
// Windows key. What is short of a notch waits for the next turn.
void turn_wheel(HWND window, int delta, Shell* shell);

// The context menu, built from the current state; its choice comes back to
// the window as WM_KEYDOWN with the item's key code. (x, y) is the menu's
// top-left corner in client coordinates, or negative to centre it on the
// window.
void show_context_menu(HWND window, int x, int y, Shell* shell);

// Where a popup menu of window opens: at the client point (x, y), or centred
// over the window when x or y is negative (the context-menu key). Stores the
// screen point in *at and returns the TrackPopupMenuEx alignment flags.
UINT popup_menu_position(HWND window, int x, int y, POINT* at);

// Switches between the window with its caption and frame and a borderless
// window over the whole primary screen with black bars.
void toggle_fullscreen(HWND window, Shell* shell);
