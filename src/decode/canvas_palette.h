// The canvas's palette: the slots its pixels are (compositor.h), the
// colours each frame draws mapped to them, and the canvas made wide (32-bit
// colours) where they do not fit, and narrow again.
//
// Slots. The compositor compares a frame's rows with the canvas's slot by
// slot, so a slot keeps its colour while the canvas, or the pixels saved
// for a pending restore, may show it; only slots that neither does are
// given new colours. Equal colours in two slots are allowed (a file's table
// may repeat a colour): a pixel moved from one to the other is counted as a
// change, which costs a little room and shows the same picture.
#pragma once
#include <cstddef>
#include <cstdint>

#include "decode/compositor.h"
#include "decode/frame_image.h"

// The colours a frame draws.
struct FrameColours {
    uint8_t used[PALETTE_SIZE];  // the image's indices drawn opaque on the canvas, or more
    bool black;                  // pixels the data did not reach, drawn black
    bool background;             // the pending clear, or the clear canvas of frame 0
    bool counted;                // used holds exactly the indices drawn
};

// The slot that holds colour, or -1.
int find_slot(const CanvasPalette* palette, uint32_t colour);

// The slot of colour: preferred where it holds that colour, else the slot in
// use that holds it, else a free one (one that holds the colour still, from
// an earlier frame, first); -1 when none is free.
int take_slot(CanvasPalette* palette, uint32_t colour, int preferred = -1);

// No slot in use.
void clear_palette(CanvasPalette* palette);

// The palette of these colours, the slots of in_use in use (an image that
// the canvas takes over as it is).
void adopt_palette(CanvasPalette* palette, const uint32_t* colours, const uint8_t* in_use);

// What the frame draws of its image in drawn: at first (count false) every
// opaque index of its palette; with count, exactly the indices its drawn
// pixels use.
void colours_drawn(const CompositingContext* context, const Frame* frame, const FrameImage* image,
                   const CanvasRect& drawn, uint32_t index, bool count, FrameColours* colours);

// Maps the frame's colours to slots: map[i] for each index it draws, and the
// slots of black and of the background where it draws them (see the
// comment at its definition for the ways it tries). False when the palette
// cannot hold them beside the canvas's colours: the frame is drawn wide.
bool map_colours(CompositingContext* context, const FrameImage* image, FrameColours* colours,
                 const Frame* frame, const CanvasRect& drawn, uint32_t index, uint8_t* map,
                 uint8_t* black, uint8_t* background);

// Whether map sends every index the frame draws to itself.
bool is_identity(const FrameColours* colours, const uint8_t* map);

// Makes the canvas (and the pending restore's pixels) 32-bit colours.
// Returns false without memory, the canvas as it was.
bool widen(CompositingContext* context);

// Makes a wide canvas narrow again when its colours and those of the pending
// restore fit in 256 slots. Returns false (the canvas stays wide) when they
// do not, or without memory.
bool narrow(CompositingContext* context);

// Rewrites a change of 32-bit pixels in place as one of slots of palette
// (its colours, from slot 0), when they fit in 256. Returns its new size,
// or 0 (unchanged).
size_t narrow_change(uint8_t* change, CanvasPalette* palette);
