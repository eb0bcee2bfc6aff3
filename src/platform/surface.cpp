// The block operations on 32-bit pixel buffers. Allocation lives in the
// platform twins (surface_posix.cpp, surface_win.cpp); these are the same on
// every platform.
#include "platform/surface.h"

#include <algorithm>
#include <cstring>

#include "platform/sse2.h"

void pixels_copy(uint32_t* to, const uint32_t* from, size_t count) {
    size_t i = 0;
#ifdef ZOETRA_SSE2
    for (; i + 16 <= count; i += 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 4));
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 8));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 4), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 8), c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 12), d);
    }
    for (; i + 4 <= count; i += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
    }
#endif
    if (i < count) std::memcpy(to + i, from + i, (count - i) * 4u);
}

void pixels_fill(uint32_t* to, size_t count, uint32_t colour) {
    size_t i = 0;
#ifdef ZOETRA_SSE2
    const __m128i value = _mm_set1_epi32(int(colour));
    for (; i + 16 <= count; i += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), value);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 4), value);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 8), value);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 12), value);
    }
    for (; i + 4 <= count; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), value);
#endif
    for (; i < count; i++) to[i] = colour;
}

void pixels_expand(uint32_t* to, const uint8_t* from, size_t count, const uint32_t* palette) {
    // Eight indices read at once: the loads of the palette are the work.
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t w;
        std::memcpy(&w, from + i, 8);
        to[i] = palette[w & 0xFF];
        to[i + 1] = palette[w >> 8 & 0xFF];
        to[i + 2] = palette[w >> 16 & 0xFF];
        to[i + 3] = palette[w >> 24 & 0xFF];
        to[i + 4] = palette[w >> 32 & 0xFF];
        to[i + 5] = palette[w >> 40 & 0xFF];
        to[i + 6] = palette[w >> 48 & 0xFF];
        to[i + 7] = palette[w >> 56];
    }
    for (; i < count; i++) to[i] = palette[from[i]];
}

void pixels_blend_keyed(uint32_t* to, const uint32_t* from, const uint32_t* below, size_t count,
                        uint32_t key) {
    key &= 0x00FFFFFFu;
    size_t i = 0;
#ifdef ZOETRA_SSE2
    // Four pixels at a time: where the source matches the key the pixel
    // below shows, elsewhere the source's.
    const __m128i keys = _mm_set1_epi32(int(key));
    const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
    for (; i + 4 <= count; i += 4) {
        __m128i source = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        __m128i under = _mm_loadu_si128(reinterpret_cast<const __m128i*>(below + i));
        __m128i keep = _mm_cmpeq_epi32(_mm_and_si128(source, rgb), keys);
        // source ^ ((source ^ under) & keep)
        __m128i blended = _mm_xor_si128(source, _mm_and_si128(_mm_xor_si128(source, under), keep));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), blended);
    }
#endif
    for (; i < count; i++) {
        uint32_t pixel = from[i];
        to[i] = (pixel & 0x00FFFFFFu) != key ? pixel : below[i];
    }
}

void pixels_copy_keyed(uint32_t* to, const uint32_t* from, size_t count, uint32_t key) {
    pixels_blend_keyed(to, from, to, count, key);
}

int bitmap_create(Bitmap* bitmap, uint32_t width, uint32_t height) {
    *bitmap = Bitmap{};
    if (width == 0 || height == 0) {
        // An empty picture: no pixels to hold (GDI makes no zero-sized DIB
        // section), and nothing for any block operation to touch.
        bitmap->width = width;
        bitmap->height = height;
        return 1;
    }
    size_t bytes = bitmap_byte_size(width, height);
    if (bytes == 0) return 0;
    bitmap->width = width;
    bitmap->height = height;
    if (!bitmap_allocate(bitmap, bytes)) {
        *bitmap = Bitmap{};
        return 0;
    }
    return 1;
}

size_t bitmap_byte_size(uint32_t width, uint32_t height) {
    // A DIB section holds at most 2^31 - 1 bytes; keep every platform to the
    // same bound so a file behaves the same everywhere.
    uint64_t bytes = uint64_t(width) * uint64_t(height) * 4u;
    if (bytes > 0x7FFFFFFFu) return 0;
    return size_t(bytes);
}

void bitmap_fill(Bitmap* target, int32_t left, int32_t top, int32_t right, int32_t bottom,
                 uint32_t colour) {
    int64_t x0 = std::max<int64_t>(left, 0), y0 = std::max<int64_t>(top, 0);
    int64_t x1 = std::min<int64_t>(right, target->width);
    int64_t y1 = std::min<int64_t>(bottom, target->height);
    if (x0 >= x1 || y0 >= y1 || !target->pixels) return;
    for (int64_t y = y0; y < y1; y++) {
        pixels_fill(target->pixels + size_t(y) * target->width + x0, size_t(x1 - x0), colour);
    }
}
