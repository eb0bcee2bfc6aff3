#include "shell/handover_rules.h"

#include <cstring>

#include "shell/file_rules.h"

HandoverVerdict check_handover(uint64_t wparam, uint64_t dw_data, uint32_t size, const void* data,
                               char16_t* path) {
    if (wparam != ~uint64_t(0) || dw_data != COPYDATA_OPEN_FILE || size > COPYDATA_MAX_BYTES) {
        return HANDOVER_REJECTED;
    }
    if (size == 0 || data == nullptr) return HANDOVER_EMPTY;
    // Whole units only; an odd last byte cannot hold a terminator.
    size_t units = size / sizeof(char16_t);
    if (units > PATH_CAPACITY) units = PATH_CAPACITY;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < units; i++) {
        char16_t unit;
        std::memcpy(&unit, bytes + i * sizeof(char16_t), sizeof unit);  // lpData may be unaligned
        if (unit == 0) {
            std::memcpy(path, data, (i + 1) * sizeof(char16_t));
            return i == 0 ? HANDOVER_EMPTY : HANDOVER_PATH;
        }
    }
    return HANDOVER_EMPTY;  // no terminator within the payload: nothing usable
}
