// Result codes of decoding. Every block the parser handles sets the result,
// and the parser returns what the last handled block left; only
// RESULT_LOAD_FAILED makes a load fail.
#pragma once

enum : int {
    RESULT_OK = 0,               // the block (or image data) was complete
    RESULT_SHORT_DATA = 1,       // the data ran out before its end
    RESULT_PIXEL_OVERFLOW = 2,   // image data decodes to more pixels than the image holds
    RESULT_BAD_DATA = 3,         // invalid LZW data, or a cut graphic control extension
    RESULT_BITMAP_FAILED = 4,    // inside the frame image builder only
    RESULT_LOAD_FAILED = 5,      // not a usable GIF; also an image bitmap that cannot be made
};
