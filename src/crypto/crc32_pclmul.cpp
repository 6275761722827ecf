// CRC-32 by folding with carry-less multiplication: four 128-bit lanes are carried
// 64 bytes forward per step, then folded into one, reduced to 64 and 32 bits, and
// finished with a Barrett reduction. Built with -mpclmul; run only where CPUID says so.
#include <emmintrin.h>
#include <wmmintrin.h>

#include "crypto/crc32_forms.h"

namespace zrk {
namespace {

// For the reflected polynomial P = 0x104C11DB7: each folding constant is x^n mod P,
// bit-reflected over 32 bits and shifted left by one, for the n noted.
constexpr uint64_t kFold4Low = 0x154442BD4;   // n = 4 * 128 + 32
constexpr uint64_t kFold4High = 0x1C6E41596;  // n = 4 * 128 - 32
constexpr uint64_t kFold1Low = 0x1751997D0;   // n = 128 + 32
constexpr uint64_t kFold1High = 0x0CCAA009E;  // n = 128 - 32
constexpr uint64_t kFold64 = 0x163CD6124;     // n = 64
// Barrett reduction: floor(x^64 / P) and P itself, both reflected over 33 bits.
constexpr uint64_t kMu = 0x1F7011641;
constexpr uint64_t kPoly = 0x1DB710641;

// Carries a 128-bit lane forward by the distance the constants encode.
inline __m128i fold(__m128i lane, __m128i constants) {
    return _mm_xor_si128(_mm_clmulepi64_si128(lane, constants, 0x00), _mm_clmulepi64_si128(lane, constants, 0x11));
}

inline __m128i load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

} // namespace

uint32_t crc32RegisterPclmul(uint32_t reg, const unsigned char* data, size_t length) {
    if (length < 64) return crc32RegisterPortable(reg, data, length);

    __m128i x0 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(int(reg)));
    __m128i x1 = load(data + 16);
    __m128i x2 = load(data + 32);
    __m128i x3 = load(data + 48);
    data += 64;
    length -= 64;

    const __m128i by4 = _mm_set_epi64x(int64_t(kFold4High), int64_t(kFold4Low));
    for (; length >= 64; data += 64, length -= 64) {
        x0 = _mm_xor_si128(fold(x0, by4), load(data));
        x1 = _mm_xor_si128(fold(x1, by4), load(data + 16));
        x2 = _mm_xor_si128(fold(x2, by4), load(data + 32));
        x3 = _mm_xor_si128(fold(x3, by4), load(data + 48));
    }

    const __m128i by1 = _mm_set_epi64x(int64_t(kFold1High), int64_t(kFold1Low));
    x0 = _mm_xor_si128(fold(x0, by1), x1);
    x0 = _mm_xor_si128(fold(x0, by1), x2);
    x0 = _mm_xor_si128(fold(x0, by1), x3);
    for (; length >= 16; data += 16, length -= 16) x0 = _mm_xor_si128(fold(x0, by1), load(data));

    // 128 -> 64 bits: the low half moves up by the high half's distance.
    const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);
    __m128i x = _mm_xor_si128(_mm_clmulepi64_si128(x0, by1, 0x10), _mm_srli_si128(x0, 8));
    // 64 -> 32 bits.
    x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, low32), _mm_set_epi64x(0, int64_t(kFold64)), 0x00),
                      _mm_srli_si128(x, 4));
    // Barrett: q = low32(x) * mu, r = x ^ low32(q) * P; the register is in bits 32..63.
    const __m128i barrett = _mm_set_epi64x(int64_t(kMu), int64_t(kPoly));
    __m128i q = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x, low32), barrett, 0x10), low32);
    x = _mm_xor_si128(x, _mm_clmulepi64_si128(q, barrett, 0x00));
    reg = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(x, 4)));

    return crc32RegisterPortable(reg, data, length);
}

} // namespace zrk
