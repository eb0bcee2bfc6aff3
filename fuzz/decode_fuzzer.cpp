// libFuzzer target for the decoder: decodes a buffer the way a file is
// decoded (the whole file in memory, then the block walk, every image built
// and composited into its finished picture, with helper threads making the
// pictures resident ahead of the decoder), checks what a loaded animation
// promises, reads every finished picture and releases the animation.
//
// The memory budget is kept small so each input stays quick and well inside
// the fuzzer's memory limit; the bound itself is what keeps a hostile file
// from going past it.
#include <cstdint>
#include <cstdlib>

#include "decode/animation.h"
#include "decode/gif_decode.h"
#include "decode/lzw.h"
#include "decode/result.h"

namespace {

constexpr uint64_t FUZZ_MEMORY_BUDGET = 8ull << 20;

// Reads a few pixels of every row of a finished picture, so a picture that is
// smaller than it says (or freed) shows up under AddressSanitizer.
uint32_t touch_picture(const Bitmap& picture) {
    uint32_t sum = 0;
    for (uint32_t y = 0; y < picture.height; y++) {
        const uint32_t* row = picture.pixels + size_t(y) * picture.width;
        sum += row[0] + row[picture.width / 2] + row[picture.width - 1];
    }
    return sum;
}

void progress(void* context, Animation* animation, uint32_t index) {
    *static_cast<uint32_t*>(context) += touch_picture(animation->frames[index].bitmap);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static LzwTable* table = static_cast<LzwTable*>(std::calloc(1, sizeof(LzwTable)));
    if (!table) std::abort();
    Animation animation{};
    if (!animation_create_table(&animation)) return 0;
    uint32_t sum = 0;
    // Helper threads for every input, so the fuzzer runs the threaded path.
    DecodeTarget target{0xABABAB, progress, &sum, FUZZ_MEMORY_BUDGET, HELPERS_ALWAYS};
    int result = gif_decode_memory(data, size, table, &animation, &target);

    if (result < RESULT_OK || result > RESULT_LOAD_FAILED || result == RESULT_BITMAP_FAILED) {
        std::abort();
    }
    if (result != RESULT_LOAD_FAILED) {
        // A loaded file: every counted frame owns a full-canvas picture.
        if (animation.width == 0 || animation.height == 0) std::abort();
        for (uint32_t i = 0; i < animation.frame_count; i++) {
            const Bitmap& picture = animation.frames[i].bitmap;
            if (!picture.pixels || picture.width != animation.width ||
                picture.height != animation.height) {
                std::abort();
            }
            sum += touch_picture(picture);
        }
    }
    animation_release(&animation);
    // Keeps the reads from being optimised away.
    volatile uint32_t sink = sum;
    (void)sink;
    return 0;
}
