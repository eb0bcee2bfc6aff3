// giflib's input function over bytes already in memory, for DGifOpen:
//   GiflibMemory memory{data, size, 0};
//   DGifOpen(&memory, giflib_read_memory, &error);
#pragma once
#include <gif_lib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

struct GiflibMemory {
    const uint8_t* data;
    size_t size;
    size_t position;
};

// Copies up to count bytes from the reader's position; fewer at the end.
inline int giflib_read_memory(GifFileType* gif, GifByteType* destination, int count) {
    GiflibMemory* memory = static_cast<GiflibMemory*>(gif->UserData);
    size_t left = memory->size - memory->position;
    size_t n = count < 0 ? 0 : size_t(count);
    if (n > left) n = left;
    if (n) std::memcpy(destination, memory->data + memory->position, n);
    memory->position += n;
    return int(n);
}
