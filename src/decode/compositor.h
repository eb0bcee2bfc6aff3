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

// Composites frame index (its fields read, earlier frames composited):
// applies frame index-1's disposal to the canvas, draws image (the frame's
// width x height pixels, rows packed; null for an empty image) at its offset
// without its transparent colour, and writes the result into picture, a
// canvas-size bitmap that the frame then owns. Every pixel of it is written.
void composite_frame(Animation* animation, CompositingContext* context, uint32_t index,
                     const uint32_t* image, Bitmap picture);

// Ends a decode's compositing; the pictures it refers to stay with the frames.
void compositing_release(CompositingContext* context);
