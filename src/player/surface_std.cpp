// Bitmaps as plain zero-filled memory, for native builds and tests.
//
// Large bitmaps are mapped pages of their own, as DIB sections are on
// Windows: the system hands them out zero-filled, so a picture that is
// written in full is written once, never cleared first by the allocator
// (which a heap does when it reuses freed memory).
#include <sys/mman.h>

#include <cstdlib>
#include <mutex>

#include "player/surface.h"

#ifndef MAP_POPULATE
#define MAP_POPULATE 0  // systems without it fault the pages in as they are written
#endif

namespace {

// From this size on, a bitmap has pages of its own.
constexpr size_t MAPPED_BITMAP_BYTES = 64 * 1024;

// One freed mapping, kept for the next bitmap of the same size: a decode
// frees each frame's image just before it makes the next one, mostly of the
// same size, and clearing warm pages costs far less than fresh ones.
struct SpareMapping {
    std::mutex lock;
    void* pixels;
    size_t bytes;
};
SpareMapping spare;

void* take_spare(size_t bytes) {
    std::lock_guard<std::mutex> guard(spare.lock);
    if (!spare.pixels || spare.bytes != bytes) return nullptr;
    void* pixels = spare.pixels;
    spare.pixels = nullptr;
    return pixels;
}

void keep_spare(void* pixels, size_t bytes) {
    void* old;
    size_t old_bytes;
    {
        std::lock_guard<std::mutex> guard(spare.lock);
        old = spare.pixels;
        old_bytes = spare.bytes;
        spare.pixels = pixels;
        spare.bytes = bytes;
    }
    if (old) munmap(old, old_bytes);
}

}  // namespace

int bitmap_allocate(Bitmap* bitmap, size_t bytes) {
    void* pixels;
    if (bytes >= MAPPED_BITMAP_BYTES && (pixels = take_spare(bytes)) != nullptr) {
        pixels_fill(static_cast<uint32_t*>(pixels), bytes / 4, 0);
    } else if (bytes >= MAPPED_BITMAP_BYTES) {
        // Populated at once: every bitmap is written in full right after it
        // is made, and one call is far cheaper than a fault for each page.
        pixels = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (pixels == MAP_FAILED) return 0;
    } else {
        pixels = std::calloc(bytes, 1);
        if (!pixels) return 0;
    }
    bitmap->pixels = static_cast<uint32_t*>(pixels);
    return 1;
}

void bitmap_delete(Bitmap* bitmap) {
    if (bitmap->pixels) {
        size_t bytes = bitmap_byte_size(bitmap->width, bitmap->height);
        if (bytes >= MAPPED_BITMAP_BYTES) {
            keep_spare(bitmap->pixels, bytes);
        } else {
            std::free(bitmap->pixels);
        }
    }
    *bitmap = Bitmap{};
}
