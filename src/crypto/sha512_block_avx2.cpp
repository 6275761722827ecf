// SHA-512 compression for x86-64 with AVX2: the message schedules of two
// consecutive blocks are computed together in YMM registers (block A in the low
// lane, block B in the high lane), then the rounds run in general registers.
#include <immintrin.h>

#include "crypto/sha512_block.h"

namespace zrk {
namespace {

template <int n>
inline __m256i rotr(__m256i x) {
    return _mm256_or_si256(_mm256_srli_epi64(x, n), _mm256_slli_epi64(x, 64 - n));
}

inline __m256i smallSigma0(__m256i x) {
    return _mm256_xor_si256(_mm256_xor_si256(rotr<1>(x), rotr<8>(x)), _mm256_srli_epi64(x, 7));
}
inline __m256i smallSigma1(__m256i x) {
    return _mm256_xor_si256(_mm256_xor_si256(rotr<19>(x), rotr<61>(x)), _mm256_srli_epi64(x, 6));
}

const __m256i kSwap = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8,  //
                                      7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);

// wkA[t] = W_A[t] + K[t] and wkB[t] likewise, for t and t + 1.
inline void emit(int t, __m256i x, uint64_t* wkA, uint64_t* wkB) {
    __m256i k = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha512RoundConstants + t)));
    __m256i s = _mm256_add_epi64(x, k);
    _mm_store_si128(reinterpret_cast<__m128i*>(wkA + t), _mm256_castsi256_si128(s));
    _mm_store_si128(reinterpret_cast<__m128i*>(wkB + t), _mm256_extracti128_si256(s, 1));
}

// w[i] holds words 2i, 2i+1 of both blocks (block A low lane, B high lane).
inline void loadPair(const unsigned char* first, const unsigned char* second, __m256i w[8], uint64_t* wkA,
                     uint64_t* wkB) {
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
        __m256i x = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 16 * i))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + 16 * i)), 1);
        w[i] = _mm256_shuffle_epi8(x, kSwap);
        emit(2 * i, w[i], wkA, wkB);
    }
}

// W[t], W[t+1] of both blocks; the 16-word window lives in w[] as a ring, where
// slot (t/2) % 8 holds W[t-16], W[t-15] on entry.
inline void scheduleStep(int t, __m256i w[8], uint64_t* wkA, uint64_t* wkB) {
    const int j = (t / 2) & 7;
    __m256i w16 = w[j], w14 = w[(j + 1) & 7], w8 = w[(j + 4) & 7], w6 = w[(j + 5) & 7], w2 = w[(j + 7) & 7];
    __m256i w15 = _mm256_alignr_epi8(w14, w16, 8);  // W[t-15], W[t-14]
    __m256i w7 = _mm256_alignr_epi8(w6, w8, 8);     // W[t-7], W[t-6]
    __m256i x = _mm256_add_epi64(_mm256_add_epi64(w16, smallSigma0(w15)), _mm256_add_epi64(w7, smallSigma1(w2)));
    w[j] = x;
    emit(t, x, wkA, wkB);
}

inline uint64_t ror(uint64_t x, int n) { return x >> n | x << (64 - n); }

// Maj(a,b,c) = b ^ ((a^b) & (b^c)), and this round's a^b is the next round's b^c.
#define ZRK_ROUND(a, b, c, d, e, f, g, h, i)                                                       \
    do {                                                                                           \
        uint64_t t1 = h + wk[t + i] + (((f ^ g) & e) ^ g) + (ror(e, 14) ^ ror(e, 18) ^ ror(e, 41)); \
        uint64_t ab = a ^ b;                                                                       \
        d += t1;                                                                                   \
        h = t1 + (ror(a, 28) ^ ror(a, 34) ^ ror(a, 39)) + (b ^ (ab & bc));                         \
        bc = ab;                                                                                   \
    } while (0)

// 80 rounds on `state`; while they run, the vector units compute the rest of the
// schedule (`withSchedule`), which the rounds of this block do not need yet.
template <bool withSchedule>
void rounds(uint64_t state[8], const uint64_t* wk, __m256i* w, uint64_t* wkA, uint64_t* wkB) {
    uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
    uint64_t bc = b ^ c;
#pragma GCC unroll 10
    for (int t = 0; t < 80; t += 8) {
        ZRK_ROUND(a, b, c, d, e, f, g, h, 0);
        ZRK_ROUND(h, a, b, c, d, e, f, g, 1);
        if (withSchedule && t < 64) scheduleStep(t + 16, w, wkA, wkB);
        ZRK_ROUND(g, h, a, b, c, d, e, f, 2);
        ZRK_ROUND(f, g, h, a, b, c, d, e, 3);
        if (withSchedule && t < 64) scheduleStep(t + 18, w, wkA, wkB);
        ZRK_ROUND(e, f, g, h, a, b, c, d, 4);
        ZRK_ROUND(d, e, f, g, h, a, b, c, 5);
        if (withSchedule && t < 64) scheduleStep(t + 20, w, wkA, wkB);
        ZRK_ROUND(c, d, e, f, g, h, a, b, 6);
        ZRK_ROUND(b, c, d, e, f, g, h, a, 7);
        if (withSchedule && t < 64) scheduleStep(t + 22, w, wkA, wkB);
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

#undef ZRK_ROUND

} // namespace

void sha512BlockAvx2(uint64_t state[8], const unsigned char* data, size_t blocks) {
    alignas(32) uint64_t wkA[80], wkB[80];
    for (; blocks > 0; blocks -= blocks >= 2 ? 2 : 1, data += 256) {
        // A lone last block is scheduled alongside a copy of itself.
        __m256i w[8];
        loadPair(data, blocks >= 2 ? data + 128 : data, w, wkA, wkB);
        rounds<true>(state, wkA, w, wkA, wkB);
        if (blocks >= 2) rounds<false>(state, wkB, nullptr, nullptr, nullptr);
    }
}

} // namespace zrk
