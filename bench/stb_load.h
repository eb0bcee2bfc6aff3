// stb_image's GIF loader, timed beside the comparison loads.
#pragma once
#include <cstddef>
#include <cstdint>

// stb_image's own loader (it composites by itself). Returns 1 with the frame
// count and size, or 0 when it refuses the file. It may crash on some files:
// run it isolated.
int stb_load(const uint8_t* data, size_t size, uint32_t* frames, uint32_t* width,
             uint32_t* height);
