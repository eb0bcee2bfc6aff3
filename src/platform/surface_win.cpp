// Bitmaps as DIB sections, so GDI can select and blit them: the twin of
// surface_posix.cpp.
#include <windows.h>

#include "platform/surface.h"

int bitmap_allocate(Bitmap* bitmap, size_t) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(bitmap->width);
    info.bmiHeader.biHeight = -static_cast<LONG>(bitmap->height);  // top-down rows
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
    bitmap->handle = handle;
    return 1;
}

void bitmap_delete(Bitmap* bitmap) {
    if (bitmap->handle) DeleteObject(static_cast<HBITMAP>(bitmap->handle));
    *bitmap = Bitmap{};
}
