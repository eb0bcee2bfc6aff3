// Painting into a plain bitmap screen, for native builds and tests: the
// effects GDI gives the view and the playback engine on Windows, with a
// nearest-neighbour stretch in place of HALFTONE.
#include "paint_screen.h"

#include <algorithm>

#include "player/paint.h"
#include "player/playback.h"
#include "player/view.h"

namespace {

PaintScreen* screen_of(void* handle) { return static_cast<PaintScreen*>(handle); }

// Copies the sw x sh block at the source's top-left corner scaled to the
// w x h rectangle at (x, y), clipped to the target.
void stretch(Bitmap* target, int32_t x, int32_t y, uint32_t w, uint32_t h, const Bitmap* source,
             uint32_t sw, uint32_t sh) {
    if (!source || !source->pixels || !target->pixels) return;
    sw = std::min(sw, source->width);
    sh = std::min(sh, source->height);
    if (w == 0 || h == 0 || sw == 0 || sh == 0) return;
    int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
    int64_t x1 = std::min<int64_t>(int64_t(x) + w, target->width);
    int64_t y1 = std::min<int64_t>(int64_t(y) + h, target->height);
    for (int64_t dy = y0; dy < y1; dy++) {
        int64_t sy = (dy - y) * sh / h;
        const uint32_t* from = source->pixels + size_t(sy) * source->width;
        uint32_t* to = target->pixels + size_t(dy) * target->width;
        for (int64_t dx = x0; dx < x1; dx++) to[dx] = from[(dx - x) * sw / w];
    }
}

}  // namespace

int paint_screen_attach(PaintScreen* screen, Player* player, uint32_t width, uint32_t height) {
    if (!paint_screen_resize(screen, width, height)) return 0;
    player->window = screen;
    player->window_dc = screen;
    player->memory_dc = screen;
    return 1;
}

int paint_screen_resize(PaintScreen* screen, uint32_t width, uint32_t height) {
    bitmap_delete(&screen->screen);
    return bitmap_create(&screen->screen, width, height);
}

void paint_screen_release(PaintScreen* screen) {
    bitmap_delete(&screen->screen);
    screen->selected = nullptr;
}

std::vector<PaintRecord> paint_screen_frames(PaintScreen* screen) {
    std::lock_guard<std::mutex> hold(screen->log_lock);
    return screen->frames;
}

size_t paint_screen_frame_count(PaintScreen* screen) {
    std::lock_guard<std::mutex> hold(screen->log_lock);
    return screen->frames.size();
}

void paint_screen_counts(PaintScreen* screen, uint32_t* fills, uint32_t* paints,
                         uint32_t* invalidations) {
    std::lock_guard<std::mutex> hold(screen->log_lock);
    *fills = screen->fills;
    *paints = screen->paints;
    *invalidations = screen->invalidations;
}

void paint_screen_clear_log(PaintScreen* screen) {
    std::lock_guard<std::mutex> hold(screen->log_lock);
    screen->frames.clear();
    screen->fills = 0;
    screen->paints = 0;
    screen->invalidations = 0;
    screen->ended_runs = 0;
}

void paint_select_picture(Player* player, const Bitmap* picture) {
    screen_of(player->memory_dc)->selected = picture;
}

void paint_select_none(Player* player) { screen_of(player->memory_dc)->selected = nullptr; }

void paint_frame(Player* player, const Animation* animation, uint32_t index) {
    PaintScreen* screen = screen_of(player->window_dc);
    stretch(&screen->screen, player->view_x, player->view_y, player->view_width,
            player->view_height, screen->selected, animation->width, animation->height);
    {
        std::lock_guard<std::mutex> hold(screen->log_lock);
        screen->frames.push_back(PaintRecord{index, playback_tick(player)});
    }
    if (screen->on_frame) screen->on_frame(index, screen->on_frame_context);
}

void paint_playback_ended(Player* player, uint32_t run) {
    PaintScreen* screen = screen_of(player->window);
    std::lock_guard<std::mutex> hold(screen->log_lock);
    screen->ended_runs++;
    screen->ended_run = run;
}

void paint_fill_rect(Player* player, const Rect* rect) {
    PaintScreen* screen = screen_of(player->window_dc);
    if (rect->right <= rect->left || rect->bottom <= rect->top) return;
    const uint32_t* colour = static_cast<const uint32_t*>(player->background_brush);
    bitmap_fill(&screen->screen, rect->left, rect->top, rect->right, rect->bottom,
                colour ? *colour : 0);
    std::lock_guard<std::mutex> hold(screen->log_lock);
    screen->fills++;
}

void paint_invalidate_now(Player* player) {
    {
        PaintScreen* screen = screen_of(player->window);
        std::lock_guard<std::mutex> hold(screen->log_lock);
        screen->invalidations++;
    }
    paint_view(player->window, player->animation, player);
}

void paint_client_size(Player* player, uint32_t* width, uint32_t* height) {
    PaintScreen* screen = screen_of(player->window);
    *width = screen->screen.width;
    *height = screen->screen.height;
}

void paint_begin(Player* player, PaintSession* session) {
    PaintScreen* screen = screen_of(player->window);
    session->dc = screen;
    std::lock_guard<std::mutex> hold(screen->log_lock);
    screen->paints++;
}

void paint_end(Player* player, PaintSession* session) {
    (void)player;
    session->dc = nullptr;
}

void paint_stretch_selected(Player* player, PaintSession* session, const Animation* animation) {
    PaintScreen* screen = screen_of(session->dc);
    uint32_t width = animation ? animation->width : 0;
    uint32_t height = animation ? animation->height : 0;
    stretch(&screen->screen, player->view_x, player->view_y, player->view_width,
            player->view_height, screen->selected, width, height);
}
