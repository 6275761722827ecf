// SHA-512 compression for 32-bit code with AVX-512VL: each working variable alone
// in lane 0 of an XMM register, three-input logic for Ch, Maj and each big sigma's
// XOR after native rotations. With only eight XMM registers, just a, b, e and f stay
// in registers; c, d, g and h (two and three rounds old) are read from a small ring in
// memory, where their stores have long arrived, and so are the sums h + W + K and
// h + W + K + d, formed a round ahead (those stores are only a round old). The
// newest a and e each pass through one rotation, one logic step and one addition
// per round.
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
inline __m128i ldu(const uint64_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Slot k % 4 of a[] and e[] holds a(k) and e(k); hk[] and hkd[] hold h + W + K and
// h + W + K + d for the current and the next round.
struct Ring {
    __m128i a[4], e[4], hk[2], hkd[2];
};

// h + W + K and h + W + K + d for round `t`, from values three rounds old.
template <int t>
inline void presum(Ring* ringIn, const uint64_t* wk) {
    Ring* r = opaque(ringIn);
    constexpr int old = (t + 1) & 3;  // slot of a(t-3), e(t-3)
    const __m128i hk = _mm_add_epi64(ld(&r->e[old]), ldu(wk));
    _mm_store_si128(&r->hk[t & 1], hk);
    _mm_store_si128(&r->hkd[t & 1], _mm_add_epi64(hk, ld(&r->a[old])));
}

// Round t (its slots are fixed by t % 4): the new e and a go to the slots of e(t-3)
// and a(t-3), which this round has used; then the sums for round t + 1.
template <int t>
inline void ringRound(__m128i& a, __m128i& b, __m128i& e, __m128i& f, Ring* ringIn, const uint64_t* wkNext,
                      bool next) {
    Ring* r = opaque(ringIn);
    constexpr int c = (t + 2) & 3, d = (t + 1) & 3;
    const __m128i ch = _mm_ternarylogic_epi64(e, f, ld(&r->e[c]), 0xCA);
    const __m128i sigma1 =
        _mm_ternarylogic_epi64(_mm_ror_epi64(e, 14), _mm_ror_epi64(e, 18), _mm_ror_epi64(e, 41), 0x96);
    const __m128i eNew = _mm_add_epi64(settled(_mm_add_epi64(ch, ld(&r->hkd[t & 1]))), sigma1);
    const __m128i t1 = _mm_add_epi64(settled(_mm_add_epi64(ch, ld(&r->hk[t & 1]))), sigma1);
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
    if (next) presum<t + 1>(r, wkNext);
}
} // namespace

void sha512BlockAvx512Ring(uint64_t state[8], const unsigned char* data, size_t blocks) {
    alignas(16) uint64_t w[80];
    alignas(16) uint64_t wk[81];  // one spare word: the last round loads a pair
    wk[80] = 0;
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
        presum<0>(&ring, wk);
#pragma GCC unroll 1
        for (int t = 0; t < 80; t += 8) {
            ringRound<0>(a, b, e, f, &ring, wk + t + 1, true);
            ringRound<1>(a, b, e, f, &ring, wk + t + 2, true);
            if (t < 64) xmmScheduleStep<Avx512Ops>(t + 16, w, wk);
            ringRound<2>(a, b, e, f, &ring, wk + t + 3, true);
            ringRound<3>(a, b, e, f, &ring, wk + t + 4, true);
            if (t < 64) xmmScheduleStep<Avx512Ops>(t + 18, w, wk);
            ringRound<0>(a, b, e, f, &ring, wk + t + 5, true);
            ringRound<1>(a, b, e, f, &ring, wk + t + 6, true);
            if (t < 64) xmmScheduleStep<Avx512Ops>(t + 20, w, wk);
            ringRound<2>(a, b, e, f, &ring, wk + t + 7, true);
            ringRound<3>(a, b, e, f, &ring, wk + t + 8, t < 72);
            if (t < 64) xmmScheduleStep<Avx512Ops>(t + 22, w, wk);
        }
        // After 80 rounds (a multiple of four) the slots are as they were at round 0.
        uint64_t out[8];
        _mm_storel_epi64((__m128i*)(out + 0), a);
        _mm_storel_epi64((__m128i*)(out + 1), b);
        _mm_storel_epi64((__m128i*)(out + 2), ring.a[2]);
        _mm_storel_epi64((__m128i*)(out + 3), ring.a[1]);
        _mm_storel_epi64((__m128i*)(out + 4), e);
        _mm_storel_epi64((__m128i*)(out + 5), f);
        _mm_storel_epi64((__m128i*)(out + 6), ring.e[2]);
        _mm_storel_epi64((__m128i*)(out + 7), ring.e[1]);
        for (int i = 0; i < 8; ++i) state[i] += out[i];
    }
}
} // namespace zrk
