#include "decode/lzw.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "decode/result.h"
#include "gif_builder.h"

using gif_builder::Bytes;

namespace {

struct LzwRun {
    int result;
    std::vector<uint32_t> pixels;  // 0x100 + the index of each pixel reached, else 0
    size_t position;               // where the stream stands afterwards
};

// Decodes into pixel_count pixels that hold fill beforehand (an earlier
// image, when the buffer is reused). Unreached pixels must come out 0.
LzwRun run(const Bytes& data, uint32_t pixel_count, uint8_t fill = 0) {
    static LzwTable* table = static_cast<LzwTable*>(std::calloc(1, sizeof(LzwTable)));
    std::vector<uint8_t> indices(pixel_count, fill);
    ByteStream stream{.data = data.data(), .position = 0, .size = data.size()};
    uint32_t written = 0;
    LzwRun r{lzw_decode(&stream, table, pixel_count, indices.data(), &written), {}, stream.position};
    for (uint32_t k = 0; k < pixel_count; k++) {
        r.pixels.push_back(k < written ? 0x100 + indices[k] : indices[k]);
    }
    return r;
}

// Minimum code size, then the codes packed into one sub-block, terminator.
Bytes codes(uint32_t min_code_size, std::initializer_list<std::pair<uint32_t, uint32_t>> list,
            bool terminator = true) {
    gif_builder::BitPacker packer;
    for (auto [code, width] : list) packer.put(code, width);
    Bytes out{uint8_t(min_code_size)};
    gif_builder::append(out, gif_builder::sub_blocks(packer.finish(), terminator));
    return out;
}

std::vector<uint32_t> as_pixels(const std::vector<uint8_t>& indices) {
    std::vector<uint32_t> out;
    for (uint8_t k : indices) out.push_back(0x100 + k);
    return out;
}

}  // namespace

// The worked example: codes 4, 1, 6, 6 (3 bits), then 2, 5 (4 bits), because
// entry 7 is assigned while the second 6 is handled.
TEST(Lzw, WorkedExampleFillsSixPixels) {
    Bytes data{0x02, 0x03, 0x8C, 0x2D, 0x05, 0x00, 0x3B};
    LzwRun r = run(data, 6);
    EXPECT_EQ(r.result, RESULT_OK);
    EXPECT_EQ(r.pixels, (std::vector<uint32_t>{0x101, 0x101, 0x101, 0x101, 0x101, 0x102}));
    EXPECT_EQ(r.position, 6u);  // past the terminator, on the trailer
}

TEST(Lzw, WorkedExampleOverflowsFivePixels) {
    Bytes data{0x02, 0x03, 0x8C, 0x2D, 0x05, 0x00, 0x3B};
    LzwRun r = run(data, 5);
    EXPECT_EQ(r.result, RESULT_PIXEL_OVERFLOW);
    EXPECT_EQ(r.pixels, std::vector<uint32_t>(5, 0x101));
    EXPECT_EQ(r.position, 6u);  // the rest of the image is stepped over
}

TEST(Lzw, ControlCodeSequences) {
    struct Case {
        const char* what;
        Bytes data;
        uint32_t pixel_count;
        int result;
        std::vector<uint32_t> pixels;
    };
    const Case cases[] = {
        {"end code first", codes(2, {{5, 3}}), 2, RESULT_OK, {0, 0}},
        {"clear then end", codes(2, {{4, 3}, {5, 3}}), 2, RESULT_OK, {0, 0}},
        {"clear, clear, literal", codes(2, {{4, 3}, {4, 3}, {3, 3}, {5, 3}}), 2, RESULT_OK,
         {0x103, 0}},
        {"terminator before the end code", codes(2, {{4, 3}, {1, 3}}), 2, RESULT_SHORT_DATA,
         {0x101, 0}},
        {"pixel count 0", codes(2, {{4, 3}, {1, 3}, {5, 3}}), 0, RESULT_PIXEL_OVERFLOW, {}},
        {"code size 8, literal 258", codes(8, {{256, 9}, {258, 9}}), 2, RESULT_BAD_DATA, {0, 0}},
        {"stray code between E + 1 and 255 as first code", codes(2, {{4, 3}, {6, 3}}), 2,
         RESULT_BAD_DATA, {0, 0}},
        {"code beyond the next free one", codes(2, {{4, 3}, {1, 3}, {7, 3}, {5, 3}}), 4,
         RESULT_BAD_DATA, {0x101, 0, 0, 0}},
        {"code size 1", codes(1, {{2, 2}, {1, 2}, {3, 2}}), 2, RESULT_BAD_DATA, {0, 0}},
        {"code size 0", codes(0, {{1, 1}, {0, 1}, {2, 1}}), 2, RESULT_BAD_DATA, {0, 0}},
    };
    // Pixels the data does not reach are 0, also in a buffer that held an
    // earlier image.
    for (uint8_t fill : {uint8_t(0), uint8_t(0xDE)}) {
        for (const Case& c : cases) {
            LzwRun r = run(c.data, c.pixel_count, fill);
            EXPECT_EQ(r.result, c.result) << c.what;
            EXPECT_EQ(r.pixels, c.pixels) << c.what << ", buffer filled with " << int(fill);
        }
    }
}

TEST(Lzw, CodeSizeNineIsRefusedRightAfterItsByte) {
    LzwRun r = run(Bytes{9, 1, 0, 0}, 4);
    EXPECT_EQ(r.result, RESULT_BAD_DATA);
    EXPECT_EQ(r.position, 1u);
}

TEST(Lzw, EmptyStreamIsShortData) {
    LzwRun r = run(Bytes{}, 4);
    EXPECT_EQ(r.result, RESULT_SHORT_DATA);
}

TEST(Lzw, EndCodeFollowedByMoreSubBlocksStepsOverThemAll) {
    // The end code's sub-block, then two stray sub-blocks, then the terminator.
    Bytes data = codes(2, {{4, 3}, {1, 3}, {5, 3}}, false);
    gif_builder::append(data, Bytes{2, 0x2C, 0x21, 1, 0x3B, 0, 0x3B});
    LzwRun r = run(data, 1);
    EXPECT_EQ(r.result, RESULT_OK);
    EXPECT_EQ(r.position, data.size() - 1);  // on the trailer
}

TEST(Lzw, EndOfFileRightAfterTheLastSubBlockStillDecodesIt) {
    Bytes data = codes(2, {{4, 3}, {2, 3}, {5, 3}}, false);
    LzwRun r = run(data, 1);
    EXPECT_EQ(r.result, RESULT_OK);
    EXPECT_EQ(r.pixels[0], 0x102u);
}

TEST(Lzw, SubBlockCutByTheEndOfFileIsNotUsed) {
    // First sub-block holds clear + literal 1, the second (cut) holds more.
    Bytes data{2, 1, 0x0C, 5, 0x11, 0x22};
    LzwRun r = run(data, 4);
    EXPECT_EQ(r.result, RESULT_SHORT_DATA);
    EXPECT_EQ(r.pixels, (std::vector<uint32_t>{0x101, 0, 0, 0}));
}

// Random images through a real encoder: every code width, strings that
// reach across sub-blocks, the KwKwK case, and resets when the table fills.
TEST(Lzw, RoundTripsEncodedImages) {
    std::mt19937 random(7);
    for (uint32_t min_code_size : {2u, 3u, 5u, 8u}) {
        for (uint32_t colours : {2u, 4u, 1u << min_code_size}) {
            std::vector<uint8_t> indices(20000);
            // Runs make long strings; noise fills the table.
            for (size_t i = 0; i < indices.size(); i++) {
                indices[i] = (i / 37) % 3 == 0 ? uint8_t(random() % colours)
                                               : uint8_t((i / 5) % colours);
            }
            Bytes data = gif_builder::image_data(indices, min_code_size);
            LzwRun r = run(data, uint32_t(indices.size()));
            ASSERT_EQ(r.result, RESULT_OK) << min_code_size << " " << colours;
            ASSERT_EQ(r.pixels, as_pixels(indices)) << min_code_size << " " << colours;
            EXPECT_EQ(r.position, data.size());
        }
    }
}

TEST(Lzw, FullTableWithoutClearKeepsDecodingWithTwelveBitCodes) {
    std::mt19937 random(11);
    std::vector<uint8_t> indices(60000);
    for (uint8_t& k : indices) k = uint8_t(random() % 256);
    Bytes data{8};
    gif_builder::append(data, gif_builder::sub_blocks(gif_builder::lzw_codes(indices, 8, true, false)));
    LzwRun r = run(data, uint32_t(indices.size()));
    ASSERT_EQ(r.result, RESULT_OK);
    EXPECT_EQ(r.pixels, as_pixels(indices));
}

// With code size 8 codes stay 9 bits wide until entry 511 is assigned.
TEST(Lzw, CodeWidthGrowsAfterEntry511) {
    std::vector<uint8_t> indices;
    for (uint32_t i = 0; i < 600; i++) indices.push_back(uint8_t(i * 7));
    Bytes data = gif_builder::image_data(indices, 8);
    LzwRun r = run(data, uint32_t(indices.size()));
    ASSERT_EQ(r.result, RESULT_OK);
    EXPECT_EQ(r.pixels, as_pixels(indices));
}

// Data may start without a clear code: the roots must not point into the
// output of the image decoded before.
TEST(Lzw, RootsForgetTheImageBefore) {
    Bytes first = codes(2, {{4, 3}, {1, 3}, {1, 3}, {5, 3}});
    EXPECT_EQ(run(first, 2).result, RESULT_OK);
    Bytes second = codes(2, {{1, 3}, {1, 3}, {5, 3}});  // no clear code
    LzwRun r = run(second, 2);
    EXPECT_EQ(r.result, RESULT_OK);
    EXPECT_EQ(r.pixels, (std::vector<uint32_t>{0x101, 0x101}));
}
