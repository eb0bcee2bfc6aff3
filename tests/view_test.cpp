// The view: layout arithmetic, zoom steps, the bar fill, painting and the
// repaint decision of a resize, drawn into the native paint screen.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "player/load_steps.h"
#include "player/paint.h"
#include "player/playback.h"
#include "player/view.h"
#include "player_fixture.h"

namespace {

constexpr uint32_t STALE = 0x00DEAD00u;  // what the screen held before a paint

void fill_screen(PaintScreen* screen, uint32_t colour) {
    bitmap_fill(&screen->screen, 0, 0, int32_t(screen->screen.width),
                int32_t(screen->screen.height), colour);
}

bool same_rect(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A one-frame canvas of width x height (0: nothing loaded) in a client area
// of cw x ch at a zoom step, laid out, with frame 0 on show.
std::unique_ptr<PlayerRig> make_view(uint32_t width, uint32_t height, uint32_t cw, uint32_t ch,
                                     int32_t zoom = 4) {
    auto rig = std::make_unique<PlayerRig>();
    if (width) make_animation(&rig->anim, width, height, {100}, 0);
    setup_player(&rig->test, &rig->anim.animation, cw, ch);
    Player* player = &rig->test.player;
    player->zoom_index = zoom;
    player->view_width = zoom_size(width, zoom);
    player->view_height = zoom_size(height, zoom);
    if (width) display_show(player, 0);
    layout_view(cw, ch, player);
    return rig;
}

class LayoutTest : public ::testing::Test {
protected:
    void load(uint32_t width, uint32_t height, uint32_t cw, uint32_t ch, int32_t zoom = 4) {
        rig_ = make_view(width, height, cw, ch, zoom);
    }
    Player* player() { return &rig_->test.player; }
    PaintScreen* screen() { return &rig_->test.screen; }
    TestAnimation* anim() { return &rig_->anim; }
    std::unique_ptr<PlayerRig> rig_;
};

TEST(LayoutZoom, CanvasOf101By75AtEveryStep) {
    struct Case {
        int32_t zoom;
        uint32_t width, height;
    };
    const Case cases[] = {{0, 404, 300}, {1, 202, 150}, {2, 151, 112}, {3, 126, 93},
                          {4, 101, 75},  {5, 76, 57},   {6, 50, 37},   {7, 25, 18}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zoom);
        EXPECT_EQ(zoom_size(101, c.zoom), c.width);
        EXPECT_EQ(zoom_size(75, c.zoom), c.height);
    }
}

TEST_F(LayoutTest, ExamplesGiveTheViewAndTheFourBars) {
    struct Case {
        const char* name;
        uint32_t width, height;  // canvas; 0 for nothing loaded
        int32_t zoom;
        uint32_t cw, ch;
        int32_t view_x, view_y;
        Rect left, right, top, bottom;
    };
    const Case cases[] = {
        {"nothing loaded", 0, 0, 4, 480, 320, 240, 160,
         {0, 160, 240, 160}, {240, 160, 480, 160}, {0, 0, 480, 160}, {0, 160, 480, 320}},
        {"100x80 in 301x200", 100, 80, 4, 301, 200, 100, 60,
         {0, 60, 100, 140}, {200, 60, 301, 140}, {0, 0, 301, 60}, {0, 140, 301, 200}},
        {"300x300 at 400% in 500x400", 300, 300, 0, 500, 400, -350, -400,
         {0, 0, 0, 400}, {500, 0, 500, 400}, {0, 0, 500, 0}, {0, 400, 500, 400}},
        {"3x3 at 25%", 3, 3, 7, 40, 30, 20, 15,
         {0, 15, 20, 15}, {20, 15, 40, 15}, {0, 0, 40, 15}, {0, 15, 40, 30}},
        {"one pixel to spare each way", 100, 80, 4, 101, 81, 0, 0,
         {0, 0, 0, 80}, {100, 0, 101, 80}, {0, 0, 101, 0}, {0, 80, 101, 81}},
        {"wider than the client only", 200, 20, 4, 100, 60, -50, 20,
         {0, 20, 0, 40}, {100, 20, 100, 40}, {0, 0, 100, 20}, {0, 40, 100, 60}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load(c.width, c.height, c.cw, c.ch, c.zoom);
        EXPECT_EQ(player()->view_x, c.view_x);
        EXPECT_EQ(player()->view_y, c.view_y);
        EXPECT_TRUE(same_rect(player()->border_left, c.left));
        EXPECT_TRUE(same_rect(player()->border_right, c.right));
        EXPECT_TRUE(same_rect(player()->border_top, c.top));
        EXPECT_TRUE(same_rect(player()->border_bottom, c.bottom));

        // Painted, every client pixel is bar or picture; nothing stale stays.
        fill_screen(screen(), STALE);
        paint_view(player()->window, player()->animation, player());
        for (uint32_t y = 0; y < c.ch; y++) {
            for (uint32_t x = 0; x < c.cw; x++) {
                bool in_picture = int64_t(x) >= c.view_x &&
                                  int64_t(x) < c.view_x + int64_t(player()->view_width) &&
                                  int64_t(y) >= c.view_y &&
                                  int64_t(y) < c.view_y + int64_t(player()->view_height);
                uint32_t want = in_picture ? frame_colour(0) : BAR_COLOUR;
                ASSERT_EQ(screen_pixel(screen(), x, y), want) << "x " << x << " y " << y;
            }
        }
    }
}

TEST_F(LayoutTest, ADragMovesALargerPictureUpToItsEdgesAndZoomKeepsTheCentre) {
    struct Case {
        const char* name;
        uint32_t width, height;  // canvas
        int32_t zoom;
        uint32_t cw, ch;
        int32_t dx, dy, zoom_step;  // a drag, then a zoom step (0: none)
        uint32_t resize_cw;         // then a resize to resize_cw x ch (0: none)
        int32_t view_x, view_y;
        bool movable;               // at the client area's centre
    };
    const Case cases[] = {
        {"smaller: stays centred", 100, 80, 4, 300, 200, 30, 20, 0, 0, 100, 60, false},
        {"wider only: moves across", 200, 20, 4, 100, 60, 30, 30, 0, 0, -20, 20, true},
        {"wider, far left", 200, 20, 4, 100, 60, -500, 0, 0, 0, -100, 20, true},
        {"both ways", 300, 300, 0, 500, 400, 100, -50, 0, 0, -250, -450, true},
        {"both ways, far down right", 300, 300, 0, 500, 400, 1000, 1000, 0, 0, 0, 0, true},
        // The point at the centre (250, 200), (260, 240) of 600 x 600, is
        // (520, 480) of 1200 x 1200.
        {"zoom in around the centre", 300, 300, 1, 500, 400, 40, 60, -1, 0, -270, -280, true},
        {"zoom out around the centre", 300, 300, 0, 500, 400, 80, 120, 1, 0, -10, -40, true},
        {"zoom out until it fits", 300, 300, 2, 500, 400, 30, 20, 1, 0, 62, 12, false},
        {"a narrower client area clamps", 200, 20, 4, 100, 60, -500, 0, 0, 150, -50, 20, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load(c.width, c.height, c.cw, c.ch, c.zoom);
        move_view(player(), c.dx, c.dy);
        if (c.zoom_step) set_zoom(player(), c.zoom_step);
        const uint32_t cw = c.resize_cw ? c.resize_cw : c.cw;
        if (c.resize_cw) resize_view(cw, c.ch, player());
        EXPECT_EQ(player()->view_x, c.view_x);
        EXPECT_EQ(player()->view_y, c.view_y);
        EXPECT_EQ(picture_movable_at(player(), cw, c.ch, int32_t(cw / 2), int32_t(c.ch / 2)), c.movable);
    }
}

TEST_F(LayoutTest, BarsTooSmallToSeeAreNotFilled) {
    load(300, 300, 500, 400, 0);
    fill_screen(screen(), STALE);
    fill_borders(player());
    uint32_t fills, paints, invalidations;
    paint_screen_counts(screen(), &fills, &paints, &invalidations);
    EXPECT_EQ(fills, 0u);
    EXPECT_EQ(screen_pixel(screen(), 0, 0), STALE);
}

TEST_F(LayoutTest, OnePixelBarsAreFilled) {
    // The picture's offset rounds down to 0, yet the last column and row are
    // bars and must not keep what was there before.
    load(100, 80, 101, 81);
    fill_screen(screen(), STALE);
    fill_borders(player());
    for (uint32_t y = 0; y < 81; y++) EXPECT_EQ(screen_pixel(screen(), 100, y), BAR_COLOUR) << y;
    for (uint32_t x = 0; x < 101; x++) EXPECT_EQ(screen_pixel(screen(), x, 80), BAR_COLOUR) << x;
    EXPECT_EQ(screen_pixel(screen(), 50, 40), STALE);  // the picture is not a bar
}

TEST_F(LayoutTest, ZoomStepsStopAtTheEndsAndResetWithoutLayout) {
    load(101, 75, 640, 480);
    set_zoom(player(), 0);
    EXPECT_EQ(player()->zoom_index, 4);
    paint_screen_clear_log(screen());

    // Zooming in moves the picture and repaints at once.
    const uint32_t widths_in[] = {126, 151, 202, 404};
    for (uint32_t width : widths_in) {
        set_zoom(player(), -1);
        EXPECT_EQ(player()->view_width, width);
        EXPECT_EQ(player()->view_x, (640 - int32_t(width)) / 2);
    }
    uint32_t fills, paints, invalidations;
    paint_screen_counts(screen(), &fills, &paints, &invalidations);
    EXPECT_EQ(invalidations, 4u);
    EXPECT_EQ(screen_pixel(screen(), 320, 240), frame_colour(0));
    EXPECT_EQ(screen_pixel(screen(), 118, 240), frame_colour(0));  // 404 wide from x 118
    EXPECT_EQ(screen_pixel(screen(), 117, 240), BAR_COLOUR);

    // At 400% another zoom in changes nothing and repaints nothing.
    set_zoom(player(), -1);
    EXPECT_EQ(player()->zoom_index, 0);
    EXPECT_EQ(player()->view_width, 404u);
    paint_screen_counts(screen(), &fills, &paints, &invalidations);
    EXPECT_EQ(invalidations, 4u);

    for (int k = 0; k < 7; k++) set_zoom(player(), 1);
    EXPECT_EQ(player()->zoom_index, 7);
    EXPECT_EQ(player()->view_width, 25u);
    EXPECT_EQ(player()->view_height, 18u);
    set_zoom(player(), 1);
    paint_screen_counts(screen(), &fills, &paints, &invalidations);
    EXPECT_EQ(invalidations, 11u);
    EXPECT_EQ(player()->zoom_index, 7);

    // A reset gives the 100% size but leaves the layout to its caller.
    int32_t old_x = player()->view_x;
    EXPECT_EQ(set_zoom(player(), 0), 0);
    EXPECT_EQ(player()->zoom_index, 4);
    EXPECT_EQ(player()->view_width, 101u);
    EXPECT_EQ(player()->view_height, 75u);
    EXPECT_EQ(player()->view_x, old_x);
    paint_screen_counts(screen(), &fills, &paints, &invalidations);
    EXPECT_EQ(invalidations, 11u);

    set_zoom(player(), 5);  // no such step
    EXPECT_EQ(player()->zoom_index, 4);
}

TEST_F(LayoutTest, ResizeRepaintsAllOrOnlyTheBars) {
    struct Case {
        const char* name;
        uint32_t frame_count;
        uint32_t playing;
        uint32_t delay_ms;
        bool full_repaint;
    };
    const Case cases[] = {
        {"fast playback", 2, 1, 40, false}, {"50 ms frames", 2, 1, 50, false},
        {"slow playback", 2, 1, 60, true},  {"paused", 2, 0, 40, true},
        {"one frame", 1, 1, 40, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load(100, 80, 200, 200);
        anim()->animation.frame_count = c.frame_count;  // the one frame is what is shown
        // A playback thread's state, without the thread.
        player()->playing.store(c.playing);
        player()->frame_delay_ms.store(c.delay_ms);
        fill_screen(screen(), STALE);
        paint_screen_clear_log(screen());
        resize_view(200, 200, player());
        uint32_t fills, paints, invalidations;
        paint_screen_counts(screen(), &fills, &paints, &invalidations);
        EXPECT_EQ(invalidations, c.full_repaint ? 1u : 0u);
        EXPECT_EQ(screen_pixel(screen(), 0, 0), BAR_COLOUR);
        EXPECT_EQ(screen_pixel(screen(), 199, 199), BAR_COLOUR);
        EXPECT_EQ(screen_pixel(screen(), 100, 100), c.full_repaint ? frame_colour(0) : STALE);
        player()->playing.store(0);
    }
}

TEST_F(LayoutTest, LayoutAndZoomWaitForThePaintLock) {
    load(100, 80, 300, 200);
    // While the playback thread holds the lock (here: this thread), neither
    // a layout nor a zoom may change the rectangle it draws with.
    acquire_paint_lock(player());
    std::thread layout([this] { layout_view(500, 400, player()); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(player()->view_x, 100);
    EXPECT_EQ(player()->border_right.right, 300);
    release_paint_lock(player());
    layout.join();
    EXPECT_EQ(player()->view_x, 200);
    EXPECT_EQ(player()->border_right.right, 500);

    acquire_paint_lock(player());
    std::thread zoom([this] { set_zoom(player(), -1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(player()->view_width, 100u);
    release_paint_lock(player());
    zoom.join();
    EXPECT_EQ(player()->view_width, 125u);
}

TEST_F(LayoutTest, ClearingThePlayerKeepsZoomAndWindow) {
    load(100, 80, 300, 200, 2);
    player()->reverse = 1;
    player()->speed_index.store(3);
    player()->start_frame = 7;
    clear_player_state(player());
    EXPECT_EQ(player()->view_width, 0u);
    EXPECT_EQ(player()->view_x, 0);
    EXPECT_EQ(player()->reverse, 0u);
    EXPECT_EQ(player()->speed_index.load(), 0);
    EXPECT_EQ(player()->start_frame, 0u);
    EXPECT_EQ(player()->zoom_index, 2);
    EXPECT_EQ(player()->window, screen());
    EXPECT_TRUE(same_rect(player()->border_top,
                          Rect{.left = 0, .top = 0, .right = 300, .bottom = 40}));
}

}  // namespace
