// What the writer stores: chunk CRCs, the date record, the executable's own header
// and settings, and the reading side's header reads and progress on its output.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "archive/archive_writer.h"
#include "archive/split_archive.h"
#include "archive_test_support.h"
#include "chunk/chunk_stream.h"
#include "chunk/locate_chunk.h"
#include "crypto/crc32.h"
#include "startup/settings_container.h"
#include "stream/file_stream.h"
#include "stream/paths.h"

namespace zrk::testing {
namespace {

namespace fs = std::filesystem;

// Checks every leaf's dataCrc and the container's against the stored bytes.
void expectCrcsHold(const std::string& path, uint64_t offset) {
    FileStream file;
    ASSERT_EQ(file.open(path, ReadExisting), 1);
    const uint64_t size = file.size();
    std::vector<unsigned char> bytes(size);
    ASSERT_EQ(file.read(bytes.data(), uint32_t(size)), int32_t(size));
    ChunkStream root;
    root.attach(file, offset, size - offset);
    Crc32 crc;
    ChunkStream& container = root.findChild("ZRKD");
    for (const char* tag : {"INFO", "DFDT", "DATA"}) {
        ChunkStream& leaf = container.findChild(tag);
        ASSERT_LE(leaf.dataPosition() + leaf.dataSize(), size) << tag;
        EXPECT_EQ(leaf.dataCrc(), crc.compute(bytes.data() + leaf.dataPosition(), uint32_t(leaf.dataSize())))
            << path << " " << tag;
    }
    ASSERT_LE(container.dataPosition() + container.dataSize(), size);
    EXPECT_EQ(container.dataCrc(),
              crc.compute(bytes.data() + container.dataPosition(), uint32_t(container.dataSize())))
        << path;
}

TEST(ArchiveWriter, EveryMemberCarriesValidCrcsAndTheWholeFileCrc) {
    for (const std::string password : {"", "pw"}) {
        ScratchFolder source, out;
        const auto bytes = patternBytes(5000, 21);
        auto options = writerOptions(source, out, "data.bin", bytes);
        options.volumeSize = 2048;
        options.password = password;
        options.attributes = 0x21;
        options.lastWriteTime = 0x01D5000000000001ull;
        ArchiveWriter writer(options);
        ASSERT_EQ(writer.write(), 1) << writer.error();
        ASSERT_EQ(writer.volumePaths().size(), 3u);
        const std::string exe = writer.executablePath();
        const uint64_t offset = locateChunk(exe, "ZRKD");
        ASSERT_NE(offset, kChunkNotFound);
        EXPECT_GE(offset, 300u);  // behind the stub and "ZRKS"
        expectCrcsHold(exe, offset);

        SplitArchive a;
        a.setArchiveOffset(offset);
        a.setDecrypt(!password.empty());
        a.setPassword(password);
        ArchiveHeader header;
        DateRecord date;
        ASSERT_EQ(a.readArchiveHeader(header, date, exe), 1);
        EXPECT_EQ(header.volumeIndex(), 3u);
        EXPECT_EQ(header.volumeCount(), 3u);
        EXPECT_EQ(header.volumeDataSize(), 0u);
        EXPECT_EQ(header.fileSize(), 5000u);
        EXPECT_EQ(date.fileCrc(), Crc32().compute(bytes.data(), uint32_t(bytes.size())));
        EXPECT_EQ(date.attributes(), 0x21u);
        EXPECT_EQ(date.lastWriteTime(), 0x01D5000000000001ull);

        // The volumes: own index and piece size, and the same date record.
        a.setArchiveOffset(0);
        for (uint32_t v = 0; v < 3; ++v) {
            const std::string& path = writer.volumePaths()[v];
            expectCrcsHold(path, 0);
            ArchiveHeader vh;
            DateRecord vd;
            ASSERT_EQ(a.readArchiveHeader(vh, vd, path), 1);
            EXPECT_EQ(vh.volumeIndex(), v);
            EXPECT_EQ(vh.volumeDataSize(), v < 2 ? 2048u : 904u);
            EXPECT_TRUE(vh.sameArchive(header));
            EXPECT_EQ(vd.bytes, date.bytes);
        }

        PayloadSettings settings;
        MessageTable table;
        ASSERT_EQ(loadSettingsFromFile(exe, settings, table), 1);
        EXPECT_EQ(settings, PayloadSettings::builtin());
        EXPECT_EQ(table[20], MessageTable::builtin()[20]);
    }
}

TEST(ArchiveWriter, TakesTheInputsTimeAndMakesAFreshIdentityEachTime) {
    ScratchFolder source, out1, out2, target;
    const auto bytes = patternBytes(100, 2);
    auto options = writerOptions(source, out1, "in.dat", bytes);
    options.volumeCount = 1;
    {
        FileStream input;
        ASSERT_EQ(input.open(options.inputPath, WriteExisting), 1);
        ASSERT_EQ(input.setLastWriteTime(0x01C0000000000000ull), 1);
    }
    ArchiveWriter first(options);
    ASSERT_EQ(first.write(), 1) << first.error();
    options.outputFolder = out2.path();
    ArchiveWriter second(options);
    ASSERT_EQ(second.write(), 1) << second.error();

    SplitArchive a;
    ArchiveHeader h1, h2;
    DateRecord d1, d2;
    a.setArchiveOffset(locateChunk(first.executablePath(), "ZRKD"));
    ASSERT_EQ(a.readArchiveHeader(h1, d1, first.executablePath()), 1);
    a.setArchiveOffset(locateChunk(second.executablePath(), "ZRKD"));
    ASSERT_EQ(a.readArchiveHeader(h2, d2, second.executablePath()), 1);
    EXPECT_EQ(d1.lastWriteTime(), 0x01C0000000000000ull);
    EXPECT_FALSE(h1.sameArchive(h2));
}

TEST(ArchiveWriter, RefusesWhatItCannotWrite) {
    ScratchFolder source, out;
    // A device name is refused before the input is opened (Windows could not make it).
    auto options = writerOptions(source, out, "fine.txt", patternBytes(10, 1));
    options.volumeCount = 1;
    options.inputPath = source.path("CON.txt");
    ArchiveWriter device(options);
    EXPECT_EQ(device.write(), 0);
    EXPECT_EQ(device.error(), "the input's name cannot be stored: CON.txt: it names a Windows device (CON)");
    EXPECT_TRUE(fs::is_empty(out.host("")));
    options = writerOptions(source, out, "fine.txt", patternBytes(10, 1));
    options.volumeCount = 1;
    options.stubPath = source.path("no-stub");
    ArchiveWriter noStub(options);
    EXPECT_EQ(noStub.write(), 0);
    EXPECT_FALSE(noStub.error().empty());
    options = writerOptions(source, out, "fine.txt", patternBytes(10, 1));
    EXPECT_EQ(ArchiveWriter(options).write(), 0);  // neither a size nor a count
}

// An encrypted split writes a volume per core; its progress stays one rising count on
// the caller's thread, and an exception from it leaves no file behind.
TEST(ArchiveWriter, AnEncryptedSplitReportsOneRisingCountAndAnExceptionFromItLeavesNothing) {
    struct Interrupted {};
    ScratchFolder source, out;
    const auto bytes = patternBytes(3000, 4);
    auto options = writerOptions(source, out, "data.bin", bytes);
    options.volumeCount = 7;
    options.password = "pw";
    options.bufferSize = 9;
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<uint64_t> done;
    bool elsewhere = false;
    options.progress = [&](uint64_t d, uint64_t) {
        elsewhere |= std::this_thread::get_id() != caller;
        done.push_back(d);
    };
    ArchiveWriter writer(options);
    ASSERT_EQ(writer.write(), 1) << writer.error();
    EXPECT_FALSE(elsewhere);
    for (size_t i = 1; i < done.size(); ++i) EXPECT_GT(done[i], done[i - 1]) << i;
    EXPECT_EQ(done.back(), bytes.size());
    for (const auto& entry : fs::directory_iterator(out.host(""))) fs::remove(entry.path());

    options.progress = [&](uint64_t d, uint64_t) {
        if (d > 1000) throw Interrupted();
    };
    ArchiveWriter interrupted(options);
    EXPECT_THROW(interrupted.write(), Interrupted);
    EXPECT_TRUE(fs::is_empty(out.host("")));
}

// Counts header reads and can exchange two volumes' contents between the passes.
class WatchedArchive : public SplitArchive {
public:
    int readVolumeHeader(ArchiveHeader& header, const std::string& path) override {
        if (++reads == swapAtRead && swap) swap();
        return SplitArchive::readVolumeHeader(header, path);
    }
    int reads = 0;
    int swapAtRead = 0;
    std::function<void()> swap;
};

TEST(Combine, HeaderReadsGrowLinearlyAndAChangedVolumeIsSearchedAgain) {
    ScratchFolder source, out, target;
    const auto bytes = patternBytes(900, 8);
    auto options = writerOptions(source, out, "data.bin", bytes);
    options.volumeCount = 3;
    ArchiveWriter writer(options);
    ASSERT_EQ(writer.write(), 1);
    out.write("junk1.zrd", patternBytes(64, 1));
    out.write("junk2.zrd", patternBytes(64, 2));

    auto run = [&](WatchedArchive& a, std::vector<std::pair<uint64_t, uint64_t>>* progress) {
        a.setBufferSize(128);
        a.initialize();
        a.setArchiveOffset(locateChunk(writer.executablePath(), "ZRKD"));
        a.setOwnPath(writer.executablePath());
        a.setTargetPath(target.path("data.bin"));
        if (progress)
            a.setProgressCallback([progress](uint64_t d, uint64_t t, SplitArchive&) {
                progress->emplace_back(d, t);
                return 1;
            });
        return a.combine();
    };
    {
        WatchedArchive a;
        std::vector<std::pair<uint64_t, uint64_t>> progress;
        EXPECT_EQ(run(a, &progress), 1);
        EXPECT_EQ(a.reads, 5 + 3);  // each candidate once, then each chosen volume once
        ASSERT_EQ(progress.size(), 1u + 9u);  // (0, 1), then one per 128-byte block
        EXPECT_EQ(progress.front(), std::make_pair(uint64_t(0), uint64_t(1)));
        EXPECT_EQ(progress.back(), std::make_pair(uint64_t(900), uint64_t(900)));
        EXPECT_EQ(progress[3], std::make_pair(uint64_t(300), uint64_t(900)));
    }
    {
        // Volumes 1 and 2 change places after the presence pass.
        WatchedArchive a;
        a.swapAtRead = 6;
        a.swap = [&] {
            fs::rename(out.host("archive.001.zrd"), out.host("tmp"));
            fs::rename(out.host("archive.002.zrd"), out.host("archive.001.zrd"));
            fs::rename(out.host("tmp"), out.host("archive.002.zrd"));
        };
        EXPECT_EQ(run(a, nullptr), 1);
        EXPECT_EQ(target.read("data.bin"), bytes);
        EXPECT_GT(a.reads, 8);
    }
    {
        // A volume removed after the presence pass: named once, then reported missing;
        // the old target stays, the partial output is removed.
        target.write("data.bin", {'o', 'l', 'd'});
        WatchedArchive a;
        StatusLog log;
        log.attach(a);
        a.swapAtRead = 7;
        // After the exchange above, archive.001.zrd holds index 1, read seventh.
        a.swap = [&] { fs::remove(out.host("archive.001.zrd")); };
        EXPECT_EQ(run(a, nullptr), 0);
        ASSERT_EQ(log.reports.size(), 2u);
        EXPECT_EQ(log.reports[0], std::make_pair(ARCERR_OPEN, out.path("archive.001.zrd")));
        EXPECT_EQ(log.reports[1], std::make_pair(ARCERR_NOT_FOUND, target.path("data.bin") + " 2/3"));
        EXPECT_EQ(target.read("data.bin"), (std::vector<unsigned char>{'o', 'l', 'd'}));
        EXPECT_FALSE(fs::exists(target.host(std::string("data.bin") + SplitArchive::kPartSuffix)));
    }
}

} // namespace
} // namespace zrk::testing
