// The frame store: every frame of an animation kept as what differs from
// the frame before it, in the colours the file gives it.
//
// A frame is either
//   a key frame: a picture of the whole canvas, W x H pixels; or
//   a change: the pixels in which it differs from the frame before, as runs
//   of pixels on rows (below), inside its bounding rectangle of change.
// A frame's picture is therefore its key frame (the nearest one at or
// before it) with the changes after that key frame applied in order.
//
// Pixels. A block (a key frame's picture or a change) holds one-byte
// indices into a palette of 256 colours (Frame.palette) where the colours
// it may show are at most 256, as GIF frames almost always are, and 32-bit
// colours 0x00RRGGBB where they are more (Frame.palette null). Palettes are
// kept once for each distinct set of colours; files repeat one table for
// frame after frame.
//
// Which frame is a key frame is the store's choice, by cost
// (store_keeps_change): a change is kept where it is smaller than a whole
// picture and where, from its key frame, the changes up to it write at most
// one canvas of pixels. So bringing any frame on show from its key frame
// writes at most two canvases, and a run of frames never holds more than as
// many whole pictures would.
//
// Each frame's data is one block of its own, sized exactly, that never moves
// once stored, so a frame can be read while later frames are stored. The
// Animation owns the blocks and the palettes (animation_release frees them).
//
// A change, 32-bit words but for its pixels:
//   rows (1)                     rows that change, top to bottom
//   per row:
//     y (low 16 bits) | runs (high 16 bits)
//     runs x { x (low 16 bits) | length (high 16 bits) }, left to right
//     the pixels of the runs, in order, 1 or 4 bytes each, padded to a word
#pragma once
#include <cstddef>
#include <cstdint>

#include "decode/animation.h"

// What the allocator adds to each block, counted with it.
constexpr uint64_t STORE_BLOCK_OVERHEAD = 16;

// A block of bytes for a frame's stored data, its contents left as they
// come (every picture and change is written whole before it is read); null
// without memory. Adds its cost to *stored_bytes.
void* store_allocate(uint64_t* stored_bytes, size_t bytes);
// What a block of bytes costs.
inline uint64_t store_block_cost(uint64_t bytes) { return bytes + STORE_BLOCK_OVERHEAD; }
// What a palette the store keeps costs.
constexpr uint64_t STORE_PALETTE_BYTES = sizeof(StoredPalette) + STORE_BLOCK_OVERHEAD;

// ---- Palettes -------------------------------------------------------------------

// A hash of 256 colours.
uint64_t palette_hash(const uint32_t* colours);

// The palettes of one decode by their colours, so each is kept once.
struct PaletteIndex {
    const StoredPalette** slots;  // open addressing by hash; null: empty
    uint32_t capacity;            // a power of two, or 0
    uint32_t count;
};

// The store's palette of these 256 colours: one kept before when equal,
// else a new one (its cost added to stored_bytes). Null without memory.
const uint32_t* store_palette(Animation* animation, PaletteIndex* index, const uint32_t* colours);

void palette_index_release(PaletteIndex* index);

// ---- Key frames and changes -----------------------------------------------------

// A block made ahead of need, whose pages a helper thread has written
// already. A fresh page costs a fault when it is first written (on a
// virtual machine, microseconds), and a large frame's block is hundreds of
// them: the store takes this block for a frame whose data is large, shrunk
// to its size, and the decoder has the next one made while it decodes on.
struct StoreAhead {
    uint8_t* block;   // null: none
    size_t capacity;  // bytes
    uint32_t ready;   // 1 once its pages are written
};

// The store's part of one decode: the run of frames since the last key
// frame, and the block made ahead.
struct StoreRun {
    uint32_t key;            // the last key frame
    uint64_t since_key;      // pixels the changes since it write
    StoreAhead ahead;
};

// The block made ahead is taken for data of at least this many bytes, and
// a quarter of its size: smaller data comes from the heap, mostly warm.
constexpr size_t STORE_AHEAD_MIN_BYTES = 64 * 1024;

// Frees the block made ahead, if the store never took it.
void store_ahead_release(StoreRun* run);

// Whether frame index is kept as its change from the frame before, which
// takes change_bytes bytes and writes change_pixels pixels; else it is a key
// frame, whose picture takes picture_bytes. Frame 0 is always a key frame.
bool store_keeps_change(const StoreRun* run, uint32_t index, uint64_t change_bytes,
                        uint64_t change_pixels, uint64_t picture_bytes, uint64_t canvas_pixels);

// Makes frame index a key frame whose picture (bytes, 1 or 4 a pixel as
// palette says) its caller writes into the block returned, before the frame
// is read; *warm is 1 when that is the block made ahead. Null without
// memory (nothing stored).
void* store_key_frame(Animation* animation, StoreRun* run, uint32_t index, size_t bytes,
                      const uint32_t* palette, uint32_t* warm);

// Keeps frame index as the change written in change (bytes long, writing
// pixels pixels), its pixels indices into palette (null: colours). Returns 0
// without memory (nothing stored).
int store_change(Animation* animation, StoreRun* run, uint32_t index, const void* change,
                 size_t bytes, uint64_t pixels, const uint32_t* palette);

// ---- The change format ----------------------------------------------------------

// The most bytes a change inside a rectangle of width x height pixels of
// pixel_bytes each can take: one run a row at worst.
size_t change_bound_bytes(uint32_t width, uint32_t height, uint32_t pixel_bytes);

// Applies a change to a picture of 32-bit colours width pixels wide: its
// pixels through palette, or copied where palette is null. Returns the
// pixels written.
uint64_t change_apply(const uint8_t* change, uint32_t* picture, uint32_t width,
                      const uint32_t* palette);

// A change being written row by row into room of change_bound_bytes for its
// rectangle.
struct ChangeWriter {
    uint32_t* start;       // the rows word, counting the rows written
    uint8_t* next;         // where the next row goes
    uint64_t pixels;       // pixels of all runs so far
    uint32_t pixel_bytes;  // 1 or 4
};

void change_begin(ChangeWriter* writer, void* room, uint32_t pixel_bytes);
// Adds row y: run_count runs (x | length << 16) in order, each run's pixels
// taken from row (pixel_bytes a pixel, indexed by x) at the run's x.
void change_add_row(ChangeWriter* writer, uint32_t y, const uint32_t* runs, uint32_t run_count,
                    const void* row);
// Bytes written so far.
size_t change_bytes(const ChangeWriter* writer);
