// Drawing surfaces: 32-bit top-down pixel buffers and the few block operations
// that decoding, compositing and painting rely on.
//
// A pixel is 0x00RRGGBB (bytes blue, green, red, 0 in memory), the layout of a
// 32-bit top-down DIB. Row y starts at pixels + y * width; rows are packed.
// On Windows every bitmap is a DIB section (handle holds the HBITMAP) so GDI
// can select and blit it (surface_win.cpp); elsewhere it is heap memory, or
// for a large bitmap demand-zero pages of its own (surface_posix.cpp).
#pragma once
#include <cstddef>
#include <cstdint>

// A pixel 0x00RRGGBB as a COLORREF 0x00BBGGRR (the order of GDI's colour
// keys and system colours), and back: red and blue change places, the top
// byte is dropped.
inline uint32_t swap_red_blue(uint32_t colour) {
    return (colour & 0xFFu) << 16 | (colour & 0xFF00u) | (colour >> 16 & 0xFFu);
}

struct Bitmap {
    uint32_t* pixels;  // width * height pixels, top-down; null for an empty bitmap
    uint32_t width;
    uint32_t height;
    void* handle;      // HBITMAP on Windows, null elsewhere
};

// Bytes of a width x height picture of 32-bit pixels, or 0 when that size
// does not fit in size_t (or in the 2^31 bytes a DIB section may hold).
size_t bitmap_byte_size(uint32_t width, uint32_t height);

// Makes a zero-filled width x height bitmap. A bitmap with a zero side is
// created empty (no pixels). Returns 1, or 0 (bitmap left zero) when the
// memory cannot be had.
int bitmap_create(Bitmap* bitmap, uint32_t width, uint32_t height);

// Frees the bitmap's memory and zeroes the record; an empty record is fine.
void bitmap_delete(Bitmap* bitmap);

// The platform twins' half of bitmap_create: gives a width x height bitmap
// (both sides non-zero, bytes its checked size) zero-filled pixels and, on
// Windows, its handle. Returns 1, or 0 leaving the record as it was.
int bitmap_allocate(Bitmap* bitmap, size_t bytes);

// The POSIX twin's model of Windows' quota of GDI objects (10,000 a process,
// and every bitmap on Windows is one): once set, bitmap_allocate refuses a
// bitmap while this many live. 0 lifts it. For tests, which show that the
// program holds a handful of bitmaps whatever the file.
void bitmap_set_quota(uint32_t live_bitmaps);

// Sets every pixel with left <= x < right and top <= y < bottom, clipped to
// the bitmap, to colour.
void bitmap_fill(Bitmap* target, int32_t left, int32_t top, int32_t right, int32_t bottom,
                 uint32_t colour);

// The row operations under bitmap_fill, for callers that build a picture
// row by row. They move 16 bytes at a time (SSE2, part of every
// x86-64 processor; a plain loop elsewhere) with no call per pixel.
//
// Copies count pixels; the two runs must not overlap.
void pixels_copy(uint32_t* to, const uint32_t* from, size_t count);
// Sets count pixels to colour.
void pixels_fill(uint32_t* to, size_t count, uint32_t colour);
// Writes count pixels, each the colour of its index in from: to[i] =
// palette[from[i]] (palette has 256 entries).
void pixels_expand(uint32_t* to, const uint8_t* from, size_t count, const uint32_t* palette);
// Copies the pixels of from whose red, green and blue differ from key
// (0x00RRGGBB); the others leave to as it was.
void pixels_copy_keyed(uint32_t* to, const uint32_t* from, size_t count, uint32_t key);
// The same in one pass over a third run: to takes the pixels of from, and
// below's pixels where from's match key. below may be to itself.
void pixels_blend_keyed(uint32_t* to, const uint32_t* from, const uint32_t* below, size_t count,
                        uint32_t key);
