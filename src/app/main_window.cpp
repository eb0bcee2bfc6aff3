// The main window: its class, its message routing, what window creation
// makes and teardown releases, and the load sequence every file choice ends
// in.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

#include "app/main_window.h"

#include "app/commands.h"
#include "app/file_choices.h"
#include "app/handover.h"
#include "decode/gif_decode.h"
#include "platform/os.h"
#include "player/display.h"
#include "player/load_steps.h"
#include "player/paint.h"
#include "player/playback.h"
#include "player/view.h"
#include "res/resource_ids.h"

namespace {

// The records the window procedure works on; set by register_main_class.
Shell* window_shell;

// The colour of the brush that fills the bars now: the canvas of every
// frame decoded now is cleared with it.
uint32_t background_pixel(const Player* player) {
    return player->fullscreen ? 0 : swap_red_blue(GetSysColor(COLOR_APPWORKSPACE));
}

void client_size(HWND window, uint32_t* width, uint32_t* height) {
    RECT client{0, 0, 0, 0};
    GetClientRect(window, &client);
    *width = uint32_t(client.right > 0 ? client.right : 0);
    *height = uint32_t(client.bottom > 0 ? client.bottom : 0);
}

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
    stop_playback(player);
    std::free(shell->table);
    shell->table = nullptr;
    if (player->window_dc) ReleaseDC(window, static_cast<HDC>(player->window_dc));
    player->window_dc = nullptr;
    if (player->memory_dc) {
        display_release(player);
        DeleteDC(static_cast<HDC>(player->memory_dc));
    }
    player->memory_dc = nullptr;
    if (player->stop_event) os_event_destroy(player->stop_event);
    player->stop_event = nullptr;
    animation_release(&shell->animation);
}

// A file that cannot be used, or holds no frame: an empty window titled with
// the program's name; both paths are emptied, so any next request loads anew.
void end_failed_load(HWND window, Shell* shell, uint32_t width, uint32_t height) {
    Player* player = &shell->player;
    display_release(player);
    animation_release(&shell->animation);
    clear_player_state(player);
    layout_view(width, height, player);
    InvalidateRect(window, nullptr, FALSE);
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(PROGRAM_TITLE));
    shell->requested_path[0] = 0;
    shell->loaded_path[0] = 0;
}

void drop_files(HWND window, HDROP drop, Shell* shell) {
    if (!take_dropped_path(drop, shell->requested_path)) return;
    raise_window(window);
    load_requested_file(window, shell);
}

// Lays the view out for the client area as it is now: during a load without
// painting (the client area waits for its WM_PAINT after the load).
void lay_out_client(HWND window, Shell* shell) {
    uint32_t width, height;
    client_size(window, &width, &height);
    if (shell->loading) {
        layout_view(width, height, &shell->player);
        InvalidateRect(window, nullptr, FALSE);
    } else {
        resize_view(width, height, &shell->player);
    }
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

// The decoder's poll during a load (DecodeTarget.poll). A look at the queue
// runs the messages that other threads and programs send meanwhile (a second
// start's hand-over among them) and shows the system that the window still
// answers; posted messages, keys and clicks stay queued for after the load.
// A file of many small blocks calls this far more often than needed: the
// queue is looked at once every LOAD_POLL_INTERVAL_MS at most.
constexpr uint32_t LOAD_POLL_INTERVAL_MS = 10;

void answer_during_load(void* context) {
    Shell* shell = static_cast<Shell*>(context);
    const uint32_t now = os_tick_count();
    if (now - shell->polled_at < LOAD_POLL_INTERVAL_MS) return;
    shell->polled_at = now;
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
}

// A message that reaches the window during a load, sent by another thread or
// program through the poll, or by the load itself. Nothing may then read or
// change the animation, open a modal loop or start another load: keys,
// commands and a close are posted again, for after the load, and a size
// change only lays out. Returns false for a message that is handled as at
// any other time (WM_PAINT, WM_COPYDATA, WM_DPICHANGED, the system's
// messages), else true with its answer in *result.
bool handle_during_load(HWND window, UINT message, WPARAM wparam, LPARAM lparam, Shell* shell,
                        LRESULT* result) {
    *result = 0;
    switch (message) {
    case WM_CLOSE:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_SYSCHAR:
    case WM_SYSCOMMAND:
    case WM_RBUTTONDOWN:
    case WM_CONTEXTMENU:
    case WM_DROPFILES:
    case WM_APP_LOAD_COMMAND_LINE:
    case WM_APP_LOAD_HANDED_OVER:
        PostMessageW(window, message, wparam, lparam);
        return true;
    case WM_SIZE:
        lay_out_client(window, shell);
        return true;
    }
    return false;
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Shell* shell = window_shell;
    LRESULT answer;
    if (shell->loading && handle_during_load(window, message, wparam, lparam, shell, &answer)) {
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
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

ATOM register_main_class(HINSTANCE instance, Shell* shell) {
    window_shell = shell;
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.style = CS_OWNDC;
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
        SetForegroundWindow(window);
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

LRESULT update_title(HWND window, const wchar_t* path, Shell* shell, uint32_t frame_number) {
    if (path) set_title_name(shell->title_name, as_utf16(path));
    char16_t text[TITLE_CAPACITY];
    format_title(text, shell->title_name, &shell->animation, &shell->player, frame_number);
    return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

namespace {

// The load sequence itself, which load_requested_file runs as a load;
// width x height is the client area when it began.
void load_file(HWND window, Shell* shell, uint32_t width, uint32_t height) {
    Player* player = &shell->player;
    Animation* animation = &shell->animation;
    if (same_path(as_utf16(shell->requested_path), as_utf16(shell->loaded_path))) {
        raise_window(window);
        if (animation->frame_count >= 2 && !player->playing.load(std::memory_order_acquire)) {
            start_playback(player, player->current_frame.load(std::memory_order_relaxed));
            update_title(window, nullptr, shell, 0);  // a paused title would stand otherwise
        }
        return;
    }

    copy_path(as_utf16(shell->loaded_path), PATH_CAPACITY, as_utf16(shell->requested_path));
    // Also a file that decoded to no frame leaves a table behind.
    if (animation->frames) {
        unload_animation(player);
        animation_release(animation);
    }
    if (!animation_create_table(animation)) {
        end_failed_load(window, shell, width, height);
        return;
    }
    DecodeTarget target{background_pixel(player), show_progress_in_window, shell};
    target.display_pictures = DISPLAY_PICTURES;
    target.poll = PollHook{answer_during_load, shell};
    int result = gif_decode_file(shell->loaded_path, shell->table, animation, &target);
    if (result == RESULT_LOAD_FAILED || animation->frame_count == 0 ||
        !show_animation(player, width, height)) {
        end_failed_load(window, shell, width, height);
        return;
    }
    update_title(window, shell->loaded_path, shell, 0);
}

}  // namespace

void load_requested_file(HWND window, Shell* shell) {
    uint32_t width, height;
    client_size(window, &width, &height);
    shell->loading = 1;
    load_file(window, shell, width, height);
    shell->loading = 0;
    // A size change during the load was laid out for the old picture, if
    // at all, and not painted.
    uint32_t now_width, now_height;
    client_size(window, &now_width, &now_height);
    if (now_width != width || now_height != height) {
        resize_view(now_width, now_height, &shell->player);
    }
    // A hand-over whose load message could not be posted meanwhile.
    if (shell->handed_over_path[0] && !shell->handover_posted) post_handed_over_load(window, shell);
}
