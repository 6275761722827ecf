// formatText, hexString and lastIndexOf.
#include "text/text_format.h"

#include <gtest/gtest.h>

namespace zrk {
namespace {

TEST(FormatText, FormatsLikePrintf) {
    EXPECT_EQ(formatText("%02x", 10), "0a");
    EXPECT_EQ(formatText("%10d(0x%08x)", -1, 255u), "        -1(0x000000ff)");
    EXPECT_EQ(formatText("%s-%s", "\xE3\x81\x82", "b"), "\xE3\x81\x82-b");
}

TEST(FormatText, EmptyResultAndLongResult) {
    EXPECT_EQ(formatText("%s", ""), "");
    const std::string big(5000, 'x');
    EXPECT_EQ(formatText("<%s>", big.c_str()), "<" + big + ">");
}

TEST(HexString, BytesAndText) {
    const unsigned char bytes[] = {0x00, 0xAB, 0x10};
    EXPECT_EQ(hexString(bytes, 3), "00ab10");
    EXPECT_EQ(hexString(bytes, 0), "");
    EXPECT_EQ(hexString(std::string_view("\xFF" "A")), "ff41");
}

TEST(LastIndexOf, FindsLastOccurrenceOrMinusOne) {
    EXPECT_EQ(lastIndexOf("C:\\ab\\c", '\\'), 5);
    EXPECT_EQ(lastIndexOf("C:\\ab\\c", '/'), -1);
    EXPECT_EQ(lastIndexOf("abc", '\0'), 3);  // the terminator is part of the scan
    EXPECT_EQ(lastIndexOf("", '\0'), 0);
    EXPECT_EQ(lastIndexOf(nullptr, 'a'), -1);
}

} // namespace
} // namespace zrk
