// The load sequence: from a requested path to the animation on show (or an
// empty window), with what the window answers meanwhile and what it does
// once the load is over.
#include <windows.h>

#include "app/load.h"

#include "app/handover.h"
#include "app/main_window.h"
#include "app/picture_drag.h"
#include "decode/gif_decode.h"
#include "platform/os.h"
#include "player/load_steps.h"
#include "player/loading_preview.h"
#include "player/playback.h"
#include "player/view.h"

namespace {

void client_size(HWND window, uint32_t* width, uint32_t* height) {
    RECT client{0, 0, 0, 0};
    GetClientRect(window, &client);
    *width = uint32_t(client.right > 0 ? client.right : 0);
    *height = uint32_t(client.bottom > 0 ? client.bottom : 0);
}

// The colour of the brush that fills the bars now: the canvas of every
// frame decoded now is cleared with it.
uint32_t background_pixel(const Player* player) {
    return player->fullscreen ? 0 : swap_red_blue(GetSysColor(COLOR_APPWORKSPACE));
}

// The decoder's poll during a load (DecodeTarget.poll). A look at the queue
// runs the messages that other threads and programs send meanwhile (a second
// start's hand-over among them) and shows the system that the window still
// answers; posted messages, keys and clicks stay queued for after the load.
// A file of many small blocks calls this far more often than needed: the
// queue is looked at once every LOAD_POLL_INTERVAL_MS at most.
constexpr uint32_t LOAD_POLL_INTERVAL_MS = 10;

void look_at_queue(void* context) {
    Shell* shell = static_cast<Shell*>(context);
    const uint32_t now = os_tick_count();
    if (now - shell->polled_at < LOAD_POLL_INTERVAL_MS) return;
    shell->polled_at = now;
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
}

void set_window_title(void* window, const char16_t* title, void*) {
    SendMessageW(static_cast<HWND>(window), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title));
}

// The decoder's progress hook (DecodeTarget.show_progress) for large files.
void show_progress_in_window(void* context, Animation* animation, uint32_t index) {
    Shell* shell = static_cast<Shell*>(context);
    shell->preview.set_title = set_window_title;
    show_loading_progress(&shell->preview, animation, &shell->player, index);
}

// A file that cannot be used, or holds no frame: an empty window titled with
// the program's name; both paths are emptied, so any next request loads anew.
void end_failed_load(HWND window, Shell* shell) {
    unload_animation(&shell->player);
    lay_out_client(window, shell);
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(PROGRAM_TITLE));
    shell->requested_path[0] = 0;
    shell->loaded_path[0] = 0;
}

// The load itself, while shell->loading is 1.
void load_file(HWND window, Shell* shell) {
    Player* player = &shell->player;
    Animation* animation = &shell->animation;
    if (same_path(as_utf16(shell->requested_path), as_utf16(shell->loaded_path))) {
        raise_window(window);
        if (animation->frame_count >= 2 && !player->playing.load(std::memory_order_acquire)) {
            play_on(player);
            update_title(window, nullptr, shell);
        }
        return;
    }

    copy_path(as_utf16(shell->loaded_path), PATH_CAPACITY, as_utf16(shell->requested_path));
    unload_animation(player);
    if (!animation_create_table(animation)) {
        end_failed_load(window, shell);
        return;
    }
    DecodeTarget target{background_pixel(player), show_progress_in_window, shell};
    target.display_pictures = DISPLAY_PICTURES;
    target.poll = PollHook{look_at_queue, shell};
    const int result = gif_decode_file(shell->loaded_path, shell->table, animation, &target);
    // Laid out for the client area as it is once the decode is over: a size
    // change meanwhile was only laid out for the preview, if at all.
    uint32_t width, height;
    client_size(window, &width, &height);
    if (result == RESULT_LOAD_FAILED || animation->frame_count == 0 ||
        !show_animation(player, width, height)) {
        end_failed_load(window, shell);
        return;
    }
    update_title(window, shell->loaded_path, shell);
}

}  // namespace

void load_requested_file(HWND window, Shell* shell) {
    // A drag held across the load would move the next file's picture.
    end_picture_drag(shell);
    shell->loading = 1;
    load_file(window, shell);
    shell->loading = 0;
    // What waits for the load's end: the messages posted again meanwhile are
    // in the queue already; a hand-over whose load message could not be
    // posted is posted now.
    if (shell->handed_over_path[0] && !shell->handover_posted) post_handed_over_load(window, shell);
}

void dispatch_waiting_input() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT)) {
        if (message.message == WM_QUIT) {  // for the message loop, which ends on it
            PostQuitMessage(int(message.wParam));
            return;
        }
        DispatchMessageW(&message);
    }
}

bool answer_during_load(HWND window, UINT message, WPARAM wparam, LPARAM lparam, Shell* shell,
                        LRESULT* result) {
    *result = 0;
    switch (message) {
    case WM_CLOSE:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_SYSCHAR:
    case WM_SYSCOMMAND:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEWHEEL:
    case WM_CONTEXTMENU:
    case WM_DROPFILES:
    case WM_APP_LOAD_COMMAND_LINE:
    case WM_APP_LOAD_HANDED_OVER:
        PostMessageW(window, message, wparam, lparam);
        return true;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
        return true;  // a drag does nothing: the picture it would move is going
    case WM_SIZE:
        lay_out_client(window, shell);
        return true;
    }
    return false;
}

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
