// The progress bar's text: percentage, rate and time left from the counts and the clock.
#include <gtest/gtest.h>

#include "progress_bar.h"

namespace zrk::tool {
namespace {

TEST(ProgressLine, ShowsPercentRateAndTimeLeft) {
    // 50 MB of 200 MB in 10 s: 5 MB/s, 150 MB to go = 30 s.
    const std::string half = progressLine("join", 50000000, 200000000, 10.0);
    EXPECT_NE(half.find(" 25%"), std::string::npos) << half;
    EXPECT_NE(half.find("5.0 MB/s"), std::string::npos) << half;
    EXPECT_NE(half.find("0:30 left"), std::string::npos) << half;
    EXPECT_EQ(half.find("join ["), 0u) << half;

    const std::string done = progressLine("split", 7, 7, 0.5);
    EXPECT_NE(done.find("100%"), std::string::npos) << done;
    EXPECT_NE(done.find("0:00 left"), std::string::npos) << done;
    // Nothing measured yet, and an empty file: no division by zero, no bogus estimate.
    EXPECT_NE(progressLine("verify", 0, 100, 0.0).find("--:-- left"), std::string::npos);
    EXPECT_NE(progressLine("verify", 0, 0, 0.0).find("100%"), std::string::npos);
    // Hours are shown as minutes: 2 h 5 min left.
    EXPECT_NE(progressLine("join", 1000000, 7501000000, 1.0).find("125:00 left"), std::string::npos);
}

} // namespace
} // namespace zrk::tool
