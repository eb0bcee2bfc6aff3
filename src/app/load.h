// The load sequence every file choice ends in, and the window's rules while
// it runs: what is answered at once, what waits in the queue for after the
// load, and the loading preview's hook into the window.
#pragma once
#include <windows.h>

#include "app/app.h"

// Loads requested_path into the window: the same path only raises the window
// and plays a paused animation on, as P does; another path replaces the
// animation on show, or clears the window (title "Zoetra", both paths
// emptied) when it cannot be used. While it runs, the messages that other
// threads and programs send are answered by answer_during_load.
void load_requested_file(HWND window, Shell* shell);

// Dispatches the keys and clicks that wait in the queue. A load that a
// posted message starts (a hand-over's) would otherwise overtake them, since
// the queue hands out posted messages first, and they would act on the next
// file: a key pressed while the window's thread was busy comes first.
void dispatch_waiting_input();

// A message that reaches the window during a load, sent by another thread or
// program while the decoder looks at the queue, or by the load itself.
// Nothing may then change the animation, open a modal loop or start another
// load: keys, commands, clicks, double clicks, the wheel, drops, load
// requests and a close are posted again, for after the load; a drag does
// nothing (one held when the load began has ended); and a size change only
// lays out (painted after the load, or by the preview's next frame).
// Returns false for a message that is handled as at any other time
// (WM_PAINT, which reads the frame on show under the paint lock,
// WM_COPYDATA, WM_DPICHANGED, the system's messages), else true with its
// answer in *result.
bool answer_during_load(HWND window, UINT message, WPARAM wparam, LPARAM lparam, Shell* shell,
                        LRESULT* result);

// Lays the view out for the client area as it is now and repaints it; during
// a load only marks it for repainting.
void lay_out_client(HWND window, Shell* shell);
