#include "decode/frame_image.h"

#include <gtest/gtest.h>

#include "decode_fixture.h"
#include "gif_builder.h"

using namespace gif_builder;

TEST(FrameImage, InterlacedRowOrder) {
    struct Case {
        uint32_t height;
        std::vector<uint32_t> rows;  // display row of stored row k
    };
    const Case cases[] = {
        {1, {0}},
        {2, {0, 1}},
        {3, {0, 2, 1}},
        {4, {0, 2, 1, 3}},
        {5, {0, 4, 2, 1, 3}},
        {9, {0, 8, 4, 2, 6, 1, 3, 5, 7}},
    };
    for (const Case& c : cases) {
        for (uint32_t k = 0; k < c.height; k++) {
            EXPECT_EQ(interlaced_source_row(c.rows[k], c.height), k) << "height " << c.height;
        }
    }
}

// The display rows in the order the four passes store them: every 8th row
// from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
static std::vector<uint32_t> pass_order(uint32_t height) {
    std::vector<uint32_t> rows;
    const uint32_t starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; pass++)
        for (uint32_t y = starts[pass]; y < height; y += steps[pass]) rows.push_back(y);
    return rows;
}

TEST(FrameImage, DeinterlacingPlacesEveryRowOnce) {
    for (uint32_t height = 1; height < 40; height++) {
        std::vector<uint8_t> image(size_t(height) * 2);
        for (uint32_t k = 0; k < height; k++) image[k * 2] = image[k * 2 + 1] = uint8_t(k + 1);
        ASSERT_EQ(deinterlace_frame(image.data(), 2, height), RESULT_OK);
        std::vector<uint32_t> stored = pass_order(height);
        std::vector<bool> seen(height);
        for (uint32_t y = 0; y < height; y++) {
            uint32_t k = image[y * 2] - 1;
            ASSERT_LT(k, height);
            EXPECT_EQ(stored[k], y);
            seen[k] = true;
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), true), int(height));
    }
}

TEST(FrameImage, TransparentKey) {
    struct Case {
        const char* what;
        std::vector<uint32_t> palette;
        uint32_t count;
        uint32_t index;
        uint32_t key;          // after
        uint32_t entry;        // entry index after
    };
    const Case cases[] = {
        {"unique colour", {0x123456, 0xFFFFFF}, 2, 0, 0x10563412, 0x123456},
        {"shared colour gets the smallest free value", {0xFF0000, 0xFF0000, 0, 2}, 4, 1, 0x10010000, 1},
        {"1 taken too", {0x000001, 0x000001, 0x000002}, 3, 0, 0x10030000, 3},
        {"black shared with an unused short-table entry", {0, 0x00FF00}, 2, 5, 0x10010000, 1},
        {"black and unique", {0x0000FF, 0}, 2, 1, 0x10000000, 0},
        {"count 0 leaves the palette", {7, 7}, 0, 1, 0x10070000, 7},
    };
    for (const Case& c : cases) {
        Palette palette{};
        for (size_t i = 0; i < c.palette.size(); i++) palette.colours[i] = c.palette[i];
        uint32_t key = FRAME_HAS_TRANSPARENCY | c.index;
        make_transparent_color_unique(&palette, c.count, c.index, &key);
        EXPECT_EQ(key, c.key) << c.what;
        EXPECT_EQ(palette.colours[c.index], c.entry) << c.what;
    }
}

namespace {

const std::vector<uint32_t> FOUR = {0x102030, 0x405060, 0x102030, 0x708090};

}  // namespace

TEST(FrameImage, PaletteChoice) {
    struct Case {
        const char* what;
        Bytes file;
        uint32_t expected;  // frame 0's pixel (0, 0)
    };
    // An image with a local table bit clear but bits 0-2 set: they are ignored.
    Bytes ignored_bits = descriptor(0, 0, 1, 1, 0x07);
    append(ignored_bits, image_data({3}));
    const Case cases[] = {
        {"local table wins", join({header(1, 1, FOUR), image(0, 0, 1, 1, {1}, {0xAA0000, 0xBB0000}), trailer()}), 0xBB0000},
        {"global table", join({header(1, 1, FOUR), image(0, 0, 1, 1, {3}), trailer()}), 0x708090},
        {"grey ramp without tables", join({header(1, 1), image(0, 0, 1, 1, {128}, {}, false, 8), trailer()}), 0x808080},
        {"index beyond a two-entry local table is black", join({header(1, 1, FOUR), image(0, 0, 1, 1, {3}, {0xAA0000, 0xBB0000}), trailer()}), 0},
        {"size bits without the local bit", join({header(1, 1, FOUR), ignored_bits, trailer()}), 0x708090},
    };
    for (const Case& c : cases) {
        Decoded d;
        decode_bytes(c.file, &d);
        EXPECT_EQ(d.result, RESULT_OK) << c.what;
        ASSERT_EQ(d.animation.frame_count, 1u) << c.what;
        EXPECT_EQ(d.pixel(0, 0, 0), c.expected) << c.what;
    }
}

TEST(FrameImage, LocalTableOf256EntriesIsRead) {
    std::vector<uint32_t> local(256);
    for (uint32_t i = 0; i < 256; i++) local[i] = i << 8;
    Decoded d;
    decode_bytes(join({header(2, 1), image(0, 0, 2, 1, {200, 255}, local, false, 8), trailer()}), &d);
    ASSERT_EQ(d.animation.frame_count, 1u);
    EXPECT_EQ(d.pixel(0, 0, 0), 200u << 8);
    EXPECT_EQ(d.pixel(0, 1, 0), 255u << 8);
}

TEST(FrameImage, FileEndingInsideTheLocalTableStillCountsTheFrame) {
    Bytes file = join({header(1, 1, FOUR), descriptor(0, 0, 1, 1, 0x81), Bytes{1, 2, 3, 4, 5}});
    Decoded d;
    decode_bytes(file, &d);
    EXPECT_EQ(d.result, RESULT_SHORT_DATA);
    EXPECT_EQ(d.animation.frame_count, 1u);
}

// The key is made unique on the image's own copy of the global table: a
// later opaque image that uses that index shows the file's colour.
TEST(FrameImage, UniqueKeyDoesNotChangeTheGlobalTableForLaterImages) {
    Bytes file = join({header(2, 1, FOUR), control(0, 10, 2), image(0, 0, 2, 1, {2, 0}),
                       control(0, 10), image(0, 0, 2, 1, {2, 2}), trailer()});
    Decoded d;
    decode_bytes(file, &d);
    ASSERT_EQ(d.animation.frame_count, 2u);
    // Frame 0: index 2 is transparent but index 0 of the same colour is not.
    EXPECT_EQ(d.pixel(0, 0, 0), TEST_BACKGROUND);
    EXPECT_EQ(d.pixel(0, 1, 0), 0x102030u);
    EXPECT_EQ(d.animation.frames[0].transparent_key, 0x10010000u);
    // Frame 1 draws index 2 opaque in the file's own colour.
    EXPECT_EQ(d.pixel(1, 0, 0), 0x102030u);
    EXPECT_EQ(d.pixel(1, 1, 0), 0x102030u);
}

TEST(FrameImage, InterlacedImageComesOutInDisplayOrder) {
    const uint32_t w = 3, h = 11;
    std::vector<uint8_t> indices(w * h);
    for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < w; x++) indices[y * w + x] = uint8_t((y * 7 + x) % 4);
    Decoded d;
    decode_bytes(join({header(w, h, FOUR), image(0, 0, w, h, indices, {}, true), trailer()}), &d);
    ASSERT_EQ(d.animation.frame_count, 1u);
    EXPECT_EQ(d.animation.frames[0].interlaced, 1u);
    for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < w; x++) EXPECT_EQ(d.pixel(0, x, y), FOUR[indices[y * w + x]]);
}

TEST(FrameImage, ZeroSizedImageIsCountedAndDrawsNothing) {
    Bytes file = join({header(2, 1, FOUR), descriptor(0, 0, 0, 5), image_data({}), trailer()});
    Decoded d;
    decode_bytes(file, &d);
    ASSERT_EQ(d.animation.frame_count, 1u);
    EXPECT_EQ(d.pixel(0, 0, 0), TEST_BACKGROUND);
}
