// What the test driver's command files share.
#pragma once
#include <windows.h>

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
