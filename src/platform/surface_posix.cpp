// Bitmaps as plain zero-filled memory, for native builds and tests.
//
// Large bitmaps are mapped pages of their own, as DIB sections are on
// Windows: the system hands them out zero-filled on first touch, so a
// picture that is written in full is written once, never cleared first by
// the allocator (which a heap does when it reuses freed memory). The pages
// are not populated up front: a DIB section's are not either, and the
// benchmark measures this twin for the Windows program.
#include <sys/mman.h>

#include <atomic>
#include <cstdlib>

#include "platform/surface.h"

namespace {

// From this size on, a bitmap has pages of its own.
constexpr size_t MAPPED_BITMAP_BYTES = 64 * 1024;

std::atomic<uint32_t> live_bitmaps{0};
std::atomic<uint32_t> bitmap_quota{0};

}  // namespace

void bitmap_set_quota(uint32_t live) { bitmap_quota.store(live); }

int bitmap_allocate(Bitmap* bitmap, size_t bytes) {
    const uint32_t quota = bitmap_quota.load();
    if (quota != 0 && live_bitmaps.load() >= quota) return 0;
    void* pixels;
    if (bytes >= MAPPED_BITMAP_BYTES) {
        pixels = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pixels == MAP_FAILED) return 0;
    } else {
        pixels = std::calloc(bytes, 1);
        if (!pixels) return 0;
    }
    bitmap->pixels = static_cast<uint32_t*>(pixels);
    live_bitmaps.fetch_add(1);
    return 1;
}

void bitmap_delete(Bitmap* bitmap) {
    if (bitmap->pixels) {
        size_t bytes = bitmap_byte_size(bitmap->width, bitmap->height);
        if (bytes >= MAPPED_BITMAP_BYTES) {
            munmap(bitmap->pixels, bytes);
        } else {
            std::free(bitmap->pixels);
        }
        live_bitmaps.fetch_sub(1);
    }
    *bitmap = Bitmap{};
}
