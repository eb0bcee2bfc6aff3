// The single-instance hand-over: a second start sends its file to the
// running window with WM_COPYDATA and ends; the running window answers at
// once and loads the file afterwards.
#pragma once
#include <windows.h>

#include "app/app.h"

// A second start's side: sends the command-line file to the running window.
// Returns 1 when it acknowledged.
int hand_over_to_running_instance();

// The running window's side of WM_COPYDATA; returns the answer at once, also
// during a load. An accepted path is kept in handed_over_path and loaded
// later, on WM_APP_LOAD_HANDED_OVER, so the sender does not wait for the
// decode; the file on show handed over again raises the window at once.
LRESULT receive_handover(HWND window, WPARAM wparam, const COPYDATASTRUCT* data, Shell* shell);

// Posts WM_APP_LOAD_HANDED_OVER for handed_over_path; when the queue is
// full, loads it now, or (during a load) leaves it to the load's end.
void post_handed_over_load(HWND window, Shell* shell);

// WM_APP_LOAD_HANDED_OVER: loads the last path handed over since the
// message was posted.
void load_handed_over_file(HWND window, Shell* shell);
