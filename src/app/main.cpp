// zoetra.exe: the main window. It decodes the file named on the command line
// and shows its first finished frame at 100%, centred, with the rest of the
// client area in the work-space colour.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cwchar>

#include "decode/animation.h"
#include "decode/gif_decode.h"
#include "decode/lzw.h"
#include "decode/result.h"

namespace {

constexpr wchar_t WINDOW_CLASS_NAME[] = L"ZoetraClass123";
constexpr wchar_t PROGRAM_TITLE[] = L"Zoetra";
constexpr int WINDOW_WIDTH = 480;
constexpr int WINDOW_HEIGHT = 360;
constexpr DWORD PATH_CAPACITY = 1024;

// The process-wide state of the window.
struct Shell {
    HWND window;
    HDC window_dc;      // the window's own device context (CS_OWNDC)
    HDC memory_dc;      // holds the bitmap of the frame on show
    HGDIOBJ default_bitmap;  // what memory_dc held when it was made
    HBRUSH background;  // the work-space brush, shared, never deleted
    LzwTable* table;
    int loaded;         // 1 while animation holds a shown file
};

Shell shell;
Animation animation;
wchar_t loaded_path[PATH_CAPACITY];

// COLORREF 0x00BBGGRR to a pixel 0x00RRGGBB.
uint32_t colorref_to_pixel(COLORREF colour) {
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

void fill(HDC dc, LONG left, LONG top, LONG right, LONG bottom) {
    if (left >= right || top >= bottom) return;
    RECT bar{left, top, right, bottom};
    FillRect(dc, &bar, shell.background);
}

// Draws the whole client area: the picture centred at 100%, the four bars
// around it in the work-space colour.
void paint_client() {
    RECT client;
    GetClientRect(shell.window, &client);
    HDC dc = shell.window_dc;
    if (!shell.loaded) {
        fill(dc, 0, 0, client.right, client.bottom);
        return;
    }
    LONG width = static_cast<LONG>(animation.width);
    LONG height = static_cast<LONG>(animation.height);
    LONG left = (client.right - width) / 2;
    LONG top = (client.bottom - height) / 2;
    LONG right = left + width;
    LONG bottom = top + height;
    fill(dc, 0, 0, client.right, top);
    fill(dc, 0, bottom, client.right, client.bottom);
    fill(dc, 0, top, left, bottom);
    fill(dc, right, top, client.right, bottom);
    StretchBlt(dc, left, top, width, height, shell.memory_dc, 0, 0, width, height, SRCCOPY);
}

void clear_loaded_file() {
    if (shell.loaded) SelectObject(shell.memory_dc, shell.default_bitmap);
    shell.loaded = 0;
    animation_release(&animation);
    loaded_path[0] = 0;
}

// Decodes path and shows its first frame; a file that is no usable GIF
// leaves the window empty and titled with the program's name.
void load_file(const wchar_t* path) {
    clear_loaded_file();
    int result = RESULT_LOAD_FAILED;
    if (animation_create_table(&animation)) {
        DecodeTarget target{};
        target.background = colorref_to_pixel(GetSysColor(COLOR_APPWORKSPACE));
        result = gif_decode_file(path, shell.table, &animation, &target);
    }
    if (result != RESULT_LOAD_FAILED && animation.frame_count > 0 &&
        animation.frames[0].bitmap.handle) {
        wcsncpy(loaded_path, path, PATH_CAPACITY - 1);
        loaded_path[PATH_CAPACITY - 1] = 0;
        SelectObject(shell.memory_dc, static_cast<HBITMAP>(animation.frames[0].bitmap.handle));
        shell.loaded = 1;
        const wchar_t* name = wcsrchr(loaded_path, L'\\');
        SetWindowTextW(shell.window, name ? name + 1 : loaded_path);
    } else {
        animation_release(&animation);
        SetWindowTextW(shell.window, PROGRAM_TITLE);
    }
    InvalidateRect(shell.window, nullptr, FALSE);
}

// The first argument, made absolute against the current directory.
void load_command_line() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments) return;
    if (count > 1) {
        wchar_t path[PATH_CAPACITY];
        DWORD length = GetFullPathNameW(arguments[1], PATH_CAPACITY, path, nullptr);
        if (length > 0 && length < PATH_CAPACITY) load_file(path);
    }
    LocalFree(arguments);
}

int on_create(HWND window) {
    shell.window = window;
    shell.table = static_cast<LzwTable*>(std::calloc(1, sizeof(LzwTable)));
    shell.window_dc = GetDC(window);
    shell.memory_dc = shell.window_dc ? CreateCompatibleDC(shell.window_dc) : nullptr;
    if (!shell.table || !shell.memory_dc) return -1;
    shell.default_bitmap = GetCurrentObject(shell.memory_dc, OBJ_BITMAP);
    shell.background = GetSysColorBrush(COLOR_APPWORKSPACE);
    SetStretchBltMode(shell.window_dc, HALFTONE);
    SetBrushOrgEx(shell.window_dc, 0, 0, nullptr);
    return 0;
}

void on_destroy() {
    clear_loaded_file();
    if (shell.memory_dc) DeleteDC(shell.memory_dc);
    if (shell.window_dc) ReleaseDC(shell.window, shell.window_dc);
    std::free(shell.table);
    shell.memory_dc = nullptr;
    shell.window_dc = nullptr;
    shell.table = nullptr;
    PostQuitMessage(0);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        return on_create(window);
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers every pixel
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        paint_client();
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        on_destroy();
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = WINDOW_CLASS_NAME;
    if (!RegisterClassExW(&window_class)) return 1;

    HWND window = CreateWindowExW(0, WINDOW_CLASS_NAME, PROGRAM_TITLE, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, WINDOW_WIDTH, WINDOW_HEIGHT,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, show);
    UpdateWindow(window);
    load_command_line();

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}
