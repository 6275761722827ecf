// Path resolution, joining and splitting, folder creation and file listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "stream/paths.h"
#include "test_folder.h"

namespace zrk {
namespace {

class BaseFolderTest : public ::testing::Test {
protected:
    void SetUp() override { setBaseFolder("C:\\tools"); }
    void TearDown() override { setBaseFolder(""); }
};

TEST_F(BaseFolderTest, ResolverExamples) {
    EXPECT_EQ(makeAbsolute("a.bin"), "C:\\tools\\a.bin");
    EXPECT_EQ(makeAbsolute("\\x\\a.bin"), "C:\\x\\a.bin");
    EXPECT_EQ(makeAbsolute("D:a.bin"), "D:a.bin");
    EXPECT_EQ(makeAbsolute("\\\\server\\share\\a.bin"), "\\\\server\\share\\a.bin");
    EXPECT_EQ(makeAbsolute("x\\y:z"), "x\\y:z");  // a colon anywhere counts
    EXPECT_EQ(makeAbsolute(""), "C:\\tools");
}

TEST_F(BaseFolderTest, RootedPathWithoutADriveInTheBase) {
    setBaseFolder("\\home\\user");
    EXPECT_EQ(makeAbsolute("\\x\\a.bin"), "\\x\\a.bin");
    EXPECT_EQ(makeAbsolute("a.bin"), "\\home\\user\\a.bin");
    setBaseFolder("");
    EXPECT_EQ(makeAbsolute("a.bin"), "a.bin");
}

TEST(PathText, JoinPath) {
    EXPECT_EQ(joinPath("C:\\", "a"), "C:\\a");
    EXPECT_EQ(joinPath("C:", "a"), "C:a");
    EXPECT_EQ(joinPath("", "a"), "a");
    EXPECT_EQ(joinPath("C:\\x", ""), "C:\\x");
    EXPECT_EQ(joinPath("C:\\x", "y\\z"), "C:\\x\\y\\z");
}

TEST(PathText, ParentFolder) {
    EXPECT_EQ(parentFolder("C:\\x\\y.bin"), "C:\\x");
    EXPECT_EQ(parentFolder("C:\\y.bin"), "C:\\");
    EXPECT_EQ(parentFolder("y.bin"), "");
    EXPECT_EQ(parentFolder("\\\\server\\share"), "\\\\server");
    // A multi-byte name: bytes of a UTF-8 character are never a backslash.
    EXPECT_EQ(parentFolder("C:\\\xE8\xA1\xA8\\\xE3\x83\x95.txt"), "C:\\\xE8\xA1\xA8");
}

TEST(PathText, ModuleFolderIsThePathWithoutTheFileName) {
    const std::string path = modulePath();
    const std::string folder = moduleFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(path.find("stream_tests"), std::string::npos) << path;
    EXPECT_EQ(path.substr(0, folder.size() + 1), folder + "\\");
    EXPECT_EQ(path.find('\\', folder.size() + 1), std::string::npos);
    initBaseFolder();
    EXPECT_EQ(baseFolder(), folder);
    setBaseFolder("");
}

using FolderTest = test::ScratchFolderTest;

TEST_F(FolderTest, CreateFolderMakesEveryMissingParent) {
    const std::string deep = at("a\\b\\c");
    EXPECT_EQ(pathExists(at("a")), 0);
    EXPECT_NE(createFolder(deep), 0);
    EXPECT_EQ(pathExists(at("a\\b")), 1);
    EXPECT_NE(getAttributes(deep) & kAttributeFolder, 0u);
    EXPECT_NE(createFolder(deep), 0);  // already there
    EXPECT_NE(createFolder("rel\\x"), 0);  // relative to the base folder
    EXPECT_EQ(pathExists(at("rel\\x")), 1);
}

TEST_F(FolderTest, CreateFolderOnAFileChangesNothing) {
    writeFile("file", "data");
    EXPECT_EQ(createFolder(at("file")), 0);
    EXPECT_EQ(getAttributes(at("file")) & kAttributeFolder, 0u);
    EXPECT_EQ(createFolder(at("file\\sub")), 0);
    EXPECT_EQ(pathExists(at("file\\sub")), 0);
}

TEST_F(FolderTest, PathExistsForFilesAndFolders) {
    writeFile("f.bin", "");
    ASSERT_NE(createFolder(at("sub")), 0);
    EXPECT_EQ(pathExists(at("f.bin")), 1);
    EXPECT_EQ(pathExists("f.bin"), 1);
    EXPECT_EQ(pathExists(at("sub")), 1);
    EXPECT_EQ(pathExists(at("sub\\")), 1);  // the folder's own entry is always found
    EXPECT_EQ(pathExists(at("nothing")), 0);
    EXPECT_EQ(getAttributes(at("nothing")), kNoAttributes);
}

TEST_F(FolderTest, ReadOnlyAttributeRoundTrips) {
    writeFile("f", "x");
    const uint32_t before = getAttributes(at("f"));
    ASSERT_NE(before, kNoAttributes);
    EXPECT_EQ(before & kAttributeReadOnly, 0u);
    EXPECT_NE(setAttributes(at("f"), kAttributeReadOnly), 0);
    EXPECT_NE(getAttributes(at("f")) & kAttributeReadOnly, 0u);
    EXPECT_NE(setAttributes(at("f"), kAttributeNormal), 0);
    EXPECT_EQ(getAttributes(at("f")) & kAttributeReadOnly, 0u);
    EXPECT_EQ(setAttributes(at("missing"), kAttributeNormal), 0);
}

TEST_F(FolderTest, ListFilesPassesOverFolders) {
    writeFile("x.zrd", "12345");
    writeFile("other.bin", "");
    ASSERT_NE(createFolder(at("y.zrd")), 0);
    std::vector<FileEntry> entries;
    entries.push_back(FileEntry{});  // appended to, not replaced
    EXPECT_EQ(listFiles(folder_, "*.zrd", entries), 1u);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].name, "x.zrd");
    EXPECT_EQ(entries[1].size, 5u);
    EXPECT_EQ(entries[1].attributes & kAttributeFolder, 0u);
}

TEST_F(FolderTest, ListFilesMatchesNamesWithoutRegardToCase) {
    writeFile("A.ZRD", "");
    writeFile("b.Zrd", "");
    writeFile("c.xzrd", "");
    writeFile("d.zr", "");
    std::vector<FileEntry> entries;
    EXPECT_EQ(listFiles(folder_, "*.zrd", entries), 2u);
    std::vector<std::string> names;
    for (const FileEntry& e : entries) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"A.ZRD", "b.Zrd"}));
    entries.clear();
    EXPECT_EQ(listFiles(folder_, "*.*", entries), 4u);
}

TEST_F(FolderTest, ListFilesOfAMissingFolderFindsNothing) {
    std::vector<FileEntry> entries;
    EXPECT_EQ(listFiles(at("missing"), "*.zrd", entries), 0u);
    EXPECT_EQ(listFiles(folder_, "*.zrd", entries), 0u);
    EXPECT_TRUE(entries.empty());
}

std::string contentsOf(const std::string& path) {
    FileStream f;
    if (!f.loadWhole(path)) return "<missing>";
    return std::string(reinterpret_cast<const char*>(f.loadedBuffer()), size_t(f.size()));
}

TEST_F(FolderTest, ReplaceFileMovesOverAnExistingTarget) {
    writeFile("new.part", "fresh");
    writeFile("target.bin", "old contents");
    ASSERT_EQ(replaceFile("new.part", "target.bin"), 1);  // relative: resolved against the base folder
    EXPECT_EQ(contentsOf(at("target.bin")), "fresh");
    EXPECT_EQ(pathExists(at("new.part")), 0);
}

TEST_F(FolderTest, ReplaceFileThatFailsLeavesTheTargetAlone) {
    writeFile("target.bin", "old contents");
    EXPECT_EQ(replaceFile(at("missing.part"), at("target.bin")), 0);
    EXPECT_EQ(contentsOf(at("target.bin")), "old contents");
}

} // namespace
} // namespace zrk
