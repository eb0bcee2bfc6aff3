// The frame compositor.
//
// Disposal of frame k takes effect when frame k + 1 is drawn:
//   2      restore to background: frame k's rectangle is cleared
//   3      restore to previous: the canvas stays as it was before frame k
//   others nothing: frame k stays on the canvas
// The canvas is cleared with the window's background colour, never with a
// colour from the file.
//
// Every frame is drawn the same way, row by row inside its rectangle of
// change: the canvas's row with the pending disposal and the image over it
// is made in a row buffer, compared with the canvas's row, and the runs
// that differ are written into the frame's change and back into the canvas.
// The store then keeps the change, or the whole picture where the change
// costs more (frame_store.h).
//
// Colours. An image is its palette indices; the canvas is slots of its own
// palette, so drawing an image maps its indices to slots once per frame
// (map_colours) and then moves bytes. Where the slots cannot hold both the
// colours the canvas shows and those the frame draws, the canvas becomes
// wide (32-bit colours) for the frame, the same code on wider pixels, and
// narrows again as soon as its colours fit. An opaque image that covers the
// whole canvas needs none of that: its indices become the canvas's as they
// are, with its palette.
#include "decode/compositor.h"

#include <cstdlib>
#include <cstring>

#include "decode/canvas_palette.h"
#include "platform/bits.h"
#include "platform/sse2.h"
#include "platform/surface.h"

namespace {

// ---- Rectangles -------------------------------------------------------------------

CanvasRect unite(const CanvasRect& a, const CanvasRect& b) {
    if (rect_empty(a)) return b;
    if (rect_empty(b)) return a;
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

bool row_in(const CanvasRect& r, uint32_t y) { return !rect_empty(r) && y >= r.top && y < r.bottom; }

// ---- Buffers ----------------------------------------------------------------------

// Makes buffer hold at least bytes; what it held is not kept.
bool reserve(void** buffer, size_t* capacity, size_t bytes) {
    if (bytes <= *capacity) return true;
    std::free(*buffer);
    *buffer = std::malloc(bytes);
    *capacity = *buffer ? bytes : 0;
    return *buffer != nullptr;
}

// What the buffers of a frame's compositing must hold, at pixel_bytes a
// pixel: the one place that decides them, for the plan and for the frame.
struct Buffers {
    size_t canvas;
    size_t saved;     // into the buffer the pending restore does not use
    size_t row;
    size_t change;
};

uint32_t own_slot(const CompositingContext* context) {
    return context->pending == PENDING_RESTORE ? context->pending_saved ^ 1 : 0;
}

Buffers buffers_for(const CompositingContext* context, uint32_t index, const CanvasRect& drawn,
                    const CanvasRect& change, uint32_t disposal, uint32_t pixel_bytes) {
    Buffers b{};
    b.canvas = size_t(context->width) * context->height * pixel_bytes;
    b.saved = disposal == 3 ? size_t(rect_area(drawn)) * pixel_bytes : 0;
    // Room for a row's runs and, after it, the row.
    b.row = size_t(context->width) * (4 + pixel_bytes);
    // Frame 0 is a key frame whatever it draws: its change is its rows word.
    b.change = index == 0 ? 4
                          : change_bound_bytes(change.right - change.left,
                                               change.bottom - change.top, pixel_bytes);
    return b;
}

bool reserve_buffers(CompositingContext* context, const Buffers& b) {
    void* row = context->runs;
    if (!reserve(&row, &context->row_capacity, b.row)) {
        context->row = context->runs = nullptr;
        return false;
    }
    context->runs = static_cast<uint32_t*>(row);
    context->row = context->runs + context->width;
    const uint32_t own = own_slot(context);
    return reserve(&context->saved[own], &context->saved_capacity[own], b.saved) &&
           reserve(&context->change, &context->change_capacity, b.change);
}

// ---- Drawing rows -----------------------------------------------------------------

// One frame drawn in the canvas's pixels.
template <typename Pixel>
struct Draw {
    const Pixel* canvas;
    uint32_t width;
    Pixel background;
    uint32_t pending;
    CanvasRect pending_rect;
    const Pixel* restore;       // PENDING_RESTORE: the saved pixels
    const FrameImage* image;
    uint32_t left, top;         // the image's place on the canvas
    CanvasRect drawn;
    Pixel map[PALETTE_SIZE];    // the image's indices as the canvas's pixels
    Pixel black;
    bool copies;                // narrow and map is the identity: indices are copied
    int see_through;            // the one see-through index, or -1 (none, or several)
    Pixel* own_saved;           // disposal 3: where the canvas before the frame is saved
};

// Indices copied over row but where they are key, sixteen at a time.
inline void copy_all_but_key(uint8_t* to, const uint8_t* from, uint32_t count, uint8_t key) {
    uint32_t i = 0;
#ifdef ZOETRA_SSE2
    const __m128i keys = _mm_set1_epi8(char(key));
    for (; i + 16 <= count; i += 16) {
        __m128i image = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        __m128i under = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + i));
        __m128i keep = _mm_cmpeq_epi8(image, keys);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i),
                         _mm_or_si128(_mm_and_si128(keep, under), _mm_andnot_si128(keep, image)));
    }
#endif
    for (; i < count; i++) {
        if (from[i] != key) to[i] = from[i];
    }
}

// The image's pixels of canvas row y over [drawn.left, drawn.right) onto row.
template <typename Pixel>
void draw_image_row(const Draw<Pixel>* d, uint32_t y, Pixel* row) {
    const FrameImage* image = d->image;
    const uint32_t iy = y - d->top, x0 = d->drawn.left - d->left;
    const uint32_t span = d->drawn.right - d->drawn.left;
    const uint32_t reached_here = image_span_reached(image, iy, x0, span);
    uint32_t opaque = reached_here;
    const uint8_t* from = image->pixels + size_t(iy) * image->width + x0;
    Pixel* to = row + d->drawn.left;
    if (!image->keyed) {
        if constexpr (sizeof(Pixel) == 1) {
            if (d->copies) {
                std::memcpy(to, from, opaque);
            } else {
                for (uint32_t i = 0; i < opaque; i++) to[i] = d->map[from[i]];
            }
        } else {
            for (uint32_t i = 0; i < opaque; i++) to[i] = d->map[from[i]];
        }
        for (uint32_t i = reached_here; i < span; i++) to[i] = d->black;
        return;
    }
    if constexpr (sizeof(Pixel) == 1) {
        if (d->copies && d->see_through >= 0) {
            copy_all_but_key(to, from, opaque, uint8_t(d->see_through));
            opaque = 0;  // done
        }
    }
    const uint8_t* see_through = image->see_through;
    for (uint32_t i = 0; i < opaque; i++) {
        const uint8_t k = from[i];
        if (!see_through[k]) to[i] = d->map[k];
    }
    if (!image->unreached_see_through) {
        for (uint32_t i = reached_here; i < span; i++) to[i] = d->black;
    }
}

// Canvas row y over [x0, x1) as the frame leaves it, into row (indexed by x).
template <typename Pixel>
void draw_row(const Draw<Pixel>* d, uint32_t y, uint32_t x0, uint32_t x1, Pixel* row) {
    std::memcpy(row + x0, d->canvas + size_t(y) * d->width + x0, size_t(x1 - x0) * sizeof(Pixel));
    if (d->pending != PENDING_NONE && row_in(d->pending_rect, y)) {
        const CanvasRect& r = d->pending_rect;
        const uint32_t width = r.right - r.left;
        if (d->pending == PENDING_CLEAR) {
            for (uint32_t x = r.left; x < r.right; x++) row[x] = d->background;
        } else {
            std::memcpy(row + r.left, d->restore + size_t(y - r.top) * width, width * sizeof(Pixel));
        }
    }
    if (!row_in(d->drawn, y)) return;
    if (d->own_saved) {
        const uint32_t width = d->drawn.right - d->drawn.left;
        std::memcpy(d->own_saved + size_t(y - d->drawn.top) * width, row + d->drawn.left,
                    width * sizeof(Pixel));
    }
    if (d->image->pixels) draw_image_row(d, y, row);
}

// Unchanged pixels up to this many between two changed ones are kept with
// them: a run costs a word of its own and a copy when it is applied.
template <typename Pixel>
constexpr uint32_t RUN_GAP = sizeof(Pixel) == 1 ? 6 : 8;

// Bit i set where the rows differ at x + i, for the 16 pixels from x.
template <typename Pixel>
uint32_t differences(const Pixel* fresh, const Pixel* old, uint32_t x) {
#ifdef ZOETRA_SSE2
    if constexpr (sizeof(Pixel) == 1) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fresh + x));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(old + x));
        return ~uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b))) & 0xFFFFu;
    } else {
        uint32_t same = 0;
        for (uint32_t k = 0; k < 4; k++) {
            __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fresh + x + 4 * k));
            __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(old + x + 4 * k));
            same |= uint32_t(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(a, b)))) << (4 * k);
        }
        return ~same & 0xFFFFu;
    }
#else
    uint32_t mask = 0;
    for (uint32_t k = 0; k < 16; k++) mask |= uint32_t(fresh[x + k] != old[x + k]) << k;
    return mask;
#endif
}

// The runs in which the rows differ over [x0, x1), joined across short
// gaps, as x | length << 16. Where runs would take more room than one run
// from the first change to the last, that one run.
template <typename Pixel>
uint32_t find_runs(const Pixel* fresh, const Pixel* old, uint32_t x0, uint32_t x1, uint32_t* runs) {
    uint32_t count = 0, covered = 0;
    uint32_t start = 0, last = 0;
    bool open = false;
    auto close = [&] {
        runs[count++] = start | (last + 1 - start) << 16;
        covered += last + 1 - start;
    };
    // Sixteen pixels at a time; only where some differ, one changed pixel
    // at a time.
    for (uint32_t x = x0; x < x1; x += 16) {
        uint32_t mask;
        if (x + 16 <= x1) {
            mask = differences(fresh, old, x);
        } else {
            mask = 0;
            for (uint32_t k = 0; x + k < x1; k++) mask |= uint32_t(fresh[x + k] != old[x + k]) << k;
        }
        if (mask == 0xFFFFu && open && x - last <= RUN_GAP<Pixel>) {
            last = x + 15;
            continue;
        }
        for (; mask; mask &= mask - 1) {
            const uint32_t at = x + lowest_set_bit(mask);
            if (open && at - last <= RUN_GAP<Pixel>) {
                last = at;
                continue;
            }
            if (open) close();
            start = last = at;
            open = true;
        }
    }
    if (open) close();
    if (count > 1) {
        const uint32_t first = runs[0] & 0xFFFFu;
        const uint32_t end = (runs[count - 1] & 0xFFFFu) + (runs[count - 1] >> 16);
        if (4 * count + covered * sizeof(Pixel) > 4 + (end - first) * sizeof(Pixel)) {
            runs[0] = first | (end - first) << 16;
            count = 1;
        }
    }
    return count;
}

// Draws the frame's rectangle of change row by row into the change, and
// each changed row back into the canvas; with no writer (a frame that is a
// key frame whatever it changes) only into the canvas.
template <typename Pixel>
void draw_change(const Draw<Pixel>* d, const CanvasRect& change, Pixel* row, uint32_t* runs,
                 ChangeWriter* writer) {
    Pixel* canvas = const_cast<Pixel*>(d->canvas);
    for (uint32_t y = change.top; y < change.bottom; y++) {
        const bool image_row = row_in(d->drawn, y);
        const bool pending_row = d->pending != PENDING_NONE && row_in(d->pending_rect, y);
        if (!image_row && !pending_row) continue;
        uint32_t x0 = image_row ? d->drawn.left : d->pending_rect.left;
        uint32_t x1 = image_row ? d->drawn.right : d->pending_rect.right;
        if (image_row && pending_row) {
            if (d->pending_rect.left < x0) x0 = d->pending_rect.left;
            if (d->pending_rect.right > x1) x1 = d->pending_rect.right;
        }
        draw_row(d, y, x0, x1, row);
        Pixel* old = canvas + size_t(y) * d->width;
        if (writer) {
            const uint32_t run_count = find_runs(row, old, x0, x1, runs);
            if (run_count == 0) continue;
            change_add_row(writer, y, runs, run_count, row);
        }
        // Row y is not read again by this frame: the rows below read their own.
        std::memcpy(old + x0, row + x0, size_t(x1 - x0) * sizeof(Pixel));
    }
}

// ---- The frame ----------------------------------------------------------------------

// After frame index is drawn: the disposal the next frame is drawn over.
void advance(CompositingContext* context, const Frame* frame, const CanvasRect& drawn) {
    const uint32_t own = own_slot(context);  // where this frame saved into
    context->pending = PENDING_NONE;
    if (rect_empty(drawn)) return;
    if (frame->disposal == 2) {
        context->pending = PENDING_CLEAR;
        context->pending_rect = drawn;
    } else if (frame->disposal == 3) {
        context->pending_saved = own;
        context->pending = PENDING_RESTORE;
        context->pending_rect = drawn;
    }
}

// The store's palette of the canvas's colours; null without memory.
const uint32_t* stored_palette(Animation* animation, CompositingContext* context) {
    CanvasPalette* palette = &context->palette;
    if (!palette->stored) palette->stored = store_palette(animation, &context->palettes, palette->colours);
    return palette->stored;
}

// The key frame's picture: its block in the store, copied from the canvas
// by the job.
int store_key(Animation* animation, CompositingContext* context, uint32_t index, CompositeJob* job) {
    const uint32_t* palette = context->pixel_bytes == 1 ? stored_palette(animation, context) : nullptr;
    if (context->pixel_bytes == 1 && !palette) return 0;
    const size_t row_bytes = size_t(context->width) * context->pixel_bytes;
    uint32_t warm = 0;
    void* block = store_key_frame(animation, &context->run, index, row_bytes * context->height,
                                  palette, &warm);
    if (!block) return 0;
    *job = CompositeJob{static_cast<const uint8_t*>(context->canvas), static_cast<uint8_t*>(block),
                        row_bytes, context->height, warm};
    return 1;
}

// An opaque image over the whole canvas, all of it reached: its indices
// become the canvas with its palette, and the frame a key frame.
bool covers_canvas(const CompositingContext* context, const Frame* frame, const FrameImage* image,
                   const CanvasRect& drawn) {
    return image->pixels && !image->keyed && frame->disposal != 3 && drawn.left == 0 &&
           drawn.top == 0 && drawn.right == context->width && drawn.bottom == context->height &&
           frame->left == 0 && frame->top == 0 &&
           uint64_t(image->reached) == uint64_t(image->width) * image->height;
}

bool take_image(CompositingContext* context, const FrameImage* image, const FrameColours* colours) {
    const uint32_t width = context->width, height = context->height;
    if (context->pixel_bytes != 1) {
        void* slim = std::malloc(size_t(width) * height);
        if (!slim) return false;
        std::free(context->canvas);
        context->canvas = slim;
        context->pixel_bytes = 1;
    }
    uint8_t* canvas = static_cast<uint8_t*>(context->canvas);
    for (uint32_t y = 0; y < height; y++) {
        std::memcpy(canvas + size_t(y) * width, image->pixels + size_t(y) * image->width, width);
    }
    adopt_palette(&context->palette, image->palette.colours, colours->used);
    return true;
}

template <typename Pixel>
void set_up_draw(CompositingContext* context, const Frame* frame, const FrameImage* image,
                 const CanvasRect& drawn, Draw<Pixel>* d) {
    d->canvas = static_cast<const Pixel*>(context->canvas);
    d->width = context->width;
    d->pending = context->pending;
    d->pending_rect = context->pending_rect;
    d->restore = context->pending == PENDING_RESTORE
                     ? static_cast<const Pixel*>(context->saved[context->pending_saved])
                     : nullptr;
    d->image = image;
    d->left = frame->left;
    d->top = frame->top;
    d->drawn = drawn;
    d->own_saved = frame->disposal == 3 && !rect_empty(drawn)
                       ? static_cast<Pixel*>(context->saved[own_slot(context)])
                       : nullptr;
}

// Draws the frame into the change and the canvas; frame 0, a key frame
// whatever it changes, into the canvas alone.
template <typename Pixel>
void draw_frame(CompositingContext* context, Draw<Pixel>* d, const CanvasRect& change,
                uint32_t index, ChangeWriter* writer) {
    change_begin(writer, context->change, sizeof(Pixel));
    draw_change(d, change, static_cast<Pixel*>(context->row), context->runs,
                index == 0 ? nullptr : writer);
}

}  // namespace

void composite_plan(const CompositingContext* context, uint32_t index, uint32_t left, uint32_t top,
                    uint32_t image_width, uint32_t image_height, uint32_t disposal,
                    CompositePlan* plan) {
    *plan = CompositePlan{};
    const uint32_t width = context->width, height = context->height;
    plan->drawn = drawn_rect(left, top, image_width, image_height, width, height);
    plan->change = index == 0 ? CanvasRect{0, 0, width, height}
                              : context->pending != PENDING_NONE
                                    ? unite(plan->drawn, context->pending_rect)
                                    : plan->drawn;
    // At worst the frame is drawn wide: every buffer at 32 bits, a new
    // canvas beside the old one, the pending restore's pixels made anew.
    const Buffers b = buffers_for(context, index, plan->drawn, plan->change, disposal, 4);
    uint64_t scratch = 0;
    if (context->pixel_bytes != 4) scratch += b.canvas;
    if (context->pending == PENDING_RESTORE && context->pixel_bytes != 4) {
        scratch += rect_area(context->pending_rect) * 4 + 4;
    }
    if (b.saved > context->saved_capacity[own_slot(context)]) scratch += b.saved;
    if (b.row > context->row_capacity) scratch += b.row;
    if (b.change > context->change_capacity) scratch += b.change;
    plan->scratch_bytes = scratch;
    const uint64_t change = b.change;
    const uint64_t picture = uint64_t(width) * height * 4;
    plan->store_bytes = store_block_cost(change > picture ? change : picture) + STORE_PALETTE_BYTES;
}

uint64_t compositing_scratch_bytes(const CompositingContext* context) {
    uint64_t bytes = context->saved_capacity[0] + context->saved_capacity[1] +
                     context->row_capacity + context->change_capacity + context->run.ahead.capacity;
    if (context->canvas) bytes += uint64_t(context->width) * context->height * context->pixel_bytes;
    return bytes;
}

int composite_frame(Animation* animation, CompositingContext* context, uint32_t index,
                    const FrameImage* image, const CompositePlan* plan, CompositeJob* job) {
    *job = CompositeJob{};
    const Frame* frame = &animation->frames[index];
    const CanvasRect drawn = plan->drawn;
    const uint32_t width = context->width, height = context->height;
    const uint64_t canvas_pixels = uint64_t(width) * height;
    if (index == 0) {
        context->pending = PENDING_NONE;
        context->run.key = 0;
        context->run.since_key = 0;
        clear_palette(&context->palette);
    }
    FrameColours colours{};
    // An opaque image over the whole canvas becomes the canvas, with its
    // palette: frame 0 always, a later frame where its colours do not fit.
    const bool covers = covers_canvas(context, frame, image, drawn);
    auto take_whole_image = [&]() {
        if (!colours.counted) colours_drawn(context, frame, image, drawn, index, true, &colours);
        if (!take_image(context, image, &colours)) return 0;
        advance(context, frame, drawn);
        return store_key(animation, context, index, job);
    };
    if (covers && index == 0) return take_whole_image();
    // A small image's indices are counted at once: cheaper than looking up
    // every colour of its table.
    colours_drawn(context, frame, image, drawn, index, rect_area(drawn) < 4 * PALETTE_SIZE, &colours);
    if (!context->canvas) {
        // Frame 0: a canvas all background.
        context->canvas = std::malloc(size_t(canvas_pixels));
        if (!context->canvas) return 0;
        context->pixel_bytes = 1;
        const int clear = take_slot(&context->palette, context->background);
        std::memset(context->canvas, clear, size_t(canvas_pixels));
    }
    uint8_t map[PALETTE_SIZE] = {}, black = 0, background = 0;
    bool narrow_frame = context->pixel_bytes == 1 &&
                        map_colours(context, image, &colours, frame, drawn, index, map, &black,
                                    &background);
    if (!narrow_frame && covers) return take_whole_image();
    const bool went_wide = !narrow_frame && context->pixel_bytes == 1;
    if (went_wide && !widen(context)) return 0;
    const uint32_t pixel_bytes = context->pixel_bytes;
    if (!reserve_buffers(context, buffers_for(context, index, drawn, plan->change,
                                              frame->disposal, pixel_bytes))) {
        return 0;
    }

    ChangeWriter writer;
    if (pixel_bytes == 1) {
        Draw<uint8_t> d{};
        set_up_draw(context, frame, image, drawn, &d);
        d.background = background;
        d.black = black;
        std::memcpy(d.map, map, sizeof map);
        // Moving indices as they are pays where there are many of them.
        d.copies = rect_area(drawn) >= 4 * PALETTE_SIZE && is_identity(&colours, map);
        d.see_through = image->keyed ? image->single_see_through : -1;
        draw_frame(context, &d, plan->change, index, &writer);
    } else {
        Draw<uint32_t> d{};
        set_up_draw(context, frame, image, drawn, &d);
        d.background = context->background;
        d.black = 0;
        std::memcpy(d.map, image->palette.colours, sizeof d.map);
        draw_frame(context, &d, plan->change, index, &writer);
    }
    advance(context, frame, drawn);

    size_t bytes = change_bytes(&writer);
    const uint32_t* palette = nullptr;
    if (pixel_bytes == 4) {
        // A wide canvas narrows again where the frame left few enough
        // colours; a wide change is kept in slots where its own colours fit.
        if (narrow(context)) {
            bytes = 0;  // kept as a key frame below: its change is in colours
        } else {
            CanvasPalette own{};
            const size_t narrowed = narrow_change(static_cast<uint8_t*>(context->change), &own);
            if (narrowed) {
                bytes = narrowed;
                palette = store_palette(animation, &context->palettes, own.colours);
                if (!palette) return 0;
            }
        }
    } else {
        palette = stored_palette(animation, context);
        if (!palette) return 0;
    }
    const uint64_t picture_bytes = canvas_pixels * context->pixel_bytes;
    if (bytes == 0 ||
        !store_keeps_change(&context->run, index, bytes, writer.pixels, picture_bytes, canvas_pixels)) {
        return store_key(animation, context, index, job);
    }
    return store_change(animation, &context->run, index, context->change, bytes, writer.pixels,
                        palette);
}

void composite_rows(const CompositeJob* job, uint32_t first_row, uint32_t end_row) {
    if (!job->picture) return;
    if (end_row > job->height) end_row = job->height;
    if (first_row >= end_row) return;
    uint8_t* to = job->picture + size_t(first_row) * job->row_bytes;
    const size_t bytes = size_t(end_row - first_row) * job->row_bytes;
    if (job->canvas) {
        std::memcpy(to, job->canvas + size_t(first_row) * job->row_bytes, bytes);
    } else {
        std::memset(to, 0, bytes);
    }
}

void compositing_release(CompositingContext* context) {
    std::free(context->canvas);
    std::free(context->saved[0]);
    std::free(context->saved[1]);
    std::free(context->runs);
    std::free(context->change);
    palette_index_release(&context->palettes);
    store_ahead_release(&context->run);
    const uint32_t background = context->background;
    const uint32_t width = context->width, height = context->height;
    *context = CompositingContext{};
    context->background = background;
    context->width = width;
    context->height = height;
}
