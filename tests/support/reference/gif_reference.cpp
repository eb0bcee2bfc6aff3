#include "gif_reference.h"

#include <gif_lib.h>

#include <cstring>

#include "giflib_memory.h"

namespace {

// What the graphic control extensions before one image leave: the last one
// sets delay and disposal; transparency stays once any of them set it.
struct Control {
    uint32_t delay_cs;
    uint32_t disposal;
    int transparent;  // -1: none, else the palette index
};

void apply_extensions(const ExtensionBlock* blocks, int count, Control* control,
                      uint32_t* loop_count) {
    for (int k = 0; k < count; k++) {
        const ExtensionBlock& block = blocks[k];
        if (block.Function == GRAPHICS_EXT_FUNC_CODE && block.ByteCount >= 4) {
            uint8_t packed = block.Bytes[0];
            control->disposal = (packed >> 2) & 7;
            control->delay_cs = uint32_t(block.Bytes[1]) | uint32_t(block.Bytes[2]) << 8;
            if (packed & 1) control->transparent = block.Bytes[3];
        } else if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount >= 8 &&
                   std::memcmp(block.Bytes, "NETSCAPE", 8) == 0) {
            // Its data sub-blocks follow. The loop count is in one with id 1,
            // or in the first one when it is exactly 3 bytes long, whatever
            // its id; the buffering sub-block (id 2) and others hold none.
            for (int j = k + 1; j < count && blocks[j].Function == CONTINUE_EXT_FUNC_CODE; j++) {
                const uint8_t* b = blocks[j].Bytes;
                int n = blocks[j].ByteCount;
                if (n >= 3 && (b[0] == 1 || (j == k + 1 && n == 3))) {
                    *loop_count = uint32_t(b[1]) | uint32_t(b[2]) << 8;
                }
            }
        }
    }
}

}  // namespace

void reference_normalise_delays(std::vector<ReferenceFrame>* frames) {
    uint64_t n = frames->size();
    uint64_t sum = 0;
    for (const ReferenceFrame& f : *frames) sum += f.delay_ms;
    if (n > 0 && sum < 1000 && sum < 15 * n)
        for (ReferenceFrame& f : *frames) f.delay_ms = 100;
}

int reference_decode(const uint8_t* data, size_t size, uint32_t background,
                     ReferenceAnimation* animation, std::string* error) {
    *animation = ReferenceAnimation{};
    GiflibMemory reader{data, size, 0};
    int code = 0;
    GifFileType* gif = DGifOpen(&reader, giflib_read_memory, &code);
    if (!gif) {
        *error = std::string("DGifOpen: ") + GifErrorString(code);
        return 0;
    }
    if (DGifSlurp(gif) != GIF_OK) {
        *error = std::string("DGifSlurp: ") + GifErrorString(gif->Error);
        DGifCloseFile(gif, &code);
        return 0;
    }

    const uint32_t W = uint32_t(gif->SWidth), H = uint32_t(gif->SHeight);
    animation->width = W;
    animation->height = H;
    std::vector<uint32_t> canvas(size_t(W) * H, background);

    uint32_t grey[256];
    for (uint32_t i = 0; i < 256; i++) grey[i] = i * 0x010101u;

    int previous_left = 0, previous_top = 0, previous_width = 0, previous_height = 0;
    uint32_t previous_disposal = 0;
    for (int i = 0; i < gif->ImageCount; i++) {
        const SavedImage& image = gif->SavedImages[i];
        const GifImageDesc& desc = image.ImageDesc;
        Control control{0, 0, -1};
        apply_extensions(image.ExtensionBlocks, image.ExtensionBlockCount, &control,
                         &animation->loop_count);

        // The disposal of the frame before takes effect now.
        if (i > 0 && previous_disposal == 2) {
            for (int y = previous_top; y < previous_top + previous_height && y < int(H); y++)
                for (int x = previous_left; x < previous_left + previous_width && x < int(W); x++)
                    canvas[size_t(y) * W + x] = background;
        }

        uint32_t palette[256];
        const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        if (map) {
            for (int k = 0; k < 256; k++) {
                if (k < map->ColorCount) {
                    const GifColorType& c = map->Colors[k];
                    palette[k] = uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
                } else {
                    palette[k] = 0;  // beyond a short table: black
                }
            }
        } else {
            std::memcpy(palette, grey, sizeof palette);
        }

        // A restore-to-previous frame is drawn on a copy; the canvas stays.
        std::vector<uint32_t> scratch;
        std::vector<uint32_t>* target = &canvas;
        if (control.disposal == 3) {
            scratch = canvas;
            target = &scratch;
        }
        for (int y = 0; y < desc.Height; y++) {
            int cy = desc.Top + y;
            if (cy >= int(H)) break;
            for (int x = 0; x < desc.Width; x++) {
                int cx = desc.Left + x;
                if (cx >= int(W)) break;
                uint8_t index = image.RasterBits[size_t(y) * desc.Width + x];
                if (int(index) == control.transparent) continue;
                (*target)[size_t(cy) * W + cx] = palette[index];
            }
        }

        ReferenceFrame frame;
        frame.pixels = *target;
        frame.delay_ms = control.delay_cs * 10;
        frame.disposal = control.disposal;
        animation->frames.push_back(std::move(frame));

        previous_left = desc.Left;
        previous_top = desc.Top;
        previous_width = desc.Width;
        previous_height = desc.Height;
        previous_disposal = control.disposal;
    }
    // Extensions after the last image (a loop count may stand there too).
    Control unused{0, 0, -1};
    apply_extensions(gif->ExtensionBlocks, gif->ExtensionBlockCount, &unused,
                     &animation->loop_count);
    reference_normalise_delays(&animation->frames);
    DGifCloseFile(gif, &code);
    return 1;
}
