#include "decode/animation.h"

#include <cstdlib>
#include <cstring>

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
        for (uint32_t i = 0; i < animation->frame_count; i++) bitmap_delete(&animation->frames[i].bitmap);
        std::free(animation->frames);
    }
    *animation = Animation{};
}
