// The frame store's blocks, palettes, bookkeeping and the change format.
#include "decode/frame_store.h"

#include <cstdlib>
#include <cstring>

#include "platform/surface.h"

void* store_allocate(uint64_t* stored_bytes, size_t bytes) {
    void* block = std::malloc(bytes ? bytes : 1);
    if (block) *stored_bytes += store_block_cost(bytes);
    return block;
}

// ---- Palettes -------------------------------------------------------------------

uint64_t palette_hash(const uint32_t* colours) {
    // FNV-1a over the words: palettes differ in a few entries at most, and
    // each entry moves the whole hash.
    uint64_t hash = 0xCBF29CE484222325ull;
    for (uint32_t k = 0; k < PALETTE_SIZE; k++) hash = (hash ^ colours[k]) * 0x100000001B3ull;
    return hash;
}

namespace {

bool grow_index(PaletteIndex* index) {
    const uint32_t capacity = index->capacity ? index->capacity * 2 : 64;
    auto* slots = static_cast<const StoredPalette**>(std::calloc(capacity, sizeof(StoredPalette*)));
    if (!slots) return false;
    for (uint32_t k = 0; k < index->capacity; k++) {
        const StoredPalette* palette = index->slots[k];
        if (!palette) continue;
        uint32_t at = uint32_t(palette->hash) & (capacity - 1);
        while (slots[at]) at = (at + 1) & (capacity - 1);
        slots[at] = palette;
    }
    std::free(index->slots);
    index->slots = slots;
    index->capacity = capacity;
    return true;
}

}  // namespace

const uint32_t* store_palette(Animation* animation, PaletteIndex* index, const uint32_t* colours) {
    const uint64_t hash = palette_hash(colours);
    if (index->count * 2 >= index->capacity && !grow_index(index)) return nullptr;
    uint32_t at = uint32_t(hash) & (index->capacity - 1);
    for (; index->slots[at]; at = (at + 1) & (index->capacity - 1)) {
        const StoredPalette* kept = index->slots[at];
        if (kept->hash == hash && std::memcmp(kept->colours, colours, sizeof kept->colours) == 0) {
            return kept->colours;
        }
    }
    auto* palette = static_cast<StoredPalette*>(
        store_allocate(&animation->stored_bytes, sizeof(StoredPalette)));
    if (!palette) return nullptr;
    palette->hash = hash;
    std::memcpy(palette->colours, colours, sizeof palette->colours);
    palette->next = animation->palettes;
    animation->palettes = palette;
    index->slots[at] = palette;
    index->count++;
    return palette->colours;
}

void palette_index_release(PaletteIndex* index) {
    std::free(index->slots);
    *index = PaletteIndex{};
}

// ---- Key frames and changes -----------------------------------------------------

namespace {

// A block for a frame's data: the one made ahead where the data is large,
// else a new one. *warm says which.
void* frame_block(Animation* animation, StoreRun* run, size_t bytes, uint32_t* warm) {
    StoreAhead* ahead = &run->ahead;
    *warm = 0;
    if (!ahead->block || !ahead->ready || bytes > ahead->capacity || bytes < STORE_AHEAD_MIN_BYTES ||
        bytes < ahead->capacity / 4) {
        return store_allocate(&animation->stored_bytes, bytes);
    }
    // Shrunk in place (the pages it gives up go back; those kept stay written).
    void* block = bytes < ahead->capacity ? std::realloc(ahead->block, bytes) : ahead->block;
    if (!block) {
        block = ahead->block;
        bytes = ahead->capacity;
    }
    *ahead = StoreAhead{};
    animation->stored_bytes += store_block_cost(bytes);
    *warm = 1;
    return block;
}

}  // namespace

void store_ahead_release(StoreRun* run) {
    std::free(run->ahead.block);
    run->ahead = StoreAhead{};
}

bool store_keeps_change(const StoreRun* run, uint32_t index, uint64_t change_bytes,
                        uint64_t change_pixels, uint64_t picture_bytes, uint64_t canvas_pixels) {
    return index > 0 && change_bytes < picture_bytes &&
           run->since_key + change_pixels <= canvas_pixels;
}

void* store_key_frame(Animation* animation, StoreRun* run, uint32_t index, size_t bytes,
                      const uint32_t* palette, uint32_t* warm) {
    void* block = frame_block(animation, run, bytes, warm);
    if (!block) return nullptr;
    Frame* frame = &animation->frames[index];
    frame->stored = block;
    frame->palette = palette;
    frame->key = index;
    frame->cost = 0;
    run->key = index;
    run->since_key = 0;
    return block;
}

int store_change(Animation* animation, StoreRun* run, uint32_t index, const void* change,
                 size_t bytes, uint64_t pixels, const uint32_t* palette) {
    uint32_t warm;
    void* block = frame_block(animation, run, bytes, &warm);
    if (!block) return 0;
    std::memcpy(block, change, bytes);
    run->since_key += pixels;
    Frame* frame = &animation->frames[index];
    frame->stored = block;
    frame->palette = palette;
    frame->key = run->key;
    frame->cost = uint32_t(run->since_key);
    return 1;
}

// ---- The change format ----------------------------------------------------------

namespace {

size_t padded(size_t bytes) { return (bytes + 3) & ~size_t(3); }

// Walks a change: for each run, calls write(row start offset in pixels, x,
// pixels of the run, length); returns the pixels of all runs.
template <typename Write>
uint64_t walk_change(const uint8_t* change, uint32_t width, uint32_t pixel_bytes, Write write) {
    const uint32_t* word = reinterpret_cast<const uint32_t*>(change);
    uint32_t rows = *word++;
    uint64_t written = 0;
    for (; rows > 0; rows--) {
        const uint32_t y = *word & 0xFFFFu, run_count = *word >> 16;
        word++;
        const uint32_t* runs = word;
        const uint8_t* from = reinterpret_cast<const uint8_t*>(word + run_count);
        size_t row_bytes = 0;
        for (uint32_t k = 0; k < run_count; k++) {
            const uint32_t x = runs[k] & 0xFFFFu, length = runs[k] >> 16;
            write(size_t(y) * width + x, from + row_bytes, length);
            row_bytes += size_t(length) * pixel_bytes;
            written += length;
        }
        word = reinterpret_cast<const uint32_t*>(from + padded(row_bytes));
    }
    return written;
}

}  // namespace

size_t change_bound_bytes(uint32_t width, uint32_t height, uint32_t pixel_bytes) {
    // The rows word; per row its header, one run and the run's pixels,
    // padded to a word.
    return 4 + size_t(height) * (8 + padded(size_t(width) * pixel_bytes));
}

uint64_t change_apply(const uint8_t* change, uint32_t* picture, uint32_t width,
                      const uint32_t* palette) {
    if (palette) {
        return walk_change(change, width, 1, [&](size_t at, const uint8_t* from, uint32_t length) {
            pixels_expand(picture + at, from, length, palette);
        });
    }
    return walk_change(change, width, 4, [&](size_t at, const uint8_t* from, uint32_t length) {
        std::memcpy(picture + at, from, size_t(length) * 4);
    });
}

void change_begin(ChangeWriter* writer, void* room, uint32_t pixel_bytes) {
    writer->start = static_cast<uint32_t*>(room);
    writer->next = reinterpret_cast<uint8_t*>(writer->start + 1);
    writer->pixels = 0;
    writer->pixel_bytes = pixel_bytes;
    *writer->start = 0;
}

void change_add_row(ChangeWriter* writer, uint32_t y, const uint32_t* runs, uint32_t run_count,
                    const void* row) {
    if (run_count == 0) return;
    uint32_t* word = reinterpret_cast<uint32_t*>(writer->next);
    *word++ = y | run_count << 16;
    std::memcpy(word, runs, size_t(run_count) * 4);
    uint8_t* to = reinterpret_cast<uint8_t*>(word + run_count);
    const uint8_t* from = static_cast<const uint8_t*>(row);
    const uint32_t bytes = writer->pixel_bytes;
    size_t row_bytes = 0;
    for (uint32_t k = 0; k < run_count; k++) {
        const uint32_t x = runs[k] & 0xFFFFu, length = runs[k] >> 16;
        std::memcpy(to + row_bytes, from + size_t(x) * bytes, size_t(length) * bytes);
        row_bytes += size_t(length) * bytes;
        writer->pixels += length;
    }
    // The padding is written too, so every byte of a change is defined.
    const size_t end = padded(row_bytes);
    if (end > row_bytes) std::memset(to + row_bytes, 0, end - row_bytes);
    writer->next = to + end;
    ++*writer->start;
}

size_t change_bytes(const ChangeWriter* writer) {
    return size_t(writer->next - reinterpret_cast<uint8_t*>(writer->start));
}
