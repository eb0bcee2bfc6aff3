// The canvas's palette: slots, the colours a frame draws, wide and narrow.
#include "decode/canvas_palette.h"

#include <cstdlib>
#include <cstring>

#include "platform/surface.h"

namespace {

constexpr uint32_t LOOKUP_TAKEN = 0x01000000;

uint32_t lookup_at(uint32_t colour) {
    return (colour * 0x9E3779B1u) >> 23;  // CANVAS_LOOKUP_SIZE = 2^9
}

}  // namespace

int find_slot(const CanvasPalette* palette, uint32_t colour) {
    const uint32_t key = colour | LOOKUP_TAKEN;
    for (uint32_t at = lookup_at(colour);; at = (at + 1) % CANVAS_LOOKUP_SIZE) {
        if (palette->lookup[at] == key) return palette->lookup_slot[at];
        if (palette->lookup[at] == 0) return -1;
    }
}

namespace {

void add_lookup(CanvasPalette* palette, uint32_t colour, uint32_t slot) {
    uint32_t at = lookup_at(colour);
    while (palette->lookup[at] != 0) {
        if (palette->lookup[at] == (colour | LOOKUP_TAKEN)) return;  // an equal colour's slot stays
        at = (at + 1) % CANVAS_LOOKUP_SIZE;
    }
    palette->lookup[at] = colour | LOOKUP_TAKEN;
    palette->lookup_slot[at] = uint8_t(slot);
}

// Makes the lookup hold the slots in use (the first of equal colours).
void rebuild_lookup(CanvasPalette* palette) {
    std::memset(palette->lookup, 0, sizeof palette->lookup);
    palette->free_slots = 0;
    for (uint32_t s = 0; s < PALETTE_SIZE; s++) {
        if (palette->in_use[s]) {
            add_lookup(palette, palette->colours[s], s);
        } else {
            palette->free_slots++;
        }
    }
}

// Puts free slot s in use for colour.
void claim_slot(CanvasPalette* palette, uint32_t s, uint32_t colour) {
    if (palette->colours[s] != colour) {
        palette->colours[s] = colour;
        palette->stored = nullptr;  // the colours the store keeps have changed
    }
    palette->in_use[s] = 1;
    palette->free_slots--;
    add_lookup(palette, colour, s);
}

}  // namespace

int take_slot(CanvasPalette* palette, uint32_t colour, int preferred) {
    if (preferred >= 0 && palette->colours[preferred] == colour) {
        if (!palette->in_use[preferred]) claim_slot(palette, uint32_t(preferred), colour);
        return preferred;
    }
    const int found = find_slot(palette, colour);
    if (found >= 0 || palette->free_slots == 0) return found;
    // From the top: tables fill from index 0, and keep their spare and
    // transparent entries at the end, where a new colour overwrites least.
    int free = -1;
    for (uint32_t s = PALETTE_SIZE; s-- > 0;) {
        if (palette->in_use[s]) continue;
        if (palette->colours[s] == colour) {
            free = int(s);
            break;
        }
        if (free < 0) free = int(s);
    }
    claim_slot(palette, uint32_t(free), colour);
    return free;
}

namespace {

// Adds the pixels (slots) to a count of each slot's pixels.
void count_slots(const uint8_t* pixels, size_t count, uint32_t* counts) {
    for (size_t i = 0; i < count; i++) counts[pixels[i]]++;
}

// Frees the slots whose colour neither the canvas nor the pending restore
// shows: the last picture is what the next frame is compared with, so its
// colours keep their slots.
void free_unused_slots(CompositingContext* context) {
    uint32_t counts[PALETTE_SIZE] = {};
    count_slots(static_cast<const uint8_t*>(context->canvas),
                size_t(context->width) * context->height, counts);
    if (context->pending == PENDING_RESTORE) {
        count_slots(static_cast<const uint8_t*>(context->saved[context->pending_saved]),
                    size_t(rect_area(context->pending_rect)), counts);
    }
    for (uint32_t s = 0; s < PALETTE_SIZE; s++) context->palette.in_use[s] = counts[s] > 0;
    rebuild_lookup(&context->palette);
}

// ---- The colours a frame draws ----------------------------------------------------

// Whether any pixel of the drawn part was not reached by the data.
bool reaches_short(const Frame* frame, const FrameImage* image, const CanvasRect& drawn) {
    const uint32_t x0 = drawn.left - frame->left, span = drawn.right - drawn.left;
    for (uint32_t y = drawn.top; y < drawn.bottom; y++) {
        if (image_span_reached(image, y - frame->top, x0, span) < span) return true;
    }
    return false;
}

}  // namespace

// What the frame draws: at first every opaque index of its palette; with
// count, exactly the indices its drawn pixels use.
void colours_drawn(const CompositingContext* context, const Frame* frame, const FrameImage* image,
                   const CanvasRect& drawn, uint32_t index, bool count, FrameColours* colours) {
    std::memset(colours, 0, sizeof *colours);
    colours->background = index == 0 || context->pending == PENDING_CLEAR;
    if (!image->pixels || rect_empty(drawn)) return;
    colours->black = !(image->keyed && image->unreached_see_through) &&
                     reaches_short(frame, image, drawn);
    if (!count) {
        for (uint32_t i = 0; i < PALETTE_SIZE; i++) {
            colours->used[i] = !(image->keyed && image->see_through[i]);
        }
        // The black of the indices past the table, should the image use one.
        colours->black = colours->black || (image->colour_count < PALETTE_SIZE &&
                                            !(image->keyed && image->see_through[PALETTE_SIZE - 1]));
        return;
    }
    colours->counted = true;
    const uint32_t x0 = drawn.left - frame->left, span = drawn.right - drawn.left;
    for (uint32_t y = drawn.top; y < drawn.bottom; y++) {
        const uint32_t iy = y - frame->top;
        const uint32_t opaque = image_span_reached(image, iy, x0, span);
        const uint8_t* pixels = image->pixels + size_t(iy) * image->width + x0;
        for (uint32_t x = 0; x < opaque; x++) colours->used[pixels[x]] = 1;
    }
    if (image->keyed) {
        for (uint32_t i = 0; i < PALETTE_SIZE; i++) colours->used[i] &= uint8_t(!image->see_through[i]);
    }
}

namespace {

// Slots for the colours a frame draws: map[i] for each index it draws, and
// the slots of black and of the background where it draws them, found in
// the palette or (take) given free slots. False when they are not there, or
// no slot is free.
bool slots_for(CanvasPalette* palette, const CompositingContext* context, const FrameImage* image,
               const FrameColours* colours, bool take, uint8_t* map, uint8_t* black,
               uint8_t* background) {
    auto slot_of = [&](uint32_t colour, bool may_take, uint8_t* slot) {
        const int s = may_take ? take_slot(palette, colour) : find_slot(palette, colour);
        *slot = uint8_t(s);
        return s >= 0;
    };
    // Black and the background take a slot even when only looked for: one
    // each at most, where a whole table's worth would fill the palette.
    if ((colours->black && !slot_of(0, true, black)) ||
        (colours->background && !slot_of(context->background, true, background))) {
        return false;
    }
    for (uint32_t i = 0; i < PALETTE_SIZE; i++) {
        if (!colours->used[i]) continue;
        if (!take && !colours->counted && i >= image->colour_count) {
            map[i] = *black;  // past the table: black
            continue;
        }
        // The slot of the index itself where it holds the colour, so that a
        // palette the canvas took over maps to itself, equal colours too.
        const uint32_t colour = image->palette.colours[i];
        if (palette->colours[i] == colour) {
            map[i] = uint8_t(take_slot(palette, colour, int(i)));
            continue;
        }
        if (!slot_of(colour, take, &map[i])) return false;
    }
    return true;
}

}  // namespace

// Whether map sends every index the frame draws to itself.
bool is_identity(const FrameColours* colours, const uint8_t* map) {
    for (uint32_t i = 0; i < PALETTE_SIZE; i++) {
        if (colours->used[i] && map[i] != i) return false;
    }
    return true;
}

namespace {

// Re-slots the canvas to the image's palette: each index the frame draws
// becomes the slot of its own colour, the canvas's other colours take the
// indices the frame does not use, and the canvas (and the pending restore's
// pixels) are rewritten in the new slots. From then on frames of that
// palette move their indices as they are. False, nothing changed, where the
// canvas's colours do not fit beside the image's.
bool reslot_to_image(CompositingContext* context, const FrameImage* image,
                     const FrameColours* colours) {
    CanvasPalette* palette = &context->palette;
    CanvasPalette fresh{};
    std::memcpy(fresh.colours, image->palette.colours, sizeof fresh.colours);
    std::memcpy(fresh.in_use, colours->used, sizeof fresh.in_use);
    rebuild_lookup(&fresh);
    uint8_t remap[PALETTE_SIZE];
    for (uint32_t s = 0; s < PALETTE_SIZE; s++) {
        if (!palette->in_use[s]) continue;
        const int slot = take_slot(&fresh, palette->colours[s]);
        if (slot < 0) return false;
        remap[s] = uint8_t(slot);
    }
    uint8_t* canvas = static_cast<uint8_t*>(context->canvas);
    const size_t count = size_t(context->width) * context->height;
    for (size_t i = 0; i < count; i++) canvas[i] = remap[canvas[i]];
    if (context->pending == PENDING_RESTORE) {
        uint8_t* saved = static_cast<uint8_t*>(context->saved[context->pending_saved]);
        const size_t pixels = size_t(rect_area(context->pending_rect));
        for (size_t i = 0; i < pixels; i++) saved[i] = remap[saved[i]];
    }
    *palette = fresh;
    return true;
}

}  // namespace

// Maps the frame's colours to slots: where the canvas's palette holds every
// colour of the image's palette already (a file of one table, frame after
// frame), all of them at once; else the indices the frame uses, counted,
// with slots freed by counting the canvas's where the free ones run short.
// A frame that draws over a large part of the canvas in a palette of
// another order (a file's first frame in a table of its own, the rest in
// the global one) re-slots the canvas to it first.
bool map_colours(CompositingContext* context, const FrameImage* image, FrameColours* colours,
                 const Frame* frame, const CanvasRect& drawn, uint32_t index, uint8_t* map,
                 uint8_t* black, uint8_t* background) {
    CanvasPalette* palette = &context->palette;
    // Once for each palette: where its next frame still cannot move its
    // indices as they are, the map does it.
    const bool large = rect_area(drawn) * 4 >= uint64_t(context->width) * context->height;
    const uint64_t order = large ? palette_hash(image->palette.colours) : 0;
    const bool may_reslot = large && order != context->reslotted_for;
    if (!colours->counted &&
        slots_for(palette, context, image, colours, false, map, black, background) &&
        (!may_reslot || is_identity(colours, map))) {
        return true;
    }
    if (!colours->counted) colours_drawn(context, frame, image, drawn, index, true, colours);
    if (may_reslot) {
        context->reslotted_for = order;
        free_unused_slots(context);
        if (reslot_to_image(context, image, colours) &&
            slots_for(palette, context, image, colours, true, map, black, background)) {
            return true;
        }
    }
    if (slots_for(palette, context, image, colours, true, map, black, background)) return true;
    free_unused_slots(context);
    return slots_for(palette, context, image, colours, true, map, black, background);
}

// ---- Wide and narrow --------------------------------------------------------------

// Makes the canvas (and the pending restore's pixels) 32-bit colours.
bool widen(CompositingContext* context) {
    const size_t count = size_t(context->width) * context->height;
    uint32_t* wide = static_cast<uint32_t*>(std::malloc(count * 4));
    if (!wide) return false;
    if (context->pending == PENDING_RESTORE) {
        const uint32_t k = context->pending_saved;
        const size_t pixels = size_t(rect_area(context->pending_rect));
        uint32_t* saved = static_cast<uint32_t*>(std::malloc(pixels * 4 + 4));
        if (!saved) {
            std::free(wide);
            return false;
        }
        pixels_expand(saved, static_cast<const uint8_t*>(context->saved[k]), pixels,
                      context->palette.colours);
        std::free(context->saved[k]);
        context->saved[k] = saved;
        context->saved_capacity[k] = pixels * 4 + 4;
    }
    pixels_expand(wide, static_cast<const uint8_t*>(context->canvas), count, context->palette.colours);
    std::free(context->canvas);
    context->canvas = wide;
    context->pixel_bytes = 4;
    return true;
}

namespace {

// Collects the distinct colours of pixels into palette (slots in order of
// first sight); false as soon as there are more than 256.
bool collect_colours(const uint32_t* pixels, size_t count, CanvasPalette* palette) {
    uint32_t last = ~0u;
    for (size_t i = 0; i < count; i++) {
        const uint32_t colour = pixels[i];
        if (colour == last) continue;
        last = colour;
        if (take_slot(palette, colour) < 0) return false;
    }
    return true;
}

// Writes the slots of the colours of pixels (all in palette) into slots.
void slots_of(const uint32_t* pixels, size_t count, const CanvasPalette* palette, uint8_t* slots) {
    uint32_t last = ~0u;
    uint8_t slot = 0;
    for (size_t i = 0; i < count; i++) {
        if (pixels[i] != last) {
            last = pixels[i];
            slot = uint8_t(find_slot(palette, last));
        }
        slots[i] = slot;
    }
}

}  // namespace

void clear_palette(CanvasPalette* palette) {
    std::memset(palette->in_use, 0, sizeof palette->in_use);
    rebuild_lookup(palette);
}

// Makes a wide canvas narrow again when its colours and those of the pending
// restore fit in 256 slots. Returns false (the canvas stays wide) when they
// do not, or without memory.
bool narrow(CompositingContext* context) {
    const size_t count = size_t(context->width) * context->height;
    const uint32_t* canvas = static_cast<const uint32_t*>(context->canvas);
    const bool restore = context->pending == PENDING_RESTORE;
    const uint32_t k = context->pending_saved;
    const size_t saved_count = restore ? size_t(rect_area(context->pending_rect)) : 0;
    const uint32_t* saved = restore ? static_cast<const uint32_t*>(context->saved[k]) : nullptr;
    CanvasPalette palette{};
    clear_palette(&palette);
    if (!collect_colours(canvas, count, &palette) || !collect_colours(saved, saved_count, &palette)) {
        return false;
    }
    uint8_t* slim = static_cast<uint8_t*>(std::malloc(count));
    if (!slim) return false;
    if (restore) slots_of(saved, saved_count, &palette, static_cast<uint8_t*>(context->saved[k]));
    slots_of(canvas, count, &palette, slim);
    std::free(context->canvas);
    context->canvas = slim;
    context->pixel_bytes = 1;
    context->palette = palette;
    return true;
}

// Rewrites a change of 32-bit pixels in place as one of slots of palette,
// when their colours fit in 256. Returns its new size, or 0 (unchanged).
size_t narrow_change(uint8_t* change, CanvasPalette* palette) {
    clear_palette(palette);
    const uint32_t rows = *reinterpret_cast<const uint32_t*>(change);
    // First the colours, then the rewrite: a narrow row is never longer than
    // the wide one it replaces, so it is written over the part already read.
    for (int pass = 0; pass < 2; pass++) {
        const uint8_t* from = change + 4;
        uint8_t* to = change + 4;
        for (uint32_t r = 0; r < rows; r++) {
            const uint32_t run_count = reinterpret_cast<const uint32_t*>(from)[0] >> 16;
            const size_t header = 4 + size_t(run_count) * 4;
            uint32_t pixels = 0;
            for (uint32_t k = 0; k < run_count; k++) {
                pixels += reinterpret_cast<const uint32_t*>(from + 4)[k] >> 16;
            }
            const uint32_t* colours = reinterpret_cast<const uint32_t*>(from + header);
            if (pass == 0) {
                if (!collect_colours(colours, pixels, palette)) return 0;
            } else {
                std::memmove(to, from, header);
                slots_of(colours, pixels, palette, to + header);
                const size_t end = header + ((size_t(pixels) + 3) & ~size_t(3));
                std::memset(to + header + pixels, 0, end - header - pixels);
                to += end;
            }
            from += header + size_t(pixels) * 4;
        }
        if (pass == 1) return size_t(to - change);
    }
    return 0;
}

void adopt_palette(CanvasPalette* palette, const uint32_t* colours, const uint8_t* in_use) {
    std::memcpy(palette->colours, colours, sizeof palette->colours);
    std::memcpy(palette->in_use, in_use, sizeof palette->in_use);
    rebuild_lookup(palette);
    palette->stored = nullptr;
}
