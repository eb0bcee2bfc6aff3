// The playback engine: a worker thread that shows frame after frame, each
// for its delay scaled by the speed step, forward or in reverse, for the
// file's passes; and the operations around it (start, stop, direction,
// pause, rewind, steps, speed). The window's thread never waits for a frame.
#pragma once
#include <cstdint>

#include "platform/os.h"
#include "player/player.h"

// The services the playback engine takes time and threads from. A Player
// without services (the program's) uses os_tick_count, os_event_wait and
// os_thread_start; tests hand in their own to drive time or refuse a thread.
// Any null member falls back to the OS service.
struct PlaybackServices {
    uint32_t (*tick)(void* context);
    int (*wait)(OsEvent* event, uint32_t timeout_ms, void* context);
    int (*start_thread)(uint32_t (*procedure)(void* argument), void* argument, void* context);
    void* context;
};

// A delay in milliseconds scaled to a speed step (unsigned arithmetic, each
// term on its own); an index outside 0..13 leaves it unchanged.
uint32_t scale_delay(uint32_t delay_ms, int32_t speed_index);

// The engine's clock, from the Player's services or the OS.
uint32_t playback_tick(const Player* player);

// Thread procedures; argument is the Player. Both return 0.
uint32_t play_forward(void* argument);
uint32_t play_reverse(void* argument);

// Called by the thread procedures when the stop event ended a frame's wait:
// a stop request returns at once; otherwise the frame stays until its delay
// d at the newest speed has passed since t0 (when it was drawn), or returns
// at once when that time is already over.
void wait_out_speed_change(uint32_t t0, int32_t speed_index, uint32_t delay_ms, Player* player);

// Starts a playback thread (forward or reverse by player->reverse) at frame
// first. The caller has made sure none runs. If no thread can be created,
// playing falls back to 0 and current_frame is left on a valid frame.
void start_playback(Player* player, uint32_t first);

// Asks the playback thread to end and returns once none runs; current_frame
// then holds the frame on show.
void stop_playback(Player* player);

// The commands; the shell calls them only for animations of two or more
// frames. After rewind and the steps the caller repaints.
int toggle_direction(Player* player);  // returns 0
int play_pause(Player* player);        // 0 when it stopped playback, 1 when it started it
void rewind(Player* player);
void step_next(Player* player);        // only while not playing
void step_previous(Player* player);    // only while not playing
void speed_up(Player* player);         // only while playing
void speed_down(Player* player);       // only while playing
