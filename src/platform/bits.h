// Bit scans, with the compiler's own intrinsic (one instruction on x86-64).
#pragma once
#include <cstdint>

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

// The index of the lowest set bit of value, which is not 0.
inline uint32_t lowest_set_bit(uint32_t value) {
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index;
    _BitScanForward(&index, value);
    return uint32_t(index);
#else
    return uint32_t(__builtin_ctz(value));
#endif
}
