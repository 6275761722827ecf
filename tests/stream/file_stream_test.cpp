// FileStream over real files: open modes, end flag, positions, size and whole-file load.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stream/copy_buffer.h"
#include "stream/file_stream.h"
#include "stream/paths.h"
#include "test_folder.h"

namespace zrk {
namespace {

using FileStreamTest = test::ScratchFolderTest;

TEST(FileStreamClosed, FreshStreamIsAtEndAndHasNoPosition) {
    FileStream f;
    EXPECT_EQ(f.isAtEnd(), 1u);
    EXPECT_EQ(f.handle(), FileStream::kInvalidHandle);
    EXPECT_EQ(f.tell(), Stream::kNoPosition);
    unsigned char b[1];
    EXPECT_EQ(f.read(b, 1), 0);
    EXPECT_EQ(f.write(b, 1), 0);
    EXPECT_EQ(f.seek(0), 0);
    EXPECT_EQ(f.reopen(ReadExisting), 0);  // no path was ever stored
    EXPECT_EQ(f.close(), 1);
}

TEST_F(FileStreamTest, EmptyFileKeepsTheEndFlagNonEmptyClearsIt) {
    writeFile("empty", "");
    writeFile("full", "abc");
    FileStream empty;
    ASSERT_EQ(empty.openRead(at("empty")), 1);
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_EQ(empty.isAtEnd(), 1u);
    FileStream full;
    ASSERT_EQ(full.openRead(at("full")), 1);
    EXPECT_EQ(full.size(), 3u);
    EXPECT_EQ(full.isAtEnd(), 0u);
}

TEST_F(FileStreamTest, OnlyAReadOfNothingSetsTheEndFlag) {
    writeFile("f", "abcde");
    FileStream f;
    ASSERT_EQ(f.openRead(at("f")), 1);
    char buffer[8];
    EXPECT_EQ(f.read(buffer, 3), 3);
    EXPECT_EQ(f.read(buffer, 8), 2);  // short, but not nothing
    EXPECT_EQ(f.isAtEnd(), 0u);
    EXPECT_EQ(f.read(buffer, 8), 0);
    EXPECT_EQ(f.isAtEnd(), 1u);
}

TEST_F(FileStreamTest, SeekPastTheEndIsAccepted) {
    writeFile("f", "abc");
    FileStream f;
    ASSERT_EQ(f.openRead(at("f")), 1);
    EXPECT_EQ(f.seek(1000), 1);
    EXPECT_EQ(f.tell(), 1000u);
    char b;
    EXPECT_EQ(f.read(&b, 1), 0);
    EXPECT_EQ(f.seek(1), 1);
    EXPECT_EQ(f.read(&b, 1), 1);
    EXPECT_EQ(b, 'b');
}

TEST_F(FileStreamTest, UnknownModeFailsButKeepsThePath) {
    writeFile("f", "abc");
    FileStream f;
    EXPECT_EQ(f.open(at("f"), 5), 0);
    EXPECT_EQ(f.handle(), FileStream::kInvalidHandle);
    EXPECT_EQ(f.path(), at("f"));
    EXPECT_EQ(f.reopen(ReadExisting), 1);  // the stored path is used
    char b = 0;
    EXPECT_EQ(f.read(&b, 1), 1);
    EXPECT_EQ(b, 'a');
}

TEST_F(FileStreamTest, RelativePathsResolveAgainstTheBaseFolder) {
    writeFile("rel.bin", "xyz");
    FileStream f;
    ASSERT_EQ(f.openRead("rel.bin"), 1);
    EXPECT_EQ(f.path(), "rel.bin");  // kept as given
    EXPECT_EQ(f.size(), 3u);
}

TEST_F(FileStreamTest, OpenModesCreateTruncateAndRequireExistence) {
    FileStream f;
    EXPECT_EQ(f.open(at("missing"), ReadExisting), 0);
    EXPECT_EQ(f.open(at("missing"), WriteExisting), 0);
    EXPECT_EQ(f.open(at("missing"), ReadWriteExisting), 0);
    EXPECT_FALSE(pathExists(at("missing")));

    writeFile("f", "0123456789");
    ASSERT_EQ(f.open(at("f"), ReadWriteExisting), 1);
    EXPECT_EQ(f.size(), 10u);
    EXPECT_EQ(f.seek(2), 1);
    EXPECT_EQ(f.write("ab", 2), 2);
    EXPECT_EQ(f.seek(0), 1);
    char b[10];
    EXPECT_EQ(f.read(b, 10), 10);
    EXPECT_EQ(std::string(b, 10), "01ab456789");
    f.close();

    ASSERT_EQ(f.open(at("f"), CreateReadWrite), 1);
    EXPECT_EQ(f.size(), 0u);  // replaced
    f.close();
    ASSERT_EQ(f.open(at("f"), WriteExisting), 1);
    EXPECT_EQ(f.read(b, 1), 0);  // opened for writing only
}

TEST_F(FileStreamTest, SizeFollowsWritersExceptInReadMode) {
    FileStream writer;
    ASSERT_EQ(writer.open(at("f"), CreateWrite), 1);
    EXPECT_EQ(writer.write("0123456789", 10), 10);
    EXPECT_EQ(writer.size(), 10u);
    EXPECT_EQ(writer.write("abc", 3), 3);
    EXPECT_EQ(writer.size(), 13u);
    writer.close();

    FileStream reader;
    ASSERT_EQ(reader.openRead(at("f")), 1);
    EXPECT_EQ(reader.size(), 13u);
    // Files are shared for reading only, so where the system enforces that, nobody can
    // grow the file under the reader and the kept size cannot go stale.
    FileStream grower;
    if (!grower.open(at("f"), WriteExisting)) GTEST_SKIP() << "the open reader keeps writers out";
    grower.seek(13);
    EXPECT_EQ(grower.write("xyz", 3), 3);
    EXPECT_EQ(reader.size(), 13u);  // the size found at open
}

TEST_F(FileStreamTest, WriteOfSeveralMegabytesLandsWholeAndInOrder) {
    // Large writes reach the system in pieces; every piece must land, at its place.
    std::string content((3u << 20) + 5, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = char(i * 31 + (i >> 20));
    FileStream writer;
    ASSERT_EQ(writer.open(at("f"), CreateWrite), 1);
    EXPECT_EQ(writer.write(content.data(), uint32_t(content.size())), int32_t(content.size()));
    writer.close();
    FileStream reader;
    ASSERT_EQ(reader.loadWhole(at("f")), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reader.loadedBuffer()), size_t(reader.size())), content);
}

TEST_F(FileStreamTest, OpenOverAnOpenHandleClosesItFirst) {
    writeFile("first", "1");
    writeFile("second", "2");
    FileStream f;
    ASSERT_EQ(f.open(at("first"), WriteExisting), 1);
    ASSERT_EQ(f.openRead(at("second")), 1);
    char b = 0;
    EXPECT_EQ(f.read(&b, 1), 1);
    EXPECT_EQ(b, '2');
    // Files are shared for reading only: a second writer gets in only if the first
    // handle was really closed.
    FileStream other;
    EXPECT_EQ(other.open(at("first"), WriteExisting), 1);
}

TEST_F(FileStreamTest, LoadWholeReadsEverythingAndStaysOpen) {
    std::string content(100000, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = char(i * 7);
    writeFile("f", content);
    FileStream f;
    ASSERT_EQ(f.loadWhole(at("f")), 1);
    ASSERT_NE(f.loadedBuffer(), nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.loadedBuffer()), content.size()), content);
    EXPECT_NE(f.handle(), FileStream::kInvalidHandle);
    EXPECT_EQ(f.tell(), content.size());
    f.release();
    EXPECT_EQ(f.loadedBuffer(), nullptr);
    EXPECT_EQ(f.handle(), FileStream::kInvalidHandle);
    EXPECT_EQ(f.size(), 0u);
}

TEST_F(FileStreamTest, LoadWholeOfAMissingFileFails) {
    FileStream f;
    EXPECT_EQ(f.loadWhole(at("missing")), 0);
    EXPECT_EQ(f.loadedBuffer(), nullptr);
    writeFile("empty", "");
    EXPECT_EQ(f.loadWhole(at("empty")), 1);  // nothing to read is still the whole file
}

TEST_F(FileStreamTest, FoldersDoNotOpenAsFiles) {
    ASSERT_NE(createFolder(at("sub")), 0);
    FileStream f;
    EXPECT_EQ(f.openRead(at("sub")), 0);
    EXPECT_EQ(f.loadWhole(at("sub")), 0);
}

TEST_F(FileStreamTest, StringsRoundTripThroughAFile) {
    FileStream f;
    ASSERT_EQ(f.open(at("s"), CreateReadWrite), 1);
    f.writeString("\xE3\x81\x82\xE3\x81\x84");
    f.writeU32(0x7FFFFFFF);  // a length that announces far more than follows
    f.writeU8('x');
    ASSERT_EQ(f.seek(0), 1);
    EXPECT_EQ(f.readString(), "\xE3\x81\x82\xE3\x81\x84");
    EXPECT_EQ(f.readString(), "");
}

TEST_F(FileStreamTest, LastWriteTimeIsSetFromAFileTime) {
    // 2001-02-03 04:05:06.5 UTC as a FILETIME.
    const uint64_t fileTime = 126256467065000000ull;
    {
        FileStream f;
        ASSERT_EQ(f.open(at("timed.zrd"), CreateWrite), 1);
        f.write("x", 1);
        EXPECT_EQ(f.setLastWriteTime(fileTime), 1);
    }
    std::vector<FileEntry> entries;
    ASSERT_EQ(listFiles(folder_, "timed.zrd", entries), 1u);
    EXPECT_EQ(entries[0].lastWriteTime, fileTime);
    FileStream closed;
    EXPECT_EQ(closed.setLastWriteTime(fileTime), 0);
}

// The bulk-copy buffers start on a page boundary (the run-time's aligned allocation
// differs per platform), whatever the size asked for.
TEST(CopyBuffer, StartsOnAPageBoundaryAtAnySize) {
    for (size_t size : {size_t(1), size_t(4095), size_t(4097), size_t(4 << 20) + 16}) {
        const CopyBuffer buffer = allocateCopyBuffer(size);
        ASSERT_TRUE(buffer) << size;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.get()) % 4096, 0u) << size;
        buffer[size - 1] = 1;  // the whole size is usable (the sanitizers would see otherwise)
    }
}

} // namespace
} // namespace zrk
