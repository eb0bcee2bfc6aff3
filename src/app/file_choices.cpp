// The ways a file is chosen: the command line, a drop, the open dialog and
// stepping to the previous or next .gif file of the folder. Each writes its
// path only when it accepts it; a refusal changes nothing.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cwchar>

#include "app/file_choices.h"

#include "app/app.h"

namespace {

bool is_existing_file(const wchar_t* path) {
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool is_openable_path(const wchar_t* path) {
    return directory_prefix_length(as_utf16(path)) != 0 && is_existing_file(path) &&
           has_gif_suffix(as_utf16(path));
}

int take_command_line_path(wchar_t* destination) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments) return 0;
    int accepted = 0;
    if (count >= 2) {
        wchar_t full[PATH_CAPACITY];
        DWORD length = GetFullPathNameW(arguments[1], PATH_CAPACITY, full, nullptr);
        if (length > 0 && length < PATH_CAPACITY && is_existing_file(full) &&
            has_gif_suffix(as_utf16(full))) {
            accepted = copy_path(as_utf16(destination), PATH_CAPACITY, as_utf16(full));
        }
    }
    LocalFree(arguments);
    return accepted;
}

int take_dropped_path(HDROP drop, wchar_t* requested) {
    // Asked for the length first: into a buffer DragQueryFileW cuts a long
    // path silently, and a cut path could name another file.
    int accepted = 0;
    UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    wchar_t path[PATH_CAPACITY];
    if (length > 0 && length < PATH_CAPACITY &&
        DragQueryFileW(drop, 0, path, PATH_CAPACITY) == length && is_existing_file(path) &&
        has_gif_suffix(as_utf16(path))) {
        accepted = copy_path(as_utf16(requested), PATH_CAPACITY, as_utf16(path));
    }
    DragFinish(drop);
    return accepted;
}

int choose_file_dialog(HWND owner, wchar_t* requested) {
    wchar_t path[PATH_CAPACITY];
    copy_path(as_utf16(path), PATH_CAPACITY, as_utf16(requested));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"GIF (*.gif)\0*.gif\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = PATH_CAPACITY;
    dialog.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;
    dialog.lpstrDefExt = L"gif";
    if (!GetOpenFileNameW(&dialog) || dialog.nFileOffset == 0) return 0;
    if (!has_gif_suffix(as_utf16(path))) return 0;
    return copy_path(as_utf16(requested), PATH_CAPACITY, as_utf16(path));
}

uint32_t find_folder_neighbours(const wchar_t* requested, NeighbourWalk* walk) {
    wchar_t pattern[PATH_CAPACITY];
    if (!neighbour_pattern(as_utf16(requested), as_utf16(pattern), PATH_CAPACITY)) return 0;
    const char16_t* current = as_utf16(requested) + directory_prefix_length(as_utf16(requested));
    neighbour_walk_start(walk, current);
    WIN32_FIND_DATAW entry;
    HANDLE listing = FindFirstFileW(pattern, &entry);
    if (listing == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!neighbour_walk_take(walk, as_utf16(entry.cFileName))) break;
    } while (FindNextFileW(listing, &entry));
    FindClose(listing);
    return walk->flags;
}

uint32_t step_to_neighbour(wchar_t* requested, uint32_t direction) {
    NeighbourWalk walk;
    if (!find_folder_neighbours(requested, &walk)) return 0;
    return splice_neighbour(&walk, direction, as_utf16(requested));
}
