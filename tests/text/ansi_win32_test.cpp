// The ANSI route under the Japanese code page (932): round trips, characters the
// code page lacks, and double-byte characters.
#include "text/ansi_win32.h"

#include "platform/windows_api.h"

#include <gtest/gtest.h>

namespace zrk {
namespace {

using namespace std::string_literals;

class AnsiCodePage932 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GetACP(), 932u) << "run with LANG=ja_JP.UTF-8 so the ANSI code page is 932";
    }
};

// 日本語のテキスト and its code page 932 bytes.
const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE"
                             "\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88";
const std::string japaneseAnsi = "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67";

TEST_F(AnsiCodePage932, JapaneseTextSurvivesTheRoundTrip) {
    EXPECT_EQ(utf8ToAnsi(japanese), japaneseAnsi);
    EXPECT_EQ(ansiToUtf8(japaneseAnsi), japanese);
    EXPECT_EQ(ansiToUtf8(utf8ToAnsi("C:\\" + japanese + "\\a.zrd")), "C:\\" + japanese + "\\a.zrd");
}

TEST_F(AnsiCodePage932, CharacterTheCodePageLacksEmptiesTheResult) {
    EXPECT_EQ(utf8ToAnsi("A\xED\x95\x9C"), "");  // a Hangul syllable
    EXPECT_EQ(utf8ToAnsi("\xF0\x9F\x98\x80"), "");  // an emoji (a surrogate pair)
    // No look-alike either: the code page has no e with acute accent.
    EXPECT_EQ(utf8ToAnsi("caf\xC3\xA9"), "");
}

TEST_F(AnsiCodePage932, DoubleByteCharacters) {
    // The lead byte alone is rejected, so the pair is read as one character.
    EXPECT_EQ(ansiToUtf8("\x82\xA0"), "\xE3\x81\x82");
    // A trail byte in the ASCII range, here a backslash, belongs to its lead byte.
    EXPECT_EQ(ansiToUtf8("\x83\x5C"), "\xE3\x82\xBD");
    EXPECT_EQ(utf8ToAnsi("\xE3\x82\xBD"), "\x83\x5C");
    // Half-width katakana are single bytes.
    EXPECT_EQ(ansiToUtf8("\xB1"), "\xEF\xBD\xB1");
    // A lead byte with nothing after it cannot be converted.
    EXPECT_EQ(ansiToUtf8("A\x82"), "");
    EXPECT_EQ(ansiToUtf8("A\x82\0\xA0"s), "");
}

TEST_F(AnsiCodePage932, TruncatedUtf8IsDropped) {
    EXPECT_EQ(utf8ToAnsi("A\xE3\x81"), "A");
}

TEST_F(AnsiCodePage932, BufferFormPassesZerosAndMarksRejectedCharacters) {
    const char bytes[] = "a\0\xED\x95\x9C\0\xE3\x81\x82";
    const size_t length = sizeof bytes - 1;
    char out[16];
    std::fill(std::begin(out), std::end(out), '#');
    const size_t written = utf8ToAnsiBuffer(out, sizeof out, bytes, length);
    EXPECT_EQ(std::string(out, written), "a\0?\0\x82\xA0"s);
    EXPECT_EQ(out[written], '#');

    // A double-byte character that would not fit whole is left out.
    EXPECT_EQ(utf8ToAnsiBuffer(out, 5, bytes, length), 4u);
}

} // namespace
} // namespace zrk
