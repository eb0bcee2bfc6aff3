// The frame image builder: turns one image of the file (descriptor, optional
// local colour table, LZW data) into its palette indices, one byte a pixel,
// in display order, with the colours they stand for (the palette chosen,
// the transparent colour made unique) and which of them are see-through.
#pragma once
#include <cstddef>
#include <cstdint>

#include "decode/animation.h"
#include "decode/byte_stream.h"
#include "decode/lzw.h"

// 256 colours 0x00RRGGBB; entries beyond the table's count are 0.
struct Palette {
    uint32_t colours[PALETTE_SIZE];
};

// Where a decode builds each image: made once, reused by every image of the
// file and grown when one needs more, so an image costs no fresh memory of
// its own.
struct ImageScratch {
    uint8_t* pixels;
    size_t capacity;  // pixels
};

// Frees the scratch's memory and zeroes the record.
void image_scratch_release(ImageScratch* scratch);

// One decoded image. Transparency is decided by colour, after the palette
// lookup: a pixel whose colour is the key colour is see-through. The key's
// own entry was made unique first, so another entry of its colour stays
// opaque; where the key colour is black, the entries past a short table and
// the pixels the data never reached, all black, are see-through too.
struct FrameImage {
    const uint8_t* pixels;     // width x height indices, rows packed, display order
    uint32_t width;
    uint32_t height;
    uint32_t interlaced;       // 1: the data gave the rows in four passes
    // Pixels the data gave, in the order it gave them; the others are black.
    uint32_t reached;
    Palette palette;           // the colour of each index
    uint32_t colour_count;     // entries of its table; the indices past them are black
    uint32_t keyed;            // 1 when the frame has a transparent colour
    uint8_t see_through[PALETTE_SIZE];  // keyed: 1 for each index of the key colour
    uint8_t unreached_see_through;      // keyed: 1 when the key colour is black
    int32_t single_see_through;         // keyed: the one see-through index, or -1 (several)
};

// Of the span pixels of display row y from x0, how many at its start the
// data reached; the rest of the row is black (colour 0).
uint32_t image_span_reached(const FrameImage* image, uint32_t y, uint32_t x0, uint32_t span);

// Builds frame *frame_index from the 9 descriptor bytes, reading the local
// colour table and the image data from the stream: the frame's fields, and
// the image in *image, its pixels in scratch. global and global_count are the
// file's global colour table (count 0 when it has none). Advances
// *frame_index by 1 unless the image's pixels cannot be had. Returns the LZW
// decoder's result (0 to 3), or RESULT_LOAD_FAILED when there is no memory
// for the pixels or the image is larger than any bitmap (frame not counted).
// poll (may be null) goes to the LZW decoder.
int build_frame_image(ByteStream* stream, const uint8_t descriptor[9], const Palette* global,
                      uint32_t global_count, LzwTable* table, ImageScratch* scratch,
                      uint32_t* frame_index, Animation* animation, FrameImage* image,
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
int deinterlace_frame(uint8_t* pixels, uint32_t width, uint32_t height);

// The stored row of an interlaced image of the given height that is shown at
// display row y. The passes store every 8th row from 0, every 8th from 4,
// every 4th from 2, then every 2nd from 1.
uint32_t interlaced_source_row(uint32_t y, uint32_t height);
