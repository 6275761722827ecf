// SHA-512 compression with every 64-bit value in an XMM register, for 32-bit code
// where general registers are too few and too narrow. Included by the files that
// compile it for one instruction set; `Ops` supplies rotation and the bit mixers.
#pragma once

#include <emmintrin.h>

#include "crypto/sha512_block.h"

namespace zrk {
namespace {  // internal linkage: each including file keeps its own instruction set

inline __m128i byteSwap64(__m128i x) {
    x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0x1B), 0x1B);
}

template <class Ops>
inline __m128i bigSigma0(__m128i a) {
    return Ops::xor3(Ops::template rotr<28>(a), Ops::template rotr<34>(a), Ops::template rotr<39>(a));
}
template <class Ops>
inline __m128i bigSigma1(__m128i e) {
    return Ops::xor3(Ops::template rotr<14>(e), Ops::template rotr<18>(e), Ops::template rotr<41>(e));
}
template <class Ops>
inline __m128i smallSigma0(__m128i x) {
    return Ops::xor3(Ops::template rotr<1>(x), Ops::template rotr<8>(x), _mm_srli_epi64(x, 7));
}
template <class Ops>
inline __m128i smallSigma1(__m128i x) {
    return Ops::xor3(Ops::template rotr<19>(x), Ops::template rotr<61>(x), _mm_srli_epi64(x, 6));
}

inline __m128i load128(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }

template <class Ops>
inline void xmmRound(__m128i a, __m128i b, __m128i c, __m128i& d, __m128i e, __m128i f, __m128i g, __m128i& h,
                     const uint64_t* wk) {
    __m128i t1 = _mm_add_epi64(_mm_add_epi64(h, bigSigma1<Ops>(e)),
                               _mm_add_epi64(Ops::choose(e, f, g), _mm_loadl_epi64(reinterpret_cast<const __m128i*>(wk))));
    d = _mm_add_epi64(d, t1);
    h = _mm_add_epi64(t1, _mm_add_epi64(bigSigma0<Ops>(a), Ops::majority(a, b, c)));
}

// Message schedule plus round constants, wk[t] = W[t] + K[t], two words per step
// (W[t-2] and W[t-1] are ready before W[t]). The rounds call the steps for t >= 16
// between rounds, so the schedule's own dependency chain runs beside theirs.
inline void xmmScheduleStart(const unsigned char* data, uint64_t* w, uint64_t* wk) {
    for (int t = 0; t < 16; t += 2) {
        __m128i x = byteSwap64(load128(data + 8 * t));
        _mm_store_si128(reinterpret_cast<__m128i*>(w + t), x);
        _mm_store_si128(reinterpret_cast<__m128i*>(wk + t), _mm_add_epi64(x, load128(kSha512RoundConstants + t)));
    }
}

template <class Ops>
inline void xmmScheduleStep(int t, uint64_t* w, uint64_t* wk) {
    __m128i x = _mm_add_epi64(_mm_add_epi64(load128(w + t - 16), smallSigma0<Ops>(load128(w + t - 15))),
                              _mm_add_epi64(load128(w + t - 7), smallSigma1<Ops>(load128(w + t - 2))));
    _mm_store_si128(reinterpret_cast<__m128i*>(w + t), x);
    _mm_store_si128(reinterpret_cast<__m128i*>(wk + t), _mm_add_epi64(x, load128(kSha512RoundConstants + t)));
}

template <class Ops>
void xmmBlocks(uint64_t state[8], const unsigned char* data, size_t blocks) {
    alignas(16) uint64_t w[80];
    alignas(16) uint64_t wk[80];
    __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(state + 0));
    __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(state + 1));
    __m128i c = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(state + 2));
    __m128i d = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(state + 3));
    __m128i e = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(state + 4));
    __m128i f = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(state + 5));
    __m128i g = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(state + 6));
    __m128i h = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(state + 7));
    for (; blocks > 0; --blocks, data += 128) {
        xmmScheduleStart(data, w, wk);
        const __m128i a0 = a, b0 = b, c0 = c, d0 = d, e0 = e, f0 = f, g0 = g, h0 = h;
#pragma GCC unroll 2
        for (int t = 0; t < 80; t += 8) {
            xmmRound<Ops>(a, b, c, d, e, f, g, h, wk + t);
            xmmRound<Ops>(h, a, b, c, d, e, f, g, wk + t + 1);
            if (t < 64) xmmScheduleStep<Ops>(t + 16, w, wk);
            xmmRound<Ops>(g, h, a, b, c, d, e, f, wk + t + 2);
            xmmRound<Ops>(f, g, h, a, b, c, d, e, wk + t + 3);
            if (t < 64) xmmScheduleStep<Ops>(t + 18, w, wk);
            xmmRound<Ops>(e, f, g, h, a, b, c, d, wk + t + 4);
            xmmRound<Ops>(d, e, f, g, h, a, b, c, wk + t + 5);
            xmmRound<Ops>(c, d, e, f, g, h, a, b, wk + t + 6);
            if (t < 64) xmmScheduleStep<Ops>(t + 20, w, wk);
            xmmRound<Ops>(b, c, d, e, f, g, h, a, wk + t + 7);
            if (t < 64) xmmScheduleStep<Ops>(t + 22, w, wk);
        }
        a = _mm_add_epi64(a, a0);
        b = _mm_add_epi64(b, b0);
        c = _mm_add_epi64(c, c0);
        d = _mm_add_epi64(d, d0);
        e = _mm_add_epi64(e, e0);
        f = _mm_add_epi64(f, f0);
        g = _mm_add_epi64(g, g0);
        h = _mm_add_epi64(h, h0);
    }
    _mm_storel_epi64(reinterpret_cast<__m128i*>(state + 0), a);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(state + 1), b);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(state + 2), c);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(state + 3), d);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(state + 4), e);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(state + 5), f);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(state + 6), g);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(state + 7), h);
}

} // namespace
} // namespace zrk
