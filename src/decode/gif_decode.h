// Decoding a whole GIF file into an Animation whose frames are kept in the
// frame store.
#pragma once
#include <cstddef>
#include <cstdint>

#include "decode/animation.h"
#include "decode/composite_helpers.h"
#include "decode/lzw.h"
#include "decode/result.h"
#include "platform/os.h"

// Files larger than this get the loading preview after every frame.
constexpr size_t PREVIEW_MIN_FILE_SIZE = 5000000;

// What a decode draws for: the colour that clears the canvas, the loading
// preview, called after every composited frame of a file larger than
// PREVIEW_MIN_FILE_SIZE (may be null), and the poll of a long load.
struct DecodeTarget {
    uint32_t background = 0;  // 0x00RRGGBB
    void (*show_progress)(void* context, Animation* animation, uint32_t index) = nullptr;
    void* progress_context = nullptr;
    // Bytes one decode may hold; 0 takes decode_memory_budget(os_physical_memory()).
    uint64_t memory_budget = 0;
    // Whether helper threads copy key frames' pictures into the store while
    // the decoder goes on (composite_helpers.h). The pictures and results
    // are the same.
    CompositeHelpersMode helpers = HELPERS_AUTO;
    // Canvas-size pictures the caller holds beside the store to show frames
    // (the player's display pictures, made as soon as the loading preview
    // shows a frame): counted in the bound from the start.
    uint32_t display_pictures = 0;
    // Called often enough that the caller's thread is never away for long:
    // between chunks of the file read, between blocks, and about every
    // LZW_POLL_PIXELS pixels of an image's data. Null call: none.
    PollHook poll = {};
};

// The memory bound of a decode. A file of a few hundred bytes can ask for
// terabytes (a huge canvas, tens of thousands of frames that each change it
// everywhere). Before a frame's image is decoded, the decode adds up what
// it would then hold: the frame table, the store with its palettes, the
// image scratch at the size of the largest image so far, the compositor's
// running canvas and buffers, the caller's display pictures, and room for
// the frame at the most it can take (a whole picture or its change, of
// 32-bit pixels, and the wider canvas that would need). When that passes
// the budget the decode ends there and keeps the
// frames stored so far (it fails only when there is none); the image
// descriptors after it are still counted (Animation.image_count), their data
// stepped over. The same ending comes when the work would pass
// DECODE_WORK_PER_BYTE pixels for every byte of the budget: the image pixels
// decoded and the canvas pixels compared or written, so that frames whose
// changes are small but whose images are huge cannot make a load last for
// ever (seconds at most; a real file meets the memory bound long before).
constexpr uint64_t DECODE_BUDGET_SHARE = 4;            // a quarter of physical memory,
constexpr uint64_t DECODE_BUDGET_CAP = 4ull << 30;     // at most 4 GiB,
constexpr uint64_t DECODE_BUDGET_FLOOR = 256ull << 20; // at least 256 MiB,
constexpr uint64_t DECODE_BUDGET_UNKNOWN = 1ull << 30; // and 1 GiB when the size is unknown
constexpr uint64_t DECODE_WORK_PER_BYTE = 4;

// The default budget for a machine with physical_memory bytes (0: unknown).
uint64_t decode_memory_budget(uint64_t physical_memory);

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
