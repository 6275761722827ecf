// SHA-512 compression in SSE2: 64-bit additions and shifts in XMM registers.
#include "crypto/sha512_block_xmm.h"

namespace zrk {
namespace {

struct Sse2Ops {
    template <int n>
    static __m128i rotr(__m128i x) {
        return _mm_or_si128(_mm_srli_epi64(x, n), _mm_slli_epi64(x, 64 - n));
    }
    static __m128i xor3(__m128i x, __m128i y, __m128i z) { return _mm_xor_si128(_mm_xor_si128(x, y), z); }
    static __m128i choose(__m128i e, __m128i f, __m128i g) {
        return _mm_xor_si128(_mm_and_si128(_mm_xor_si128(f, g), e), g);
    }
    static __m128i majority(__m128i a, __m128i b, __m128i c) {
        return _mm_or_si128(_mm_and_si128(a, b), _mm_and_si128(c, _mm_or_si128(a, b)));
    }
};

} // namespace

void sha512BlockSse2(uint64_t state[8], const unsigned char* data, size_t blocks) {
    xmmBlocks<Sse2Ops>(state, data, blocks);
}

} // namespace zrk
