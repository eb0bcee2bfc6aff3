// Pictures made ahead, and the helper threads that make them resident.
#include "decode/pictures_ahead.h"

namespace {

AheadSlot* slot_at(PicturesAhead* ahead, uint32_t k) {
    return &ahead->slots[(ahead->first.load(std::memory_order_relaxed) + k) % AHEAD_SLOTS];
}

// Writes to every page of one chunk of the picture. The pictures are zero
// and stay zero: a write, not a read, because a read of a fresh page may map
// a shared zero page and leave the real fault to the decoder's first write.
void touch_chunk(const Bitmap* picture, uint32_t chunk) {
    volatile uint8_t* bytes = reinterpret_cast<volatile uint8_t*>(picture->pixels);
    const size_t size = bitmap_byte_size(picture->width, picture->height);
    size_t offset = size_t(chunk) * AHEAD_CHUNK_BYTES;
    const size_t end = offset + AHEAD_CHUNK_BYTES < size ? offset + AHEAD_CHUNK_BYTES : size;
    for (; offset < end; offset += AHEAD_PAGE_BYTES) bytes[offset] = 0;
}

// Takes the next chunk of the oldest open picture that has one left and
// makes it resident. Returns false when no chunk was left anywhere.
bool touch_next_chunk(PicturesAhead* ahead) {
    const uint32_t first = ahead->first.load(std::memory_order_relaxed);
    for (uint32_t k = 0; k < AHEAD_SLOTS; k++) {
        AheadSlot* slot = &ahead->slots[(first + k) % AHEAD_SLOTS];
        if (slot->state.load(std::memory_order_relaxed) != AHEAD_OPEN) continue;  // a quick look
        // Enter, then look again: the window's thread closes a slot and then
        // waits for the helpers inside, so an open slot seen from inside
        // stays ours to read until we leave.
        slot->inside.fetch_add(1, std::memory_order_seq_cst);
        bool touched = false;
        if (slot->state.load(std::memory_order_seq_cst) == AHEAD_OPEN) {
            uint32_t chunk = slot->next_chunk.fetch_add(1, std::memory_order_relaxed);
            if (chunk < slot->chunks) {
                touch_chunk(&slot->picture, chunk);
                touched = true;
            }
        }
        slot->inside.fetch_sub(1, std::memory_order_release);
        if (touched) return true;
    }
    return false;
}

// A helper: makes the pictures ahead resident, the oldest first, until asked
// to stop.
uint32_t help(void* argument) {
    AheadHelper* helper = static_cast<AheadHelper*>(argument);
    PicturesAhead* ahead = helper->ahead;
    while (ahead->stop.load(std::memory_order_acquire) == 0) {
        // A wake-up set after a scan that found nothing is kept by the event.
        if (!touch_next_chunk(ahead)) os_event_wait(helper->wake, OS_WAIT_FOREVER);
    }
    ahead->running.fetch_sub(1, std::memory_order_release);  // the last access to the record
    return 0;
}

void wake_helpers(PicturesAhead* ahead) {
    for (uint32_t k = 0; k < ahead->helper_count; k++) os_event_set(ahead->helpers[k].wake);
}

void destroy_wake_events(PicturesAhead* ahead) {
    for (AheadHelper& helper : ahead->helpers) {
        if (helper.wake) os_event_destroy(helper.wake);
        helper = AheadHelper{};
    }
    ahead->helper_count = 0;
}

// Takes the picture of a slot back from the helpers: closed, so that no
// helper takes another chunk of it, and once no helper is inside, so that
// every chunk a helper took is written.
Bitmap reclaim(AheadSlot* slot) {
    slot->state.store(AHEAD_CLOSED, std::memory_order_seq_cst);
    while (slot->inside.load(std::memory_order_seq_cst) != 0) os_yield();
    Bitmap picture = slot->picture;
    slot->picture = Bitmap{};
    slot->state.store(AHEAD_EMPTY, std::memory_order_relaxed);
    return picture;
}

}  // namespace

uint32_t pictures_ahead_start(PicturesAhead* ahead, PicturesAheadMode mode, uint32_t width,
                              uint32_t height) {
    const size_t bytes = bitmap_byte_size(width, height);
    if (mode == AHEAD_NEVER || bytes == 0) return 0;
    const uint32_t cpus = os_usable_cpus();
    if (mode == AHEAD_AUTO && (cpus < 2 || bytes < AHEAD_MIN_PICTURE_BYTES)) return 0;
    uint32_t helpers = cpus > 1 ? cpus - 1 : 1;
    if (helpers > AHEAD_HELPERS) helpers = AHEAD_HELPERS;

    ahead->width = width;
    ahead->height = height;
    ahead->stop.store(0, std::memory_order_relaxed);
    for (uint32_t k = 0; k < helpers; k++) {
        AheadHelper* helper = &ahead->helpers[k];
        helper->ahead = ahead;
        helper->wake = os_event_create();
        if (!helper->wake) break;
        ahead->running.fetch_add(1, std::memory_order_relaxed);
        if (!os_thread_start(help, helper)) {
            ahead->running.fetch_sub(1, std::memory_order_relaxed);
            os_event_destroy(helper->wake);
            *helper = AheadHelper{};
            break;
        }
        ahead->helper_count = k + 1;
    }
    if (ahead->helper_count == 0) return 0;
    const uint64_t limit = AHEAD_BYTES / bytes;
    ahead->limit = limit < 1 ? 1 : limit > AHEAD_SLOTS ? AHEAD_SLOTS : uint32_t(limit);
    return ahead->helper_count;
}

void pictures_ahead_fill(PicturesAhead* ahead, uint32_t wanted) {
    if (wanted > ahead->limit) wanted = ahead->limit;
    // Topped up in batches, once half of them are taken: a helper woken for
    // a batch makes several pictures resident before it sleeps again.
    if (ahead->count > 0 && ahead->count >= (wanted + 1) / 2) return;
    bool made = false;
    while (ahead->count < wanted) {
        AheadSlot* slot = slot_at(ahead, ahead->count);
        if (!bitmap_create(&slot->picture, ahead->width, ahead->height)) break;
        const size_t bytes = bitmap_byte_size(ahead->width, ahead->height);
        slot->chunks = uint32_t((bytes + AHEAD_CHUNK_BYTES - 1) / AHEAD_CHUNK_BYTES);
        slot->next_chunk.store(0, std::memory_order_relaxed);
        // Published with the picture and its chunks: a helper that sees the
        // slot open from inside sees them too.
        slot->state.store(AHEAD_OPEN, std::memory_order_seq_cst);
        ahead->count++;
        made = true;
    }
    if (made) wake_helpers(ahead);
}

void pictures_ahead_trim(PicturesAhead* ahead, uint32_t keep) {
    while (ahead->count > keep) {
        Bitmap picture = reclaim(slot_at(ahead, ahead->count - 1));
        bitmap_delete(&picture);
        ahead->count--;
    }
}

int pictures_ahead_take(PicturesAhead* ahead, Bitmap* picture) {
    if (ahead->count == 0) return 0;
    *picture = reclaim(slot_at(ahead, 0));
    ahead->first.store((ahead->first.load(std::memory_order_relaxed) + 1) % AHEAD_SLOTS,
                       std::memory_order_relaxed);
    ahead->count--;
    return 1;
}

void pictures_ahead_stop(PicturesAhead* ahead) {
    if (ahead->helper_count > 0) {
        ahead->stop.store(1, std::memory_order_release);
        wake_helpers(ahead);
        while (ahead->running.load(std::memory_order_acquire) != 0) os_yield();
        destroy_wake_events(ahead);
    }
    pictures_ahead_trim(ahead, 0);
    ahead->limit = 0;
}
