// The settings container: the built-in texts, the written layout, reading back, short
// and damaged containers, and every failed write of the writer.
#include "startup/settings_container.h"

#include <gtest/gtest.h>

#include <cstring>

#include "../chunk/temp_files.h"
#include "../chunk/vector_stream.h"
#include "chunk/chunk_header.h"
#include "chunk/chunk_stream.h"
#include "crypto/crc32.h"
#include "stream/byte_order.h"
#include "stream/file_stream.h"

namespace zrk {
namespace {

using testing::TempFile;
using testing::VectorStream;

void writeBuiltin(VectorStream& s) {
    EXPECT_EQ(writeSettingsContainer(s, 0, PayloadSettings::builtin(), MessageTable::builtin()), 1);
}

TEST(BuiltinMessages, MatchTheShippedTableByteForByte) {
    // Stored lengths of the shipped texts, entry by entry.
    const size_t lengths[kMessageCount] = {12, 12, 2,  15, 6,  0,  9,  10, 39, 38, 54, 53, 27, 38, 12,
                                           30, 42, 53, 21, 24, 36, 12, 27, 18, 30, 24, 36, 42, 36, 45,
                                           24, 9,  45, 36, 36, 39, 27, 36, 24, 39, 54, 68, 51, 54, 33};
    const auto& texts = builtinMessages();
    std::string all;
    for (size_t i = 0; i < kMessageCount; ++i) {
        EXPECT_EQ(texts[i].size(), lengths[i]) << "entry " << i;
        all += texts[i];
    }
    EXPECT_EQ(all.size(), 1378u);
    // CRC-32 of the 1378 text bytes, computed independently from the reference list.
    EXPECT_EQ(Crc32().compute(all.data(), uint32_t(all.size())), 0xE4EC5C42u);
    EXPECT_EQ(texts[2], "OK");
    EXPECT_EQ(texts[5], "");
    EXPECT_EQ(texts[0], "< \xE6\x88\xBB\xE3\x82\x8B(&B)");  // "< " Back "(&B)"
    EXPECT_EQ(texts[9], texts[13]);
    EXPECT_EQ(texts[11], texts[17]);
}

TEST(SettingsRecord, KeepsEveryByteOfTheRecord) {
    unsigned char bytes[PayloadSettings::kSize];
    for (unsigned i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(i * 5 + 1);
    PayloadSettings s = PayloadSettings::fromBytes(bytes);
    EXPECT_EQ(s.clientWidth, loadLe32(bytes + 4));
    EXPECT_EQ(s.clientHeight, loadLe32(bytes + 8));
    EXPECT_EQ(s.fontPointSize, loadLe32(bytes + 12));
    EXPECT_EQ(s.maskPassword, loadLe32(bytes + 40));
    unsigned char again[PayloadSettings::kSize] = {};
    s.toBytes(again);
    EXPECT_EQ(std::memcmp(bytes, again, sizeof bytes), 0);
}

TEST(SettingsContainer, BuiltinContainerHasTheShippedLayout) {
    VectorStream s;
    writeBuiltin(s);
    ASSERT_EQ(s.bytes.size(), 1744u);
    ChunkHeader zrks = ChunkHeader::fromBytes(&s.bytes[0]);
    EXPECT_EQ(zrks.tag(), "ZRKS");
    EXPECT_TRUE(zrks.isValid());
    EXPECT_EQ(zrks.dataSize(), 1712u);
    EXPECT_EQ(zrks.dataCrc(), Crc32().compute(&s.bytes[32], 1712));

    ChunkHeader info = ChunkHeader::fromBytes(&s.bytes[32]);
    EXPECT_EQ(info.tag(), "INFO");
    EXPECT_EQ(info.dataSize(), 80u);
    EXPECT_EQ(loadLe32(&s.bytes[64 + 4]), 480u);
    EXPECT_EQ(loadLe32(&s.bytes[64 + 8]), 240u);
    EXPECT_EQ(loadLe32(&s.bytes[64 + 12]), 9u);
    for (size_t i = 64 + 48; i < 64 + 80; ++i) EXPECT_EQ(s.bytes[i], 0) << i;

    ChunkHeader data = ChunkHeader::fromBytes(&s.bytes[144]);
    EXPECT_EQ(data.tag(), "DATA");
    EXPECT_TRUE(data.isValid());
    EXPECT_EQ(data.dataSize(), 1558u);
    // CRC-32 of the length-prefixed table, computed independently from the reference list.
    EXPECT_EQ(data.dataCrc(), 0xE173D069u);
    // Entry 5, the empty string: 4 zero bytes of length between entries 4 and 6.
    size_t at = 176;
    for (size_t i = 0; i < 5; ++i) at += 4 + loadLe32(&s.bytes[at]);
    EXPECT_EQ(loadLe32(&s.bytes[at]), 0u);
    EXPECT_EQ(loadLe32(&s.bytes[at + 4]), 9u);
}

TEST(SettingsContainer, ReadsBackFromAFileBehindAProgramImage) {
    PayloadSettings settings = PayloadSettings::builtin();
    settings.clientWidth = 640;
    settings.clientHeight = 320;
    settings.maskPassword = 1;
    settings.reserved1[3] = 0x5A;
    MessageTable table = MessageTable::builtin();
    table[44] = "\xF0\x9F\x98\x80 outside the BMP";

    // An image that mentions the tag as text, then the payload, then what follows it.
    std::vector<unsigned char> image(3000, 0x90);
    std::memcpy(&image[700], "ZRKS", 4);
    VectorStream payload;
    payload.bytes = image;
    ChunkStream root;
    root.attach(payload, image.size(), 0);
    ASSERT_EQ(writeSettingsContainer(root, payload, settings, table), 1);
    ASSERT_EQ(root.addChild("ZRKD"), 1);
    // Entry 44 is 16 bytes shorter than the shipped one, so the table pads to 1552.
    EXPECT_EQ(root.findChild("ZRKD").position(), image.size() + 32 + 112 + 32 + 1552);

    TempFile file("program.exe");
    file.write(payload.bytes);
    PayloadSettings readSettings;
    MessageTable readTable;
    ASSERT_EQ(loadSettingsFromFile(file.path(), readSettings, readTable), 1);
    EXPECT_EQ(readSettings, settings);
    for (size_t i = 0; i < kMessageCount; ++i) EXPECT_EQ(readTable[i], table[i]) << "entry " << i;

    // The same through a file the writer itself produced.
    TempFile direct("settings.bin");
    {
        FileStream out;
        ASSERT_EQ(out.open(direct.path(), CreateReadWrite), 1);
        ASSERT_EQ(writeSettingsContainer(out, 0, PayloadSettings::builtin(), MessageTable::builtin()), 1);
        out.close();
    }
    VectorStream expected;
    writeBuiltin(expected);
    EXPECT_EQ(direct.read(), expected.bytes);
    ASSERT_EQ(loadSettingsFromFile(direct.path(), readSettings, readTable), 1);
    EXPECT_EQ(readSettings, PayloadSettings::builtin());
    for (size_t i = 0; i < kMessageCount; ++i) EXPECT_EQ(readTable[i], builtinMessages()[i]) << i;
}

// Rebuilds a container around leaf bytes given directly, to shape damaged tables.
std::vector<unsigned char> containerWith(const std::vector<unsigned char>& info,
                                         const std::vector<unsigned char>& data, bool withData = true) {
    VectorStream s;
    ChunkStream root;
    root.attach(s, 0, 0);
    root.addChild("ZRKS");
    ChunkStream& zrks = root.findChild("ZRKS");
    auto leaf = [&](const char* tag, const std::vector<unsigned char>& bytes) {
        zrks.addChild(tag);
        ChunkStream& c = zrks.findChild(tag);
        s.seek(c.dataPosition());
        c.writeData(bytes.data(), bytes.size());
        c.finishData();
        c.writeHeader();
    };
    leaf("INFO", info);
    if (withData) leaf("DATA", data);
    zrks.updateFromChildren();
    zrks.writeHeader();
    return s.bytes;
}

std::vector<unsigned char> tableBytes(size_t count) {
    std::vector<unsigned char> out;
    for (size_t i = 0; i < count; ++i) {
        std::string text = "text " + std::to_string(i);
        unsigned char prefix[4];
        storeLe32(prefix, uint32_t(text.size()));
        out.insert(out.end(), prefix, prefix + 4);
        out.insert(out.end(), text.begin(), text.end());
    }
    return out;
}

TEST(SettingsContainer, ShortTablesGiveEmptyEntries) {
    std::vector<unsigned char> info(80, 0);
    PayloadSettings settings;
    MessageTable table;

    auto bytes = containerWith(info, tableBytes(44));
    VectorStream s(bytes);
    ASSERT_EQ(readSettingsContainer(s, 0, bytes.size(), settings, table), 1);
    EXPECT_EQ(table[43], "text 43");
    EXPECT_EQ(table[44], "");

    // A string whose length runs past the end of its leaf ends the table there, even
    // though bytes of a following chunk would have satisfied it.
    auto data = tableBytes(3);
    storeLe32(&data[4 + 6], 60);
    bytes = containerWith(info, data);
    bytes.resize(bytes.size() + 200, 'x');
    VectorStream t(bytes);
    ASSERT_EQ(readSettingsContainer(t, 0, bytes.size(), settings, table), 1);
    EXPECT_EQ(table[0], "text 0");
    EXPECT_EQ(table[1], "");
    EXPECT_EQ(table[2], "");

    // A giant length is an empty entry, not an allocation failure.
    data = tableBytes(2);
    storeLe32(&data[0], 0xFFFFFFF0u);
    bytes = containerWith(info, data);
    VectorStream g(bytes);
    ASSERT_EQ(readSettingsContainer(g, 0, bytes.size(), settings, table), 1);
    EXPECT_EQ(table[0], "");

    bytes = containerWith(info, {});
    VectorStream e(bytes);
    ASSERT_EQ(readSettingsContainer(e, 0, bytes.size(), settings, table), 1);
    for (size_t i = 0; i < kMessageCount; ++i) EXPECT_EQ(table[i], "") << i;
}

TEST(SettingsContainer, MissingOrShortPartsFailTheLoadAndLeaveTheOutputs) {
    const PayloadSettings before = PayloadSettings::builtin();
    const MessageTable tableBefore = MessageTable::builtin();
    auto check = [&](const std::vector<unsigned char>& bytes, uint64_t length, const char* what) {
        VectorStream s(bytes);
        PayloadSettings settings = before;
        MessageTable table = tableBefore;
        EXPECT_EQ(readSettingsContainer(s, 0, length, settings, table), 0) << what;
        EXPECT_EQ(settings, before) << what;
        EXPECT_EQ(table[1], tableBefore[1]) << what;
    };
    std::vector<unsigned char> info(80, 7);
    auto data = tableBytes(45);

    check(containerWith(info, data, false), 4096, "no DATA leaf");
    check(containerWith(std::vector<unsigned char>(40, 7), data), 4096, "INFO of 40 bytes");
    auto whole = containerWith(info, data);
    check(std::vector<unsigned char>(whole.begin(), whole.begin() + 32 + 32 + 40), 4096,
          "file ends inside INFO");
    whole[32 + 5] ^= 0x40;  // INFO's headerSize
    check(whole, whole.size(), "damaged INFO header");
    check({}, 0, "nothing there");

    TempFile noPayload("plain.exe");
    noPayload.write(std::vector<unsigned char>(4096, 0x4D));
    PayloadSettings settings;
    MessageTable table;
    EXPECT_EQ(loadSettingsFromFile(noPayload.path(), settings, table), 0);
    TempFile missing("missing.exe");
    EXPECT_EQ(loadSettingsFromFile(missing.path(), settings, table), 0);
}

TEST(SettingsContainer, EveryFailedWriteIsReported) {
    VectorStream counting;
    writeBuiltin(counting);
    const int writes = counting.writes;
    ASSERT_GT(writes, 90);
    for (int n = 1; n <= writes; ++n) {
        VectorStream s;
        s.failWrite = n;
        EXPECT_EQ(writeSettingsContainer(s, 0, PayloadSettings::builtin(), MessageTable::builtin()), 0)
            << "write " << n;
    }
    VectorStream s;
    s.failSeeks = true;
    EXPECT_EQ(writeSettingsContainer(s, 0, PayloadSettings::builtin(), MessageTable::builtin()), 0);

    // A root that already holds "ZRKS" gets no second one.
    VectorStream twice;
    ChunkStream root;
    root.attach(twice, 0, 0);
    ASSERT_EQ(writeSettingsContainer(root, twice, PayloadSettings::builtin(), MessageTable::builtin()), 1);
    EXPECT_EQ(writeSettingsContainer(root, twice, PayloadSettings::builtin(), MessageTable::builtin()), 0);
    EXPECT_EQ(twice.bytes.size(), 1744u);
}

// Reads 1-5 find the chunks (the search for "DATA" passes "INFO" again) and the
// record; then each text is its length, and again the length and the bytes.
TEST(SettingsContainer, AFailedReadOfAnEmptyTextDoesNotShiftTheTextsAfterIt) {
    struct FailingRead : VectorStream {
        int failAt = 0;
        int32_t read(void* buffer, uint32_t count) override {
            if (reads + 1 == failAt) {
                ++reads;
                return 0;
            }
            return VectorStream::read(buffer, count);
        }
    };
    MessageTable texts;
    texts[1] = "second";
    texts[2] = "third";
    FailingRead s;
    ASSERT_EQ(writeSettingsContainer(s, 0, PayloadSettings::builtin(), texts), 1);
    s.failAt = 7;  // the length inside the read of the empty text 0
    PayloadSettings settings;
    MessageTable table;
    ASSERT_EQ(readSettingsContainer(s, 0, s.bytes.size(), settings, table), 1);
    EXPECT_TRUE(table[0].empty());
    EXPECT_EQ(table[1], "second");
    EXPECT_EQ(table[2], "third");
    EXPECT_TRUE(table[3].empty());
}

} // namespace
} // namespace zrk
