// zoetra.exe: start-up. One window per user session: a second start hands
// its file to the running window and ends.
#include <windows.h>

#include "app/app.h"
#include "app/handover.h"
#include "app/main_window.h"

namespace {

// The instance marker: "765JksОRМ&8№9!ьЗVa", with Cyrillic О, М, ь, З and
// the numero sign among its 18 units.
constexpr wchar_t INSTANCE_MUTEX_NAME[] = L"765Jks\u041ER\u041C&8\u21169!\u044C\u0417Va";
static_assert(sizeof(INSTANCE_MUTEX_NAME) / sizeof(wchar_t) == 19, "18 units and a terminator");

constexpr int WINDOW_WIDTH = 480;
constexpr int WINDOW_HEIGHT = 360;

// The program's records, once.
Shell shell;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, INSTANCE_MUTEX_NAME);
    if (GetLastError() == ERROR_ALREADY_EXISTS && hand_over_to_running_instance()) {
        CloseHandle(mutex);
        return 0;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!register_main_class(instance, &shell)) {
        // No window can be made: a failure, as below.
        if (mutex) CloseHandle(mutex);
        return 1;
    }
    HWND window = CreateWindowExW(WS_EX_ACCEPTFILES, MAIN_CLASS_NAME, PROGRAM_TITLE,
                                  WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, WINDOW_WIDTH,
                                  WINDOW_HEIGHT, nullptr, nullptr, instance, nullptr);
    if (!window) {
        // No window to wait for: end instead of looping invisibly.
        if (mutex) CloseHandle(mutex);
        return 1;
    }
    // The outer size is meant at 96 dots per inch: on a scaled display the
    // window is as large to the eye (and "100%" still one pixel per pixel).
    const int dpi = int(shell.dpi);
    if (dpi != USER_DEFAULT_SCREEN_DPI) {
        SetWindowPos(window, nullptr, 0, 0, MulDiv(WINDOW_WIDTH, dpi, USER_DEFAULT_SCREEN_DPI),
                     MulDiv(WINDOW_HEIGHT, dpi, USER_DEFAULT_SCREEN_DPI),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    // The first file is decoded before the message loop starts.
    SendMessageW(window, WM_APP_LOAD_COMMAND_LINE, 0, 0);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    if (mutex) CloseHandle(mutex);
    return 0;
}
