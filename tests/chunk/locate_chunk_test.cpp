// locateChunk: the search window, tag text without a valid header, and unreadable files.
#include "chunk/locate_chunk.h"

#include <gtest/gtest.h>

#include <cstring>

#include "chunk/chunk_header.h"
#include "temp_files.h"

namespace zrk {
namespace {

using testing::TempFile;

void putHeader(std::vector<unsigned char>& bytes, size_t at, const char* tag) {
    ChunkHeader h;
    h.setTag(tag);
    h.setHeaderSize(32);
    h.setDataSize(16);
    h.sealHeaderCrc();
    std::memcpy(&bytes[at], h.bytes(), 32);
}

TEST(LocateChunk, SkipsTagTextThatIsNotAValidHeader) {
    std::vector<unsigned char> bytes(5000, 0xCC);
    std::memcpy(&bytes[100], "ZRKS settings", 13);  // the tag as text in the program's strings
    putHeader(bytes, 1001, "ZRKD");
    putHeader(bytes, 3001, "ZRKS");
    putHeader(bytes, 4001, "ZRKS");
    EXPECT_EQ(locateChunkIn(bytes.data(), bytes.size(), "ZRKS"), 3001u);
    EXPECT_EQ(locateChunkIn(bytes.data(), bytes.size(), "ZRKD"), 1001u);
    EXPECT_EQ(locateChunkIn(bytes.data(), bytes.size(), "INFO"), kChunkNotFound);

    // A header at the very end is still inside the search; one byte short is not.
    putHeader(bytes, bytes.size() - 32, "INFO");
    EXPECT_EQ(locateChunkIn(bytes.data(), bytes.size(), "INFO"), bytes.size() - 32);
    EXPECT_EQ(locateChunkIn(bytes.data(), bytes.size() - 1, "INFO"), kChunkNotFound);

    TempFile file("program.exe");
    file.write(bytes);
    EXPECT_EQ(locateChunk(file.path(), "ZRKS"), 3001u);
    EXPECT_EQ(locateChunk(file.path(), "DFDT"), kChunkNotFound);
}

TEST(LocateChunk, SearchesOnlyTheFirstMebibyte) {
    std::vector<unsigned char> bytes(kLocateWindow + 4096, 0);
    putHeader(bytes, kLocateWindow - 31, "ZRKD");  // straddles the window's end
    putHeader(bytes, kLocateWindow + 100, "INFO");
    TempFile file("big.exe");
    file.write(bytes);
    EXPECT_EQ(locateChunk(file.path(), "ZRKD"), kChunkNotFound);
    EXPECT_EQ(locateChunk(file.path(), "INFO"), kChunkNotFound);

    putHeader(bytes, kLocateWindow - 32, "ZRKS");  // the last place that still counts
    file.write(bytes);
    EXPECT_EQ(locateChunk(file.path(), "ZRKS"), kLocateWindow - 32);
}

TEST(LocateChunk, MissingShortAndEmptyFilesAreNotFound) {
    TempFile missing("missing.exe");
    EXPECT_EQ(locateChunk(missing.path(), "ZRKS"), kChunkNotFound);

    std::vector<unsigned char> bytes(32, 0);
    putHeader(bytes, 0, "ZRKS");
    TempFile exact("exact.exe");
    exact.write(bytes);
    EXPECT_EQ(locateChunk(exact.path(), "ZRKS"), 0u);

    bytes.resize(31);
    TempFile shortFile("short.exe");
    shortFile.write(bytes);
    EXPECT_EQ(locateChunk(shortFile.path(), "ZRKS"), kChunkNotFound);

    TempFile empty("empty.exe");
    empty.write({});
    EXPECT_EQ(locateChunk(empty.path(), "ZRKS"), kChunkNotFound);
    EXPECT_EQ(locateChunkIn(nullptr, 0, "ZRKS"), kChunkNotFound);
}

} // namespace
} // namespace zrk
