// Decoding a whole GIF file into an Animation of finished frames.
#pragma once
#include <cstddef>
#include <cstdint>

#include "decode/animation.h"
#include "decode/lzw.h"
#include "decode/result.h"
#include "player/os.h"

// Files larger than this get the loading preview after every frame.
constexpr size_t PREVIEW_MIN_FILE_SIZE = 5000000;

// What a decode draws for: the colour that clears the canvas, and the loading
// preview, called after every composited frame of a file larger than
// PREVIEW_MIN_FILE_SIZE (may be null).
struct DecodeTarget {
    uint32_t background;  // 0x00RRGGBB
    void (*show_progress)(void* context, Animation* animation, uint32_t index);
    void* progress_context;
};

// Decodes the file at path into animation, which must be empty but for a
// fresh table from animation_create_table. Returns a result code; on
// RESULT_LOAD_FAILED the caller releases the animation. Any other code is a
// loaded file, with every finished frame counted.
int gif_decode_file(const PathChar* path, LzwTable* table, Animation* animation,
                    const DecodeTarget* target);

// The same for a file already in memory.
int gif_decode_memory(const uint8_t* data, size_t size, LzwTable* table, Animation* animation,
                      const DecodeTarget* target);

// Replaces too-short delays: when the first frame_count delays add up to less
// than a second and to less than 15 ms a frame, every frame gets 100 ms.
void normalise_delays(Animation* animation);
