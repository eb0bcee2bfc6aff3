// zoetra-driver's commands for the main window's own tests:
//
//   zoetra-driver count-windows           prints how many visible main windows exist
//   zoetra-driver copydata WPARAM DWDATA SIZE [TEXT]
//       sends WM_COPYDATA: TEXT as UTF-16 with its terminator (or nothing);
//       SIZE is cbData in bytes, or "auto" for the text's own size; TEXT
//       "-" sends a null lpData. Prints the answer in decimal.
//   zoetra-driver hide / show             hides or shows the main window
//   zoetra-driver second-start PATH [LOAD_PATH]
//       starts zoetra.exe PATH suspended, so that Wine has made its process
//       before it runs; with LOAD_PATH, hands that file over (WM_COPYDATA)
//       and waits for its load's progress title; then lets the second start
//       run and waits for its end. Prints "exit CODE" and the main window's
//       title at that moment.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "driver.h"

int shell_command(int argc, wchar_t** argv);

namespace {

BOOL CALLBACK count_window(HWND window, LPARAM count) {
    wchar_t name[64];
    if (GetClassNameW(window, name, 64) && !std::wcscmp(name, MAIN_CLASS_NAME) && IsWindowVisible(window)) {
        ++*reinterpret_cast<int*>(count);
    }
    return TRUE;
}

int command_count_windows() {
    int count = 0;
    EnumWindows(count_window, LPARAM(&count));
    std::printf("%d\n", count);
    return 0;
}

int command_copydata(const wchar_t* wparam, const wchar_t* dw_data, const wchar_t* size,
                     const wchar_t* text) {
    HWND window = find_main_window();
    if (!window) return 1;
    std::vector<wchar_t> payload;
    if (text) payload.assign(text, text + std::wcslen(text) + 1);
    COPYDATASTRUCT data{};
    data.dwData = ULONG_PTR(std::wcstoull(dw_data, nullptr, 0));
    data.cbData = !std::wcscmp(size, L"auto") ? DWORD(payload.size() * sizeof(wchar_t))
                                               : DWORD(std::wcstoul(size, nullptr, 0));
    // The payload buffer is as large as cbData claims, so a lying size is
    // still safe to send; the receiver must not trust it beyond its bytes.
    std::vector<unsigned char> bytes(data.cbData > payload.size() * 2 ? data.cbData : payload.size() * 2, 'x');
    if (!payload.empty()) std::memcpy(bytes.data(), payload.data(), payload.size() * 2);
    data.lpData = (text && std::wcscmp(text, L"-") != 0) ? bytes.data() : nullptr;
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, WM_COPYDATA, WPARAM(_wcstoi64(wparam, nullptr, 0)),
                             LPARAM(&data), SMTO_ABORTIFHUNG, 30000, &answer)) {
        return 1;
    }
    std::printf("%llu\n", static_cast<unsigned long long>(answer));
    return 0;
}

int command_second_start(const wchar_t* path, const wchar_t* load_path) {
    HWND window = find_main_window();
    wchar_t program[MAX_PATH];  // zoetra.exe, beside this driver
    DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    wchar_t* slash = length < MAX_PATH ? std::wcsrchr(program, L'\\') : nullptr;
    if (!window || !slash || size_t(slash - program) + 12 > MAX_PATH) return 1;
    std::wcscpy(slash + 1, L"zoetra.exe");
    std::wstring line = L"zoetra.exe \"" + std::wstring(path) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION second{};
    if (!CreateProcessW(program, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &second))
        return 1;
    wchar_t title[1024] = L"";
    COPYDATASTRUCT data{};
    data.dwData = 1237548;  // the hand-over's mark
    data.cbData = load_path ? DWORD((std::wcslen(load_path) + 1) * sizeof(wchar_t)) : 0;
    data.lpData = const_cast<wchar_t*>(load_path);
    DWORD_PTR answer = 0;
    bool ran = !load_path ||
               (SendMessageTimeoutW(window, WM_COPYDATA, WPARAM(-1), LPARAM(&data), SMTO_ABORTIFHUNG,
                                    30000, &answer) &&
                wait_until(60, 1, [&] {
                    InternalGetWindowText(window, title, 1024);
                    return std::wcsncmp(title, L"Processing data", 15) == 0;
                }));
    ResumeThread(second.hThread);
    DWORD code = 1;
    ran = ran && WaitForSingleObject(second.hProcess, 60000) == WAIT_OBJECT_0 &&
          GetExitCodeProcess(second.hProcess, &code);
    InternalGetWindowText(window, title, 1024);
    if (!ran) TerminateProcess(second.hProcess, 1);
    CloseHandle(second.hThread);
    CloseHandle(second.hProcess);
    std::printf("exit %lu\n", code);
    print_utf8(title);
    return ran ? 0 : 1;
}

}  // namespace

// Returns the command's exit code, or -1 when it is none of these.
int shell_command(int argc, wchar_t** argv) {
    const wchar_t* command = argv[1];
    if (!std::wcscmp(command, L"count-windows")) return command_count_windows();
    if (!std::wcscmp(command, L"copydata") && argc > 4)
        return command_copydata(argv[2], argv[3], argv[4], argc > 5 ? argv[5] : nullptr);
    if (!std::wcscmp(command, L"second-start") && argc > 2)
        return command_second_start(argv[2], argc > 3 ? argv[3] : nullptr);
    if (!std::wcscmp(command, L"hide") || !std::wcscmp(command, L"show")) {
        HWND window = find_main_window();
        if (!window) return 1;
        ShowWindow(window, command[0] == L'h' ? SW_HIDE : SW_SHOW);
        return 0;
    }
    return -1;
}
