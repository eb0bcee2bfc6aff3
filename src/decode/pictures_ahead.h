// Pictures made ahead: while the window's thread decodes, helper threads
// make the next frames' pictures resident, so that the decoder's own writes
// into them find their pages in place.
//
// Every finished frame is a fresh full-canvas picture, and much of a load's
// time goes into faulting those fresh pages in. Faulting runs in parallel on
// other cores, so the window's thread makes the next pictures (on Windows
// DIB sections, made on the thread that does the GDI work) and hands them to
// the helpers, which write to every page of each, a chunk of pages at a
// time; the decoder takes them in frame order. Nothing else moves: the
// decode, the compositing into each picture, the preview and every result
// stay on the window's thread, and a picture that cannot be made ahead is
// made when its frame is composited, as without helpers.
//
// The handshake on a picture ahead. A helper enters the slot (inside + 1),
// and only if the slot is still OPEN takes the next chunk and writes to its
// pages; then it leaves (inside - 1). The window's thread takes a picture by
// closing its slot and waiting until no helper is inside. Both orders are
// sequentially consistent, so either the helper sees the slot closed, or the
// window's thread sees the helper inside and waits for it. Either way every
// helper write to a picture happens before, never after, the decoder's
// first write to it; the pages no helper reached the decoder faults in
// itself.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/os.h"
#include "platform/surface.h"

// How a decode uses helper threads.
enum PicturesAheadMode : uint32_t {
    // Helpers when the process may run on two or more CPUs and the canvas
    // is large enough for faulting to matter (the program's choice).
    AHEAD_AUTO = 0,
    // No helpers: every picture is made when its frame is composited.
    AHEAD_NEVER = 1,
    // Helpers for every load, however small, on any number of CPUs, so that
    // tests, sweeps and the fuzzer run the threaded path.
    AHEAD_ALWAYS = 2,
};

constexpr uint32_t AHEAD_SLOTS = 16;                   // at most this many pictures ahead
constexpr uint64_t AHEAD_BYTES = 8ull << 20;           // and this many bytes (but one picture)
constexpr uint32_t AHEAD_HELPERS = 2;                  // at most this many helper threads
constexpr size_t AHEAD_MIN_PICTURE_BYTES = 64 * 1024;  // AHEAD_AUTO: smaller canvases go alone
constexpr size_t AHEAD_PAGE_BYTES = 4096;              // one write a page makes it resident
constexpr size_t AHEAD_CHUNK_BYTES = 64 * 1024;        // a helper's unit of work

enum AheadSlotState : uint32_t {
    AHEAD_EMPTY = 0,  // no picture
    AHEAD_OPEN,       // a picture whose chunks the helpers may take
    AHEAD_CLOSED,     // taken back by the window's thread
};

struct AheadSlot {
    Bitmap picture;                   // written by the window's thread while no helper is inside
    uint32_t chunks;                  // AHEAD_CHUNK_BYTES pieces of the picture
    std::atomic<uint32_t> state;      // AheadSlotState
    std::atomic<uint32_t> next_chunk; // the next chunk a helper takes
    std::atomic<uint32_t> inside;     // helpers looking at the slot now
};

struct PicturesAhead;

// What one helper thread is given: the record, and its own wake-up (an
// auto-reset event wakes one waiter, so each helper has one).
struct AheadHelper {
    PicturesAhead* ahead;
    OsEvent* wake;                  // work is waiting, or stop
};

// One decode's pictures ahead and its helpers. Zero-initialised it is
// stopped and holds nothing.
struct PicturesAhead {
    AheadSlot slots[AHEAD_SLOTS];   // a ring; the slot at `first` is the next frame's picture
    // Written by the window's thread; the helpers read it only as a hint of
    // where to start, so the next frame's picture is made resident first.
    std::atomic<uint32_t> first;
    uint32_t count;                 // pictures ahead, in the slots from first on
    uint32_t limit;                 // at most this many; 0 while no helper runs
    uint32_t width;                 // the canvas the pictures are made for
    uint32_t height;
    AheadHelper helpers[AHEAD_HELPERS];
    uint32_t helper_count;          // helpers started
    std::atomic<uint32_t> stop;     // 1 asks the helpers to end
    std::atomic<uint32_t> running;  // helpers that have not ended yet
};

// Starts helpers for a decode of a width x height canvas, when the mode and
// the machine call for them. Returns the number of helpers running (0: the
// decode goes on alone, and pictures_ahead_take gives nothing).
uint32_t pictures_ahead_start(PicturesAhead* ahead, PicturesAheadMode mode, uint32_t width,
                              uint32_t height);

// Makes pictures ahead until there are `wanted` (at most the limit), handing
// each to the helpers, once fewer than half of that are left. Stops early,
// quietly, when a picture cannot be made.
void pictures_ahead_fill(PicturesAhead* ahead, uint32_t wanted);

// Frees the newest pictures ahead until at most `keep` are left.
void pictures_ahead_trim(PicturesAhead* ahead, uint32_t keep);

// Takes the oldest picture ahead into *picture: a zero canvas-size bitmap
// that no helper writes to any more. Returns 1, or 0 when there is none.
int pictures_ahead_take(PicturesAhead* ahead, Bitmap* picture);

// Ends the helpers, waits until none runs, and frees every picture still
// ahead. Safe on a stopped or never started record.
void pictures_ahead_stop(PicturesAhead* ahead);
