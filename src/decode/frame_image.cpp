// The frame image builder.
//
// Image descriptor, the 9 bytes after the separator 0x2C (little-endian):
//   0  left (2)   2  top (2)   4  width (2)   6  height (2)
//   8  packed: 0x80 local colour table follows, 0x40 interlaced,
//      bits 0-2 n: the local table holds 2^(n+1) entries
#include "decode/frame_image.h"

#include <cstdlib>
#include <cstring>

#include "decode/result.h"
#include "platform/surface.h"

namespace {

void fill_grey_ramp(Palette* palette) {
    for (uint32_t i = 0; i < PALETTE_SIZE; i++) palette->colours[i] = i * 0x010101u;
}

// Makes room for count pixels; what the scratch held is not kept.
int reserve_pixels(ImageScratch* scratch, size_t count) {
    if (count <= scratch->capacity) return 1;
    image_scratch_release(scratch);
    scratch->pixels = static_cast<uint8_t*>(std::malloc(count));
    if (!scratch->pixels) return 0;
    scratch->capacity = count;
    return 1;
}

// Decodes the image data into the scratch, then puts interlaced rows in
// display order. Returns the decoder's result, or RESULT_BITMAP_FAILED.
int decode_frame_pixels(ByteStream* stream, LzwTable* table, ImageScratch* scratch,
                        const Frame* frame, FrameImage* image, const PollHook* poll) {
    const size_t count = size_t(frame->width) * frame->height;
    // An image may be no larger than a bitmap could be.
    if (count != 0 && bitmap_byte_size(frame->width, frame->height) == 0) {
        return RESULT_BITMAP_FAILED;
    }
    if (!reserve_pixels(scratch, count)) return RESULT_BITMAP_FAILED;
    int result = lzw_decode(stream, table, uint32_t(count), scratch->pixels, &image->reached, poll);
    if (frame->interlaced && deinterlace_frame(scratch->pixels, frame->width, frame->height) != RESULT_OK) {
        result = RESULT_BITMAP_FAILED;
    }
    image->pixels = count ? scratch->pixels : nullptr;
    return result;
}

// Which indices are see-through: those of the key colour (0x00RRGGBB).
// After make_transparent_color_unique, index is the only entry of the
// table's first count that holds it; past them (a table shorter than 256)
// any entry may, so only those are compared. This runs for every keyed
// frame, however small its image.
void mark_see_through(FrameImage* image, uint32_t key, uint32_t count, uint32_t index) {
    image->keyed = 1;
    const uint32_t table = count < PALETTE_SIZE ? count : PALETTE_SIZE;
    std::memset(image->see_through, 0, table);
    uint32_t marked = index < table;
    if (index < table) image->see_through[index] = 1;
    for (uint32_t i = table; i < PALETTE_SIZE; i++) {
        image->see_through[i] = image->palette.colours[i] == key;
        marked += image->see_through[i];
    }
    image->single_see_through = -1;
    if (marked == 1) {
        const void* one = std::memchr(image->see_through, 1, PALETTE_SIZE);
        image->single_see_through = int32_t(static_cast<const uint8_t*>(one) - image->see_through);
    }
    image->unreached_see_through = key == 0;
}

}  // namespace

int read_color_table(ByteStream* stream, Palette* palette, uint32_t count) {
    if (count > PALETTE_SIZE) count = PALETTE_SIZE;
    for (uint32_t k = 0; k < count; k++) {
        uint8_t rgb[3];
        if (!stream_read(stream, rgb, 3)) return 0;
        palette->colours[k] = uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | rgb[2];
    }
    return 1;
}

void make_transparent_color_unique(Palette* palette, uint32_t count, uint32_t index,
                                   uint32_t* key) {
    uint32_t* colours = palette->colours;
    *key = (*key & 0xFF000000u) | swap_red_blue(colours[index]);
    if (count == 0) return;
    uint32_t n = count < PALETTE_SIZE ? count : PALETTE_SIZE;
    uint32_t shared = colours[index];
    bool is_shared = false;
    for (uint32_t k = 0; k < n && !is_shared; k++) is_shared = k != index && colours[k] == shared;
    if (!is_shared) return;

    // The smallest positive colour that none of the n entries holds; at most
    // n + 1, so it always fits in 24 bits.
    bool used[PALETTE_SIZE + 2] = {};
    for (uint32_t k = 0; k < n; k++) {
        if (colours[k] >= 1 && colours[k] <= n + 1) used[colours[k]] = true;
    }
    uint32_t v = 1;
    while (used[v]) v++;
    colours[index] = v;
    *key = (*key & 0xFF000000u) | swap_red_blue(v);
}

uint32_t interlaced_source_row(uint32_t y, uint32_t height) {
    uint32_t pass1 = (height + 7) / 8, pass2 = (height + 3) / 8, pass3 = (height + 1) / 4;
    if (y % 8 == 0) return y / 8;
    if (y % 8 == 4) return pass1 + y / 8;
    if (y % 4 == 2) return pass1 + pass2 + y / 4;
    return pass1 + pass2 + pass3 + y / 2;
}

uint32_t image_span_reached(const FrameImage* image, uint32_t y, uint32_t x0, uint32_t span) {
    const uint32_t row = image->interlaced ? interlaced_source_row(y, image->height) : y;
    const uint64_t start = uint64_t(row) * image->width + x0;
    if (image->reached <= start) return 0;
    const uint64_t left = image->reached - start;
    return left < span ? uint32_t(left) : span;
}

void image_scratch_release(ImageScratch* scratch) {
    std::free(scratch->pixels);
    *scratch = ImageScratch{};
}

int deinterlace_frame(uint8_t* pixels, uint32_t width, uint32_t height) {
    if (!pixels || height < 3) return RESULT_OK;  // rows 0 and 1 are in place already
    // The rows are permuted in place, cycle by cycle, through one spare row:
    // no second picture to allocate and fill.
    const size_t row_bytes = width;
    uint8_t* spare = static_cast<uint8_t*>(std::malloc(row_bytes ? row_bytes : 1));
    uint8_t* placed = static_cast<uint8_t*>(std::calloc(height, 1));
    if (!spare || !placed) {
        std::free(spare);
        std::free(placed);
        return RESULT_BITMAP_FAILED;
    }
    uint8_t* rows = pixels;
    for (uint32_t start = 0; start < height; start++) {
        if (placed[start]) continue;
        // Display row y takes the stored row interlaced_source_row(y); the
        // row that stood at start waits in spare until its place comes up.
        std::memcpy(spare, rows + size_t(start) * width, row_bytes);
        uint32_t y = start;
        for (;;) {
            placed[y] = 1;
            uint32_t source = interlaced_source_row(y, height);
            if (source == start) {
                std::memcpy(rows + size_t(y) * width, spare, row_bytes);
                break;
            }
            std::memcpy(rows + size_t(y) * width, rows + size_t(source) * width, row_bytes);
            y = source;
        }
    }
    std::free(spare);
    std::free(placed);
    return RESULT_OK;
}

int build_frame_image(ByteStream* stream, const uint8_t descriptor[9], const Palette* global,
                      uint32_t global_count, LzwTable* table, ImageScratch* scratch,
                      uint32_t* frame_index, Animation* animation, FrameImage* image,
                      const PollHook* poll) {
    Frame* frame = &animation->frames[*frame_index];
    frame->left = read_u16(descriptor);
    frame->top = read_u16(descriptor + 2);
    frame->width = read_u16(descriptor + 4);
    frame->height = read_u16(descriptor + 6);
    uint8_t packed = descriptor[8];
    if (packed & 0x40) frame->interlaced = 1;
    image->width = frame->width;
    image->height = frame->height;
    image->interlaced = frame->interlaced;
    image->keyed = 0;

    Palette* palette = &image->palette;
    uint32_t count;
    if (packed & 0x80) {
        std::memset(palette, 0, sizeof(Palette));
        count = 1u << ((packed & 7) + 1);
        // A table the file cuts short keeps zeros; the decoder then finds no
        // data and says so.
        read_color_table(stream, palette, count);
    } else if (animation->flags & ANIM_HAS_GLOBAL_PALETTE) {
        // The image's own copy: the transparent colour is made unique on it,
        // so a later image that shows that index opaque gets the file's colour.
        std::memcpy(palette, global, sizeof(Palette));
        count = global_count;
    } else {
        fill_grey_ramp(palette);
        count = PALETTE_SIZE;
    }
    image->colour_count = count < PALETTE_SIZE ? count : PALETTE_SIZE;
    if (frame->transparent_key != 0) {
        const uint32_t index = frame->transparent_key & 0xFFu;
        make_transparent_color_unique(palette, count, index, &frame->transparent_key);
        // The key is COLORREF 0x00BBGGRR; colours are 0x00RRGGBB.
        mark_see_through(image, swap_red_blue(frame->transparent_key), count, index);
    }

    int result = decode_frame_pixels(stream, table, scratch, frame, image, poll);
    if (result == RESULT_BITMAP_FAILED) return RESULT_LOAD_FAILED;
    *frame_index += 1;
    return result;
}
