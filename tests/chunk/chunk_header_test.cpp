// The chunk header's layout, check, padding and CRC, against the format's worked examples.
#include "chunk/chunk_header.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "crypto/crc32.h"

namespace zrk {
namespace {

// Lays out a leaf as stored (header, data, padding) and returns its header.
ChunkHeader appendLeaf(std::vector<unsigned char>& out, const std::string& tag,
                       const std::vector<unsigned char>& data) {
    ChunkHeader h;
    h.setTag(tag);
    h.setHeaderSize(32);
    h.setDataSize(data.size());
    h.setDataCrc(Crc32().compute(data.data(), uint32_t(data.size())));
    h.sealHeaderCrc();
    out.insert(out.end(), h.bytes(), h.bytes() + 32);
    out.insert(out.end(), data.begin(), data.end());
    out.resize(out.size() + (*h.paddedSize() - data.size()), 0);
    return h;
}

// A container header built the way the writer builds it: from the children's headers alone.
ChunkHeader containerOf(const std::string& tag, const std::vector<ChunkHeader>& children) {
    Crc32 crc;
    uint32_t dataCrc = 0;
    uint64_t total = 0;
    for (const auto& c : children) {
        uint64_t size = 32 + *c.paddedSize();
        dataCrc = crc.combine(dataCrc, 0, c.chunkCrc(), size);
        total += size;
    }
    ChunkHeader h;
    h.setTag(tag);
    h.setHeaderSize(32);
    h.setContainerFlag(1);
    h.setDataSize(total);
    h.setDataCrc(dataCrc);
    h.sealHeaderCrc();
    return h;
}

std::vector<unsigned char> bytesOfLength(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<unsigned char> v(n);
    for (auto& b : v) b = uint8_t(rng());
    return v;
}

TEST(ChunkHeader, FreshHeaderAndByteLayout) {
    ChunkHeader h;
    EXPECT_EQ(h.alignment(), 16u);
    EXPECT_EQ(h.headerSize(), 0u);
    EXPECT_EQ(h.dataSize(), 0u);
    EXPECT_FALSE(h.isValid());

    h.setTag("INFO");
    h.setHeaderSize(32);
    h.setDataSize(0x0102030405060708ull);
    h.setContainerFlag(1);
    h.setDataCrc(0xA1B2C3D4u);
    const unsigned char expected[28] = {'I', 'N', 'F', 'O', 32, 0, 0, 0, 8, 7, 6, 5, 4, 3, 2, 1,
                                        1, 0, 0, 0, 16, 0, 0, 0, 0xD4, 0xC3, 0xB2, 0xA1};
    EXPECT_EQ(std::vector<unsigned char>(h.bytes(), h.bytes() + 28),
              std::vector<unsigned char>(expected, expected + 28));
    EXPECT_EQ(h.tag(), "INFO");
    EXPECT_EQ(ChunkHeader::fromBytes(h.bytes()).dataSize(), 0x0102030405060708ull);
}

TEST(ChunkHeader, SettingsContainerExample) {
    std::vector<unsigned char> region;
    auto info = appendLeaf(region, "INFO", bytesOfLength(80, 1));
    auto data = appendLeaf(region, "DATA", bytesOfLength(1558, 2));
    auto zrks = containerOf("ZRKS", {info, data});

    EXPECT_EQ(*info.paddedSize(), 80u);
    EXPECT_EQ(*data.paddedSize(), 1568u);
    EXPECT_EQ(zrks.dataSize(), 1712u);
    EXPECT_EQ(region.size(), 1712u);
    // The ten padding zeros are stored but counted neither in dataSize nor in dataCrc.
    EXPECT_EQ(data.dataSize(), 1558u);
    EXPECT_EQ(std::vector<unsigned char>(region.end() - 10, region.end()), std::vector<unsigned char>(10, 0));
    EXPECT_EQ(data.dataCrc(), Crc32().compute(region.data() + 112 + 32, 1558));
    // The container's CRC, built from headers alone, is the CRC of its data region as stored.
    EXPECT_EQ(zrks.dataCrc(), Crc32().compute(region.data(), uint32_t(region.size())));
    EXPECT_TRUE(zrks.isValid());
}

TEST(ChunkHeader, ArchiveContainerExampleWithEmptyLeaf) {
    std::vector<unsigned char> region;
    auto info = appendLeaf(region, "INFO", bytesOfLength(110, 3));
    auto date = appendLeaf(region, "DFDT", bytesOfLength(32, 4));
    auto empty = appendLeaf(region, "DATA", {});
    auto zrkd = containerOf("ZRKD", {info, date, empty});
    EXPECT_EQ(zrkd.dataSize(), 240u);
    EXPECT_EQ(empty.dataCrc(), 0u);
    EXPECT_EQ(*empty.paddedSize(), 0u);
    EXPECT_EQ(zrkd.dataCrc(), Crc32().compute(region.data(), uint32_t(region.size())));
}

TEST(ChunkHeader, CompleteChunkCrcEqualsCrcOfStoredBytes) {
    for (size_t n : {0u, 1u, 15u, 16u, 17u, 1000u}) {
        std::vector<unsigned char> stored;
        auto h = appendLeaf(stored, "DATA", bytesOfLength(n, unsigned(n)));
        EXPECT_EQ(h.chunkCrc(), Crc32().compute(stored.data(), uint32_t(stored.size()))) << n;
    }
}

TEST(ChunkHeader, EverySingleByteChangeOfAHeaderFailsTheCheck) {
    std::vector<unsigned char> stored;
    auto h = appendLeaf(stored, "INFO", bytesOfLength(80, 5));
    ASSERT_TRUE(h.isValid());
    for (int i = 0; i < 32; ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            auto changed = h;
            changed.bytes()[i] ^= uint8_t(1 << bit);
            ASSERT_FALSE(changed.isValid()) << "byte " << i << " bit " << bit;
        }
    }
    // The header check never looks at the data: a changed data byte leaves it valid.
    stored[40] ^= 0xFF;
    EXPECT_TRUE(ChunkHeader::fromBytes(stored.data()).isValid());
}

TEST(ChunkHeader, HeaderSizeOtherThan32IsRejectedEvenWithAMatchingCrc) {
    ChunkHeader h;
    h.setTag("INFO");
    h.setHeaderSize(48);
    h.sealHeaderCrc();  // a CRC that matches the 32 bytes as they stand
    EXPECT_FALSE(h.isValid());
}

TEST(ChunkHeader, PaddedSizeRoundingAndWrap) {
    EXPECT_EQ(roundUpToAlignment(0, 16), 0u);
    EXPECT_EQ(roundUpToAlignment(1, 16), 16u);
    EXPECT_EQ(roundUpToAlignment(1558, 16), 1568u);
    EXPECT_EQ(roundUpToAlignment(80, 16), 80u);
    EXPECT_EQ(roundUpToAlignment(5, 1), 5u);
    // A size that would wrap past 2^64 marks a damaged header instead of a tiny padded size.
    EXPECT_FALSE(roundUpToAlignment(UINT64_MAX, 16).has_value());
    EXPECT_FALSE(roundUpToAlignment(UINT64_MAX - 14, 16).has_value());
    EXPECT_EQ(roundUpToAlignment(UINT64_MAX - 15, 16), UINT64_MAX - 15);
    // Alignment 0 works as a mask of all ones: only an empty chunk survives it.
    EXPECT_EQ(roundUpToAlignment(0, 0), 0u);
    EXPECT_FALSE(roundUpToAlignment(1, 0).has_value());
    // Whatever the alignment, the padded size never falls below the data size.
    for (uint32_t a : {3u, 6u, 100u, 0x80000001u})
        for (uint64_t d : {1ull, 7ull, 1000ull, 1ull << 40})
            EXPECT_GE(*roundUpToAlignment(d, a), d) << a << " " << d;
}

TEST(ChunkHeader, ChunkCrcOfHostileAlignmentDoesNotWalkThePadding) {
    ChunkHeader h;
    h.setTag("DATA");
    h.setHeaderSize(32);
    h.setDataSize(1);
    h.setAlignment(0x80000000u);  // two GiB of padding: computed, never iterated
    Crc32 crc;
    uint64_t padding = 0x80000000u - 1;
    uint32_t expected = crc.combine(crc.combine(crc.compute(h.bytes(), 32), 32, 0, 1), 0, crc.zeros(padding), padding);
    EXPECT_EQ(h.chunkCrc(), expected);
}

} // namespace
} // namespace zrk
