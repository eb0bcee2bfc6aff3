// Decoding a file held in memory, for tests.
#pragma once
#include <cstdlib>
#include <vector>

#include "decode/gif_decode.h"

constexpr uint32_t TEST_BACKGROUND = 0xABABAB;

struct Decoded {
    int result = RESULT_LOAD_FAILED;
    Animation animation{};
    LzwTable* table = static_cast<LzwTable*>(std::calloc(1, sizeof(LzwTable)));
    std::vector<uint32_t> progress;  // frame indexes the preview was called for

    Decoded() = default;
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;
    ~Decoded() {
        animation_release(&animation);
        std::free(table);
    }
    uint32_t pixel(uint32_t frame, uint32_t x, uint32_t y) const {
        const Bitmap& b = animation.frames[frame].bitmap;
        return b.pixels[y * b.width + x];
    }
};

inline void record_progress(void* context, Animation*, uint32_t index) {
    static_cast<Decoded*>(context)->progress.push_back(index);
}

// Decodes bytes into out; the Animation is released when out goes. Helper
// threads make the pictures resident ahead of the decoder in every decode,
// however small, so the decoder's tests run the threaded path.
inline void decode_bytes(const std::vector<uint8_t>& bytes, Decoded* out,
                         uint32_t background = TEST_BACKGROUND, PollHook poll = {}) {
    animation_create_table(&out->animation);
    DecodeTarget target{background, record_progress, out};
    target.helpers = HELPERS_ALWAYS;
    target.poll = poll;
    out->result = gif_decode_memory(bytes.data(), bytes.size(), out->table, &out->animation,
                                    &target);
}
