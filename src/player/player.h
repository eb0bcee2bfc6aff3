// The player: the one record the window's thread and the playback thread
// share, and the paint lock. The view (view.h) and the playback engine
// (playback.h) work on it.
//
// Threads. The window's thread runs everything of the player but the thread
// procedures play_forward and play_reverse. The fields both threads touch are
// atomics:
// - the stop handshake: the window's thread sets stop_requested and the stop
//   event, then yields until playing falls; the playback thread clears
//   playing (release) as its very last access to the record, so once the
//   window's thread has read 0 (acquire) it owns every field, the display
//   (and with it the frame on show) and the Animation again;
// - the speed handshake: the window's thread stores speed_index and sets the
//   stop event; the thread re-times the frame on show;
// - paint_lock serialises all drawing into the window and every write of the
//   view rectangle, its size and the bars while a playback thread may run.
// start_frame and run are written before the thread exists (its creation
// orders them before its first read) and read by it only.
#pragma once
#include <atomic>
#include <cstdint>

#include "decode/animation.h"
#include "platform/os.h"
#include "platform/surface.h"

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

struct PlaybackServices;  // playback.h: the engine's clock, waits and threads

constexpr uint32_t DISPLAY_PICTURES = 2;

// The pictures frames are shown from (display.h): sized at each load, freed
// with the animation.
struct Display {
    Bitmap pictures[DISPLAY_PICTURES];   // canvas-size; none before a load
    uint32_t holds[DISPLAY_PICTURES] = {NO_FRAME, NO_FRAME};  // the frame each holds
    int32_t front = -1;                  // the picture on show, in memory_dc; -1: none
    uint64_t pixels_written;             // pixels written to bring frames on show, ever
};

struct Player {
    void* window;                          // HWND of the main window
    void* window_dc;                       // HDC: the window's own DC (CS_OWNDC), HALFTONE
    void* memory_dc;                       // HDC: holds the display picture on show
    OsEvent* stop_event;                   // auto-reset; cuts a frame's wait short
    int32_t view_x;                        // picture's left edge, negative when wider
    int32_t view_y;                        // picture's top edge, negative when taller
    uint32_t view_width;                   // canvas size at the zoom step
    uint32_t view_height;
    // Where a drag moved the picture from its centred place; 0 in a
    // direction where it fits the client area. Window's thread only.
    int32_t pan_x;
    int32_t pan_y;
    uint32_t start_frame;                  // the frame a starting thread shows first
    uint32_t run;                          // playback threads started so far (wrapping)
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
    Display display;                       // the frame on show (display.h), the one record of it
};

// ---- Paint lock -------------------------------------------------------------

// Spins (yielding between tries) until the lock is ours. Not re-entrant; never
// held while waiting for an event, a message or the other thread.
void acquire_paint_lock(Player* player);
void release_paint_lock(Player* player);
