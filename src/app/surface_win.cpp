// Bitmaps as DIB sections, so GDI can select and blit them: the twin of
// src/player/surface_std.cpp.
#include <windows.h>

#include "player/surface.h"

int bitmap_create(Bitmap* bitmap, uint32_t width, uint32_t height) {
    *bitmap = Bitmap{};
    if (width == 0 || height == 0) {
        // An empty picture: GDI makes no zero-sized DIB section, and no block
        // operation has anything to touch.
        bitmap->width = width;
        bitmap->height = height;
        return 1;
    }
    size_t bytes = bitmap_byte_size(width, height);
    if (bytes == 0) return 0;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP handle = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!handle || !pixels) {
        if (handle) DeleteObject(handle);
        return 0;
    }
    // The section's fresh pages are zero already: no clearing pass.
    bitmap->pixels = static_cast<uint32_t*>(pixels);
    bitmap->width = width;
    bitmap->height = height;
    bitmap->handle = handle;
    return 1;
}

void bitmap_delete(Bitmap* bitmap) {
    if (bitmap->handle) DeleteObject(static_cast<HBITMAP>(bitmap->handle));
    *bitmap = Bitmap{};
}
