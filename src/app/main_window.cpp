// The main window: its class, its message routing, what window creation
// makes and teardown releases, and the status line.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

#include "app/main_window.h"

#include "app/commands.h"
#include "app/file_choices.h"
#include "app/handover.h"
#include "app/load.h"
#include "app/picture_drag.h"
#include "platform/os.h"
#include "player/load_steps.h"
#include "player/playback.h"
#include "player/view.h"
#include "res/resource_ids.h"

namespace {

// The records the window procedure works on; set by register_main_class.
Shell* window_shell;

// Window creation: everything the player needs for the life of the window.
// Returns false when part of it cannot be had.
bool create_window_resources(HWND window, Shell* shell) {
    Player* player = &shell->player;
    shell->table = static_cast<LzwTable*>(std::calloc(1, sizeof(LzwTable)));
    player->window = window;
    player->window_dc = GetDC(window);
    player->memory_dc = CreateCompatibleDC(nullptr);
    // Unnamed: a named event would be shared with every other window of the
    // program, and with any program that picks the same name.
    player->stop_event = os_event_create();
    player->background_brush = GetSysColorBrush(COLOR_APPWORKSPACE);
    player->animation = &shell->animation;
    shell->dpi = window_dpi(window);
    if (player->window_dc) {
        SetStretchBltMode(static_cast<HDC>(player->window_dc), HALFTONE);
        SetBrushOrgEx(static_cast<HDC>(player->window_dc), 0, 0, nullptr);
    }
    return shell->table && player->window_dc && player->memory_dc && player->stop_event;
}

void tear_down_main_window(HWND window, Shell* shell) {
    Player* player = &shell->player;
    unload_animation(player);
    std::free(shell->table);
    shell->table = nullptr;
    if (player->window_dc) ReleaseDC(window, static_cast<HDC>(player->window_dc));
    player->window_dc = nullptr;
    if (player->memory_dc) DeleteDC(static_cast<HDC>(player->memory_dc));
    player->memory_dc = nullptr;
    if (player->stop_event) os_event_destroy(player->stop_event);
    player->stop_event = nullptr;
}

void drop_files(HWND window, HDROP drop, Shell* shell) {
    if (!take_dropped_path(drop, shell->requested_path)) return;
    raise_window(window);
    load_requested_file(window, shell);
}

// WM_DPICHANGED: the window went to a monitor of another scale, or the scale
// changed. A normal window takes the rectangle the system suggests; in
// fullscreen the window keeps covering the primary screen, and the rectangle
// it returns to is scaled, so that it comes back at the same apparent size.
// The picture keeps one pixel per screen pixel at "100%".
void change_dpi(HWND window, UINT dpi, const RECT* suggested, Shell* shell) {
    if (dpi == 0) return;
    const int old_dpi = shell->dpi ? int(shell->dpi) : USER_DEFAULT_SCREEN_DPI;
    shell->dpi = dpi;
    RECT target;
    if (shell->player.fullscreen) {
        RECT& saved = shell->saved_window_rect;
        saved.right = saved.left + MulDiv(saved.right - saved.left, int(dpi), old_dpi);
        saved.bottom = saved.top + MulDiv(saved.bottom - saved.top, int(dpi), old_dpi);
        GetWindowRect(GetDesktopWindow(), &target);
    } else if (suggested) {
        target = *suggested;
    } else {
        return;
    }
    SetWindowPos(window, nullptr, target.left, target.top, target.right - target.left,
                 target.bottom - target.top, SWP_NOZORDER | SWP_NOACTIVATE);
    lay_out_client(window, shell);
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Shell* shell = window_shell;
    LRESULT answer;
    if (shell->loading && answer_during_load(window, message, wparam, lparam, shell, &answer)) {
        return answer;
    }
    switch (message) {
    case WM_CREATE:
        // -1 makes CreateWindowExW fail; WM_DESTROY still tears down what exists.
        return create_window_resources(window, shell) ? 0 : -1;
    case WM_DESTROY:
        tear_down_main_window(window, shell);
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        resize_view(LOWORD(lparam), HIWORD(lparam), &shell->player);
        return 0;
    case WM_PAINT:
        paint_view(window, &shell->animation, &shell->player);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // painting covers every pixel of the client area
    case WM_COPYDATA:
        return receive_handover(window, wparam, reinterpret_cast<const COPYDATASTRUCT*>(lparam), shell);
    case WM_KEYDOWN:
        handle_command_key(window, wparam, shell);
        return 0;
    case WM_RBUTTONDOWN:
        show_context_menu(window, int(short(LOWORD(lparam))), int(short(HIWORD(lparam))), shell);
        return 0;
    case WM_LBUTTONDBLCLK:
        handle_command_key(window, VK_F11, shell);  // the key's path: its modifier rule holds
        return 0;
    case WM_MOUSEWHEEL:
        turn_wheel(window, GET_WHEEL_DELTA_WPARAM(wparam), shell);
        return 0;
    case WM_LBUTTONDOWN:
        begin_picture_drag(window, int(short(LOWORD(lparam))), int(short(HIWORD(lparam))), shell);
        return 0;
    case WM_MOUSEMOVE:
        continue_picture_drag(int(short(LOWORD(lparam))), int(short(HIWORD(lparam))), shell);
        return 0;
    case WM_LBUTTONUP:
        end_picture_drag(shell);
        return 0;
    case WM_CAPTURECHANGED:
        lose_picture_drag(shell);
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lparam) == HTCLIENT && set_picture_cursor(window, shell)) return TRUE;
        break;
    case WM_DROPFILES:
        drop_files(window, reinterpret_cast<HDROP>(wparam), shell);
        return 0;
    case WM_APP_LOAD_COMMAND_LINE:
        if (take_command_line_path(shell->requested_path)) load_requested_file(window, shell);
        return 0;
    case WM_APP_LOAD_HANDED_OVER:
        load_handed_over_file(window, shell);
        return 0;
    case WM_DPICHANGED:
        change_dpi(window, LOWORD(wparam), reinterpret_cast<const RECT*>(lparam), shell);
        return 0;
    case WM_APP_PLAYBACK_ENDED:
        if (playback_ended(&shell->player, uint32_t(wparam))) update_title(window, nullptr, shell);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

ATOM register_main_class(HINSTANCE instance, Shell* shell) {
    window_shell = shell;
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.style = CS_OWNDC | CS_DBLCLKS;
    window_class.lpfnWndProc = main_window_proc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PROGRAM));
    window_class.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PROGRAM_SMALL));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = MAIN_CLASS_NAME;
    return RegisterClassExW(&window_class);
}

void raise_window(HWND window) {
    if (IsIconic(window)) {
        ShowWindow(window, SW_RESTORE);
    } else {
        // While a modal box is open (the About box, the open dialog) the
        // window is disabled behind it: the box comes to the front and keeps
        // the keyboard.
        SetForegroundWindow(GetLastActivePopup(window));
    }
}

UINT window_dpi(HWND window) {
    // Windows 10 1607 and later; looked up, so the program still starts on
    // systems without it.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const DpiForWindow dpi_for_window = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    UINT dpi = dpi_for_window ? dpi_for_window(window) : 0;
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = screen ? UINT(GetDeviceCaps(screen, LOGPIXELSX)) : 0;
        if (screen) ReleaseDC(nullptr, screen);
    }
    return dpi ? dpi : USER_DEFAULT_SCREEN_DPI;
}

LRESULT update_title(HWND window, const wchar_t* path, Shell* shell) {
    if (path) set_title_name(shell->title_name, as_utf16(path));
    char16_t text[TITLE_CAPACITY];
    format_title(text, shell->title_name, &shell->animation, &shell->player);
    return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}
