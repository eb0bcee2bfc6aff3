// stb_image, built only for its GIF loader.
#include "stb_load.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#include <stb/stb_image.h>

int stb_load(const uint8_t* data, size_t size, uint32_t* frames, uint32_t* width,
             uint32_t* height) {
    int* delays = nullptr;
    int x = 0, y = 0, z = 0, components = 0;
    stbi_uc* pixels = stbi_load_gif_from_memory(data, int(size), &delays, &x, &y, &z,
                                                &components, 4);
    if (!pixels) return 0;
    *frames = uint32_t(z);
    *width = uint32_t(x);
    *height = uint32_t(y);
    stbi_image_free(pixels);
    STBI_FREE(delays);
    return 1;
}
