// Bitmaps as plain zero-filled heap memory, for native builds and tests.
#include <cstdlib>

#include "player/surface.h"

int bitmap_create(Bitmap* bitmap, uint32_t width, uint32_t height) {
    *bitmap = Bitmap{};
    if (width == 0 || height == 0) {
        // An empty picture: no pixels to hold, and nothing for any block
        // operation to touch.
        bitmap->width = width;
        bitmap->height = height;
        return 1;
    }
    size_t bytes = bitmap_byte_size(width, height);
    if (bytes == 0) return 0;
    void* pixels = std::calloc(bytes, 1);
    if (!pixels) return 0;
    bitmap->pixels = static_cast<uint32_t*>(pixels);
    bitmap->width = width;
    bitmap->height = height;
    return 1;
}

void bitmap_delete(Bitmap* bitmap) {
    std::free(bitmap->pixels);
    *bitmap = Bitmap{};
}
