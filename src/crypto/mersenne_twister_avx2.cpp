// The twist and tempering eight words at a time in AVX2 registers. Groups of eight
// cannot straddle word 227, whose partner is the new word 0 in the wrap slot, so
// the two groups that would are done four wide.
#include <immintrin.h>

#include "crypto/mersenne_twister.h"

namespace zrk {
namespace {

inline __m256i load8(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline void store8(uint32_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
inline __m128i load4(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store4(uint32_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

inline __m256i twist8(__m256i current, __m256i successor, __m256i far) {
    const __m256i upper = _mm256_set1_epi32(int(0x80000000)), lower = _mm256_set1_epi32(0x7FFFFFFF);
    __m256i y = _mm256_or_si256(_mm256_and_si256(current, upper), _mm256_and_si256(successor, lower));
    __m256i odd = _mm256_srai_epi32(_mm256_slli_epi32(y, 31), 31);
    return _mm256_xor_si256(_mm256_xor_si256(far, _mm256_srli_epi32(y, 1)),
                            _mm256_and_si256(odd, _mm256_set1_epi32(int(0x9908B0DF))));
}

inline __m128i twist4(__m128i current, __m128i successor, __m128i far) {
    const __m128i upper = _mm_set1_epi32(int(0x80000000)), lower = _mm_set1_epi32(0x7FFFFFFF);
    __m128i y = _mm_or_si128(_mm_and_si128(current, upper), _mm_and_si128(successor, lower));
    __m128i odd = _mm_srai_epi32(_mm_slli_epi32(y, 31), 31);
    return _mm_xor_si128(_mm_xor_si128(far, _mm_srli_epi32(y, 1)), _mm_and_si128(odd, _mm_set1_epi32(int(0x9908B0DF))));
}

} // namespace

void twistAvx2(uint32_t state[625], uint32_t output[624]) {
    // Words 0..223 read old words 397..620; the wrap word is set once word 0 is new.
    store8(state, twist8(load8(state), load8(state + 1), load8(state + 397)));
    state[624] = state[0];
    int k = 8;
    for (; k < 224; k += 8) store8(state + k, twist8(load8(state + k), load8(state + k + 1), load8(state + k + 397)));
    store4(state + 224, twist4(load4(state + 224), load4(state + 225), load4(state + 621)));  // 227 reads the wrap
    for (k = 228; k < 620; k += 8) store8(state + k, twist8(load8(state + k), load8(state + k + 1), load8(state + k - 227)));
    store4(state + 620, twist4(load4(state + 620), load4(state + 621), load4(state + 393)));  // 623 reads the wrap

    const __m256i b = _mm256_set1_epi32(int(0x9D2C5680)), c = _mm256_set1_epi32(int(0xEFC60000));
    for (k = 0; k < 624; k += 8) {
        __m256i y = load8(state + k);
        y = _mm256_xor_si256(y, _mm256_srli_epi32(y, 11));
        y = _mm256_xor_si256(y, _mm256_and_si256(_mm256_slli_epi32(y, 7), b));
        y = _mm256_xor_si256(y, _mm256_and_si256(_mm256_slli_epi32(y, 15), c));
        store8(output + k, _mm256_xor_si256(y, _mm256_srli_epi32(y, 18)));
    }
}

} // namespace zrk
