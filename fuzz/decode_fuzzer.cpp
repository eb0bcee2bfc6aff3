// libFuzzer target for the decoder: decodes a buffer the way a file is
// decoded (the whole file in memory, then the block walk, every image built,
// composited and stored, with helper threads copying key frames), checks
// what a loaded animation promises, rebuilds every frame's picture from the
// store, forward in one picture and backward from its key frame in another,
// and releases the animation.
//
// The memory budget is kept small so each input stays quick and well inside
// the fuzzer's memory limit; the bound itself is what keeps a hostile file
// from going past it.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "decode/animation.h"
#include "decode/gif_decode.h"
#include "decode/lzw.h"
#include "decode/result.h"

namespace {

constexpr uint64_t FUZZ_MEMORY_BUDGET = 8ull << 20;

// The picture the preview rebuilds frames in, as the player does.
struct Preview {
    std::vector<uint32_t> picture;
    uint32_t holds = NO_FRAME;
    uint32_t sum = 0;
};

// Reads a few pixels of every row of a rebuilt picture.
uint32_t touch_picture(const uint32_t* picture, uint32_t width, uint32_t height) {
    uint32_t sum = 0;
    for (uint32_t y = 0; y < height; y++) {
        const uint32_t* row = picture + size_t(y) * width;
        sum += row[0] + row[width / 2] + row[width - 1];
    }
    return sum;
}

// A stored frame rebuilt in a picture of its own: a change that reaches
// outside the canvas or a frame stored wrongly shows up under
// AddressSanitizer.
void progress(void* context, Animation* animation, uint32_t index) {
    Preview* preview = static_cast<Preview*>(context);
    preview->picture.resize(size_t(animation->width) * animation->height);
    frame_bring(animation, preview->picture.data(), preview->holds, index);
    preview->holds = index;
    preview->sum += touch_picture(preview->picture.data(), animation->width, animation->height);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static LzwTable* table = static_cast<LzwTable*>(std::calloc(1, sizeof(LzwTable)));
    if (!table) std::abort();
    Animation animation{};
    if (!animation_create_table(&animation)) return 0;
    Preview preview;
    // Helper threads for every input, so the fuzzer runs the threaded path.
    DecodeTarget target{.background = 0xABABAB, .show_progress = progress,
                        .progress_context = &preview, .memory_budget = FUZZ_MEMORY_BUDGET, .helpers = HELPERS_ALWAYS};
    int result = gif_decode_memory(data, size, table, &animation, &target);

    if (result < RESULT_OK || result > RESULT_LOAD_FAILED || result == RESULT_BITMAP_FAILED) {
        std::abort();
    }
    uint32_t sum = preview.sum;
    if (result != RESULT_LOAD_FAILED) {
        // A loaded file: every counted frame is stored, after its key frame.
        if (animation.width == 0 || animation.height == 0) std::abort();
        if (animation.image_count < animation.frame_count) std::abort();
        // Pictures only for frames the budget held: a file of extensions
        // alone loads with no frame, whatever its canvas.
        const size_t pixels =
            animation.frame_count ? size_t(animation.width) * animation.height : 0;
        std::vector<uint32_t> forward(pixels), backward(pixels);
        for (uint32_t i = 0; i < animation.frame_count; i++) {
            const Frame& frame = animation.frames[i];
            if (!frame.stored || frame.key > i || animation.frames[frame.key].key != frame.key) {
                std::abort();
            }
            frame_bring(&animation, forward.data(), i == 0 ? NO_FRAME : i - 1, i);
            sum += touch_picture(forward.data(), animation.width, animation.height);
        }
        // Backward, each frame from its key frame: the last one must be the
        // picture that the changes built forward.
        for (uint32_t i = animation.frame_count; i-- > 0;) {
            const bool last = i + 1 == animation.frame_count;
            frame_bring(&animation, backward.data(), last ? NO_FRAME : i + 1, i);
            if (last && backward != forward) std::abort();
        }
    }
    animation_release(&animation);
    // Keeps the reads from being optimised away.
    volatile uint32_t sink = sum;
    (void)sink;
    return 0;
}
