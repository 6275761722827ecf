// The UTF-8 call wrappers on the wide route: file search with non-ASCII names and
// the long-path prefix.
#include "text/call_wrappers_win32.h"

#include "platform/handle_traits_win32.h"
#include "text/utf.h"
#include "text/wide_calls_win32.h"

#include <gtest/gtest.h>

#include <set>

namespace zrk {
namespace {

TEST(LongPathPattern, PrefixUnlessTwoBackslashes) {
    EXPECT_EQ(longPathPattern("C:\\a\\*.zrd"), "\\\\?\\C:\\a\\*.zrd");
    EXPECT_EQ(longPathPattern("C:/a/*.zrd"), "\\\\?\\C:\\a\\*.zrd");  // typed with slashes
    EXPECT_EQ(longPathPattern("\\\\server\\share\\*"), "\\\\server\\share\\*");
    EXPECT_EQ(longPathPattern("\\\\?\\C:\\x"), "\\\\?\\C:\\x");
    EXPECT_EQ(longPathPattern("\\a"), "\\\\?\\\\a");
}

class FileSearch : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        folder_ = wideToUtf8(u16Chars(temp)) + "zrk-find-" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(wideChars(utf8ToWide(folder_)), nullptr));
    }
    void TearDown() override {
        for (const std::string& name : created_)
            DeleteFileW(wideChars(utf8ToWide(folder_ + "\\" + name)));
        RemoveDirectoryW(wideChars(utf8ToWide(folder_)));
    }
    void makeFile(const std::string& name, DWORD size) {
        const HANDLE file = CreateFileW(wideChars(utf8ToWide(folder_ + "\\" + name)), GENERIC_WRITE, 0,
                                        nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        std::string data(size, 'z');
        DWORD written = 0;
        WriteFile(file, data.data(), size, &written, nullptr);
        CloseHandle(file);
        created_.push_back(name);
    }

    std::string folder_;
    std::vector<std::string> created_;
};

TEST_F(FileSearch, ListsNonAsciiNamesWithSizes) {
    const std::string japanese = "\xE5\x88\x86\xE5\x89\xB2.zrd";  // 分割.zrd
    const std::string emoji = "\xF0\x9F\x98\x80.zrd";
    makeFile(japanese, 5);
    makeFile(emoji, 300);
    makeFile("plain.txt", 1);

    std::set<std::pair<std::string, uint64_t>> found;
    FileEntry entry;
    const FindHandle search(findFirstFile(folder_ + "\\*.zrd", entry));
    ASSERT_TRUE(search);
    do {
        EXPECT_EQ(entry.attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
        EXPECT_NE(entry.lastWriteTime, 0u);
        found.insert({entry.name, entry.size});
    } while (findNextFile(search.get(), entry));

    const std::set<std::pair<std::string, uint64_t>> expected = {{japanese, 5}, {emoji, 300}};
    EXPECT_EQ(found, expected);
    // The failed last call left a clean entry behind.
    EXPECT_EQ(entry.name, "");
    EXPECT_EQ(entry.size, 0u);
}

TEST_F(FileSearch, NoMatchGivesInvalidHandleAndClearedEntry) {
    FileEntry entry;
    entry.name = "stale";
    entry.size = 99;
    EXPECT_EQ(findFirstFile(folder_ + "\\*.none", entry), INVALID_HANDLE_VALUE);
    EXPECT_EQ(entry.name, "");
    EXPECT_EQ(entry.size, 0u);
}

} // namespace
} // namespace zrk

namespace zrk {
namespace {

TEST(TextExtent, MeasuresCharactersNotBytes) {
    // A memory DC: no window (and so no display) is needed to measure text.
    const CreatedDc memory(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(memory);
    const HDC dc = memory.get();
    SIZE one{}, two{}, none{};
    EXPECT_TRUE(textExtent(dc, "W", &one));
    EXPECT_TRUE(textExtent(dc, "\xE7\xB5\x90\xE7\xB5\x90", &two));  // two CJK characters
    EXPECT_TRUE(textExtent(dc, "", &none));
    EXPECT_GT(one.cx, 0);
    EXPECT_GT(two.cx, 0);
    EXPECT_EQ(none.cx, 0);
    // Two units, not six bytes, reach the system.
    SIZE direct{};
    GetTextExtentPoint32W(dc, L"\u7D50\u7D50", 2, &direct);
    EXPECT_EQ(two.cx, direct.cx);
    EXPECT_EQ(two.cy, direct.cy);
}

} // namespace
} // namespace zrk
