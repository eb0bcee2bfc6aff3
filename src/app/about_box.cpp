// The About box: dialog template 1, centred over the main window, with the
// About text in a read-only text box that shows no caret, selects nothing by
// itself and has its own Copy / Select All menu.
#include <windows.h>

#include "app/about_box.h"

#include "app/commands.h"
#include "res/resource_ids.h"
#include "shell/about_text.h"

namespace {

constexpr UINT IDM_COPY = 40002;
constexpr UINT IDM_SELECT_ALL = 40003;
constexpr UINT WM_APP_SET_OLD_WNDPROC = 42000;

// The text box's own window procedure while ours stands in front of it; only
// one About box exists at a time.
WNDPROC about_text_old_proc;

int signed_low(LPARAM value) { return int(short(LOWORD(value))); }
int signed_high(LPARAM value) { return int(short(HIWORD(value))); }

void show_about_text_menu(HWND text_box, int x, int y) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    POINT at;
    UINT flags = popup_menu_position(text_box, x, y, &at);
    DWORD start = 0, end = 0;
    SendMessageW(text_box, EM_GETSEL, WPARAM(&start), LPARAM(&end));
    AppendMenuW(menu, start == end ? MF_GRAYED : MF_ENABLED, IDM_COPY, L"&Copy");
    AppendMenuW(menu, MF_ENABLED, IDM_SELECT_ALL, L"Select &All");
    // The choice arrives as WM_COMMAND at the text box.
    TrackPopupMenuEx(menu, flags, at.x, at.y, text_box, nullptr);
    DestroyMenu(menu);
}

LRESULT CALLBACK about_text_proc(HWND text_box, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_APP_SET_OLD_WNDPROC:
            about_text_old_proc = reinterpret_cast<WNDPROC>(lparam);
            return 0;
        case WM_DESTROY: {
            // The text box's own procedure gets its WM_DESTROY too, so it
            // cleans up as it would without us.
            WNDPROC old_proc = about_text_old_proc;
            SetWindowLongPtrW(text_box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old_proc));
            about_text_old_proc = nullptr;
            if (old_proc) return CallWindowProcW(old_proc, text_box, message, wparam, lparam);
            return DefWindowProcW(text_box, message, wparam, lparam);
        }
        case WM_GETDLGCODE:
            // Tabbing into the box must not select all its text.
            return CallWindowProcW(about_text_old_proc, text_box, message, wparam, lparam) &
                   ~LRESULT(DLGC_HASSETSEL);
        case WM_CONTEXTMENU:
            show_about_text_menu(text_box, -1, -1);
            return 0;
        case WM_RBUTTONDOWN:
            show_about_text_menu(text_box, signed_low(lparam), signed_high(lparam));
            return 0;
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
            return 0;  // the edit control's own menu never shows
        case WM_COMMAND:
            if (LOWORD(wparam) == IDM_COPY) {
                SendMessageW(text_box, WM_COPY, 0, 0);
                return 0;
            }
            if (LOWORD(wparam) == IDM_SELECT_ALL) {
                SendMessageW(text_box, EM_SETSEL, 0, -1);
                return 0;
            }
            break;
    }
    return CallWindowProcW(about_text_old_proc, text_box, message, wparam, lparam);
}

// One coordinate of a box of the given size placed at start, moved into
// [low, high) where it fits, else to low.
int keep_within(int start, int size, LONG low, LONG high) {
    if (start + size > high) start = int(high) - size;
    return start < low ? int(low) : start;
}

// Centred over the main window, and moved where that would leave it partly
// off the work area of the main window's monitor: a modal box nobody can
// see would leave the program seemingly frozen. (DM_REPOSITION would do the
// same on Windows; Wine does not answer it.)
void centre_over_owner(HWND dialog) {
    RECT box{0, 0, 0, 0}, owner{0, 0, 0, 0};
    HWND owner_window = GetParent(dialog);
    GetWindowRect(dialog, &box);
    GetWindowRect(owner_window, &owner);
    const int width = box.right - box.left, height = box.bottom - box.top;
    int x = owner.left + ((owner.right - owner.left) - width) / 2;
    int y = owner.top + ((owner.bottom - owner.top) - height) / 2;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromWindow(owner_window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        x = keep_within(x, width, monitor.rcWork.left, monitor.rcWork.right);
        y = keep_within(y, height, monitor.rcWork.top, monitor.rcWork.bottom);
    }
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOCOPYBITS);
}

INT_PTR CALLBACK about_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG: {
            HWND text_box = GetDlgItem(dialog, IDC_ABOUT_TEXT);
            centre_over_owner(dialog);
            LONG_PTR old_proc = SetWindowLongPtrW(text_box, GWLP_WNDPROC,
                                                  reinterpret_cast<LONG_PTR>(about_text_proc));
            SendMessageW(text_box, WM_APP_SET_OLD_WNDPROC, 0, LPARAM(old_proc));
            SendMessageW(text_box, WM_SETTEXT, 0, lparam);
            return TRUE;  // the focus goes to the text box, whose EN_SETFOCUS hides the caret
        }
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDOK:
                case IDCANCEL:
                    EndDialog(dialog, LOWORD(wparam));
                    return TRUE;
                case IDC_ABOUT_TEXT:
                    if (HIWORD(wparam) == EN_SETFOCUS) HideCaret(reinterpret_cast<HWND>(lparam));
                    return TRUE;
            }
            return FALSE;
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    }
    return FALSE;
}

}  // namespace

void show_about_box(HWND owner) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, about_dialog_proc,
                    reinterpret_cast<LPARAM>(about_text));
}
