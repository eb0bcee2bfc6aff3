// The loading preview: which calls show which frame, the progress titles, the
// picture it paints and where, and the frame it leaves on show. Time comes from a
// test clock through the player's services.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/loading_preview.h"
#include "player/paint.h"
#include "player/playback.h"
#include "player/view.h"
#include "player_fixture.h"

namespace {

struct Clock {
    uint32_t now;
};

uint32_t clock_tick(void* context) { return static_cast<Clock*>(context)->now; }

struct Titles {
    std::vector<std::u16string> texts;
};

void record_title(void* window, const char16_t* title, void* context) {
    (void)window;
    static_cast<Titles*>(context)->texts.push_back(title);
}

// A file being decoded: its frames are composited one by one, and the frame
// count stays 0 until the end, as during a real load.
class PreviewTest : public ::testing::Test {
protected:
    void start(const std::vector<uint32_t>& delays, uint32_t width = 20, uint32_t height = 10,
               uint32_t client_width = 60, uint32_t client_height = 30) {
        make_animation(&rig_.anim, width, height, delays, 0);
        rig_.anim.animation.frame_count = 0;
        setup_player(&rig_.test, &rig_.anim.animation, client_width, client_height);
        services_ = PlaybackServices{.tick = clock_tick, .context = &clock_};
        player()->services = &services_;
        preview_.set_title = record_title;
        preview_.title_context = &titles_;
    }
    // Frame i arrives at time t; returns the number of repaints it made.
    uint32_t arrive(uint32_t i, uint32_t t) {
        clock_.now = t;
        uint32_t fills, paints, before, after;
        paint_screen_counts(&rig_.test.screen, &fills, &paints, &before);
        show_loading_progress(&preview_, &rig_.anim.animation, player(), i);
        paint_screen_counts(&rig_.test.screen, &fills, &paints, &after);
        return after - before;
    }
    Player* player() { return &rig_.test.player; }

    PlayerRig rig_;
    Clock clock_{1000};
    PlaybackServices services_{};
    LoadingPreview preview_{};
    Titles titles_;
};

TEST_F(PreviewTest, TenFramesOfOneHundredMsArrivingEvery20Ms) {
    start(std::vector<uint32_t>(10, 100));
    std::vector<uint32_t> shown_at;
    for (uint32_t i = 0; i < 10; i++) {
        if (arrive(i, 1000 + 20 * i)) shown_at.push_back(20 * i);
    }
    // Frame 0 at 20 ms (the first call finds no time passed), frame 1 at
    // 120 ms (after frame 0's 100 ms), nothing else.
    EXPECT_EQ(shown_at, (std::vector<uint32_t>{20, 120}));
    EXPECT_EQ(display_shown(player()), 1u);  // playback goes on with frame 2
    EXPECT_EQ(preview_.delay_sum_ms, 200u);
    EXPECT_EQ(titles_.texts, (std::vector<std::u16string>{u"Processing data ", u"Processing data "}));
}

TEST_F(PreviewTest, DelayZeroFramesKeepPaceWithDecoding) {
    start(std::vector<uint32_t>(6, 0));
    std::vector<uint32_t> shows;
    shows.push_back(arrive(0, 500));
    for (uint32_t i = 1; i < 6; i++) shows.push_back(arrive(i, 500 + i));
    EXPECT_EQ(shows, (std::vector<uint32_t>{0, 1, 1, 1, 1, 1}));
    EXPECT_EQ(display_shown(player()), 4u);  // one frame behind decoding
}

TEST_F(PreviewTest, ShowsTheNextFrameInTurnNeverTheNewest) {
    // Decoding slower than the animation: every call shows the next frame in
    // turn, and the second call shows frame 0, not frame 1.
    start({10, 10, 10, 10});
    arrive(0, 0);
    std::vector<uint32_t> colours;
    for (uint32_t i = 1; i < 4; i++) {
        ASSERT_EQ(arrive(i, 1000 * i), 1u);
        colours.push_back(screen_pixel(&rig_.test.screen, 30, 15));
    }
    EXPECT_EQ(colours, (std::vector<uint32_t>{frame_colour(0), frame_colour(1), frame_colour(2)}));
}

TEST_F(PreviewTest, PaintsAtCanvasSizeInTheClientAreaOfTheMoment) {
    start({50, 50, 50}, 20, 10, 60, 30);
    player()->zoom_index = 1;  // the zoom step is not the preview's business
    player()->view_width = 40;
    player()->view_height = 20;
    arrive(0, 0);
    // A window resized during the decode: the frame shown next is laid out
    // in the new client area, at the canvas's size.
    paint_screen_resize(&rig_.test.screen, 80, 40);
    ASSERT_EQ(arrive(1, 10), 1u);
    EXPECT_EQ(player()->view_width, 20u);
    EXPECT_EQ(player()->view_height, 10u);
    EXPECT_EQ(player()->zoom_index, 1);
    EXPECT_EQ(player()->view_x, 30);
    EXPECT_EQ(player()->view_y, 15);
    const PaintScreen* screen = &rig_.test.screen;
    EXPECT_EQ(screen_pixel(screen, 30, 15), frame_colour(0));
    EXPECT_EQ(screen_pixel(screen, 49, 24), frame_colour(0));
    EXPECT_EQ(screen_pixel(screen, 29, 15), BAR_COLOUR);
    EXPECT_EQ(screen_pixel(screen, 50, 24), BAR_COLOUR);
    EXPECT_EQ(screen_pixel(screen, 30, 14), BAR_COLOUR);
    EXPECT_EQ(screen_pixel(screen, 79, 39), BAR_COLOUR);
    EXPECT_EQ(display_shown(player()), 0u);  // until the next frame is shown
}

TEST_F(PreviewTest, TheTickCountWrapsAround) {
    start({100, 100, 100});
    arrive(0, 0xFFFFFFF0u);
    EXPECT_EQ(arrive(1, 0x00000005u), 1u);  // 21 ms later
    EXPECT_EQ(arrive(2, 0x00000010u), 0u);  // 32 ms: frame 0's 100 ms not over
}

TEST_F(PreviewTest, ANewFileStartsAfresh) {
    start({10, 10, 10});
    arrive(0, 0);
    arrive(1, 50);
    arrive(2, 100);
    EXPECT_EQ(display_shown(player()), 1u);
    display_release(player());  // as the next load's unload does
    EXPECT_EQ(arrive(0, 5000), 0u);
    EXPECT_EQ(display_shown(player()), NO_FRAME);
    EXPECT_EQ(preview_.delay_sum_ms, 0u);
    EXPECT_EQ(preview_.start_tick, 5000u);
    EXPECT_EQ(arrive(1, 5001), 1u);
    EXPECT_EQ(screen_pixel(&rig_.test.screen, 30, 15), frame_colour(0));
}

TEST(ProgressTitle, DotsFollowTheFrameIndex) {
    struct Case {
        uint32_t index;
        const char16_t* title;
    };
    const Case cases[] = {
        {0, u"Processing data "},        {49, u"Processing data "},
        {50, u"Processing data ."},      {99, u"Processing data ."},
        {100, u"Processing data .."},    {150, u"Processing data ..."},
        {200, u"Processing data ...."},  {250, u"Processing data ....."},
        {299, u"Processing data ....."}, {300, u"Processing data ......"},
        {100000, u"Processing data ......"}, {0xFFFFFFFFu, u"Processing data ......"},
    };
    for (const Case& c : cases) {
        char16_t title[PROGRESS_TITLE_CAPACITY];
        size_t length = format_progress_title(title, c.index);
        EXPECT_EQ(std::u16string(title), std::u16string(c.title)) << c.index;
        EXPECT_EQ(length, std::u16string(c.title).size()) << c.index;
    }
}

}  // namespace
