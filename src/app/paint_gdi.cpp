// Painting into the main window with GDI: the frame on show is the display
// picture selected into memory_dc (each picture's Bitmap.handle is a DIB
// section: two for the whole program, whatever the frame count), and it is
// stretched onto the window's own DC in HALFTONE mode; the bars are filled
// with background_brush.
//
// The display writes the pictures' pixels itself between paints. GDI may
// batch a drawing call and read its source later, so every paint ends with
// GdiFlush, before the paint lock is released.
#include <windows.h>

#include "app/app.h"
#include "player/paint.h"

static_assert(sizeof(PAINTSTRUCT) <= sizeof(PaintSession::state), "PaintSession too small");
static_assert(alignof(PAINTSTRUCT) <= 8, "PaintSession alignment");

namespace {

HWND window_of(const Player* player) { return static_cast<HWND>(player->window); }
HDC dc_of(void* handle) { return static_cast<HDC>(handle); }

// The 1 x 1 bitmap that stands in memory_dc while no frame is on show; made
// once, shared, never deleted.
HBITMAP placeholder_bitmap() {
    static HBITMAP placeholder = CreateBitmap(1, 1, 1, 1, nullptr);
    return placeholder;
}

void stretch_from_memory(HDC target, const Player* player, const Animation* animation) {
    if (!animation || animation->width == 0 || animation->height == 0) return;
    StretchBlt(target, player->view_x, player->view_y, static_cast<int>(player->view_width),
               static_cast<int>(player->view_height), dc_of(player->memory_dc), 0, 0,
               static_cast<int>(animation->width), static_cast<int>(animation->height), SRCCOPY);
}

}  // namespace

void paint_select_picture(Player* player, const Bitmap* picture) {
    SelectObject(dc_of(player->memory_dc), static_cast<HGDIOBJ>(picture->handle));
}

void paint_select_none(Player* player) { SelectObject(dc_of(player->memory_dc), placeholder_bitmap()); }

void paint_frame(Player* player, const Animation* animation, uint32_t) {
    stretch_from_memory(dc_of(player->window_dc), player, animation);
    GdiFlush();
}

void paint_playback_ended(Player* player, uint32_t run) {
    PostMessageW(window_of(player), WM_APP_PLAYBACK_ENDED, WPARAM(run), 0);
}

void paint_fill_rect(Player* player, const Rect* rect) {
    if (rect->right <= rect->left || rect->bottom <= rect->top) return;
    RECT area{rect->left, rect->top, rect->right, rect->bottom};
    FillRect(dc_of(player->window_dc), &area, static_cast<HBRUSH>(player->background_brush));
}

void paint_invalidate_now(Player* player) {
    InvalidateRect(window_of(player), nullptr, FALSE);
    UpdateWindow(window_of(player));
}

void paint_client_size(Player* player, uint32_t* width, uint32_t* height) {
    RECT client{0, 0, 0, 0};
    GetClientRect(window_of(player), &client);
    *width = static_cast<uint32_t>(client.right > 0 ? client.right : 0);
    *height = static_cast<uint32_t>(client.bottom > 0 ? client.bottom : 0);
}

void paint_begin(Player* player, PaintSession* session) {
    PAINTSTRUCT* paint = reinterpret_cast<PAINTSTRUCT*>(session->state);
    session->dc = BeginPaint(window_of(player), paint);
}

void paint_end(Player* player, PaintSession* session) {
    GdiFlush();
    EndPaint(window_of(player), reinterpret_cast<PAINTSTRUCT*>(session->state));
    session->dc = nullptr;
}

void paint_stretch_selected(Player* player, PaintSession* session, const Animation* animation) {
    if (session->dc) stretch_from_memory(dc_of(session->dc), player, animation);
}
