// Compositing helpers. A decode with helpers must give exactly the frames,
// pixels and result codes of one without: for whole files, for files cut
// short and for files that reach the memory bound while a picture is still
// being written by the helpers. A process limited to one CPU starts none.
//
// The DecodeHelpers suite also runs under ThreadSanitizer in `make test`,
// which sees a row written by two threads or read before it is written, and
// like every unit test under AddressSanitizer with leak checking, which sees
// a scratch or picture left behind by a decode that ended early.
#include <gtest/gtest.h>
#include <sched.h>

#include <cstring>
#include <vector>

#include "decode/composite_helpers.h"
#include "decode_fixture.h"
#include "gif_builder.h"

using namespace gif_builder;

namespace {

// 24 frames on a W x H canvas: moving opaque and transparent boxes, every
// disposal, an interlaced one, so each picture depends on the one before.
// Every other box covers most of the canvas with new pixels, so key frames,
// which the helpers copy, and changes follow each other in every order.
Bytes moving_boxes(uint32_t W = 61, uint32_t H = 37) {
    std::vector<uint32_t> global;
    for (uint32_t k = 0; k < 8; k++) global.push_back(0x203040u * k + 0x0A0B0Cu);
    Bytes file = header(W, H, global);
    append(file, netscape(0));
    for (uint32_t i = 0; i < 24; i++) {
        const bool big = i % 2 == 0;
        uint32_t w = big ? W * 3 / 4 : 9 + i % 11, h = big ? H * 3 / 4 : 6 + i % 7;
        uint32_t left = (i * 7) % (W - w), top = (i * 5) % (H - h);
        std::vector<uint8_t> indices(size_t(w) * h);
        for (size_t p = 0; p < indices.size(); p++) indices[p] = uint8_t((p / 3 + i) % 8);
        append(file, control(i % 4, 3, i % 3 == 0 ? int(i % 8) : -1));
        append(file, image(left, top, w, h, indices, {}, i % 5 == 4, 3));
    }
    append(file, trailer());
    return file;
}

struct Outcome {
    int result;
    uint32_t frames;
    uint32_t keys;  // key frames among them
    std::vector<std::vector<uint32_t>> pictures;
};

Outcome decode_with(const uint8_t* data, size_t size, CompositeHelpersMode mode, uint64_t budget) {
    Decoded out;
    animation_create_table(&out.animation);
    DecodeTarget target{.background = TEST_BACKGROUND, .memory_budget = budget,
                        .helpers = mode};
    out.result = gif_decode_memory(data, size, out.table, &out.animation, &target);
    uint32_t keys = 0;
    for (uint32_t i = 0; i < out.animation.frame_count; i++) keys += out.animation.frames[i].key == i;
    return Outcome{out.result, out.animation.frame_count, keys, frame_pictures(out.animation)};
}

void expect_same(const Outcome& with, const Outcome& without) {
    EXPECT_EQ(with.result, without.result);
    ASSERT_EQ(with.frames, without.frames);
    for (uint32_t i = 0; i < with.frames; i++) EXPECT_EQ(with.pictures[i], without.pictures[i]) << i;
}

TEST(DecodeHelpers, CutFilesGiveTheFramesOfADecodeWithoutHelpers) {
    // A canvas of many bands first, then every cut of a small one.
    const Bytes wide = moving_boxes(300, 220);
    ASSERT_GT(300 * 220 * 4, int(4 * HELPERS_BAND_BYTES));
    expect_same(decode_with(wide.data(), wide.size(), HELPERS_ALWAYS, 0),
                decode_with(wide.data(), wide.size(), HELPERS_NEVER, 0));
    const Bytes file = moving_boxes();
    const Outcome whole = decode_with(file.data(), file.size(), HELPERS_ALWAYS, 0);
    ASSERT_EQ(whole.result, RESULT_OK);
    ASSERT_EQ(whole.frames, 24u);
    EXPECT_GT(whole.keys, 4u);  // key frames and changes both
    EXPECT_LT(whole.keys, 20u);
    // Every length from the first image on, in steps that land in headers,
    // sub-blocks and between blocks alike.
    for (size_t size = 40; size <= file.size(); size += size < 400 ? 1 : 7) {
        SCOPED_TRACE(size);
        expect_same(decode_with(file.data(), size, HELPERS_ALWAYS, 0),
                    decode_with(file.data(), size, HELPERS_NEVER, 0));
    }
}

TEST(DecodeHelpers, BoundReachedWhileHelpersWriteKeepsTheSameFrames) {
    // Budgets from below the first frame to above the whole file, in steps
    // of a few hundred bytes: the helpers hold nothing the bound does not
    // count, so the decode stops at the same frame with them as without.
    const Bytes file = moving_boxes();
    const uint64_t table = FRAME_TABLE_STEP * sizeof(Frame), canvas = 61 * 37 * 4;
    uint32_t seen_partial = 0;
    for (uint64_t budget = table; budget <= table + 12 * canvas; budget += 509) {
        SCOPED_TRACE(budget);
        Outcome without = decode_with(file.data(), file.size(), HELPERS_NEVER, budget);
        expect_same(decode_with(file.data(), file.size(), HELPERS_ALWAYS, budget), without);
        if (without.frames > 0 && without.frames < 24) seen_partial++;
    }
    EXPECT_GT(seen_partial, 20u);  // the budgets did cut the file short
}

TEST(DecodeHelpers, OneUsableCpuStartsNoHelperUnlessForced) {
    // Limited to one CPU, as `taskset -c 0` limits it, the program's choice
    // is a decode alone; the tests' switch starts helpers all the same.
    // Linux keeps the CPU mask per thread and the count of usable CPUs reads
    // the caller's, so this thread is limited, and given its CPUs back after.
    cpu_set_t all, one;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);  // the CPU it runs on, one it may use
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    CompositeHelpers automatic{}, forced{};
    const uint32_t usable = os_usable_cpus();
    const uint32_t helpers = composite_helpers_start(&automatic, HELPERS_AUTO, 640, 480);
    const uint32_t forced_helpers = composite_helpers_start(&forced, HELPERS_ALWAYS, 640, 480);
    composite_helpers_stop(&automatic);
    composite_helpers_stop(&forced);
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(usable, 1u);
    EXPECT_EQ(helpers, 0u);
    EXPECT_GT(forced_helpers, 0u);
}

}  // namespace
