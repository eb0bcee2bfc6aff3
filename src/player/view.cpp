// The view: where the picture sits in the client area, the bars around it,
// painting, resizing and the zoom steps.
#include "player/view.h"

#include <algorithm>
#include <cstdint>

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

int32_t clamp_pan(int32_t pan, uint32_t view_size, uint32_t client_size) {
    if (view_size <= client_size) return 0;
    // The centred place truncates toward zero, as in layout_view; from it the
    // picture may go until its right (bottom) edge meets the client area's,
    // or its left (top) edge does.
    const int64_t spare = int64_t(client_size) - int64_t(view_size);
    const int64_t centred = spare / 2;
    return int32_t(std::clamp<int64_t>(pan, spare - centred, -centred));
}

int32_t scale_pan(int32_t pan, uint32_t old_size, uint32_t new_size) {
    if (old_size == 0) return 0;
    const int64_t scaled = int64_t(pan) * new_size;
    const int64_t half = old_size / 2;
    return int32_t((scaled >= 0 ? scaled + half : scaled - half) / int64_t(old_size));
}

void layout_view(uint32_t client_width, uint32_t client_height, Player* player) {
    const int64_t cw = client_width, ch = client_height;
    const int64_t vw = player->view_width, vh = player->view_height;
    player->pan_x = clamp_pan(player->pan_x, player->view_width, client_width);
    player->pan_y = clamp_pan(player->pan_y, player->view_height, client_height);
    // Signed halves, truncating toward zero (-3 / 2 is -1).
    const int64_t view_x = (cw - vw) / 2 + player->pan_x;
    const int64_t view_y = (ch - vh) / 2 + player->pan_y;
    // The bars are the client area outside the picture's rectangle.
    const int64_t left = std::clamp<int64_t>(view_x, 0, cw);
    const int64_t right = std::clamp<int64_t>(view_x + vw, left, cw);
    const int64_t top = std::clamp<int64_t>(view_y, 0, ch);
    const int64_t bottom = std::clamp<int64_t>(view_y + vh, top, ch);
    const int32_t w = int32_t(cw), h = int32_t(ch);
    // Everything is computed first and published in one piece under the lock,
    // so the playback thread never draws with a half-updated rectangle.
    acquire_paint_lock(player);
    player->view_x = int32_t(view_x);
    player->view_y = int32_t(view_y);
    player->border_top = Rect{0, 0, w, int32_t(top)};
    player->border_bottom = Rect{0, int32_t(bottom), w, h};
    player->border_left = Rect{0, int32_t(top), int32_t(left), int32_t(bottom)};
    player->border_right = Rect{int32_t(right), int32_t(top), w, int32_t(bottom)};
    release_paint_lock(player);
}

bool picture_movable_at(const Player* player, uint32_t client_width, uint32_t client_height,
                        int32_t x, int32_t y) {
    if (player->view_width <= client_width && player->view_height <= client_height) return false;
    return x >= player->view_x && int64_t(x) < int64_t(player->view_x) + player->view_width &&
           y >= player->view_y && int64_t(y) < int64_t(player->view_y) + player->view_height;
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

namespace {

// After a layout: a full synchronous repaint, or only the bars while a
// playback thread shows frames of at most 50 ms.
void repaint_laid_out(Player* player) {
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

int32_t saturated(int64_t value) {
    return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

void resize_view(uint32_t client_width, uint32_t client_height, Player* player) {
    layout_view(client_width, client_height, player);
    repaint_laid_out(player);
}

void move_view(Player* player, int32_t dx, int32_t dy) {
    const int32_t was_x = player->view_x, was_y = player->view_y;
    player->pan_x = saturated(int64_t(player->pan_x) + dx);
    player->pan_y = saturated(int64_t(player->pan_y) + dy);
    uint32_t client_width = 0, client_height = 0;
    paint_client_size(player, &client_width, &client_height);
    layout_view(client_width, client_height, player);
    // A drag held against an edge moves nothing and repaints nothing.
    if (player->view_x != was_x || player->view_y != was_y) repaint_laid_out(player);
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
    player->pan_x = scale_pan(player->pan_x, player->view_width, width);
    player->pan_y = scale_pan(player->pan_y, player->view_height, height);
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
