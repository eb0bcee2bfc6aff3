// GIF's variable-width LZW, decoded into the image's palette indices, one
// byte a pixel.
//
// No string stack, no walk along prefix chains: the output itself holds every
// decoded string. Each dictionary entry is the string that stands at an
// offset of the output (its prefix) followed by one more pixel, so writing a
// code's string is one block copy and one store, and a new entry costs three
// stores. A root is the empty prefix and its index.
//
// The decoder knows of GIF only the sub-block framing of the data.
#pragma once
#include <cstdint>

#include "decode/byte_stream.h"
#include "platform/os.h"

struct LzwEntry {
    uint32_t prefix;      // offset in the output where the prefix string stands
    uint32_t length;      // pixels of the prefix; 0 for a root
    uint32_t last_pixel;  // the pixel after the prefix: a root's index
};

constexpr uint32_t LZW_TABLE_SIZE = 4096;

// Allocated once for the program's life and reused by every image; each
// decode initialises what it uses.
struct LzwTable {
    LzwEntry entries[LZW_TABLE_SIZE];
};

// Decodes one image's data: the LZW minimum code size byte and the data
// sub-blocks, from the stream's position. Writes at most pixel_count pixels,
// in stream order from pixels[0], each its palette index, and the number of
// pixels the data gave into *written. Returns a result code:
//   RESULT_OK             the end code was reached
//   RESULT_SHORT_DATA     the data ended first (block terminator or end of file)
//   RESULT_PIXEL_OVERFLOW a string would pass the last pixel; it is not written
//   RESULT_BAD_DATA       invalid data: a minimum code size above 8 or below 2
//                         that no encoder writes, a first code that is no
//                         literal, or a code beyond the next free one
// After RESULT_OK and RESULT_PIXEL_OVERFLOW the stream stands past the image's
// block terminator; after the others where the data ended or went wrong.
// Pixels written before a failure stay; every pixel not reached is set to 0,
// whatever the buffer held before (strings are copied in blocks of 16 pixels
// where the buffer has room, so the pixels after a string are scratch space
// until the next string or the end). A long image calls poll (may be null)
// about every LZW_POLL_PIXELS pixels of output, between sub-blocks.
constexpr uint32_t LZW_POLL_PIXELS = 1u << 20;
int lzw_decode(ByteStream* stream, LzwTable* table, uint32_t pixel_count, uint8_t* pixels,
               uint32_t* written, const PollHook* poll = nullptr);
