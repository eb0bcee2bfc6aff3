#include "shell/file_rules.h"

#include <cstring>

namespace {

bool is_letter(char16_t unit, char16_t lower) { return unit == lower || unit == lower - 32; }

// Copies name into a NAME_CAPACITY buffer; false (buffer emptied) when it is
// too long.
bool take_name(char16_t* to, const char16_t* name) {
    if (!copy_path(to, NAME_CAPACITY, name)) {
        to[0] = 0;
        return false;
    }
    return true;
}

}  // namespace

size_t path_length(const char16_t* path) {
    size_t n = 0;
    while (path[n]) n++;
    return n;
}

bool has_gif_suffix(const char16_t* path) {
    size_t n = path_length(path);
    if (n <= 4) return false;
    const char16_t* end = path + n - 4;
    return end[0] == u'.' && is_letter(end[1], u'g') && is_letter(end[2], u'i') &&
           is_letter(end[3], u'f');
}

bool same_path(const char16_t* a, const char16_t* b) {
    for (;; a++, b++) {
        if (*a != *b) return false;
        if (*a == 0) return true;
    }
}

bool copy_path(char16_t* destination, size_t capacity, const char16_t* source) {
    size_t n = path_length(source);
    if (n >= capacity) return false;
    std::memcpy(destination, source, (n + 1) * sizeof(char16_t));
    return true;
}

size_t directory_prefix_length(const char16_t* path) {
    size_t prefix = 0;
    for (size_t i = 0; path[i]; i++) {
        if (path[i] == u'\\') prefix = i + 1;
    }
    return prefix;
}

void neighbour_walk_start(NeighbourWalk* walk, const char16_t* current) {
    *walk = NeighbourWalk{};
    walk->current = current;
}

bool neighbour_walk_take(NeighbourWalk* walk, const char16_t* name) {
    if (!has_gif_suffix(name)) return true;
    walk->entries++;
    if (walk->met) {
        // The one entry after the current name.
        walk->next_fits = take_name(walk->next, name);
        walk->flags |= NEIGHBOUR_NEXT;
        return false;
    }
    if (same_path(name, walk->current)) {
        walk->met = true;
        if (walk->entries > 1) walk->flags |= NEIGHBOUR_PREVIOUS;
        return true;
    }
    walk->previous_fits = take_name(walk->previous, name);
    return true;
}

bool neighbour_pattern(const char16_t* path, char16_t* pattern, size_t capacity) {
    static const char16_t suffix[] = u"*.gif";
    size_t prefix = directory_prefix_length(path);
    if (prefix == 0 || prefix + 6 > capacity) return false;
    std::memcpy(pattern, path, prefix * sizeof(char16_t));
    std::memcpy(pattern + prefix, suffix, sizeof suffix);
    return true;
}

uint32_t splice_neighbour(const NeighbourWalk* walk, uint32_t direction, char16_t* requested) {
    bool next = direction == 2;
    uint32_t wanted = next ? NEIGHBOUR_NEXT : NEIGHBOUR_PREVIOUS;
    if (!(walk->flags & wanted)) return 0;
    if (!(next ? walk->next_fits : walk->previous_fits)) return 0;
    const char16_t* name = next ? walk->next : walk->previous;
    size_t prefix = directory_prefix_length(requested);
    if (prefix == 0 || !copy_path(requested + prefix, PATH_CAPACITY - prefix, name)) return 0;
    return walk->flags;
}
