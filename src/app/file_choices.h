// The ways a file is chosen: the command line, a drop, the open dialog and
// the previous or next .gif file of the folder. Paths are PATH_CAPACITY
// units; each function writes its path only when it accepts it.
#pragma once
#include <windows.h>

#include <cstdint>

#include "shell/file_rules.h"

// The first command-line argument as a full path to an existing .gif file that
// is no folder, into destination (PATH_CAPACITY units). Returns 1 or 0.
int take_command_line_path(wchar_t* destination);

// Tests path as a file to open: a full path (with a backslash) to an existing
// file, no folder, with the .gif suffix.
bool is_openable_path(const wchar_t* path);

// The first file of a drop into requested; always finishes the drop.
int take_dropped_path(HDROP drop, wchar_t* requested);

// The open dialog, starting at requested; the choice goes into requested.
int choose_file_dialog(HWND owner, wchar_t* requested);

// Lists the folder of requested and finds the entries around its file name.
// Returns the neighbour flags; walk holds the names.
uint32_t find_folder_neighbours(const wchar_t* requested, NeighbourWalk* walk);

// Puts the previous (direction 0) or next (2) file of the folder into
// requested. Returns the neighbour flags, or 0 with requested unchanged.
uint32_t step_to_neighbour(wchar_t* requested, uint32_t direction);
