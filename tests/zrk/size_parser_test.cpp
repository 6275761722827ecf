// Volume sizes as typed: units, fractions, and the values that must be refused.
#include <gtest/gtest.h>

#include "size_parser.h"

namespace zrk::tool {
namespace {

TEST(SizeParser, DecimalAndBinaryUnits) {
    EXPECT_EQ(parseSize("65536"), 65536u);
    EXPECT_EQ(parseSize("700M"), 700000000u);
    EXPECT_EQ(parseSize("700MB"), 700000000u);
    EXPECT_EQ(parseSize("1k"), 1000u);
    EXPECT_EQ(parseSize("1KiB"), 1024u);
    EXPECT_EQ(parseSize("1GiB"), 1073741824u);
    EXPECT_EQ(parseSize("1gib"), 1073741824u);
    EXPECT_EQ(parseSize("2TiB"), 2199023255552u);
    EXPECT_EQ(parseSize("3T"), 3000000000000u);
    EXPECT_EQ(parseSize("10B"), 10u);
}

TEST(SizeParser, FractionsAreExact) {
    EXPECT_EQ(parseSize("4.7G"), 4700000000u);
    EXPECT_EQ(parseSize("1.5MiB"), 1572864u);
    EXPECT_EQ(parseSize(".5k"), 500u);
    // Rounded down to whole bytes.
    EXPECT_EQ(parseSize("0.0015k"), 1u);
    EXPECT_EQ(parseSize("1.3333333333333KiB"), 1365u);
}

TEST(SizeParser, RefusesMalformedZeroAndOverflow) {
    for (const char* bad : {"", "M", "abc", "-1", "1.5", "1.", "1..5M", "1 M", "1MiBx", "1Q", "0", "0.0001",
                            "0k", "18446744073709551616", "20000000T", "1e6"})
        EXPECT_FALSE(parseSize(bad).has_value()) << bad;
    EXPECT_EQ(parseSize("18446744073709551615"), UINT64_MAX);
}

} // namespace
} // namespace zrk::tool
