// The view: where the picture sits in the client area, the bars around it,
// painting, resizing and the zoom steps.
#include "player/view.h"

#include "player/paint.h"

uint32_t zoom_size(uint32_t size, int32_t zoom_index) {
    switch (zoom_index) {
        case 0: return size * 4;
        case 1: return size * 2;
        case 2: return size + size / 2;
        case 3: return size + size / 4;
        case 4: return size;
        case 5: return size - size / 4;
        case 6: return size / 2;
        case 7: return size / 4;
        default: return size;
    }
}

void layout_view(uint32_t client_width, uint32_t client_height, Player* player) {
    // Everything is computed first and published in one piece under the lock,
    // so the playback thread never draws with a half-updated rectangle.
    acquire_paint_lock(player);
    int64_t cw = client_width, ch = client_height;
    int64_t vw = player->view_width, vh = player->view_height;
    // Signed halves, truncating toward zero (-3 / 2 is -1).
    int32_t view_x = static_cast<int32_t>((cw - vw) / 2);
    int32_t view_y = static_cast<int32_t>((ch - vh) / 2);
    int32_t top = view_y > 0 ? view_y : 0;
    int32_t left = view_x > 0 ? view_x : 0;
    int32_t bottom = ch > vh ? static_cast<int32_t>(top + vh) : static_cast<int32_t>(ch);
    int32_t right = cw > vw ? static_cast<int32_t>(left + vw) : static_cast<int32_t>(cw);
    int32_t w = static_cast<int32_t>(cw), h = static_cast<int32_t>(ch);
    player->view_x = view_x;
    player->view_y = view_y;
    player->border_top = Rect{0, 0, w, top};
    player->border_bottom = Rect{0, bottom, w, h};
    player->border_left = Rect{0, top, left, bottom};
    player->border_right = Rect{right, top, w, bottom};
    release_paint_lock(player);
}

namespace {

void fill_if_visible(Player* player, const Rect* rect) {
    if (rect->right > rect->left && rect->bottom > rect->top) paint_fill_rect(player, rect);
}

uint32_t frame_count_of(const Animation* animation) {
    return animation ? animation->frame_count : 0;
}

}  // namespace

void fill_borders(Player* player) {
    // Every bar that is not empty, also a bar of one pixel (a client area one
    // pixel wider or taller than the picture, where the offset rounds to 0).
    fill_if_visible(player, &player->border_left);
    fill_if_visible(player, &player->border_right);
    fill_if_visible(player, &player->border_top);
    fill_if_visible(player, &player->border_bottom);
}

void paint_view(void* window, const Animation* animation, Player* player) {
    (void)window;  // the Player's window; the platform layer takes it from there
    acquire_paint_lock(player);
    PaintSession session;
    paint_begin(player, &session);
    fill_borders(player);
    paint_stretch_selected(player, &session, animation);
    paint_end(player, &session);
    release_paint_lock(player);
}

void resize_view(uint32_t client_width, uint32_t client_height, Player* player) {
    layout_view(client_width, client_height, player);
    if (frame_count_of(player->animation) == 1 ||
        player->playing.load(std::memory_order_acquire) == 0 ||
        player->frame_delay_ms.load(std::memory_order_relaxed) > 50) {
        paint_invalidate_now(player);
        return;
    }
    // Fast playback: its next frame redraws the picture at the new place.
    acquire_paint_lock(player);
    fill_borders(player);
    release_paint_lock(player);
}

int set_zoom(Player* player, int32_t step) {
    bool moved = false;
    if (step == -1) {
        if (player->zoom_index > 0) {
            player->zoom_index--;
            moved = true;
        }
    } else if (step == 1) {
        if (player->zoom_index < ZOOM_STEPS - 1) {
            player->zoom_index++;
            moved = true;
        }
    } else if (step == 0) {
        player->zoom_index = ZOOM_NORMAL;
    }
    const Animation* animation = player->animation;
    uint32_t width = animation ? zoom_size(animation->width, player->zoom_index) : 0;
    uint32_t height = animation ? zoom_size(animation->height, player->zoom_index) : 0;
    acquire_paint_lock(player);
    player->view_width = width;
    player->view_height = height;
    release_paint_lock(player);
    if (moved) {
        uint32_t client_width = 0, client_height = 0;
        paint_client_size(player, &client_width, &client_height);
        resize_view(client_width, client_height, player);
    }
    return 0;
}
