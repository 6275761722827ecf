// Crc32 against zlib's crc32 and crc32_combine, which we did not write.
#include "crypto/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <iostream>
#include <random>
#include <vector>

#include "crypto/crc32_forms.h"

namespace zrk {
namespace {

// The largest length zlib's combine takes on this platform.
constexpr uint64_t kOracleMaxLength = sizeof(z_off64_t) >= 8 ? 0x7FFFFFFFFFFFFFFFull : 0x7FFFFFFFull;

std::vector<unsigned char> randomBytes(std::mt19937& rng, size_t n) {
    std::vector<unsigned char> v(n);
    for (auto& b : v) b = uint8_t(rng());
    return v;
}

TEST(Crc32, CheckValueAndEmptyInput) {
    Crc32 crc;
    EXPECT_EQ(crc.compute("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc.compute(nullptr, 0), 0u);
    EXPECT_EQ(crc.update("abc", 0, 0x12345678u), 0x12345678u);
}

TEST(Crc32, MatchesZlibForEveryLengthAndAlignment) {
    Crc32 crc;
    std::mt19937 rng(1);
    auto data = randomBytes(rng, 4096 + 8);
    // Lengths around the eight-byte step and start offsets that are not aligned.
    for (uint32_t offset = 0; offset < 8; ++offset) {
        for (uint32_t len = 0; len <= 300; ++len) {
            uLong expected = crc32(0, data.data() + offset, len);
            ASSERT_EQ(crc.compute(data.data() + offset, len), expected) << offset << "/" << len;
        }
    }
    EXPECT_EQ(crc.compute(data.data(), 4096), crc32(0, data.data(), 4096));
}

// Each form over random lengths (across the 16- and 64-byte steps of the folding
// form) at every start offset within 16 bytes, and continuing from a nonzero register.
TEST(Crc32, EveryFormMatchesZlibOnRandomLengthsAndAlignments) {
    Crc32 tablesBuilt;
    std::mt19937 rng(6);
    auto data = randomBytes(rng, (1 << 20) + 64);
    int tested = 0;
    for (const Crc32Form& form : crc32Forms()) {
        if (!form.supported) continue;
        ++tested;
        auto crcOf = [&](uint32_t crc, const unsigned char* p, size_t n) { return ~form.function(~crc, p, n); };
        for (size_t len = 0; len <= 300; ++len)
            ASSERT_EQ(crcOf(0, data.data() + len % 16, len), crc32(0, data.data() + len % 16, uInt(len)))
                << form.name << " " << len;
        for (int trial = 0; trial < 400; ++trial) {
            const size_t offset = rng() % 16;
            const size_t len = trial < 200 ? rng() % 5000 : rng() % (data.size() - offset);
            const uint32_t before = uint32_t(rng());
            ASSERT_EQ(crcOf(before, data.data() + offset, len), crc32(before, data.data() + offset, uInt(len)))
                << form.name << " " << offset << "/" << len;
        }
        EXPECT_EQ(crcOf(0, data.data(), data.size()), crc32(0, data.data(), uInt(data.size()))) << form.name;
    }
    std::cout << tested << " of " << crc32Forms().size() << " CRC-32 forms run on this processor\n";
}

TEST(Crc32, UpdateInPiecesEqualsOneCall) {
    Crc32 crc;
    std::mt19937 rng(2);
    auto data = randomBytes(rng, 10000);
    uint32_t whole = crc.compute(data.data(), uint32_t(data.size()));
    for (int trial = 0; trial < 200; ++trial) {
        size_t cut = rng() % (data.size() + 1);
        uint32_t first = crc.update(data.data(), uint32_t(cut), 0);
        ASSERT_EQ(crc.update(data.data() + cut, uint32_t(data.size() - cut), first), whole) << cut;
    }
}

TEST(Crc32, CombineMatchesConcatenationAndZlib) {
    Crc32 crc;
    std::mt19937 rng(3);
    auto data = randomBytes(rng, 5000);
    for (int trial = 0; trial < 300; ++trial) {
        size_t cut = trial == 0 ? data.size() - 1 : rng() % (data.size() + 1);  // |B| = 1 included
        uint32_t a = crc.compute(data.data(), uint32_t(cut));
        uint32_t b = crc.compute(data.data() + cut, uint32_t(data.size() - cut));
        uint32_t whole = crc.compute(data.data(), uint32_t(data.size()));
        // lengthA plays no part: any value gives the same answer.
        ASSERT_EQ(crc.combine(a, rng(), b, data.size() - cut), whole) << cut;
    }
}

TEST(Crc32, CombineUsesAllSixtyFourLengthBits) {
    Crc32 crc;
    std::mt19937_64 rng(4);
    for (int trial = 0; trial < 200; ++trial) {
        uint32_t a = uint32_t(rng()), b = uint32_t(rng());
        // Lengths above 4 GiB where zlib's offset type is 64-bit (not on 32-bit Windows).
        uint64_t lengthB = (rng() >> (rng() % 40)) & kOracleMaxLength;
        ASSERT_EQ(crc.combine(a, 0, b, lengthB), crc32_combine64(a, b, z_off64_t(lengthB))) << lengthB;
    }
    EXPECT_EQ(crc.combine(0xDEADBEEFu, 0, 0x01020304u, 0), 0xDEADBEEFu ^ 0x01020304u);
    EXPECT_EQ(crc.combine(0xDEADBEEFu, 99, 0, 0), 0xDEADBEEFu);
}

TEST(Crc32, ChainedCombinationOfPiecesFromZero) {
    Crc32 crc;
    std::mt19937 rng(5);
    auto data = randomBytes(rng, 3000);
    uint32_t total = 0;
    size_t at = 0;
    while (at < data.size()) {
        size_t n = std::min<size_t>(data.size() - at, rng() % 400);
        total = crc.combine(total, 0, crc.compute(data.data() + at, uint32_t(n)), n);
        at += n;
    }
    EXPECT_EQ(total, crc.compute(data.data(), uint32_t(data.size())));
}

TEST(Crc32, ZeroRunsWithoutTouchingBytes) {
    Crc32 crc;
    std::vector<unsigned char> zeros(70000, 0);
    for (uint64_t n : {0ull, 1ull, 10ull, 15ull, 16ull, 65536ull, 70000ull})
        EXPECT_EQ(crc.zeros(n), crc32(0, zeros.data(), uInt(n))) << n;
    // Runs up to 2^40 bytes, doubled with zlib's combine: z(2n) = combine(z(n), z(n), n).
    uint32_t z = crc32(0, zeros.data(), 1);
    for (int k = 0; (1ull << k) <= kOracleMaxLength / 2; ++k) {
        uint64_t n = 1ull << k;
        ASSERT_EQ(crc.zeros(n), z) << n;
        z = uint32_t(crc32_combine64(z, z, z_off64_t(n)));
    }
}

} // namespace
} // namespace zrk
