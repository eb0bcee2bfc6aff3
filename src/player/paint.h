// Drawing into the main window: the few operations the view and the playback
// engine need, with the effect each relies on, and the one message the
// playback thread sends it: the player's port to the window.
// src/app/paint_gdi.cpp does them with GDI on the Player's device contexts;
// the tests' recording screen (tests/support/paint_screen.h) draws into a
// plain bitmap.
#pragma once
#include <cstdint>

#include "decode/animation.h"
#include "player/player.h"

// Selects a display picture into memory_dc: the picture on show.
void paint_select_picture(Player* player, const Bitmap* picture);

// Selects the placeholder bitmap into memory_dc, so that no display picture
// stays selected (before the pictures are freed).
void paint_select_none(Player* player);

// Stretches the picture on show, which holds frame index, onto window_dc at
// the view rectangle (HALFTONE on Windows). Called by the playback thread
// under the paint lock; when it returns the system has finished reading
// the picture, so it may be written again.
void paint_frame(Player* player, const Animation* animation, uint32_t index);

// Tells the window that the passes of playback thread run have ended by
// themselves (PostMessage on Windows: it never waits for the window's
// thread, and it is harmless when the window is gone). Called by the thread
// just before its end; the window answers with playback_ended.
void paint_playback_ended(Player* player, uint32_t run);

// Fills the rectangle (right and bottom excluded) on window_dc with
// background_brush; an empty rectangle paints nothing.
void paint_fill_rect(Player* player, const Rect* rect);

// Marks the whole client area for repainting and runs the repaint (paint_view)
// before returning: InvalidateRect + UpdateWindow.
void paint_invalidate_now(Player* player);

// The client area's size (GetClientRect).
void paint_client_size(Player* player, uint32_t* width, uint32_t* height);

// One WM_PAINT: paint_begin validates the client area and hands out the DC to
// paint in; paint_end closes it. state holds the platform's paint record.
struct PaintSession {
    void* dc;
    alignas(8) unsigned char state[96];
};
void paint_begin(Player* player, PaintSession* session);
void paint_end(Player* player, PaintSession* session);

// Stretches the picture selected in memory_dc, from its (0, 0) with the
// canvas size of animation, onto the session's DC at the view rectangle.
// paint_end returns once the system has finished reading it.
void paint_stretch_selected(Player* player, PaintSession* session, const Animation* animation);
