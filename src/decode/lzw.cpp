// GIF LZW decoding into 32-bit colours.
//
// The data: one byte m, the minimum code size (the clear code is K = 2^m, the
// end code E = K + 1), then sub-blocks of a size byte and up to 255 bytes.
// Codes are packed lowest bit first across byte and sub-block boundaries,
// m + 1 bits wide at first and one bit wider each time the highest assigned
// code reaches 2^width - 1, up to 12 bits.
#include "decode/lzw.h"

#include <cstring>

#include "decode/result.h"

namespace {

// The code reader for one image. Sub-blocks are used in place: the whole file
// is in memory, so nothing is copied.
struct LzwBitReader {
    ByteStream* stream;
    const uint8_t* next;       // next byte of the current sub-block
    const uint8_t* block_end;  // one past its last byte
    uint64_t bits;             // bits not yet used, lowest first
    uint32_t bit_count;
};

// Makes the next sub-block current. Returns 0 at the block terminator, at the
// end of the file, or for a sub-block the file cuts short (never used).
int fetch_sub_block(LzwBitReader* reader) {
    ByteStream* stream = reader->stream;
    uint8_t size;
    if (!stream_read_byte(stream, &size) || size == 0) return 0;
    size_t start = stream->position;
    stream->position += size;
    if (start > stream->size || size > stream->size - start) return 0;
    reader->next = stream->data + start;
    reader->block_end = reader->next + size;
    return 1;
}

// Reads a code of width bits into *code. Returns 0, or 1 when the data ends
// first.
inline int lzw_read_code(LzwBitReader* reader, uint32_t width, uint32_t* code) {
    while (reader->bit_count < width) {
        if (reader->next == reader->block_end && !fetch_sub_block(reader)) return 1;
        reader->bits |= uint64_t(*reader->next++) << reader->bit_count;
        reader->bit_count += 8;
    }
    *code = uint32_t(reader->bits) & ((1u << width) - 1);
    reader->bits >>= width;
    reader->bit_count -= width;
    return 0;
}

// Copies a string of length pixels; strings are mostly short, where a loop
// beats a call.
inline void copy_string(uint32_t* to, const uint32_t* from, uint32_t length) {
    if (length <= 8) {
        for (uint32_t i = 0; i < length; i++) to[i] = from[i];
    } else {
        std::memcpy(to, from, size_t(length) * 4u);
    }
}

// Ends an image whose pixels are decoded (end code, or more data than fits):
// the rest of its sub-blocks up to the terminator are stepped over, so the
// next block is read from the right place.
int finish_image(ByteStream* stream, int result) {
    stream_skip_sub_blocks(stream);
    return result;
}

}  // namespace

int lzw_decode(ByteStream* stream, const uint32_t* palette, LzwTable* table,
               uint32_t pixel_count, uint32_t* pixels) {
    uint8_t min_code_size;
    if (!stream_read_byte(stream, &min_code_size)) return RESULT_SHORT_DATA;
    // Sizes 0 and 1 are not valid GIF data and common decoders disagree on
    // how their code width grows, so no picture of them can be trusted.
    if (min_code_size < 2 || min_code_size > 8) return RESULT_BAD_DATA;

    const uint32_t clear_code = 1u << min_code_size;
    const uint32_t end_code = clear_code + 1;
    LzwEntry* entries = table->entries;
    // The roots forget where an earlier image wrote them: data may start
    // without a clear code.
    for (uint32_t i = 0; i < clear_code; i++) {
        entries[i].pixels = nullptr;
        entries[i].length = 1;
        entries[i].last_pixel = palette[i];
    }
    entries[clear_code].length = 1;
    entries[end_code].length = 1;

    LzwBitReader reader{stream, nullptr, nullptr, 0, 0};
    uint32_t* out = pixels;                     // where the next string goes
    uint32_t* const limit = pixels + pixel_count;
    uint32_t width = min_code_size + 1;
    uint32_t highest = end_code;                // highest assigned code
    uint32_t previous = 0;
    bool expect_literal = true;

    for (;;) {
        uint32_t code;
        if (lzw_read_code(&reader, width, &code)) return RESULT_SHORT_DATA;

        if (code == clear_code) {
            width = min_code_size + 1;
            highest = end_code;
            expect_literal = true;
            // Entries above the end code are written before they are read
            // again; only the roots keep a place from before the reset.
            for (uint32_t i = 0; i < clear_code; i++) entries[i].pixels = nullptr;
            continue;
        }
        if (code == end_code) return finish_image(stream, RESULT_OK);

        if (expect_literal) {
            // After a reset only a root can come: anything else names no
            // string (a stray code between E + 1 and 255 included).
            if (code > end_code) return RESULT_BAD_DATA;
            if (out == limit) return finish_image(stream, RESULT_PIXEL_OVERFLOW);
            *out = entries[code].last_pixel;
            entries[code].pixels = out;
            out++;
            previous = code;
            expect_literal = false;
            continue;
        }

        const LzwEntry& prior = entries[previous];
        uint32_t length;
        if (code > highest) {
            // The code being defined: the previous string plus its own first
            // pixel. A code further ahead is not LZW data.
            if (code != highest + 1) return RESULT_BAD_DATA;
            length = prior.length + 1;
            if (uint32_t(limit - out) < length) return finish_image(stream, RESULT_PIXEL_OVERFLOW);
            copy_string(out, prior.pixels, prior.length);
            out[prior.length] = prior.pixels[0];
            if (highest < LZW_TABLE_SIZE - 1) {
                highest++;
                entries[highest].pixels = out;
                entries[highest].length = length;
            }
        } else {
            LzwEntry& entry = entries[code];
            if (entry.pixels) {
                length = entry.length;
                if (uint32_t(limit - out) < length) return finish_image(stream, RESULT_PIXEL_OVERFLOW);
                copy_string(out, entry.pixels, length);
            } else {
                // A root not used since the reset, or a pending entry: its
                // first use writes it out and records where.
                length = entry.length + (code > end_code ? 1 : 0);
                if (uint32_t(limit - out) < length) return finish_image(stream, RESULT_PIXEL_OVERFLOW);
                if (code > end_code) copy_string(out, entry.prefix, entry.length);
                out[length - 1] = entry.last_pixel;
                entry.pixels = out;
                entry.length = length;
            }
            if (highest < LZW_TABLE_SIZE - 1) {
                highest++;
                LzwEntry& added = entries[highest];
                added.pixels = nullptr;  // pending until its first use
                added.length = prior.length;
                added.prefix = prior.pixels;
                added.last_pixel = out[0];
            }
        }
        out += length;
        if (highest == (1u << width) - 1 && width < 12) width++;
        previous = code;
    }
}
