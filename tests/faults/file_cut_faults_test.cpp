// Volumes and executables cut at every length: the combine fails with a read,
// CRC or missing-volume report, or succeeds with the right bytes where only padding
// or an empty record went. The old target survives.
#include <gtest/gtest.h>

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

} // namespace
} // namespace zrk::testing
