// The playback engine: the real thread over small animations of solid-colour
// frames drawn into the native paint screen, the speed-change timing driven
// by a scripted clock, and the frame schedule under a model of Windows' timer.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "player/load_steps.h"
#include "player/paint.h"
#include "player/playback.h"
#include "player/view.h"
#include "player_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<uint32_t> drawn_indexes(PaintScreen* screen) {
    std::vector<uint32_t> indexes;
    for (const PaintRecord& record : paint_screen_frames(screen)) indexes.push_back(record.frame);
    return indexes;
}

// frames of 4 x 4 pixels in a 20 x 20 client area, at normal speed and zoom.
std::unique_ptr<PlayerRig> make_player(const std::vector<uint32_t>& delays, uint32_t loop_count) {
    auto rig = std::make_unique<PlayerRig>();
    make_animation(&rig->anim, 4, 4, delays, loop_count);
    setup_player(&rig->test, &rig->anim.animation, 20, 20);
    Player* player = &rig->test.player;
    player->speed_index.store(SPEED_NORMAL);
    set_zoom(player, 0);
    layout_view(20, 20, player);
    return rig;
}

bool idle(Player* player) { return player->playing.load(std::memory_order_acquire) == 0; }

uint32_t picture_colour(PlayerRig* rig) { return screen_pixel(&rig->test.screen, 10, 10); }

TEST(PlaybackScale, DelayRuleOfEverySpeedStep) {
    const uint32_t for_100[SPEED_STEPS] = {6, 12, 25, 50, 56, 68, 81, 89, 100, 131, 200, 400, 800, 1600};
    for (int32_t s = 0; s < SPEED_STEPS; s++) EXPECT_EQ(scale_delay(100, s), for_100[s]) << s;
    // Each term rounds down on its own: 1000 at 1.125 is 1000 + 15 - 125.
    EXPECT_EQ(scale_delay(1000, 7), 890u);
    EXPECT_EQ(scale_delay(1000, 9), 1312u);
    EXPECT_EQ(scale_delay(15, 4), 7u);   // 7 + 0
    EXPECT_EQ(scale_delay(100, -1), 100u);
    EXPECT_EQ(scale_delay(100, 14), 100u);
}

TEST(PlaybackPasses, FiniteLoopCountsAndStartIndexes) {
    struct Case {
        const char* name;
        uint32_t frames, loop_count, start, reverse;
        std::vector<uint32_t> drawn;
    };
    const Case cases[] = {
        {"one pass from 0", 5, 1, 0, 0, {0, 1, 2, 3, 4}},
        {"two passes from 3", 5, 2, 3, 0, {3, 4, 0, 1, 2, 3, 4}},
        {"start at the frame count, two passes", 5, 2, 5, 0, {0, 1, 2, 3, 4}},
        {"start at the frame count, one pass", 5, 1, 5, 0, {}},
        {"reverse, one pass from the last", 5, 1, 4, 1, {4, 3, 2, 1, 0}},
        {"reverse, two passes from 1", 5, 2, 1, 1, {1, 0, 4, 3, 2, 1, 0}},
        {"reverse, two frames, three passes", 2, 3, 0, 1, {0, 1, 0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto rig = make_player(std::vector<uint32_t>(c.frames, 0), c.loop_count);
        Player* player = &rig->test.player;
        player->reverse = c.reverse;
        start_playback(player, c.start);
        ASSERT_TRUE(wait_until([&] { return idle(player); }));
        EXPECT_EQ(drawn_indexes(&rig->test.screen), c.drawn);
        // The last frame drawn stays on show, and the window is told once.
        EXPECT_EQ(display_shown(player), c.drawn.empty() ? NO_FRAME : c.drawn.back());
        if (!c.drawn.empty()) {
            EXPECT_EQ(picture_colour(rig.get()), frame_colour(c.drawn.back()));
        }
        EXPECT_EQ(rig->test.screen.ended_runs, 1u);
        EXPECT_EQ(playback_ended(player, rig->test.screen.ended_run), 1);
        EXPECT_EQ(playback_ended(player, rig->test.screen.ended_run - 1), 0);  // an older thread's
        // The bars were filled once by the thread.
        EXPECT_EQ(screen_pixel(&rig->test.screen, 0, 0), BAR_COLOUR);
    }
}

TEST(PlaybackPasses, EndlessPlaybackSeesAStopAfterEveryFrame) {
    // All delays 0: frames follow as fast as drawing allows.
    auto rig = make_player({0, 0, 0}, 0);
    Player* player = &rig->test.player;
    start_playback(player, 1);
    ASSERT_TRUE(wait_until([&] { return paint_screen_frame_count(&rig->test.screen) >= 20; }));
    stop_playback(player);
    EXPECT_TRUE(idle(player));
    std::vector<uint32_t> drawn = drawn_indexes(&rig->test.screen);
    ASSERT_GE(drawn.size(), 20u);
    for (size_t k = 0; k < drawn.size(); k++) ASSERT_EQ(drawn[k], (1 + k) % 3) << k;
    // The frame on show is the one the thread stopped at; a stop asked for
    // is not told to the window.
    EXPECT_EQ(display_shown(player), drawn.back());
    EXPECT_EQ(picture_colour(rig.get()), frame_colour(drawn.back()));
    EXPECT_EQ(rig->test.screen.ended_runs, 0u);
}

TEST(PlaybackHandshake, StopMergedWithASpeedChangeEndsTheFrameAtOnce) {
    auto rig = make_player({5000, 5000}, 0);
    Player* player = &rig->test.player;
    start_playback(player, 0);
    ASSERT_TRUE(wait_until([&] { return paint_screen_frame_count(&rig->test.screen) >= 1; }));
    // Slower speed and a stop in a row: the two signals may merge into one.
    auto begin = Clock::now();
    speed_down(player);
    stop_playback(player);
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin);
    EXPECT_LT(took.count(), 2000);  // not the 6562 ms of the frame at the new speed
    EXPECT_EQ(display_shown(player), 0u);
    EXPECT_EQ(drawn_indexes(&rig->test.screen), std::vector<uint32_t>{0});
}

struct SpeedChange {
    Player* player;
    uint32_t on_frame;
    int32_t new_speed;
};

void change_speed_on_draw(uint32_t index, void* context) {
    SpeedChange* change = static_cast<SpeedChange*>(context);
    if (index != change->on_frame) return;
    change->player->speed_index.store(change->new_speed);
    os_event_set(change->player->stop_event);
}

TEST(PlaybackHandshake, SpeedChangeRightAfterDrawingKeepsTheFrameItsDelay) {
    // The speed changes while frame 1 is drawn, before the thread reads the
    // speed: the frame is timed at the new speed already, and the signal left
    // in the event must not end it early.
    auto rig = make_player({0, 300, 0}, 1);
    Player* player = &rig->test.player;
    SpeedChange change{player, 1, 7};
    rig->test.screen.on_frame = change_speed_on_draw;
    rig->test.screen.on_frame_context = &change;
    start_playback(player, 0);
    ASSERT_TRUE(wait_until([&] { return idle(player); }));
    std::vector<PaintRecord> drawn = paint_screen_frames(&rig->test.screen);
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(player->frame_delay_ms.load(), 0u);
    EXPECT_GE(drawn[2].tick - drawn[1].tick, scale_delay(300, 7) - 2);  // 267 ms
}

TEST(PlaybackHandshake, SpeedChangesRetimeTheFrameOnShow) {
    // Faster: eight steps up during a 1200 ms frame end it at 75 ms.
    {
        auto rig = make_player({1200, 0}, 1);
        Player* player = &rig->test.player;
        start_playback(player, 0);
        ASSERT_TRUE(wait_until([&] { return paint_screen_frame_count(&rig->test.screen) >= 1; }));
        for (int k = 0; k < 8; k++) speed_up(player);
        EXPECT_EQ(player->speed_index.load(), 0);
        ASSERT_TRUE(wait_until([&] { return idle(player); }));
        std::vector<PaintRecord> drawn = paint_screen_frames(&rig->test.screen);
        ASSERT_EQ(drawn.size(), 2u);
        uint32_t shown = drawn[1].tick - drawn[0].tick;
        EXPECT_GE(shown, 75u - 2);
        EXPECT_LT(shown, 1000u);
    }
    // Slower: one step down during a 200 ms frame keeps it 262 ms.
    {
        auto rig = make_player({200, 0}, 1);
        Player* player = &rig->test.player;
        start_playback(player, 0);
        ASSERT_TRUE(wait_until([&] { return paint_screen_frame_count(&rig->test.screen) >= 1; }));
        speed_down(player);
        ASSERT_TRUE(wait_until([&] { return idle(player); }));
        std::vector<PaintRecord> drawn = paint_screen_frames(&rig->test.screen);
        ASSERT_EQ(drawn.size(), 2u);
        EXPECT_GE(drawn[1].tick - drawn[0].tick, 262u - 2);
        EXPECT_EQ(player->frame_delay_ms.load(), 0u);  // frame 1 at speed 9 of 0 ms
    }
}

// A scripted clock: waits advance virtual time instead of sleeping, and an
// action may fire at a given moment of a wait.
struct ScriptedClock {
    uint32_t now;
    std::vector<uint32_t> waits;  // the timeouts asked for
    // Optional: during the first wait, at this many ms into it, request a stop.
    uint32_t stop_after;
    Player* player;
};

uint32_t scripted_tick(void* context) { return static_cast<ScriptedClock*>(context)->now; }

int scripted_wait(OsEvent* event, uint32_t timeout_ms, void* context) {
    (void)event;
    ScriptedClock* clock = static_cast<ScriptedClock*>(context);
    clock->waits.push_back(timeout_ms);
    if (clock->stop_after && clock->stop_after < timeout_ms) {
        clock->now += clock->stop_after;
        clock->stop_after = 0;
        clock->player->stop_requested.store(1);
        return 1;
    }
    clock->now += timeout_ms;
    return 0;
}

TEST(PlaybackSpeedTiming, ThousandMillisecondFrame) {
    // A 1000 ms frame drawn at t0 at speed 8; the event woke the thread at
    // "press" ms with the speed already changed (or not).
    struct Case {
        const char* name;
        uint32_t t0;
        uint32_t press;
        int32_t speed_after;
        uint32_t stop_requested;
        uint32_t stop_after;  // a stop arriving during the wait-out
        uint32_t ends_at;     // ms after t0
    };
    const Case cases[] = {
        {"Up after 300 ms", 5000, 300, 7, 0, 0, 890},
        {"Up after 950 ms", 5000, 950, 7, 0, 0, 950},
        {"Down after 300 ms", 5000, 300, 9, 0, 0, 1312},
        {"Down across the tick wrap", 0xFFFFFF00u, 300, 9, 0, 0, 1312},
        {"Up across the tick wrap", 0xFFFFFE00u, 950, 7, 0, 0, 950},
        {"changed and changed back", 5000, 300, 8, 0, 0, 1000},
        {"stop merged with a speed change", 5000, 300, 9, 1, 0, 300},
        {"stop during the wait-out", 5000, 300, 9, 0, 100, 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Player player{};
        ScriptedClock clock{c.t0 + c.press, {}, c.stop_after, &player};
        PlaybackServices services{.tick = scripted_tick, .wait = scripted_wait, .context = &clock};
        player.services = &services;
        player.speed_index.store(c.speed_after);
        player.stop_requested.store(c.stop_requested);
        wait_out_speed_change(c.t0, SPEED_NORMAL, 1000, &player);
        EXPECT_EQ(clock.now - c.t0, c.ends_at);
    }
}

TEST(PlaybackSpeedTiming, LeftoverWakeUpDoesNotCutTheFrameShort) {
    // The frame was drawn at speed 7 after the change; the leftover signal
    // wakes the thread 5 ms in.
    Player player{};
    ScriptedClock clock{1005, {}, 0, &player};
    PlaybackServices services{.tick = scripted_tick, .wait = scripted_wait, .context = &clock};
    player.services = &services;
    player.speed_index.store(7);
    wait_out_speed_change(1000, 7, 1000, &player);
    EXPECT_EQ(clock.now, 1890u);
    EXPECT_EQ(clock.waits, std::vector<uint32_t>{885});
}

// A model of Windows' timer around a playback thread run on the test's own
// thread. The model keeps the true time in microseconds; the engine reads it
// through a clock of 1 ms resolution (the performance counter). A wait ends
// on a timer tick, up to one tick before or after its timeout (which one is
// drawn from a seeded generator): 15.625 ms ticks by default, 1 ms ticks while
// a granted fine timer request is in force. Drawing a frame takes paint_us of
// true time (slow_paint_us for the frame drawn slow_draw-th). Every
// assertion reads the true times at which frames began to be drawn.
struct WindowsTimer {
    int64_t now_us;
    uint32_t seed;
    int takes_request;      // the fine timer request is taken (else refused)
    int answers_request;    // a taken request is honoured (else ignored)
    int fine;               // a fine timer is in force
    int requests, releases;
    size_t released_at;     // frames drawn when the request was last ended
    int64_t paint_us;
    size_t slow_draw;       // index in drawn_us of the one slow drawing
    int64_t slow_paint_us;
    std::vector<int64_t> drawn_us;
    // A speed change made by the window's thread at this true time (0: none).
    int64_t change_at_us;
    void (*change)(Player* player);
    Player* player;
};

constexpr int64_t DEFAULT_TICK_US = 15625;

uint32_t model_tick(void* context) {
    return uint32_t(static_cast<WindowsTimer*>(context)->now_us / 1000);  // wraps as a tick count does
}

int model_wait(OsEvent* event, uint32_t timeout_ms, void* context) {
    WindowsTimer* timer = static_cast<WindowsTimer*>(context);
    if (os_event_wait(event, 0)) return 1;  // a signal was waiting
    if (timeout_ms == 0) return 0;
    int64_t tick = timer->fine ? 1000 : DEFAULT_TICK_US;
    int64_t target = timer->now_us + int64_t(timeout_ms) * 1000;
    // The ticks after now within one tick of the timeout; pick one.
    int64_t low = std::max(timer->now_us + 1, target - tick);
    int64_t first = (low + tick - 1) / tick * tick;
    int64_t last = (target + tick) / tick * tick;
    timer->seed = timer->seed * 1664525u + 1013904223u;
    int64_t end = first + tick * int64_t((timer->seed >> 8) % uint32_t((last - first) / tick + 1));
    if (timer->change_at_us && timer->change_at_us <= end) {
        timer->now_us = std::max(timer->now_us, timer->change_at_us);
        timer->change_at_us = 0;
        timer->change(timer->player);  // sets the event
        return os_event_wait(event, 0);
    }
    timer->now_us = end;
    return 0;
}

int model_fine_timer_begin(void* context) {
    WindowsTimer* timer = static_cast<WindowsTimer*>(context);
    timer->requests++;
    if (!timer->takes_request) return 0;
    timer->fine = timer->answers_request;
    return 1;
}

void model_fine_timer_end(void* context) {
    WindowsTimer* timer = static_cast<WindowsTimer*>(context);
    timer->releases++;
    timer->fine = 0;
    timer->released_at = timer->drawn_us.size();
}

void model_paint(uint32_t, void* context) {
    WindowsTimer* timer = static_cast<WindowsTimer*>(context);
    bool slow = timer->slow_paint_us && timer->drawn_us.size() == timer->slow_draw;
    timer->drawn_us.push_back(timer->now_us);
    timer->now_us += slow ? timer->slow_paint_us : timer->paint_us;
}

int run_here(uint32_t (*procedure)(void*), void* argument, void*) {
    procedure(argument);
    return 1;
}

// Plays the frames once or more (loop_count) through start_playback, the
// thread procedure running on this thread to its end under the timer model.
void play_under(WindowsTimer* timer, const std::vector<uint32_t>& delays, uint32_t loop_count) {
    auto rig = make_player(delays, loop_count);
    Player* player = &rig->test.player;
    PlaybackServices services{.tick = model_tick, .wait = model_wait, .start_thread = run_here,
                              .fine_timer_begin = model_fine_timer_begin,
                              .fine_timer_end = model_fine_timer_end, .context = timer};
    player->services = &services;
    timer->player = player;
    rig->test.screen.on_frame = model_paint;
    rig->test.screen.on_frame_context = timer;
    start_playback(player, 0);
    EXPECT_TRUE(idle(player));
    EXPECT_EQ(timer->releases, timer->takes_request ? timer->requests : 0);  // each ended once
}

double ms_between(const WindowsTimer& timer, size_t from, size_t to) {
    return double(timer.drawn_us[to] - timer.drawn_us[from]) / 1000.0;
}

// Start times: several phases against the timer's tick, and one just before
// the millisecond clock wraps.
const int64_t START_US[] = {1'000'000'000, 1'000'003'300, 1'000'007'812, 1'000'011'111,
                            (int64_t(1) << 32) * 1000 - 700'000};

TEST(PlaybackPace, PassOfTwentyMillisecondFramesOnTheDefaultTimer) {
    // The fine timer refused, or taken and ignored: 100 frames of 20 ms, each
    // drawn in 5 ms, still last 2000 ms a pass (a schedule from the end of
    // each drawing gives about 3125).
    for (int takes = 0; takes < 2; takes++) {
        for (int64_t start : START_US) {
            for (uint32_t seed = 1; seed <= 6; seed++) {
                SCOPED_TRACE(testing::Message() << "taken " << takes << ", start " << start << ", seed " << seed);
                WindowsTimer timer{};
                timer.now_us = start;
                timer.seed = seed;
                timer.takes_request = takes;
                timer.paint_us = 5000;
                play_under(&timer, std::vector<uint32_t>(100, 20), 2);
                ASSERT_EQ(timer.drawn_us.size(), 200u);
                EXPECT_EQ(timer.requests, 1);  // a refusal is not asked again
                EXPECT_NEAR(ms_between(timer, 0, 100), 2000.0, 32.0);
            }
        }
    }
}

TEST(PlaybackPace, EveryFrameItsTimeOnAFineTimer) {
    for (int64_t start : START_US) {
        for (uint32_t seed = 1; seed <= 4; seed++) {
            SCOPED_TRACE(testing::Message() << "start " << start << ", seed " << seed);
            WindowsTimer timer{};
            timer.now_us = start;
            timer.seed = seed;
            timer.takes_request = timer.answers_request = 1;
            timer.paint_us = 5000;
            play_under(&timer, std::vector<uint32_t>(100, 20), 2);
            ASSERT_EQ(timer.drawn_us.size(), 200u);
            for (size_t k = 0; k + 1 < timer.drawn_us.size(); k++)
                ASSERT_NEAR(ms_between(timer, k, k + 1), 20.0, 2.0) << "frame " << k;
        }
    }
}

// A timer model on a granted fine timer with 5 ms paints, from start.
WindowsTimer fine_timer_at(int64_t start) {
    WindowsTimer timer{};
    timer.now_us = start;
    timer.seed = 7;
    timer.takes_request = timer.answers_request = 1;
    timer.paint_us = 5000;
    return timer;
}

TEST(PlaybackPace, SpeedChangeEndsTheFrameByItsDueTime) {
    // Frame 1 (900 ms) is due 20 ms after the start; 300 ms into it the
    // speed changes. It ends at its delay at the new speed counted from its
    // due time (not from its drawing, 5 ms later), and frame 2 is due then.
    // Frame 0 takes the fine timer, and one long frame keeps it.
    struct Case {
        const char* name;
        void (*change)(Player*);
        double frame_1_ms, frame_2_ms;
    };
    const Case cases[] = {{"Up", speed_up, 802, 35}, {"Down", speed_down, 1181, 52}};
    for (const Case& c : cases) {
        for (int64_t start : START_US) {
            SCOPED_TRACE(testing::Message() << c.name << ", start " << start);
            WindowsTimer timer = fine_timer_at(start);
            timer.change_at_us = start + 320'000;
            timer.change = c.change;
            play_under(&timer, {20, 900, 40, 40}, 1);
            ASSERT_EQ(timer.drawn_us.size(), 4u);
            int64_t due_1_us = (start / 1000 + 20) * 1000;
            double frame_1_ends = double(timer.drawn_us[2] - due_1_us) / 1000.0;
            EXPECT_GE(frame_1_ends, c.frame_1_ms);
            EXPECT_LT(frame_1_ends, c.frame_1_ms + 2.0);
            EXPECT_NEAR(ms_between(timer, 2, 3), c.frame_2_ms, 2.0);
        }
    }
}

TEST(PlaybackPace, FineTimerOnlyWhileWaitsAreShort) {
    // 200 ms frames do without it and do not drift; short and long frames by
    // turns keep it until long waits have lasted a second; a speed change to
    // short frames takes it.
    std::vector<uint32_t> by_turns, long_run(5, 20);
    for (int k = 0; k < 20; k++) by_turns.insert(by_turns.end(), {20, 200});
    long_run.insert(long_run.end(), 10, 300);
    void (*to_50_ms)(Player*) = [](Player* p) { for (int k = 0; k < 6; k++) speed_up(p); };
    struct Case {
        std::vector<uint32_t> delays;
        void (*change)(Player*);  // at 500 ms
        int requests;
        size_t released_at;  // frames drawn
        double all_frames_ms, tolerance;
    } const cases[] = {{std::vector<uint32_t>(100, 200), nullptr, 0, 0, 19800, 17},
                       {by_turns, nullptr, 1, 40, 4200, 2}, {long_run, nullptr, 1, 9, 2800, 17},
                       {std::vector<uint32_t>(10, 200), to_50_ms, 1, 10, 750, 17}};
    for (const Case& c : cases) {
        WindowsTimer timer = fine_timer_at(START_US[1]);
        timer.change_at_us = c.change ? START_US[1] + 500'000 : 0;
        timer.change = c.change;
        play_under(&timer, c.delays, 1);
        ASSERT_EQ(timer.drawn_us.size(), c.delays.size());
        EXPECT_EQ(timer.requests, c.requests) << c.delays.size();
        EXPECT_EQ(timer.released_at, c.released_at) << c.delays.size();
        EXPECT_NEAR(ms_between(timer, 0, c.delays.size() - 1), c.all_frames_ms, c.tolerance);
    }
}

TEST(PlaybackPace, SlowDrawingIsFollowedAtOnceWithoutABurst) {
    // The fourth frame's drawing takes 50 ms, past its 20 ms.
    for (int64_t start : START_US) {
        SCOPED_TRACE(start);
        WindowsTimer timer = fine_timer_at(start);
        timer.slow_draw = 3;
        timer.slow_paint_us = 50'000;
        play_under(&timer, std::vector<uint32_t>(10, 20), 1);
        ASSERT_EQ(timer.drawn_us.size(), 10u);
        EXPECT_EQ(ms_between(timer, 3, 4), 50.0);
        for (size_t k = 4; k < 9; k++) EXPECT_NEAR(ms_between(timer, k, k + 1), 20.0, 2.0) << k;
    }
}

TEST(PlaybackPace, RunOfZeroMillisecondFramesLeavesTheNextItsWholeDelay) {
    for (int64_t start : START_US) {
        SCOPED_TRACE(start);
        WindowsTimer timer = fine_timer_at(start);
        play_under(&timer, {20, 0, 0, 0, 0, 0, 20, 20}, 1);
        ASSERT_EQ(timer.drawn_us.size(), 8u);
        // A delay of 0 shows the next frame as soon as it is drawn.
        for (size_t k = 1; k < 6; k++) EXPECT_EQ(ms_between(timer, k, k + 1), 5.0) << k;
        EXPECT_NEAR(ms_between(timer, 6, 7), 20.0, 2.0);
    }
}

struct CommandCase {
    const char* name;
    uint32_t reverse;
    uint32_t current;
    int (*command)(Player*);
    uint32_t first_drawn;
    uint32_t reverse_after;
};

int toggle(Player* player) {
    toggle_direction(player);
    return 1;
}

TEST(PlaybackCommands, NeighboursChosenByToggleAndPlayPause) {
    const CommandCase cases[] = {
        {"R forward at frame 0", 0, 0, toggle, 4, 1},
        {"R forward at frame 2", 0, 2, toggle, 1, 1},
        {"R reverse at the last frame", 1, 4, toggle, 0, 0},
        {"R reverse at frame 2", 1, 2, toggle, 3, 0},
        {"P forward at frame 2", 0, 2, play_pause, 3, 0},
        {"P forward at the last frame", 0, 4, play_pause, 0, 0},
        {"P reverse at frame 1", 1, 1, play_pause, 0, 1},
        {"P reverse at frame 0", 1, 0, play_pause, 4, 1},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Long frames: the first frame drawn stays until the stop.
        auto rig = make_player(std::vector<uint32_t>(5, 10000), 0);
        Player* player = &rig->test.player;
        player->reverse = c.reverse;
        display_show(player, c.current);
        EXPECT_EQ(c.command(player), 1);
        EXPECT_EQ(player->reverse, c.reverse_after);
        ASSERT_TRUE(wait_until([&] { return paint_screen_frame_count(&rig->test.screen) >= 1; }));
        EXPECT_FALSE(idle(player));
        // P while playing pauses on the frame on show.
        EXPECT_EQ(play_pause(player), 0);
        EXPECT_TRUE(idle(player));
        EXPECT_EQ(display_shown(player), c.first_drawn);
        EXPECT_EQ(drawn_indexes(&rig->test.screen), std::vector<uint32_t>{c.first_drawn});
    }
}

TEST(PlaybackCommands, ToggleWhilePlayingContinuesFromTheNeighbour) {
    auto rig = make_player(std::vector<uint32_t>(5, 10000), 0);
    Player* player = &rig->test.player;
    start_playback(player, 3);
    ASSERT_TRUE(wait_until([&] { return paint_screen_frame_count(&rig->test.screen) >= 1; }));
    toggle_direction(player);
    ASSERT_TRUE(wait_until([&] { return paint_screen_frame_count(&rig->test.screen) >= 2; }));
    stop_playback(player);
    EXPECT_EQ(drawn_indexes(&rig->test.screen), (std::vector<uint32_t>{3, 2}));
}

TEST(PlaybackCommands, PlayOnFromTheFrameOnShowAfterAPassRanOut) {
    // A file played once: every pass runs from the neighbour of the frame
    // on show in its direction, wrapping, and counts whole.
    auto rig = make_player(std::vector<uint32_t>(4, 0), 1);
    Player* player = &rig->test.player;
    using Frames = std::vector<uint32_t>;
    auto pass = [&](void (*command)(Player*)) {
        paint_screen_clear_log(&rig->test.screen);
        command(player);
        EXPECT_TRUE(wait_until([&] { return idle(player); }));
        return drawn_indexes(&rig->test.screen);
    };
    auto step = [&](void (*command)(Player*)) {
        command(player);
        return display_shown(player);
    };
    auto p = [](Player* player) { play_pause(player); };
    EXPECT_EQ(pass(start_after_load), (Frames{0, 1, 2, 3}));
    EXPECT_EQ(pass(p), (Frames{0, 1, 2, 3}));
    EXPECT_EQ(step(step_previous), 2u);
    EXPECT_EQ(step(step_next), 3u);
    EXPECT_EQ(step(step_next), 0u);
    EXPECT_EQ(step(step_previous), 3u);
    EXPECT_EQ(pass(p), (Frames{0, 1, 2, 3}));
    // R turns round from the frame on show; in reverse the pass runs out on
    // frame 0, and P goes on with the last.
    EXPECT_EQ(pass(toggle_direction), (Frames{2, 1, 0}));
    EXPECT_EQ(pass(p), (Frames{3, 2, 1, 0}));
    EXPECT_EQ(step(step_next), 1u);
    EXPECT_EQ(step(step_previous), 0u);
    EXPECT_EQ(pass(p), (Frames{3, 2, 1, 0}));

    // Endless: paused on the last frame, P plays on from frame 0.
    auto endless = make_player(std::vector<uint32_t>(4, 10000), 0);
    display_show(&endless->test.player, 3);
    play_pause(&endless->test.player);
    ASSERT_TRUE(wait_until([&] { return paint_screen_frame_count(&endless->test.screen) >= 1; }));
    stop_playback(&endless->test.player);
    EXPECT_EQ(drawn_indexes(&endless->test.screen), Frames{0});
}

TEST(PlaybackCommands, RewindDuringReversePlayback) {
    auto rig = make_player(std::vector<uint32_t>(5, 10000), 0);
    Player* player = &rig->test.player;
    player->reverse = 1;
    start_playback(player, 3);
    ASSERT_TRUE(wait_until([&] { return paint_screen_frame_count(&rig->test.screen) >= 1; }));
    rewind(player);
    EXPECT_TRUE(idle(player));
    EXPECT_EQ(display_shown(player), 0u);
    EXPECT_EQ(player->reverse, 0u);
    // The caller repaints: frame 0 is what memory_dc holds.
    paint_invalidate_now(player);
    EXPECT_EQ(picture_colour(rig.get()), frame_colour(0));
}

TEST(PlaybackCommands, StepsWrapAroundAndWaitForAPause) {
    struct Case {
        const char* name;
        void (*step)(Player*);
        uint32_t from, to;
    };
    const Case cases[] = {
        {"N", step_next, 1, 2},
        {"N at the last frame", step_next, 4, 0},
        {"V", step_previous, 3, 2},
        {"V at frame 0", step_previous, 0, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto rig = make_player(std::vector<uint32_t>(5, 100), 0);
        Player* player = &rig->test.player;
        display_show(player, c.from);
        c.step(player);
        EXPECT_EQ(display_shown(player), c.to);
        paint_invalidate_now(player);
        EXPECT_EQ(picture_colour(rig.get()), frame_colour(c.to));

        // While playing (a thread's state, without the thread) it changes nothing.
        player->playing.store(1);
        c.step(player);
        EXPECT_EQ(display_shown(player), c.to);
        player->playing.store(0);
    }
}

TEST(PlaybackCommands, SpeedLimitsDoNotWakeTheThread) {
    struct Case {
        const char* name;
        void (*command)(Player*);
        uint32_t playing;
        int32_t from, to;
        int wakes;
    };
    const Case cases[] = {
        {"Up", speed_up, 1, 8, 7, 1},
        {"Down", speed_down, 1, 8, 9, 1},
        {"Up at 16.00", speed_up, 1, 0, 0, 0},
        {"Down at 0.0625", speed_down, 1, 13, 13, 0},
        {"Up while paused", speed_up, 0, 8, 8, 0},
        {"Down while paused", speed_down, 0, 8, 8, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto rig = make_player({100, 100}, 0);
        Player* player = &rig->test.player;
        player->playing.store(c.playing);  // a thread's state, without the thread
        player->speed_index.store(c.from);
        c.command(player);
        EXPECT_EQ(player->speed_index.load(), c.to);
        EXPECT_EQ(os_event_wait(player->stop_event, 0), c.wakes);
        player->playing.store(0);
    }
}

int refuse_thread(uint32_t (*)(void*), void*, void*) { return 0; }

TEST(PlaybackStart, ThreadThatCannotBeCreatedLeavesPlaybackIdle) {
    struct Case {
        uint32_t reverse, first, current_after;
    };
    const Case cases[] = {{0, 5, 0}, {0, 3, 3}, {1, 4, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        auto rig = make_player(std::vector<uint32_t>(5, 100), 0);
        Player* player = &rig->test.player;
        PlaybackServices services{.start_thread = refuse_thread};
        player->services = &services;
        player->reverse = c.reverse;
        start_playback(player, c.first);
        if (!idle(player)) {
            ADD_FAILURE() << "playing stays set without a thread";
            player->playing.store(0);  // or every stop would wait for ever
            continue;
        }
        EXPECT_EQ(display_shown(player), c.current_after);  // a frame that exists is shown
        stop_playback(player);  // returns: nothing to wait for
        step_next(player);      // and a step stays inside the table
        EXPECT_EQ(display_shown(player), (c.current_after + 1) % 5);
        EXPECT_EQ(play_pause(player), 1);  // refused again, still idle
        EXPECT_TRUE(idle(player));
        EXPECT_LT(display_shown(player), 5u);
    }
}

TEST(PlaybackLoad, ShowAndUnloadAnAnimation) {
    struct Case {
        const char* name;
        uint32_t frames;
        uint32_t previewed;  // frames the loading preview showed
        bool plays;
    };
    const Case cases[] = {
        {"three frames", 3, 0, true},
        {"after a preview of two", 3, 2, true},
        {"one frame", 1, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto rig = make_player(std::vector<uint32_t>(c.frames, 10000), 0);
        Player* player = &rig->test.player;
        player->zoom_index = 1;
        player->speed_index.store(2);
        if (c.previewed) display_show(player, c.previewed - 1);
        show_animation(player, 20, 20);
        EXPECT_EQ(player->speed_index.load(), SPEED_NORMAL);
        EXPECT_EQ(player->zoom_index, ZOOM_NORMAL);
        EXPECT_EQ(player->view_width, 4u);
        EXPECT_EQ(player->view_x, 8);
        EXPECT_EQ(!idle(player), c.plays);
        if (c.plays) {
            ASSERT_TRUE(wait_until([&] { return paint_screen_frame_count(&rig->test.screen) >= 1; }));
        }
        EXPECT_EQ(picture_colour(rig.get()), frame_colour(c.previewed));

        unload_animation(player);
        EXPECT_TRUE(idle(player));
        EXPECT_EQ(display_shown(player), NO_FRAME);
        EXPECT_EQ(rig->anim.animation.frames, nullptr);  // released with its frames
        EXPECT_EQ(player->view_width, 0u);
        EXPECT_EQ(player->zoom_index, ZOOM_NORMAL);
        // No frame stays selected: a repaint now shows the bars alone.
        layout_view(20, 20, player);
        paint_invalidate_now(player);
        EXPECT_EQ(picture_colour(rig.get()), BAR_COLOUR);
    }
}

// The preview showed every frame of a file played once: the first pass is
// empty and ends the thread at once, and the last frame stays on show.
TEST(PlaybackLoad, PreviewOfEveryFrameLeavesTheLastOneOnShow) {
    auto rig = make_player(std::vector<uint32_t>(3, 10), 1);
    Player* player = &rig->test.player;
    display_show(player, 2);  // where the preview left the display
    show_animation(player, 20, 20);
    ASSERT_TRUE(wait_until([&] { return idle(player); }));
    EXPECT_TRUE(drawn_indexes(&rig->test.screen).empty());
    EXPECT_EQ(paused_frame(player), 2u);
    layout_view(20, 20, player);
    paint_invalidate_now(player);
    EXPECT_EQ(picture_colour(rig.get()), frame_colour(2));
}

}  // namespace
