// The native stand-in for the main window: a plain bitmap "screen" that the
// view and the playback engine draw into through paint.h, with a record of
// what was drawn, so tests can check which frames were shown, when, and the
// pixels of the bars and the picture.
//
// Attached to a Player, the screen is its window, window_dc and memory_dc.
// background_brush points at a uint32_t colour (0x00RRGGBB) to fill bars with.
#pragma once
#include <cstdint>
#include <mutex>
#include <vector>

#include "player/player.h"
#include "platform/surface.h"

struct PaintRecord {
    uint32_t frame;  // frame index drawn by paint_frame
    uint32_t tick;   // playback_tick when it was drawn
};

struct PaintScreen {
    Bitmap screen;             // the client area
    const Bitmap* selected;    // the bitmap in memory_dc; null for the placeholder
    // Called by paint_frame right after a frame was drawn (on the playback
    // thread, under the paint lock).
    void (*on_frame)(uint32_t index, void* context);
    void* on_frame_context;
    std::mutex log_lock;       // guards the counters and the log below
    std::vector<PaintRecord> frames;
    uint32_t fills;            // paint_fill_rect calls that painted something
    uint32_t paints;           // paint_begin calls (WM_PAINT)
    uint32_t invalidations;    // paint_invalidate_now calls
    uint32_t ended_runs;       // paint_playback_ended calls
    uint32_t ended_run;        // the run of the last one
};

// Makes a width x height screen (filled with 0) and makes it the Player's
// window and device contexts. Returns 1, or 0 without memory.
int paint_screen_attach(PaintScreen* screen, Player* player, uint32_t width, uint32_t height);
// A fresh width x height screen, as after a window resize (only while no
// playback thread draws).
int paint_screen_resize(PaintScreen* screen, uint32_t width, uint32_t height);
void paint_screen_release(PaintScreen* screen);

// Copies of the log and the counters, taken under log_lock.
std::vector<PaintRecord> paint_screen_frames(PaintScreen* screen);
size_t paint_screen_frame_count(PaintScreen* screen);
void paint_screen_counts(PaintScreen* screen, uint32_t* fills, uint32_t* paints,
                         uint32_t* invalidations);
// Clears the log and the counters.
void paint_screen_clear_log(PaintScreen* screen);
