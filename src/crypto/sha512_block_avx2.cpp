// SHA-512 compression for x86-64 with AVX2 and BMI2 on block pairs.
#include "crypto/sha512_block_pair.h"

namespace zrk {
namespace {

struct Avx2Sigmas {
    template <int n>
    static __m256i rotr(__m256i x) {
        return _mm256_or_si256(_mm256_srli_epi64(x, n), _mm256_slli_epi64(x, 64 - n));
    }
    static __m256i sigma0(__m256i x) {
        return _mm256_xor_si256(_mm256_xor_si256(rotr<1>(x), rotr<8>(x)), _mm256_srli_epi64(x, 7));
    }
    static __m256i sigma1(__m256i x) {
        return _mm256_xor_si256(_mm256_xor_si256(rotr<19>(x), rotr<61>(x)), _mm256_srli_epi64(x, 6));
    }
};

} // namespace

void sha512BlockAvx2(uint64_t state[8], const unsigned char* data, size_t blocks) {
    pairBlocks<Avx2Sigmas>(state, data, blocks);
}

} // namespace zrk
