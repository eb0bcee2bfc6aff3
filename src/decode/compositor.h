// The frame compositor: every frame ends as its own finished picture of the
// whole canvas, so showing any frame in any order is one copy or stretch.
#pragma once
#include <cstdint>

#include "decode/animation.h"

// The running picture of one decode.
struct CompositingContext {
    Bitmap canvas;        // all earlier frames drawn in order, disposals applied
    uint32_t background;  // 0x00RRGGBB that clears the canvas (the window's brush colour)
};

// Composites frame index (its image built, earlier frames composited):
// applies frame index-1's disposal to the canvas, draws the image at its
// offset without its transparent colour, and replaces the frame's image by a
// canvas-size picture of the result. Returns 1, or 0 when a canvas-size
// picture cannot be made; then the frame's image has been freed and the
// frame holds no bitmap.
int composite_frame(Animation* animation, CompositingContext* context, uint32_t index);

// Frees the canvas.
void compositing_release(CompositingContext* context);
