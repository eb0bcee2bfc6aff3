// GIF LZW decoding into palette indices.
//
// The data: one byte m, the minimum code size (the clear code is K = 2^m, the
// end code E = K + 1), then sub-blocks of a size byte and up to 255 bytes.
// Codes are packed lowest bit first across byte and sub-block boundaries,
// m + 1 bits wide at first and one bit wider each time the highest assigned
// code reaches 2^width - 1, up to 12 bits.
//
// Every code's string is written as its entry's prefix, copied from where it
// already stands in the output, and the entry's last pixel. The entry that a
// code adds is the previous code's string (where it was just written) plus
// the first pixel of this one.
#include "decode/lzw.h"

#include <cstring>

#include "decode/result.h"
#include "platform/sse2.h"

namespace {

// The code reader for one image. Sub-blocks are used in place: the whole file
// is in memory, so nothing is copied.
struct LzwBitReader {
    ByteStream* stream;
    const uint8_t* next;       // next byte of the current sub-block
    const uint8_t* block_end;  // one past its last byte
    uint64_t bits;             // bits not yet used, lowest first; none above bit_count
    uint32_t bit_count;
    // The caller's poll (null: none), made at a sub-block once poll_at
    // pixels are written: between sub-blocks, so the loops that write pixels
    // never look at it.
    const PollHook* poll;
    uint8_t* const* out;       // the decoder's output position...
    const uint8_t* pixels;     // ...and its start
    size_t poll_at;
};

// Makes the next sub-block current. Returns 0 at the block terminator, at the
// end of the file, or for a sub-block the file cuts short (never used).
int fetch_sub_block(LzwBitReader* reader) {
    if (reader->poll) {
        const size_t written = size_t(*reader->out - reader->pixels);
        if (written >= reader->poll_at) {
            reader->poll_at = written + LZW_POLL_PIXELS;
            poll_now(reader->poll);
        }
    }
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

// Fills the bit buffer with at least width bits. Returns false when the
// data ends first.
inline bool refill(LzwBitReader* reader, uint32_t width) {
    if (reader->block_end - reader->next >= 8) {
        // Eight bytes at once, as many of them whole as the buffer takes.
        uint64_t word;
        std::memcpy(&word, reader->next, 8);
        uint32_t taken = (63 - reader->bit_count) >> 3;  // 6 or 7
        word &= (uint64_t(1) << (taken * 8)) - 1;
        reader->bits |= word << reader->bit_count;
        reader->next += taken;
        reader->bit_count += taken * 8;
        return true;
    }
    while (reader->bit_count < width) {
        if (reader->next == reader->block_end && !fetch_sub_block(reader)) return false;
        reader->bits |= uint64_t(*reader->next++) << reader->bit_count;
        reader->bit_count += 8;
    }
    return true;
}

// Reads a code of width bits into *code. Returns false when the data ends
// first.
inline bool lzw_read_code(LzwBitReader* reader, uint32_t width, uint32_t* code) {
    if (reader->bit_count < width && !refill(reader, width)) return false;
    *code = uint32_t(reader->bits) & ((1u << width) - 1);
    reader->bits >>= width;
    reader->bit_count -= width;
    return true;
}

// Moves one block of 16 pixels; all of it is read before any of it is
// written.
inline void move_block(uint8_t* to, const uint8_t* from) {
#ifdef ZOETRA_SSE2
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
#else
    uint64_t block[2];
    std::memcpy(block, from, sizeof block);
    std::memcpy(to, block, sizeof block);
#endif
}

// Copies a string of length pixels that stands wholly before `to`. Where the
// buffer has room it moves whole blocks of 16 pixels, so up to 15 pixels after
// the string get scratch values that later strings overwrite. A block may
// read pixels that this copy has just written, but only past the string's
// end: the string's own pixels all lie before `to`.
inline void copy_string(uint8_t* to, const uint8_t* from, uint32_t length, const uint8_t* limit) {
    size_t room = size_t(limit - to);
    if (room >= 16 && length <= 16) {
        move_block(to, from);
        return;
    }
    size_t blocks = (size_t(length) + 15) / 16;
    if (room >= blocks * 16) {
        for (size_t i = 0; i < blocks; i++) move_block(to + i * 16, from + i * 16);
        return;
    }
    for (uint32_t i = 0; i < length; i++) to[i] = from[i];
}

// Ends an image: clears every pixel after the last string (the output may
// be reused memory that holds an earlier image) and, for an image whose
// pixels are decoded (end code, or more data than fits), steps over the
// rest of its sub-blocks up to the terminator, so the next block is read
// from the right place.
int finish_image(ByteStream* stream, uint8_t* pixels, uint8_t* out, const uint8_t* limit,
                 uint32_t* written, int result) {
    *written = uint32_t(out - pixels);
    if (out < limit) std::memset(out, 0, size_t(limit - out));
    if (result == RESULT_OK || result == RESULT_PIXEL_OVERFLOW) stream_skip_sub_blocks(stream);
    return result;
}

}  // namespace

int lzw_decode(ByteStream* stream, LzwTable* table, uint32_t pixel_count, uint8_t* pixels,
               uint32_t* written, const PollHook* poll) {
    uint8_t* out = pixels;                     // where the next string goes
    uint8_t* const limit = pixels + pixel_count;
    auto finish = [&](int result) { return finish_image(stream, pixels, out, limit, written, result); };
    uint8_t min_code_size;
    if (!stream_read_byte(stream, &min_code_size)) return finish(RESULT_SHORT_DATA);
    // Sizes 0 and 1 are not valid GIF data and common decoders disagree on
    // how their code width grows, so no picture of them can be trusted.
    if (min_code_size < 2 || min_code_size > 8) return finish(RESULT_BAD_DATA);

    const uint32_t clear_code = 1u << min_code_size;
    const uint32_t end_code = clear_code + 1;
    LzwEntry* entries = table->entries;
    // The roots: no prefix, their index. Nothing of them refers to the
    // output, so no reset touches them again.
    for (uint32_t i = 0; i < clear_code; i++) entries[i] = LzwEntry{0, 0, i};

    LzwBitReader reader{stream, nullptr, nullptr, 0, 0, poll && poll->call ? poll : nullptr,
                        &out, pixels, LZW_POLL_PIXELS};
    uint32_t width = 0;
    uint32_t grow_at = 0;       // the highest code after which the width grows
    uint32_t highest = 0;       // highest assigned code
    uint32_t previous = 0;      // the previous code's string: its offset...
    uint32_t previous_length = 0;  // ...and its length
    uint32_t code;

    // A clear code (and the image's start): reset, then one literal.
reset:
    width = min_code_size + 1;
    grow_at = (1u << width) - 1;
    highest = end_code;
    do {
        if (!lzw_read_code(&reader, width, &code)) return finish(RESULT_SHORT_DATA);
    } while (code == clear_code);
    if (code == end_code) return finish(RESULT_OK);
    // After a reset only a root can come: anything else names no string (a
    // stray code between E + 1 and 255 included).
    if (code > end_code) return finish(RESULT_BAD_DATA);
    if (out == limit) return finish(RESULT_PIXEL_OVERFLOW);
    *out = uint8_t(entries[code].last_pixel);
    previous = uint32_t(out - pixels);
    previous_length = 1;
    out++;

    for (;;) {
        if (!lzw_read_code(&reader, width, &code)) return finish(RESULT_SHORT_DATA);

        LzwEntry entry;
        if (code <= highest) {
            if (code - clear_code < 2) {
                if (code == clear_code) goto reset;
                return finish(RESULT_OK);
            }
            entry = entries[code];
        } else {
            // The code being defined: the previous string plus its own first
            // pixel. A code further ahead is not LZW data.
            if (code != highest + 1) return finish(RESULT_BAD_DATA);
            entry = LzwEntry{previous, previous_length, pixels[previous]};
        }

        const uint32_t length = entry.length + 1;
        if (uint32_t(limit - out) < length) {
            return finish(RESULT_PIXEL_OVERFLOW);
        }
        copy_string(out, pixels + entry.prefix, entry.length, limit);
        out[entry.length] = uint8_t(entry.last_pixel);

        if (highest < LZW_TABLE_SIZE - 1) {
            highest++;
            entries[highest] = LzwEntry{previous, previous_length, out[0]};
            if (highest == grow_at && width < 12) {
                width++;
                grow_at = (1u << width) - 1;
            }
        }
        previous = uint32_t(out - pixels);
        previous_length = length;
        out += length;
    }
}
