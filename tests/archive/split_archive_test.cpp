// Writer-to-reader round trips and the record reading operations of SplitArchive.
#include <gtest/gtest.h>

#include "archive/archive_writer.h"
#include "archive/split_archive.h"
#include "archive/stored_name.h"
#include "archive_test_support.h"
#include "chunk/chunk_stream.h"
#include "chunk/locate_chunk.h"
#include "stream/file_stream.h"
#include "stream/paths.h"

namespace zrk::testing {
namespace {

struct Key {
    std::string password;
    std::string keyFile;
};

// Runs the steps of the combine job: name from the executable, then combine into `into`.
struct Job {
    SplitArchive archive;
    StatusLog log;
    std::string name;
    int result = 0;

    Job(const std::string& exe, const std::string& into, const Key& key = {}, uint32_t bufferSize = 48) {
        archive.setBufferSize(bufferSize);
        archive.initialize();
        log.attach(archive);
        archive.setArchiveOffset(locateChunk(exe, "ZRKD"));
        if (!key.password.empty()) {
            archive.setDecrypt(1);
            archive.setPassword(key.password);
        }
        if (!key.keyFile.empty()) {
            archive.setDecrypt(1);
            archive.setUseKeyFile(1);
            archive.setKeyFilePath(key.keyFile);
        }
        archive.setOwnPath(exe);
        name = archive.readArchiveInfo(exe);
        archive.setTargetPath(joinPath(into, name));
        result = archive.combine();
    }
};

struct RoundTripCase {
    const char* label;
    std::string name;
    size_t size;
    uint32_t volumeCount;
    uint64_t volumeSize;
    bool password;
    int keyFile;  // 0 none, 1 some bytes, 2 empty file
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, CombineRebuildsTheInputWithItsTime) {
    const auto& c = GetParam();
    ScratchFolder source, out, target;
    const auto bytes = patternBytes(c.size, 7);
    auto options = writerOptions(source, out, c.name, bytes);
    options.volumeCount = c.volumeCount;
    options.volumeSize = c.volumeSize;
    options.lastWriteTime = 0x01C6A4A9C29C7C40ull;
    options.attributes = 0x20;
    Key key;
    if (c.password) options.password = key.password = "pass\xE3\x81\x82word";
    if (c.keyFile) {
        source.write("key.bin", c.keyFile == 1 ? patternBytes(70000, 3) : std::vector<unsigned char>{});
        options.keyFilePath = key.keyFile = source.path("key.bin");
    }
    ArchiveWriter writer(options);
    ASSERT_EQ(writer.write(), 1) << writer.error();

    uint32_t encrypted = 9;
    SplitArchive probe;
    probe.setTargetPath(writer.executablePath());
    probe.setArchiveOffset(locateChunk(writer.executablePath(), "ZRKD"));
    ASSERT_EQ(probe.isEncrypted(encrypted), 1);
    EXPECT_EQ(encrypted, (c.password || c.keyFile) ? 1u : 0u);

    Job job(writer.executablePath(), target.path(), key);
    EXPECT_TRUE(job.log.reports.empty()) << std::hex << job.log.reports.front().first;
    ASSERT_EQ(job.name, c.name);
    ASSERT_EQ(job.result, 1);
    EXPECT_EQ(target.read(c.name), bytes);
    EXPECT_FALSE(std::filesystem::exists(target.host(c.name + SplitArchive::kPartSuffix)));
    std::vector<FileEntry> entries;
    listFiles(target.path(), "*", entries);
    ASSERT_EQ(entries.size(), 1u);
    // POSIX keeps whole microseconds at least; the stored time has 10 ms resolution.
    EXPECT_EQ(entries[0].lastWriteTime, 0x01C6A4A9C29C7C40ull);
}

INSTANTIATE_TEST_SUITE_P(
    Archives, RoundTrip,
    ::testing::Values(RoundTripCase{"plain_multiple", "data.bin", 64 * 6, 3, 0, false, 0},
                      RoundTripCase{"plain_ragged", "data.bin", 1000, 0, 300, false, 0},
                      RoundTripCase{"password", "data.bin", 1000, 4, 0, true, 0},
                      RoundTripCase{"key_file", "data.bin", 777, 2, 0, false, 1},
                      RoundTripCase{"empty_key_file", "data.bin", 777, 2, 0, false, 2},
                      RoundTripCase{"japanese", "\xE5\x8B\x95\xE7\x94\xBB.avi", 500, 2, 0, true, 0},
                      RoundTripCase{"astral", "\xF0\x9F\x98\x80\xF0\xA0\x80\x8B.txt", 500, 2, 0, false, 0},
                      RoundTripCase{"no_volumes", "empty.bin", 0, 0, 100, false, 0},
                      RoundTripCase{"empty_volumes", "tiny.bin", 1, 3, 0, true, 0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ArchiveInfo, KeyProblemsAreReportedOnceAndGiveNoName) {
    ScratchFolder source, out;
    auto options = writerOptions(source, out, "data.bin", patternBytes(200, 1));
    options.volumeCount = 2;
    options.password = "right";
    ArchiveWriter writer(options);
    ASSERT_EQ(writer.write(), 1) << writer.error();
    const std::string exe = writer.executablePath();
    const uint64_t offset = locateChunk(exe, "ZRKD");

    {  // no key at all
        SplitArchive a;
        StatusLog log;
        log.attach(a);
        a.setArchiveOffset(offset);
        EXPECT_EQ(a.readArchiveInfo(exe), "");
        ASSERT_EQ(log.reports.size(), 1u);
        EXPECT_EQ(log.reports[0], std::make_pair(ARCNOTE_ENCRYPTED, exe));
        ArchiveHeader h;
        DateRecord d;
        EXPECT_EQ(a.readArchiveHeader(h, d, exe), 0);
        EXPECT_EQ(a.readVolumeHeader(h, writer.volumePaths()[0]), 0);
        EXPECT_EQ(log.reports.size(), 1u);
    }
    {  // wrong password
        SplitArchive a;
        StatusLog log;
        log.attach(a);
        a.setArchiveOffset(offset);
        a.setDecrypt(1);
        a.setPassword("wrong");
        EXPECT_EQ(a.readArchiveInfo(exe), "");
        ASSERT_EQ(log.reports.size(), 1u);
        EXPECT_EQ(log.reports[0], std::make_pair(ARCERR_KEY, exe));
        ArchiveHeader h;
        EXPECT_EQ(a.readVolumeHeader(h, writer.volumePaths()[1]), 0);
        EXPECT_EQ(log.reports.size(), 1u);
    }
    {  // unreadable key file: reported by readArchiveInfo and again by combine
        ScratchFolder target;
        Job job(exe, target.path(), Key{"", source.path("missing.key")});
        EXPECT_EQ(job.result, 0);
        EXPECT_EQ(job.log.count(ARCERR_OPEN), 2u);
        EXPECT_EQ(job.log.reports.size(), 2u);
    }
}

TEST(ArchiveInfo, UnencryptedArchiveReadsTheSameWithAPasswordAndClearsDecrypt) {
    ScratchFolder source, out;
    auto options = writerOptions(source, out, "data.bin", patternBytes(10, 1));
    options.volumeCount = 1;
    ArchiveWriter writer(options);
    ASSERT_EQ(writer.write(), 1);
    SplitArchive a;
    a.setArchiveOffset(locateChunk(writer.executablePath(), "ZRKD"));
    a.setDecrypt(1);
    a.setPassword("anything");
    EXPECT_EQ(a.readArchiveInfo(writer.executablePath()), "data.bin");
    EXPECT_EQ(a.decrypt(), 0u);
}

TEST(ArchiveInfo, OpenAndChunkFailuresFollowTheTable) {
    ScratchFolder folder;
    folder.write("junk.exe", patternBytes(500, 2));
    const std::string junk = folder.path("junk.exe"), missing = folder.path("none.exe");
    SplitArchive a;
    StatusLog log;
    log.attach(a);
    ArchiveHeader h;
    DateRecord d;
    EXPECT_EQ(a.readArchiveInfo(missing), "");
    EXPECT_EQ(a.readVolumeHeader(h, missing), 0);
    EXPECT_EQ(a.readArchiveHeader(h, d, missing), 0);
    a.setTargetPath(missing);
    uint32_t flag = 0;
    EXPECT_EQ(a.isEncrypted(flag), 0);
    EXPECT_EQ(log.count(ARCERR_OPEN), 4u);
    log.reports.clear();
    // Not an archive: silent for the header readers, a read error for the others.
    EXPECT_EQ(a.readVolumeHeader(h, junk), 0);
    EXPECT_EQ(a.readArchiveHeader(h, d, junk), 0);
    EXPECT_TRUE(log.reports.empty());
    EXPECT_EQ(a.readArchiveInfo(junk), "");
    a.setTargetPath(junk);
    EXPECT_EQ(a.isEncrypted(flag), 0);
    ASSERT_EQ(log.reports.size(), 2u);
    EXPECT_EQ(log.reports[0], std::make_pair(ARCERR_READ, junk));
    EXPECT_EQ(log.reports[1], std::make_pair(ARCERR_READ, junk));
}

// An executable-like file whose "ZRKD" holds an "INFO" of the caller's making.
void writeRawArchive(const std::string& path, const std::vector<unsigned char>& info, uint32_t flags = 0) {
    FileStream file;
    ASSERT_EQ(file.open(path, CreateWrite), 1);
    std::vector<unsigned char> record = info;
    if (record.size() >= 4) record[0] = (unsigned char)flags;
    ChunkStream root;
    root.attach(file, 0, 0);
    ASSERT_EQ(root.addChild("ZRKD"), 1);
    ChunkStream& c = root.findChild("ZRKD");
    ASSERT_EQ(c.addChild("INFO"), 1);
    ChunkStream& leaf = c.findChild("INFO");
    ASSERT_EQ(file.seek(leaf.dataPosition()), 1);
    ASSERT_EQ(leaf.writeData(record.data(), record.size()), 1);
    ASSERT_EQ(leaf.finishData() && leaf.writeHeader() && c.updateFromChildren() && c.writeHeader(), true);
    file.close();
}

std::vector<unsigned char> infoWithName(const std::string& name) {
    std::vector<unsigned char> info(96, 0);
    for (int i = 0; i < 4; ++i) info.push_back((unsigned char)(name.size() >> (8 * i)));
    info.insert(info.end(), name.begin(), name.end());
    return info;
}

// The reader applies the stored-name rule (stored_name_test.cpp has its cases): one
// name of each kind it refuses.
TEST(ArchiveInfo, StoredNamesThatLeaveTheFolderOrNameADeviceAreRefused) {
    ScratchFolder folder;
    const std::string exe = folder.path("a.exe");
    for (const std::string& bad : std::vector<std::string>{
             "", ".", "..", "..\\evil.txt", "sub/x", "C:x", "a\x01" "b", "CON", "nul.txt", "com7.tar.gz",
             "LPT1", "AUX ", "com0", "a.", "why?", "a\xE2\x80\xAEtxt.exe", std::string(256, 'x'),
             "\xC0\xAE\xC0\xAE", "REPORT~1.TXT"}) {
        writeRawArchive(exe, infoWithName(bad));
        SplitArchive a;
        StatusLog log;
        log.attach(a);
        EXPECT_EQ(a.readArchiveInfo(exe), "") << bad;
        ASSERT_EQ(log.reports.size(), 1u) << bad;
        // The detail names the rule (the wizard shows the text alone, zrk the rule too).
        EXPECT_EQ(log.reports[0], std::make_pair(ARCERR_ABNORMAL, storedNameProblem(bad))) << bad;
    }
    for (const std::string good : {"a..b", "CONSOLE.txt", "lpt10", ".hidden", "\xE6\x97\xA5\xE6\x9C\xAC"}) {
        writeRawArchive(exe, infoWithName(good));
        SplitArchive a;
        EXPECT_EQ(a.readArchiveInfo(exe), good);
    }
}

TEST(ArchiveInfo, ShortAndGiantInfoRecordsAreReadFailures) {
    ScratchFolder folder;
    const std::string exe = folder.path("a.exe");
    for (size_t size : {size_t(0), size_t(95), size_t(99), size_t((1u << 20) + 1)}) {
        writeRawArchive(exe, std::vector<unsigned char>(size, 0));
        SplitArchive a;
        StatusLog log;
        log.attach(a);
        EXPECT_EQ(a.readArchiveInfo(exe), "") << size;
        ASSERT_EQ(log.reports.size(), 1u) << size;
        EXPECT_EQ(log.reports[0], std::make_pair(ARCERR_READ, exe)) << size;
        ArchiveHeader h;
        EXPECT_EQ(a.readVolumeHeader(h, exe), size >= 96 ? 1 : 0) << size;
    }
    // A name length reaching past the record gives no name.
    auto info = infoWithName("abc");
    info[96] = 200;
    writeRawArchive(exe, info);
    SplitArchive a;
    EXPECT_EQ(a.readArchiveInfo(exe), "");
}

TEST(ArchiveInfo, FlagsThreeWithoutAKeyPassesTheGateAndFailsTheCheck) {
    ScratchFolder folder;
    const std::string exe = folder.path("a.exe");
    auto info = infoWithName("x.bin");
    info[12] = 0x55;  // a check word that decrypts to something nonzero
    writeRawArchive(exe, info, 3);
    SplitArchive a;
    StatusLog log;
    log.attach(a);
    EXPECT_EQ(a.readArchiveInfo(exe), "");
    ASSERT_EQ(log.reports.size(), 1u);
    EXPECT_EQ(log.reports[0].first, ARCERR_KEY);
}

} // namespace
} // namespace zrk::testing
