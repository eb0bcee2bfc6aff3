// The load sequence's portable ends: showing a decoded animation and
// unloading the one on show.
#include "player/load_steps.h"

#include "decode/animation.h"
#include "player/display.h"
#include "player/paint.h"
#include "player/playback.h"
#include "player/view.h"

int show_animation(Player* player, uint32_t client_width, uint32_t client_height) {
    const Animation* animation = player->animation;
    if (animation->frame_count > 0 && !display_create(player)) return 0;
    player->speed_index.store(SPEED_NORMAL, std::memory_order_relaxed);
    set_zoom(player, 0);
    layout_view(client_width, client_height, player);
    if (animation->frame_count > 1) {
        // The frame the preview showed last stays on show, so a repaint
        // before the thread draws (or, when the preview showed every frame
        // of a finite loop count, instead of it) shows that frame.
        start_after_load(player);
        return 1;
    }
    if (animation->frame_count == 1) show_paused(player, 0);
    paint_invalidate_now(player);
    return 1;
}

void unload_animation(Player* player) {
    stop_playback(player);
    display_release(player);
    if (player->animation) animation_release(player->animation);
    clear_player_state(player);
}

void clear_player_state(Player* player) {
    player->view_x = 0;
    player->view_y = 0;
    player->view_width = 0;
    player->view_height = 0;
    player->pan_x = 0;  // each file starts centred
    player->pan_y = 0;
    player->paint_lock.store(0, std::memory_order_relaxed);
    reset_playback(player);
}
