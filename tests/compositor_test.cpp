#include "decode/compositor.h"

#include <gtest/gtest.h>

#include "decode/frame_store.h"
#include "decode_fixture.h"
#include "gif_builder.h"
#include "platform/surface.h"

using namespace gif_builder;

namespace {

// Colours 0-3; index 3 is the transparent one where a frame has transparency.
const std::vector<uint32_t> COLOURS = {0x110000, 0x002200, 0x000033, 0x444444};
constexpr uint32_t B = TEST_BACKGROUND;
constexpr uint32_t R = 0x110000, G = 0x002200, U = 0x000033;

// A canvas 4 wide; each frame is described by its disposal, its rectangle on
// row 0 and its indices. One row high, most frames change half the canvas
// or more and are key frames; eight rows high, every frame after the first
// is kept as a change.
struct Step {
    uint32_t disposal;
    uint32_t left, width;
    std::vector<uint8_t> indices;
    bool transparent = false;
};

std::vector<std::vector<uint32_t>> composite(const std::vector<Step>& steps, uint32_t rows) {
    const uint32_t canvas = 4;
    Bytes file = header(canvas, rows, COLOURS);
    for (const Step& s : steps) {
        append(file, control(s.disposal, 10, s.transparent ? 3 : -1));
        append(file, image(s.left, 0, s.width, 1, s.indices));
    }
    append(file, trailer());
    Decoded d;
    decode_bytes(file, &d);
    std::vector<std::vector<uint32_t>> pictures;
    for (uint32_t i = 0; i < d.animation.frame_count; i++) {
        std::vector<uint32_t> row;
        for (uint32_t x = 0; x < canvas; x++) row.push_back(d.pixel(i, x, 0));
        pictures.push_back(row);
    }
    return pictures;
}

using Pictures = std::vector<std::vector<uint32_t>>;

}  // namespace

TEST(Compositor, Disposal) {
    struct Case {
        const char* what;
        std::vector<Step> steps;
        Pictures pictures;
    };
    const Case cases[] = {
        {"frame 0 starts from the background", {{1, 1, 2, {0, 1}}}, {{B, R, G, B}}},
        {"disposal 1 keeps the frame", {{1, 0, 2, {0, 0}}, {1, 2, 1, {2}}}, {{R, R, B, B}, {R, R, U, B}}},
        {"disposal 2 clears frame 0's rectangle before frame 1",
         {{2, 0, 2, {0, 0}}, {1, 2, 1, {2}}}, {{R, R, B, B}, {B, B, U, B}}},
        {"disposal 3 on frame 0 leaves the cleared canvas",
         {{3, 0, 2, {0, 0}}, {1, 2, 1, {2}}}, {{R, R, B, B}, {B, B, U, B}}},
        {"two disposal-3 frames in a row draw over the same canvas",
         {{1, 0, 1, {1}}, {3, 1, 1, {0}}, {3, 2, 1, {2}}, {1, 3, 1, {1}}},
         {{G, B, B, B}, {G, R, B, B}, {G, B, U, B}, {G, B, B, G}}},
        {"disposal 2 then 3: the clearing stays for later frames",
         {{1, 0, 4, {0, 0, 0, 0}}, {2, 0, 2, {1, 1}}, {3, 3, 1, {2}}, {1, 2, 1, {1}}},
         {{R, R, R, R}, {G, G, R, R}, {B, B, R, U}, {B, B, G, R}}},
        {"disposals 4 to 7 act like 1",
         {{4, 0, 1, {0}}, {5, 1, 1, {0}}, {6, 2, 1, {0}}, {7, 3, 1, {0}}, {1, 0, 1, {1}}},
         {{R, B, B, B}, {R, R, B, B}, {R, R, R, B}, {R, R, R, R}, {G, R, R, R}}},
        {"transparent pixels leave the canvas",
         {{1, 0, 4, {0, 0, 0, 0}}, {1, 0, 4, {3, 1, 3, 2}, true}},
         {{R, R, R, R}, {R, G, R, U}}},
        {"an image past the right edge is clipped, and so is its clearing",
         {{2, 2, 4, {1, 1, 1, 1}}, {1, 0, 1, {0}}}, {{B, B, G, G}, {R, B, B, B}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(composite(c.steps, 1), c.pictures) << c.what << ", as key frames";
        EXPECT_EQ(composite(c.steps, 8), c.pictures) << c.what << ", as changes";
    }
}

TEST(Compositor, BlackTransparentColourIsStillTransparent) {
    // Index 0 is black and transparent; the frame's key is non-zero.
    Bytes file = join({header(2, 1, {0x000000, 0x00FF00}), control(1, 10), image(0, 0, 2, 1, {1, 1}),
                       control(1, 10, 0), image(0, 0, 2, 1, {0, 1}), trailer()});
    Decoded d;
    decode_bytes(file, &d);
    ASSERT_EQ(d.animation.frame_count, 2u);
    EXPECT_EQ(d.animation.frames[1].transparent_key, FRAME_HAS_TRANSPARENCY);
    EXPECT_EQ(d.pixel(1, 0, 0), 0x00FF00u);
}

TEST(Compositor, BackgroundIsTheWindowColourNotTheFiles) {
    Bytes file = join({header(3, 1, COLOURS), image(1, 0, 1, 1, {2}), trailer()});
    Decoded d;
    decode_bytes(file, &d, 0x000000);
    ASSERT_EQ(d.animation.frame_count, 1u);
    EXPECT_EQ(d.pixel(0, 0, 0), 0u);
    EXPECT_EQ(d.pixel(0, 1, 0), U);
}

TEST(Compositor, ImageFarOutsideTheCanvasDrawsNothing) {
    Bytes file = join({header(2, 2, COLOURS), image(60000, 60000, 2, 1, {0, 1}),
                       image(0, 1, 1, 1, {1}), trailer()});
    Decoded d;
    decode_bytes(file, &d);
    ASSERT_EQ(d.animation.frame_count, 2u);
    for (uint32_t y = 0; y < 2; y++)
        for (uint32_t x = 0; x < 2; x++) EXPECT_EQ(d.pixel(0, x, y), B);
    EXPECT_EQ(d.pixel(1, 0, 1), G);
}

TEST(Compositor, FillsClipAgainstEveryEdge) {
    Bitmap target{};
    ASSERT_TRUE(bitmap_create(&target, 3, 3));
    bitmap_fill(&target, -5, -5, 100, 100, 9);
    bitmap_fill(&target, -1, -1, 1, 1, 4);  // only the corner lies on the bitmap
    bitmap_fill(&target, 1, 0, 1, 3, 0);    // empty: nothing
    EXPECT_EQ(std::vector<uint32_t>(target.pixels, target.pixels + 9),
              (std::vector<uint32_t>{4, 9, 9, 9, 9, 9, 9, 9, 9}));
    bitmap_delete(&target);
}

TEST(Compositor, PlanBoundsWhatEveryFrameAdds) {
    // Restore-to-previous frames of 32, 2, 6 and 6 pixels square: each saves
    // its rectangle in whichever buffer the one before it does not use.
    // Then frames of 256 colours of their own, which make the canvas wide.
    // After each frame, the buffers have grown and the store holds no more
    // than the plan made before it said.
    Animation animation{};
    ASSERT_TRUE(animation_create_table(&animation));
    animation.width = animation.height = 32;
    CompositingContext context{};
    context.background = B;
    context.width = context.height = 32;
    std::vector<uint8_t> pixels(1024);
    for (uint32_t k = 0; k < 1024; k++) pixels[k] = uint8_t(k * 7);
    for (uint32_t i = 0; uint32_t side : {32u, 2u, 6u, 6u, 2u, 32u, 16u, 15u}) {
        Frame* frame = &animation.frames[i];  // the table comes zero-filled
        frame->width = frame->height = side;
        frame->disposal = i < 5 ? 3 : 1;
        FrameImage image{};
        image.pixels = pixels.data();
        image.width = image.height = side;
        image.reached = side * side;
        image.colour_count = 256;
        for (uint32_t k = 0; k < 256; k++) image.palette.colours[k] = k * (i < 5 ? 1u : 0x010001u * i);
        CompositePlan plan;
        composite_plan(&context, i, 0, 0, side, side, frame->disposal, &plan);
        const uint64_t held = compositing_scratch_bytes(&context), stored = animation.stored_bytes;
        CompositeJob job;
        ASSERT_TRUE(composite_frame(&animation, &context, i, &image, &plan, &job));
        composite_rows(&job, 0, job.height);
        EXPECT_LE(compositing_scratch_bytes(&context), held + plan.scratch_bytes) << "frame " << i;
        EXPECT_LE(animation.stored_bytes, stored + plan.store_bytes) << "frame " << i;
        animation.frame_count = ++i;
    }
    EXPECT_EQ(context.pixel_bytes, 4u);  // the last frames left more than 256 colours
    compositing_release(&context);
    animation_release(&animation);
}
