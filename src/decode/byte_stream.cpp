#include "decode/byte_stream.h"

int stream_skip_sub_blocks(ByteStream* stream) {
    // Each sub-block is a size byte (1..255) followed by that many bytes; a
    // size byte of 0 is the block terminator.
    uint8_t size;
    while (stream_read_byte(stream, &size)) {
        if (size == 0) return 1;
        stream->position += size;
    }
    return 0;
}
