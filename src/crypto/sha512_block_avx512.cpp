// SHA-512 compression with AVX-512VL in two-lane XMM registers: lane 0 carries the
// a-side (a, b, c, d) and lane 1 the e-side (e, f, g, h), so one per-lane rotate
// computes Sigma0(a) and Sigma1(e) together, masked three-input logic gives Maj and
// Ch, and the register rotation of the working values is only a renaming. Eight
// XMM registers suffice, which is what 32-bit code has.
#include <immintrin.h>

#include "crypto/sha512_block_avx512_ops.h"
#include "crypto/sha512_block_xmm.h"

namespace zrk {
namespace {

// One round. x = [a, e], y = [b, f], z = [c, g], v = [d, h]; v becomes the new [a, e],
// and the caller renames (x, y, z, v) to (v, x, y, z).
inline void laneRound(__m128i x, __m128i y, __m128i z, __m128i& v, const uint64_t* wk) {
    const __m128i r1 = _mm_set_epi64x(14, 28), r2 = _mm_set_epi64x(18, 34), r3 = _mm_set_epi64x(41, 39);
    // [Sigma0(a), Sigma1(e)]
    __m128i sigma = _mm_ternarylogic_epi64(_mm_rorv_epi64(x, r1), _mm_rorv_epi64(x, r2), _mm_rorv_epi64(x, r3), 0x96);
    // [Maj(a,b,c), Ch(e,f,g)]: lane 1 first (Ch = 0xCA), then lane 0 (Maj = 0xE8).
    __m128i mix = _mm_mask_ternarylogic_epi64(x, 2, y, z, 0xCA);
    mix = _mm_mask_ternarylogic_epi64(mix, 1, y, z, 0xE8);
    __m128i sum = _mm_add_epi64(sigma, mix);
    // Lane 1: T1 = h + K[t] + W[t] + Sigma1(e) + Ch(e,f,g); h + K + W does not wait for e.
    __m128i hk = _mm_add_epi64(v, _mm_castpd_si128(_mm_loadh_pd(_mm_setzero_pd(), reinterpret_cast<const double*>(wk))));
    __m128i t1 = _mm_add_epi64(hk, sum);
    t1 = _mm_unpackhi_epi64(t1, t1);
    // [Sigma0(a) + Maj + T1, d + T1]
    v = _mm_add_epi64(_mm_unpacklo_epi64(sum, v), t1);
}

} // namespace

void sha512BlockAvx512(uint64_t state[8], const unsigned char* data, size_t blocks) {
    alignas(16) uint64_t w[80];
    alignas(16) uint64_t wk[80];
    __m128i x = _mm_set_epi64x(int64_t(state[4]), int64_t(state[0]));
    __m128i y = _mm_set_epi64x(int64_t(state[5]), int64_t(state[1]));
    __m128i z = _mm_set_epi64x(int64_t(state[6]), int64_t(state[2]));
    __m128i v = _mm_set_epi64x(int64_t(state[7]), int64_t(state[3]));
    for (; blocks > 0; --blocks, data += 128) {
        xmmScheduleStart(data, w, wk);
        const __m128i x0 = x, y0 = y, z0 = z, v0 = v;
#pragma GCC unroll 2
        for (int t = 0; t < 80; t += 4) {
            laneRound(x, y, z, v, wk + t);
            laneRound(v, x, y, z, wk + t + 1);
            if (t < 64) xmmScheduleStep<Avx512Ops>(t + 16, w, wk);
            laneRound(z, v, x, y, wk + t + 2);
            laneRound(y, z, v, x, wk + t + 3);
            if (t < 64) xmmScheduleStep<Avx512Ops>(t + 18, w, wk);
        }
        x = _mm_add_epi64(x, x0);
        y = _mm_add_epi64(y, y0);
        z = _mm_add_epi64(z, z0);
        v = _mm_add_epi64(v, v0);
    }
    alignas(16) uint64_t out[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(out + 0), _mm_unpacklo_epi64(x, y));  // a, b
    _mm_store_si128(reinterpret_cast<__m128i*>(out + 2), _mm_unpacklo_epi64(z, v));  // c, d
    _mm_store_si128(reinterpret_cast<__m128i*>(out + 4), _mm_unpackhi_epi64(x, y));  // e, f
    _mm_store_si128(reinterpret_cast<__m128i*>(out + 6), _mm_unpackhi_epi64(z, v));  // g, h
    for (int i = 0; i < 8; ++i) state[i] = out[i];
}

} // namespace zrk
