// The load sequence's two portable ends, for the shell: what happens to the
// player before an animation's frames are freed, and once a new one is
// decoded.
#pragma once
#include <cstdint>

#include "player/player.h"

// show_animation, after a successful decode into player->animation: the
// display pictures made (or kept from the loading preview), normal speed,
// "100%", layout for the client area, then playback from current_frame (two
// or more frames), or frame 0 shown and the client area repainted (one
// frame; none: the bars alone). Returns 0, with nothing shown, when the
// display pictures cannot be had.
int show_animation(Player* player, uint32_t client_width, uint32_t client_height);
// unload_animation, before the frames are freed (another load, a failed
// load, teardown): playback stopped, the display pictures freed, and
// clear_player_state.
void unload_animation(Player* player);

// The unload of a file: clears the view, frame, speed, direction and
// playback fields. Only while no playback thread runs. window, the device
// contexts, stop_event, fullscreen, background_brush, the bars, animation,
// zoom_index and services keep their values.
void clear_player_state(Player* player);
