// The frame store's blocks and the change format.
#include "decode/frame_store.h"

#include <cstdlib>

#include "platform/surface.h"

void* store_allocate(uint64_t* stored_bytes, size_t bytes) {
    void* block = std::malloc(bytes ? bytes : 1);
    if (block) *stored_bytes += store_block_cost(bytes);
    return block;
}

size_t change_bound_bytes(uint32_t width, uint32_t height) {
    // The rows word; per row its header, one run and the run's pixels.
    return 4 + size_t(height) * (8 + size_t(width) * 4);
}

uint64_t change_apply(const uint8_t* change, uint32_t* pixels, uint32_t width) {
    const uint32_t* word = reinterpret_cast<const uint32_t*>(change);
    uint32_t rows = *word++;
    uint64_t written = 0;
    for (; rows > 0; rows--) {
        const uint32_t y = *word & 0xFFFFu, run_count = *word >> 16;
        word++;
        const uint32_t* runs = word;
        const uint32_t* from = word + run_count;
        uint32_t* row = pixels + size_t(y) * width;
        for (uint32_t k = 0; k < run_count; k++) {
            const uint32_t x = runs[k] & 0xFFFFu, length = runs[k] >> 16;
            pixels_copy(row + x, from, length);
            from += length;
            written += length;
        }
        word = from;
    }
    return written;
}

void change_begin(ChangeWriter* writer, void* room) {
    writer->start = static_cast<uint32_t*>(room);
    writer->next = writer->start + 1;
    writer->pixels = 0;
    *writer->start = 0;
}

void change_add_row(ChangeWriter* writer, uint32_t y, const uint32_t* runs, uint32_t run_count,
                    const uint32_t* row) {
    if (run_count == 0) return;
    uint32_t* word = writer->next;
    *word++ = y | run_count << 16;
    for (uint32_t k = 0; k < run_count; k++) *word++ = runs[k];
    for (uint32_t k = 0; k < run_count; k++) {
        const uint32_t x = runs[k] & 0xFFFFu, length = runs[k] >> 16;
        pixels_copy(word, row + x, length);
        word += length;
        writer->pixels += length;
    }
    writer->next = word;
    ++*writer->start;
}

size_t change_bytes(const ChangeWriter* writer) {
    return size_t(writer->next - writer->start) * 4u;
}
