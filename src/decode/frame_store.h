// The frame store: every frame of an animation kept as what differs from
// the frame before it.
//
// A frame is either
//   a key frame: a picture of the whole canvas, W x H pixels; or
//   a change: the pixels in which it differs from the frame before, as runs
//   of pixels on rows (below), inside its bounding rectangle of change.
// A frame's picture is therefore its key frame (the nearest one at or
// before it) with the changes after that key frame applied in order. The
// compositor makes a frame a key frame where that keeps both bounds of a
// replay: from a key frame to any frame it leads to, the changes write at
// most one canvas of pixels; and a run of frames never holds more than that
// many whole pictures would.
//
// Each frame's data is one block of its own, sized exactly, that never moves
// once stored, so a frame can be read while later frames are stored. The
// Animation owns the blocks (animation_release frees them).
//
// A change, 32-bit words throughout:
//   rows (1)                     rows that change, top to bottom
//   per row:
//     y (low 16 bits) | runs (high 16 bits)
//     runs x { x (low 16 bits) | length (high 16 bits) }, left to right
//     the pixels of the runs, in order
#pragma once
#include <cstddef>
#include <cstdint>

// What the allocator adds to each block, counted with it.
constexpr uint64_t STORE_BLOCK_OVERHEAD = 16;

// A block of bytes for a frame's stored data, its contents left as they
// come (every picture and change is written whole before it is read); null
// without memory. Adds its cost to *stored_bytes.
void* store_allocate(uint64_t* stored_bytes, size_t bytes);
// What a block of bytes costs.
inline uint64_t store_block_cost(uint64_t bytes) { return bytes + STORE_BLOCK_OVERHEAD; }

// The most bytes a change inside a rectangle of width x height pixels can
// take: one run a row at worst.
size_t change_bound_bytes(uint32_t width, uint32_t height);

// Writes a change into pixels, a canvas of the given width; returns the
// pixels written.
uint64_t change_apply(const uint8_t* change, uint32_t* pixels, uint32_t width);

// A change being written row by row into room of change_bound_bytes for its
// rectangle.
struct ChangeWriter {
    uint32_t* start;   // the rows word, counting the rows written
    uint32_t* next;    // where the next row goes
    uint64_t pixels;   // pixels of all runs so far
};

void change_begin(ChangeWriter* writer, void* room);
// Adds row y: run_count runs (x | length << 16) in order, each run's pixels
// taken from row at the run's x.
void change_add_row(ChangeWriter* writer, uint32_t y, const uint32_t* runs, uint32_t run_count,
                    const uint32_t* row);
// Bytes written so far.
size_t change_bytes(const ChangeWriter* writer);
