// Dragging the picture with the left button where it is larger than the
// client area, and the hand cursor over a picture that can be moved.
#pragma once
#include <windows.h>

#include "app/app.h"

// WM_LBUTTONDOWN at client point (x, y): over a picture that can be moved,
// the drag begins and the window takes the mouse capture.
void begin_picture_drag(HWND window, int x, int y, Shell* shell);

// WM_MOUSEMOVE at client point (x, y), signed: while captured the cursor
// may be left of or above the client area. Moves the picture by the
// cursor's move since the last message.
void continue_picture_drag(int x, int y, Shell* shell);

// WM_LBUTTONUP: the drag ends and the capture is given back.
void end_picture_drag(Shell* shell);

// WM_CAPTURECHANGED: another window took the capture (the right button's
// menu, a dialog) or it was given back; the drag is over.
void lose_picture_drag(Shell* shell);

// WM_SETCURSOR for the client area: the hand over a picture that can be
// moved (true, cursor set), else false for the class's arrow.
bool set_picture_cursor(HWND window, Shell* shell);
