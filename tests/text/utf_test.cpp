// UTF-8 <-> UTF-16 conversions: worked examples, lenient decoding, truncated
// input, the buffer form and a round trip over every code point.
#include "text/utf.h"

#include <gtest/gtest.h>

#include <vector>

namespace zrk {
namespace {

using namespace std::string_literals;

TEST(Utf8ToWide, WorkedExamplesBothWays) {
    const std::string utf8 = "A\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80";
    const std::u16string wide = {0x0041, 0x00E9, 0x3042, 0xD83D, 0xDE00};
    EXPECT_EQ(utf8ToWide(utf8), wide);
    EXPECT_EQ(wideToUtf8(wide), utf8);
}

TEST(Utf8ToWide, StopsAtFirstZeroByte) {
    EXPECT_EQ(utf8ToWide("ab\0cd"s), u"ab");
    EXPECT_EQ(utf8ToWide(""), u"");
}

TEST(Utf8ToWide, OverlongZeroGivesZeroUnitAndGoesOn) {
    const std::u16string expected = {u'a', 0, u'b'};
    EXPECT_EQ(utf8ToWide("a\xC0\x80" "b"), expected);
}

TEST(Utf8ToWide, LenientForms) {
    // A stray continuation byte starts a two-byte form; continuation bits are not checked.
    EXPECT_EQ(utf8ToWide("\x80\x41"), std::u16string(1, char16_t(0x01)));
    EXPECT_EQ(utf8ToWide("\xC3\x29"), std::u16string(1, char16_t(0xE9)));
    // Beyond U+10FFFF is not rejected: F7 BF BF BF is 0x1FFFFF.
    const std::u16string big = utf8ToWide("\xF7\xBF\xBF\xBF");
    ASSERT_EQ(big.size(), 2u);
    EXPECT_EQ(big[0], char16_t(0xD800 + ((0x1FFFFF - 0x10000) >> 10)));
}

TEST(Utf8ToWide, FormCutOffByTheEndIsDropped) {
    EXPECT_EQ(utf8ToWide("A\xE3\x81"), u"A");
    EXPECT_EQ(utf8ToWide("A\xF0\x9F\x98"), u"A");
    EXPECT_EQ(utf8ToWide("A\xC3"), u"A");
    // The terminator is not taken as a continuation byte, nor is anything after it.
    EXPECT_EQ(utf8ToWide("A\xE3\0\x81\x82"s), u"A");
    // A string_view that ends inside a character: nothing beyond its end is read.
    const char bytes[] = "\xE3\x81\x82\xE3\x81\x82";
    EXPECT_EQ(utf8ToWide(std::string_view(bytes, 4)), u"\u3042");
}

TEST(WideToUtf8, UnpairedHighSurrogateEmptiesTheResult) {
    EXPECT_EQ(wideToUtf8(std::u16string{u'a', 0xD83D, u'b'}), "");
    EXPECT_EQ(wideToUtf8(std::u16string{u'a', 0xD83D}), "");
    // The zero unit ends the text, so a pair split by it is unpaired too.
    EXPECT_EQ(wideToUtf8(std::u16string{0xD83D, 0, 0xDE00}), "");
}

TEST(WideToUtf8, LoneLowSurrogateIsItsOwnCodePoint) {
    EXPECT_EQ(wideToUtf8(std::u16string{0xDC00}), "\xED\xB0\x80");
}

TEST(WideToUtf8, StopsAtFirstZeroUnit) {
    EXPECT_EQ(wideToUtf8(std::u16string{u'x', 0, u'y'}), "x");
}

TEST(WideToUtf8, LengthClassBoundaries) {
    EXPECT_EQ(wideToUtf8(u"\u007F"), "\x7F");
    EXPECT_EQ(wideToUtf8(u"\u0080"), "\xC2\x80");
    EXPECT_EQ(wideToUtf8(u"\u07FF"), "\xDF\xBF");
    EXPECT_EQ(wideToUtf8(u"\u0800"), "\xE0\xA0\x80");
    EXPECT_EQ(wideToUtf8(u"\uFFFF"), "\xEF\xBF\xBF");
    EXPECT_EQ(wideToUtf8(u"\U00010000"), "\xF0\x90\x80\x80");
    EXPECT_EQ(wideToUtf8(u"\U0010FFFF"), "\xF4\x8F\xBF\xBF");
}

TEST(Conversions, RoundTripOfEveryCodePoint) {
    // Every code point except the high surrogates (which cannot stand alone).
    std::u16string all;
    for (uint32_t c = 1; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDBFF) continue;
        char16_t units[2];
        all.append(units, encodeUtf16(c, units));
    }
    const std::string utf8 = wideToUtf8(all);
    // 127 one-byte, 1920 two-byte, 63488 - 1024 three-byte, 1048576 four-byte forms.
    EXPECT_EQ(utf8.size(), 127u + 1920u * 2 + (63488u - 1024u) * 3 + 1048576u * 4);
    EXPECT_EQ(utf8ToWide(utf8), all);
}

TEST(Utf8ToWideBuffer, ZeroBytesBecomeZeroUnits) {
    const char bytes[] = "ab\0\xE3\x81\x82\0\xF0\x9F\x98\x80";
    const size_t length = sizeof bytes - 1;
    std::vector<char16_t> out(length, 0x7777);
    const size_t written = utf8ToWideBuffer(out.data(), out.size(), bytes, length);
    const std::vector<char16_t> expected = {u'a', u'b', 0, 0x3042, 0, 0xD83D, 0xDE00};
    ASSERT_EQ(written, expected.size());
    EXPECT_EQ(std::vector<char16_t>(out.begin(), out.begin() + long(written)), expected);
    EXPECT_EQ(out[written], 0x7777);  // nothing written past the result
}

TEST(Utf8ToWideBuffer, LengthCutsOffAFormAndCapacityIsRespected) {
    const char bytes[] = "a\xE3\x81\x82";
    char16_t out[4] = {0x7777, 0x7777, 0x7777, 0x7777};
    EXPECT_EQ(utf8ToWideBuffer(out, 4, bytes, 3), 1u);  // the cut-off form is dropped
    EXPECT_EQ(out[1], 0x7777);

    // A surrogate pair that would not fit whole is not split.
    const char emoji[] = "a\xF0\x9F\x98\x80";
    char16_t small[2] = {0x7777, 0x7777};
    EXPECT_EQ(utf8ToWideBuffer(small, 2, emoji, 5), 1u);
    EXPECT_EQ(small[1], 0x7777);
    EXPECT_EQ(utf8ToWideBuffer(small, 0, emoji, 5), 0u);
}

} // namespace
} // namespace zrk
