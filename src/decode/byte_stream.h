// The whole GIF file in memory with a read position. Every read advances the
// position, a failed one too, so once a read has run past the end every later
// read fails as well: callers check once per block, not per byte.
#pragma once
#include <cstddef>
#include <cstdint>

struct ByteStream {
    const uint8_t* data;
    size_t position;   // next byte to read; may pass size
    size_t size;
};

// Copies count bytes to destination and returns 1, or copies nothing and
// returns 0 when fewer than count bytes are left. position grows by count in
// both cases.
inline int stream_read(ByteStream* stream, void* destination, size_t count);

// Reads one byte into *byte (0 when the read fails); returns 1 or 0.
inline int stream_read_byte(ByteStream* stream, uint8_t* byte) {
    size_t p = stream->position++;
    if (p >= stream->size) {
        *byte = 0;
        return 0;
    }
    *byte = stream->data[p];
    return 1;
}

// The little-endian 16-bit number in bytes[0] and bytes[1], as GIF stores
// every size, offset and count.
inline uint32_t read_u16(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8;
}

// Steps over data sub-blocks by their size bytes up to and including the
// zero-size block terminator. Returns 1 when the terminator lies inside the
// file, 0 when the file ends first.
int stream_skip_sub_blocks(ByteStream* stream);

#include <cstring>

inline int stream_read(ByteStream* stream, void* destination, size_t count) {
    size_t p = stream->position;
    stream->position = p + count;
    if (p > stream->size || count > stream->size - p) return 0;
    if (count) std::memcpy(destination, stream->data + p, count);
    return 1;
}
