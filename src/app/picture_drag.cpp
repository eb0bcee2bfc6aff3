// Dragging the picture: the pan rules are the view's (move_view); here only
// the mouse capture and the cursor.
#include <windows.h>

#include "app/picture_drag.h"

#include "player/view.h"

namespace {

bool movable_at(HWND window, int x, int y, const Shell* shell) {
    RECT client{0, 0, 0, 0};
    GetClientRect(window, &client);
    return picture_movable_at(&shell->player, uint32_t(client.right > 0 ? client.right : 0),
                              uint32_t(client.bottom > 0 ? client.bottom : 0), x, y);
}

}  // namespace

void begin_picture_drag(HWND window, int x, int y, Shell* shell) {
    if (!movable_at(window, x, y, shell)) return;
    shell->drag = PictureDrag{1, x, y};
    SetCapture(window);
}

void continue_picture_drag(int x, int y, Shell* shell) {
    PictureDrag* drag = &shell->drag;
    if (!drag->active) return;
    const int dx = x - drag->x, dy = y - drag->y;
    drag->x = x;
    drag->y = y;
    if (dx || dy) move_view(&shell->player, dx, dy);
}

void end_picture_drag(Shell* shell) {
    if (!shell->drag.active) return;
    shell->drag.active = 0;
    ReleaseCapture();  // sends WM_CAPTURECHANGED, which finds the drag over
}

void lose_picture_drag(Shell* shell) { shell->drag.active = 0; }

bool set_picture_cursor(HWND window, Shell* shell) {
    if (shell->loading) return false;  // nothing moves during a load
    POINT at{0, 0};
    if (!GetCursorPos(&at) || !ScreenToClient(window, &at)) return false;
    if (!movable_at(window, at.x, at.y, shell)) return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}
