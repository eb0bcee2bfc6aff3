// The frame compositor.
//
// Disposal of frame k takes effect when frame k + 1 is composited:
//   2      restore to background: frame k's rectangle is cleared
//   3      restore to previous: the canvas stays as it was before frame k
//   others nothing: frame k stays on the canvas
// The canvas is cleared with the window's background colour, never with a
// colour from the file.
//
// The canvas before frame k + 1 is therefore always one of the finished
// pictures (frame k's, or for a disposal-3 frame the one its canvas was),
// with at most frame k's rectangle cleared: the context records which, and
// every picture is built row by row from it and the image, each pixel
// written once (twice where a transparent image lies over it).
#include "decode/compositor.h"

namespace {

// The pixel run [x0, x1) of the canvas row y, as the context describes it.
void canvas_run(const CompositingContext* context, uint32_t width, uint32_t y, uint32_t* row,
                uint32_t x0, uint32_t x1) {
    if (x0 >= x1) return;
    const uint32_t* base = context->base ? context->base + size_t(y) * width : nullptr;
    auto from_base = [&](uint32_t a, uint32_t b) {
        if (a >= b) return;
        if (base) {
            pixels_copy(row + a, base + a, b - a);
        } else {
            pixels_fill(row + a, b - a, context->background);
        }
    };
    if (y < context->clear_top || y >= context->clear_bottom ||
        context->clear_left >= context->clear_right) {
        from_base(x0, x1);
        return;
    }
    uint32_t c0 = context->clear_left < x0 ? x0 : context->clear_left;
    uint32_t c1 = context->clear_right > x1 ? x1 : context->clear_right;
    if (c0 >= c1) {
        from_base(x0, x1);
        return;
    }
    from_base(x0, c0);
    pixels_fill(row + c0, c1 - c0, context->background);
    from_base(c1, x1);
}

// Whether the cleared rectangle covers part of [x0, x1) of row y.
bool clears_row(const CompositingContext* context, uint32_t y, uint32_t x0, uint32_t x1) {
    return y >= context->clear_top && y < context->clear_bottom &&
           context->clear_left < x1 && context->clear_right > x0 &&
           context->clear_left < context->clear_right;
}

uint32_t clip(uint64_t value, uint32_t limit) { return value < limit ? uint32_t(value) : limit; }

}  // namespace

void composite_begin(Animation* animation, CompositingContext* context, uint32_t index,
                     const uint32_t* image, Bitmap picture, CompositeJob* job) {
    const uint32_t width = animation->width, height = animation->height;
    Frame* frame = &animation->frames[index];
    if (index == 0) {
        // Frame 0 starts from a canvas that is all background.
        context->base = nullptr;
        context->clear_left = context->clear_top = context->clear_right = context->clear_bottom = 0;
    }
    job->canvas = *context;
    job->image = image;
    job->image_width = frame->width;
    job->image_top = frame->top;
    // The part of the image that lies on the canvas.
    job->left = clip(frame->left, width);
    job->top = clip(frame->top, height);
    job->right = clip(uint64_t(frame->left) + frame->width, width);
    job->bottom = clip(uint64_t(frame->top) + frame->height, height);
    job->keyed = frame->transparent_key != 0;
    // The key is COLORREF 0x00BBGGRR; pixels are 0x00RRGGBB.
    job->key = swap_red_blue(frame->transparent_key);
    job->picture = picture.pixels;
    job->width = width;
    job->height = picture.pixels ? height : 0;

    // What the next frame is drawn over.
    if (frame->disposal == 2) {
        context->base = picture.pixels;
        context->clear_left = job->left;
        context->clear_top = job->top;
        context->clear_right = job->right;
        context->clear_bottom = job->bottom;
    } else if (frame->disposal != 3) {
        context->base = picture.pixels;
        context->clear_left = context->clear_top = context->clear_right = context->clear_bottom = 0;
    }
    frame->bitmap = picture;
}

void composite_rows(const CompositeJob* job, uint32_t first_row, uint32_t end_row) {
    const CompositingContext* canvas = &job->canvas;
    const uint32_t width = job->width, left = job->left, right = job->right;
    const bool has_image = job->image && left < right && job->top < job->bottom;
    if (end_row > job->height) end_row = job->height;
    for (uint32_t y = first_row; y < end_row; y++) {
        uint32_t* row = job->picture + size_t(y) * width;
        if (!has_image || y < job->top || y >= job->bottom) {
            canvas_run(canvas, width, y, row, 0, width);
            continue;
        }
        const uint32_t* from = job->image + size_t(y - job->image_top) * job->image_width;
        if (job->keyed && canvas->base && !clears_row(canvas, y, left, right)) {
            // The image over the picture below, but its key colour.
            canvas_run(canvas, width, y, row, 0, left);
            pixels_blend_keyed(row + left, from, canvas->base + size_t(y) * width + left,
                               right - left, job->key);
            canvas_run(canvas, width, y, row, right, width);
        } else if (job->keyed) {
            // The canvas first, then the image's pixels but its key colour.
            canvas_run(canvas, width, y, row, 0, width);
            pixels_copy_keyed(row + left, from, right - left, job->key);
        } else {
            canvas_run(canvas, width, y, row, 0, left);
            pixels_copy(row + left, from, right - left);
            canvas_run(canvas, width, y, row, right, width);
        }
    }
}

void composite_frame(Animation* animation, CompositingContext* context, uint32_t index,
                     const uint32_t* image, Bitmap picture) {
    CompositeJob job;
    composite_begin(animation, context, index, image, picture, &job);
    composite_rows(&job, 0, job.height);
}

void compositing_release(CompositingContext* context) {
    context->base = nullptr;
    context->clear_left = context->clear_top = context->clear_right = context->clear_bottom = 0;
}
