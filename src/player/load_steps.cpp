// The load sequence's portable ends: showing a decoded animation and
// unloading the one on show.
#include "player/load_steps.h"

#include "player/paint.h"
#include "player/playback.h"
#include "player/view.h"

void show_animation(Player* player, uint32_t client_width, uint32_t client_height) {
    player->speed_index.store(SPEED_NORMAL, std::memory_order_relaxed);
    set_zoom(player, 0);
    layout_view(client_width, client_height, player);
    const Animation* animation = player->animation;
    if (animation->frame_count > 1) {
        // After a loading preview the frame it showed last is the one on show:
        // a repaint before the thread draws (or, when the preview showed every
        // frame of a finite loop count, instead of it) shows that frame.
        uint32_t start = player->current_frame.load(std::memory_order_relaxed);
        if (start > 0) paint_select_frame(player, animation, start - 1);
        start_playback(player, start);
        return;
    }
    player->current_frame.store(0, std::memory_order_relaxed);
    if (animation->frame_count == 1) {
        paint_select_frame(player, animation, 0);
    } else {
        paint_select_none(player);
    }
    paint_invalidate_now(player);
}

void unload_animation(Player* player) {
    stop_playback(player);
    paint_select_none(player);
    clear_player_state(player);
}

void clear_player_state(Player* player) {
    player->view_x = 0;
    player->view_y = 0;
    player->view_width = 0;
    player->view_height = 0;
    player->current_frame.store(0, std::memory_order_relaxed);
    player->frame_delay_ms.store(0, std::memory_order_relaxed);
    player->reverse = 0;
    player->speed_index.store(0, std::memory_order_relaxed);
    player->paint_lock.store(0, std::memory_order_relaxed);
    player->stop_requested.store(0, std::memory_order_relaxed);
    player->playing.store(0, std::memory_order_relaxed);
}
