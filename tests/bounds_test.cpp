// The memory bound of a decode, measured: files of a few hundred bytes or a
// few KB that ask for far more than the budget either load the frames that
// fit or fail, within a bounded time, and the memory the decode takes stays
// within the budget. Each hostile decode runs in a child process so that its
// peak resident size can be read on its own (wait4).
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "decode_fixture.h"
#include "gif_builder.h"

using namespace gif_builder;

namespace {

constexpr uint64_t MIB = uint64_t(1) << 20;
const std::vector<uint32_t> TWO = {0x000000, 0xFFFFFF};

// What a decode in a child process did.
struct Measured {
    int result = -1;
    uint32_t frames = 0;
    double seconds = 0;
    uint64_t peak_growth = 0;  // peak resident bytes above the size at the start
};

uint64_t resident_bytes() {
    long pages = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return uint64_t(resident) * uint64_t(sysconf(_SC_PAGE_SIZE));
}

// Decodes bytes in a child process, which reports the result and the frame
// count through a pipe. There every block of a MiB or more is a mapping of its
// own, given back when freed, so the resident peak is the most the decode held.
Measured measure(const Bytes& bytes, uint64_t budget, CompositeHelpersMode helpers = HELPERS_AUTO) {
    Measured m;
    int channel[2];
    if (pipe(channel) != 0) return m;
    uint64_t start_resident = resident_bytes();
    auto began = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        mallopt(M_MMAP_THRESHOLD, int(MIB));
        Animation animation{};
        LzwTable* table = static_cast<LzwTable*>(std::calloc(1, sizeof(LzwTable)));
        uint32_t report[2] = {uint32_t(RESULT_LOAD_FAILED), 0};
        if (table && animation_create_table(&animation)) {
            DecodeTarget target{.background = TEST_BACKGROUND, .memory_budget = budget,
                                .helpers = helpers};
            report[0] = uint32_t(gif_decode_memory(bytes.data(), bytes.size(), table,
                                                   &animation, &target));
            report[1] = animation.frame_count;
        }
        animation_release(&animation);
        std::free(table);
        ssize_t written = write(channel[1], report, sizeof(report));
        _exit(written == ssize_t(sizeof(report)) ? 0 : 1);
    }
    close(channel[1]);
    uint32_t report[2] = {};
    ssize_t got = read(channel[0], report, sizeof(report));
    close(channel[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    if (got == ssize_t(sizeof(report)) && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        m.result = int(report[0]);
        m.frames = report[1];
    }
    uint64_t peak = uint64_t(usage.ru_maxrss) * 1024u;
    m.peak_growth = peak > start_resident ? peak - start_resident : 0;
    return m;
}

// A 1 x 1 image of index 1 at (left, top).
Bytes dot(uint32_t left, uint32_t top) { return image(left, top, 1, 1, {1}); }

// Tens of thousands of 1 x 1 frames on a width x height canvas.
Bytes many_frames(uint32_t count, uint32_t width, uint32_t height) {
    Bytes out = header(width, height, TWO);
    for (uint32_t i = 0; i < count; i++) {
        append(out, control(0, 1));
        append(out, dot(i * 37 % width, i * 11 % height));
    }
    append(out, trailer());
    return out;
}

// LZW data that expands as far as LZW can: one colour, each code the one
// being defined (strings grow by a pixel per code) until the table is full,
// then `repeats` 12-bit codes of the longest string, 4091 pixels each.
Bytes bomb_data(uint32_t repeats) {
    const uint32_t clear = 4, end = 5;
    BitPacker p;
    uint32_t width = 3, highest = end;
    p.put(clear, width);
    p.put(0, width);
    while (highest < 4095) {
        p.put(highest + 1, width);
        highest++;
        if (highest == (1u << width) - 1 && width < 12) width++;
    }
    for (uint32_t i = 0; i < repeats; i++) p.put(4095, width);
    p.put(end, width);
    Bytes out{2};
    append(out, sub_blocks(p.finish()));
    return out;
}

Bytes lzw_bomb(uint32_t side, uint32_t repeats) {
    Bytes out = header(side, side, TWO);
    append(out, descriptor(0, 0, side, side));
    append(out, bomb_data(repeats));
    append(out, trailer());
    return out;
}

// Generous: CI is a loaded two-core machine and these run under sanitizers.
constexpr double TIME_BOUND_SECONDS = 30;
// Peak growth allowed beyond the budget: the file, the table, allocator and
// sanitizer bookkeeping.
constexpr uint64_t SLACK = 48 * MIB;

}  // namespace

TEST(DecodeBounds, DefaultBudgetFollowsPhysicalMemory) {
    struct Case {
        uint64_t physical, budget;
    } cases[] = {
        {0, DECODE_BUDGET_UNKNOWN},              // the machine would not say
        {512 * MIB, DECODE_BUDGET_FLOOR},        // a quarter would be below the floor
        {8192 * MIB, 2048 * MIB},                // a quarter
        {64ull * 1024 * MIB, DECODE_BUDGET_CAP}, // capped
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decode_memory_budget(c.physical), c.budget) << c.physical;
    }
    EXPECT_GE(decode_memory_budget(os_physical_memory()), DECODE_BUDGET_FLOOR);
}

// A few dozen bytes that declare a 65535 x 65535 canvas (17 GB a picture):
// no picture of it is ever started, whatever the budget.
TEST(DecodeBounds, HugeCanvasFailsAtOnce) {
    Bytes file = join({header(65535, 65535, TWO), dot(0, 0), trailer()});
    ASSERT_LT(file.size(), 100u);
    for (uint64_t budget : {64 * MIB, DECODE_BUDGET_CAP}) {
        Measured m = measure(file, budget);
        EXPECT_EQ(m.result, RESULT_LOAD_FAILED);
        EXPECT_EQ(m.frames, 0u);
        EXPECT_LT(m.seconds, TIME_BOUND_SECONDS);
        EXPECT_LT(m.peak_growth, SLACK) << "budget " << budget;
    }
}

// 30,000 one-pixel frames on a 1024 x 1024 canvas, which as whole pictures
// would take 120 GB: each is kept as its change, so every frame loads in
// about three canvases (the key frame, the running canvas, the rest).
TEST(DecodeBounds, TensOfThousandsOfSmallChangesAllLoad) {
    const uint32_t side = 1024;
    Bytes file = many_frames(30000, side, side);
    const uint64_t budget = 64 * MIB;
    Measured m = measure(file, budget);
    EXPECT_EQ(m.result, RESULT_OK);
    EXPECT_EQ(m.frames, 30000u);
    EXPECT_LT(m.seconds, TIME_BOUND_SECONDS);
    EXPECT_LT(m.peak_growth, 3 * uint64_t(side) * side * 4 + SLACK);
}

// With helpers the decoder has the pages of a block for the store written
// ahead of need on other threads, and holds that block only where the
// budget holds it beside everything else. A decode that fills its budget
// with full-canvas frames that change everywhere keeps as many frames with
// helpers as without, and holds no more but that one block (a canvas, 1
// MiB) and what the helper threads themselves take (measured on the same
// frames with one-pixel images).
TEST(DecodeBounds, HelpersHoldNoMoreThanTheirThreads) {
    const uint32_t side = 1024;
    Bytes file = header(side, side, TWO);
    for (int i = 0; i < 100; i++) {
        append(file, control(0, 1));
        append(file, image(0, 0, side, side, std::vector<uint8_t>(size_t(side) * side, uint8_t(i % 2))));
    }
    append(file, trailer());
    const uint64_t budget = 64 * MIB;
    Measured alone = measure(file, budget, HELPERS_NEVER);
    Measured helped = measure(file, budget, HELPERS_ALWAYS);
    EXPECT_EQ(helped.result, alone.result);
    EXPECT_EQ(helped.frames, alone.frames);
    EXPECT_LT(alone.frames, 100u);  // the budget cut the file short

#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer keeps freed memory resident in its quarantine.
    return;
#endif
    const Bytes dots = many_frames(30, side, side);
    Measured dots_alone = measure(dots, budget, HELPERS_NEVER);
    Measured dots_helped = measure(dots, budget, HELPERS_ALWAYS);
    const int64_t threads = int64_t(dots_helped.peak_growth) - int64_t(dots_alone.peak_growth);
    EXPECT_LT(int64_t(helped.peak_growth) - int64_t(alone.peak_growth), threads + int64_t(2 * MIB));
}

// The same frames on a canvas small enough for all of them: the bound does
// not cut an animation that fits.
TEST(DecodeBounds, FramesThatFitAllLoad) {
    Bytes file = many_frames(30000, 16, 16);
    // Each picture counts 1 KiB of pixels and a page: 154 MB in all.
    Measured m = measure(file, 256 * MIB);
    EXPECT_EQ(m.result, RESULT_OK);
    EXPECT_EQ(m.frames, 30000u);
    EXPECT_LT(m.seconds, TIME_BOUND_SECONDS);
}

// LZW data that expands 2,700-fold: a 16384 x 16384 image (1 GiB) is refused
// before it is made when the budget is small; a 4096 x 4096 one that fits is
// decoded whole, in bounded time.
TEST(DecodeBounds, MaximallyExpandingLzwData) {
    Bytes big = lzw_bomb(16384, 60000);
    EXPECT_LT(big.size(), 100000u);
    Measured refused = measure(big, 256 * MIB);
    EXPECT_EQ(refused.result, RESULT_LOAD_FAILED);
    EXPECT_EQ(refused.frames, 0u);
    EXPECT_LT(refused.seconds, TIME_BOUND_SECONDS);
    EXPECT_LT(refused.peak_growth, SLACK);

    // 4096 x 4096 = 16.8 million pixels: some 2,000 codes past the full table.
    Bytes fits = lzw_bomb(4096, 4200);
    Measured loaded = measure(fits, 256 * MIB);
    EXPECT_EQ(loaded.result, RESULT_PIXEL_OVERFLOW);
    EXPECT_EQ(loaded.frames, 1u);
    EXPECT_LT(loaded.seconds, TIME_BOUND_SECONDS);
    EXPECT_LT(loaded.peak_growth, 256 * MIB + SLACK);
}

// The bound at its edge: at the least budget that holds a whole file every
// frame loads; one byte less and the last frame does not, the frames before
// it are kept with the result of the last handled block, the images after
// it are still counted, and only a file with no stored frame fails. An image
// costs its pixels once, in the scratch every image reuses, interlaced ones
// too (their rows are reordered in place).
TEST(DecodeBounds, FrameThatDoesNotFitEndsTheDecode) {
    const Bytes half(256 * 128, 1);
    auto decode_with = [](const Bytes& file, uint64_t budget, uint32_t* images) {
        Decoded d;
        animation_create_table(&d.animation);
        DecodeTarget target{.background = TEST_BACKGROUND, .memory_budget = budget,
                            .display_pictures = 2};
        d.result = gif_decode_memory(file.data(), file.size(), d.table, &d.animation, &target);
        *images = d.animation.image_count;
        return std::pair<int, uint32_t>(d.result, d.animation.frame_count);
    };
    // The least budget under which all of the file's frames load.
    auto least_budget = [&](const Bytes& file, uint32_t frames) {
        uint64_t low = 0, high = 64 * MIB;
        uint32_t images;
        while (low + 1 < high) {
            const uint64_t middle = (low + high) / 2;
            (decode_with(file, middle, &images).second == frames ? high : low) = middle;
        }
        return high;
    };
    struct Case {
        const char* name;
        Bytes file;
        uint32_t frames;
    } cases[] = {
        {"three dots", join({header(256, 256, TWO), control(0, 5), dot(0, 0), control(0, 5),
                             dot(1, 1), control(0, 5), dot(2, 2), trailer()}), 3},
        {"half-canvas second image",
         join({header(256, 256, TWO), dot(0, 0), image(0, 0, 256, 128, half), trailer()}), 2},
        {"interlaced half-canvas second image",
         join({header(256, 256, TWO), dot(0, 0), image(0, 0, 256, 128, half, {}, true),
               trailer()}), 2},
        {"dot after a half-canvas image",
         join({header(256, 256, TWO), image(0, 0, 256, 128, half), dot(1, 1), trailer()}), 2},
    };
    uint64_t least[4];
    for (size_t k = 0; k < 4; k++) {
        const Case& c = cases[k];
        least[k] = least_budget(c.file, c.frames);
        uint32_t images = 0;
        EXPECT_EQ(decode_with(c.file, least[k], &images), std::make_pair(int(RESULT_OK), c.frames))
            << c.name;
        EXPECT_EQ(images, c.frames) << c.name;
        EXPECT_EQ(decode_with(c.file, least[k] - 1, &images),
                  std::make_pair(int(RESULT_OK), c.frames - 1))
            << c.name;
        EXPECT_EQ(images, c.frames) << c.name << ": the refused image is counted";
    }
    EXPECT_EQ(least[2], least[1]) << "an interlaced image costs more than a plain one";
    // A first image that does not fit fails the load.
    const Bytes large_first = join({header(256, 256, TWO), descriptor(0, 0, 4000, 4000),
                                    Bytes{2, 2, 0x4C, 0x01, 0}, trailer()});
    uint32_t images = 0;
    EXPECT_EQ(decode_with(large_first, 16 * MIB, &images),
              std::make_pair(int(RESULT_LOAD_FAILED), 0u));
}

// An ordinary file decodes the same under the default budget and under one
// far larger than it needs.
TEST(DecodeBounds, OrdinaryFilesAreNotAffected) {
    Bytes file = join({header(64, 48, TWO), netscape(0), control(2, 4), dot(3, 3),
                       control(3, 4), image(10, 10, 4, 2, {1, 0, 1, 0, 0, 1, 0, 1}),
                       control(0, 4), dot(60, 40), trailer()});
    Decoded standard;
    decode_bytes(file, &standard);
    Decoded roomy;
    animation_create_table(&roomy.animation);
    DecodeTarget target{.background = TEST_BACKGROUND, .memory_budget = DECODE_BUDGET_CAP};
    roomy.result = gif_decode_memory(file.data(), file.size(), roomy.table, &roomy.animation,
                                     &target);
    EXPECT_EQ(standard.result, RESULT_OK);
    EXPECT_EQ(roomy.result, RESULT_OK);
    ASSERT_EQ(standard.animation.frame_count, 3u);
    ASSERT_EQ(roomy.animation.frame_count, 3u);
    EXPECT_EQ(frame_pictures(standard.animation), frame_pictures(roomy.animation));
}
