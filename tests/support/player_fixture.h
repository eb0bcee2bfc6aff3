// Shared by the view and playback tests: an Animation of solid-colour frames
// and a Player drawing into a native paint screen.
#pragma once
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "decode/animation.h"
#include "decode/frame_store.h"
#include "paint_screen.h"
#include "platform/os.h"
#include "platform/surface.h"
#include "player/display.h"
#include "player/playback.h"
#include "player/player.h"

// The colour of frame i in test animations.
inline uint32_t frame_colour(uint32_t i) { return 0x00102030u + i * 0x00010101u; }

constexpr uint32_t BAR_COLOUR = 0x00AB12CDu;

struct TestAnimation {
    Animation animation{};
};

// frames of width x height, frame i a key frame filled with frame_colour(i)
// and lasting delays[i] ms, in the decoder's own table and store, so that
// the unload releases them as it releases a decoded file.
inline void make_animation(TestAnimation* test, uint32_t width, uint32_t height,
                           const std::vector<uint32_t>& delays, uint32_t loop_count) {
    Animation* animation = &test->animation;
    *animation = Animation{};
    animation_create_table(animation);
    const uint32_t count = uint32_t(delays.size());
    if (count > FRAME_TABLE_STEP) animation_grow_table(animation, FRAME_TABLE_STEP, count);
    for (uint32_t i = 0; i < count; i++) {
        Frame* frame = &animation->frames[i];
        const size_t pixels = size_t(width) * height;
        uint32_t* picture = static_cast<uint32_t*>(store_allocate(&animation->stored_bytes, pixels * 4));
        std::fill(picture, picture + pixels, frame_colour(i));
        frame->stored = picture;
        frame->key = i;
        frame->width = width;
        frame->height = height;
        frame->delay_ms = delays[i];
    }
    animation->width = width;
    animation->height = height;
    animation->frame_count = count;
    animation->image_count = count;
    animation->loop_count = loop_count;
}

inline void free_animation(TestAnimation* test) {
    // A test may count none of the frames yet, as during a decode.
    test->animation.frame_count = test->animation.image_count;
    animation_release(&test->animation);
}

// A Player as the window creation sets it up, drawing into screen.
struct TestPlayer {
    Player player{};
    PaintScreen screen{};
    uint32_t bar_colour = BAR_COLOUR;
};

// The display pictures are made for animation, as a load makes them.
inline void setup_player(TestPlayer* test, Animation* animation, uint32_t client_width,
                         uint32_t client_height) {
    paint_screen_attach(&test->screen, &test->player, client_width, client_height);
    test->player.stop_event = os_event_create();
    test->player.background_brush = &test->bar_colour;
    test->player.animation = animation;
    if (animation->frame_count > 0) display_create(&test->player);
}

inline void teardown_player(TestPlayer* test) {
    stop_playback(&test->player);
    display_release(&test->player);
    os_event_destroy(test->player.stop_event);
    test->player.stop_event = nullptr;
    paint_screen_release(&test->screen);
}

// Both together, released in the right order.
struct PlayerRig {
    TestAnimation anim;
    TestPlayer test;
    ~PlayerRig() {
        teardown_player(&test);
        free_animation(&anim);
    }
};

inline uint32_t screen_pixel(const PaintScreen* screen, uint32_t x, uint32_t y) {
    return screen->screen.pixels[size_t(y) * screen->screen.width + x];
}

// Polls until condition() holds or timeout_ms pass; returns whether it held.
template <typename Condition>
bool wait_until(Condition condition, uint32_t timeout_ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
