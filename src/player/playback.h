// The playback engine: a worker thread that shows frame after frame, each
// for its delay scaled by the speed step, forward or in reverse, for the
// file's passes; and the operations around it (start, stop, direction,
// pause, rewind, steps, speed). The window's thread never waits for a frame.
#pragma once
#include <cstdint>

#include "platform/os.h"
#include "player/player.h"

// The services the playback engine takes time, waits, threads and the fine
// timer from. A Player without services (the program's) uses os_tick_count,
// os_event_wait, os_thread_start and os_fine_timer_begin / _end; tests hand
// in their own to drive time, refuse a thread, or grant or refuse the fine
// timer. Any null member falls back to the OS service.
struct PlaybackServices {
    uint32_t (*tick)(void* context) = nullptr;
    int (*wait)(OsEvent* event, uint32_t timeout_ms, void* context) = nullptr;
    int (*start_thread)(uint32_t (*procedure)(void* argument), void* argument,
                        void* context) = nullptr;
    int (*fine_timer_begin)(void* context) = nullptr;  // 1: taken, end it once; 0: refused
    void (*fine_timer_end)(void* context) = nullptr;
    void* context = nullptr;
};

// A delay in milliseconds scaled to a speed step (unsigned arithmetic, each
// term on its own); an index outside 0..13 leaves it unchanged.
uint32_t scale_delay(uint32_t delay_ms, int32_t speed_index);

// The engine's clock, from the Player's services or the OS.
uint32_t playback_tick(const Player* player);

// Thread procedures; argument is the Player. Both return 0. While its
// frames' waits are short a thread holds a fine timer request, so that they
// end near their moment; long waits do without (playback.cpp).
//
// The schedule. Every frame has a due time; the first frame of a thread is
// due when the thread starts it. Frame k is drawn, then stays until due(k) +
// s(k), s(k) being its delay at the speed in force (at the speed it ended
// with, after a speed change). due(k + 1) is the later of due(k) + s(k) and
// the moment frame k's drawing ended: drawing time is not added to the
// delays, a wake-up that comes late shortens only the frame it brings, and
// neither a slow paint, a busy machine nor a run of 0 ms frames leaves a
// debt that later frames would pay off in a burst.
uint32_t play_forward(void* argument);
uint32_t play_reverse(void* argument);

// Called by the thread procedures when the stop event ended a frame's wait.
// t0 is the frame's due time. A stop request returns at once; otherwise the
// frame stays until its delay d at the newest speed has passed since t0, or
// returns at once when that time is already over. Returns the delay at the
// speed the frame ended with.
uint32_t wait_out_speed_change(uint32_t t0, int32_t speed_index, uint32_t delay_ms, Player* player);

// Where playback is. The frame on show is the display's (display_shown),
// and only the engine changes it: while a thread runs, the thread, and
// only the thread knows which frame that is; otherwise the window's thread
// through the operations below. A pass starts at a frame and runs to the
// end of the animation in its direction; the file's loop count counts
// passes, the first one whole wherever it began.

// The frame on show while no playback thread runs; NO_FRAME while one runs,
// or when nothing is on show.
uint32_t paused_frame(const Player* player);

// Starts a playback thread (forward or reverse by player->reverse) at frame
// first; first equal to the frame count (forward) makes the first pass
// empty, and it still counts. The caller has made sure none runs. If no
// thread can be created, playing falls back to 0, the frame on show stays,
// and frame first (or the nearest that exists) is shown when none was.
void start_playback(Player* player, uint32_t first);

// Asks the playback thread to end and returns once none runs; the frame it
// showed last stays on show.
void stop_playback(Player* player);

// Plays on from the neighbour of the frame on show in the direction: after
// the last frame forward comes frame 0, before frame 0 in reverse the last;
// with none on show, the first frame of the direction. For P and for a
// load of the file already loaded.
void play_on(Player* player);

// The start of a loaded animation: the frame after the one on show, or
// frame 0 with none on show. The loading preview shows frames as the first
// pass, so playback goes on with that pass: a file played once that the
// preview showed to its end stays on its last frame.
void start_after_load(Player* player);

// Stops playback and brings frame on show (the loading preview, rewind, a
// file of one frame). The caller repaints.
void show_paused(Player* player, uint32_t frame);

// The playback fields as before any load: forward, speed 0, no delay, no
// thread. Only while no thread runs (the unload); the frame on show is the
// display's, released with it.
void reset_playback(Player* player);

// The window's answer to the message a thread posts when its last pass has
// ended by itself (paint_playback_ended): 1 when it came from the latest
// thread, which is then gone, so the title may say where playback stopped;
// 0 for the message of a thread that a later start replaced.
int playback_ended(Player* player, uint32_t run);

// The commands; the shell calls them only for animations of two or more
// frames. After rewind and the steps the caller repaints.
void toggle_direction(Player* player);  // plays from the neighbour in the other direction
int play_pause(Player* player);         // 0 when it stopped playback, 1 when it started it
void rewind(Player* player);            // stopped on frame 0, forward
void step_next(Player* player);         // only while not playing
void step_previous(Player* player);     // only while not playing
void speed_up(Player* player);          // only while playing
void speed_down(Player* player);        // only while playing
