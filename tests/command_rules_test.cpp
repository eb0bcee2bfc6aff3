// The command decisions, and the context menu's contents and greying.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/command_rules.h"
#include "shell/file_rules.h"

namespace {

const uint32_t ALL_KEYS[] = {KEY_ESCAPE, KEY_LEFT, KEY_UP,   KEY_RIGHT, KEY_DOWN, KEY_N,
                             KEY_O,      KEY_P,    KEY_R,    KEY_S,     KEY_V,    KEY_X,
                             KEY_MENU,   KEY_F1,   KEY_F11,  KEY_ZOOM_IN, KEY_ZOOM_OUT,
                             KEY_SPACE,  KEY_HOME, KEY_END};

TEST(DecideCommand, EveryKeyInEveryState) {
    struct Case {
        uint32_t key, frames, playing, fullscreen;
        CommandAction action;
    };
    const Case cases[] = {
        // No file: only the menu key, O, F1, F11, Esc (fullscreen) and X.
        {KEY_MENU, 0, 0, 0, COMMAND_SHOW_MENU},
        {KEY_O, 0, 0, 0, COMMAND_OPEN_FILE},
        {KEY_F1, 0, 0, 0, COMMAND_ABOUT},
        {KEY_F11, 0, 0, 0, COMMAND_TOGGLE_FULLSCREEN},
        {KEY_F11, 0, 0, 1, COMMAND_TOGGLE_FULLSCREEN},
        {KEY_ESCAPE, 0, 0, 0, COMMAND_NONE},
        {KEY_ESCAPE, 0, 0, 1, COMMAND_TOGGLE_FULLSCREEN},
        {KEY_ESCAPE, 12, 1, 0, COMMAND_NONE},
        {KEY_X, 0, 0, 0, COMMAND_EXIT},
        {KEY_LEFT, 0, 0, 0, COMMAND_NONE},
        {KEY_RIGHT, 0, 0, 0, COMMAND_NONE},
        {KEY_ZOOM_IN, 0, 0, 0, COMMAND_NONE},
        {KEY_ZOOM_OUT, 0, 0, 0, COMMAND_NONE},
        {KEY_P, 0, 0, 0, COMMAND_NONE},
        {KEY_S, 0, 0, 0, COMMAND_NONE},
        // One frame: the file steps and zoom, nothing of playback.
        {KEY_LEFT, 1, 0, 0, COMMAND_PREVIOUS_FILE},
        {KEY_RIGHT, 1, 0, 0, COMMAND_NEXT_FILE},
        {KEY_ZOOM_IN, 1, 0, 0, COMMAND_ZOOM_IN},
        {KEY_ZOOM_OUT, 1, 0, 0, COMMAND_ZOOM_OUT},
        {KEY_P, 1, 0, 0, COMMAND_NONE},
        {KEY_R, 1, 0, 0, COMMAND_NONE},
        {KEY_S, 1, 0, 0, COMMAND_NONE},
        {KEY_N, 1, 0, 0, COMMAND_NONE},
        {KEY_V, 1, 0, 0, COMMAND_NONE},
        {KEY_UP, 1, 0, 0, COMMAND_NONE},
        {KEY_X, 1, 0, 0, COMMAND_EXIT},
        // Two frames or more.
        {KEY_UP, 12, 1, 0, COMMAND_FASTER},
        {KEY_DOWN, 12, 1, 0, COMMAND_SLOWER},
        {KEY_UP, 12, 0, 0, COMMAND_NONE},
        {KEY_DOWN, 12, 0, 0, COMMAND_NONE},
        {KEY_N, 12, 1, 0, COMMAND_REFRESH_TITLE},
        {KEY_V, 12, 1, 0, COMMAND_REFRESH_TITLE},
        {KEY_N, 12, 0, 0, COMMAND_NEXT_FRAME},
        {KEY_V, 12, 0, 0, COMMAND_PREVIOUS_FRAME},
        {KEY_P, 12, 1, 0, COMMAND_PLAY_PAUSE},
        {KEY_P, 12, 0, 0, COMMAND_PLAY_PAUSE},
        {KEY_R, 2, 1, 0, COMMAND_REVERSE},
        {KEY_S, 2, 0, 0, COMMAND_REWIND},
        {KEY_SPACE, 12, 1, 0, COMMAND_PLAY_PAUSE},  // P's second key
        {KEY_HOME, 12, 1, 0, COMMAND_FIRST_FRAME},
        {KEY_END, 12, 0, 0, COMMAND_LAST_FRAME},
        {KEY_END, 1, 0, 0, COMMAND_NONE},
        {KEY_LEFT, 12, 1, 1, COMMAND_PREVIOUS_FILE},
        {KEY_ZOOM_OUT, 12, 1, 0, COMMAND_ZOOM_OUT},
        // Not commands: the keypad's plus and minus, letters without a command.
        {107, 12, 1, 0, COMMAND_NONE},
        {109, 12, 1, 0, COMMAND_NONE},
        {'A', 12, 1, 0, COMMAND_NONE},
        {'Q', 12, 0, 0, COMMAND_NONE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << c.key << " frames " << c.frames << " playing "
                                        << c.playing << " fullscreen " << c.fullscreen);
        CommandState state{.frame_count = c.frames, .playing = c.playing,
                           .fullscreen = c.fullscreen};
        EXPECT_EQ(decide_command(c.key, &state), c.action);
    }
}

TEST(DecideCommand, AHeldModifierStopsEveryKey) {
    // Shift with the plus key types "+", Ctrl with X is not Exit: a menu
    // choice made with Ctrl held arrives as a key and does nothing either.
    for (uint32_t key : ALL_KEYS) {
        SCOPED_TRACE(key);
        CommandState state{.frame_count = 12, .playing = 1, .fullscreen = 1, .modifiers = MODIFIER_SHIFT};
        EXPECT_EQ(decide_command(key, &state), COMMAND_NONE);
    }
}

TEST(DecideWheel, ANotchAStepAndTheRestKeptForTheNextTurn) {
    struct Turn { int32_t delta; uint32_t frames, modifiers; int32_t steps, remainder; };
    // One turn after the other; Shift, a Windows key or no file: nothing.
    const Turn turns[] = {{120, 12, 0, 1, 0},   {-240, 12, 0, -2, 0}, {40, 12, 0, 0, 40},
                          {120, 12, MODIFIER_SHIFT, 0, 40}, {120, 12, MODIFIER_WINDOWS, 0, 40},
                          {120, 0, 0, 0, 40},   {80, 1, MODIFIER_CTRL, 1, 0},
                          {-180, 12, 0, -1, -60}, {380, 12, 0, 2, 80}};
    int32_t remainder = 0;
    for (const Turn& turn : turns) {
        CommandState state{.frame_count = turn.frames, .modifiers = turn.modifiers};
        EXPECT_EQ(decide_wheel(turn.delta, &state, &remainder), turn.steps) << turn.delta;
        EXPECT_EQ(remainder, turn.remainder) << turn.delta;
    }
}

std::u16string text_of(const MenuItem& item) { return item.text ? item.text : u"-"; }

// The menu as "id:text" rows, "-" for separators, with a "#" after greyed ones.
std::vector<std::string> rows_of(const MenuState& state) {
    MenuItem items[MENU_CAPACITY + 4];
    size_t count = build_context_menu(&state, items);
    std::vector<std::string> rows;
    for (size_t i = 0; i < count; i++) {
        const MenuItem& item = items[i];
        if (item.flags & MENU_ITEM_SEPARATOR) {
            EXPECT_EQ(item.text, nullptr);
            rows.push_back("-");
            continue;
        }
        std::string row = std::to_string(item.id);
        if (item.flags & MENU_ITEM_GRAYED) row += "#";
        rows.push_back(row);
    }
    return rows;
}

using Rows = std::vector<std::string>;
constexpr uint32_t BOTH_NEIGHBOURS = NEIGHBOUR_PREVIOUS | NEIGHBOUR_NEXT;

TEST(ContextMenu, ItemsAndGreyingInEachState) {
    struct Case {
        const char* name;
        MenuState state;
        Rows rows;
    };
    const Case cases[] = {
        {"no file", {.zoom_index = 4}, {"79", "-", "122", "-", "88"}},
        {"no file, fullscreen", {.zoom_index = 4, .fullscreen = 1}, {"79", "-", "122", "-", "88"}},
        {"one frame, alone in its folder",
         {.frame_count = 1, .speed_index = 8, .zoom_index = 4},
         {"79", "-", "37#", "39#", "-", "187", "189", "-", "122", "-", "88"}},
        {"playing, between two files",
         {.frame_count = 12, .playing = 1, .paused_frame = NO_FRAME, .speed_index = 8, .zoom_index = 4,
          .neighbours = BOTH_NEIGHBOURS},
         {"79", "-", "37", "39", "-", "80", "82", "83", "-", "38", "40", "-", "187", "189", "-",
          "122", "-", "88"}},
        {"playing at the fastest speed and the largest zoom, first file",
         {.frame_count = 12, .playing = 1, .neighbours = NEIGHBOUR_NEXT},
         {"79", "-", "37#", "39", "-", "80", "82", "83", "-", "38#", "40", "-", "187#", "189",
          "-", "122", "-", "88"}},
        {"playing at the slowest speed and the smallest zoom, last file",
         {.frame_count = 12, .playing = 1, .reverse = 1, .speed_index = 13, .zoom_index = 7,
          .neighbours = NEIGHBOUR_PREVIOUS},
         {"79", "-", "37", "39#", "-", "80", "82", "83", "-", "38", "40#", "-", "187", "189#",
          "-", "122", "-", "88"}},
        {"paused at frame 0, forward",
         {.frame_count = 12, .speed_index = 8, .zoom_index = 4, .neighbours = BOTH_NEIGHBOURS},
         {"79", "-", "37", "39", "-", "80", "82", "83#", "-", "78", "86", "-", "187", "189", "-",
          "122", "-", "88"}},
        {"paused at frame 0, reverse",
         {.frame_count = 12, .reverse = 1, .speed_index = 8, .zoom_index = 4,
          .neighbours = BOTH_NEIGHBOURS},
         {"79", "-", "37", "39", "-", "80", "82", "83", "-", "78", "86", "-", "187", "189", "-",
          "122", "-", "88"}},
        {"paused at frame 3, forward",
         {.frame_count = 12, .paused_frame = 3, .speed_index = 8, .zoom_index = 4,
          .neighbours = BOTH_NEIGHBOURS},
         {"79", "-", "37", "39", "-", "80", "82", "83", "-", "78", "86", "-", "187", "189", "-",
          "122", "-", "88"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rows_of(c.state), c.rows);
    }
}

TEST(ContextMenu, TextsWithTheirTabsAndSigns) {
    MenuState playing{.frame_count = 12, .playing = 1, .speed_index = 8, .zoom_index = 4,
                      .neighbours = BOTH_NEIGHBOURS};
    MenuState paused{.frame_count = 12, .speed_index = 8, .zoom_index = 4, .fullscreen = 1,
                     .neighbours = BOTH_NEIGHBOURS};
    MenuItem items[MENU_CAPACITY];
    std::vector<std::u16string> texts;
    size_t count = build_context_menu(&playing, items);
    ASSERT_EQ(count, MENU_CAPACITY);
    for (size_t i = 0; i < count; i++) texts.push_back(text_of(items[i]));
    count = build_context_menu(&paused, items);
    ASSERT_EQ(count, MENU_CAPACITY);
    texts.push_back(text_of(items[9]));
    texts.push_back(text_of(items[10]));
    texts.push_back(text_of(items[15]));
    const std::vector<std::u16string> expected = {
        u"&Open File...\tO", u"-", u"Pr&evious File\tLeft", u"Nex&t File\tRight", u"-",
        u"&Play/Pause\tP", u"Play &Reversed\tR", u"&Stop\tS", u"-", u"Speed &Up\tUp",
        u"Speed &Down\tDn", u"-", u"Zoom &In\t+", u"Zoo&m Out\t\u2212", u"-",
        u"&Fullscreen\tF11", u"-", u"E&xit\tX",
        // paused, fullscreen
        u"&Next Frame\tN", u"Pre&v Frame\tV", u"Cancel &Fullscreen\tF11"};
    EXPECT_EQ(texts, expected);
}

TEST(ContextMenu, SnapshotOfThePlayer) {
    Animation animation{};
    animation.frame_count = 7;
    Player player{};
    player.animation = &animation;
    player.playing.store(1);
    player.reverse = 1;
    player.display.front = 1;
    player.display.holds[1] = 4;
    player.speed_index.store(3);
    player.zoom_index = 6;
    player.fullscreen = 1;
    MenuState state = menu_state_of(&player, NEIGHBOUR_NEXT);
    EXPECT_EQ(state.frame_count, 7u);
    EXPECT_EQ(state.playing, 1u);
    EXPECT_EQ(state.reverse, 1u);
    EXPECT_EQ(state.paused_frame, NO_FRAME);  // only the thread knows its frame
    EXPECT_EQ(state.speed_index, 3);
    EXPECT_EQ(state.zoom_index, 6);
    EXPECT_EQ(state.fullscreen, 1u);
    EXPECT_EQ(state.neighbours, NEIGHBOUR_NEXT);
    player.playing.store(0);
    EXPECT_EQ(menu_state_of(&player, 0).paused_frame, 4u);
}

}  // namespace
