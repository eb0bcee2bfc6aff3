// The block operations on 32-bit pixel buffers. Allocation lives in the
// platform twins (surface_std.cpp, surface_win.cpp); these are the same on
// every platform.
#include "player/surface.h"

#include <algorithm>
#include <cstring>

size_t bitmap_byte_size(uint32_t width, uint32_t height) {
    // A DIB section holds at most 2^31 - 1 bytes; keep every platform to the
    // same bound so a file behaves the same everywhere.
    uint64_t bytes = uint64_t(width) * uint64_t(height) * 4u;
    if (bytes > 0x7FFFFFFFu) return 0;
    return size_t(bytes);
}

namespace {

// A destination rectangle clipped to the target and the source.
struct Span {
    int64_t x, y;           // top-left in the target
    int64_t source_x, source_y;
    int64_t width, height;  // 0 or negative: nothing to do
};

Span clip_copy(const Bitmap* target, int32_t x, int32_t y, const Bitmap* source,
               uint32_t width, uint32_t height) {
    Span s{x, y, 0, 0, std::min<int64_t>(width, source->width),
           std::min<int64_t>(height, source->height)};
    if (s.x < 0) {
        s.source_x = -s.x;
        s.width += s.x;
        s.x = 0;
    }
    if (s.y < 0) {
        s.source_y = -s.y;
        s.height += s.y;
        s.y = 0;
    }
    s.width = std::min<int64_t>(s.width, int64_t(target->width) - s.x);
    s.height = std::min<int64_t>(s.height, int64_t(target->height) - s.y);
    return s;
}

}  // namespace

void bitmap_fill(Bitmap* target, int32_t left, int32_t top, int32_t right, int32_t bottom,
                 uint32_t colour) {
    int64_t x0 = std::max<int64_t>(left, 0), y0 = std::max<int64_t>(top, 0);
    int64_t x1 = std::min<int64_t>(right, target->width);
    int64_t y1 = std::min<int64_t>(bottom, target->height);
    if (x0 >= x1 || y0 >= y1 || !target->pixels) return;
    for (int64_t y = y0; y < y1; y++) {
        uint32_t* row = target->pixels + size_t(y) * target->width;
        std::fill(row + x0, row + x1, colour);
    }
}

void bitmap_copy(Bitmap* target, int32_t x, int32_t y, const Bitmap* source, uint32_t width,
                 uint32_t height) {
    Span s = clip_copy(target, x, y, source, width, height);
    if (s.width <= 0 || s.height <= 0 || !target->pixels || !source->pixels) return;
    if (s.x == 0 && s.source_x == 0 && s.width == target->width && s.width == source->width) {
        // Whole rows on both sides: one move.
        std::memcpy(target->pixels + size_t(s.y) * target->width,
                    source->pixels + size_t(s.source_y) * source->width,
                    size_t(s.height) * size_t(s.width) * 4u);
        return;
    }
    for (int64_t row = 0; row < s.height; row++) {
        std::memcpy(target->pixels + size_t(s.y + row) * target->width + s.x,
                    source->pixels + size_t(s.source_y + row) * source->width + s.source_x,
                    size_t(s.width) * 4u);
    }
}

void bitmap_copy_keyed(Bitmap* target, int32_t x, int32_t y, const Bitmap* source,
                       uint32_t width, uint32_t height, uint32_t key) {
    Span s = clip_copy(target, x, y, source, width, height);
    if (s.width <= 0 || s.height <= 0 || !target->pixels || !source->pixels) return;
    key &= 0x00FFFFFFu;
    for (int64_t row = 0; row < s.height; row++) {
        uint32_t* to = target->pixels + size_t(s.y + row) * target->width + s.x;
        const uint32_t* from = source->pixels + size_t(s.source_y + row) * source->width + s.source_x;
        for (int64_t i = 0; i < s.width; i++) {
            uint32_t pixel = from[i];
            if ((pixel & 0x00FFFFFFu) != key) to[i] = pixel;
        }
    }
}
