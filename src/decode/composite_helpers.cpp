// The compositing helpers and the handshake around a posted job.
#include "decode/composite_helpers.h"

#include "platform/surface.h"

namespace {

// Takes the next band of the posted job and writes it. Returns false when
// every band was taken already.
bool write_band(CompositeHelpers* helpers) {
    const uint32_t band = helpers->next_band.fetch_add(1, std::memory_order_relaxed);
    if (band >= helpers->bands) return false;
    const uint32_t first = band * helpers->band_rows;
    composite_rows(&helpers->job, first, first + helpers->band_rows);
    return true;
}

// A helper's turn: enters the posted job and, if it is still open, writes a
// band of it. Returns false when there was none.
bool help_with_band(CompositeHelpers* helpers) {
    if (helpers->open.load(std::memory_order_relaxed) == 0) return false;  // a quick look
    helpers->inside.fetch_add(1, std::memory_order_seq_cst);
    const bool wrote = helpers->open.load(std::memory_order_seq_cst) != 0 && write_band(helpers);
    helpers->inside.fetch_sub(1, std::memory_order_release);
    return wrote;
}

// Whether the posted job has a band left to take.
bool band_left(CompositeHelpers* helpers) {
    helpers->inside.fetch_add(1, std::memory_order_seq_cst);
    const bool left = helpers->open.load(std::memory_order_seq_cst) != 0 &&
                      helpers->next_band.load(std::memory_order_relaxed) < helpers->bands;
    helpers->inside.fetch_sub(1, std::memory_order_release);
    return left;
}

uint32_t help(void* argument) {
    CompositeHelper* helper = static_cast<CompositeHelper*>(argument);
    CompositeHelpers* helpers = helper->owner;
    uint32_t idle = 0;
    while (helpers->stop.load(std::memory_order_acquire) == 0) {
        if (help_with_band(helpers)) {
            idle = 0;
            continue;
        }
        if (++idle < HELPERS_IDLE_ROUNDS) {
            os_yield();
            continue;
        }
        // No band left for a while: sleep until the next post or the stop.
        // One more look after saying so: a job posted meanwhile has seen the
        // flag, or is seen here.
        idle = 0;
        helper->asleep.store(1, std::memory_order_seq_cst);
        if (!band_left(helpers) && helpers->stop.load(std::memory_order_seq_cst) == 0) {
            os_event_wait(helper->wake, OS_WAIT_FOREVER);
        }
        helper->asleep.store(0, std::memory_order_relaxed);
    }
    helpers->running.fetch_sub(1, std::memory_order_release);  // the last access to the record
    return 0;
}

}  // namespace

uint32_t composite_helpers_start(CompositeHelpers* helpers, CompositeHelpersMode mode,
                                 uint32_t width, uint32_t height) {
    const size_t bytes = bitmap_byte_size(width, height);
    if (mode == HELPERS_NEVER || bytes == 0) return 0;
    const uint32_t cpus = os_usable_cpus();
    if (mode == HELPERS_AUTO && (cpus < 2 || bytes < HELPERS_MIN_PICTURE_BYTES)) return 0;
    uint32_t wanted = cpus > 1 ? cpus - 1 : 1;
    if (wanted > HELPERS_MAX) wanted = HELPERS_MAX;

    helpers->stop.store(0, std::memory_order_relaxed);
    for (uint32_t k = 0; k < wanted; k++) {
        CompositeHelper* helper = &helpers->helpers[k];
        helper->owner = helpers;
        helper->asleep.store(0, std::memory_order_relaxed);
        helper->wake = os_event_create();
        if (!helper->wake) break;
        helpers->running.fetch_add(1, std::memory_order_relaxed);
        if (!os_thread_start_apart(help, helper)) {
            helpers->running.fetch_sub(1, std::memory_order_relaxed);
            os_event_destroy(helper->wake);
            helper->wake = nullptr;
            break;
        }
        helpers->helper_count = k + 1;
    }
    return helpers->helper_count;
}

void composite_helpers_post(CompositeHelpers* helpers, const CompositeJob* job) {
    helpers->job = *job;
    const size_t row_bytes = job->row_bytes ? job->row_bytes : 1;
    helpers->band_rows = row_bytes >= HELPERS_BAND_BYTES ? 1u : uint32_t(HELPERS_BAND_BYTES / row_bytes);
    helpers->bands = (job->height + helpers->band_rows - 1) / helpers->band_rows;
    helpers->next_band.store(0, std::memory_order_relaxed);
    helpers->posted = 1;
    helpers->open.store(1, std::memory_order_seq_cst);  // publishes the job with it
    for (uint32_t k = 0; k < helpers->helper_count; k++) {
        CompositeHelper* helper = &helpers->helpers[k];
        if (helper->asleep.load(std::memory_order_seq_cst) != 0) os_event_set(helper->wake);
    }
}

void composite_helpers_finish(CompositeHelpers* helpers) {
    if (!helpers->posted) return;
    // The bands nobody took yet, here; then the ones in flight.
    while (write_band(helpers)) {
    }
    helpers->open.store(0, std::memory_order_seq_cst);
    while (helpers->inside.load(std::memory_order_seq_cst) != 0) os_yield();
    helpers->posted = 0;
}

void composite_helpers_stop(CompositeHelpers* helpers) {
    composite_helpers_finish(helpers);
    if (helpers->helper_count == 0) return;
    helpers->stop.store(1, std::memory_order_seq_cst);
    for (uint32_t k = 0; k < helpers->helper_count; k++) os_event_set(helpers->helpers[k].wake);
    while (helpers->running.load(std::memory_order_acquire) != 0) os_yield();
    for (uint32_t k = 0; k < helpers->helper_count; k++) {
        os_event_destroy(helpers->helpers[k].wake);
        helpers->helpers[k].wake = nullptr;
    }
    helpers->helper_count = 0;
}
