// The command keys, the context menu whose items are the same commands, and
// the fullscreen switch.
#include <windows.h>

#include "app/commands.h"

#include "app/about_box.h"
#include "app/file_choices.h"
#include "app/load.h"
#include "app/main_window.h"
#include "player/playback.h"
#include "player/view.h"
#include "shell/command_rules.h"

namespace {

uint32_t modifiers_held() {
    uint32_t held = 0;
    if (GetKeyState(VK_CONTROL) < 0) held |= MODIFIER_CTRL;
    if (GetKeyState(VK_SHIFT) < 0) held |= MODIFIER_SHIFT;
    if (GetKeyState(VK_LWIN) < 0 || GetKeyState(VK_RWIN) < 0) held |= MODIFIER_WINDOWS;
    return held;
}

uint32_t frame_count_of(const Shell* shell) { return shell->animation.frame_count; }

CommandState command_state_of(const Shell* shell) {
    const Player* player = &shell->player;
    return CommandState{frame_count_of(shell), player->playing.load(std::memory_order_acquire),
                        player->fullscreen, modifiers_held()};
}

// Left or Right: the previous or next .gif file beside the one on show, then
// its load. The title is the load's.
void step_in_folder(HWND window, uint32_t key, Shell* shell) {
    copy_path(as_utf16(shell->requested_path), PATH_CAPACITY, as_utf16(shell->loaded_path));
    if (step_to_neighbour(shell->requested_path, key & 2)) load_requested_file(window, shell);
}

void set_brush(Player* player, HGDIOBJ brush) {
    // The playback thread fills the bars with it under the paint lock.
    acquire_paint_lock(player);
    player->background_brush = brush;
    release_paint_lock(player);
}

}  // namespace

void handle_command_key(HWND window, WPARAM key, Shell* shell) {
    Player* player = &shell->player;
    if (key > 0xFFFF) return;
    const CommandState state = command_state_of(shell);
    switch (decide_command(uint32_t(key), &state)) {
        case COMMAND_NONE:
            return;
        case COMMAND_SHOW_MENU:
            show_context_menu(window, -1, -1, shell);
            return;
        case COMMAND_OPEN_FILE:
            if (choose_file_dialog(window, shell->requested_path)) load_requested_file(window, shell);
            return;
        case COMMAND_ABOUT:
            show_about_box(window);
            return;
        case COMMAND_TOGGLE_FULLSCREEN:
            toggle_fullscreen(window, shell);
            return;
        case COMMAND_EXIT:
            SendMessageW(window, WM_CLOSE, 0, 0);
            return;
        case COMMAND_PREVIOUS_FILE:
        case COMMAND_NEXT_FILE:
            step_in_folder(window, uint32_t(key), shell);
            return;
        case COMMAND_ZOOM_IN:
        case COMMAND_ZOOM_OUT:
            set_zoom(player, key == KEY_ZOOM_IN ? -1 : 1);
            break;
        case COMMAND_FASTER:
            speed_up(player);
            break;
        case COMMAND_SLOWER:
            speed_down(player);
            break;
        case COMMAND_REFRESH_TITLE:
            break;
        case COMMAND_NEXT_FRAME:
            step_next(player);
            InvalidateRect(window, nullptr, FALSE);
            break;
        case COMMAND_PREVIOUS_FRAME:
            step_previous(player);
            InvalidateRect(window, nullptr, FALSE);
            break;
        case COMMAND_FIRST_FRAME:
        case COMMAND_LAST_FRAME:
            show_paused(player, key == KEY_HOME ? 0 : frame_count_of(shell) - 1);
            InvalidateRect(window, nullptr, FALSE);
            break;
        case COMMAND_PLAY_PAUSE:
            if (!play_pause(player)) InvalidateRect(window, nullptr, FALSE);
            break;
        case COMMAND_REVERSE:
            toggle_direction(player);
            break;
        case COMMAND_REWIND:
            rewind(player);
            InvalidateRect(window, nullptr, FALSE);
            break;
    }
    update_title(window, nullptr, shell);
}

void turn_wheel(HWND window, int delta, Shell* shell) {
    const CommandState state = command_state_of(shell);
    const int32_t steps = decide_wheel(delta, &state, &shell->wheel_remainder);
    if (steps == 0) return;
    for (int32_t k = 0; k < steps; k++) set_zoom(&shell->player, -1);
    for (int32_t k = 0; k > steps; k--) set_zoom(&shell->player, 1);
    update_title(window, nullptr, shell);
}

UINT popup_menu_position(HWND window, int x, int y, POINT* at) {
    if (x < 0 || y < 0) {
        RECT frame{0, 0, 0, 0};
        GetWindowRect(window, &frame);
        at->x = frame.left + (frame.right - frame.left) / 2;
        at->y = frame.top + (frame.bottom - frame.top) / 2;
        return TPM_CENTERALIGN | TPM_VCENTERALIGN;
    }
    at->x = x;
    at->y = y;
    ClientToScreen(window, at);
    return 0;
}

void show_context_menu(HWND window, int x, int y, Shell* shell) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    POINT at;
    UINT position_flags = popup_menu_position(window, x, y, &at);
    uint32_t neighbours = 0;
    if (frame_count_of(shell) >= 1) {
        NeighbourWalk walk;
        neighbours = find_folder_neighbours(shell->loaded_path, &walk);
    }
    MenuState state = menu_state_of(&shell->player, neighbours);
    MenuItem items[MENU_CAPACITY];
    size_t count = build_context_menu(&state, items);
    for (size_t i = 0; i < count; i++) {
        AppendMenuW(menu, items[i].flags, items[i].id, reinterpret_cast<LPCWSTR>(items[i].text));
    }
    int chosen = TrackPopupMenuEx(menu, position_flags | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y,
                                  window, nullptr);
    DestroyMenu(menu);
    // The choice runs exactly as its key would, modifier rule included.
    if (chosen > 0) SendMessageW(window, WM_KEYDOWN, WPARAM(chosen), 0);
}

void toggle_fullscreen(HWND window, Shell* shell) {
    Player* player = &shell->player;
    // SetWindowLongPtrW returns 0 both on failure and for a previous style of
    // 0; only the error code tells them apart. On failure nothing changes.
    SetLastError(0);
    LONG_PTR old_style = SetWindowLongPtrW(window, GWL_STYLE, shell->saved_window_style);
    if (old_style == 0 && GetLastError() != 0) return;
    shell->saved_window_style = old_style;
    if (old_style & WS_CAPTION) {
        RECT screen{0, 0, 0, 0};
        GetWindowRect(GetDesktopWindow(), &screen);
        // The brush changes before the move, so the repaint after it is black.
        set_brush(player, GetStockObject(BLACK_BRUSH));
        GetWindowRect(window, &shell->saved_window_rect);
        player->fullscreen = 1;
        SetWindowPos(window, HWND_TOP, 0, 0, screen.right - screen.left, screen.bottom - screen.top,
                     SWP_NOCOPYBITS | SWP_FRAMECHANGED);
    } else {
        set_brush(player, GetSysColorBrush(COLOR_APPWORKSPACE));
        player->fullscreen = 0;
        const RECT& saved = shell->saved_window_rect;
        SetWindowPos(window, HWND_TOP, saved.left, saved.top, saved.right - saved.left,
                     saved.bottom - saved.top, SWP_NOCOPYBITS | SWP_FRAMECHANGED);
    }
}

