// The decoded file: one Animation record and its frame table. Every counted
// frame is kept in the frame store (frame_store.h): a key frame as a whole
// picture, any other as the change from the frame before, their pixels as
// indices into a palette of the store where they can be. A frame's picture
// is rebuilt from its key frame and the changes after it.
#pragma once
#include <cstdint>

constexpr uint32_t ANIM_HAS_GLOBAL_PALETTE = 0x10000000;
constexpr uint32_t FRAME_HAS_TRANSPARENCY = 0x10000000;
constexpr uint32_t FRAME_TABLE_STEP = 500;
// "No frame": what a picture holds before it holds any.
constexpr uint32_t NO_FRAME = 0xFFFFFFFF;
constexpr uint32_t PALETTE_SIZE = 256;

// A palette of the store: the colours (0x00RRGGBB) that the indices of its
// blocks stand for, kept once however many blocks use it.
struct StoredPalette {
    StoredPalette* next;             // the animation's list of them
    uint64_t hash;                   // of the colours
    uint32_t colours[PALETTE_SIZE];
};

struct Frame {
    // In the store, once the frame is composited: a key frame's canvas-size
    // picture (Animation.width x Animation.height pixels), or the frame's
    // change. Null before.
    const void* stored;
    // The colours of its pixels, which are one-byte indices into them; null
    // when they are 32-bit colours.
    const uint32_t* palette;
    uint32_t key;              // the key frame it is rebuilt from; itself for a key frame
    uint32_t cost;             // pixels the changes from that key frame up to it write
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
    uint32_t frame_count;      // frames that are composited and stored
    uint32_t image_count;      // image descriptors the file holds, as far as it was walked;
                               // more than frame_count when the memory bound cut the decode
    uint32_t loop_count;       // NETSCAPE loop count; 0 also when the file has none
    uint32_t flags;            // ANIM_HAS_GLOBAL_PALETTE
    Frame* frames;             // zero-filled table; unwritten entries stay zero
    uint64_t stored_bytes;     // bytes of the frames' stored pictures, changes and palettes
    StoredPalette* palettes;   // every palette the stored frames use
};

// Gives the animation a fresh zero-filled table of FRAME_TABLE_STEP entries.
// Returns 1, or 0 when it cannot be allocated.
int animation_create_table(Animation* animation);

// Grows the table from old_capacity to new_capacity entries, keeping the
// existing ones and zeroing the new ones. Returns 1, or 0 (table unchanged)
// when the memory cannot be had or the size would overflow.
int animation_grow_table(Animation* animation, uint32_t old_capacity, uint32_t new_capacity);

// Frees the stored data of the first frame_count frames, the palettes and
// the table, and zeroes the record.
void animation_release(Animation* animation);

// ---- Rebuilding pictures ------------------------------------------------------

// Pixels written to bring a picture that holds frame from to frame to by the
// changes between them, or FRAME_COST_NONE when they cannot (from is later
// than to, or lies before to's key frame; NO_FRAME never can).
constexpr uint64_t FRAME_COST_NONE = ~uint64_t(0);
uint64_t frame_changes_cost(const Animation* animation, uint32_t from, uint32_t to);

// Pixels written to make frame to from its key frame: the key frame's
// picture and the changes after it.
uint64_t frame_rebuild_cost(const Animation* animation, uint32_t to);

// Brings pixels (a canvas-size picture, rows packed) holding frame from
// (NO_FRAME: anything) to frame to: by the changes between them where they
// can, else from to's key frame. Returns the pixels written (0 when from is
// to).
uint64_t frame_bring(const Animation* animation, uint32_t* pixels, uint32_t from, uint32_t to);
