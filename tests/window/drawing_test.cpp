// DibImage arithmetic and BMP form, and the progress bar's pixels (the buffer,
// not the screen).
#include "window/dib_image.h"
#include "window/progress_animation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace zrk {
namespace {

TEST(DibImage, SetUpChecksItsArgumentsAndComputesStrideAndHeader) {
    DibImage image;
    EXPECT_EQ(image.setUp(0, 5, 32), 0);
    EXPECT_EQ(image.setUp(5, -1, 32), 0);
    EXPECT_EQ(image.setUp(5, 5, 12), 0);
    EXPECT_EQ(image.header(), nullptr);

    struct Case { int32_t width, bits, stride; size_t headerSize; };
    for (const Case c : {Case{1, 1, 4, 48}, Case{33, 1, 8, 48}, Case{3, 4, 4, 104}, Case{5, 8, 8, 1064},
                         Case{3, 16, 8, 52}, Case{3, 24, 12, 40}, Case{5, 24, 16, 40}, Case{7, 32, 28, 52}}) {
        ASSERT_EQ(image.setUp(c.width, 3, c.bits), 1) << c.width << "x" << c.bits;
        EXPECT_EQ(image.stride(), c.stride) << c.width << "x" << c.bits;
        EXPECT_EQ(image.headerSize(), c.headerSize) << c.bits;
        const BITMAPINFOHEADER& h = image.header()->bmiHeader;
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, c.width);
        EXPECT_EQ(h.biHeight, -3);  // top-down
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biBitCount, c.bits);
        EXPECT_EQ(h.biSizeImage, DWORD(c.stride * 3));
        EXPECT_EQ(h.biClrUsed, c.bits <= 8 ? DWORD(1u << c.bits) : 0u);
        EXPECT_EQ(image.pixels(), nullptr);  // set-up alone allocates no pixels
    }
}

TEST(DibImage, CreateGivesAZeroedBufferAndPixelsRoundTrip) {
    DibImage image;
    ASSERT_EQ(image.create(3, 2, 24), 1);
    ASSERT_NE(image.pixels(), nullptr);
    for (size_t i = 0; i < image.imageSize(); ++i) ASSERT_EQ(image.pixels()[i], 0) << i;
    image.setPixel(2, 1, 0x123456);
    image.setPixel(3, 0, 0xFFFFFF);  // outside: ignored
    EXPECT_EQ(image.pixel(2, 1), 0x123456u);
    const unsigned char* p = image.pixels() + image.stride() + 6;
    EXPECT_EQ(p[0], 0x56);  // blue first in memory
    EXPECT_EQ(p[2], 0x12);
    EXPECT_EQ(image.pixel(3, 0), 0u);
}

TEST(DibImage, SavedFileIsABottomUpBmpThatLoadsBackTheSame) {
    DibImage image;
    ASSERT_EQ(image.create(3, 2, 32), 1);
    image.setPixel(0, 0, 0x00FF0000);  // top-left red
    image.setPixel(2, 1, 0x000000FF);  // bottom-right blue
    const std::vector<unsigned char> file = image.encodeBmp();
    ASSERT_EQ(file.size(), 14 + 52 + 24u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(file[2] | file[3] << 8, int(file.size()));
    EXPECT_EQ(file[10], 66);  // pixel offset
    EXPECT_EQ(file[14 + 8], 2);  // positive height: bottom-up
    // The first stored row is the bottom row: its last pixel is blue.
    EXPECT_EQ(file[66 + 8], 0xFF);
    // The image in memory stays top-down.
    EXPECT_EQ(image.header()->bmiHeader.biHeight, -2);

    const std::string path = "dib_round_trip.bmp";
    ASSERT_EQ(image.saveBmp(path), 1);
    DibImage loaded;
    ASSERT_EQ(loaded.loadBmpFile(path), 1);
    std::remove(path.c_str());
    EXPECT_EQ(loaded.width(), 3);
    EXPECT_EQ(loaded.height(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(loaded.pixel(x, y), image.pixel(x, y)) << x << "," << y;
}

TEST(DibImage, LoaderRefusesDamagedFiles) {
    DibImage image;
    ASSERT_EQ(image.create(4, 4, 24), 1);
    const std::vector<unsigned char> good = image.encodeBmp();
    DibImage loaded;
    EXPECT_EQ(loaded.loadBmpMemory(good.data(), good.size()), 1);

    std::vector<unsigned char> bad = good;
    bad[0] = 'X';
    EXPECT_EQ(loaded.loadBmpMemory(bad.data(), bad.size()), 0);
    EXPECT_EQ(loaded.loadBmpMemory(good.data(), good.size() - 1), 0);  // pixels cut short
    bad = good;
    bad[10] = 0xFF;  // pixel offset past the end
    bad[11] = 0xFF;
    EXPECT_EQ(loaded.loadBmpMemory(bad.data(), bad.size()), 0);
    bad = good;
    bad[14 + 4] = 0xFF;  // width 0x7FFFFFFF-ish: refused before allocating
    bad[14 + 5] = 0xFF;
    bad[14 + 6] = 0xFF;
    bad[14 + 7] = 0x7F;
    EXPECT_EQ(loaded.loadBmpMemory(bad.data(), bad.size()), 0);
    EXPECT_EQ(loaded.pixels(), nullptr);
    EXPECT_EQ(loaded.loadBmpMemory(good.data(), 20), 0);
}

constexpr uint32_t kFace = 0x00D4D0C8;
constexpr uint32_t kHighlight = 0x000A246A;

class BarTest : public ::testing::Test {
protected:
    void SetUp() override { bar.setUp(24, 100, 24 + kWidth, 124); }
    uint32_t at(int x, int y) const { return bar.surface.pixel(x, y); }
    static constexpr int kWidth = 432;
    ProgressAnimation bar;
};

TEST_F(BarTest, PaletteStartsDarkBlueAndBrightensTowardsTheBottom) {
    ASSERT_EQ(bar.palette.size(), 24u);
    EXPECT_EQ(bar.palette[0], 0x00184088u);
    for (size_t i = 1; i < bar.palette.size(); ++i)
        EXPECT_GE(bar.palette[i] & 0xFF, bar.palette[i - 1] & 0xFF) << i;
    // Row 23: f = 23/24, k = 47/48; red = 256 f^3 + 48 k = 225.5 + 47 -> 255 (clamped).
    EXPECT_EQ(bar.palette[23] >> 16, 255u);
    EXPECT_EQ(bar.width, kWidth);
    EXPECT_EQ(bar.height, 24);
    EXPECT_EQ(bar.surface.bitsPerPixel(), 32);
}

TEST_F(BarTest, RowColoursBandByFourAndClampAtTheLastRow) {
    // Phase 0: rows 0-3 show palette 4, rows 4-7 palette 8, ..., rows 20-23 palette 23 (clamped).
    for (int row = 0; row < 24; ++row) {
        const int expected = std::min(row - row % 4 + 4, 23);
        EXPECT_EQ(bar.rowColour(row, 0), bar.palette[size_t(expected)]) << row;
    }
    // Four steps of the phase move the bands up by one row: rows 3-6 now share a colour.
    EXPECT_EQ(bar.rowColour(0, 4), bar.palette[3]);
    EXPECT_EQ(bar.rowColour(2, 4), bar.palette[3]);
    EXPECT_EQ(bar.rowColour(3, 4), bar.palette[7]);
    EXPECT_EQ(bar.rowColour(6, 4), bar.palette[7]);
    EXPECT_EQ(bar.rowColour(7, 4), bar.palette[11]);
    EXPECT_EQ(bar.rowColour(0, 3), bar.palette[4]);  // p / 4 truncates
    EXPECT_EQ(bar.rowColour(23, 12), bar.palette[23]);
}

TEST_F(BarTest, NoTotalDrawsTheWholeBarInTheFaceColour) {
    bar.render(32, kFace, kHighlight);
    EXPECT_EQ(bar.filledWidth(), 0);
    for (int y = 0; y < 24; ++y)
        for (int x : {0, 1, kWidth / 2, kWidth - 1}) ASSERT_EQ(at(x, y), kFace) << x << "," << y;
}

TEST_F(BarTest, TotalWithNothingDoneFillsOneColumnAndTheRestBlack) {
    bar.progressTotal = 1000;
    bar.render(32, kFace, kHighlight);
    EXPECT_EQ(bar.filledWidth(), 1);
    for (int y = 0; y < 24; ++y) {
        EXPECT_EQ(at(0, y), bar.rowColour(y, 0)) << y;
        EXPECT_EQ(at(1, y), 0u) << y;
        EXPECT_EQ(at(kWidth - 1, y), 0u) << y;
    }
}

TEST_F(BarTest, FilledWidthIsProportionalAndCappedAtTheFullWidth) {
    bar.progressTotal = 1000;
    bar.progressDone = 500;
    EXPECT_EQ(bar.filledWidth(), kWidth / 2);
    bar.progressDone = 1000;
    EXPECT_EQ(bar.filledWidth(), kWidth);
    bar.progressDone = 5000;  // more than the total
    EXPECT_EQ(bar.filledWidth(), kWidth);
    bar.progressTotal = 1;
    bar.progressDone = ~uint64_t(0);
    EXPECT_EQ(bar.filledWidth(), kWidth);
    bar.render(32, kFace, kHighlight);
    for (int y = 0; y < 24; ++y) EXPECT_EQ(at(kWidth - 1, y), bar.rowColour(y, 0)) << y;
}

TEST_F(BarTest, BelowSixteenBitsIsAPlainHighlightFillOnTheFace) {
    bar.progressTotal = 4;
    bar.progressDone = 1;
    bar.phase = 40;  // would shift the stripes; the plain fill ignores it
    bar.render(8, kFace, kHighlight);
    const int n = kWidth / 4;
    for (int y = 0; y < 24; ++y) {
        EXPECT_EQ(at(0, y), kHighlight) << y;
        EXPECT_EQ(at(n - 1, y), kHighlight) << y;
        EXPECT_EQ(at(n, y), kFace) << y;
        EXPECT_EQ(at(kWidth - 1, y), kFace) << y;
    }
}

TEST(ProgressBar, ANarrowOrEmptyBarDrawsNothing) {
    ProgressAnimation bar;
    bar.setUp(24, 10, 24, 34);  // width 0
    EXPECT_EQ(bar.surface.pixels(), nullptr);
    bar.progressTotal = 10;
    bar.render(32, kFace, kHighlight);  // must not write anywhere
    bar.setUp(24, 10, 100, 10);  // height 0
    EXPECT_TRUE(bar.palette.empty());
    bar.render(32, kFace, kHighlight);
    EXPECT_EQ(bar.rowColour(0, 0), 0u);
}

// A clock that moves only when the pacer sleeps on it, or when the test says so.
class StepClock : public PacerClock {
public:
    uint32_t now() override { return time; }
    void sleep(uint32_t milliseconds) override { time += milliseconds; }
    uint32_t time = 0;
};

TEST(ProgressBar, FrameDrawsAndAdvancesOnlyWhileSwitchedOn) {
    StepClock clock;
    ProgressAnimation bar(clock);
    bar.setUp(0, 0, 64, 24);
    bar.displayDepth = 32;
    bar.progressTotal = 2;
    bar.progressDone = 1;

    animationOn = 0;
    bar.frame(nullptr);
    EXPECT_EQ(bar.phase, 0);
    EXPECT_EQ(bar.surface.pixel(0, 0), 0u);  // nothing rendered while off

    animationOn = 1;
    bar.frame(nullptr);
    EXPECT_EQ(bar.phase, 1);  // one frame on time
    EXPECT_EQ(bar.surface.pixel(0, 0), bar.rowColour(0, 1));
    EXPECT_EQ(bar.surface.pixel(31, 5), bar.rowColour(5, 1));
    EXPECT_EQ(bar.surface.pixel(32, 0), 0u);  // unfilled half is black
    clock.time += 100;  // about six frames late: they are skipped, not run late
    bar.frame(nullptr);
    EXPECT_GE(bar.phase, 7);
    EXPECT_LE(bar.phase, 8);

    // Below 16 bits there is no pacing and no stripe movement.
    bar.displayDepth = 8;
    const int32_t phase = bar.phase;
    bar.frame(nullptr);
    EXPECT_EQ(bar.phase, phase);
    EXPECT_EQ(bar.surface.pixel(0, 0), pixelFromColorRef(GetSysColor(COLOR_HIGHLIGHT)));
    EXPECT_EQ(bar.surface.pixel(63, 0), pixelFromColorRef(GetSysColor(COLOR_BTNFACE)));
    animationOn = 0;
}

TEST(ProgressBar, ColourReferencesBecomePixels) {
    EXPECT_EQ(pixelFromColorRef(RGB(0x11, 0x22, 0x33)), 0x00112233u);
}

} // namespace
} // namespace zrk
