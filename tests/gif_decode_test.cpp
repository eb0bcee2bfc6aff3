#include "decode/gif_decode.h"

#include <gtest/gtest.h>

#include "decode_fixture.h"
#include "gif_builder.h"

using namespace gif_builder;

namespace {

const std::vector<uint32_t> RGBW = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

// A 2 x 1 image of palette index k, at (0, 0).
Bytes small_image(uint8_t k = 0) { return image(0, 0, 2, 1, {k, k}); }

// A comment extension with data bytes of the given count.
Bytes comment(size_t count) {
    Bytes out{0x21, 0xFE};
    append(out, sub_blocks(Bytes(count, 'c')));
    return out;
}

// Pads a file to exactly size bytes with a comment before its trailer.
Bytes padded_to(Bytes body, size_t size) {
    size_t need = size - body.size() - 1;  // bytes for the comment
    // 2 label bytes, the terminator, and one size byte per 255 data bytes.
    size_t data = need - 3;
    data -= (data + 255) / 256;
    Bytes c = comment(data);
    while (body.size() + c.size() + 1 < size) c = comment(++data);
    while (body.size() + c.size() + 1 > size) c = comment(--data);
    append(body, c);
    append(body, trailer());
    return body;
}

}  // namespace

// The 50-byte file: 3 x 2, four global colours, graphic control with
// transparency (index 1), disposal 1 and delay 10, one image.
TEST(GifDecode, FiftyByteFile) {
    Bytes file{0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x03, 0x00, 0x02, 0x00, 0x81, 0x00, 0x00,
               0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,
               0x21, 0xF9, 0x04, 0x05, 0x0A, 0x00, 0x01, 0x00,
               0x2C, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x02, 0x00, 0x00,
               0x02, 0x03, 0x8C, 0x2D, 0x05, 0x00, 0x3B};
    ASSERT_EQ(file.size(), 50u);
    Decoded d;
    decode_bytes(file, &d);
    EXPECT_EQ(d.result, RESULT_OK);
    const Animation& a = d.animation;
    EXPECT_EQ(a.width, 3u);
    EXPECT_EQ(a.height, 2u);
    EXPECT_TRUE(a.flags & ANIM_HAS_GLOBAL_PALETTE);
    EXPECT_EQ(a.loop_count, 0u);
    ASSERT_EQ(a.frame_count, 1u);
    EXPECT_EQ(a.frames[0].delay_ms, 100u);
    EXPECT_EQ(a.frames[0].disposal, 1u);
    // The key in COLORREF order: green.
    EXPECT_EQ(a.frames[0].transparent_key, 0x1000FF00u);
    // Five green pixels are transparent and show the background; then blue.
    for (uint32_t i = 0; i < 5; i++) EXPECT_EQ(d.pixel(0, i % 3, i / 3), TEST_BACKGROUND);
    EXPECT_EQ(d.pixel(0, 2, 1), 0x0000FFu);
}

TEST(GifDecode, ResultOfTheLastBlock) {
    const Bytes head = header(2, 1, RGBW);
    // The worked example's codes 4, 1, 6, 6, 2 fill two bytes exactly; no end code.
    Bytes no_end_code = descriptor(0, 0, 3, 2);
    append(no_end_code, Bytes{2, 2, 0x8C, 0x2D, 0});
    struct Case {
        const char* what;
        Bytes file;
        int result;
        uint32_t frames;
    };
    const Case cases[] = {
        {"GIF88a", join({Bytes{'G', 'I', 'F', '8', '8', 'a', 2, 0, 1, 0, 0, 0, 0}, small_image(), trailer()}),
         RESULT_LOAD_FAILED, 0},
        {"lower-case signature", join({Bytes{'g', 'i', 'f', '8', '9', 'a', 2, 0, 1, 0, 0, 0, 0}, small_image(), trailer()}),
         RESULT_LOAD_FAILED, 0},
        {"GIF87a", join({Bytes{'G', 'I', 'F', '8', '7', 'a', 2, 0, 1, 0, 0, 0, 0}, small_image(), trailer()}),
         RESULT_OK, 1},
        {"zero canvas width", join({header(0, 1), small_image(), trailer()}), RESULT_LOAD_FAILED, 0},
        {"cut inside the global table", Bytes(head.begin(), head.end() - 1), RESULT_LOAD_FAILED, 0},
        {"only header and trailer", join({head, trailer()}), RESULT_LOAD_FAILED, 0},
        {"image without trailer", join({head, small_image()}), RESULT_OK, 1},
        {"image without end code", join({head, no_end_code, trailer()}), RESULT_SHORT_DATA, 1},
        {"graphic control and no image", join({head, control(0, 5), trailer()}), RESULT_OK, 0},
        {"graphic control cut short", join({head, small_image(), Bytes{0x21, 0xF9, 4, 0}}),
         RESULT_BAD_DATA, 1},
        {"comment with data last", join({head, small_image(), comment(3), trailer()}), RESULT_OK, 1},
        {"comment without data last", join({head, small_image(), Bytes{0x21, 0xFE, 0}, trailer()}),
         RESULT_SHORT_DATA, 1},
        {"image descriptor cut short", join({head, small_image(), Bytes{0x2C, 0, 0}}),
         RESULT_SHORT_DATA, 1},
        {"netscape cut short", join({head, small_image(), Bytes{0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3}}),
         RESULT_SHORT_DATA, 1},
        {"first block is no block", join({head, Bytes{0x00}, small_image(), trailer()}), RESULT_LOAD_FAILED, 0},
    };
    for (const Case& c : cases) {
        Decoded d;
        decode_bytes(c.file, &d);
        EXPECT_EQ(d.result, c.result) << c.what;
        EXPECT_EQ(d.animation.frame_count, c.frames) << c.what;
    }
}

TEST(GifDecode, LoopCount) {
    const Bytes head = header(2, 1, RGBW);
    struct Case {
        Bytes file;
        uint32_t loops;
    };
    const Case cases[] = {
        {join({head, small_image(), trailer()}), 0},
        {join({head, netscape(0), small_image(), trailer()}), 0},
        {join({head, netscape(3), small_image(), trailer()}), 3},
        {join({head, netscape(65535), small_image(), trailer()}), 65535},
    };
    for (const Case& c : cases) {
        Decoded d;
        decode_bytes(c.file, &d);
        EXPECT_EQ(d.result, RESULT_OK);
        EXPECT_EQ(d.animation.loop_count, c.loops);
    }
}

// NETSCAPE blocks with more or other sub-blocks than the loop one: the walk
// steps over each by its size byte, so both images after the block load.
TEST(GifDecode, NetscapeSubBlocks) {
    const Bytes head = header(2, 1, RGBW);
    // The buffering sub-block: id 2, a 4-byte buffer size, here with block
    // introducers and a zero among its bytes.
    const Bytes buffering{2, 0x2C, 0x21, 0x00, 0x3B};
    struct Case {
        const char* what;
        Bytes block;
        uint32_t loops;
    };
    const Case cases[] = {
        {"loop, then buffering", netscape_block({{1, 7, 0}, buffering}), 7},
        {"buffering only", netscape_block({buffering}), 0},
        {"buffering, then loop", netscape_block({buffering, {1, 9, 1}}), 0x109},
        {"first 3-byte sub-block, id 0", netscape_block({{0, 4, 0}, buffering}), 4},
        {"a later 3-byte sub-block, id 0", netscape_block({buffering, {0, 4, 0}}), 0},
        {"loop sub-block longer than 3 bytes", netscape_block({{1, 6, 0, 0xEE, 0xEE}}), 6},
        {"two loop sub-blocks: the later counts", netscape_block({{1, 2, 0}, {1, 3, 0}}), 3},
        {"id 1 without a loop count", netscape_block({{1, 5}, buffering}), 0},
    };
    for (const Case& c : cases) {
        Decoded d;
        decode_bytes(join({head, c.block, small_image(1), small_image(2), trailer()}), &d);
        EXPECT_EQ(d.result, RESULT_OK) << c.what;
        EXPECT_EQ(d.animation.loop_count, c.loops) << c.what;
        ASSERT_EQ(d.animation.frame_count, 2u) << c.what;
        EXPECT_EQ(d.pixel(1, 0, 0), 0x0000FFu) << c.what;
    }
}

// Valid files whose later frames a walk must not lose.
TEST(GifDecode, StepsOverDataSubBlocksToTheNextBlock) {
    const Bytes head = header(2, 1, RGBW);
    // An application extension with binary data: zeros and block bytes inside.
    Bytes profile{0x21, 0xFF, 11, 'I', 'C', 'C', 'R', 'G', 'B', 'G', '1', '0', '1', '2'};
    append(profile, sub_blocks(Bytes{0x00, 0x00, 0x2C, 0x21, 0x3B, 0x00, 0x01}));
    // An image whose end code is followed by more data sub-blocks.
    Bytes trailing = descriptor(0, 0, 2, 1);
    append(trailing, Bytes{2});
    append(trailing, sub_blocks(lzw_codes({1, 1}, 2), false));
    append(trailing, sub_blocks(Bytes{0x2C, 0x21, 0x00, 0x3B}));
    // An image whose data decodes to more pixels than it holds, with block
    // introducers among the rest of its data.
    Bytes overflow = descriptor(0, 0, 2, 1);
    append(overflow, Bytes{2});
    Bytes codes = lzw_codes({1, 1, 1, 1, 1, 1, 1, 1}, 2);
    append(codes, Bytes{0x2C, 0x21, 0x2C, 0x21});
    append(overflow, sub_blocks(codes));
    // A plain text extension.
    Bytes plain{0x21, 0x01};
    append(plain, sub_blocks(Bytes{12, 0, 0, 0, 0, 0x2C, 0x21, 0, 1, 1, 0, 0, 0}));

    struct Case {
        const char* what;
        Bytes block;
        int result;  // of the block alone, before the next image
    };
    const Case cases[] = {
        {"application extension with binary data", profile, RESULT_OK},
        {"sub-blocks after the end code", trailing, RESULT_OK},
        {"more pixels than the image holds", overflow, RESULT_PIXEL_OVERFLOW},
        {"plain text extension", plain, RESULT_OK},
    };
    for (const Case& c : cases) {
        Decoded d;
        decode_bytes(join({head, c.block, small_image(2), trailer()}), &d);
        EXPECT_EQ(d.result, RESULT_OK) << c.what;
        uint32_t images = c.block[0] == 0x2C ? 2 : 1;
        ASSERT_EQ(d.animation.frame_count, images) << c.what;
        // The last frame is the image after the block: blue.
        EXPECT_EQ(d.pixel(images - 1, 0, 0), 0x0000FFu) << c.what;

        Decoded alone;
        decode_bytes(join({head, small_image(), c.block}), &alone);
        EXPECT_EQ(alone.result, c.result) << c.what;
    }
}

TEST(GifDecode, ApplicationExtensionRunningPastTheEndIsShortData) {
    Bytes file = join({header(2, 1, RGBW), small_image(),
                       Bytes{0x21, 0xFF, 11, 'X', 'M', 'P', ' ', 'D', 'a', 't', 'a', 'X', 'M', 'P', 200, 1, 2}});
    Decoded d;
    decode_bytes(file, &d);
    EXPECT_EQ(d.result, RESULT_SHORT_DATA);
    EXPECT_EQ(d.animation.frame_count, 1u);
}

TEST(GifDecode, CutInsideImageDataKeepsThePartialFrame) {
    std::vector<uint8_t> indices(64 * 32);
    uint32_t noise = 1;
    for (uint8_t& k : indices) k = uint8_t((noise = noise * 1103515245 + 12345) >> 16) % 4;
    Bytes file = join({header(64, 32, RGBW), image(0, 0, 64, 32, indices)});
    // Keep the first sub-block whole and cut the second.
    size_t first_size = header(64, 32, RGBW).size() + 10 + 1;
    ASSERT_EQ(file[first_size], 255);
    size_t second_size = first_size + 1 + 255;
    ASSERT_LT(second_size + 3, file.size());
    Bytes cut(file.begin(), file.begin() + second_size + 3);
    Decoded d;
    decode_bytes(cut, &d);
    EXPECT_EQ(d.result, RESULT_SHORT_DATA);
    ASSERT_EQ(d.animation.frame_count, 1u);
    EXPECT_EQ(d.pixel(0, 0, 0), RGBW[indices[0]]);
    // Not reached: the cut sub-block is not used, and the image is 0 there.
    EXPECT_EQ(d.pixel(0, 63, 31), 0u);
}

// Images are decoded into memory the decode reuses: pixels a later image's
// data does not reach are black, never what an earlier image left there.
TEST(GifDecode, ImageCutShortIsBlackWhereItsDataEnds) {
    Bytes second = descriptor(0, 0, 4, 4);
    append(second, image_data({1}));  // one pixel, then the end code
    Bytes file = join({header(4, 4, RGBW), image(0, 0, 4, 4, std::vector<uint8_t>(16, 3)),
                       second, trailer()});
    Decoded d;
    decode_bytes(file, &d);
    ASSERT_EQ(d.animation.frame_count, 2u);
    EXPECT_EQ(d.pixel(0, 3, 3), RGBW[3]);
    EXPECT_EQ(d.pixel(1, 0, 0), RGBW[1]);
    for (uint32_t y = 0; y < 4; y++) {
        for (uint32_t x = y == 0 ? 1 : 0; x < 4; x++) EXPECT_EQ(d.pixel(1, x, y), 0u) << x << "," << y;
    }
}

TEST(GifDecode, DelayNormalisation) {
    struct Case {
        const char* what;
        std::vector<uint32_t> delays_cs;
        uint32_t expected_ms;
    };
    const Case cases[] = {
        {"one frame of 0", {0}, 100},
        {"0, 0, 40 ms: 40 is below 45", {0, 0, 4}, 100},
        {"ten of 20 ms: 200 is not below 150", std::vector<uint32_t>(10, 2), 20},
        {"a hundred of 10 ms: a second", std::vector<uint32_t>(100, 1), 10},
        {"seventy of 10 ms: 700", std::vector<uint32_t>(70, 1), 100},
    };
    for (const Case& c : cases) {
        Bytes file = header(2, 1, RGBW);
        for (uint32_t delay : c.delays_cs) append(file, join({control(0, delay), small_image()}));
        append(file, trailer());
        Decoded d;
        decode_bytes(file, &d);
        ASSERT_EQ(d.animation.frame_count, c.delays_cs.size()) << c.what;
        for (uint32_t i = 0; i < d.animation.frame_count; i++) {
            EXPECT_EQ(d.animation.frames[i].delay_ms, c.expected_ms) << c.what;
        }
    }
}

TEST(GifDecode, DelaySumDoesNotWrap) {
    // 6553 frames of 655350 ms and one of 458756 ms add up to 2^32 + 10 ms: a
    // 32-bit sum would wrap to 10 and replace every delay by 100.
    std::vector<Frame> frames(6554);
    for (Frame& f : frames) f.delay_ms = 655350;
    frames.back().delay_ms = 458756;
    Animation a{};
    a.frames = frames.data();
    a.frame_count = uint32_t(frames.size());
    normalise_delays(&a);
    EXPECT_EQ(frames[0].delay_ms, 655350u);
    EXPECT_EQ(frames.back().delay_ms, 458756u);
}

TEST(GifDecode, GraphicControlBelongsToTheNextImage) {
    Bytes file = join({header(2, 1, RGBW), control(2, 7, 1), control(3, 9), small_image(),
                       small_image(), trailer()});
    Decoded d;
    decode_bytes(file, &d);
    ASSERT_EQ(d.animation.frame_count, 2u);
    const Frame& f = d.animation.frames[0];
    EXPECT_EQ(f.disposal, 3u);                       // the later one wins
    EXPECT_EQ(f.delay_ms, 90u);
    EXPECT_NE(f.transparent_key, 0u);                // the earlier transparency stays
    const Frame& plain = d.animation.frames[1];      // no graphic control: zeros
    EXPECT_EQ(plain.disposal, 0u);
    EXPECT_EQ(plain.delay_ms, 0u);
    EXPECT_EQ(plain.transparent_key, 0u);
}

TEST(GifDecode, FrameTableGrowsPastFiveHundred) {
    Bytes file = header(1, 1, RGBW);
    for (int i = 0; i < 500; i++) append(file, join({control(0, 10), image(0, 0, 1, 1, {uint8_t(i % 4)})}));
    // Written into entry 500 after the table has grown.
    append(file, join({control(2, 4), image(0, 0, 1, 1, {3}), trailer()}));
    Decoded d;
    decode_bytes(file, &d);
    EXPECT_EQ(d.result, RESULT_OK);
    ASSERT_EQ(d.animation.frame_count, 501u);
    EXPECT_EQ(d.animation.frames[500].disposal, 2u);
    EXPECT_EQ(d.animation.frames[500].delay_ms, 40u);
    EXPECT_EQ(d.pixel(500, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(d.pixel(499, 0, 0), RGBW[499 % 4]);
}

TEST(GifDecode, PreviewOnlyForFilesLargerThanFiveMillionBytes) {
    Bytes body = join({header(2, 1, RGBW), small_image(0), small_image(1)});
    Bytes exact = padded_to(body, 5000000);
    ASSERT_EQ(exact.size(), 5000000u);
    Decoded at_limit;
    decode_bytes(exact, &at_limit);
    EXPECT_EQ(at_limit.animation.frame_count, 2u);
    EXPECT_TRUE(at_limit.progress.empty());

    Bytes larger = padded_to(body, 5000001);
    ASSERT_EQ(larger.size(), 5000001u);
    Decoded over;
    decode_bytes(larger, &over);
    EXPECT_EQ(over.progress, (std::vector<uint32_t>{0, 1}));
}

TEST(GifDecode, EveryFrameRebuildsAFullCanvasPicture) {
    Bytes file = join({header(5, 4, RGBW), image(1, 1, 2, 2, {0, 1, 2, 3}),
                       image(3, 3, 2, 1, {2, 2}), trailer()});
    Decoded d;
    decode_bytes(file, &d);
    ASSERT_EQ(d.animation.frame_count, 2u);
    EXPECT_EQ(d.pixel(1, 1, 1), RGBW[0]);  // frame 0 stays under frame 1
    EXPECT_EQ(d.pixel(1, 4, 3), RGBW[2]);
    EXPECT_EQ(d.pixel(1, 0, 0), TEST_BACKGROUND);
}

TEST(GifDecode, MissingFileFailsToLoad) {
    LzwTable* table = static_cast<LzwTable*>(std::calloc(1, sizeof(LzwTable)));
    Animation a{};
    animation_create_table(&a);
    DecodeTarget target{.background = 0};
    EXPECT_EQ(gif_decode_file("/nonexistent/x.gif", table, &a, &target), RESULT_LOAD_FAILED);
    animation_release(&a);
    std::free(table);
}

void count_poll(void* polls) { ++*static_cast<int*>(polls); }

TEST(GifDecode, LongImageCallsThePollAboutEveryMillionPixels) {
    int polls = 0;
    Decoded d;  // three million pixels of one colour: little data
    decode_bytes(join({header(3072, 1024, RGBW),
                       image(0, 0, 3072, 1024, std::vector<uint8_t>(3072 * 1024, 1)), trailer()}),
                 &d, TEST_BACKGROUND, PollHook{.call = count_poll, .context = &polls});
    EXPECT_EQ(polls, 3);  // two in the image, one after its block
}
