// The decoded file: one Animation record and its frame table. Every counted
// frame owns a finished full-canvas picture, so playback only ever copies or
// stretches a ready bitmap.
#pragma once
#include <cstdint>

#include "platform/surface.h"

constexpr uint32_t ANIM_HAS_GLOBAL_PALETTE = 0x10000000;
constexpr uint32_t FRAME_HAS_TRANSPARENCY = 0x10000000;
constexpr uint32_t FRAME_TABLE_STEP = 500;

struct Frame {
    // The finished Animation.width x Animation.height picture, once the
    // frame is composited; empty before.
    Bitmap bitmap;
    uint32_t width;            // image rectangle, from the image descriptor
    uint32_t height;
    uint32_t top;              // note the order: top before left
    uint32_t left;
    uint32_t interlaced;       // 1 when the image's rows come in four passes
    uint32_t delay_ms;         // graphic control delay x 10, then normalised
    uint32_t disposal;         // 0..7; 2 restores background, 3 restores previous
    // 0: opaque. Else FRAME_HAS_TRANSPARENCY plus, as the parser writes it,
    // the palette index in the low byte; the frame image builder turns that
    // into the key colour in COLORREF order (0x00BBGGRR).
    uint32_t transparent_key;
};

struct Animation {
    uint32_t width;            // canvas (logical screen) size
    uint32_t height;
    uint32_t frame_count;      // frames that hold a finished picture
    uint32_t loop_count;       // NETSCAPE loop count; 0 also when the file has none
    uint32_t flags;            // ANIM_HAS_GLOBAL_PALETTE
    Frame* frames;             // zero-filled table; unwritten entries stay zero
};

// Gives the animation a fresh zero-filled table of FRAME_TABLE_STEP entries.
// Returns 1, or 0 when it cannot be allocated.
int animation_create_table(Animation* animation);

// Grows the table from old_capacity to new_capacity entries, keeping the
// existing ones and zeroing the new ones. Returns 1, or 0 (table unchanged)
// when the memory cannot be had or the size would overflow.
int animation_grow_table(Animation* animation, uint32_t old_capacity, uint32_t new_capacity);

// Frees the pictures of the first frame_count frames and the table, and
// zeroes the record.
void animation_release(Animation* animation);
