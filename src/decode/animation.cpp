// The animation record, its frame table, and the rebuilding of a frame's
// picture from the store.
#include "decode/animation.h"

#include <cstdlib>
#include <cstring>

#include "decode/frame_store.h"
#include "platform/surface.h"

int animation_create_table(Animation* animation) {
    animation->frames = static_cast<Frame*>(std::calloc(FRAME_TABLE_STEP, sizeof(Frame)));
    return animation->frames != nullptr;
}

int animation_grow_table(Animation* animation, uint32_t old_capacity, uint32_t new_capacity) {
    if (new_capacity <= old_capacity || size_t(new_capacity) > SIZE_MAX / sizeof(Frame)) return 0;
    void* grown = std::realloc(animation->frames, size_t(new_capacity) * sizeof(Frame));
    if (!grown) return 0;  // the old table stays valid and owned
    animation->frames = static_cast<Frame*>(grown);
    std::memset(animation->frames + old_capacity, 0,
                size_t(new_capacity - old_capacity) * sizeof(Frame));
    return 1;
}

void animation_release(Animation* animation) {
    if (animation->frames) {
        for (uint32_t i = 0; i < animation->frame_count; i++) {
            std::free(const_cast<void*>(animation->frames[i].stored));
        }
        std::free(animation->frames);
    }
    for (StoredPalette* palette = animation->palettes; palette;) {
        StoredPalette* next = palette->next;
        std::free(palette);
        palette = next;
    }
    *animation = Animation{};
}

uint64_t frame_changes_cost(const Animation* animation, uint32_t from, uint32_t to) {
    if (from == NO_FRAME || to == NO_FRAME || from > to) return FRAME_COST_NONE;
    const Frame* target = &animation->frames[to];
    // No key frame lies between a frame's key frame and the frame.
    if (from < target->key) return FRAME_COST_NONE;
    return target->cost - animation->frames[from].cost;
}

uint64_t frame_rebuild_cost(const Animation* animation, uint32_t to) {
    return uint64_t(animation->width) * animation->height + animation->frames[to].cost;
}

uint64_t frame_bring(const Animation* animation, uint32_t* pixels, uint32_t from, uint32_t to) {
    if (from == to) return 0;
    const Frame* frames = animation->frames;
    uint64_t written = 0;
    uint32_t k = from;
    if (frame_changes_cost(animation, from, to) == FRAME_COST_NONE) {
        k = frames[to].key;
        const size_t count = size_t(animation->width) * animation->height;
        if (frames[k].palette) {
            pixels_expand(pixels, static_cast<const uint8_t*>(frames[k].stored), count,
                          frames[k].palette);
        } else {
            pixels_copy(pixels, static_cast<const uint32_t*>(frames[k].stored), count);
        }
        written = count;
    }
    for (k++; k <= to; k++) {
        written += change_apply(static_cast<const uint8_t*>(frames[k].stored), pixels,
                                animation->width, frames[k].palette);
    }
    return written;
}
