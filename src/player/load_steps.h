// The load sequence's two portable ends, for the shell: a decoded animation
// brought on show, and the one unload every path takes (another load, a
// failed load, the window's teardown).
#pragma once
#include <cstdint>

#include "player/player.h"

// After a successful decode into player->animation: the display pictures
// made (or kept from the loading preview), normal speed, "100%", layout
// for the client area, then playback after the frame the preview showed
// last (two or more frames), or frame 0 shown and the client area
// repainted (one frame; none: the bars alone). Returns 0, with nothing
// shown, when the display pictures cannot be had.
int show_animation(Player* player, uint32_t client_width, uint32_t client_height);

// Playback stopped, the display pictures freed, the animation released
// (it may be half decoded, or hold only a table) and the player cleared
// (clear_player_state).
void unload_animation(Player* player);

// Clears the view, speed, direction and playback fields. Only while no
// playback thread runs. window, the device contexts, stop_event,
// fullscreen, background_brush, the bars, animation, zoom_index, services,
// the display and the count of runs keep their values.
void clear_player_state(Player* player);
