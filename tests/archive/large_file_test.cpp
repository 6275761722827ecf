// A file above 4 GiB split and rebuilt: sizes, offsets and CRC lengths must not be
// cut to 32 bits anywhere. The input is sparse, so only the copies cost disk and time.
#include <gtest/gtest.h>

#include <fstream>

#include "archive/archive_writer.h"
#include "archive/split_archive.h"
#include "archive_test_support.h"
#include "chunk/locate_chunk.h"

namespace zrk::testing {
namespace {

constexpr uint64_t kSize = (4ull << 30) + 4097;  // past 4 GiB and not a multiple of the block
// Marked bytes at the start, around the 2 GiB and 4 GiB edges, and at the end.
constexpr uint64_t kMarks[] = {0, (2ull << 30) - 1, 2ull << 30, (4ull << 30) - 1, 4ull << 30, kSize - 1};

uint8_t markAt(size_t i) { return uint8_t(0x5A + 17 * i); }

TEST(LargeFile, SparseFileAbove4GiBRoundTrips) {
    ScratchFolder source, out, target;
    {
        std::ofstream f(source.host("big.bin"), std::ios::binary);
        for (size_t i = 0; i < std::size(kMarks); ++i) {
            f.seekp(std::streamoff(kMarks[i]));
            f.put(char(markAt(i)));
        }
        ASSERT_TRUE(f.good());
    }
    ASSERT_EQ(std::filesystem::file_size(source.host("big.bin")), kSize);
    source.write("stub.bin", std::vector<unsigned char>(300, 0xCC));

    ArchiveWriterOptions options;
    options.inputPath = source.path("big.bin");
    options.stubPath = source.path("stub.bin");
    options.outputFolder = out.path();
    options.volumeCount = 3;  // volumes of about 1.33 GiB: piece boundaries off every edge above
    ArchiveWriter writer(options);
    ASSERT_EQ(writer.write(), 1) << writer.error();
    ASSERT_EQ(writer.volumePaths().size(), 3u);

    SplitArchive archive;
    StatusLog log;
    log.attach(archive);
    archive.setArchiveOffset(locateChunk(writer.executablePath(), "ZRKD"));
    archive.setOwnPath(writer.executablePath());
    ASSERT_EQ(archive.readArchiveInfo(writer.executablePath()), "big.bin");
    archive.setTargetPath(target.path("big.bin"));
    ASSERT_EQ(archive.combine(), 1) << (log.reports.empty() ? "" : log.reports[0].second);
    EXPECT_TRUE(log.reports.empty());
    // The rebuilt file is not sparse: free its disk space as soon as the test has looked.
    std::filesystem::remove(out.host("big.001.zrd"));
    std::filesystem::remove(out.host("big.002.zrd"));
    std::filesystem::remove(out.host("big.003.zrd"));

    ASSERT_EQ(std::filesystem::file_size(target.host("big.bin")), kSize);
    std::ifstream rebuilt(target.host("big.bin"), std::ios::binary);
    for (size_t i = 0; i < std::size(kMarks); ++i) {
        rebuilt.seekg(std::streamoff(kMarks[i]));
        EXPECT_EQ(uint8_t(rebuilt.get()), markAt(i)) << kMarks[i];
    }
    for (uint64_t zero : {uint64_t(1), uint64_t(3) << 30, kSize - 2}) {
        rebuilt.seekg(std::streamoff(zero));
        EXPECT_EQ(rebuilt.get(), 0) << zero;
    }
}

} // namespace
} // namespace zrk::testing
