// zoetra-driver's commands for the command keys, the context menu,
// fullscreen, the loading preview and the About box:
//
//   zoetra-driver menu SECONDS         waits for a shown pop-up menu and prints
//                                      "at LEFT TOP RIGHT BOTTOM" (screen) and one
//                                      line "ID e|g|s TEXT" per item (enabled,
//                                      greyed, separator); texts escaped (\t, \r, \n)
//   zoetra-driver menu-gone SECONDS    waits until no pop-up menu is shown
//   zoetra-driver menu-char C          posts the character C to the shown menu
//                                      (chooses the item with that access key)
//   zoetra-driver menu-key VK          posts WM_KEYDOWN VK to the shown menu
//   zoetra-driver window               prints "style 0xSTYLE rect L T R B"
//   zoetra-driver screen               prints the primary screen's "WIDTH HEIGHT"
//   zoetra-driver move L T W H         moves and sizes the main window
//   zoetra-driver titles SECONDS       prints every title the main window shows,
//                                      escaped, until one ends in ")"
//   zoetra-driver frame-changes SECONDS  samples the pixel at the client area's
//                                      centre for SECONDS; prints "changes N"
//                                      and "samples N"
//   zoetra-driver pace SECONDS [reverse] rewinds (S) and plays (P; with reverse,
//                                      R: backward from the last frame) a file of
//                                      gifs.py box, times its frames for SECONDS
//                                      and prints "spans N" (spans of 20 to 40
//                                      frames timed) and "median MS", the median
//                                      time a frame took over them
//   zoetra-driver about SECONDS        waits for the About box and prints
//                                      "box L T R B", "owner L T R B", "text ...",
//                                      "selection START END", "focus text|other",
//                                      "caret shown|hidden|none", "readonly 0|1",
//                                      "caret-blinks 0|1" (the text box's pixels
//                                      change within 1.2 s), "owner-enabled 0|1"
//   zoetra-driver about-move L T       moves the About box (to see behind it)
//   zoetra-driver about-menu           asks the About text box for its context menu
//   zoetra-driver about-end ok|close   presses OK, or the close box
//   zoetra-driver about-gone SECONDS   waits until the About box has closed
//   zoetra-driver clipboard            prints the clipboard's text, escaped
//   zoetra-driver pixel X Y            prints the client pixel at (X, Y) as RRGGBB
//   zoetra-driver picture-box RRGGBB   prints "LEFT TOP WIDTH HEIGHT" of the client
//                                      pixels that differ from RRGGBB
//   zoetra-driver layout RRGGBB        prints "client W H L T W H title TITLE":
//                                      the client size, picture-box, the title
//   zoetra-driver drag DX DY           drags from the client area's centre by
//                                      (DX, DY): left button down, one move, up
//
// The menu's items are read from inside zoetra.exe by zoetra-probe.dll,
// which this driver loads into it.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "driver.h"
#include "probe/menu_probe.h"

int commands_command(int argc, wchar_t** argv);

namespace {

constexpr int IDC_ABOUT_TEXT = 40001;

void print_escaped(const char* prefix, const wchar_t* text) {
    std::wstring escaped;
    for (const wchar_t* c = text; *c; c++) {
        switch (*c) {
            case L'\\': escaped += L"\\\\"; break;
            case L'\t': escaped += L"\\t"; break;
            case L'\r': escaped += L"\\r"; break;
            case L'\n': escaped += L"\\n"; break;
            default: escaped += *c;
        }
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    std::printf("%s%s\n", prefix, utf8.c_str());
    std::fflush(stdout);
}

BOOL CALLBACK find_popup(HWND window, LPARAM found) {
    wchar_t name[16];
    if (IsWindowVisible(window) && GetClassNameW(window, name, 16) && !std::wcscmp(name, L"#32768")) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND shown_popup() {
    HWND popup = nullptr;
    EnumWindows(find_popup, LPARAM(&popup));
    return popup;
}

// Loads zoetra-probe.dll into the menu's process and lets it read the menu.
bool probe_menu(HWND popup, HMENU menu, MenuProbeBlock* result) {
    bool ok = false;
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(MenuProbeBlock), MENU_PROBE_BLOCK);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, MENU_PROBE_DONE);
    MenuProbeBlock* block =
        mapping ? static_cast<MenuProbeBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0))
                : nullptr;
    DWORD process_id = 0;
    GetWindowThreadProcessId(popup, &process_id);
    HANDLE process = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_VM_OPERATION | PROCESS_VM_WRITE |
                                     PROCESS_QUERY_INFORMATION,
                                 FALSE, process_id);
    wchar_t dll[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, dll, MAX_PATH);
    wchar_t* slash = length ? std::wcsrchr(dll, L'\\') : nullptr;
    if (block && done && process && slash && size_t(slash - dll) + 20 < MAX_PATH) {
        std::wcscpy(slash + 1, L"zoetra-probe.dll");
        block->menu = uint64_t(uintptr_t(menu));
        block->count = -1;
        size_t bytes = (std::wcslen(dll) + 1) * sizeof(wchar_t);
        void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
        if (remote && WriteProcessMemory(process, remote, dll, bytes, nullptr)) {
            HANDLE thread = CreateRemoteThread(process, nullptr, 0, load, remote, 0, nullptr);
            if (thread) {
                WaitForSingleObject(thread, 10000);
                CloseHandle(thread);
                ok = WaitForSingleObject(done, 10000) == WAIT_OBJECT_0 && block->count >= 0;
                if (ok) *result = *block;
            }
        }
        if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    if (process) CloseHandle(process);
    if (block) UnmapViewOfFile(block);
    if (mapping) CloseHandle(mapping);
    if (done) CloseHandle(done);
    return ok;
}

// Waits for a shown pop-up menu whose items can be read: one seen while it
// is being taken down (its menu already gone) is passed over.
int command_menu(double seconds) {
    HWND popup = nullptr;
    static MenuProbeBlock block;
    if (!wait_until(seconds, 20, [&] {
            DWORD_PTR menu = 0;
            return (popup = shown_popup()) != nullptr &&
                   SendMessageTimeoutW(popup, MN_GETHMENU, 0, 0, SMTO_ABORTIFHUNG, 2000, &menu) &&
                   menu && probe_menu(popup, reinterpret_cast<HMENU>(menu), &block);
        })) {
        std::fprintf(stderr, "menu: %s within %.0f s\n",
                     popup ? "no pop-up menu that could be read" : "no pop-up menu", seconds);
        return 1;
    }
    RECT at;
    GetWindowRect(popup, &at);
    std::printf("at %ld %ld %ld %ld\n", at.left, at.top, at.right, at.bottom);
    for (int i = 0; i < block.count; i++) {
        const MenuProbeItem& item = block.items[i];
        char prefix[32];
        char kind = (item.type & MFT_SEPARATOR) ? 's' : (item.state & MFS_GRAYED) ? 'g' : 'e';
        std::snprintf(prefix, sizeof prefix, "%u %c ", item.id, kind);
        print_escaped(prefix, item.text);
    }
    return 0;
}

int command_menu_gone(double seconds) {
    return wait_until(seconds, 20, [] { return !shown_popup(); }) ? 0 : 1;
}

int command_menu_post(UINT message, WPARAM value) {
    HWND popup = shown_popup();
    if (!popup) return 1;
    return PostMessageW(popup, message, value, 0) ? 0 : 1;
}

int command_window() {
    HWND window = find_main_window();
    if (!window) return 1;
    RECT frame;
    GetWindowRect(window, &frame);
    std::printf("style 0x%08lX rect %ld %ld %ld %ld\n", (unsigned long)GetWindowLongPtrW(window, GWL_STYLE),
                frame.left, frame.top, frame.right, frame.bottom);
    return 0;
}

int command_screen() {
    RECT screen;
    GetWindowRect(GetDesktopWindow(), &screen);
    std::printf("%ld %ld\n", screen.right - screen.left, screen.bottom - screen.top);
    return 0;
}

int command_move(int left, int top, int width, int height) {
    HWND window = find_main_window();
    if (!window) return 1;
    return SetWindowPos(window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE) ? 0 : 1;
}

int command_titles(double seconds) {
    wchar_t last[1024] = L"\x1";
    return wait_until(seconds, 1, [&] {
        // InternalGetWindowText asks the window nothing, so it reads titles
        // while the window's thread is busy decoding.
        HWND window = find_main_window();
        wchar_t title[1024] = L"";
        if (!window) return false;
        InternalGetWindowText(window, title, 1024);
        if (std::wcscmp(title, last) == 0) return false;
        print_escaped("", title);
        std::wcscpy(last, title);
        size_t length = std::wcslen(title);
        return length && title[length - 1] == L')';
    }) ? 0 : 1;
}

int command_frame_changes(double seconds) {
    HWND window = find_main_window();
    if (!window) return 1;
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    COLORREF last = GetPixel(dc, client.right / 2, client.bottom / 2);
    int changes = 0, samples = 0;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < DWORD(seconds * 1000)) {
        COLORREF now = GetPixel(dc, client.right / 2, client.bottom / 2);
        if (now != last) changes++;
        last = now;
        samples++;
        Sleep(2);
    }
    ReleaseDC(window, dc);
    std::printf("changes %d\nsamples %d\n", changes, samples);
    return 0;
}

// Sends the key as the main window's WM_KEYDOWN and returns once the window
// has handled it.
bool send_key(HWND window, WPARAM code) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_KEYDOWN, code, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

// Rewinds and plays (forward, or with reverse backward from the last frame)
// a gifs.py box file, and reads the client area's middle row through the X
// server every millisecond or so for SECONDS. Wine hands the window's
// picture to X in bursts, some three frames apart, but each burst shows the
// frame drawn last: so a sighting of frame f at time t has t - drawn(f)
// between 0 and one frame time. The box's place tells f (its 24 pixels are
// 6 frames' moves; on a canvas 320 wide it has 74 places), so sightings 20
// to 40 frames apart give the time a frame takes to a twentieth of it; their
// median is the pace.
int command_pace(double seconds, bool reverse) {
    HWND window = find_main_window();
    if (!window || !send_key(window, 'S') || !send_key(window, reverse ? 'R' : 'P')) return 1;
    RECT client;
    GetClientRect(window, &client);
    BITMAPINFO info = top_down_info(client.right, 1);
    uint32_t* row = nullptr;
    HBITMAP strip = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&row),
                                     nullptr, 0);
    HDC window_dc = GetDC(window), memory_dc = CreateCompatibleDC(window_dc);
    HGDIOBJ old = SelectObject(memory_dc, strip);
    struct Sighting {
        double ms;
        LONG left, right;  // the box's columns on the row, -1 when it is not there
    };
    std::vector<Sighting> seen;  // every change of the row after the first look
    LARGE_INTEGER start, now, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (double ms = 0; row && ms < seconds * 1000; Sleep(1)) {
        BitBlt(memory_dc, 0, 0, client.right, 1, window_dc, 0, client.bottom / 2, SRCCOPY);
        GdiFlush();
        QueryPerformanceCounter(&now);
        ms = double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
        Sighting s{ms, -1, -1};  // the box's red is 250, the background's 40
        for (LONG x = 0; x < client.right; x++) {
            if ((row[x] >> 16 & 0xFF) < 145) continue;
            if (s.left < 0) s.left = x;
            s.right = x;
        }
        if (seen.empty() || s.left != seen.back().left || s.right != seen.back().right) {
            seen.push_back(s);
        }
    }
    SelectObject(memory_dc, old);
    DeleteDC(memory_dc);
    ReleaseDC(window, window_dc);
    if (strip) DeleteObject(strip);
    LONG width = 0;  // of the box seen whole
    for (const Sighting& s : seen) {
        if (s.left > 0 && s.right < client.right - 1) width = std::max(width, s.right - s.left + 1);
    }
    std::vector<double> per_frame;
    std::vector<std::pair<double, long>> run;  // time and frame of each sighting since the box showed
    LONG was = 0;
    for (size_t i = 1; width >= 6 && i < seen.size(); i++) {
        const Sighting& s = seen[i];
        if (s.left < 0) {
            run.clear();
            continue;
        }
        const LONG at = s.left > 0 ? s.left : s.right - width + 1;
        // Frames moved since the sighting before, the box's 74 places round.
        const long moved = ((std::lround((at - was) * 6.0 / width) % 74) + 111) % 74 - 37;
        const long frame = run.empty() ? 0 : run.back().second + std::labs(moved);
        for (const auto& [ms, from] : run) {
            const long frames = frame - from;
            if (frames >= 20 && frames <= 40) per_frame.push_back((s.ms - ms) / double(frames));
        }
        run.emplace_back(s.ms, frame);
        was = at;
    }
    if (per_frame.empty()) return 1;
    std::sort(per_frame.begin(), per_frame.end());
    std::printf("spans %zu\nmedian %.2f\n", per_frame.size(), per_frame[per_frame.size() / 2]);
    return 0;
}

bool window_blinks(HWND window);

HWND about_box() {
    HWND box = FindWindowW(L"#32770", L"About");
    HWND owner = find_main_window();
    if (!box || !owner) return nullptr;
    DWORD box_process = 0, owner_process = 0;
    GetWindowThreadProcessId(box, &box_process);
    GetWindowThreadProcessId(owner, &owner_process);
    return box_process == owner_process && IsWindowVisible(box) ? box : nullptr;
}

int command_about(double seconds) {
    HWND box = nullptr;
    if (!wait_until(seconds, 20, [&] { return (box = about_box()) != nullptr; })) return 1;
    Sleep(200);  // let the dialog settle its focus
    HWND text_box = GetDlgItem(box, IDC_ABOUT_TEXT);
    RECT frame, owner;
    GetWindowRect(box, &frame);
    GetWindowRect(find_main_window(), &owner);
    std::printf("box %ld %ld %ld %ld\n", frame.left, frame.top, frame.right, frame.bottom);
    std::printf("owner %ld %ld %ld %ld\n", owner.left, owner.top, owner.right, owner.bottom);
    static wchar_t text[4096];
    text[0] = 0;
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(text_box, WM_GETTEXT, 4096, LPARAM(text), SMTO_ABORTIFHUNG, 5000, &copied);
    print_escaped("text ", text);
    DWORD_PTR selection = 0;
    SendMessageTimeoutW(text_box, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &selection);
    std::printf("selection %u %u\n", unsigned(LOWORD(selection)), unsigned(HIWORD(selection)));
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info);
    std::printf("focus %s\n", info.hwndFocus == text_box ? "text" : "other");
    const char* caret = !info.hwndCaret ? "none" : (info.flags & GUI_CARETBLINKING) ? "shown" : "hidden";
    std::printf("caret %s\n", caret);
    std::printf("caret-blinks %d\n", window_blinks(text_box) ? 1 : 0);
    std::printf("readonly %d\n", (GetWindowLongPtrW(text_box, GWL_STYLE) & ES_READONLY) ? 1 : 0);
    std::printf("owner-enabled %d\n", IsWindowEnabled(find_main_window()) ? 1 : 0);
    return 0;
}

// Where the program's keyboard goes: its thread's active and focus windows
// and the foreground window, each as main, about, text (the About box's
// text box), none or other(CLASS).
int command_focus() {
    HWND main = find_main_window();
    if (!main) return 1;
    HWND box = about_box();
    HWND text_box = box ? GetDlgItem(box, IDC_ABOUT_TEXT) : nullptr;
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info)) return 1;
    auto name = [&](HWND window) {
        if (!window) return "none";
        if (window == main) return "main";
        if (window == box) return "about";
        if (window == text_box) return "text";
        static char other[160];  // one name a call: printed before the next
        wchar_t class_name[128] = L"";
        GetClassNameW(window, class_name, 128);
        std::snprintf(other, sizeof other, "other(%ls)", class_name);
        return static_cast<const char*>(other);
    };
    std::printf("active %s focus %s", name(info.hwndActive), name(info.hwndFocus));
    std::printf(" foreground %s\n", name(GetForegroundWindow()));
    return 0;
}

int command_about_move(int left, int top) {
    HWND box = about_box();
    if (!box) return 1;
    return SetWindowPos(box, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) ? 0 : 1;
}

int command_about_menu() {
    HWND box = about_box();
    if (!box) return 1;
    HWND text_box = GetDlgItem(box, IDC_ABOUT_TEXT);
    return PostMessageW(text_box, WM_CONTEXTMENU, WPARAM(text_box), MAKELPARAM(-1, -1)) ? 0 : 1;
}

int command_about_end(const wchar_t* how) {
    HWND box = about_box();
    if (!box) return 1;
    if (!std::wcscmp(how, L"ok")) return PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0) ? 0 : 1;
    if (!std::wcscmp(how, L"close")) return PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : 1;
    return 2;
}

int command_about_gone(double seconds) {
    return wait_until(seconds, 20, [] { return !about_box(); }) ? 0 : 1;
}

int command_clipboard() {
    if (!OpenClipboard(nullptr)) return 1;
    int status = 1;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const wchar_t* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            print_escaped("", text);
            GlobalUnlock(data);
            status = 0;
        }
    }
    CloseClipboard();
    return status;
}

int command_pixel(int x, int y) {
    HWND window = find_main_window();
    uint32_t* pixels = nullptr;
    LONG width, height;
    if (!window || !client_picture(window, &pixels, &width, &height)) return 1;
    int status = 1;
    if (x >= 0 && y >= 0 && x < width && y < height) {
        std::printf("%06X\n", unsigned(pixels[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFF));
        status = 0;
    }
    std::free(pixels);
    return status;
}

// With layout, first the client area's size ("client W H "), and after the
// box the title (" title TITLE"): one look at the window in one process, for
// a check that must see them together while the window's thread is busy.
int command_picture_box(const wchar_t* background, bool layout = false) {
    HWND window = find_main_window();
    uint32_t* pixels = nullptr;
    LONG width, height;
    if (!window || !client_picture(window, &pixels, &width, &height)) return 1;
    if (layout) std::printf("client %ld %ld ", width, height);
    uint32_t colour = uint32_t(std::wcstoul(background, nullptr, 16));
    LONG left = width, top = height, right = -1, bottom = -1;
    for (LONG y = 0; y < height; y++) {
        for (LONG x = 0; x < width; x++) {
            if ((pixels[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFF) == colour) continue;
            if (x < left) left = x;
            if (x > right) right = x;
            if (y < top) top = y;
            if (y > bottom) bottom = y;
        }
    }
    std::free(pixels);
    if (right < 0) {
        std::printf("0 0 0 0");
    } else {
        std::printf("%ld %ld %ld %ld", left, top, right - left + 1, bottom - top + 1);
    }
    if (!layout) {
        std::printf("\n");
        return 0;
    }
    wchar_t title[1024] = L"";
    InternalGetWindowText(window, title, 1024);
    print_escaped(" title ", title);
    return 0;
}

// The press, one move and the release, each handled before the next is sent.
int command_drag(int dx, int dy) {
    HWND window = find_main_window();
    RECT client{0, 0, 0, 0};
    if (!window || !GetClientRect(window, &client)) return 1;
    const LPARAM from = MAKELPARAM(client.right / 2, client.bottom / 2);
    const LPARAM to = MAKELPARAM(client.right / 2 + dx, client.bottom / 2 + dy);
    auto send = [window](UINT message, WPARAM buttons, LPARAM at) {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(window, message, buttons, at, SMTO_ABORTIFHUNG, 5000, &result) != 0;
    };
    const bool sent = send(WM_LBUTTONDOWN, MK_LBUTTON, from) && send(WM_MOUSEMOVE, MK_LBUTTON, to) &&
                      send(WM_LBUTTONUP, 0, to);
    return sent ? 0 : 1;
}

// Whether anything in the window changes over about two caret blinks.
bool window_blinks(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    LONG width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0) return false;
    HDC dc = GetDC(window);
    HDC memory_dc = CreateCompatibleDC(dc);
    HBITMAP first = CreateCompatibleBitmap(dc, width, height);
    HBITMAP now = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ old = SelectObject(memory_dc, first);
    BitBlt(memory_dc, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    std::string a(size_t(width) * size_t(height) * 4, '\0'), b = a;
    BITMAPINFO info = top_down_info(width, height);
    SelectObject(memory_dc, old);
    GetDIBits(memory_dc, first, 0, UINT(height), a.data(), &info, DIB_RGB_COLORS);
    bool changed = false;
    for (int i = 0; i < 12 && !changed; i++) {
        Sleep(100);
        SelectObject(memory_dc, now);
        BitBlt(memory_dc, 0, 0, width, height, dc, 0, 0, SRCCOPY);
        SelectObject(memory_dc, old);
        GetDIBits(memory_dc, now, 0, UINT(height), b.data(), &info, DIB_RGB_COLORS);
        changed = a != b;
    }
    DeleteObject(first);
    DeleteObject(now);
    DeleteDC(memory_dc);
    ReleaseDC(window, dc);
    return changed;
}

double number(const wchar_t* text) { return std::wcstod(text, nullptr); }

}  // namespace

// Returns the exit code of a command of this file, or -1 for another command.
int commands_command(int argc, wchar_t** argv) {
    const wchar_t* command = argv[1];
    auto is = [command](const wchar_t* name) { return !std::wcscmp(command, name); };
    if (is(L"menu") && argc > 2) return command_menu(number(argv[2]));
    if (is(L"menu-gone") && argc > 2) return command_menu_gone(number(argv[2]));
    if (is(L"menu-char") && argc > 2) return command_menu_post(WM_CHAR, WPARAM(argv[2][0]));
    if (is(L"menu-key") && argc > 2) return command_menu_post(WM_KEYDOWN, WPARAM(std::wcstol(argv[2], nullptr, 0)));
    if (is(L"window")) return command_window();
    if (is(L"screen")) return command_screen();
    if (is(L"move") && argc > 5)
        return command_move(int(number(argv[2])), int(number(argv[3])), int(number(argv[4])),
                            int(number(argv[5])));
    if (is(L"titles") && argc > 2) return command_titles(number(argv[2]));
    if (is(L"frame-changes") && argc > 2) return command_frame_changes(number(argv[2]));
    if (is(L"pace") && argc > 2)
        return command_pace(number(argv[2]), argc > 3 && !std::wcscmp(argv[3], L"reverse"));
    if (is(L"about") && argc > 2) return command_about(number(argv[2]));
    if (is(L"about-menu")) return command_about_menu();
    if (is(L"focus")) return command_focus();
    if (is(L"about-move") && argc > 3) return command_about_move(int(number(argv[2])), int(number(argv[3])));
    if (is(L"about-end") && argc > 2) return command_about_end(argv[2]);
    if (is(L"about-gone") && argc > 2) return command_about_gone(number(argv[2]));
    if (is(L"clipboard")) return command_clipboard();
    if (is(L"pixel") && argc > 3) return command_pixel(int(number(argv[2])), int(number(argv[3])));
    if (is(L"picture-box") && argc > 2) return command_picture_box(argv[2]);
    if (is(L"layout") && argc > 2) return command_picture_box(argv[2], true);
    if (is(L"drag") && argc > 3) return command_drag(int(number(argv[2])), int(number(argv[3])));
    return -1;
}
