// The Win32 shell's record: everything the program keeps for the life of its
// window, and the names every module of the shell shares. The modules'
// operations are declared in their own headers (main_window.h, load.h,
// commands.h, about_box.h, file_choices.h, handover.h); every function takes the
// records it works on, and the one instance of them lives in main.cpp.
#pragma once
#include <windows.h>

#include <cstdint>

#include "decode/animation.h"
#include "decode/lzw.h"
#include "player/loading_preview.h"
#include "player/player.h"
#include "shell/file_rules.h"
#include "shell/title.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 paths are UTF-16");

constexpr wchar_t MAIN_CLASS_NAME[] = L"ZoetraClass123";
constexpr wchar_t PROGRAM_TITLE[] = L"Zoetra";
constexpr UINT WM_APP_LOAD_COMMAND_LINE = 40000;
// Posted by the hand-over receiver to itself: load handed_over_path.
constexpr UINT WM_APP_LOAD_HANDED_OVER = 40001;
// Posted by a playback thread whose passes ran out (wParam: its run).
constexpr UINT WM_APP_PLAYBACK_ENDED = 40002;

// A drag of the picture with the left button, from its press to its
// release or the loss of the mouse capture.
struct PictureDrag {
    uint32_t active;  // 1 while the window holds the capture for the drag
    int32_t x, y;     // where the cursor was last, in client coordinates
};

// Everything the program keeps for the life of its window.
struct Shell {
    Animation animation;                    // the one decoded file
    Player player;                          // the one player and view
    LzwTable* table;                        // allocated with the window
    wchar_t requested_path[PATH_CAPACITY];  // the path to load next
    wchar_t loaded_path[PATH_CAPACITY];     // the path on show; empty when none
    // The last path handed over whose load has not begun; empty when none.
    // Kept apart from requested_path, which a drop, a key or the open dialog
    // may change before the load runs.
    wchar_t handed_over_path[PATH_CAPACITY];
    uint32_t handover_posted;               // 1 while WM_APP_LOAD_HANDED_OVER waits in the queue
    uint32_t loading;                       // 1 while load_requested_file runs
    uint32_t polled_at;                     // os_tick_count of the last look at the queue in a load
    uint32_t dpi;                           // the dots per inch the window is sized for
    char16_t title_name[TITLE_CAPACITY];    // the file-name part of loaded_path
    // The fullscreen switch: the style of the other mode (at start the
    // fullscreen one, no caption or frame), and the window's rectangle from
    // just before fullscreen.
    LONG_PTR saved_window_style = WS_VISIBLE | WS_CLIPSIBLINGS;
    RECT saved_window_rect;
    LoadingPreview preview;                 // the frames shown while a large file loads
    int32_t wheel_remainder;                // the wheel's turn short of a notch (decide_wheel)
    PictureDrag drag;                       // the left button's drag of the picture
};

inline const char16_t* as_utf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
inline char16_t* as_utf16(wchar_t* text) { return reinterpret_cast<char16_t*>(text); }
