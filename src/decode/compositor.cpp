// The frame compositor.
//
// Disposal of frame k takes effect when frame k + 1 is drawn:
//   2      restore to background: frame k's rectangle is cleared
//   3      restore to previous: the canvas stays as it was before frame k
//   others nothing: frame k stays on the canvas
// The canvas is cleared with the window's background colour, never with a
// colour from the file.
//
// The canvas before a frame is described, never copied, as a picture with
// one rectangle replaced (CanvasBefore). A key frame's picture is written
// row by row straight from that description and the image, each pixel once
// (twice where a transparent image lies over it). A frame kept as a change is drawn
// on the running canvas instead, row by row: each row of its bounding
// rectangle of change is made in a row buffer, compared with the last
// picture, and only the runs that differ are stored and written back.
#include "decode/compositor.h"

#include <cstdlib>
#include <cstring>

#include "decode/frame_store.h"
#include "platform/sse2.h"
#include "platform/surface.h"

namespace {

// Unchanged pixels shorter than this between two changed ones are stored
// with them: a run costs a word of its own and a copy call.
constexpr uint32_t RUN_GAP = 8;

bool is_empty(const CanvasRect& r) { return r.right <= r.left || r.bottom <= r.top; }

uint64_t area(const CanvasRect& r) {
    return is_empty(r) ? 0 : uint64_t(r.right - r.left) * (r.bottom - r.top);
}

CanvasRect unite(const CanvasRect& a, const CanvasRect& b) {
    if (is_empty(a)) return b;
    if (is_empty(b)) return a;
    return CanvasRect{a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
                      a.right > b.right ? a.right : b.right,
                      a.bottom > b.bottom ? a.bottom : b.bottom};
}

uint32_t clip(uint64_t value, uint32_t limit) { return value < limit ? uint32_t(value) : limit; }

// The part of an image rectangle that lies on a width x height canvas.
CanvasRect drawn_rect(uint32_t left, uint32_t top, uint32_t image_width, uint32_t image_height,
                      uint32_t width, uint32_t height) {
    return CanvasRect{clip(left, width), clip(top, height), clip(uint64_t(left) + image_width, width),
                      clip(uint64_t(top) + image_height, height)};
}

bool row_in(const CanvasRect& r, uint32_t y) { return !is_empty(r) && y >= r.top && y < r.bottom; }

// Whether the pending rectangle covers part of [x0, x1) of row y.
bool pending_in_row(const CanvasBefore* c, uint32_t y, uint32_t x0, uint32_t x1) {
    return c->pending != PENDING_NONE && row_in(c->rect, y) && c->rect.left < x1 &&
           c->rect.right > x0;
}

// The pixel run [x0, x1) of the canvas row y, as the description gives it,
// into row (indexed by x).
void canvas_run(const CanvasBefore* c, uint32_t width, uint32_t y, uint32_t* row, uint32_t x0,
                uint32_t x1) {
    if (x0 >= x1) return;
    const uint32_t* base = c->base ? c->base + size_t(y) * width : nullptr;
    auto from_base = [&](uint32_t a, uint32_t b) {
        if (a >= b) return;
        if (base) {
            pixels_copy(row + a, base + a, b - a);
        } else {
            pixels_fill(row + a, b - a, c->background);
        }
    };
    if (!pending_in_row(c, y, x0, x1)) {
        from_base(x0, x1);
        return;
    }
    const uint32_t c0 = c->rect.left < x0 ? x0 : c->rect.left;
    const uint32_t c1 = c->rect.right > x1 ? x1 : c->rect.right;
    from_base(x0, c0);
    if (c->pending == PENDING_CLEAR) {
        pixels_fill(row + c0, c1 - c0, c->background);
    } else {
        const uint32_t saved_width = c->rect.right - c->rect.left;
        pixels_copy(row + c0,
                    c->saved + size_t(y - c->rect.top) * saved_width + (c0 - c->rect.left),
                    c1 - c0);
    }
    from_base(c1, x1);
}

// Makes buffer hold at least bytes; what it held is not kept.
bool reserve(void** buffer, size_t* capacity, size_t bytes) {
    if (bytes <= *capacity) return true;
    std::free(*buffer);
    *buffer = std::malloc(bytes);
    *capacity = *buffer ? bytes : 0;
    return *buffer != nullptr;
}

// The saved-rectangle buffer (0 or 1) that the canvas before does not use.
uint32_t free_slot(const CompositingContext* context, const CanvasBefore& before) {
    return before.pending == PENDING_RESTORE && before.saved == context->saved[0] ? 1 : 0;
}

// The saved-rectangle buffer that `before` does not use, holding at least
// pixels; null without memory.
uint32_t* free_saved(CompositingContext* context, uint64_t pixels) {
    const uint32_t k = free_slot(context, context->before);
    void* buffer = context->saved[k];
    if (!reserve(&buffer, &context->saved_capacity[k], size_t(pixels) * 4u)) {
        context->saved[k] = nullptr;
        return nullptr;
    }
    context->saved[k] = static_cast<uint32_t*>(buffer);
    return context->saved[k];
}

// The runs in which new and old differ over [x0, x1), joined across gaps
// shorter than RUN_GAP, as x | length << 16. Where runs would take more
// room than one run from the first change to the last, that one run.
uint32_t find_runs(const uint32_t* fresh, const uint32_t* old, uint32_t x0, uint32_t x1,
                   uint32_t* runs) {
    uint32_t count = 0, covered = 0;
    uint32_t x = x0;
    while (x < x1) {
#ifdef ZOETRA_SSE2
        for (; x + 4 <= x1; x += 4) {
            __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fresh + x));
            __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(old + x));
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, b)) != 0xFFFF) break;
        }
#endif
        while (x < x1 && fresh[x] == old[x]) x++;
        if (x >= x1) break;
        const uint32_t start = x;
        uint32_t last = x++;
        for (; x < x1 && x - last <= RUN_GAP; x++) {
            if (fresh[x] != old[x]) last = x;
        }
        runs[count++] = start | (last + 1 - start) << 16;
        covered += last + 1 - start;
    }
    if (count > 1) {
        const uint32_t first = runs[0] & 0xFFFFu;
        const uint32_t end = (runs[count - 1] & 0xFFFFu) + (runs[count - 1] >> 16);
        if (count + covered > 1 + (end - first)) {
            runs[0] = first | (end - first) << 16;
            count = 1;
        }
    }
    return count;
}

// Makes the running canvas hold the last picture and `before` refer to it;
// the last picture may have been a key frame's. Returns false without
// memory, the context unchanged but for buffers it may have grown.
bool take_canvas(CompositingContext* context, uint32_t width, uint32_t height) {
    const size_t bytes = bitmap_byte_size(width, height);
    if (!context->canvas) {
        context->canvas = static_cast<uint32_t*>(std::malloc(bytes));
        if (!context->canvas) return false;
    }
    if (context->last == context->canvas) return true;
    CanvasBefore* before = &context->before;
    if (before->base != context->last) {
        // After a key frame restored to previous, the canvas before the
        // next frame is not that key frame's picture but the one before it,
        // which may be the running canvas itself. Outside the key frame's
        // rectangle (dirty) the two agree; inside it, it is saved first.
        const CanvasRect dirty = context->dirty;
        uint32_t* saved = nullptr;
        if (!is_empty(dirty)) {
            saved = free_saved(context, area(dirty));
            if (!saved) return false;
            const uint32_t saved_width = dirty.right - dirty.left;
            for (uint32_t y = dirty.top; y < dirty.bottom; y++) {
                canvas_run(before, width, y, context->row, dirty.left, dirty.right);
                pixels_copy(saved + size_t(y - dirty.top) * saved_width, context->row + dirty.left,
                            saved_width);
            }
        }
        *before = CanvasBefore{context->canvas, saved ? uint32_t(PENDING_RESTORE) : uint32_t(PENDING_NONE),
                               dirty, saved, before->background};
    } else {
        before->base = context->canvas;
    }
    pixels_copy(context->canvas, context->last, bytes / 4);
    context->last = context->canvas;
    return true;
}

// After frame index is drawn: the canvas the next frame is drawn over, by
// its disposal. picture is the frame's picture; saved, for a frame kept as
// a change that restores to previous, the canvas before it in its
// rectangle.
void advance(CompositingContext* context, const Frame* frame, const CanvasRect& drawn,
             const uint32_t* picture, const uint32_t* saved) {
    CanvasBefore* before = &context->before;
    context->last = picture;
    if (frame->disposal == 3) {
        if (saved) {
            *before = CanvasBefore{picture, PENDING_RESTORE, drawn, saved, before->background};
        }
        // A key frame leaves `before` as it was: the picture it was drawn
        // over stays untouched in the store or the canvas.
        context->dirty = drawn;
        if (is_empty(drawn)) context->dirty = CanvasRect{};
        return;
    }
    if (frame->disposal == 2 && !is_empty(drawn)) {
        *before = CanvasBefore{picture, PENDING_CLEAR, drawn, nullptr, before->background};
        context->dirty = drawn;
        return;
    }
    *before = CanvasBefore{picture, PENDING_NONE, CanvasRect{}, nullptr, before->background};
    context->dirty = CanvasRect{};
}

}  // namespace

void composite_plan(const CompositingContext* context, uint32_t width, uint32_t height,
                    uint32_t index, uint32_t left, uint32_t top, uint32_t image_width,
                    uint32_t image_height, uint32_t disposal, CompositePlan* plan) {
    *plan = CompositePlan{};
    plan->drawn = drawn_rect(left, top, image_width, image_height, width, height);
    plan->change = unite(plan->drawn, context->dirty);
    const uint64_t canvas_pixels = uint64_t(width) * height;
    const uint64_t picture = store_block_cost(canvas_pixels * 4u);
    // A frame that may change half the canvas or more is a key frame at
    // once: as a change it would cost about as much, and replaying it would
    // copy as much as a key frame does.
    plan->key = index == 0 || area(plan->change) * 2 >= canvas_pixels;
    if (plan->key) {
        plan->store_bytes = picture;
        return;
    }
    uint64_t scratch = 0;
    if (!context->canvas) scratch += canvas_pixels * 4u;
    if (!context->row) scratch += uint64_t(width) * 8u;
    // Saved rectangles, each in the buffer it will go into (free_saved): the
    // canvas before a key frame that restored to previous, which take_canvas
    // saves, then this frame's own restore.
    uint64_t saved_bytes[2] = {0, 0};
    uint32_t own = free_slot(context, context->before);
    if (context->last != context->canvas && context->before.base != context->last) {
        if (is_empty(context->dirty)) {
            own = 0;  // take_canvas leaves nothing pending
        } else {
            saved_bytes[own] = area(context->dirty) * 4u;
            own ^= 1;
        }
    }
    if (disposal == 3) saved_bytes[own] = area(plan->drawn) * 4u;
    for (uint32_t k = 0; k < 2; k++) {
        if (saved_bytes[k] > context->saved_capacity[k]) scratch += saved_bytes[k];
    }
    const uint64_t bound = change_bound_bytes(plan->change.right - plan->change.left,
                                              plan->change.bottom - plan->change.top);
    if (bound > context->change_capacity) scratch += bound;
    plan->scratch_bytes = scratch;
    // The change itself, at worst as large as its bound; and where that
    // would take the changes since the key frame past a canvas, a key
    // frame's picture instead.
    plan->store_bytes = store_block_cost(bound);
    if (context->since_key_bytes + bound > canvas_pixels * 4u) {
        plan->store_bytes = plan->store_bytes > picture ? plan->store_bytes : picture;
    }
}

uint64_t compositing_scratch_bytes(const CompositingContext* context, uint32_t width,
                                   uint32_t height) {
    uint64_t bytes = context->saved_capacity[0] + context->saved_capacity[1] + context->change_capacity;
    if (context->canvas) bytes += uint64_t(width) * height * 4u;
    if (context->row) bytes += uint64_t(width) * 8u;
    return bytes;
}

void composite_begin_key(Animation* animation, CompositingContext* context, uint32_t index,
                         const uint32_t* image, uint32_t* picture, CompositeJob* job) {
    const uint32_t width = animation->width, height = animation->height;
    Frame* frame = &animation->frames[index];
    if (index == 0) {
        // Frame 0 starts from a canvas that is all background.
        const uint32_t background = context->before.background;
        context->before = CanvasBefore{nullptr, PENDING_NONE, CanvasRect{}, nullptr, background};
        context->last = nullptr;
        context->dirty = CanvasRect{};
    }
    job->canvas = context->before;
    job->image = image;
    job->image_width = frame->width;
    job->image_top = frame->top;
    job->drawn = drawn_rect(frame->left, frame->top, frame->width, frame->height, width, height);
    job->keyed = frame->transparent_key != 0;
    // The key is COLORREF 0x00BBGGRR; pixels are 0x00RRGGBB.
    job->key = swap_red_blue(frame->transparent_key);
    job->picture = picture;
    job->width = width;
    job->height = picture ? height : 0;

    frame->stored = picture;
    frame->key = index;
    frame->cost = 0;
    context->key = index;
    context->since_key_bytes = 0;
    context->since_key_pixels = 0;
    advance(context, frame, job->drawn, picture, nullptr);
}

void composite_rows(const CompositeJob* job, uint32_t first_row, uint32_t end_row) {
    const CanvasBefore* canvas = &job->canvas;
    const uint32_t width = job->width, left = job->drawn.left, right = job->drawn.right;
    const bool has_image = job->image && !is_empty(job->drawn);
    if (end_row > job->height) end_row = job->height;
    for (uint32_t y = first_row; y < end_row; y++) {
        uint32_t* row = job->picture + size_t(y) * width;
        if (!has_image || !row_in(job->drawn, y)) {
            canvas_run(canvas, width, y, row, 0, width);
            continue;
        }
        const uint32_t* from = job->image + size_t(y - job->image_top) * job->image_width;
        if (job->keyed && canvas->base && !pending_in_row(canvas, y, left, right)) {
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

int composite_change(Animation* animation, CompositingContext* context, uint32_t index,
                     const uint32_t* image, const CompositePlan* plan) {
    const uint32_t width = animation->width, height = animation->height;
    Frame* frame = &animation->frames[index];
    const CanvasRect drawn = plan->drawn;
    if (!context->row) {
        context->row = static_cast<uint32_t*>(std::malloc(size_t(width) * 4u));
        context->runs = static_cast<uint32_t*>(std::malloc(size_t(width) * 4u));
        if (!context->row || !context->runs) {
            std::free(context->row);
            std::free(context->runs);
            context->row = context->runs = nullptr;
            return 0;
        }
    }
    if (!take_canvas(context, width, height)) return 0;
    const CanvasBefore* before = &context->before;
    uint32_t* own_saved = nullptr;
    if (frame->disposal == 3 && !is_empty(drawn)) {
        own_saved = free_saved(context, area(drawn));
        if (!own_saved) return 0;
    }
    // The plan's: take_canvas leaves `dirty` as it was.
    const CanvasRect change = plan->change;
    if (!reserve(&context->change, &context->change_capacity,
                 change_bound_bytes(change.right - change.left, change.bottom - change.top))) {
        return 0;
    }

    // The rows of the rectangle of change, each made in the row buffer from
    // the canvas before the frame and the image, then compared with the last
    // picture (the running canvas, left as it is until the change is kept).
    const bool keyed = frame->transparent_key != 0;
    const uint32_t key = swap_red_blue(frame->transparent_key);
    const uint32_t drawn_width = drawn.right - drawn.left;
    uint32_t* row = context->row;
    ChangeWriter writer;
    change_begin(&writer, context->change);
    for (uint32_t y = change.top; y < change.bottom; y++) {
        const bool image_row = image && row_in(drawn, y);
        const bool pending_row = before->pending != PENDING_NONE && row_in(before->rect, y);
        if (!image_row && !pending_row) continue;
        uint32_t x0 = image_row ? drawn.left : before->rect.left;
        uint32_t x1 = image_row ? drawn.right : before->rect.right;
        if (image_row && pending_row) {
            if (before->rect.left < x0) x0 = before->rect.left;
            if (before->rect.right > x1) x1 = before->rect.right;
        }
        canvas_run(before, width, y, row, x0, x1);
        if (own_saved && row_in(drawn, y)) {
            pixels_copy(own_saved + size_t(y - drawn.top) * drawn_width, row + drawn.left,
                        drawn_width);
        }
        if (image_row) {
            const uint32_t* from = image + size_t(y - frame->top) * frame->width;
            if (keyed) {
                pixels_copy_keyed(row + drawn.left, from, drawn_width, key);
            } else {
                pixels_copy(row + drawn.left, from, drawn_width);
            }
        }
        const uint32_t* old = context->canvas + size_t(y) * width;
        const uint32_t run_count = find_runs(row, old, x0, x1, context->runs);
        change_add_row(&writer, y, context->runs, run_count, row);
    }

    const size_t bytes = change_bytes(&writer);
    const uint64_t canvas_bytes = uint64_t(width) * height * 4u;
    const bool key_frame = context->since_key_bytes + bytes > canvas_bytes;
    void* stored = store_allocate(&animation->stored_bytes, key_frame ? size_t(canvas_bytes) : bytes);
    if (!stored) return 0;
    change_apply(static_cast<const uint8_t*>(context->change), context->canvas, width);
    if (key_frame) {
        pixels_copy(static_cast<uint32_t*>(stored), context->canvas, size_t(canvas_bytes / 4));
        frame->key = index;
        frame->cost = 0;
        context->key = index;
        context->since_key_bytes = 0;
        context->since_key_pixels = 0;
    } else {
        std::memcpy(stored, context->change, bytes);
        context->since_key_bytes += bytes;
        context->since_key_pixels += uint32_t(writer.pixels);
        frame->key = context->key;
        frame->cost = context->since_key_pixels;
    }
    frame->stored = stored;
    advance(context, frame, drawn, context->canvas, own_saved);
    return 1;
}

void compositing_release(CompositingContext* context) {
    std::free(context->canvas);
    std::free(context->saved[0]);
    std::free(context->saved[1]);
    std::free(context->row);
    std::free(context->runs);
    std::free(context->change);
    const uint32_t background = context->before.background;
    *context = CompositingContext{};
    context->before.background = background;
}
