// The command decisions and the context menu's contents.
#include "shell/command_rules.h"

#include "player/playback.h"
#include "shell/file_rules.h"

CommandAction decide_command(uint32_t key, const CommandState* state) {
    if (state->modifiers) return COMMAND_NONE;
    switch (key) {
        case KEY_MENU: return COMMAND_SHOW_MENU;
        case KEY_O: return COMMAND_OPEN_FILE;
        case KEY_F1: return COMMAND_ABOUT;
        case KEY_F11: return COMMAND_TOGGLE_FULLSCREEN;
        case KEY_ESCAPE: return state->fullscreen ? COMMAND_TOGGLE_FULLSCREEN : COMMAND_NONE;
        case KEY_X: return COMMAND_EXIT;
    }
    if (state->frame_count == 0) return COMMAND_NONE;
    switch (key) {
        case KEY_LEFT: return COMMAND_PREVIOUS_FILE;
        case KEY_RIGHT: return COMMAND_NEXT_FILE;
        case KEY_ZOOM_IN: return COMMAND_ZOOM_IN;
        case KEY_ZOOM_OUT: return COMMAND_ZOOM_OUT;
    }
    if (state->frame_count < 2) return COMMAND_NONE;
    switch (key) {
        case KEY_UP: return state->playing ? COMMAND_FASTER : COMMAND_NONE;
        case KEY_DOWN: return state->playing ? COMMAND_SLOWER : COMMAND_NONE;
        case KEY_N: return state->playing ? COMMAND_REFRESH_TITLE : COMMAND_NEXT_FRAME;
        case KEY_V: return state->playing ? COMMAND_REFRESH_TITLE : COMMAND_PREVIOUS_FRAME;
        case KEY_HOME: return COMMAND_FIRST_FRAME;
        case KEY_END: return COMMAND_LAST_FRAME;
        case KEY_P:
        case KEY_SPACE: return COMMAND_PLAY_PAUSE;
        case KEY_R: return COMMAND_REVERSE;
        case KEY_S: return COMMAND_REWIND;
    }
    return COMMAND_NONE;
}

int32_t decide_wheel(int32_t delta, const CommandState* state, int32_t* remainder) {
    if (state->frame_count == 0 || (state->modifiers & (MODIFIER_SHIFT | MODIFIER_WINDOWS))) return 0;
    // A remainder is always less than a notch, and a delta is a 16-bit value.
    const int64_t turned = int64_t(*remainder) + delta;
    *remainder = int32_t(turned % WHEEL_NOTCH);
    return int32_t(turned / WHEEL_NOTCH);
}

MenuState menu_state_of(const Player* player, uint32_t neighbours) {
    MenuState state{};
    state.frame_count = player->animation ? player->animation->frame_count : 0;
    state.playing = player->playing.load(std::memory_order_acquire);
    state.reverse = player->reverse;
    state.paused_frame = paused_frame(player);
    state.speed_index = player->speed_index.load(std::memory_order_relaxed);
    state.zoom_index = player->zoom_index;
    state.fullscreen = player->fullscreen;
    state.neighbours = neighbours;
    return state;
}

namespace {

struct MenuBuilder {
    MenuItem* items;
    size_t count;
};

void add_item(MenuBuilder* menu, uint32_t id, const char16_t* text, bool grayed) {
    if (menu->count < MENU_CAPACITY)
        menu->items[menu->count++] = MenuItem{id, grayed ? MENU_ITEM_GRAYED : 0u, text};
}

void add_separator(MenuBuilder* menu) {
    if (menu->count < MENU_CAPACITY)
        menu->items[menu->count++] = MenuItem{0, MENU_ITEM_SEPARATOR, nullptr};
}

}  // namespace

size_t build_context_menu(const MenuState* state, MenuItem* items) {
    MenuBuilder menu{items, 0};
    add_item(&menu, KEY_O, u"&Open File...\tO", false);
    add_separator(&menu);
    if (state->frame_count >= 1) {
        add_item(&menu, KEY_LEFT, u"Pr&evious File\tLeft", !(state->neighbours & NEIGHBOUR_PREVIOUS));
        add_item(&menu, KEY_RIGHT, u"Nex&t File\tRight", !(state->neighbours & NEIGHBOUR_NEXT));
        add_separator(&menu);
    }
    if (state->frame_count >= 2) {
        add_item(&menu, KEY_P, u"&Play/Pause\tP", false);
        add_item(&menu, KEY_R, u"Play &Reversed\tR", false);
        add_item(&menu, KEY_S, u"&Stop\tS",
                 !state->playing && state->paused_frame == 0 && !state->reverse);
        add_separator(&menu);
        if (state->playing) {
            add_item(&menu, KEY_UP, u"Speed &Up\tUp", state->speed_index == 0);
            add_item(&menu, KEY_DOWN, u"Speed &Down\tDn", state->speed_index == SPEED_STEPS - 1);
        } else {
            add_item(&menu, KEY_N, u"&Next Frame\tN", false);
            add_item(&menu, KEY_V, u"Pre&v Frame\tV", false);
        }
        add_separator(&menu);
    }
    if (state->frame_count >= 1) {
        add_item(&menu, KEY_ZOOM_IN, u"Zoom &In\t+", state->zoom_index == 0);
        add_item(&menu, KEY_ZOOM_OUT, u"Zoo&m Out\t\u2212", state->zoom_index == ZOOM_STEPS - 1);
        add_separator(&menu);
    }
    add_item(&menu, KEY_F11, state->fullscreen ? u"Cancel &Fullscreen\tF11" : u"&Fullscreen\tF11",
             false);
    add_separator(&menu);
    add_item(&menu, KEY_X, u"E&xit\tX", false);
    return menu.count;
}
