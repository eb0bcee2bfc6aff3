// The single-instance hand-over: a second start of the program sends its
// file's path to the running window as WM_COPYDATA. This is the receiver's
// check of the payload, before anything is copied.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint64_t COPYDATA_OPEN_FILE = 1237548;  // dwData of a hand-over
constexpr uint64_t COPYDATA_ACK = 1237549;        // the answer to an accepted one
constexpr uint64_t COPYDATA_REJECTED = 1;         // the answer to anything else
constexpr uint32_t COPYDATA_MAX_BYTES = 2048;     // a 1024-unit path with its terminator

enum HandoverVerdict {
    HANDOVER_REJECTED,  // not a hand-over: answer 1, change nothing
    HANDOVER_EMPTY,     // a hand-over without a usable path: answer COPYDATA_ACK, load nothing
    HANDOVER_PATH,      // path holds the payload's path: test it, load it, answer COPYDATA_ACK
};

// Checks a WM_COPYDATA message: wparam must be all ones, dw_data
// COPYDATA_OPEN_FILE and size at most COPYDATA_MAX_BYTES. Copies the
// zero-terminated UTF-16 path at data into path (PATH_CAPACITY units) only
// when its terminator lies within size bytes; never reads past size bytes.
HandoverVerdict check_handover(uint64_t wparam, uint64_t dw_data, uint32_t size, const void* data,
                               char16_t* path);
