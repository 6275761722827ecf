// Faults reaching the files the combine and the writer open themselves: volumes and
// executables cut at every length, a file-size limit at every length (a write cut
// short, then refused), and paths the output cannot take. The old target survives.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "archive/archive_status.h"
#include "archive/archive_writer.h"
#include "archive/split_archive.h"
#include "archive_test_support.h"
#include "chunk/locate_chunk.h"

namespace zrk::testing {
namespace {

namespace fs = std::filesystem;

const std::vector<unsigned char> kOldTarget = {'o', 'l', 'd', '\n'};

// Writes beyond `limit` bytes fail with EFBIG (not SIGXFSZ) while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

// The fixed plain archive copied into a scratch folder, with an old target beside it.
struct FixedSet {
    ScratchFolder folder;
    std::vector<std::string> names = {"archive.exe", "archive.001.zrd", "archive.002.zrd", "archive.003.zrd"};

    FixedSet() {
        for (const auto& name : names)
            fs::copy_file(fs::path(ZRK_VECTORS_DIR) / "archive" / "plain" / name, folder.host(name));
        folder.write("sample.bin", kOldTarget);
    }
    std::vector<unsigned char> original() const {
        std::ifstream in(fs::path(ZRK_VECTORS_DIR) / "archive" / "sample.bin", std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
    }
    int combine(StatusLog& log) const {
        SplitArchive archive;
        archive.setBufferSize(100);
        archive.initialize();
        log.attach(archive);
        archive.setArchiveOffset(locateChunk(folder.path("archive.exe"), "ZRKD"));
        archive.setOwnPath(folder.path("archive.exe"));
        archive.setTargetPath(folder.path("sample.bin"));
        return archive.combine();
    }
};

std::set<uint32_t> codes(const StatusLog& log) {
    std::set<uint32_t> s;
    for (const auto& r : log.reports) s.insert(r.first);
    return s;
}

TEST(CombineFileFaults, AFileCutAtAnyLengthFailsAndKeepsTheOldTarget) {
    FixedSet set;
    {
        StatusLog log;
        ASSERT_EQ(set.combine(log), 1);
        ASSERT_EQ(set.folder.read("sample.bin"), set.original());
    }
    const std::set<uint32_t> expected = {ARCERR_NOT_FOUND, ARCERR_READ, ARCERR_CRC};
    const auto original = set.original();
    size_t succeeded = 0, cuts = 0;
    for (const auto& name : set.names) {
        const auto whole = set.folder.read(name);
        // Every length through the headers and the records and at the end; through
        // the data, where every cut is alike, every eleventh.
        auto next = [&](size_t length) { return length < 200 || length + 48 >= whole.size() ? length + 1 : length + 11; };
        for (size_t length = 0; length < whole.size(); length = next(length), ++cuts) {
            set.folder.write("sample.bin", kOldTarget);
            set.folder.write(name, std::vector<unsigned char>(whole.begin(), whole.begin() + long(length)));
            StatusLog log;
            if (set.combine(log)) {
                // Only what holds no data may go: a volume's padding, the executable's
                // date record or its empty data leaf.
                EXPECT_EQ(set.folder.read("sample.bin"), original) << name << " cut at " << length;
                ++succeeded;
                continue;
            }
            EXPECT_EQ(set.folder.read("sample.bin"), kOldTarget) << name << " cut at " << length;
            const auto seen = codes(log);
            // A cut executable may not be an archive at all, which fails without a report.
            if (name != "archive.exe") {
                EXPECT_FALSE(seen.empty()) << name << " cut at " << length;
            }
            for (uint32_t code : seen) EXPECT_TRUE(expected.count(code)) << std::hex << code << " " << name;
        }
        set.folder.write(name, whole);
    }
    EXPECT_LT(succeeded, cuts / 20);
}

TEST(CombineFileFaults, AWriteLimitAtAnyLengthIsAWriteErrorAndKeepsTheOldTarget) {
    FixedSet set;
    const size_t size = set.original().size();
    for (size_t limit = 0; limit < size; limit += 7) {
        set.folder.write("sample.bin", kOldTarget);
        StatusLog log;
        int ok;
        {
            FileSizeLimit cap(limit);
            ok = set.combine(log);
        }
        EXPECT_EQ(ok, 0) << "limit " << limit;
        EXPECT_EQ(log.count(ARCERR_WRITE), 1u) << "limit " << limit;
        EXPECT_EQ(log.reports.size(), 1u) << "limit " << limit;
        EXPECT_EQ(set.folder.read("sample.bin"), kOldTarget) << "limit " << limit;
    }
    StatusLog log;
    FileSizeLimit cap(size);
    EXPECT_EQ(set.combine(log), 1);
    EXPECT_EQ(set.folder.read("sample.bin"), set.original());
}

TEST(CombineFileFaults, AnOutputThatCannotBeCreatedOrMovedKeepsTheOldTarget) {
    FixedSet set;
    {
        // The growing file's name is taken by a folder.
        fs::create_directory(set.folder.host(std::string("sample.bin") + SplitArchive::kPartSuffix));
        StatusLog log;
        EXPECT_EQ(set.combine(log), 0);
        EXPECT_EQ(log.count(ARCERR_CREATE), 1u);
        EXPECT_EQ(set.folder.read("sample.bin"), kOldTarget);
        fs::remove(set.folder.host(std::string("sample.bin") + SplitArchive::kPartSuffix));
    }
    {
        // The target is a folder with something in it: the finished file cannot replace it.
        fs::remove(set.folder.host("sample.bin"));
        fs::create_directory(set.folder.host("sample.bin"));
        set.folder.write("sample.bin/keep", kOldTarget);
        StatusLog log;
        EXPECT_EQ(set.combine(log), 0);
        EXPECT_EQ(log.count(ARCERR_WRITE), 1u);
        EXPECT_EQ(set.folder.read("sample.bin/keep"), kOldTarget);
    }
}

TEST(CombineFileFaults, AFullDeviceUnderThePartNameIsAWriteError) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    FixedSet set;
    fs::create_symlink("/dev/full", set.folder.host(std::string("sample.bin") + SplitArchive::kPartSuffix));
    StatusLog log;
    EXPECT_EQ(set.combine(log), 0);
    EXPECT_EQ(log.count(ARCERR_WRITE), 1u);
    EXPECT_EQ(set.folder.read("sample.bin"), kOldTarget);
}

// The writer under a file-size limit at every length: it must say it failed
// whenever any of its files could not be written whole, and what it calls a
// success must combine back to the input.
TEST(WriterFileFaults, AWriteLimitAtAnyLengthIsReportedAndSuccessMeansComplete) {
    ScratchFolder source;
    const auto input = patternBytes(700, 5);
    uint64_t largest = 0;
    {
        ScratchFolder out;
        auto options = writerOptions(source, out, "data.bin", input);
        options.volumeSize = 300;
        ArchiveWriter writer(options);
        ASSERT_EQ(writer.write(), 1) << writer.error();
        for (const auto& entry : fs::directory_iterator(out.host("")))
            largest = std::max<uint64_t>(largest, fs::file_size(entry.path()));
    }
    ASSERT_GT(largest, 700u / 3);
    for (uint64_t limit = 0; limit <= largest; limit += 5) {
        ScratchFolder out;
        auto options = writerOptions(source, out, "data.bin", input);
        options.volumeSize = 300;
        ArchiveWriter writer(options);
        int ok;
        {
            FileSizeLimit cap(limit);
            ok = writer.write();
        }
        if (limit < largest) {
            EXPECT_EQ(ok, 0) << "limit " << limit;
            EXPECT_FALSE(writer.error().empty()) << "limit " << limit;
            continue;
        }
        ASSERT_EQ(ok, 1) << writer.error();
        ScratchFolder target;
        SplitArchive archive;
        archive.setOwnPath(writer.executablePath());
        archive.setArchiveOffset(locateChunk(writer.executablePath(), "ZRKD"));
        archive.setTargetPath(target.path("data.bin"));
        EXPECT_EQ(archive.combine(), 1);
        EXPECT_EQ(target.read("data.bin"), input);
    }
}

TEST(WriterFileFaults, AFullDeviceUnderAnyOutputNameIsReported) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    ScratchFolder source;
    const auto input = patternBytes(700, 6);
    for (const std::string name : {"archive.001.zrd", "archive.003.zrd", "archive.exe"}) {
        ScratchFolder out;
        fs::create_symlink("/dev/full", out.host(name));
        auto options = writerOptions(source, out, "data.bin", input);
        options.volumeSize = 300;
        ArchiveWriter writer(options);
        EXPECT_EQ(writer.write(), 0) << name;
        EXPECT_FALSE(writer.error().empty()) << name;
    }
}

} // namespace
} // namespace zrk::testing
