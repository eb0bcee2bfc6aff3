// The display pictures and the choice of how to bring a frame on show.
#include "player/display.h"

#include "player/paint.h"

int display_create(Player* player) {
    Display* display = &player->display;
    const Animation* animation = player->animation;
    const uint32_t width = animation->width, height = animation->height;
    if (display->pictures[0].pixels && display->pictures[0].width == width &&
        display->pictures[0].height == height) {
        return 1;
    }
    display_release(player);
    for (uint32_t k = 0; k < DISPLAY_PICTURES; k++) {
        if (!bitmap_create(&display->pictures[k], width, height) || !display->pictures[k].pixels) {
            display_release(player);
            return 0;
        }
    }
    return 1;
}

void display_release(Player* player) {
    Display* display = &player->display;
    paint_select_none(player);
    for (Bitmap& picture : display->pictures) bitmap_delete(&picture);
    const uint64_t written = display->pixels_written;
    *display = Display{};
    display->pixels_written = written;
}

uint32_t display_shown(const Player* player) {
    const Display* display = &player->display;
    return display->front >= 0 ? display->holds[display->front] : NO_FRAME;
}

DisplayStep display_prepare(Player* player, uint32_t frame) {
    Display* display = &player->display;
    const Animation* animation = player->animation;
    DisplayStep step{-1, NO_FRAME, frame};
    // During a load the frame count is not stored yet: a frame is ready to
    // show once it is stored.
    if (!display->pictures[0].pixels || !animation->frames[frame].stored) return step;
    const int32_t front = display->front;
    if (display_shown(player) == frame) return step;
    // The cheapest start: a picture that holds an earlier frame of the same
    // run of changes, else the key frame. Between equals the picture not on
    // show, which needs no lock.
    uint64_t best = frame_rebuild_cost(animation, frame);
    int32_t chosen = -1;
    for (int32_t k = 0; k < int32_t(DISPLAY_PICTURES); k++) {
        const uint64_t cost = frame_changes_cost(animation, display->holds[k], frame);
        if (cost < best || (cost == best && chosen == front && k != front)) {
            best = cost;
            chosen = k;
        }
    }
    if (chosen >= 0 && chosen == front) {
        step.picture = chosen;
        step.from = display->holds[chosen];
        return step;  // the change goes on in place, under the lock
    }
    const int32_t target = chosen >= 0 ? chosen : (front == 0 ? 1 : 0);
    const uint32_t from = chosen >= 0 ? display->holds[target] : NO_FRAME;
    display->pixels_written += frame_bring(animation, display->pictures[target].pixels, from, frame);
    display->holds[target] = frame;
    step.picture = target;
    step.from = frame;
    return step;
}

void display_commit(Player* player, const DisplayStep* step) {
    if (step->picture < 0) return;
    Display* display = &player->display;
    Bitmap* picture = &display->pictures[step->picture];
    if (step->from != step->to) {
        display->pixels_written +=
            frame_bring(player->animation, picture->pixels, step->from, step->to);
        display->holds[step->picture] = step->to;
    }
    if (display->front != step->picture) {
        display->front = step->picture;
        paint_select_picture(player, picture);
    }
}

void display_show(Player* player, uint32_t frame) {
    const DisplayStep step = display_prepare(player, frame);
    acquire_paint_lock(player);
    display_commit(player, &step);
    release_paint_lock(player);
}
