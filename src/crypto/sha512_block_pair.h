// SHA-512 compression for x86-64 on block pairs: the message schedules of two
// consecutive blocks are computed together in YMM registers (block A in the low
// half, block B in the high half) while block A's rounds run in general registers.
// Included by the files that compile it for one instruction set; `V` supplies the
// two small sigma functions on four words.
#pragma once

#include <immintrin.h>

#include "crypto/sha512_block.h"

namespace zrk {
namespace {  // internal linkage: each including file keeps its own instruction set

struct PairConstants {
    // K[t], K[t+1], K[t], K[t+1] for each even t: one addition serves both blocks.
    alignas(32) uint64_t k[160];
    PairConstants() {
        for (int t = 0; t < 80; t += 2) {
            k[2 * t] = k[2 * t + 2] = kSha512RoundConstants[t];
            k[2 * t + 1] = k[2 * t + 3] = kSha512RoundConstants[t + 1];
        }
    }
};
const PairConstants kPair;

// Where W[t] + K[t] of block A lies in the shared array; block B's is 2 words later.
constexpr int wkIndex(int t) { return 4 * (t >> 1) + (t & 1); }

inline void emitPair(int t, __m256i x, uint64_t* wk) {
    __m256i s = _mm256_add_epi64(x, _mm256_load_si256(reinterpret_cast<const __m256i*>(kPair.k + 2 * t)));
    _mm256_store_si256(reinterpret_cast<__m256i*>(wk + 2 * t), s);
}

// w[i] holds words 2i, 2i+1 of both blocks. Each block's first sixteen sums are
// stored on their own, so block A's rounds never wait for block B's bytes (in the
// cipher, B is written just before the call).
inline void loadPair(const unsigned char* first, const unsigned char* second, __m256i w[8], uint64_t* wk) {
    const __m128i swap = _mm_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
        const __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(kPair.k + 4 * i));
        const __m128i a = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 16 * i)), swap);
        const __m128i b = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(second + 16 * i)), swap);
        _mm_store_si128(reinterpret_cast<__m128i*>(wk + 4 * i), _mm_add_epi64(a, k));
        _mm_store_si128(reinterpret_cast<__m128i*>(wk + 4 * i + 2), _mm_add_epi64(b, k));
        w[i] = _mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1);
    }
}

// W[t], W[t+1] of both blocks; the 16-word window lives in w[] as a ring, where
// slot j = (t/2) % 8 holds W[t-16], W[t-15] on entry. j is passed separately so it
// stays a constant where t is not.
template <class V>
inline void pairScheduleStep(int j, int t, __m256i w[8], uint64_t* wk) {
    __m256i w16 = w[j], w14 = w[(j + 1) & 7], w8 = w[(j + 4) & 7], w6 = w[(j + 5) & 7], w2 = w[(j + 7) & 7];
    __m256i w15 = _mm256_alignr_epi8(w14, w16, 8);  // W[t-15], W[t-14]
    __m256i w7 = _mm256_alignr_epi8(w6, w8, 8);     // W[t-7], W[t-6]
    __m256i x = _mm256_add_epi64(_mm256_add_epi64(w16, V::sigma0(w15)), _mm256_add_epi64(w7, V::sigma1(w2)));
    w[j] = x;
    emitPair(t, x, wk);
}

inline uint64_t ror64(uint64_t x, int n) { return x >> n | x << (64 - n); }

// Keeps the compiler from reassociating an addition.
inline uint64_t settled(uint64_t x) {
    __asm__("" : "+r"(x));
    return x;
}

// Each sum takes its slowest term last: the big sigma of e enters t1 last, and the
// big sigma of a enters the new a last. Maj(a,b,c) = (a & (b | c)) | (b & c) is
// ready two steps after a, ahead of that sigma.
#define ZRK_ROUND(a, b, c, d, e, f, g, h, u, i)                                                        \
    do {                                                                                              \
        uint64_t hk = h + wk[2 * (u) + wkIndex(i)];                                                   \
        uint64_t ch = ((f ^ g) & e) ^ g;                                                              \
        uint64_t t1 = settled(hk + ch) + (ror64(e, 14) ^ ror64(e, 18) ^ ror64(e, 41));                \
        d += t1;                                                                                      \
        h = settled(t1 + ((a & (b | c)) | (b & c))) + (ror64(a, 28) ^ ror64(a, 34) ^ ror64(a, 39));  \
    } while (0)

// 80 rounds on `state`; with `withSchedule` the vector units compute the rest of the
// schedule meanwhile, which this block's rounds need only later. Sixteen rounds per
// loop pass (the ring's period) keep the code small enough to stay in the
// processor's decoded-instruction cache between refills.
template <class V, bool withSchedule>
inline void pairRounds(uint64_t state[8], const uint64_t* wk, __m256i* w, uint64_t* wkOut) {
    uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
#pragma GCC unroll 1
    for (int t = 0; t < 80; t += 16) {
        const bool schedule = withSchedule && t < 64;
#pragma GCC unroll 2
        for (int half = 0; half < 2; ++half) {
            const int u = t + 8 * half;
            const int j = 4 * half;  // ring slot of the first step in this half
            ZRK_ROUND(a, b, c, d, e, f, g, h, u, 0);
            ZRK_ROUND(h, a, b, c, d, e, f, g, u, 1);
            if (schedule) pairScheduleStep<V>(j, u + 16, w, wkOut);
            ZRK_ROUND(g, h, a, b, c, d, e, f, u, 2);
            ZRK_ROUND(f, g, h, a, b, c, d, e, u, 3);
            if (schedule) pairScheduleStep<V>(j + 1, u + 18, w, wkOut);
            ZRK_ROUND(e, f, g, h, a, b, c, d, u, 4);
            ZRK_ROUND(d, e, f, g, h, a, b, c, u, 5);
            if (schedule) pairScheduleStep<V>(j + 2, u + 20, w, wkOut);
            ZRK_ROUND(c, d, e, f, g, h, a, b, u, 6);
            ZRK_ROUND(b, c, d, e, f, g, h, a, u, 7);
            if (schedule) pairScheduleStep<V>(j + 3, u + 22, w, wkOut);
        }
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

template <class V>
void pairBlocks(uint64_t state[8], const unsigned char* data, size_t blocks) {
    alignas(32) uint64_t wk[160];
    while (blocks > 0) {
        // A lone last block is scheduled alongside a copy of itself.
        const bool pair = blocks >= 2;
        __m256i w[8];
        loadPair(data, pair ? data + 128 : data, w, wk);
        pairRounds<V, true>(state, wk, w, wk);
        if (pair) pairRounds<V, false>(state, wk + 2, nullptr, nullptr);
        blocks -= pair ? 2 : 1;
        data += pair ? 256 : 128;
    }
}

} // namespace
} // namespace zrk
