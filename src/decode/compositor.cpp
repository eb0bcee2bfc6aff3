// The frame compositor.
//
// Disposal of frame k takes effect when frame k + 1 is composited:
//   2      restore to background: frame k's rectangle is cleared
//   3      restore to previous: the canvas stays as it was before frame k
//   others nothing: frame k stays on the canvas
// The canvas is cleared with the window's background colour, never with a
// colour from the file.
#include "decode/compositor.h"

namespace {

// Draws frame's image at its offset, leaving out its transparent colour.
void draw_image(Bitmap* target, const Frame* frame) {
    int32_t left = int32_t(frame->left), top = int32_t(frame->top);
    if (frame->transparent_key != 0) {
        // The key is COLORREF 0x00BBGGRR; pixels are 0x00RRGGBB.
        uint32_t key = frame->transparent_key;
        uint32_t rgb = (key & 0xFFu) << 16 | (key & 0xFF00u) | (key >> 16 & 0xFFu);
        bitmap_copy_keyed(target, left, top, &frame->bitmap, frame->width, frame->height, rgb);
    } else {
        bitmap_copy(target, left, top, &frame->bitmap, frame->width, frame->height);
    }
}

}  // namespace

int composite_frame(Animation* animation, CompositingContext* context, uint32_t index) {
    const uint32_t width = animation->width, height = animation->height;
    Frame* frame = &animation->frames[index];
    Bitmap* canvas = &context->canvas;

    if (index == 0) {
        bitmap_delete(canvas);
        if (!bitmap_create(canvas, width, height)) {
            bitmap_delete(&frame->bitmap);
            return 0;
        }
        bitmap_fill(canvas, 0, 0, int32_t(width), int32_t(height), context->background);
    } else {
        const Frame* prior = &animation->frames[index - 1];
        if (prior->disposal == 2) {
            int64_t right = int64_t(prior->left) + prior->width;
            int64_t bottom = int64_t(prior->top) + prior->height;
            bitmap_fill(canvas, int32_t(prior->left), int32_t(prior->top),
                        int32_t(right > width ? width : right),
                        int32_t(bottom > height ? height : bottom), context->background);
        }
    }

    Bitmap picture{};
    if (!bitmap_create(&picture, width, height)) {
        bitmap_delete(&frame->bitmap);
        return 0;
    }
    if (frame->disposal == 3) {
        // Restore to previous: the frame is drawn on its own copy and the
        // canvas keeps the state before it.
        bitmap_copy(&picture, 0, 0, canvas, width, height);
        draw_image(&picture, frame);
    } else {
        draw_image(canvas, frame);
        bitmap_copy(&picture, 0, 0, canvas, width, height);
    }
    bitmap_delete(&frame->bitmap);
    frame->bitmap = picture;
    return 1;
}

void compositing_release(CompositingContext* context) { bitmap_delete(&context->canvas); }
