// SHA-512 compression for 32-bit code with AVX-512VL: each working variable alone
// in lane 0 of an XMM register, three-input logic for Ch, Maj and each big sigma's
// XOR after native rotations. With only eight XMM registers, just a, b, e and f stay
// in registers; c, d, g and h (two and three rounds old) are read from a small ring in
// memory, where their stores have long arrived. The sums h + W + K and h + W + K + d
// are formed in the round itself: a vector store-to-load trip costs about four
// additions, and sums stored a round ahead put two such trips on d's path. The
// newest a and e each pass through one rotation, one logic step and one addition.
#include <immintrin.h>

#include "crypto/sha512_block_avx512_ops.h"
#include "crypto/sha512_block_xmm.h"

namespace zrk {
namespace {

// Keeps the compiler from reassociating an addition: the sums that do not wait on
// the newest value are formed first, so that value passes through one addition.
inline __m128i settled(__m128i x) {
    __asm__("" : "+v"(x));
    return x;
}
// Hides where the ring is, so the compiler reads ring values from memory instead of
// keeping them in registers it does not have.
template <class T>
inline T* opaque(T* p) {
    __asm__("" : "+r"(p));
    return p;
}
inline __m128i ld(const __m128i* p) { return _mm_load_si128(p); }

// Slot k % 4 of a[] and e[] holds a(k) and e(k).
struct Ring {
    __m128i a[4], e[4];
};

// Round t (its slots are fixed by t % 4): the new e and a go to the slots of e(t-3)
// and a(t-3), which this round has used.
template <int t>
inline void ringRound(__m128i& a, __m128i& b, __m128i& e, __m128i& f, Ring* ringIn, const uint64_t* wk) {
    Ring* r = opaque(ringIn);
    constexpr int c = (t + 2) & 3, d = (t + 1) & 3;
    const __m128i ch = _mm_ternarylogic_epi64(e, f, ld(&r->e[c]), 0xCA);
    const __m128i sigma1 =
        _mm_ternarylogic_epi64(_mm_ror_epi64(e, 14), _mm_ror_epi64(e, 18), _mm_ror_epi64(e, 41), 0x96);
    const __m128i hk = settled(_mm_add_epi64(ld(&r->e[d]), _mm_loadl_epi64(reinterpret_cast<const __m128i*>(wk))));
    const __m128i hkd = settled(_mm_add_epi64(hk, ld(&r->a[d])));
    const __m128i eNew = _mm_add_epi64(settled(_mm_add_epi64(ch, hkd)), sigma1);
    const __m128i t1 = _mm_add_epi64(settled(_mm_add_epi64(ch, hk)), sigma1);
    _mm_store_si128(&r->e[d], eNew);
    const __m128i q = settled(_mm_add_epi64(t1, _mm_ternarylogic_epi64(a, b, ld(&r->a[c]), 0xE8)));
    const __m128i sigma0 =
        _mm_ternarylogic_epi64(_mm_ror_epi64(a, 28), _mm_ror_epi64(a, 34), _mm_ror_epi64(a, 39), 0x96);
    const __m128i aNew = _mm_add_epi64(q, sigma0);
    _mm_store_si128(&r->a[d], aNew);
    b = a;
    a = aNew;
    f = e;
    e = eNew;
}
} // namespace

void sha512BlockAvx512Ring(uint64_t state[8], const unsigned char* data, size_t blocks) {
    alignas(16) uint64_t w[80];
    alignas(16) uint64_t wk[80];
    Ring ring;
    for (; blocks > 0; --blocks, data += 128) {
        xmmScheduleStart(data, w, wk);
        // Round 0: a = a(0) in slot 0, b = a(-1) in slot 3, c in slot 2, d in slot 1.
        __m128i a = _mm_loadl_epi64((const __m128i*)(state + 0)),
                b = _mm_loadl_epi64((const __m128i*)(state + 1));
        __m128i e = _mm_loadl_epi64((const __m128i*)(state + 4)),
                f = _mm_loadl_epi64((const __m128i*)(state + 5));
        ring.a[0] = a;
        ring.a[3] = b;
        ring.a[2] = _mm_loadl_epi64((const __m128i*)(state + 2));
        ring.a[1] = _mm_loadl_epi64((const __m128i*)(state + 3));
        ring.e[0] = e;
        ring.e[3] = f;
        ring.e[2] = _mm_loadl_epi64((const __m128i*)(state + 6));
        ring.e[1] = _mm_loadl_epi64((const __m128i*)(state + 7));
#pragma GCC unroll 1
        for (int t = 0; t < 80; t += 8) {
            ringRound<0>(a, b, e, f, &ring, wk + t);
            ringRound<1>(a, b, e, f, &ring, wk + t + 1);
            if (t < 64) xmmScheduleStep<Avx512Ops>(t + 16, w, wk);
            ringRound<2>(a, b, e, f, &ring, wk + t + 2);
            ringRound<3>(a, b, e, f, &ring, wk + t + 3);
            if (t < 64) xmmScheduleStep<Avx512Ops>(t + 18, w, wk);
            ringRound<0>(a, b, e, f, &ring, wk + t + 4);
            ringRound<1>(a, b, e, f, &ring, wk + t + 5);
            if (t < 64) xmmScheduleStep<Avx512Ops>(t + 20, w, wk);
            ringRound<2>(a, b, e, f, &ring, wk + t + 6);
            ringRound<3>(a, b, e, f, &ring, wk + t + 7);
            if (t < 64) xmmScheduleStep<Avx512Ops>(t + 22, w, wk);
        }
        // After 80 rounds (a multiple of four) the slots are as they were at round 0.
        // Each word is added and stored alone, so the next block's loads take it
        // straight from its store.
        const __m128i out[8] = {a, b, ring.a[2], ring.a[1], e, f, ring.e[2], ring.e[1]};
        for (int i = 0; i < 8; ++i) {
            __m128i* word = reinterpret_cast<__m128i*>(state + i);
            _mm_storel_epi64(word, _mm_add_epi64(out[i], _mm_loadl_epi64(word)));
        }
    }
}
} // namespace zrk
