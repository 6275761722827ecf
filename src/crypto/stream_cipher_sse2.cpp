// The 32-byte decryption step in SSE2: the even and odd keystream bytes are
// separated by packing 16-bit lanes, the fed bytes are the ciphertext XOR the odd
// bytes moved up one place, and the records are the fed bytes widened to 16 bits.
#include "crypto/stream_cipher_step.h"

#include <emmintrin.h>

namespace zrk {

void decryptStepSse2(const unsigned char keystream[64], unsigned char data[32], unsigned char records[128],
                     unsigned char& feedback) {
    auto load = [](const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    auto store = [](unsigned char* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); };
    const __m128i k0 = load(keystream), k1 = load(keystream + 16), k2 = load(keystream + 32), k3 = load(keystream + 48);
    const __m128i low = _mm_set1_epi16(0x00FF);
    // even[j] = keystream[2j], odd[j] = keystream[2j + 1], for j = 0..15 and 16..31
    const __m128i even0 = _mm_packus_epi16(_mm_and_si128(k0, low), _mm_and_si128(k1, low));
    const __m128i even1 = _mm_packus_epi16(_mm_and_si128(k2, low), _mm_and_si128(k3, low));
    const __m128i odd0 = _mm_packus_epi16(_mm_srli_epi16(k0, 8), _mm_srli_epi16(k1, 8));
    const __m128i odd1 = _mm_packus_epi16(_mm_srli_epi16(k2, 8), _mm_srli_epi16(k3, 8));
    // x[j] = c[j] ^ odd[j] is the byte fed back after data byte j.
    const __m128i x0 = _mm_xor_si128(load(data), odd0), x1 = _mm_xor_si128(load(data + 16), odd1);
    const __m128i fed0 = _mm_or_si128(_mm_slli_si128(x0, 1), _mm_cvtsi32_si128(feedback));
    const __m128i fed1 = _mm_or_si128(_mm_slli_si128(x1, 1), _mm_srli_si128(x0, 15));
    feedback = static_cast<unsigned char>(_mm_cvtsi128_si32(_mm_srli_si128(x1, 15)));
    // plain = c ^ even ^ odd ^ fed = x ^ even ^ fed
    store(data, _mm_xor_si128(_mm_xor_si128(x0, even0), fed0));
    store(data + 16, _mm_xor_si128(_mm_xor_si128(x1, even1), fed1));
    const __m128i zero = _mm_setzero_si128();
    const __m128i r0 = _mm_unpacklo_epi8(fed0, zero), r1 = _mm_unpackhi_epi8(fed0, zero);
    const __m128i r2 = _mm_unpacklo_epi8(fed1, zero), r3 = _mm_unpackhi_epi8(fed1, zero);
    for (int copy = 0; copy < 128; copy += 64) {
        store(records + copy, r0);
        store(records + copy + 16, r1);
        store(records + copy + 32, r2);
        store(records + copy + 48, r3);
    }
}

} // namespace zrk
