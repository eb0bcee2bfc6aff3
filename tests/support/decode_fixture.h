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
    // A pixel of a frame's picture, rebuilt from the store.
    uint32_t pixel(uint32_t frame, uint32_t x, uint32_t y) {
        picture.resize(size_t(animation.width) * animation.height);
        frame_bring(&animation, picture.data(), holds, frame);
        holds = frame;
        return picture[size_t(y) * animation.width + x];
    }
    std::vector<uint32_t> picture;
    uint32_t holds = NO_FRAME;
};

// Every frame's picture, rebuilt from the store in order, as the player
// shows them one after another.
inline std::vector<std::vector<uint32_t>> frame_pictures(const Animation& animation) {
    std::vector<std::vector<uint32_t>> pictures;
    std::vector<uint32_t> picture(size_t(animation.width) * animation.height);
    for (uint32_t i = 0; i < animation.frame_count; i++) {
        frame_bring(&animation, picture.data(), i == 0 ? NO_FRAME : i - 1, i);
        pictures.push_back(picture);
    }
    return pictures;
}

inline void record_progress(void* context, Animation*, uint32_t index) {
    static_cast<Decoded*>(context)->progress.push_back(index);
}

// Decodes bytes into out; the Animation is released when out goes. Helper
// threads write the key frames in every decode, however small, so the
// decoder's tests run the threaded path.
inline void decode_bytes(const std::vector<uint8_t>& bytes, Decoded* out,
                         uint32_t background = TEST_BACKGROUND, PollHook poll = {}) {
    animation_create_table(&out->animation);
    DecodeTarget target{.background = background, .show_progress = record_progress,
                        .progress_context = out, .helpers = HELPERS_ALWAYS, .poll = poll};
    out->result = gif_decode_memory(bytes.data(), bytes.size(), out->table, &out->animation,
                                    &target);
}
