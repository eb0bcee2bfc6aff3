// The frame image builder: turns one image of the file (descriptor, optional
// local colour table, LZW data) into 32-bit top-down pixels of exactly the
// image's size for the next Frame, with its palette chosen, its transparent
// colour made unique and interlaced rows put in display order.
#pragma once
#include <cstddef>
#include <cstdint>

#include "decode/animation.h"
#include "decode/byte_stream.h"
#include "decode/lzw.h"

constexpr uint32_t PALETTE_SIZE = 256;

// 256 colours 0x00RRGGBB; entries beyond the table's count are 0.
struct Palette {
    uint32_t colours[PALETTE_SIZE];
};

// Where a decode builds each image: made once, reused by every image of the
// file and grown when one needs more, so an image costs no fresh memory of
// its own. Plain memory: an image is never shown, only the finished picture
// the compositor makes of it.
struct ImageScratch {
    uint32_t* pixels;
    size_t capacity;  // pixels
};

// Frees the scratch's memory and zeroes the record.
void image_scratch_release(ImageScratch* scratch);

// Builds frame *frame_index from the 9 descriptor bytes, reading the local
// colour table and the image data from the stream: the frame's fields, and
// its width x height pixels in scratch->pixels (rows packed). global and
// global_count are the file's global colour table (count 0 when it has
// none); work is scratch space for the palette the image uses. Advances
// *frame_index by 1 unless the image's pixels cannot be had. Returns the LZW
// decoder's result (0 to 3), or RESULT_LOAD_FAILED when there is no memory
// for the pixels or the image is larger than any bitmap (frame not counted).
// poll (may be null) goes to the LZW decoder.
int build_frame_image(ByteStream* stream, const uint8_t descriptor[9], const Palette* global,
                      uint32_t global_count, Palette* work, LzwTable* table,
                      ImageScratch* scratch, uint32_t* frame_index, Animation* animation,
                      const PollHook* poll = nullptr);

// Reads count (at most 256) RGB triplets into palette entries 0..count-1.
// Returns 1, or 0 when the stream ran out (later entries keep their values).
int read_color_table(ByteStream* stream, Palette* palette, uint32_t count);

// Writes the colour of entry index into *key in COLORREF order, keeping the
// flag bit. When another of the first count entries holds the same colour,
// entry index gets the smallest positive colour that none of them holds, and
// the key follows it, so the key matches the pixels of that index only.
void make_transparent_color_unique(Palette* palette, uint32_t count, uint32_t index,
                                   uint32_t* key);

// Moves the rows of an interlaced width x height image from pass order to
// display order, in place. Returns RESULT_OK, or RESULT_BITMAP_FAILED (image
// unchanged) when its one row of scratch cannot be had.
int deinterlace_frame(uint32_t* pixels, uint32_t width, uint32_t height);

// The stored row of an interlaced image of the given height that is shown at
// display row y. The passes store every 8th row from 0, every 8th from 4,
// every 4th from 2, then every 2nd from 1.
uint32_t interlaced_source_row(uint32_t y, uint32_t height);
