// The loading preview: while a large file decodes on the window's thread, the
// frames already composited are shown at about their own pace (never ahead of
// decoding) and the title says "Processing data " with a dot for every 50
// frames decoded, up to six. The frames are shown as the first pass of
// playback: when the load ends, playback goes on after the last one shown
// (start_after_load), which stays on show until then.
#pragma once
#include <cstddef>
#include <cstdint>

#include "decode/animation.h"
#include "player/player.h"

constexpr size_t PROGRESS_TITLE_CAPACITY = 32;  // units, terminator included

// One per process; reset by the call for frame 0 of each previewed file.
struct LoadingPreview {
    uint32_t start_tick;    // the tick when frame 0 arrived
    uint32_t delay_sum_ms;  // the delays of the frames shown so far
    // Writes a title into the window (WM_SETTEXT on Windows); set once.
    void (*set_title)(void* window, const char16_t* title, void* context);
    void* title_context;
};

// The progress title for the frame index just decoded: "Processing data "
// and min(index / 50, 6) dots, into title (PROGRESS_TITLE_CAPACITY units).
// Returns its length.
size_t format_progress_title(char16_t* title, uint32_t index);

// Called after frame index has been composited (index 0 first, with nothing
// on show). Shows at most one frame: the one after the frame on show, once
// more time has passed since frame 0 arrived than the delays of the frames
// shown before it add up to. Time comes from the player's clock
// (playback_tick); the frame is brought on show in the display pictures
// (made for frame 0) and drawn at the canvas's own size, laid out in the
// client area as it is then, so a window resized during the load keeps its
// new layout. It stays on show until the next one.
void show_loading_progress(LoadingPreview* preview, const Animation* animation, Player* player,
                           uint32_t index);
