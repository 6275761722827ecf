// The Win32 backend under a real Windows API: share mode, names beyond ANSI, the
// temporary bit, and paths longer than the classic limit where the long-path prefix is used.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/windows_api.h"
#include "stream/file_stream.h"
#include "stream/paths.h"
#include "test_folder.h"
#include "text/utf.h"

namespace zrk {
namespace {

using Win32PathTest = test::ScratchFolderTest;

std::wstring prefixedWide(const std::string& path) {
    const std::u16string wide = utf8ToWide("\\\\?\\" + path);
    return std::wstring(wide.begin(), wide.end());
}

std::vector<std::string> sortedNames(const std::vector<FileEntry>& entries) {
    std::vector<std::string> names;
    for (const FileEntry& e : entries) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(Win32PathTest, OpenFilesAreSharedForReadingOnly) {
    writeFile("f", "abc");
    FileStream reader;
    ASSERT_EQ(reader.openRead(at("f")), 1);
    FileStream secondReader;
    EXPECT_EQ(secondReader.openRead(at("f")), 1);
    FileStream writer;
    EXPECT_EQ(writer.open(at("f"), WriteExisting), 0);
}

TEST_F(Win32PathTest, NamesOutsideTheAnsiCodePageRoundTrip) {
    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.zrd";  // 日本語.zrd
    const std::string astral = "\xF0\x9F\x98\x80.zrd";                        // U+1F600, a surrogate pair
    writeFile(japanese, "jp");
    writeFile(astral, "smile");
    std::vector<FileEntry> entries;
    EXPECT_EQ(listFiles(folder_, "*.zrd", entries), 2u);
    EXPECT_EQ(sortedNames(entries), (std::vector<std::string>{japanese, astral}));
    for (const auto& [name, content] : {std::pair{japanese, std::string("jp")}, std::pair{astral, std::string("smile")}}) {
        EXPECT_EQ(pathExists(at(name)), 1);
        FileStream f;
        ASSERT_EQ(f.loadWhole(at(name)), 1) << name;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.loadedBuffer()), f.size()), content);
    }
    EXPECT_NE(createFolder(at(japanese + "-dir\\" + astral)), 0);
    EXPECT_NE(getAttributes(at(japanese + "-dir\\" + astral)) & kAttributeFolder, 0u);
}

TEST_F(Win32PathTest, ListFilesPassesOverFoldersAndTemporaryFiles) {
    writeFile("x.zrd", "x");
    writeFile("z.zrd", "z");
    ASSERT_NE(createFolder(at("y.zrd")), 0);
    ASSERT_NE(setAttributes(at("z.zrd"), kAttributeTemporary), 0);
    if ((getAttributes(at("z.zrd")) & kAttributeTemporary) == 0)
        GTEST_SKIP() << "this file system does not keep the temporary bit";
    std::vector<FileEntry> entries;
    EXPECT_EQ(listFiles(folder_, "*.zrd", entries), 1u);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "x.zrd");
}

TEST_F(Win32PathTest, LongPathsWorkWhereThePrefixIsUsed) {
    std::string deep = folder_;
    std::vector<std::string> made;
    while (deep.size() < 300) {
        deep += "\\segment-0123456789";
        ASSERT_TRUE(CreateDirectoryW(prefixedWide(deep).c_str(), nullptr)) << GetLastError();
        made.push_back(deep);
    }
    const std::string file = deep + "\\long.zrd";
    ASSERT_GT(file.size(), 260u);
    HANDLE h = CreateFileW(prefixedWide(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, "abcd", 4, &written, nullptr);
    CloseHandle(h);

    EXPECT_EQ(pathExists(file), 1);
    EXPECT_EQ(pathExists(deep + "\\"), 1);
    EXPECT_EQ(pathExists(deep + "\\missing.zrd"), 0);
    const uint32_t attributes = getAttributes(file);
    ASSERT_NE(attributes, kNoAttributes);
    EXPECT_EQ(attributes & kAttributeFolder, 0u);
    EXPECT_NE(setAttributes(file, kAttributeReadOnly), 0);
    EXPECT_NE(getAttributes(file) & kAttributeReadOnly, 0u);
    EXPECT_NE(setAttributes(file, kAttributeNormal), 0);
    std::vector<FileEntry> entries;
    EXPECT_EQ(listFiles(deep, "*.zrd", entries), 1u);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "long.zrd");
    EXPECT_EQ(entries[0].size, 4u);

    // The host library may not manage paths this long; take them down the same way.
    EXPECT_TRUE(DeleteFileW(prefixedWide(file).c_str()));
    for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryW(prefixedWide(*it).c_str());
}

TEST_F(Win32PathTest, ForwardSlashesWorkLikeBackslashes) {
    // A folder typed with '/' (as "C:/out"): found, and a file renamed and removed in it.
    std::string slashed = folder_;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    writeFile("part", "data");
    EXPECT_EQ(pathExists(slashed), 1);
    EXPECT_NE(getAttributes(slashed + "/part"), kNoAttributes);
    ASSERT_EQ(replaceFile(slashed + "\\part", slashed + "\\whole"), 1);
    EXPECT_EQ(pathExists(at("whole")), 1);
    EXPECT_EQ(removeFile(slashed + "/whole"), 1);
    EXPECT_EQ(pathExists(at("whole")), 0);
}

TEST_F(Win32PathTest, ZoneMarksRoundTripWhereTheFileSystemKeepsStreams) {
    writeFile("plain", "p");
    writeFile("marked", "m");
    EXPECT_EQ(zoneMark(at("plain")), "");
    const std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\n";
    const int kept = setZoneMark(at("marked"), mark);
    // A mark is a stream of the file, never a file of the folder (as "marked:Zone.Identifier"
    // would be where colons are allowed in names).
    std::vector<FileEntry> entries;
    listFiles(folder_, "*", entries);
    EXPECT_EQ(sortedNames(entries), (std::vector<std::string>{"marked", "plain"}));
    if (!kept) GTEST_SKIP() << "this file system keeps no alternate streams";
    EXPECT_EQ(zoneMark(at("marked")), mark);
    EXPECT_EQ(zoneMark(at("plain")), "");
}

TEST(Win32Paths, ModulePathIsADrivePath) {
    const std::string path = modulePath();
    ASSERT_GE(path.size(), 3u);
    EXPECT_EQ(path[1], ':');
    EXPECT_EQ(path[2], '\\');
}

} // namespace
} // namespace zrk
