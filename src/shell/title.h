// The title-bar status line: file name, frame count or frame on show,
// direction, speed and zoom, in one of three formats:
//   name (1 frame | zoom)                              one frame or none
//   name (N frames | >> | <U+00D7><U+2009>speed | zoom)  playing
//   name (F of N frames | zoom)                        paused with frame F on show
// A file that the memory bound cut short, of M images, has ", M in file"
// after its frames: name (N frames, M in file | ...).
// Texts are UTF-16 (char16_t, the layout of Windows' wchar_t), so the shell
// hands them to SendMessageW(WM_SETTEXT) as they are.
#pragma once
#include <cstddef>
#include <cstdint>

#include "decode/animation.h"
#include "player/player.h"

constexpr size_t TITLE_CAPACITY = 1024;  // units of a title or title_name, terminator included

extern const char16_t* const speed_texts[SPEED_STEPS];  // "16.00" .. "0.0625"
extern const char16_t* const zoom_texts[ZOOM_STEPS];    // "400%" .. "25%"

// Copies the file-name part of path (everything after its last backslash, or
// the whole path when it has none) into title_name, cut to
// TITLE_CAPACITY - 1 units and terminated.
void set_title_name(char16_t* title_name, const char16_t* path);

// Formats the status line of the player's state into title (TITLE_CAPACITY
// units): cut to TITLE_CAPACITY - 1 units and always terminated. The frame
// number is the frame on show while paused (paused_frame). Returns the
// length written, terminator excluded.
size_t format_title(char16_t* title, const char16_t* title_name, const Animation* animation,
                    const Player* player);
