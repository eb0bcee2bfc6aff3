// The frame compositor: draws every frame over the canvas its predecessor
// left, by the disposal rules, and hands the store either the change from
// the frame before or, where that costs more, the whole picture.
#pragma once
#include <cstddef>
#include <cstdint>

#include "decode/animation.h"
#include "decode/frame_image.h"
#include "decode/frame_store.h"

// A rectangle of the canvas, right and bottom excluded; empty when right <=
// left or bottom <= top.
struct CanvasRect {
    uint32_t left;
    uint32_t top;
    uint32_t right;
    uint32_t bottom;
};

inline bool rect_empty(const CanvasRect& r) { return r.right <= r.left || r.bottom <= r.top; }
inline uint64_t rect_area(const CanvasRect& r) {
    return rect_empty(r) ? 0 : uint64_t(r.right - r.left) * (r.bottom - r.top);
}

enum PendingDisposal : uint32_t {
    PENDING_NONE = 0,
    PENDING_CLEAR = 1,    // the rectangle shows background
    PENDING_RESTORE = 2,  // the rectangle shows the saved pixels
};

// The canvas's colours while there are at most 256 of them: its pixels are
// slots of this palette, one byte each. A slot is in use while the canvas,
// or the pixels saved for a restore, may show its colour; slots that no
// longer are (found by counting, when slots run short) take new colours.
constexpr uint32_t CANVAS_LOOKUP_SIZE = 512;
struct CanvasPalette {
    uint32_t colours[PALETTE_SIZE];
    uint8_t in_use[PALETTE_SIZE];
    uint32_t free_slots;                        // slots not in use
    uint32_t lookup[CANVAS_LOOKUP_SIZE];        // colour | LOOKUP_TAKEN by hash; 0: empty
    uint8_t lookup_slot[CANVAS_LOOKUP_SIZE];
    const uint32_t* stored;                     // the store's copy of colours; null after a change
};

// The running state of one decode's compositing.
//
// The canvas holds the last frame's picture. The next frame is drawn over
// it with the last frame's disposal applied (pending), row by row through a
// row buffer inside its rectangle of change, and each row is compared with
// the canvas: the runs that differ make the frame's change. The change is
// then written into the canvas, which so holds the new frame's picture.
//
// The canvas's pixels are one byte each, slots of its palette, while its
// colours fit in 256 slots (nearly every file); a frame that needs more
// makes it wide, 32-bit colours, until a later frame lets it narrow again.
struct CompositingContext {
    uint32_t background;       // 0x00RRGGBB that clears the canvas (the window's brush colour)
    uint32_t width;            // the canvas
    uint32_t height;
    void* canvas;              // width x height pixels of pixel_bytes; null before frame 0
    uint32_t pixel_bytes;      // 1: slots of palette; 4: colours
    CanvasPalette palette;
    // The last frame's disposal, which the next frame is drawn over.
    uint32_t pending;          // PendingDisposal
    CanvasRect pending_rect;   // clipped to the canvas
    uint32_t pending_saved;    // PENDING_RESTORE: the saved buffer that holds its pixels
    void* saved[2];            // restore-to-previous pixels, rows of their rectangle's width:
    size_t saved_capacity[2];  // the pending one, and the one the next frame saves into
    uint32_t* runs;            // the runs of one row (width of them), then...
    void* row;                 // ...one canvas row of pixels
    size_t row_capacity;       // bytes of both
    void* change;              // where a change is written before it is stored
    size_t change_capacity;    // bytes
    uint64_t reslotted_for;    // the palette the canvas was last re-slotted to (its hash)
    StoreRun run;              // the store's run of frames since the last key frame
    PaletteIndex palettes;     // the store's palettes of this decode
};

// What the compositing of the next frame takes at most, from its image
// rectangle (as the descriptor gives it) and disposal, before its image is
// decoded: the memory bound is checked with it.
struct CompositePlan {
    CanvasRect drawn;       // the part of the image on the canvas
    CanvasRect change;      // the bounding rectangle of change from the last frame
    uint64_t scratch_bytes; // what the context's buffers may grow by
    uint64_t store_bytes;   // the most the frame may add to the store: a whole
                            // picture or its change, 32-bit, and a palette
};

void composite_plan(const CompositingContext* context, uint32_t index, uint32_t left, uint32_t top,
                    uint32_t image_width, uint32_t image_height, uint32_t disposal,
                    CompositePlan* plan);

// Bytes of buffers the context holds now.
uint64_t compositing_scratch_bytes(const CompositingContext* context);

// A key frame's picture to be copied from the canvas into the store: any
// thread may copy any band of rows, each row once, while the decoder goes
// on with the next image; the canvas stays as it is until every row is
// copied (composite_helpers.h).
// A job of the same kind with no canvas writes zeros: the pages of the
// store's block made ahead (frame_store.h).
struct CompositeJob {
    const uint8_t* canvas;  // null: zeros
    uint8_t* picture;       // its block in the store; null: no job
    size_t row_bytes;
    uint32_t height;
    uint32_t warm;          // the picture's pages are written already
};

// Composites frame index (its fields read, earlier frames composited) with
// its image, by the plan made for it, and stores it. Where it is a key frame,
// *job is its picture to copy before the canvas changes again (the caller
// copies it, or has helpers copy it). Returns 0 without memory (nothing
// stored; the frame must not be counted).
int composite_frame(Animation* animation, CompositingContext* context, uint32_t index,
                    const FrameImage* image, const CompositePlan* plan, CompositeJob* job);

// Copies (or zeroes) rows first_row to end_row - 1 of the job's picture.
void composite_rows(const CompositeJob* job, uint32_t first_row, uint32_t end_row);

// Frees the context's canvas and buffers; the pictures and palettes stay
// with the frames.
void compositing_release(CompositingContext* context);
