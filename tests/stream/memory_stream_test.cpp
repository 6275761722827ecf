// MemoryStream's bounds and end flag, and the shared Stream helpers over it.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "stream/memory_stream.h"

namespace zrk {
namespace {

TEST(MemoryStream, ReadStringOfAWholeBlockReachesTheEnd) {
    unsigned char block[] = {3, 0, 0, 0, 'a', 'b', 'c'};
    MemoryStream s;
    EXPECT_EQ(s.isAtEnd(), 1u);
    EXPECT_EQ(s.attachBuffer(block, sizeof block), 1);
    EXPECT_EQ(s.isAtEnd(), 0u);
    EXPECT_EQ(s.readString(), "abc");
    EXPECT_EQ(s.tell(), 7u);
    EXPECT_EQ(s.isAtEnd(), 1u);
}

TEST(MemoryStream, ReadsStopAtTheEndOfTheBlock) {
    unsigned char block[4] = {1, 2, 3, 4};
    unsigned char out[10] = {};
    MemoryStream s;
    s.attachBuffer(block, 4);
    EXPECT_EQ(s.read(out, 10), 4);
    EXPECT_EQ(std::memcmp(out, block, 4), 0);
    EXPECT_EQ(s.isAtEnd(), 1u);
    EXPECT_EQ(s.read(out, 10), 0);
}

TEST(MemoryStream, ReadThatStopsShortOfTheEndLeavesTheFlag) {
    unsigned char block[4] = {};
    unsigned char out[4];
    MemoryStream s;
    s.attachBuffer(block, 4);
    EXPECT_EQ(s.read(out, 3), 3);
    EXPECT_EQ(s.isAtEnd(), 0u);
    EXPECT_EQ(s.read(out, 1), 1);
    EXPECT_EQ(s.isAtEnd(), 1u);
}

TEST(MemoryStream, SeekRefusesTheEndAndBeyond) {
    unsigned char block[4] = {};
    MemoryStream s;
    s.attachBuffer(block, 4);
    unsigned char out[4];
    s.read(out, 4);
    EXPECT_EQ(s.seek(3), 1);
    EXPECT_EQ(s.isAtEnd(), 0u);
    EXPECT_EQ(s.tell(), 3u);
    EXPECT_EQ(s.seek(4), 0);
    EXPECT_EQ(s.isAtEnd(), 1u);
    EXPECT_EQ(s.tell(), 3u);
    // Beyond 31 bits: refused without touching anything, not even the end flag.
    s.seek(1);
    EXPECT_EQ(s.seek(0x80000000ull), 0);
    EXPECT_EQ(s.seek(0x100000001ull), 0);
    EXPECT_EQ(s.isAtEnd(), 0u);
    EXPECT_EQ(s.tell(), 1u);
}

TEST(MemoryStream, WritesOverwriteInPlaceAndNeverGrow) {
    unsigned char block[4] = {9, 9, 9, 9};
    const unsigned char data[6] = {1, 2, 3, 4, 5, 6};
    MemoryStream s;
    s.attachBuffer(block, 4);
    EXPECT_EQ(s.seek(1), 1);
    EXPECT_EQ(s.write(data, 6), 3);
    EXPECT_EQ(s.isAtEnd(), 1u);
    const unsigned char expected[4] = {9, 1, 2, 3};
    EXPECT_EQ(std::memcmp(block, expected, 4), 0);
    EXPECT_EQ(s.write(data, 1), 0);
}

TEST(MemoryStream, EmptyBlockIsAtEndOnlyAfterTheFirstRead) {
    unsigned char dummy = 0;
    MemoryStream s;
    s.attachBuffer(&dummy, 0);
    EXPECT_EQ(s.isAtEnd(), 0u);
    EXPECT_EQ(s.read(&dummy, 1), 0);
    EXPECT_EQ(s.isAtEnd(), 1u);
}

TEST(MemoryStream, DetachedStreamMovesNothing) {
    unsigned char block[4] = {};
    MemoryStream s;
    s.attachBuffer(block, 4);
    s.detachBuffer();
    unsigned char out[1];
    EXPECT_EQ(s.read(out, 1), 0);
    EXPECT_EQ(s.write(out, 1), 0);
    EXPECT_EQ(s.seek(0), 0);
    EXPECT_EQ(s.tell(), 0u);
}

TEST(StreamHelpers, IntegersAreLittleEndian) {
    unsigned char block[5] = {};
    MemoryStream s;
    s.attachBuffer(block, 5);
    EXPECT_EQ(s.writeU8(0xA1), 1);
    EXPECT_EQ(s.writeU32(0xD4E5F607), 4);
    const unsigned char expected[5] = {0xA1, 0x07, 0xF6, 0xE5, 0xD4};
    EXPECT_EQ(std::memcmp(block, expected, 5), 0);
}

TEST(StreamHelpers, WriteStringWritesLengthThenBytes) {
    unsigned char block[8];
    std::memset(block, 0xEE, sizeof block);
    MemoryStream s;
    s.attachBuffer(block, 8);
    s.writeString("");
    EXPECT_EQ(s.tell(), 4u);
    const unsigned char zeros[4] = {};
    EXPECT_EQ(std::memcmp(block, zeros, 4), 0);
    EXPECT_EQ(block[4], 0xEE);
    s.seek(0);
    s.writeString("hi");
    const unsigned char expected[6] = {2, 0, 0, 0, 'h', 'i'};
    EXPECT_EQ(std::memcmp(block, expected, 6), 0);
}

TEST(StreamHelpers, TruncatedStringsReadAsEmpty) {
    {
        unsigned char block[] = {5, 0, 0, 0, 'a', 'b'};
        MemoryStream s;
        s.attachBuffer(block, sizeof block);
        EXPECT_EQ(s.readString(), "");
        EXPECT_EQ(s.tell(), 6u);  // what was read stays consumed
    }
    {
        unsigned char block[] = {3, 0, 0};
        MemoryStream s;
        s.attachBuffer(block, sizeof block);
        EXPECT_EQ(s.readString(), "");
    }
}

TEST(StreamHelpers, GiantLengthsAreFailedReadsWithoutAllocating) {
    // Lengths no stored string has, up to the largest 32-bit value: each must come back
    // empty without the allocation failing loudly or the bytes after it being taken.
    for (uint32_t length : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, Stream::kMaxStringLength + 1}) {
        unsigned char block[8] = {uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16),
                                  uint8_t(length >> 24), 'a', 'b', 'c', 'd'};
        MemoryStream s;
        s.attachBuffer(block, sizeof block);
        EXPECT_EQ(s.readString(), "") << length;
        EXPECT_EQ(s.tell(), 4u) << length;
    }
    // A length within the bound but beyond the data: one read that comes up short.
    std::vector<unsigned char> block = {0, 0, 0x10, 0, 'x'};  // 1 MiB announced, 1 byte present
    MemoryStream s;
    s.attachBuffer(block.data(), int32_t(block.size()));
    EXPECT_EQ(s.readString(), "");
    EXPECT_EQ(s.isAtEnd(), 1u);
}

TEST(StreamHelpers, StringsRoundTripIncludingZeroBytes) {
    const std::string text("a\0b\xE3\x81\x82", 6);
    std::vector<unsigned char> block(4 + text.size());
    MemoryStream s;
    s.attachBuffer(block.data(), int32_t(block.size()));
    s.writeString(text);
    s.seek(0);
    EXPECT_EQ(s.readString(), text);
}

} // namespace
} // namespace zrk
