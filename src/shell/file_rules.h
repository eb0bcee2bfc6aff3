// The rules by which the shell accepts files and finds the previous and next
// .gif file of a folder. Paths are UTF-16 (char16_t, the layout of Windows'
// wchar_t), so the Win32 shell passes its buffers as they are.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t PATH_CAPACITY = 1024;  // units of requested_path and loaded_path, terminator included
constexpr size_t NAME_CAPACITY = 256;   // units of a neighbour's name, terminator included

constexpr uint32_t NEIGHBOUR_NEXT = 1;      // the listing has an entry after the current file
constexpr uint32_t NEIGHBOUR_PREVIOUS = 2;  // ... and one before it

// True when path is longer than 4 units and ends in ".gif", letter case of
// g, i and f folded. The one extension test of every file choice.
bool has_gif_suffix(const char16_t* path);

// Units before the terminator.
size_t path_length(const char16_t* path);

// True when both paths are equal unit by unit (case counts, no normalising).
bool same_path(const char16_t* a, const char16_t* b);

// Copies source with its terminator into destination of capacity units.
// Returns false, leaving destination untouched, when it does not fit.
bool copy_path(char16_t* destination, size_t capacity, const char16_t* source);

// Units of the directory prefix of path, up to and including its last
// backslash; 0 when it has none.
size_t directory_prefix_length(const char16_t* path);

// The walk over a folder listing ("prefix*.gif", in the file system's order)
// that finds the entries before and after the current name.
struct NeighbourWalk {
    const char16_t* current;        // the name on show, compared exactly
    char16_t previous[NAME_CAPACITY];  // the last entry before the current one
    char16_t next[NAME_CAPACITY];      // the entry after it, when NEIGHBOUR_NEXT
    bool previous_fits;             // previous held a whole name
    bool next_fits;
    uint32_t flags;                 // NEIGHBOUR_NEXT | NEIGHBOUR_PREVIOUS
    uint32_t entries;               // entries taken
    bool met;                       // the current name has been taken
};

void neighbour_walk_start(NeighbourWalk* walk, const char16_t* current);

// Takes the next entry of the listing. Entries whose name fails the
// extension test are skipped (a pattern also matches 8.3 short names, so
// clip.gifv would otherwise count). Returns false once the walk needs no
// more entries.
bool neighbour_walk_take(NeighbourWalk* walk, const char16_t* name);

// The search pattern for the folder of path: its directory prefix and
// "*.gif". Returns false when path has no backslash or the pattern does not
// fit in capacity units.
bool neighbour_pattern(const char16_t* path, char16_t* pattern, size_t capacity);

// Puts the neighbour that direction asks for (0 previous, 2 next, the
// virtual-key code AND 2) behind the directory prefix of requested
// (PATH_CAPACITY units). Returns the walk's flags, or 0 with requested
// untouched when there is no such neighbour or the result would not fit.
uint32_t splice_neighbour(const NeighbourWalk* walk, uint32_t direction, char16_t* requested);
