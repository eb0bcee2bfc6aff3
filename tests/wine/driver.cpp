// zoetra-driver.exe: what the end-to-end tests use to look at and steer the
// running zoetra.exe from inside Wine.
//
//   zoetra-driver title                   prints the window's title (UTF-8)
//   zoetra-driver wait-window SECONDS     waits until the window is visible
//   zoetra-driver wait-no-window SECONDS  waits until no main window is left
//   zoetra-driver wait-title TEXT SECONDS waits until the title is TEXT
//   zoetra-driver client-size             prints "WIDTH HEIGHT" of the client area
//   zoetra-driver client-pixels OUT.ppm   writes the client area as a binary PPM
//   zoetra-driver syscolor appworkspace   prints COLOR_APPWORKSPACE as RRGGBB
//   zoetra-driver key VK                  sends WM_KEYDOWN with virtual-key code VK
//   zoetra-driver close                   sends WM_CLOSE
//
// Exit code 0 on success, 1 when the window is not there or the check failed,
// 2 for a wrong command line.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "driver.h"

void print_utf8(const wchar_t* text) {
    char buffer[4096];
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    if (length > 1) std::fwrite(buffer, 1, size_t(length - 1), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

namespace {

int command_title() {
    HWND window = find_main_window();
    if (!window) {
        std::fputs("title: no main window\n", stderr);
        return 1;
    }
    wchar_t title[1024];
    if (!read_title(window, title, 1024)) {
        std::fprintf(stderr, "title: WM_GETTEXT not answered (error %lu)\n", GetLastError());
        return 1;
    }
    print_utf8(title);
    return 0;
}

int command_wait_window(double seconds) {
    return wait_until(seconds, 50, [] {
        HWND window = find_main_window();
        return window && IsWindowVisible(window);
    }) ? 0 : 1;
}

int command_wait_no_window(double seconds) {
    return wait_until(seconds, 50, [] { return !find_main_window(); }) ? 0 : 1;
}

int command_wait_title(const wchar_t* expected, double seconds) {
    wchar_t title[1024] = L"";
    if (wait_until(seconds, 50, [&] {
            HWND window = find_main_window();
            return window && read_title(window, title, 1024) && std::wcscmp(title, expected) == 0;
        })) {
        return 0;
    }
    std::fputs("title is: ", stdout);
    print_utf8(title);
    return 1;
}

int command_client_size() {
    HWND window = find_main_window();
    if (!window) return 1;
    RECT client;
    GetClientRect(window, &client);
    std::printf("%ld %ld\n", client.right, client.bottom);
    return 0;
}

// Writes the client area as P6, the whole file with one WriteFile.
int command_client_pixels(const wchar_t* out_path) {
    HWND window = find_main_window();
    uint32_t* pixels = nullptr;
    LONG width, height;
    if (!window || !client_picture(window, &pixels, &width, &height)) return 1;
    char header[64];
    int header_length = std::snprintf(header, sizeof header, "P6\n%ld %ld\n255\n", width, height);
    size_t total = size_t(header_length) + size_t(width) * size_t(height) * 3;
    unsigned char* ppm = static_cast<unsigned char*>(std::malloc(total));
    int status = 1;
    if (ppm) {
        std::memcpy(ppm, header, size_t(header_length));
        unsigned char* out = ppm + header_length;
        for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
            uint32_t p = pixels[i];
            *out++ = (unsigned char)(p >> 16);
            *out++ = (unsigned char)(p >> 8);
            *out++ = (unsigned char)p;
        }
        HANDLE file = CreateFileW(out_path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            BOOL ok = WriteFile(file, ppm, DWORD(total), &written, nullptr);
            if (CloseHandle(file) && ok && written == DWORD(total)) status = 0;
        }
        std::free(ppm);
    }
    std::free(pixels);
    return status;
}

int command_syscolor(const wchar_t* which) {
    if (std::wcscmp(which, L"appworkspace") != 0) return 2;
    COLORREF colour = GetSysColor(COLOR_APPWORKSPACE);
    std::printf("%02X%02X%02X\n", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return 0;
}

int command_key(int code) {
    HWND window = find_main_window();
    if (!window) return 1;
    return PostMessageW(window, WM_KEYDOWN, WPARAM(code), 0) ? 0 : 1;
}

int command_close() {
    HWND window = find_main_window();
    if (!window) return 1;
    return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
}

}  // namespace

int read_title(HWND window, wchar_t* title, int capacity) {
    // SendMessageTimeout so a hung window cannot hang the driver.
    DWORD_PTR length = 0;
    title[0] = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, WPARAM(capacity), LPARAM(title),
                             SMTO_ABORTIFHUNG, 5000, &length))
        return 0;
    title[capacity - 1] = 0;
    return 1;
}

bool client_picture(HWND window, uint32_t** pixels, LONG* width, LONG* height) {
    RECT client;
    GetClientRect(window, &client);
    *width = client.right;
    *height = client.bottom;
    if (*width <= 0 || *height <= 0) return false;
    BITMAPINFO info = top_down_info(*width, *height);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return false;
    HDC window_dc = GetDC(window);
    HDC memory_dc = CreateCompatibleDC(window_dc);
    HGDIOBJ old = SelectObject(memory_dc, bitmap);
    BOOL copied = BitBlt(memory_dc, 0, 0, *width, *height, window_dc, 0, 0, SRCCOPY);
    GdiFlush();
    size_t count = size_t(*width) * size_t(*height);
    *pixels = copied ? static_cast<uint32_t*>(std::malloc(count * 4)) : nullptr;
    if (*pixels) std::memcpy(*pixels, bits, count * 4);
    SelectObject(memory_dc, old);
    DeleteDC(memory_dc);
    ReleaseDC(window, window_dc);
    DeleteObject(bitmap);
    return *pixels != nullptr;
}

// More commands, for the main window's tests (driver_shell.cpp).
int shell_command(int argc, wchar_t** argv);
// ... and for the commands, menu, fullscreen and About box (driver_commands.cpp).
int commands_command(int argc, wchar_t** argv);

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    if (int code = shell_command(argc, argv); code >= 0) return code;
    if (int code = commands_command(argc, argv); code >= 0) return code;
    const wchar_t* command = argv[1];
    if (!std::wcscmp(command, L"title")) return command_title();
    if (!std::wcscmp(command, L"wait-window") && argc > 2)
        return command_wait_window(std::wcstod(argv[2], nullptr));
    if (!std::wcscmp(command, L"wait-no-window") && argc > 2)
        return command_wait_no_window(std::wcstod(argv[2], nullptr));
    if (!std::wcscmp(command, L"wait-title") && argc > 3)
        return command_wait_title(argv[2], std::wcstod(argv[3], nullptr));
    if (!std::wcscmp(command, L"client-size")) return command_client_size();
    if (!std::wcscmp(command, L"client-pixels") && argc > 2)
        return command_client_pixels(argv[2]);
    if (!std::wcscmp(command, L"syscolor") && argc > 2) return command_syscolor(argv[2]);
    if (!std::wcscmp(command, L"key") && argc > 2)
        return command_key(int(std::wcstol(argv[2], nullptr, 0)));
    if (!std::wcscmp(command, L"close")) return command_close();
    return 2;
}
