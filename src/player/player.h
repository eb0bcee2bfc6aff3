// The player: the one record the window's thread and the playback thread
// share, the view layout and zoom built on it, and the playback engine that
// shows the frames on a worker thread.
//
// Threads. The window's thread runs every function here except the thread
// procedures play_forward and play_reverse. The fields both threads touch are
// atomics:
// - the stop handshake: the window's thread sets stop_requested and the stop
//   event, then yields until playing falls; the playback thread stores
//   current_frame and then clears playing (release) as its very last access
//   to the record, so once the window's thread has read 0 (acquire) it owns
//   every field, the frame on show and the Animation again;
// - the speed handshake: the window's thread stores speed_index and sets the
//   stop event; the thread re-times the frame on show;
// - paint_lock serialises all drawing into the window and every write of the
//   view rectangle, its size and the bars while a playback thread may run.
#pragma once
#include <atomic>
#include <cstdint>

#include "decode/animation.h"
#include "player/os.h"

// A rectangle in client coordinates, right and bottom exclusive (a RECT).
struct Rect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

constexpr int32_t SPEED_STEPS = 14;       // SpeedIndex 0 ("16.00") .. 13 ("0.0625")
constexpr int32_t SPEED_NORMAL = 8;       // "1.00", set by every load
constexpr int32_t ZOOM_STEPS = 8;         // ZoomIndex 0 ("400%") .. 7 ("25%")
constexpr int32_t ZOOM_NORMAL = 4;        // "100%", set by every load

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

struct Player {
    void* window;                          // HWND of the main window
    void* window_dc;                       // HDC: the window's own DC (CS_OWNDC), HALFTONE
    void* memory_dc;                       // HDC: holds the frame on show
    OsEvent* stop_event;                   // auto-reset; cuts a frame's wait short
    int32_t view_x;                        // picture's left edge, negative when wider
    int32_t view_y;                        // picture's top edge, negative when taller
    uint32_t view_width;                   // canvas size at the zoom step
    uint32_t view_height;
    std::atomic<uint32_t> current_frame;   // frame on show while idle; start index
    std::atomic<uint32_t> frame_delay_ms;  // scaled delay of the frame drawn last
    uint32_t reverse;                      // 0 forward, 1 reverse
    uint32_t fullscreen;                   // 1 while fullscreen
    std::atomic<int32_t> speed_index;      // SpeedIndex 0..13
    std::atomic<uint32_t> paint_lock;      // 0 free, 1 held
    std::atomic<uint32_t> stop_requested;  // 1 asks the playback thread to end
    std::atomic<uint32_t> playing;         // 1 from start_playback to the thread's end
    void* background_brush;                // HBRUSH that fills the bars
    Rect border_left;
    Rect border_right;
    Rect border_top;
    Rect border_bottom;
    Animation* animation;                  // the one Animation, set once
    int32_t zoom_index;                    // ZoomIndex 0..7; survives unloads
    const PlaybackServices* services;      // null: the OS services
};

// ---- Paint lock -------------------------------------------------------------

// Spins (yielding between tries) until the lock is ours. Not re-entrant; never
// held while waiting for an event, a message or the other thread.
void acquire_paint_lock(Player* player);
void release_paint_lock(Player* player);

// ---- View layout and zoom (window's thread) ---------------------------------

// Canvas size scaled to a zoom step, one dimension at a time (W*4, W*2,
// W+W/2, W+W/4, W, W-W/4, W/2, W/4); an index outside 0..7 gives size.
uint32_t zoom_size(uint32_t size, int32_t zoom_index);

// Centres view_width x view_height in a client area of the given size and
// computes the four bars. Draws nothing. Publishes the rectangle and bars
// under the paint lock, so the caller must not hold it.
void layout_view(uint32_t client_width, uint32_t client_height, Player* player);

// Fills every non-empty bar on window_dc with background_brush. The caller
// decides about the paint lock.
void fill_borders(Player* player);

// The whole answer to WM_PAINT: bars and the picture selected in memory_dc,
// between BeginPaint and EndPaint, under the paint lock.
void paint_view(void* window, const Animation* animation, Player* player);

// WM_SIZE: layout, then a full synchronous repaint, or only the bars while a
// playback thread shows frames of at most 50 ms (its next frame redraws the
// picture at the new place).
void resize_view(uint32_t client_width, uint32_t client_height, Player* player);

// -1 zooms in, +1 zooms out, 0 resets to "100%". Recomputes the view size in
// every case; a step that moved also re-lays out and repaints the client
// area, while a reset leaves the layout to its caller. Returns 0.
int set_zoom(Player* player, int32_t step);

// The unload of a file: clears the view, frame, speed, direction and
// playback fields. Only while no playback thread runs. window, the device
// contexts, stop_event, fullscreen, background_brush, the bars, animation,
// zoom_index and services keep their values.
void clear_player_state(Player* player);

// ---- Playback engine ---------------------------------------------------------

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

// The load sequence's two ends, for the shell:
// show_animation, after a successful decode into player->animation: normal
// speed, "100%", layout for the client area, then playback from
// current_frame (two or more frames), or frame 0 selected and the client area
// repainted (one frame; none: the bars alone).
void show_animation(Player* player, uint32_t client_width, uint32_t client_height);
// unload_animation, before the frames are freed (another load, a failed
// load, teardown): playback stopped, no frame bitmap left in memory_dc, and
// clear_player_state.
void unload_animation(Player* player);

// The commands; the shell calls them only for animations of two or more
// frames. After rewind and the steps the caller repaints.
int toggle_direction(Player* player);  // returns 0
int play_pause(Player* player);        // 0 when it stopped playback, 1 when it started it
void rewind(Player* player);
void step_next(Player* player);        // only while not playing
void step_previous(Player* player);    // only while not playing
void speed_up(Player* player);         // only while playing
void speed_down(Player* player);       // only while playing
