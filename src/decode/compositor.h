// The frame compositor: draws every frame over the canvas its predecessor
// left, by the disposal rules, and keeps it in the frame store either as a
// key frame (a whole picture) or as the change from the frame before.
#pragma once
#include <cstddef>
#include <cstdint>

#include "decode/animation.h"

// A rectangle of the canvas, right and bottom excluded; empty when right <=
// left or bottom <= top.
struct CanvasRect {
    uint32_t left;
    uint32_t top;
    uint32_t right;
    uint32_t bottom;
};

enum PendingDisposal : uint32_t {
    PENDING_NONE = 0,
    PENDING_CLEAR = 1,    // the rectangle shows background
    PENDING_RESTORE = 2,  // the rectangle shows the saved pixels
};

// The canvas a frame is drawn over: the picture base (null: all background)
// with at most one rectangle of it replaced by the disposal of the frame
// before.
struct CanvasBefore {
    const uint32_t* base;
    uint32_t pending;       // PendingDisposal
    CanvasRect rect;        // the rectangle it covers, clipped to the canvas
    const uint32_t* saved;  // PENDING_RESTORE: its pixels, rows of its width, packed
    uint32_t background;    // 0x00RRGGBB that clears the canvas (the window's brush colour)
};

// The running state of one decode's compositing.
//
// The canvas before the next frame is `before`. The last frame's picture is
// `last` (the running canvas, or a key frame's picture in the store), which
// differs from that canvas only inside `dirty`: where the last frame's
// disposal replaced it, or, after a key frame restored to previous, that
// frame's own rectangle (its picture was drawn over a canvas that stays).
// Nothing is copied that a frame does not need: each of a run of key frames
// is drawn straight from the picture of the one before, and the running
// canvas is made, from the last picture, only when a frame is kept as a
// change.
struct CompositingContext {
    CanvasBefore before;
    const uint32_t* last;       // null before frame 0
    CanvasRect dirty;
    uint32_t* canvas;           // the running canvas, W x H; null until needed
    uint32_t* saved[2];         // restore-to-previous rectangles: the one in use by
    size_t saved_capacity[2];   // `before`, and the one the next is saved into
    uint32_t* row;              // one canvas row of scratch
    uint32_t* runs;             // the runs of one row
    void* change;               // where a change is written before it is stored
    size_t change_capacity;     // bytes
    uint32_t key;               // the last key frame
    uint64_t since_key_bytes;   // bytes of the changes stored since it
    uint32_t since_key_pixels;  // pixels those changes write
};

// One key frame's picture as composite_begin_key sets it up: the canvas it
// is drawn over, its image and the picture it is written into. Each row of
// the picture depends on nothing but this record, so any thread may write
// any band of rows, each row once, while the decoder goes on with the next
// image. The image and the canvas's base and saved pixels must stay as they
// are until every row is written.
struct CompositeJob {
    CanvasBefore canvas;        // the canvas before the frame
    const uint32_t* image;      // the frame's image, rows packed; null for an empty image
    uint32_t image_width;       // its row length
    uint32_t image_top;         // its top row on the canvas, unclipped
    CanvasRect drawn;           // the part of the image on the canvas
    uint32_t keyed;             // 1 when the frame has a transparent colour...
    uint32_t key;               // ...this one, as a pixel 0x00RRGGBB
    uint32_t* picture;          // the canvas-size picture being written
    uint32_t width;             // the canvas
    uint32_t height;
};

// What the compositing of the next frame will be, from its image rectangle
// (as the descriptor gives it) and disposal, before its image is decoded.
struct CompositePlan {
    uint32_t key;           // 1: a key frame, drawn straight into a picture of its own
    CanvasRect drawn;       // the part of the image on the canvas
    CanvasRect change;      // the bounding rectangle of change from the last frame
    uint64_t scratch_bytes; // what the context's scratch grows by: the running
                            // canvas, saved rectangles, row and change buffers
    uint64_t store_bytes;   // the most the frame can add to the store, a key
                            // frame's picture where the change may become one
};

void composite_plan(const CompositingContext* context, uint32_t width, uint32_t height,
                    uint32_t index, uint32_t left, uint32_t top, uint32_t image_width,
                    uint32_t image_height, uint32_t disposal, CompositePlan* plan);

// Bytes of scratch the context holds now.
uint64_t compositing_scratch_bytes(const CompositingContext* context, uint32_t width,
                                   uint32_t height);

// Sets up key frame index (its fields read, earlier frames composited): its
// image (width x height pixels, rows packed; null for an empty image) over
// the canvas before it, written into picture, a canvas-size block of the
// store that the frame keeps. Advances the context to the canvas the next
// frame is drawn over.
void composite_begin_key(Animation* animation, CompositingContext* context, uint32_t index,
                         const uint32_t* image, uint32_t* picture, CompositeJob* job);

// Writes rows first_row to end_row - 1 of the job's picture.
void composite_rows(const CompositeJob* job, uint32_t first_row, uint32_t end_row);

// Composites frame index, not a key frame by its plan (made for it just
// before), and stores what it changes; where the changes since the last key
// frame would pass a canvas, the frame is stored as a key frame instead.
// Returns 0 without memory (nothing stored; the frame must not be counted).
int composite_change(Animation* animation, CompositingContext* context, uint32_t index,
                     const uint32_t* image, const CompositePlan* plan);

// Frees the context's canvas and scratch; the pictures it referred to stay
// with the frames.
void compositing_release(CompositingContext* context);
