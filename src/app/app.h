// The Win32 shell: the program's process-wide records and the operations of
// the main window, the file choices and start-up. Every function takes the
// records it works on; the one instance of them lives in main.cpp.
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
};

inline const char16_t* as_utf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
inline char16_t* as_utf16(wchar_t* text) { return reinterpret_cast<char16_t*>(text); }

// ---- Main window (main_window.cpp) -----------------------------------------

// Registers the main window class for shell; returns its atom, 0 on failure.
ATOM register_main_class(HINSTANCE instance, Shell* shell);

// Loads requested_path into the window: the same path only raises the window
// and resumes a paused animation; another path replaces the animation on show,
// or clears the window (title "Zoetra", both paths emptied) when it cannot be
// used. While it runs, the window answers the messages other threads and
// programs send, by the rules of a load (main_window_proc).
void load_requested_file(HWND window, Shell* shell);

// Brings the window to the front, or restores it when it is minimised.
void raise_window(HWND window);

// The dots per inch of the monitor the window is on (GetDpiForWindow where
// the system has it, else the screen's LOGPIXELSX).
UINT window_dpi(HWND window);

// Writes the status line; path (or null to keep the name) and the frame
// number (0 for none, else 1-based).
LRESULT update_title(HWND window, const wchar_t* path, Shell* shell, uint32_t frame_number);

// ---- Commands, context menu and fullscreen (commands.cpp) --------------------

// WM_KEYDOWN: carries out the command of the virtual-key code and refreshes
// the title. Nothing acts while Ctrl, Shift or a Windows key is held.
void handle_command_key(HWND window, WPARAM key, Shell* shell);

// The context menu, built from the current state; its choice comes back to
// the window as WM_KEYDOWN with the item's key code. (x, y) is the menu's
// top-left corner in client coordinates, or negative to centre it on the
// window.
void show_context_menu(HWND window, int x, int y, Shell* shell);

// Where a popup menu of window opens: at the client point (x, y), or centred
// over the window when x or y is negative (the context-menu key). Stores the
// screen point in *at and returns the TrackPopupMenuEx alignment flags.
UINT popup_menu_position(HWND window, int x, int y, POINT* at);

// Switches between the window with its caption and frame and a borderless
// window over the whole primary screen with black bars.
void toggle_fullscreen(HWND window, Shell* shell);

// The decoder's progress hook (DecodeTarget.show_progress) for large files;
// context is the Shell.
void show_progress_in_window(void* context, Animation* animation, uint32_t index);

// ---- About box (about_box.cpp) -------------------------------------------------

// The modal About box over owner; returns when it is closed.
void show_about_box(HWND owner);

// ---- File choices (file_choices.cpp) ---------------------------------------

// The first command-line argument as a full path to an existing .gif file that
// is no folder, into destination (PATH_CAPACITY units). Returns 1 or 0.
int take_command_line_path(wchar_t* destination);

// Tests path as a file to open: a full path (with a backslash) to an existing
// file, no folder, with the .gif suffix.
bool is_openable_path(const wchar_t* path);

// The first file of a drop into requested; always finishes the drop.
int take_dropped_path(HDROP drop, wchar_t* requested);

// The open dialog, starting at requested; the choice goes into requested.
int choose_file_dialog(HWND owner, wchar_t* requested);

// Lists the folder of requested and finds the entries around its file name.
// Returns the neighbour flags; walk holds the names.
uint32_t find_folder_neighbours(const wchar_t* requested, NeighbourWalk* walk);

// Puts the previous (direction 0) or next (2) file of the folder into
// requested. Returns the neighbour flags, or 0 with requested unchanged.
uint32_t step_to_neighbour(wchar_t* requested, uint32_t direction);

// ---- Single-instance hand-over (handover.cpp) --------------------------------

// A second start's side: sends the command-line file to the running window.
// Returns 1 when it acknowledged.
int hand_over_to_running_instance();

// The running window's side of WM_COPYDATA; returns the answer at once, also
// during a load. An accepted path is kept in handed_over_path and loaded
// later, on WM_APP_LOAD_HANDED_OVER, so the sender does not wait for the
// decode; the file on show handed over again raises the window at once.
LRESULT receive_handover(HWND window, WPARAM wparam, const COPYDATASTRUCT* data, Shell* shell);

// Posts WM_APP_LOAD_HANDED_OVER for handed_over_path; when the queue is
// full, loads it now, or (during a load) leaves it to the load's end.
void post_handed_over_load(HWND window, Shell* shell);

// WM_APP_LOAD_HANDED_OVER: loads the last path handed over since the
// message was posted.
void load_handed_over_file(HWND window, Shell* shell);
