// The loading preview over the paint operations.
#include "player/loading_preview.h"

#include "player/display.h"
#include "player/paint.h"
#include "player/playback.h"
#include "player/view.h"

size_t format_progress_title(char16_t* title, uint32_t index) {
    static const char16_t text[] = u"Processing data ......";  // 16 units and six dots
    uint32_t dots = index / 50;
    if (dots > 6) dots = 6;
    size_t length = 16 + dots;
    for (size_t i = 0; i < length; i++) title[i] = text[i];
    title[length] = 0;
    return length;
}

void show_loading_progress(LoadingPreview* preview, const Animation* animation, Player* player,
                           uint32_t index) {
    if (index == 0) {
        preview->start_tick = playback_tick(player);
        preview->delay_sum_ms = 0;
        acquire_paint_lock(player);
        player->view_width = animation->width;
        player->view_height = animation->height;
        release_paint_lock(player);
        // Without display pictures the preview shows the bars alone.
        display_create(player);
    }
    uint32_t elapsed = playback_tick(player) - preview->start_tick;  // modulo 2^32
    if (elapsed <= preview->delay_sum_ms) return;
    const uint32_t shown = display_shown(player);
    const uint32_t k = shown == NO_FRAME ? 0 : shown + 1;
    if (k > index) return;  // only frames already composited
    show_paused(player, k);  // nothing without display pictures: the bars alone
    char16_t title[PROGRESS_TITLE_CAPACITY];
    format_progress_title(title, index);
    if (preview->set_title) preview->set_title(player->window, title, preview->title_context);
    uint32_t width = 0, height = 0;
    paint_client_size(player, &width, &height);
    resize_view(width, height, player);
    preview->delay_sum_ms += animation->frames[k].delay_ms;
}
