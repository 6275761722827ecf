// The combine: finding volumes by content, its failure rows, and the safeguards
// against damaged volumes and lost target files.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <thread>

#include "archive/archive_writer.h"
#include "archive/split_archive.h"
#include "archive/stored_name.h"
#include "archive_test_support.h"
#include "chunk/chunk_stream.h"
#include "chunk/locate_chunk.h"
#include "error/tql_exception.h"
#include "stream/file_stream.h"
#include "stream/paths.h"

namespace zrk::testing {
namespace {

namespace fs = std::filesystem;

std::set<std::string> namesIn(const ScratchFolder& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.host(""))) names.insert(entry.path().filename().string());
    return names;
}

struct Fixture {
    ScratchFolder source, out, target;
    std::vector<unsigned char> bytes;
    std::string exe;
    std::vector<std::string> volumes;
    std::optional<VolumeFailure> failed;  // of the last combine
    uint32_t bufferSize = 40;
    SplitArchive::ProgressCallback progress;

    // `idSeed` other than 0 fixes the archive's identity, so that two archives share it.
    explicit Fixture(uint32_t count = 3, const std::string& password = "", uint32_t dataSeed = 11,
                     unsigned char idSeed = 0)
        : bytes(patternBytes(1000, dataSeed)) {
        auto options = writerOptions(source, out, "data.bin", bytes);
        options.volumeCount = count;
        if (idSeed != 0) {
            std::array<unsigned char, ArchiveHeader::kIdSize> id;
            id.fill(idSeed);
            options.archiveId = id;
        }
        options.password = password;
        options.lastWriteTime = 0x01D0000000000000ull;
        ArchiveWriter writer(options);
        EXPECT_EQ(writer.write(), 1) << writer.error();
        exe = writer.executablePath();
        volumes = writer.volumePaths();
    }
    std::string volumeHost(size_t i) const { return out.host("archive." + std::string(i < 9 ? "00" : "0") + std::to_string(i + 1) + ".zrd").string(); }
    int combine(StatusLog& log, const std::string& password = "") {
        SplitArchive a;
        a.setBufferSize(bufferSize);
        a.initialize();
        log.attach(a);
        if (progress) a.setProgressCallback(progress);
        a.setArchiveOffset(locateChunk(exe, "ZRKD"));
        if (!password.empty()) {
            a.setDecrypt(1);
            a.setPassword(password);
        }
        a.setOwnPath(exe);
        a.setTargetPath(target.path("data.bin"));
        const int result = a.combine();
        failed = a.failedVolume();
        return result;
    }
};

TEST(Combine, VolumesAreFoundByContentWhateverTheirNames) {
    Fixture f(4);
    fs::rename(f.volumeHost(0), f.out.host("zz.zrd"));
    fs::rename(f.volumeHost(2), f.out.host("A.ZRD"));
    fs::rename(f.volumeHost(3), f.out.host("m.zrd"));
    // A foreign archive's volume with a wanted index, and a non-candidate copy.
    Fixture other(4);
    fs::copy_file(other.volumeHost(1), f.out.host("foreign.zrd"));
    fs::copy_file(f.out.host("zz.zrd"), f.out.host("zz.zrx"));
    StatusLog log;
    EXPECT_EQ(f.combine(log), 1);
    EXPECT_TRUE(log.reports.empty());
    EXPECT_EQ(f.target.read("data.bin"), f.bytes);
}

TEST(Combine, OfTwoCopiesOfAVolumeTheFirstListedServes) {
    Fixture f(2);
    // A second copy of volume 1 whose data is damaged: which one was used shows in
    // whether the combine succeeds.
    auto copy = f.out.read("archive.002.zrd");
    copy[copy.size() - 20] ^= 0xFF;
    f.out.write("copy.zrd", copy);
    std::vector<FileEntry> entries;
    listFiles(f.out.path(), "*.zrd", entries);
    std::string firstOfTwo;
    for (const auto& e : entries)
        if (e.name == "copy.zrd" || e.name == "archive.002.zrd") {
            firstOfTwo = e.name;
            break;
        }
    StatusLog log;
    const int result = f.combine(log);
    if (firstOfTwo == "copy.zrd") {
        EXPECT_EQ(result, 0);
        ASSERT_EQ(log.count(ARCERR_CRC), 1u);
        EXPECT_EQ(log.reports[0].second, f.out.path("copy.zrd"));
    } else {
        EXPECT_EQ(result, 1);
        EXPECT_TRUE(log.reports.empty());
    }
}

TEST(Combine, AMissingVolumeIsNamedByNumberAndNothingIsCreated) {
    Fixture f(3);
    fs::remove(f.volumeHost(1));
    StatusLog log;
    EXPECT_EQ(f.combine(log), 0);
    ASSERT_EQ(log.reports.size(), 1u);
    EXPECT_EQ(log.reports[0], std::make_pair(ARCERR_NOT_FOUND, f.target.path("data.bin") + " 2/3"));
    ASSERT_TRUE(f.failed);
    EXPECT_EQ(f.failed->index, 1u);
    EXPECT_EQ(f.failed->path, "");
    EXPECT_TRUE(fs::is_empty(f.target.host("")));
}

TEST(Combine, AFlippedStoredByteFailsWithCrcAndKeepsTheOldTarget) {
    for (const std::string password : {"", "secret"}) {
        Fixture f(3, password);
        auto volume = f.out.read("archive.002.zrd");
        volume[volume.size() - 40] ^= 0x01;
        f.out.write("archive.002.zrd", volume);
        f.target.write("data.bin", {'o', 'l', 'd'});
        StatusLog log;
        EXPECT_EQ(f.combine(log, password), 0);
        ASSERT_EQ(log.reports.size(), 1u);
        EXPECT_EQ(log.reports[0], std::make_pair(ARCERR_CRC, f.out.path("archive.002.zrd")));
        ASSERT_TRUE(f.failed);
        EXPECT_EQ(f.failed->index, 1u);
        EXPECT_EQ(f.failed->path, f.out.path("archive.002.zrd"));
        EXPECT_EQ(f.target.read("data.bin"), (std::vector<unsigned char>{'o', 'l', 'd'}));
        EXPECT_FALSE(fs::exists(f.target.host(std::string("data.bin") + SplitArchive::kPartSuffix)));
    }
}

TEST(Combine, AnUnreadableCandidateIsReportedOncePerCombine) {
    Fixture f(3);
    // A volume-like file whose "INFO" is too short for a header: a read failure.
    auto broken = f.out.read("archive.001.zrd");
    f.out.write("broken.zrd", std::vector<unsigned char>(broken.begin(), broken.begin() + 70));
    StatusLog log;
    EXPECT_EQ(f.combine(log), 1);
    EXPECT_EQ(log.reports.size(), 1u);
    EXPECT_EQ(log.count(ARCERR_READ), 1u);
    EXPECT_EQ(f.target.read("data.bin"), f.bytes);
}

TEST(Combine, WrongOrMissingKeyFailsSilentlyInCombine) {
    Fixture f(2, "secret");
    StatusLog none, wrong;
    EXPECT_EQ(f.combine(none), 0);
    EXPECT_EQ(f.combine(wrong, "nope"), 0);
    EXPECT_TRUE(none.reports.empty());
    EXPECT_TRUE(wrong.reports.empty());
    EXPECT_TRUE(fs::is_empty(f.target.host("")));
}

TEST(Combine, UncreatableOutputIsReportedWithTheTargetPath) {
    Fixture f(2);
    SplitArchive a;
    StatusLog log;
    log.attach(a);
    a.setArchiveOffset(locateChunk(f.exe, "ZRKD"));
    a.setOwnPath(f.exe);
    const std::string target = f.target.path("no\\such\\folder\\data.bin");
    a.setTargetPath(target);
    EXPECT_EQ(a.combine(), 0);
    ASSERT_EQ(log.reports.size(), 1u);
    EXPECT_EQ(log.reports[0], std::make_pair(ARCERR_CREATE, target));
}

TEST(Combine, ATargetWithoutAPlainNameCreatesNothing) {
    Fixture f(2);
    for (const std::string name : {"", "..", "a:b"}) {
        SplitArchive a;
        StatusLog log;
        log.attach(a);
        ASSERT_EQ(a.open(f.exe, Key()), SplitArchive::OpenResult::Opened);
        a.setTargetPath(f.target.path("inner") + "\\" + name);
        EXPECT_EQ(a.combine(), 0) << name;
        EXPECT_EQ(log.reports, (std::vector<std::pair<uint32_t, std::string>>{{ARCERR_ABNORMAL, storedNameProblem(name)}}))
            << name;
        EXPECT_TRUE(fs::is_empty(f.target.host(""))) << name;
    }
}

// Rewrites word 0 of the executable's (plain) date record, as a writer that stores no
// whole-file CRC would leave it.
void storeFileCrc(const std::string& exe, uint32_t crc) {
    // Found first: once the file is open for writing, it is shared with no other opener.
    const uint64_t offset = locateChunk(exe, "ZRKD");
    FileStream file;
    ASSERT_EQ(file.open(exe, ReadWriteExisting), 1);
    ChunkStream root;
    root.attach(file, offset, file.size() - offset);
    ChunkStream& container = root.findChild("ZRKD");
    container.findChild("INFO");
    ChunkStream& date = container.findChild("DFDT");
    container.findChild("DATA");
    DateRecord record;
    ASSERT_TRUE(file.seek(date.dataPosition()));
    ASSERT_EQ(file.read(record.bytes.data(), DateRecord::kSize), int32_t(DateRecord::kSize));
    record.setFileCrc(crc);
    ASSERT_TRUE(file.seek(date.dataPosition()));
    ASSERT_TRUE(date.writeData(record.bytes.data(), DateRecord::kSize) && date.finishData() && date.writeHeader());
    ASSERT_TRUE(container.updateFromChildren() && container.writeHeader());
}

TEST(Combine, AForeignVolumeWithTheRightIdentityFailsTheWholeFileCheck) {
    for (const std::string password : {"", "secret"}) {
        // Two archives of one identity and size but other data: each volume is sound
        // by its own CRC, the mix is not the original.
        Fixture f(3, password, 11, 7), other(3, password, 12, 7);
        f.out.write("archive.002.zrd", other.out.read("archive.002.zrd"));
        f.target.write("data.bin", {'o', 'l', 'd'});
        StatusLog log;
        EXPECT_EQ(f.combine(log, password), 0);
        EXPECT_EQ(log.reports, (std::vector<std::pair<uint32_t, std::string>>{{ARCERR_CRC, f.target.path("data.bin")}}));
        EXPECT_FALSE(f.failed);
        EXPECT_EQ(f.target.read("data.bin"), (std::vector<unsigned char>{'o', 'l', 'd'}));
        EXPECT_EQ(namesIn(f.target), std::set<std::string>{"data.bin"});
        if (!password.empty()) continue;
        // Where no whole-file CRC is stored there is nothing to check against.
        storeFileCrc(f.exe, 0);
        StatusLog unchecked;
        EXPECT_EQ(f.combine(unchecked), 1);
        EXPECT_TRUE(unchecked.reports.empty());
    }
}

TEST(Combine, TheProgramsZoneMarkGoesOnTheRebuiltFileBeforeItTakesItsName) {
    // The system's files, with a mark on the executable, noting where marks go.
    struct MarkedFiles : FileSystem {
        std::string exe;
        std::vector<std::string> events;
        std::string zoneMark(const std::string& path) override {
            return path == exe ? "[ZoneTransfer]\r\nZoneId=3\r\n" : std::string();
        }
        int setZoneMark(const std::string& path, const std::string& mark) override {
            events.push_back("mark " + path + " " + mark);
            return 1;
        }
        int replaceFile(const std::string& from, const std::string& to) override {
            events.push_back("replace " + to);
            return FileSystem::replaceFile(from, to);
        }
    } files;
    Fixture f(2);
    files.exe = f.exe;
    SplitArchive a(files);
    ASSERT_EQ(a.open(f.exe, Key()), SplitArchive::OpenResult::Opened);
    const std::string target = f.target.path("data.bin");
    a.setTargetPath(target);
    ASSERT_EQ(a.combine(), 1);
    EXPECT_EQ(files.events, (std::vector<std::string>{"mark " + target + SplitArchive::kPartSuffix +
                                                          " [ZoneTransfer]\r\nZoneId=3\r\n",
                                                      "replace " + target}));
}

TEST(Combine, AMissingDataChunkOrShortVolumeIsAReadError) {
    Fixture f(2);
    // Cut the last volume inside its data: the header still reads, the copy comes up short.
    auto volume = f.out.read("archive.002.zrd");
    volume.resize(volume.size() - 200);
    f.out.write("archive.002.zrd", volume);
    StatusLog log;
    EXPECT_EQ(f.combine(log), 0);
    ASSERT_EQ(log.reports.size(), 1u);
    EXPECT_EQ(log.reports[0], std::make_pair(ARCERR_READ, std::string()));
    // The report names no file; the archive still knows which volume it was reading.
    ASSERT_TRUE(f.failed);
    EXPECT_EQ(f.failed->index, 1u);
    EXPECT_EQ(f.failed->path, f.out.path("archive.002.zrd"));
}

TEST(Combine, AVolumeCutBeforeItsDataChunkIsAReadError) {
    Fixture f(2);
    // INFO and DFDT stay whole; the container's DATA is gone.
    auto volume = f.out.read("archive.001.zrd");
    FileStream file;
    ASSERT_EQ(file.open(f.volumes[0], ReadExisting), 1);
    ChunkStream root;
    root.attach(file, 0, file.size());
    const uint64_t dataChunk = root.findChild("ZRKD").findChild("DATA").position();
    file.close();
    volume.resize(dataChunk);
    f.out.write("archive.001.zrd", volume);
    StatusLog log;
    EXPECT_EQ(f.combine(log), 0);
    ASSERT_EQ(log.reports.size(), 1u);
    EXPECT_EQ(log.reports[0], std::make_pair(ARCERR_READ, std::string()));
}

TEST(CopyData, ShortReadsAndShortWritesRaiseTheirErrors) {
    ScratchFolder folder;
    folder.write("in.bin", patternBytes(100, 5));
    SplitArchive a;
    a.setBufferSize(16);
    a.initialize();
    FileStream in, out;
    ASSERT_EQ(in.open(folder.path("in.bin"), ReadExisting), 1);
    ASSERT_EQ(out.open(folder.path("out.bin"), CreateWrite), 1);
    EXPECT_THROW(a.copyData(out, in, 101), TqlZRKAFileReadError);
    EXPECT_EQ(a.doneBytes(), 96u);
    if (fs::exists("/dev/full")) {
        ASSERT_EQ(in.seek(0), 1);
        FileStream full;
        ASSERT_EQ(full.open("\\dev\\full", WriteExisting), 1);
        EXPECT_THROW(a.copyData(full, in, 50), TqlZRKAFileWriteError);
    }
}

TEST(Combine, AFullDiskGivesAWriteError) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    for (const std::string password : {"", "secret"}) {
        Fixture f(2, password);
        fs::create_symlink("/dev/full", f.target.host(std::string("data.bin") + SplitArchive::kPartSuffix));
        StatusLog log;
        EXPECT_EQ(f.combine(log, password), 0);
        ASSERT_EQ(log.reports.size(), 1u);
        EXPECT_EQ(log.reports[0].first, ARCERR_WRITE);
        EXPECT_FALSE(f.failed);
    }
}

// An encrypted archive of several volumes is decrypted a volume per core; what the
// caller sees stays what one volume after another gives.
TEST(ParallelCombine, ManyVolumesOfManyBlocksComeBackWithOneRisingCountOnTheCallersThread) {
    Fixture f(9, "secret");
    f.bufferSize = 7;  // 112 bytes a volume, 104 the last: 16 blocks each, 15 the last
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<uint64_t> done;
    bool elsewhere = false;
    f.progress = [&](uint64_t d, uint64_t total, SplitArchive&) {
        elsewhere |= std::this_thread::get_id() != caller;
        if (!done.empty()) {
            EXPECT_EQ(total, f.bytes.size());
        }
        done.push_back(d);
        return 1;
    };
    StatusLog log;
    ASSERT_EQ(f.combine(log, "secret"), 1);
    EXPECT_TRUE(log.reports.empty());
    EXPECT_EQ(f.target.read("data.bin"), f.bytes);
    EXPECT_FALSE(elsewhere);
    ASSERT_EQ(done.size(), 1u + 8u * 16u + 15u);  // (0, 1) first, then one per block
    for (size_t i = 1; i < done.size(); ++i) EXPECT_GT(done[i], done[i - 1]) << i;
    EXPECT_EQ(done.back(), f.bytes.size());
}

TEST(ParallelCombine, AnExceptionFromTheProgressCallStopsEveryWorkerAndLeavesTheOldTarget) {
    struct Interrupted {};
    Fixture f(4, "secret");
    f.bufferSize = 5;
    f.target.write("data.bin", {'o', 'l', 'd'});
    int calls = 0;
    f.progress = [&](uint64_t, uint64_t, SplitArchive&) {
        if (++calls == 30) throw Interrupted();
        return 1;
    };
    StatusLog log;
    EXPECT_THROW(f.combine(log, "secret"), Interrupted);
    EXPECT_EQ(calls, 30);
    EXPECT_TRUE(log.reports.empty());
    EXPECT_EQ(namesIn(f.target), std::set<std::string>{"data.bin"});
    EXPECT_EQ(f.target.read("data.bin"), (std::vector<unsigned char>{'o', 'l', 'd'}));
}

TEST(ParallelCombine, TheFirstBadVolumeInOrderIsTheOneReported) {
    struct Case {
        std::set<size_t> flipped;  // volumes with a damaged data byte
        std::optional<size_t> cut;  // a volume cut short inside its data
        uint32_t code;
        uint32_t index;
    };
    const Case cases[] = {
        {{1, 3}, std::nullopt, ARCERR_CRC, 1},
        {{3}, 2, ARCERR_READ, 2},
        {{0}, 3, ARCERR_CRC, 0},
    };
    for (const Case& c : cases) {
        Fixture f(4, "secret");
        auto damage = [&](size_t i, auto change) {
            const std::string name = fs::path(f.volumeHost(i)).filename().string();
            auto volume = f.out.read(name);
            change(volume);
            f.out.write(name, volume);
        };
        for (size_t i : c.flipped) damage(i, [](auto& v) { v[v.size() - 10] ^= 0x10; });
        if (c.cut) damage(*c.cut, [](auto& v) { v.resize(v.size() - 100); });
        StatusLog log;
        EXPECT_EQ(f.combine(log, "secret"), 0);
        ASSERT_EQ(log.reports.size(), 1u);
        EXPECT_EQ(log.reports[0].first, c.code);
        ASSERT_TRUE(f.failed);
        EXPECT_EQ(f.failed->index, c.index);
        EXPECT_EQ(f.failed->path, f.volumes[c.index]);
        EXPECT_TRUE(fs::is_empty(f.target.host("")));
    }
}

} // namespace
} // namespace zrk::testing
