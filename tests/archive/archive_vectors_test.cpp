// Fixed archives committed under tests/vectors/archive: this reader must rebuild
// them, and this writer must still produce them byte for byte. Setting
// ZRK_WRITE_ARCHIVE_VECTORS to a folder writes fresh copies there instead.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "archive/archive_writer.h"
#include "archive/split_archive.h"
#include "archive_test_support.h"
#include "chunk/locate_chunk.h"
#include "stream/paths.h"

namespace zrk::testing {
namespace {

namespace fs = std::filesystem;

struct VectorSet {
    const char* folder;
    const char* password;
};

std::vector<unsigned char> readHostFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

ArchiveWriterOptions fixedOptions(const ScratchFolder& source, const ScratchFolder& out, const VectorSet& set) {
    // The original and the stub are the committed ones, so they need no generator.
    const fs::path vectors = fs::path(ZRK_VECTORS_DIR) / "archive";
    auto options = writerOptions(source, out, "sample.bin", readHostFile(vectors / "sample.bin"));
    source.write("stub.bin", readHostFile(vectors / "stub.bin"));
    options.volumeSize = 1024;
    options.password = set.password;
    std::array<unsigned char, ArchiveHeader::kIdSize> id{};
    for (size_t i = 0; i < id.size(); ++i) id[i] = static_cast<unsigned char>(i * 3 + 1);
    options.archiveId = id;
    options.lastWriteTime = 0x01C6A4A9C29C7C40ull;
    options.attributes = 0x20;
    options.bufferSize = 100;
    return options;
}

class ArchiveVectors : public ::testing::TestWithParam<VectorSet> {};

TEST_P(ArchiveVectors, CommittedArchiveCombinesAndIsWrittenAgainTheSame) {
    const VectorSet& set = GetParam();
    const fs::path committed = fs::path(ZRK_VECTORS_DIR) / "archive" / set.folder;
    ScratchFolder source, out, copy, target;
    ArchiveWriter writer(fixedOptions(source, out, set));
    ASSERT_EQ(writer.write(), 1) << writer.error();
    const char* regenerate = std::getenv("ZRK_WRITE_ARCHIVE_VECTORS");
    if (regenerate != nullptr) {
        const fs::path to = fs::path(regenerate) / set.folder;
        fs::create_directories(to);
        for (const auto& entry : fs::directory_iterator(out.host("")))
            fs::copy_file(entry.path(), to / entry.path().filename(), fs::copy_options::overwrite_existing);
        GTEST_SKIP() << "written to " << to.string();
    }

    const std::vector<std::string> names = {"archive.exe", "archive.001.zrd", "archive.002.zrd", "archive.003.zrd"};
    for (const auto& name : names) {
        ASSERT_TRUE(fs::exists(committed / name)) << name;
        copy.write(name, readHostFile(committed / name));
    }
    // The reader side: rebuild the committed archive.
    const std::string exe = copy.path("archive.exe");
    SplitArchive archive;
    StatusLog log;
    log.attach(archive);
    archive.setArchiveOffset(locateChunk(exe, "ZRKD"));
    archive.setDecrypt(set.password[0] != 0);
    archive.setPassword(set.password);
    archive.setOwnPath(exe);
    const std::string name = archive.readArchiveInfo(exe);
    ASSERT_EQ(name, "sample.bin");
    archive.setTargetPath(joinPath(target.path(), name));
    ASSERT_EQ(archive.combine(), 1);
    EXPECT_TRUE(log.reports.empty());
    EXPECT_EQ(target.read("sample.bin"), readHostFile(fs::path(ZRK_VECTORS_DIR) / "archive" / "sample.bin"));

    // The writer side: the same bytes again. The executable is compared from its
    // archive container on, so a change of the shipped texts does not count.
    for (const auto& n : names) {
        auto mine = out.read(n), theirs = copy.read(n);
        if (n == "archive.exe") {
            const uint64_t a = locateChunk(out.path(n), "ZRKD"), b = locateChunk(copy.path(n), "ZRKD");
            ASSERT_NE(a, kChunkNotFound);
            ASSERT_NE(b, kChunkNotFound);
            mine.erase(mine.begin(), mine.begin() + long(a));
            theirs.erase(theirs.begin(), theirs.begin() + long(b));
        }
        EXPECT_EQ(mine, theirs) << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Fixed, ArchiveVectors,
                         ::testing::Values(VectorSet{"plain", ""}, VectorSet{"encrypted", "zrk-sample"}),
                         [](const auto& info) { return std::string(info.param.folder); });

} // namespace
} // namespace zrk::testing
