#include "loads.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "giflib_memory.h"
#include "player/player.h"

int zoetra_load(const uint8_t* data, size_t size, LzwTable* table, Animation* animation,
                CompositeHelpersMode mode) {
    if (!animation_create_table(animation)) return RESULT_LOAD_FAILED;
    // The program's own load: no preview callback, the window's colour, the
    // player's display pictures counted in the bound.
    DecodeTarget target{BENCH_BACKGROUND, nullptr, nullptr};
    target.helpers = mode;
    target.display_pictures = DISPLAY_PICTURES;
    return gif_decode_memory(data, size, table, animation, &target);
}

namespace {

void fill(uint32_t* canvas, uint32_t canvas_width, uint32_t left, uint32_t top, uint32_t right,
          uint32_t bottom, uint32_t colour) {
    for (uint32_t y = top; y < bottom; y++) {
        std::fill(canvas + size_t(y) * canvas_width + left,
                  canvas + size_t(y) * canvas_width + right, colour);
    }
}

}  // namespace

int giflib_load(const uint8_t* data, size_t size, Pictures* pictures, bool keep) {
    *pictures = Pictures{};
    GiflibMemory reader{data, size, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, giflib_read_memory, &error);
    if (!gif) return 0;
    if (DGifSlurp(gif) != GIF_OK || gif->SWidth <= 0 || gif->SHeight <= 0) {
        DGifCloseFile(gif, &error);
        return 0;
    }
    const uint32_t width = uint32_t(gif->SWidth), height = uint32_t(gif->SHeight);
    const size_t bytes = size_t(width) * height * 4u;
    const uint32_t count = uint32_t(gif->ImageCount);
    pictures->width = width;
    pictures->height = height;
    pictures->frames = static_cast<uint32_t**>(std::calloc(count ? count : 1, sizeof(uint32_t*)));
    uint32_t* canvas = static_cast<uint32_t*>(std::malloc(bytes));
    fill(canvas, width, 0, 0, width, height, BENCH_BACKGROUND);
    // Without keeping them, every frame is made in one reused picture.
    uint32_t* reused = keep ? nullptr : static_cast<uint32_t*>(std::malloc(bytes));

    int prior_disposal = 0;
    uint32_t prior_rect[4] = {};  // left, top, right, bottom, clipped
    for (uint32_t i = 0; i < count; i++) {
        const SavedImage* image = &gif->SavedImages[i];
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(gif, int(i), &control);
        if (i > 0 && prior_disposal == DISPOSE_BACKGROUND) {
            fill(canvas, width, prior_rect[0], prior_rect[1], prior_rect[2], prior_rect[3],
                 BENCH_BACKGROUND);
        }
        uint32_t* picture = keep ? static_cast<uint32_t*>(std::malloc(bytes)) : reused;
        uint32_t* target = canvas;
        if (control.DisposalMode == DISPOSE_PREVIOUS) {
            std::memcpy(picture, canvas, bytes);
            target = picture;
        }

        // The image's colours as pixels; entries beyond the table are black,
        // and a file without any table gets a grey ramp.
        uint32_t colours[256] = {};
        const ColorMapObject* map = image->ImageDesc.ColorMap ? image->ImageDesc.ColorMap
                                                              : gif->SColorMap;
        if (map) {
            for (int k = 0; k < map->ColorCount && k < 256; k++) {
                const GifColorType& c = map->Colors[k];
                colours[k] = uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
            }
        } else {
            for (uint32_t k = 0; k < 256; k++) colours[k] = k * 0x010101u;
        }

        const uint32_t left = uint32_t(image->ImageDesc.Left), top = uint32_t(image->ImageDesc.Top);
        const uint32_t image_width = uint32_t(image->ImageDesc.Width);
        const uint32_t right = std::min<uint32_t>(width, left + image_width);
        const uint32_t bottom = std::min<uint32_t>(height, top + uint32_t(image->ImageDesc.Height));
        const int transparent = control.TransparentColor;
        for (uint32_t y = top; y < bottom && left < right; y++) {
            const GifByteType* from = image->RasterBits + size_t(y - top) * image_width;
            uint32_t* to = target + size_t(y) * width + left;
            const uint32_t n = right - left;
            if (transparent < 0) {
                for (uint32_t x = 0; x < n; x++) to[x] = colours[from[x]];
            } else {
                for (uint32_t x = 0; x < n; x++) {
                    if (from[x] != transparent) to[x] = colours[from[x]];
                }
            }
        }
        if (keep) {
            if (target == canvas) std::memcpy(picture, canvas, bytes);
            pictures->frames[i] = picture;
        }
        pictures->count = i + 1;

        prior_disposal = control.DisposalMode;
        prior_rect[0] = std::min(left, width);
        prior_rect[1] = std::min(top, height);
        prior_rect[2] = std::max(right, prior_rect[0]);
        prior_rect[3] = std::max(bottom, prior_rect[1]);
    }
    std::free(canvas);
    std::free(reused);
    DGifCloseFile(gif, &error);
    return 1;
}

void floor_load(uint32_t width, uint32_t height, uint32_t count, Pictures* pictures) {
    const size_t bytes = size_t(width) * height * 4u;
    *pictures = Pictures{width, height, count,
                         static_cast<uint32_t**>(std::calloc(count ? count : 1, sizeof(uint32_t*)))};
    for (uint32_t i = 0; i < count; i++) {
        uint32_t* picture = static_cast<uint32_t*>(std::malloc(bytes));
        if (i == 0) {
            std::memset(picture, 0x80, bytes);
        } else {
            std::memcpy(picture, pictures->frames[i - 1], bytes);
        }
        pictures->frames[i] = picture;
    }
}

void pictures_release(Pictures* pictures) {
    for (uint32_t i = 0; i < pictures->count; i++) std::free(pictures->frames[i]);
    std::free(pictures->frames);
    *pictures = Pictures{};
}
