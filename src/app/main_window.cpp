// The main window: its class, its message routing, what window creation
// makes and teardown releases, and the load sequence every file choice ends
// in.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

#include "app/app.h"
#include "decode/gif_decode.h"
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

void raise_window(HWND window) {
    if (IsIconic(window)) {
        ShowWindow(window, SW_RESTORE);
    } else {
        SetForegroundWindow(window);
    }
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

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Shell* shell = window_shell;
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

LRESULT update_title(HWND window, const wchar_t* path, Shell* shell, uint32_t frame_number) {
    if (path) set_title_name(shell->title_name, as_utf16(path));
    char16_t text[TITLE_CAPACITY];
    format_title(text, shell->title_name, &shell->animation, &shell->player, frame_number);
    return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void load_requested_file(HWND window, Shell* shell) {
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

    uint32_t width, height;
    client_size(window, &width, &height);
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
    int result = gif_decode_file(shell->loaded_path, shell->table, animation, &target);
    if (result == RESULT_LOAD_FAILED || animation->frame_count == 0 ||
        !show_animation(player, width, height)) {
        end_failed_load(window, shell, width, height);
        return;
    }
    update_title(window, shell->loaded_path, shell, 0);
}
