// The frame compositor: every frame ends as its own finished picture of the
// whole canvas, so showing any frame in any order is one copy or stretch.
#pragma once
#include <cstdint>

#include "decode/animation.h"

// The running canvas of one decode. It is never held as pixels of its own:
// the canvas that the next frame is drawn over is always an earlier frame's
// finished picture (or plain background), with at most one rectangle of it
// cleared to background by a restore-to-background disposal. So each picture
// is written once, straight from that picture and the frame's image.
struct CompositingContext {
    const uint32_t* base;  // the picture the canvas equals; null: all background
    uint32_t clear_left;   // a rectangle of base that shows background instead,
    uint32_t clear_top;    // clipped to the canvas; empty when right <= left
    uint32_t clear_right;
    uint32_t clear_bottom;
    uint32_t background;   // 0x00RRGGBB that clears the canvas (the window's brush colour)
};

// One frame's compositing as composite_begin sets it up: the canvas it is
// drawn over, its image and the picture it is written into. Each row of the
// picture depends on nothing but this record, so any thread may write any
// band of rows, each row once, while the decoder goes on with the next
// image. The image and the canvas's base picture must stay as they are until
// every row is written.
struct CompositeJob {
    CompositingContext canvas;  // the canvas before the frame
    const uint32_t* image;      // the frame's image, rows packed; null for an empty image
    uint32_t image_width;       // its row length
    uint32_t image_top;         // its top row on the canvas, unclipped
    uint32_t left;              // the part of the image on the canvas, right and
    uint32_t top;               // bottom excluded; no part when left >= right
    uint32_t right;             // or top >= bottom
    uint32_t bottom;
    uint32_t keyed;             // 1 when the frame has a transparent colour...
    uint32_t key;               // ...this one, as a pixel 0x00RRGGBB
    uint32_t* picture;          // the canvas-size picture being written
    uint32_t width;             // the canvas
    uint32_t height;
};

// Sets up the compositing of frame index (its fields read, earlier frames
// set up): the canvas after frame index-1's disposal, image (the frame's
// width x height pixels, rows packed; null for an empty image) at its offset
// without its transparent colour, written into picture, a canvas-size
// bitmap that the frame owns from now on. Advances the context to the
// canvas the next frame is drawn over.
void composite_begin(Animation* animation, CompositingContext* context, uint32_t index,
                     const uint32_t* image, Bitmap picture, CompositeJob* job);

// Writes rows first_row to end_row - 1 of the job's picture.
void composite_rows(const CompositeJob* job, uint32_t first_row, uint32_t end_row);

// Both at once: composites frame index into picture, every pixel of it.
void composite_frame(Animation* animation, CompositingContext* context, uint32_t index,
                     const uint32_t* image, Bitmap picture);

// Ends a decode's compositing; the pictures it refers to stay with the frames.
void compositing_release(CompositingContext* context);
