// Whether this build may use SSE2 intrinsics: always on x86-64 (GCC, Clang and MSVC alike), and
// on 32-bit x86 where the compiler was told the processor has them. Other builds take the plain
// loops, which give the same bytes.
#pragma once

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define VELMORA_SSE2 1
#else
#define VELMORA_SSE2 0
#endif
