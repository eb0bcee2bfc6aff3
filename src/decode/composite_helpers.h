// Compositing helpers: threads on the machine's other cores that copy a key
// frame's picture from the canvas into the store while the window's thread
// decodes the next image.
//
// A key frame is a fresh full-canvas picture, and writing it (much of that
// is faulting its fresh pages in) costs about as much as decoding an image.
// So the compositor hands the decoder the copy (CompositeJob) and the
// decoder posts it here; helpers take its rows a band at a time while the
// window's thread decodes the next image; then, before the canvas changes
// again, the window's thread copies the bands left over and waits for those
// in flight. Changes are small and stay on the window's thread: posting
// them would cost more than it saves. The decode itself, the store, the
// preview and the results stay on the window's thread, and each row is
// written by one thread, once, as without helpers, so the pictures are the
// same.
//
// The handshake on a posted job. A helper enters (inside + 1), and only if
// the job is still open takes the next band and writes it; then it leaves
// (inside - 1). The window's thread finishes a job by taking the bands that
// are left, closing it and waiting until no helper is inside. Entering and
// the look at `open`, closing and the look at `inside`, are sequentially
// consistent, so a helper either sees the job closed or is waited for; a
// helper's rows are written before its leaving, which the window's thread
// acquires. A helper that has found no band left HELPERS_IDLE_ROUNDS times
// sleeps: it says it is asleep and then looks for a band once more, while
// the window's thread opens a job and then looks whether anyone sleeps, so a
// job is never missed.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "decode/compositor.h"
#include "platform/os.h"

// Whether a decode uses helper threads.
enum CompositeHelpersMode : uint32_t {
    // Helpers when the process may run on two or more CPUs and the canvas
    // is large enough for them to pay (the program's choice).
    HELPERS_AUTO = 0,
    // No helpers: the window's thread writes every picture itself.
    HELPERS_NEVER = 1,
    // Helpers for every load, however small, on any number of CPUs, so that
    // the tests, the sweeps and the fuzzer run the threaded path.
    HELPERS_ALWAYS = 2,
};

constexpr uint32_t HELPERS_MAX = 3;                     // helper threads at most
constexpr size_t HELPERS_MIN_PICTURE_BYTES = 64 * 1024; // HELPERS_AUTO: smaller canvases go alone
constexpr size_t HELPERS_BAND_BYTES = 64 * 1024;        // rows taken at once, about
// A helper that finds no band left yields this many times, looking for one,
// before it sleeps, job open or not: waking a sleeping thread takes tens of
// microseconds, about what decoding an image of a small file takes, and the
// next key frame of such a file comes that soon.
constexpr uint32_t HELPERS_IDLE_ROUNDS = 4000;

struct CompositeHelpers;

// One helper thread's own part.
struct CompositeHelper {
    CompositeHelpers* owner;
    OsEvent* wake;                  // set when a job is posted while it sleeps, or to stop
    std::atomic<uint32_t> asleep;   // 1 while it waits on wake, or is about to
};

// A decode's helpers and the job on offer. Zero-initialised it is stopped.
struct CompositeHelpers {
    CompositeJob job;               // written by the window's thread only while closed, nobody inside
    uint32_t bands;                 // bands of job
    uint32_t band_rows;             // rows of a band
    uint32_t posted;                // 1 from a post to its finish (window's thread only)
    std::atomic<uint32_t> open;     // 1 while helpers may take bands of job
    std::atomic<uint32_t> next_band;
    std::atomic<uint32_t> inside;   // helpers looking at the job now
    CompositeHelper helpers[HELPERS_MAX];
    uint32_t helper_count;          // helpers started
    std::atomic<uint32_t> stop;     // 1 asks the helpers to end
    std::atomic<uint32_t> running;  // helpers that have not ended yet
};

// Starts helpers for a decode of a width x height canvas when the mode and
// the machine call for them. Returns the number running (0: the window's
// thread composites alone).
uint32_t composite_helpers_start(CompositeHelpers* helpers, CompositeHelpersMode mode,
                                 uint32_t width, uint32_t height);

// Offers the rows of job (from composite_frame) to the helpers. A job posted
// before must have been finished.
void composite_helpers_post(CompositeHelpers* helpers, const CompositeJob* job);

// Writes the rows of the posted job that no helper took, and returns once
// every row is written. Nothing when no job is posted.
void composite_helpers_finish(CompositeHelpers* helpers);

// Finishes a posted job, ends the helpers and waits until none runs. Safe
// on a stopped or never started record.
void composite_helpers_stop(CompositeHelpers* helpers);
