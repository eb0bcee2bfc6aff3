// zoetra-shell-checks.exe: the shell run in-process under Wine, against the
// real system calls: drops built in memory, folder listings through
// FindFirstFileW, the fullscreen switch when the style cannot be set or was
// 0, hand-overs to a real main window. Usage: zoetra-shell-checks FOLDER, where
// FOLDER is an empty scratch folder. Prints one line per failed check and
// "N passed, N failed"; exits 1 when a check failed.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/commands.h"
#include "app/file_choices.h"
#include "app/main_window.h"
#include "shell/handover_rules.h"

namespace {

int passed = 0, failed = 0;

void check(bool ok, const char* what) {
    if (ok) {
        passed++;
    } else {
        failed++;
        std::printf("FAILED: %s\n", what);
    }
}

void make_file(const std::wstring& path, const void* bytes = "GIF89a", DWORD size = 6) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, bytes, size, &written, nullptr);
    CloseHandle(file);
}

// A drop of the given paths, as the shell hands it to WM_DROPFILES.
HDROP make_drop(const std::vector<std::wstring>& paths) {
    size_t units = 1;
    for (const std::wstring& path : paths) units += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t));
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    wchar_t* list = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& path : paths) {
        std::copy(path.begin(), path.end(), list);
        list += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

std::wstring dropped(const std::vector<std::wstring>& paths) {
    wchar_t requested[PATH_CAPACITY] = L"unchanged";
    take_dropped_path(make_drop(paths), requested);
    return requested;
}

// The listing of folder for "*.gif" in the file system's own order.
std::vector<std::wstring> listing(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"*.gif").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(entry.cFileName);
    while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

std::wstring stepped(const std::wstring& path, uint32_t direction) {
    wchar_t requested[PATH_CAPACITY];
    copy_path(as_utf16(requested), PATH_CAPACITY, as_utf16(path.c_str()));
    if (!step_to_neighbour(requested, direction)) return L"";
    return requested;
}

// The fullscreen switch's records as text, to compare before and after.
std::string fullscreen_records(const Shell& s) {
    const RECT& r = s.saved_window_rect;
    char text[160];
    std::snprintf(text, sizeof text, "style %llx rect %ld %ld %ld %ld brush %p fullscreen %u",
                  static_cast<unsigned long long>(s.saved_window_style), r.left, r.top, r.right,
                  r.bottom, s.player.background_brush, s.player.fullscreen);
    return text;
}

Shell shell;  // large: not on the stack

void check_fullscreen_switch() {
    // A handle that is no window: the style cannot be set, and nothing may
    // change, neither entering nor leaving.
    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 80, nullptr,
                                nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    shell.saved_window_rect = RECT{10, 20, 330, 260};
    for (uint32_t fullscreen : {0u, 1u}) {
        shell.player.fullscreen = fullscreen;
        shell.player.background_brush =
            fullscreen ? GetStockObject(BLACK_BRUSH) : GetSysColorBrush(COLOR_APPWORKSPACE);
        if (fullscreen) shell.saved_window_style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        const std::string before = fullscreen_records(shell);
        toggle_fullscreen(gone, &shell);
        check(fullscreen_records(shell) == before, "a failed style change leaves everything as it was");
    }

    // A window whose style is 0 (no caption: taken for fullscreen) is
    // switched: the 0 that SetWindowLongPtrW returns is its old style. (A
    // top-level window always keeps some style bits; a child can have none.)
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 80, nullptr,
                                  nullptr, nullptr, nullptr);
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 100, 80, parent, nullptr,
                                  nullptr, nullptr);
    SetWindowLongPtrW(window, GWL_STYLE, 0);
    check(GetWindowLongPtrW(window, GWL_STYLE) == 0, "a child window takes the style 0");
    shell.saved_window_style = WS_OVERLAPPEDWINDOW;
    toggle_fullscreen(window, &shell);
    check(shell.saved_window_style == 0 && shell.player.fullscreen == 0 &&
              (GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION,
          "a window of style 0 is switched");
    DestroyWindow(parent);
}

// A small valid GIF: one 3 x 2 frame.
const unsigned char SMALL_GIF[] = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x03, 0x00, 0x02, 0x00, 0x81, 0x00, 0x00,
    0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,
    0x2C, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x02, 0x00, 0x00,
    0x02, 0x03, 0x8C, 0x2D, 0x05, 0x00, 0x3B};

// Hand-overs are answered before anything loads; one posted message then
// loads the last path handed over, whatever requested_path holds by then.
void check_handover_load(const std::wstring& dir) {
    const std::wstring first = dir + L"first.gif", second = dir + L"second.gif";
    make_file(first, SMALL_GIF, sizeof SMALL_GIF);
    make_file(second, SMALL_GIF, sizeof SMALL_GIF);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    register_main_class(instance, &shell);
    HWND window = CreateWindowExW(0, MAIN_CLASS_NAME, L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 150,
                                  nullptr, nullptr, instance, nullptr);
    check(window != nullptr, "a main window is made");
    bool acknowledged = true;
    for (const std::wstring* path : {&first, &second}) {
        COPYDATASTRUCT data{COPYDATA_OPEN_FILE, DWORD((path->size() + 1) * sizeof(wchar_t)),
                            const_cast<wchar_t*>(path->c_str())};
        acknowledged &= SendMessageW(window, WM_COPYDATA, WPARAM(-1), LPARAM(&data)) ==
                        LRESULT(COPYDATA_ACK);
    }
    check(acknowledged && shell.loaded_path[0] == 0, "hand-overs are answered before any load");
    // A drop or a key changes requested_path before the load message runs.
    copy_path(as_utf16(shell.requested_path), PATH_CAPACITY, as_utf16(L"C:\\elsewhere.gif"));
    int loads = 0;
    MSG message;
    while (PeekMessageW(&message, window, WM_APP_LOAD_HANDED_OVER, WM_APP_LOAD_HANDED_OVER,
                        PM_REMOVE)) {
        loads++;
        DispatchMessageW(&message);
    }
    check(loads == 1 && second == shell.loaded_path, "one load, of the last path handed over");
    DestroyWindow(window);
}

// WM_DPICHANGED, which Wine never sends, in a normal window and in fullscreen.
void check_dpi_change() {
    HWND window = CreateWindowExW(0, MAIN_CLASS_NAME, L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 150,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    shell.saved_window_style = WS_VISIBLE | WS_CLIPSIBLINGS;
    RECT suggested{40, 30, 340, 255}, scaled{40, 30, 440, 330}, now, client;
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), LPARAM(&suggested));
    GetWindowRect(window, &now);
    GetClientRect(window, &client);
    const Rect& bar = shell.player.border_bottom;
    check(EqualRect(&now, &suggested) && bar.right == client.right && bar.bottom == client.bottom,
          "a normal window takes the suggested rectangle, laid out");
    toggle_fullscreen(window, &shell);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(192, 192), LPARAM(&client));
    toggle_fullscreen(window, &shell);
    GetWindowRect(window, &now);
    check(EqualRect(&now, &scaled), "after fullscreen the window is scaled too");
    DestroyWindow(window);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    std::wstring dir = argv[1];
    if (dir.back() != L'\\') dir += L'\\';
    for (const wchar_t* name : {L"a.gif", L"b.gif", L"c.gif", L"notes.txt"}) make_file(dir + name);
    CreateDirectoryW((dir + L"folder.gif").c_str(), nullptr);
    CreateDirectoryW((dir + L"sub").c_str(), nullptr);
    make_file(dir + L"sub\\only.gif");

    // Drops: the first item alone counts.
    check(dropped({dir + L"a.gif"}) == dir + L"a.gif", "a dropped .gif file is taken");
    check(dropped({dir + L"b.gif", dir + L"a.gif"}) == dir + L"b.gif", "only the first item counts");
    check(dropped({dir + L"notes.txt", dir + L"a.gif"}) == L"unchanged",
          "a refused first item refuses the drop");
    check(dropped({dir + L"folder.gif"}) == L"unchanged", "a folder named x.gif is refused");
    check(dropped({dir + L"missing.gif"}) == L"unchanged", "a missing file is refused");
    std::wstring long_path = dir;
    while (long_path.size() < 1030) long_path += L".\\";
    check(dropped({long_path + L"a.gif"}) == L"unchanged", "a path of 1024 units or more is refused");

    // Folder neighbours through the real listing, in its own order.
    std::vector<std::wstring> names = listing(dir);
    check(names.size() == 4, "the listing holds a, b, c and folder.gif");
    for (size_t i = 0; i < names.size(); i++) {
        std::wstring previous = i > 0 ? dir + names[i - 1] : L"";
        std::wstring next = i + 1 < names.size() ? dir + names[i + 1] : L"";
        check(stepped(dir + names[i], 0) == previous, "previous file in listing order, no wrap");
        check(stepped(dir + names[i], 2) == next, "next file in listing order, no wrap");
    }
    check(stepped(dir + L"sub\\only.gif", 2).empty() && stepped(dir + L"sub\\only.gif", 0).empty(),
          "a file alone in its folder has no neighbour");
    check(stepped(dir + L"B.GIF", 0).empty() && stepped(dir + L"B.GIF", 2).empty(),
          "a name in another letter case finds no neighbour");
    DeleteFileW((dir + L"b.gif").c_str());
    check(stepped(dir + L"b.gif", 0).empty() && stepped(dir + L"b.gif", 2).empty(),
          "a deleted current file finds no neighbour");
    check(stepped(L"b.gif", 2).empty(), "a path without a backslash finds no neighbour");

    // The acceptance test of handed-over paths.
    check(is_openable_path((dir + L"a.gif").c_str()), "a full path to a .gif file is openable");
    check(!is_openable_path(L"a.gif"), "a relative path is not");
    check(!is_openable_path((dir + L"folder.gif").c_str()), "a folder is not");
    check(!is_openable_path((dir + L"notes.txt").c_str()), "another suffix is not");

    check_fullscreen_switch();
    check_handover_load(dir);
    check_dpi_change();

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
