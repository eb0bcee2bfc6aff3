// The benchmark measures what the player does: its Zoetra load must give the
// same pictures as the program's own decode of the file, and its giflib
// compositing loop must agree with both, or the comparison is not fair.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "decode_fixture.h"
#include "gif_builder.h"
#include "loads.h"

using namespace gif_builder;

namespace {

// Indices with runs and noise, so strings are long and short.
std::vector<uint8_t> indices(uint32_t count, uint32_t colours, uint32_t seed) {
    std::vector<uint8_t> out;
    uint32_t state = seed * 2654435761u + 1;
    while (out.size() < count) {
        state = state * 1103515245u + 12345u;
        uint32_t run = (state >> 24) % 9 + 1;
        uint8_t k = uint8_t((state >> 8) % colours);
        for (uint32_t i = 0; i < run && out.size() < count; i++) out.push_back(k);
    }
    return out;
}

// An odd-sized canvas with every disposal and transparency case the
// compositor has: opaque and transparent images, restore to background and
// to previous in a row, images that reach past the canvas, an interlaced
// image with a local colour table.
Bytes every_case() {
    const uint32_t W = 37, H = 23;
    std::vector<uint32_t> global;
    for (uint32_t k = 0; k < 16; k++) global.push_back(k * 0x0F0D0B + 0x010203);
    std::vector<uint32_t> local{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    struct Step {
        uint32_t disposal;
        int transparent;
        uint32_t left, top, width, height;
        bool interlaced;
        bool local;
    } steps[] = {
        {1, -1, 0, 0, W, H, false, false},   {2, 3, 5, 4, 20, 11, false, false},
        {3, -1, 11, 7, 19, 12, false, false}, {3, 5, 0, 2, 33, 9, false, false},
        {2, -1, 30, 15, 12, 12, false, false}, {0, 7, 1, 1, 35, 21, true, true},
        {1, 2, 17, 0, 20, 23, false, false},  {3, 0, 0, 0, W, H, false, false},
    };
    Bytes file = header(W, H, global);
    append(file, netscape(0));
    uint32_t seed = 1;
    for (const Step& s : steps) {
        append(file, control(s.disposal, 5, s.transparent));
        uint32_t colours = s.local ? 4 : 16;
        append(file, image(s.left, s.top, s.width, s.height,
                           indices(s.width * s.height, colours, seed++),
                           s.local ? local : std::vector<uint32_t>{}, s.interlaced,
                           s.local ? 2 : 4));
    }
    append(file, trailer());
    return file;
}

Bytes read_file(const std::string& path) {
    Bytes bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
    std::fclose(f);
    return bytes;
}

struct Sample {
    const char* name;
    Bytes bytes;
};

std::vector<Sample> samples() {
    return {{"every disposal and transparency case", every_case()},
            {"the bundled sample", read_file(ZOETRA_SOURCE_DIR "/src/res/sample.gif")}};
}

}  // namespace

TEST(BenchAgreement, ZoetraLoadIsTheProgramsDecode) {
    for (const Sample& s : samples()) {
        ASSERT_FALSE(s.bytes.empty()) << s.name;
        // The program decodes from the file.
        std::string path = ZOETRA_BINARY_DIR "/bench_agreement.gif";
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(s.bytes.data(), 1, s.bytes.size(), f);
        std::fclose(f);
        Decoded program;
        animation_create_table(&program.animation);
        DecodeTarget target{.background = BENCH_BACKGROUND};
        program.result = gif_decode_file(path.c_str(), program.table, &program.animation, &target);
        std::remove(path.c_str());

        Decoded bench;
        bench.result = zoetra_load(s.bytes.data(), s.bytes.size(), bench.table, &bench.animation);
        EXPECT_EQ(bench.result, program.result) << s.name;
        ASSERT_EQ(bench.animation.frame_count, program.animation.frame_count) << s.name;
        ASSERT_GT(bench.animation.frame_count, 1u) << s.name;
        const auto a = frame_pictures(bench.animation), b = frame_pictures(program.animation);
        for (uint32_t i = 0; i < bench.animation.frame_count; i++) {
            ASSERT_EQ(a[i], b[i]) << s.name << ", frame " << i;
        }
    }
}

TEST(BenchAgreement, GiflibLoopMakesTheSamePictures) {
    for (const Sample& s : samples()) {
        Decoded zoetra;
        zoetra.result = zoetra_load(s.bytes.data(), s.bytes.size(), zoetra.table, &zoetra.animation);
        ASSERT_EQ(zoetra.result, RESULT_OK) << s.name;
        Pictures giflib;
        ASSERT_EQ(giflib_load(s.bytes.data(), s.bytes.size(), &giflib), 1) << s.name;
        EXPECT_EQ(giflib.width, zoetra.animation.width) << s.name;
        EXPECT_EQ(giflib.height, zoetra.animation.height) << s.name;
        ASSERT_EQ(giflib.count, zoetra.animation.frame_count) << s.name;
        const uint32_t count = giflib.width * giflib.height;
        const auto z = frame_pictures(zoetra.animation);
        for (uint32_t i = 0; i < giflib.count; i++) {
            EXPECT_EQ(std::vector<uint32_t>(giflib.frames[i], giflib.frames[i] + count), z[i])
                << s.name << ", frame " << i;
        }
        pictures_release(&giflib);
    }
}
