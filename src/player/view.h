// The view: where the picture sits in the client area at the zoom step, the
// bars around it, painting and resizing. Runs on the window's thread; what
// the playback thread reads of it is published under the paint lock.
#pragma once
#include <cstdint>

#include "decode/animation.h"
#include "player/player.h"

// Canvas size scaled to a zoom step, one dimension at a time (W*4, W*2,
// W+W/2, W+W/4, W, W-W/4, W/2, W/4); an index outside 0..7 gives size.
uint32_t zoom_size(uint32_t size, int32_t zoom_index);

// Places view_width x view_height in a client area of the given size,
// centred and moved by the pan (clamped anew, and kept so), and computes the
// four bars: exactly the client area outside the picture. Draws nothing.
// Publishes the rectangle and bars under the paint lock, so the caller must
// not hold it.
void layout_view(uint32_t client_width, uint32_t client_height, Player* player);

// The pan of a picture view_size long in a client area client_size long,
// in one direction: 0 where the picture fits, else kept between the two
// places where one of its edges meets the client area's, so that no gap
// opens on a side the picture overlaps.
int32_t clamp_pan(int32_t pan, uint32_t view_size, uint32_t client_size);

// The pan after a zoom step from old_size to new_size: scaled by new over
// old (rounded to the nearest), which keeps the point of the picture at the
// client area's centre there. 0 from a picture of no size.
int32_t scale_pan(int32_t pan, uint32_t old_size, uint32_t new_size);

// Whether the picture is larger than a client area of the given size in
// some direction, so a drag can move it, and (x, y) lies on it.
bool picture_movable_at(const Player* player, uint32_t client_width, uint32_t client_height,
                        int32_t x, int32_t y);

// A drag by (dx, dy): the pan moves by it, clamped, and when the picture
// moved, the client area is repainted as after a resize.
void move_view(Player* player, int32_t dx, int32_t dy);

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

// -1 zooms in, +1 zooms out, 0 resets to "100%". Recomputes the view size,
// and scales the pan with it, in every case; a step that moved also re-lays
// out and repaints the client area, while a reset leaves the layout to its
// caller. Returns 0.
int set_zoom(Player* player, int32_t step);
