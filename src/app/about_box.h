// The About box.
#pragma once
#include <windows.h>

// The modal About box over owner; returns when it is closed.
void show_about_box(HWND owner);
