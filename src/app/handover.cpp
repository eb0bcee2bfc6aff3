// The single-instance hand-over: a second start sends its file to the
// running window with WM_COPYDATA and ends; the running window answers at
// once and loads the file afterwards.
#include <windows.h>

#include "app/handover.h"

#include "app/file_choices.h"
#include "app/load.h"
#include "app/main_window.h"
#include "shell/handover_rules.h"

namespace {

// A running window that does not answer within this time counts as not
// acknowledging, so a second start never hangs on it.
constexpr UINT HANDOVER_TIMEOUT_MS = 5000;

}  // namespace

int hand_over_to_running_instance() {
    HWND running = FindWindowW(MAIN_CLASS_NAME, nullptr);
    if (!running || !IsWindowVisible(running)) return 0;
    wchar_t path[PATH_CAPACITY];
    COPYDATASTRUCT data{};
    data.dwData = ULONG_PTR(COPYDATA_OPEN_FILE);
    if (take_command_line_path(path)) {
        data.cbData = DWORD((path_length(as_utf16(path)) + 1) * sizeof(wchar_t));
        data.lpData = path;
    }
    // Windows lets a process take the foreground only while the foreground
    // process allows it: this one, started by the user, passes that on, so
    // the running window can raise itself for the file already on show.
    DWORD running_process = 0;
    GetWindowThreadProcessId(running, &running_process);
    if (running_process) AllowSetForegroundWindow(running_process);
    // Neither call waits for the running window's thread. A modal box the
    // window has open comes to the front instead of the window, which is
    // disabled behind it: the box keeps the keyboard.
    if (IsIconic(running)) {
        ShowWindowAsync(running, SW_RESTORE);
    } else {
        SetForegroundWindow(GetLastActivePopup(running));
    }
    DWORD_PTR answer = 0;
    LRESULT sent = SendMessageTimeoutW(running, WM_COPYDATA, WPARAM(-1), LPARAM(&data),
                                       SMTO_ABORTIFHUNG, HANDOVER_TIMEOUT_MS, &answer);
    return sent != 0 && answer == COPYDATA_ACK;
}

LRESULT receive_handover(HWND window, WPARAM wparam, const COPYDATASTRUCT* data, Shell* shell) {
    if (!data) return LRESULT(COPYDATA_REJECTED);
    wchar_t path[PATH_CAPACITY];
    // Sign-extended, so -1 is all ones whatever the width of WPARAM.
    switch (check_handover(uint64_t(int64_t(INT_PTR(wparam))),
                           uint64_t(data->dwData), data->cbData, data->lpData, as_utf16(path))) {
    case HANDOVER_REJECTED:
        return LRESULT(COPYDATA_REJECTED);
    case HANDOVER_EMPTY:
        return LRESULT(COPYDATA_ACK);
    case HANDOVER_PATH:
        break;
    }
    // The same tests as a command-line path: a foreign sender can neither
    // clear the animation on show nor name a path relative to our folder.
    if (!is_openable_path(path)) return LRESULT(COPYDATA_ACK);
    // The file on show again: raised now, while the waiting sender still
    // lets this process take the foreground; its load then only resumes it.
    if (same_path(as_utf16(path), as_utf16(shell->loaded_path))) raise_window(window);
    // The sender waits for the answer, so the decode, which may take
    // seconds, runs after it: at most one load message is outstanding, and
    // a later hand-over before it runs only replaces the path.
    copy_path(as_utf16(shell->handed_over_path), PATH_CAPACITY, as_utf16(path));
    if (!shell->handover_posted) post_handed_over_load(window, shell);
    return LRESULT(COPYDATA_ACK);
}

void post_handed_over_load(HWND window, Shell* shell) {
    if (PostMessageW(window, WM_APP_LOAD_HANDED_OVER, 0, 0)) {
        shell->handover_posted = 1;
        return;
    }
    // A full queue: load now rather than lose the path; during a load, its
    // end comes back here.
    if (!shell->loading) load_handed_over_file(window, shell);
}

void load_handed_over_file(HWND window, Shell* shell) {
    shell->handover_posted = 0;
    // Keys and clicks from before the hand-over act on the file they were
    // meant for; they may load a file themselves, or take the path.
    dispatch_waiting_input();
    if (!shell->handed_over_path[0]) return;
    copy_path(as_utf16(shell->requested_path), PATH_CAPACITY, as_utf16(shell->handed_over_path));
    shell->handed_over_path[0] = 0;
    load_requested_file(window, shell);
}
