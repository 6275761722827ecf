// The twist and tempering four words at a time in SSE2 registers. The wrap word
// makes every group of four read contiguous words, including the one that needs
// the new state[0].
#include "crypto/mersenne_twister.h"

#include <emmintrin.h>

namespace zrk {
namespace {

inline __m128i load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store(uint32_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

inline __m128i twist4(__m128i current, __m128i successor, __m128i far) {
    const __m128i upper = _mm_set1_epi32(int(0x80000000)), lower = _mm_set1_epi32(0x7FFFFFFF);
    const __m128i matrix = _mm_set1_epi32(int(0x9908B0DF));
    __m128i y = _mm_or_si128(_mm_and_si128(current, upper), _mm_and_si128(successor, lower));
    __m128i odd = _mm_srai_epi32(_mm_slli_epi32(y, 31), 31);  // all ones where y is odd
    return _mm_xor_si128(_mm_xor_si128(far, _mm_srli_epi32(y, 1)), _mm_and_si128(odd, matrix));
}

} // namespace

void twistSse2(uint32_t state[625], uint32_t output[624]) {
    // Group 0 first, so the wrap word holds the new state[0] before anyone reads it.
    store(state, twist4(load(state), load(state + 1), load(state + 397)));
    state[624] = state[0];
    int k = 4;
    for (; k < 228; k += 4) store(state + k, twist4(load(state + k), load(state + k + 1), load(state + k + 397)));
    for (; k < 624; k += 4) store(state + k, twist4(load(state + k), load(state + k + 1), load(state + k - 227)));

    const __m128i b = _mm_set1_epi32(int(0x9D2C5680)), c = _mm_set1_epi32(int(0xEFC60000));
    for (k = 0; k < 624; k += 4) {
        __m128i y = load(state + k);
        y = _mm_xor_si128(y, _mm_srli_epi32(y, 11));
        y = _mm_xor_si128(y, _mm_and_si128(_mm_slli_epi32(y, 7), b));
        y = _mm_xor_si128(y, _mm_and_si128(_mm_slli_epi32(y, 15), c));
        store(output + k, _mm_xor_si128(y, _mm_srli_epi32(y, 18)));
    }
}

void copyWordsSse2(uint32_t* out, const uint32_t* in, int count) {
    int k = 0;
    for (; k + 4 <= count; k += 4) store(out + k, load(in + k));
    for (; k < count; ++k) out[k] = in[k];
}

} // namespace zrk
