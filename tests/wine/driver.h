// What the test driver's command files share.
#pragma once
#include <windows.h>

#include <cstdint>

// The class zoetra.exe registers for its main window.
constexpr wchar_t MAIN_CLASS_NAME[] = L"ZoetraClass123";

inline HWND find_main_window() { return FindWindowW(MAIN_CLASS_NAME, nullptr); }

// Asks ready() every interval_ms until it says true (returns true) or more
// than seconds have passed (returns false).
template <typename Ready>
bool wait_until(double seconds, DWORD interval_ms, Ready ready) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (ready()) return true;
        if (GetTickCount() - start > DWORD(seconds * 1000)) return false;
        Sleep(interval_ms);
    }
}

// Writes text as UTF-8 plus a newline, with no carriage return.
void print_utf8(const wchar_t* text);

// Reads the window's title (WM_GETTEXT, given up after 5 s if the window
// hangs). Returns 1, or 0 with an empty title.
int read_title(HWND window, wchar_t* title, int capacity);

// The header of a width x height DIB of 32-bit pixels, rows top-down.
inline BITMAPINFO top_down_info(LONG width, LONG height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// Copies the window's client area, through its device context, into a
// malloc'd top-down buffer of 0x00RRGGBB pixels (the caller frees it).
// Returns false, with nothing to free, when the area is empty or the copy
// fails.
bool client_picture(HWND window, uint32_t** pixels, LONG* width, LONG* height);
