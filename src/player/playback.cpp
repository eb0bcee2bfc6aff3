// The playback engine: the thread that shows frame after frame, and the
// operations around it (start, stop, direction, pause, rewind, steps, speed).
#include "player/playback.h"

#include "player/display.h"
#include "player/paint.h"
#include "player/view.h"

uint32_t scale_delay(uint32_t d, int32_t speed_index) {
    switch (speed_index) {
        case 0: return d / 16;
        case 1: return d / 8;
        case 2: return d / 4;
        case 3: return d / 2;
        case 4: return d / 2 + d / 16;
        case 5: return d / 2 + d / 8 + d / 16;
        case 6: return d / 2 + d / 4 + d / 16;
        case 7: return d + d / 64 - d / 8;
        case 8: return d;
        case 9: return d + d / 4 + d / 16;
        case 10: return d * 2;
        case 11: return d * 4;
        case 12: return d * 8;
        case 13: return d * 16;
        default: return d;
    }
}

uint32_t playback_tick(const Player* player) {
    const PlaybackServices* services = player->services;
    if (services && services->tick) return services->tick(services->context);
    return os_tick_count();
}

namespace {

// Waits on the stop event; 1 when it was signalled, 0 on timeout.
int wait_stop_event(Player* player, uint32_t timeout_ms) {
    const PlaybackServices* services = player->services;
    if (services && services->wait) return services->wait(player->stop_event, timeout_ms, services->context);
    return os_event_wait(player->stop_event, timeout_ms);
}

int start_thread(Player* player, uint32_t (*procedure)(void*)) {
    const PlaybackServices* services = player->services;
    if (services && services->start_thread)
        return services->start_thread(procedure, player, services->context);
    return os_thread_start(procedure, player);
}

int begin_fine_timer(Player* player) {
    const PlaybackServices* services = player->services;
    if (services && services->fine_timer_begin) return services->fine_timer_begin(services->context);
    return os_fine_timer_begin();
}

void end_fine_timer(Player* player) {
    const PlaybackServices* services = player->services;
    if (services && services->fine_timer_end) {
        services->fine_timer_end(services->context);
    } else {
        os_fine_timer_end();
    }
}

// The fine timer matters only for short waits: a wait ends on a tick of the
// system timer, and since frames are scheduled by their due time a coarse
// tick only makes a frame end up to a tick late, never drift. The request is
// taken before a frame's wait shorter than four default ticks (62.5 ms)
// begins, and given back before a long wait that makes the run of long waits
// since the last short one last FINE_TIMER_RELEASE_MS: a file that alternates
// short and long frames keeps it rather than switch it every frame.
constexpr uint32_t SHORT_WAIT_MS = 63;            // shorter: 62 ms or less
constexpr uint32_t FINE_TIMER_RELEASE_MS = 1000;

// What a playback thread carries from frame to frame.
struct Pace {
    uint32_t due;       // when the next frame is due (playback_tick)
    int fine_timer;     // 1 while the thread holds a fine timer request, -1 once refused
    uint32_t long_run;  // ms of the long waits since the last short one
};

// The start of a thread: the bars filled once, and the first frame due now.
Pace begin_thread(Player* player) {
    Pace pace{};
    acquire_paint_lock(player);
    fill_borders(player);
    release_paint_lock(player);
    pace.due = playback_tick(player);
    return pace;
}

// The thread's last accesses to the Player: the fine timer request ends,
// the window is told when the passes ran out by themselves, then playing
// falls (release), after which the window's thread owns everything, the
// display with the frame on show among it.
uint32_t end_thread(Player* player, const Pace* pace, bool passes_done) {
    if (pace->fine_timer == 1) end_fine_timer(player);
    if (passes_done) paint_playback_ended(player, player->run);
    player->playing.store(0, std::memory_order_release);
    return 0;
}

// Before a frame's wait of wait_ms begins: takes or gives back the fine
// timer request (a refusal is not asked again by this thread).
void time_the_wait(Player* player, Pace* pace, uint32_t wait_ms) {
    if (wait_ms < SHORT_WAIT_MS) {
        pace->long_run = 0;
        if (pace->fine_timer == 0) pace->fine_timer = begin_fine_timer(player) ? 1 : -1;
        return;
    }
    if (pace->long_run < FINE_TIMER_RELEASE_MS) pace->long_run += wait_ms;
    if (pace->fine_timer == 1 && pace->long_run >= FINE_TIMER_RELEASE_MS) {
        end_fine_timer(player);
        pace->fine_timer = 0;
    }
}

// Draws frame i and keeps it on screen until its due time plus its scaled
// delay, then sets the next frame's due time. Returns 1 when a stop was
// requested (the caller ends the thread with i), else 0.
int show_frame(Player* player, const Animation* animation, uint32_t i, Pace* pace) {
    // A rebuild of the frame happens here, outside the lock; under it only
    // the switch of pictures, or one change applied to the picture on show.
    const DisplayStep step = display_prepare(player, i);
    acquire_paint_lock(player);
    display_commit(player, &step);
    paint_frame(player, animation, i);
    int32_t s = player->speed_index.load(std::memory_order_relaxed);
    uint32_t d = animation->frames[i].delay_ms;
    uint32_t scaled = scale_delay(d, s);
    player->frame_delay_ms.store(scaled, std::memory_order_relaxed);
    release_paint_lock(player);
    const uint32_t drawn = playback_tick(player);  // the drawing has ended
    // Windows' waits may end up to a timer tick before their timeout: one
    // that did is waited out again.
    bool first_wait = true;
    for (uint32_t now = drawn;; now = playback_tick(player)) {
        // Signed: a due time still ahead counts as time left to wait.
        const int64_t elapsed = int32_t(now - pace->due);
        if (elapsed >= int64_t(scaled)) break;
        if (first_wait) time_the_wait(player, pace, scaled);
        first_wait = false;
        if (wait_stop_event(player, uint32_t(int64_t(scaled) - elapsed))) {
            scaled = wait_out_speed_change(pace->due, s, d, player);
            break;
        }
    }
    // A frame whose drawing ran past its end has the next follow at once,
    // due from then: no debt for later frames to catch up.
    uint32_t end = pace->due + scaled;
    pace->due = int32_t(drawn - end) > 0 ? drawn : end;
    return player->stop_requested.load(std::memory_order_acquire) != 0;
}

void passes_of(const Animation* animation, uint32_t* passes, bool* endless) {
    *endless = animation->loop_count == 0;
    *passes = *endless ? 1 : animation->loop_count;
}

}  // namespace

uint32_t wait_out_speed_change(uint32_t t0, int32_t speed_index, uint32_t delay_ms, Player* player) {
    // The event carries stop requests and speed changes, and being auto-reset
    // it merges them. Whatever woke us, a stop ends the frame at once; else the
    // frame stays until its delay at the newest speed has passed since it was
    // due. That also covers a wake-up left over from a speed change that was
    // already applied when the frame was drawn, a speed changed back, and a
    // wait that ended before its timeout.
    uint32_t target = scale_delay(delay_ms, speed_index);
    for (;;) {
        if (player->stop_requested.load(std::memory_order_acquire) != 0) return target;
        int32_t s2 = player->speed_index.load(std::memory_order_relaxed);
        target = scale_delay(delay_ms, s2);
        uint32_t elapsed = playback_tick(player) - t0;  // modulo 2^32
        if (elapsed >= target) return target;
        wait_stop_event(player, target - elapsed);  // time and speed are read afresh
    }
}

uint32_t play_forward(void* argument) {
    Player* player = static_cast<Player*>(argument);
    const Animation* animation = player->animation;
    uint32_t i = player->start_frame;
    uint32_t passes;
    bool endless;
    passes_of(animation, &passes, &endless);
    Pace pace = begin_thread(player);
    uint32_t j = 0;
    do {
        // A start at the frame count makes this pass empty.
        while (i < animation->frame_count) {
            if (show_frame(player, animation, i, &pace)) return end_thread(player, &pace, false);
            i++;
        }
        i = 0;
        if (!endless) j++;
    } while (j < passes);
    return end_thread(player, &pace, true);
}

uint32_t play_reverse(void* argument) {
    Player* player = static_cast<Player*>(argument);
    const Animation* animation = player->animation;
    uint32_t count = animation->frame_count;
    if (count == 0) {
        Pace none{};
        return end_thread(player, &none, true);
    }
    int64_t i = player->start_frame;
    if (i > int64_t(count) - 1) i = int64_t(count) - 1;
    uint32_t passes;
    bool endless;
    passes_of(animation, &passes, &endless);
    Pace pace = begin_thread(player);
    uint32_t j = 0;
    do {
        while (i >= 0) {
            if (show_frame(player, animation, static_cast<uint32_t>(i), &pace))
                return end_thread(player, &pace, false);
            i--;
        }
        i = int64_t(count) - 1;
        if (!endless) j++;
    } while (j < passes);
    return end_thread(player, &pace, true);
}

uint32_t paused_frame(const Player* player) {
    if (player->playing.load(std::memory_order_acquire) != 0) return NO_FRAME;
    return display_shown(player);
}

void start_playback(Player* player, uint32_t first) {
    os_event_reset(player->stop_event);  // no old signal cuts the first frame short
    player->start_frame = first;
    player->run++;
    player->stop_requested.store(0, std::memory_order_relaxed);
    player->playing.store(1, std::memory_order_relaxed);
    if (start_thread(player, player->reverse ? play_reverse : play_forward)) return;
    // No thread: back to idle, so that a later stop does not wait for ever,
    // with a frame on show for the title and the steps to start from.
    player->playing.store(0, std::memory_order_release);
    const uint32_t count = player->animation ? player->animation->frame_count : 0;
    if (count > 0 && display_shown(player) == NO_FRAME) display_show(player, first < count ? first : 0);
}

void stop_playback(Player* player) {
    if (player->playing.load(std::memory_order_acquire) == 0) return;
    player->stop_requested.exchange(1, std::memory_order_acq_rel);
    os_event_set(player->stop_event);
    while (player->playing.load(std::memory_order_acquire) != 0) os_yield();
}

namespace {

// The neighbours of the frame on show, wrapping; from nothing on show, the
// first frame in that direction.
uint32_t frame_after(const Player* player, uint32_t count) {
    const uint32_t shown = display_shown(player);
    return shown == NO_FRAME || shown + 1 >= count ? 0 : shown + 1;
}

uint32_t frame_before(const Player* player, uint32_t count) {
    const uint32_t shown = display_shown(player);
    return shown == NO_FRAME || shown == 0 || shown >= count ? count - 1 : shown - 1;
}

}  // namespace

void play_on(Player* player) {
    stop_playback(player);
    const uint32_t count = player->animation->frame_count;
    if (count == 0) return;
    start_playback(player, player->reverse ? frame_before(player, count) : frame_after(player, count));
}

void start_after_load(Player* player) {
    stop_playback(player);
    const uint32_t shown = display_shown(player);
    start_playback(player, shown == NO_FRAME ? 0 : shown + 1);
}

void show_paused(Player* player, uint32_t frame) {
    stop_playback(player);
    display_show(player, frame);
}

void reset_playback(Player* player) {
    player->frame_delay_ms.store(0, std::memory_order_relaxed);
    player->reverse = 0;
    player->start_frame = 0;
    player->speed_index.store(0, std::memory_order_relaxed);
    player->stop_requested.store(0, std::memory_order_relaxed);
    player->playing.store(0, std::memory_order_relaxed);
}

int playback_ended(Player* player, uint32_t run) {
    if (run != player->run) return 0;
    // The thread told the window just before its end: it is gone at once.
    while (player->playing.load(std::memory_order_acquire) != 0) os_yield();
    return 1;
}

void toggle_direction(Player* player) {
    stop_playback(player);
    player->reverse ^= 1;
    play_on(player);
}

int play_pause(Player* player) {
    if (player->playing.load(std::memory_order_acquire) != 0) {
        stop_playback(player);
        return 0;
    }
    play_on(player);
    return 1;
}

void rewind(Player* player) {
    show_paused(player, 0);
    player->reverse = 0;
}

void step_next(Player* player) {
    if (player->playing.load(std::memory_order_acquire) != 0) return;
    const uint32_t count = player->animation->frame_count;
    if (count == 0) return;
    display_show(player, frame_after(player, count));
}

void step_previous(Player* player) {
    if (player->playing.load(std::memory_order_acquire) != 0) return;
    const uint32_t count = player->animation->frame_count;
    if (count == 0) return;
    display_show(player, frame_before(player, count));
}

void speed_up(Player* player) {
    if (player->playing.load(std::memory_order_acquire) == 0) return;
    int32_t s = player->speed_index.load(std::memory_order_relaxed);
    if (s <= 0) return;
    player->speed_index.store(s - 1, std::memory_order_relaxed);
    os_event_set(player->stop_event);
}

void speed_down(Player* player) {
    if (player->playing.load(std::memory_order_acquire) == 0) return;
    int32_t s = player->speed_index.load(std::memory_order_relaxed);
    if (s >= SPEED_STEPS - 1) return;
    player->speed_index.store(s + 1, std::memory_order_relaxed);
    os_event_set(player->stop_event);
}
