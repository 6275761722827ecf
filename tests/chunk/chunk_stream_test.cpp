// ChunkStream: the writing order, lazy lookup, damaged and hostile headers, readData bounds.
#include "chunk/chunk_stream.h"

#include <gtest/gtest.h>

#include <numeric>

#include "crypto/crc32.h"
#include "error/tql_exception.h"
#include "vector_stream.h"

namespace zrk {
namespace {

using testing::VectorStream;

std::vector<unsigned char> pattern(size_t n, unsigned seed) {
    std::vector<unsigned char> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(seed + i * 7);
    return v;
}

// Appends a raw chunk header with the given fields, sealed, followed by `body` bytes.
void appendRaw(std::vector<unsigned char>& out, const char* tag, uint64_t dataSize, uint32_t alignment,
               const std::vector<unsigned char>& body = {}) {
    ChunkHeader h;
    h.setTag(tag);
    h.setHeaderSize(32);
    h.setDataSize(dataSize);
    h.setAlignment(alignment);
    h.sealHeaderCrc();
    out.insert(out.end(), h.bytes(), h.bytes() + 32);
    out.insert(out.end(), body.begin(), body.end());
}

// Writes one leaf through the container in the documented order.
void writeLeaf(ChunkStream& container, VectorStream& s, const char* tag, const std::vector<unsigned char>& data) {
    ASSERT_EQ(container.addChild(tag), 1);
    ChunkStream& leaf = container.findChild(tag);
    ASSERT_TRUE(s.seek(leaf.dataPosition()));
    ASSERT_EQ(leaf.writeData(data.data(), data.size()), 1);
    ASSERT_EQ(leaf.finishData(), 1);
    ASSERT_EQ(leaf.writeHeader(), 1);
}

// "ZRKS" with an 80-byte and a 1558-byte leaf, then "ZRKD" with a 5-byte leaf.
void writePayload(VectorStream& s) {
    ChunkStream root;
    root.attach(s, 0, 0);
    root.addChild("ZRKS");
    ChunkStream& zrks = root.findChild("ZRKS");
    writeLeaf(zrks, s, "INFO", pattern(80, 1));
    writeLeaf(zrks, s, "DATA", pattern(1558, 2));
    zrks.updateFromChildren();
    zrks.writeHeader();
    root.addChild("ZRKD");
    ChunkStream& zrkd = root.findChild("ZRKD");
    writeLeaf(zrkd, s, "INFO", pattern(5, 3));
    zrkd.updateFromChildren();
    zrkd.writeHeader();
}

TEST(ChunkStreamWrite, LeavesPadAndContainerSumsItsChildren) {
    VectorStream s;
    writePayload(s);
    ASSERT_EQ(s.bytes.size(), 1744u + 32 + 32 + 16);

    ChunkHeader zrks = ChunkHeader::fromBytes(&s.bytes[0]);
    EXPECT_TRUE(zrks.isValid());
    EXPECT_EQ(zrks.dataSize(), 1712u);
    EXPECT_EQ(zrks.containerFlag(), 1u);
    // The container's dataCrc is the plain CRC of its whole data region.
    EXPECT_EQ(zrks.dataCrc(), Crc32().compute(&s.bytes[32], 1712));

    ChunkHeader info = ChunkHeader::fromBytes(&s.bytes[32]);
    EXPECT_TRUE(info.isValid());
    EXPECT_EQ(info.dataSize(), 80u);
    EXPECT_EQ(info.containerFlag(), 0u);
    EXPECT_EQ(std::vector<unsigned char>(&s.bytes[64], &s.bytes[144]), pattern(80, 1));

    // "DATA" follows "INFO" at 32 + its padded size, and carries 10 padding zeros
    // that neither its dataSize nor its dataCrc counts.
    ChunkHeader data = ChunkHeader::fromBytes(&s.bytes[144]);
    EXPECT_TRUE(data.isValid());
    EXPECT_EQ(data.tag(), "DATA");
    EXPECT_EQ(data.dataSize(), 1558u);
    EXPECT_EQ(data.dataCrc(), Crc32().compute(&s.bytes[176], 1558));
    for (size_t i = 176 + 1558; i < 176 + 1568; ++i) EXPECT_EQ(s.bytes[i], 0) << i;

    ChunkHeader zrkd = ChunkHeader::fromBytes(&s.bytes[1744]);
    EXPECT_TRUE(zrkd.isValid());
    EXPECT_EQ(zrkd.tag(), "ZRKD");
    EXPECT_EQ(zrkd.dataSize(), 32u + 16);
}

TEST(ChunkStreamWrite, FinishDataPadsOnlyToTheAlignment) {
    VectorStream s;
    ChunkStream root;
    root.attach(s, 0, 0);
    root.addChild("DATA");
    ChunkStream& leaf = root.findChild("DATA");
    s.seek(leaf.dataPosition());
    auto bytes = pattern(1558, 9);
    leaf.writeData(bytes.data(), bytes.size());
    int writesBefore = s.writes;
    EXPECT_EQ(leaf.finishData(), 1);
    EXPECT_EQ(s.writes - writesBefore, 10);
    EXPECT_EQ(leaf.dataSize(), 1558u);
    EXPECT_EQ(leaf.paddedSize(), 1568u);
    EXPECT_EQ(leaf.paddingSize(), 10u);
    EXPECT_EQ(leaf.dataCrc(), Crc32().compute(bytes.data(), 1558));

    root.addChild("INFO");
    ChunkStream& info = root.findChild("INFO");
    EXPECT_EQ(info.position(), 32u + 1568);
    s.seek(info.dataPosition());
    info.writeData(bytes.data(), 80);
    writesBefore = s.writes;
    EXPECT_EQ(info.finishData(), 1);
    EXPECT_EQ(s.writes, writesBefore);
    EXPECT_EQ(info.paddedSize(), 80u);

    // An empty leaf occupies its header alone.
    root.addChild("DFDT");
    ChunkStream& empty = root.findChild("DFDT");
    s.seek(empty.dataPosition());
    EXPECT_EQ(empty.finishData(), 1);
    EXPECT_EQ(empty.totalSize(), 32u);
    EXPECT_EQ(empty.dataCrc(), 0u);
}

TEST(ChunkStreamWrite, AddChildRefusesADuplicateAndPlacesSiblingsInOrder) {
    VectorStream s;
    ChunkStream root;
    root.attach(s, 100, 0);
    ASSERT_EQ(root.addChild("ZRKS"), 1);
    ChunkStream& container = root.findChild("ZRKS");
    EXPECT_EQ(container.position(), 100u);

    ASSERT_EQ(container.addChild("INFO"), 1);
    ChunkStream& first = container.findChild("INFO");
    EXPECT_EQ(first.position(), 132u);
    s.seek(first.dataPosition());
    auto bytes = pattern(110, 4);
    first.writeData(bytes.data(), bytes.size());
    first.finishData();

    EXPECT_EQ(container.addChild("INFO"), 0);
    EXPECT_EQ(&container.findChild("INFO"), &first);
    ASSERT_EQ(container.addChild("DATA"), 1);
    EXPECT_EQ(container.findChild("DATA").position(), first.position() + 32 + 112);
    EXPECT_EQ(container.header().containerFlag(), 1u);
    EXPECT_EQ(first.header().containerFlag(), 0u);
}

TEST(ChunkStreamWrite, FailuresAreReportedNotHidden) {
    VectorStream s;
    ChunkStream root;
    root.attach(s, 0, 0);
    // A root has no header bytes of its own; writing one would overwrite its first child.
    EXPECT_EQ(root.writeHeader(), 0);
    EXPECT_TRUE(s.bytes.empty());
    EXPECT_EQ(root.updateFromChildren(), 0);

    root.addChild("DATA");
    ChunkStream& leaf = root.findChild("DATA");
    s.seek(leaf.dataPosition());
    auto bytes = pattern(7, 5);
    leaf.writeData(bytes.data(), bytes.size());
    s.failTell = true;
    EXPECT_EQ(leaf.finishData(), 0);
    EXPECT_EQ(leaf.dataSize(), 0u);
    s.failTell = false;

    s.failWrite = s.writes + 3;  // one of the nine padding zeros
    EXPECT_EQ(leaf.finishData(), 0);
    s.failWrite = s.writes + 1;
    EXPECT_EQ(leaf.writeHeader(), 0);
    s.failWrite = 0;
    s.failSeeks = true;
    EXPECT_EQ(leaf.writeHeader(), 0);

    ChunkStream detached;
    EXPECT_EQ(detached.writeData(bytes.data(), bytes.size()), 0);
    EXPECT_EQ(detached.readData(), 1);  // nothing to read: padded size 0
    EXPECT_THROW(detached.findChild("DATA"), TqlSChunkError);
}

TEST(ChunkStreamRead, FindsByTagLazilyAndStepsOverSiblings) {
    VectorStream s;
    writePayload(s);
    ChunkStream root;
    root.attach(s, 0, s.bytes.size());

    s.reads = 0;
    ChunkStream& zrkd = root.findChild("ZRKD");
    EXPECT_EQ(s.reads, 2);  // the "ZRKS" header, stepped over as 32 + 1712, then "ZRKD"
    EXPECT_EQ(zrkd.position(), 1744u);
    EXPECT_EQ(&root.findChild("ZRKD"), &zrkd);
    EXPECT_EQ(s.reads, 2);

    ChunkStream& zrks = root.findChild("ZRKS");
    ChunkStream& data = zrks.findChild("DATA");
    EXPECT_EQ(data.position(), 144u);
    EXPECT_EQ(data.dataPosition(), 176u);
    EXPECT_EQ(data.dataSize(), 1558u);
    EXPECT_EQ(data.paddedSize(), 1568u);
    EXPECT_EQ(data.chunkCrc(), Crc32().compute(&s.bytes[144], 32 + 1568));
    int reads = s.reads;
    EXPECT_EQ(&zrks.findChild("DATA"), &data);
    EXPECT_EQ(s.reads, reads);

    ASSERT_EQ(data.readData(), 1);
    ASSERT_NE(data.dataBuffer(), nullptr);
    auto expected = pattern(1558, 2);
    expected.resize(1568, 0);
    EXPECT_EQ(std::vector<unsigned char>(data.dataBuffer(), data.dataBuffer() + 1568), expected);

    // A missing tag is looked for once in each child header, then reported.
    reads = s.reads;
    EXPECT_THROW(zrks.findChild("DFDT"), TqlSChunkError);
    EXPECT_EQ(s.reads - reads, 2);

    root.clear();
    EXPECT_EQ(root.position(), 0u);
    EXPECT_EQ(root.paddedSize(), 0u);
    EXPECT_THROW(root.findChild("ZRKS"), TqlSChunkError);
}

TEST(ChunkStreamRead, DamagedHeaderHidesEverythingAfterIt) {
    VectorStream s;
    writePayload(s);
    s.bytes[32 + 24] ^= 1;  // "INFO"'s dataCrc: its header check now fails
    ChunkStream root;
    root.attach(s, 0, s.bytes.size());
    ChunkStream& zrks = root.findChild("ZRKS");
    EXPECT_THROW(zrks.findChild("DATA"), TqlSChunkError);
    EXPECT_THROW(zrks.findChild("INFO"), TqlSChunkError);
    // The search stays inside the container: "INFO" of "ZRKD" is not reached from "ZRKS".
    EXPECT_EQ(root.findChild("ZRKD").findChild("INFO").dataSize(), 5u);

    VectorStream cut(std::vector<unsigned char>(s.bytes.begin(), s.bytes.begin() + 1744 + 20));
    ChunkStream shortRoot;
    shortRoot.attach(cut, 0, 4096);
    EXPECT_THROW(shortRoot.findChild("ZRKD"), TqlSChunkError);
    cut.failSeeks = true;
    EXPECT_THROW(shortRoot.findChild("ZRKS"), TqlSChunkError);
}

TEST(ChunkStreamRead, ReadDataFailsOnShortOrUnholdableRegions) {
    std::vector<unsigned char> bytes;
    appendRaw(bytes, "DFDT", 0, 16);
    appendRaw(bytes, "INFO", 40, 16, pattern(20, 1));  // file ends inside the data
    VectorStream s(bytes);
    ChunkStream root;
    root.attach(s, 0, UINT64_MAX);
    ChunkStream& dfdt = root.findChild("DFDT");
    EXPECT_EQ(dfdt.readData(), 1);
    EXPECT_EQ(dfdt.dataBuffer(), nullptr);
    ChunkStream& info = root.findChild("INFO");
    EXPECT_EQ(info.paddedSize(), 48u);
    EXPECT_EQ(info.readData(), 0);
    EXPECT_EQ(info.dataBuffer(), nullptr);

    // Regions one read cannot deliver, or too large for the process, fail cleanly.
    for (uint64_t size : {uint64_t(0x7FFFFFF0), uint64_t(0x80000000), uint64_t(0xFFFFFFFF0),
                          uint64_t(1) << 62}) {
        std::vector<unsigned char> huge;
        appendRaw(huge, "DATA", size, 16, pattern(64, 2));
        VectorStream hs(huge);
        ChunkStream hr;
        hr.attach(hs, 0, UINT64_MAX);
        ChunkStream& leaf = hr.findChild("DATA");
        EXPECT_EQ(leaf.readData(), 0) << size;
        EXPECT_EQ(leaf.dataBuffer(), nullptr) << size;
    }
}

TEST(ChunkStreamRead, HostileSizesAndAlignmentsEndTheScan) {
    // A dataSize whose step would wrap the offset back to 0: a naive scan loops forever.
    {
        std::vector<unsigned char> bytes;
        appendRaw(bytes, "INFO", UINT64_MAX - 31, 16);
        appendRaw(bytes, "DATA", 0, 16);
        VectorStream s(bytes);
        ChunkStream root;
        root.attach(s, 0, UINT64_MAX);
        EXPECT_THROW(root.findChild("DATA"), TqlSChunkError);
        EXPECT_EQ(s.reads, 1);
    }
    // A dataSize that cannot be rounded up at all.
    {
        std::vector<unsigned char> bytes;
        appendRaw(bytes, "INFO", UINT64_MAX - 3, 16);
        appendRaw(bytes, "DATA", 0, 16);
        VectorStream s(bytes);
        ChunkStream root;
        root.attach(s, 0, UINT64_MAX);
        EXPECT_THROW(root.findChild("DATA"), TqlSChunkError);
    }
    // Alignment 0: only an empty chunk can be rounded; anything else is damage.
    {
        std::vector<unsigned char> bytes;
        appendRaw(bytes, "DFDT", 0, 0);
        appendRaw(bytes, "INFO", 5, 0, pattern(16, 1));
        appendRaw(bytes, "DATA", 0, 16);
        VectorStream s(bytes);
        ChunkStream root;
        root.attach(s, 0, bytes.size());
        EXPECT_EQ(root.findChild("DFDT").totalSize(), 32u);
        EXPECT_THROW(root.findChild("INFO"), TqlSChunkError);
        EXPECT_THROW(root.findChild("DATA"), TqlSChunkError);
    }
    // An alignment that is not a power of two still rounds with its mask (24 -> mask 23:
    // 8 stays 8) and the scan moves on by what that gives.
    {
        std::vector<unsigned char> bytes;
        appendRaw(bytes, "INFO", 8, 24, pattern(8, 1));
        appendRaw(bytes, "DATA", 3, 24, pattern(8, 2));
        VectorStream s(bytes);
        ChunkStream root;
        root.attach(s, 0, bytes.size());
        ChunkStream& data = root.findChild("DATA");
        EXPECT_EQ(data.position(), 40u);
        EXPECT_GE(data.paddedSize(), data.dataSize());
        EXPECT_EQ(data.readData(), 1);
    }
}

} // namespace
} // namespace zrk
