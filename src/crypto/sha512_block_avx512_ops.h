// The two vector steps that the AVX-512VL forms of the SHA-512 block function take from
// the instruction set: a native 64-bit rotation and a three-way XOR in one instruction.
// Included only by files compiled for AVX-512VL.
#pragma once

#include <immintrin.h>

namespace zrk {
namespace {  // internal linkage: each including file keeps its own instruction set

struct Avx512Ops {
    template <int n>
    static __m128i rotr(__m128i x) {
        return _mm_ror_epi64(x, n);
    }
    static __m128i xor3(__m128i x, __m128i y, __m128i z) { return _mm_ternarylogic_epi64(x, y, z, 0x96); }
};

} // namespace
} // namespace zrk
