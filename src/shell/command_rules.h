// The command keys and the context menu, decided from a plain snapshot of the
// player: which keys act in which state, which items the menu shows, with
// which texts, and which of them are greyed. The shell carries the decisions
// out.
//
// Commands are identified by Windows virtual-key codes; the menu's item
// identifiers are the same numbers, so a menu choice comes back as a key.
#pragma once
#include <cstddef>
#include <cstdint>

#include "player/player.h"

constexpr uint32_t KEY_ESCAPE = 27;       // leave fullscreen
constexpr uint32_t KEY_SPACE = 32;        // play or pause, as P
constexpr uint32_t KEY_END = 35;          // stop on the last frame
constexpr uint32_t KEY_HOME = 36;         // stop on the first frame
constexpr uint32_t KEY_LEFT = 37;         // previous file of the folder
constexpr uint32_t KEY_UP = 38;           // faster
constexpr uint32_t KEY_RIGHT = 39;        // next file of the folder
constexpr uint32_t KEY_DOWN = 40;         // slower
constexpr uint32_t KEY_N = 78;            // next frame
constexpr uint32_t KEY_O = 79;            // open a file
constexpr uint32_t KEY_P = 80;            // play or pause
constexpr uint32_t KEY_R = 82;            // reverse the direction
constexpr uint32_t KEY_S = 83;            // stop and rewind
constexpr uint32_t KEY_V = 86;            // previous frame
constexpr uint32_t KEY_X = 88;            // exit
constexpr uint32_t KEY_MENU = 93;         // the context-menu key: show the menu
constexpr uint32_t KEY_F1 = 112;          // About box
constexpr uint32_t KEY_F11 = 122;         // fullscreen on or off
constexpr uint32_t KEY_ZOOM_IN = 187;     // the key with = and +
constexpr uint32_t KEY_ZOOM_OUT = 189;    // the key with - and _

// What a key press asks the shell to do.
enum CommandAction : uint32_t {
    COMMAND_NONE = 0,
    COMMAND_SHOW_MENU,          // the context menu, centred on the window
    COMMAND_OPEN_FILE,          // the open dialog, then the load
    COMMAND_ABOUT,              // the modal About box
    COMMAND_TOGGLE_FULLSCREEN,  // F11, and Esc while fullscreen
    COMMAND_EXIT,               // close the window
    COMMAND_PREVIOUS_FILE,      // step in the folder, then the load
    COMMAND_NEXT_FILE,
    COMMAND_ZOOM_IN,            // zoom, then the title
    COMMAND_ZOOM_OUT,
    COMMAND_FASTER,             // while playing: speed, then the title
    COMMAND_SLOWER,
    COMMAND_REFRESH_TITLE,      // N or V while playing: only the title (frame number 0)
    COMMAND_NEXT_FRAME,         // while paused: step, repaint, title with the frame
    COMMAND_PREVIOUS_FRAME,
    COMMAND_FIRST_FRAME,        // Home: stop on frame 0, repaint, title with the frame
    COMMAND_LAST_FRAME,         // End: stop on the last frame
    COMMAND_PLAY_PAUSE,
    COMMAND_REVERSE,
    COMMAND_REWIND,
};

// The modifier keys held, as bits of CommandState.modifiers.
constexpr uint32_t MODIFIER_CTRL = 0x1;
constexpr uint32_t MODIFIER_SHIFT = 0x2;
constexpr uint32_t MODIFIER_WINDOWS = 0x4;  // either Windows key

// What the decision reads.
struct CommandState {
    uint32_t frame_count = 0;  // 0: no file loaded
    uint32_t playing = 0;      // 1 while a playback thread runs
    uint32_t fullscreen = 0;   // 1 while fullscreen
    uint32_t modifiers = 0;    // MODIFIER_* bits of the keys held
};

// The command for key in state. While a modifier is held no key acts (menu
// choices and the double click arrive as keys too). With no file only the
// menu key, O, F1, F11, Esc (in fullscreen) and X act; one frame adds the
// file steps and zoom; the playback commands need two frames, and speed
// only acts while playing.
CommandAction decide_command(uint32_t key, const CommandState* state);

constexpr int32_t WHEEL_NOTCH = 120;  // WHEEL_DELTA: one notch of the wheel

// The zoom steps a wheel message of delta asks for in state: one a notch,
// positive (zoom in) for a turn away from the user. The turn is added to
// *remainder, which keeps what is short of a whole notch (the small deltas
// of precision touchpads) for the next message. Like + and -, it needs a
// loaded file; unlike them it also acts with Ctrl held, and with Shift or
// a Windows key held it does nothing (the remainder stays as it was).
int32_t decide_wheel(int32_t delta, const CommandState* state, int32_t* remainder);

// ---- The context menu ---------------------------------------------------------

constexpr uint32_t MENU_ITEM_GRAYED = 0x1;       // MF_GRAYED: shown but not selectable
constexpr uint32_t MENU_ITEM_SEPARATOR = 0x800;  // MF_SEPARATOR
constexpr size_t MENU_CAPACITY = 18;             // the most items a menu holds

struct MenuItem {
    uint32_t id;           // the command's key code; 0 for a separator
    uint32_t flags;        // MENU_ITEM_GRAYED, MENU_ITEM_SEPARATOR or 0
    const char16_t* text;  // null for a separator
};

// What the menu reads; a snapshot taken on the window's thread.
struct MenuState {
    uint32_t frame_count = 0;
    uint32_t playing = 0;
    uint32_t reverse = 0;
    uint32_t paused_frame = 0;  // the frame on show while paused (NO_FRAME while playing)
    int32_t speed_index = 0;
    int32_t zoom_index = 0;
    uint32_t fullscreen = 0;
    uint32_t neighbours = 0;  // NEIGHBOUR_PREVIOUS | NEIGHBOUR_NEXT of the loaded file
};

// The snapshot of player (and its animation) with the neighbour flags.
MenuState menu_state_of(const Player* player, uint32_t neighbours);

// Fills items (MENU_CAPACITY entries) with the menu for state, in order.
// Returns the number of items.
size_t build_context_menu(const MenuState* state, MenuItem* items);
