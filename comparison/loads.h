// The loads that zoetra-bench times and the tests check, each from a GIF
// file already in memory: Zoetra's to its frame store, the others to one
// finished full-canvas 32-bit picture per frame; and their release.
#pragma once
#include <cstddef>
#include <cstdint>

#include "decode/gif_decode.h"

// The colour that clears the canvas in every load that composites itself.
constexpr uint32_t BENCH_BACKGROUND = 0x808080;

// Zoetra's load exactly as the program runs it (with helpers as the mode
// says). Returns the decoder's result; the caller releases the animation
// (animation_release) in every case.
int zoetra_load(const uint8_t* data, size_t size, LzwTable* table, Animation* animation,
                CompositeHelpersMode mode = HELPERS_AUTO);

// Pictures made by the comparison loads: count pictures of width x height
// 0x00RRGGBB pixels, each its own allocation.
struct Pictures {
    uint32_t width;
    uint32_t height;
    uint32_t count;
    uint32_t** frames;
};

// giflib: DGifSlurp from memory plus a plain compositing loop with the same
// disposal and transparency rules as Zoetra (the canvas cleared to
// BENCH_BACKGROUND, restore to background, restore to previous). With keep,
// each frame's picture is kept (for comparing pictures); without, every
// frame is composited once into one reused picture and nothing is kept:
// the least a player over giflib does, and what the benchmark times.
// Returns 1, or 0 when giflib refuses the file.
int giflib_load(const uint8_t* data, size_t size, Pictures* pictures, bool keep = true);

// The floor: every picture written once into fresh memory, the first by a
// memset, every later one by a memcpy of the one before.
void floor_load(uint32_t width, uint32_t height, uint32_t count, Pictures* pictures);

void pictures_release(Pictures* pictures);
