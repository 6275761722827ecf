// SHA-512 compression for x86-64 on block pairs with AVX-512VL: native rotation and
// three-input logic shorten the vector schedule, leaving more issue slots to the rounds.
#include "crypto/sha512_block_pair.h"

namespace zrk {
namespace {

struct Avx512Sigmas {
    static __m256i sigma0(__m256i x) {
        return _mm256_ternarylogic_epi64(_mm256_ror_epi64(x, 1), _mm256_ror_epi64(x, 8), _mm256_srli_epi64(x, 7), 0x96);
    }
    static __m256i sigma1(__m256i x) {
        return _mm256_ternarylogic_epi64(_mm256_ror_epi64(x, 19), _mm256_ror_epi64(x, 61), _mm256_srli_epi64(x, 6),
                                         0x96);
    }
};

} // namespace

void sha512BlockAvx512Pair(uint64_t state[8], const unsigned char* data, size_t blocks) {
    pairBlocks<Avx512Sigmas>(state, data, blocks);
}

} // namespace zrk
