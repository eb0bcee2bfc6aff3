// The display: the pictures the frames are shown from. A frame is kept in
// the store only as a key frame or a change (decode/frame_store.h), so the
// player rebuilds the frame on show in a picture of its own: the next
// frame's change applied to the picture on show, or, backward and by jumps,
// a key frame copied and the changes after it applied. Two pictures, so that
// such a rebuild goes into the one not on show, outside the paint lock,
// and only the switch to it (and a step forward of one change in place)
// happens under the lock. Bringing the picture to a neighbouring frame
// therefore writes at most about two canvases of pixels.
//
// The display is the one record of the frame on show. It belongs to
// whichever thread may draw: the playback thread while one runs, the
// window's thread otherwise (the stop handshake hands it over), and only
// the playback engine (playback.h) brings frames on show. The window's
// thread paints the picture on show under the paint lock at any time.
#pragma once
#include <cstdint>

#include "player/player.h"

// Makes the pictures for the animation's canvas, with nothing on show; kept
// as they are when they have that size already (the loading preview made
// them). Returns 1, or 0 without memory (no pictures: nothing can be shown).
int display_create(Player* player);

// Takes the picture on show out of memory_dc and frees the pictures: before
// the animation is released or replaced.
void display_release(Player* player);

// The frame on show, or NO_FRAME.
uint32_t display_shown(const Player* player);

// One frame brought on show in two halves: display_prepare, outside the
// paint lock, rebuilds it in the picture not on show when that is cheapest;
// display_commit, under the lock, applies a change in place where that is
// cheaper and puts the picture on show (selected into memory_dc).
struct DisplayStep {
    int32_t picture;  // the picture to show; -1: nothing to do
    uint32_t from;    // the frame it holds now...
    uint32_t to;      // ...and the frame it is to show
};
DisplayStep display_prepare(Player* player, uint32_t frame);
void display_commit(Player* player, const DisplayStep* step);

// Both, for the window's thread while no playback thread runs. The caller
// repaints.
void display_show(Player* player, uint32_t frame);
