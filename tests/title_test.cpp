// The title-bar status line: its three formats, the speed and zoom texts,
// the file-name part of a path and the cut at the buffer's end.
#include <gtest/gtest.h>

#include <string>

#include "shell/title.h"

namespace {

std::u16string title_of(const char16_t* name, uint32_t frame_count, uint32_t playing,
                        uint32_t reverse, int32_t speed, int32_t zoom, uint32_t frame_number,
                        uint32_t image_count = 0) {
    Animation animation{};
    animation.frame_count = frame_count;
    animation.image_count = image_count > frame_count ? image_count : frame_count;
    Player player{};
    player.playing.store(playing);
    player.reverse = reverse;
    player.speed_index.store(speed);
    player.zoom_index = zoom;
    if (frame_number != 0) {  // the display holds that frame, on show
        player.display.front = 0;
        player.display.holds[0] = frame_number - 1;
    }
    char16_t buffer[TITLE_CAPACITY];
    size_t length = format_title(buffer, name, &animation, &player);
    EXPECT_EQ(length, std::u16string(buffer).size());
    return buffer;
}

TEST(TitleFormat, ThreeFormats) {
    struct Case {
        const char* name;
        uint32_t frames, playing, reverse;
        int32_t speed, zoom;
        uint32_t frame_number;
        const char16_t* want;
        uint32_t images = 0;  // more than frames: the memory bound cut the file
    };
    const Case cases[] = {
        {"playing forward", 12, 1, 0, 8, 4, 0, u"cat.gif (12 frames | >> | \u00D7\u20091.00 | 100%)"},
        {"playing with a frame number", 12, 1, 0, 8, 4, 5, u"cat.gif (12 frames | >> | \u00D7\u20091.00 | 100%)"},
        {"playing in reverse", 12, 1, 1, 0, 0, 0, u"cat.gif (12 frames | << | \u00D7\u200916.00 | 400%)"},
        {"slowest, smallest", 2, 1, 0, 13, 7, 0, u"cat.gif (2 frames | >> | \u00D7\u20090.0625 | 25%)"},
        {"paused at frame 5", 12, 0, 0, 8, 4, 5, u"cat.gif (5 of 12 frames | 100%)"},
        {"paused in reverse, zoomed", 12, 0, 1, 3, 2, 12, u"cat.gif (12 of 12 frames | 150%)"},
        {"paused, nothing on show", 12, 0, 1, 9, 5, 0, u"cat.gif (12 frames | << | \u00D7\u20090.75 | 75%)"},
        {"one frame, playing", 1, 1, 0, 8, 4, 0, u"cat.gif (1 frame | 100%)"},
        {"one frame, paused at 1", 1, 0, 1, 2, 6, 1, u"cat.gif (1 frame | 50%)"},
        {"nothing decoded", 0, 0, 0, 8, 3, 0, u"cat.gif (1 frame | 125%)"},
        {"cut, playing", 516, 1, 0, 8, 4, 0,
         u"cat.gif (516 frames, 900 in file | >> | \u00D7\u20091.00 | 100%)", 900},
        {"cut, paused", 516, 0, 0, 8, 4, 5, u"cat.gif (5 of 516 frames, 900 in file | 100%)", 900},
        {"cut to one frame", 1, 0, 0, 8, 4, 1, u"cat.gif (1 frame, 900 in file | 100%)", 900},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(title_of(u"cat.gif", c.frames, c.playing, c.reverse, c.speed, c.zoom,
                             c.frame_number, c.images) == c.want);
    }
}

TEST(TitleFormat, EverySpeedText) {
    const char16_t* const want[SPEED_STEPS] = {u"16.00", u"8.00", u"4.00", u"2.00", u"1.75",
                                               u"1.50", u"1.25", u"1.125", u"1.00", u"0.75",
                                               u"0.50", u"0.25", u"0.125", u"0.0625"};
    for (int32_t s = 0; s < SPEED_STEPS; s++) {
        std::u16string expected = u"a (3 frames | >> | \u00D7\u2009" + std::u16string(want[s]) + u" | 100%)";
        EXPECT_TRUE(title_of(u"a", 3, 1, 0, s, 4, 0) == expected) << s;
    }
}

TEST(TitleName, FilePartOfThePath) {
    struct Case {
        const char16_t* path;
        const char16_t* name;
    };
    const Case cases[] = {
        {u"C:\\pics\\cat.gif", u"cat.gif"},
        {u"\\\\server\\share\\d\u00E9j\u00E0 vu.gif", u"d\u00E9j\u00E0 vu.gif"},
        {u"cat.gif", u"cat.gif"},  // no backslash: the whole path
        {u"C:\\pics\\", u""},
    };
    for (const Case& c : cases) {
        char16_t name[TITLE_CAPACITY];
        set_title_name(name, c.path);
        EXPECT_TRUE(std::u16string(name) == c.name);
    }
}

TEST(TitleCut, LongNamesAreCutAndTerminated) {
    // A path whose name fills the buffer: the name keeps 1023 units.
    std::u16string path = u"C:\\" + std::u16string(3000, u'x') + u".gif";
    char16_t name[TITLE_CAPACITY + 1];
    name[TITLE_CAPACITY] = u'#';
    set_title_name(name, path.c_str());
    EXPECT_EQ(std::u16string(name).size(), TITLE_CAPACITY - 1);
    EXPECT_EQ(name[TITLE_CAPACITY], u'#');

    // A name of 1010 units leaves room for only part of the status.
    std::u16string long_name(1010, u'n');
    Animation animation{};
    animation.frame_count = 12;
    Player player{};
    player.playing.store(1);
    player.speed_index.store(SPEED_NORMAL);
    player.zoom_index = ZOOM_NORMAL;
    char16_t title[TITLE_CAPACITY + 4];
    for (char16_t& unit : title) unit = u'#';
    size_t length = format_title(title, long_name.c_str(), &animation, &player);
    EXPECT_EQ(length, TITLE_CAPACITY - 1);
    EXPECT_EQ(title[TITLE_CAPACITY - 1], 0);
    EXPECT_EQ(title[TITLE_CAPACITY], u'#');  // nothing written past the buffer
    std::u16string full = long_name + u" (12 frames | >> | \u00D7\u20091.00 | 100%)";
    EXPECT_TRUE(std::u16string(title) == full.substr(0, TITLE_CAPACITY - 1));

    // A name that alone fills the buffer.
    std::u16string huge(TITLE_CAPACITY + 100, u'h');
    length = format_title(title, huge.c_str(), &animation, &player);
    EXPECT_EQ(length, TITLE_CAPACITY - 1);
    EXPECT_TRUE(std::u16string(title) == huge.substr(0, TITLE_CAPACITY - 1));
}

}  // namespace
