// A second, independent GIF decoder for the tests, built on giflib. It
// composites with the same rules as the player (canvas cleared to a given
// colour, disposal 2 and 3, transparent index, clipping at the canvas edges,
// palette local, else global, else a grey ramp) so that its finished frames
// can be compared pixel for pixel with the player's decoder.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ReferenceFrame {
    std::vector<uint32_t> pixels;  // canvas width x height, 0x00RRGGBB, rows top-down
    uint32_t delay_ms;             // graphic control delay x 10, then normalised
    uint32_t disposal;             // 0..7
};

struct ReferenceAnimation {
    uint32_t width;
    uint32_t height;
    uint32_t loop_count;           // the last NETSCAPE loop count in the file, else 0
    std::vector<ReferenceFrame> frames;
};

// Decodes data with giflib and composites every frame onto a canvas cleared
// to background (0x00RRGGBB). Returns 1, or 0 with *error set when giflib
// refuses the file.
int reference_decode(const uint8_t* data, size_t size, uint32_t background,
                     ReferenceAnimation* animation, std::string* error);

// The player's delay rule: when n > 0 frames have delays adding up to less
// than a second and to less than 15 ms a frame, every delay becomes 100 ms.
void reference_normalise_delays(std::vector<ReferenceFrame>* frames);
