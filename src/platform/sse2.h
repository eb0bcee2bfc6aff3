// The one switch for the SSE2 code paths. Every x86-64 processor has SSE2
// (MSVC says so with _M_X64, GCC and Clang with __SSE2__); elsewhere the
// callers fall back to plain loops.
#pragma once

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ZOETRA_SSE2 1
#endif
