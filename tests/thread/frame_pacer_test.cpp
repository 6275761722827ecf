// FramePacer arithmetic against a simulated clock: no real time passes.
#include "thread/frame_pacer.h"

#include <gtest/gtest.h>

#include <vector>

namespace zrk {
namespace {

class FakeClock : public PacerClock {
public:
    explicit FakeClock(uint32_t start = 0) : time(start) {}
    uint32_t now() override { return time; }
    void sleep(uint32_t milliseconds) override {
        ++sleeps;
        time += milliseconds + oversleep;
    }
    void beginPrecise() override { ++precise; }
    void endPrecise() override { --precise; }

    uint32_t time;
    uint32_t oversleep = 0;
    int sleeps = 0;
    int precise = 0;
};

TEST(FramePacer, OneSecondOfOnTimeTicks) {
    for (uint32_t start : {0u, 0xFFFFFF00u}) {  // also across the 32-bit clock's wrap
        FakeClock clock(start);
        FramePacer pacer(clock);
        std::vector<uint32_t> lengths;
        for (int i = 0; i < 60; ++i) {
            const uint32_t before = clock.time;
            ASSERT_EQ(pacer.tick(), 1);
            lengths.push_back(clock.time - before);
            EXPECT_EQ(pacer.framesAdvanced, 1);
            EXPECT_EQ(pacer.lag, 0u);
        }
        EXPECT_EQ(clock.time - start, 1000u);
        for (size_t i = 0; i < lengths.size(); ++i)
            EXPECT_EQ(lengths[i], i % 3 == 0 ? 16u : 17u) << "frame " << i;
        EXPECT_EQ(pacer.frameIndex, 0u);
        EXPECT_EQ(clock.precise, 0);  // every raise of the resolution was undone
    }
}

TEST(FramePacer, OversleepIsCarriedIntoTheNextFrame) {
    FakeClock clock;
    clock.oversleep = 1;
    FramePacer pacer(clock);
    for (int i = 0; i < 60; ++i) ASSERT_EQ(pacer.tick(), 1);
    // Each frame is shortened by the last one's overshoot, so a second stays a second.
    EXPECT_EQ(clock.time, 1001u);
    EXPECT_EQ(pacer.lag, 1u);
}

TEST(FramePacer, LateTickSkipsFrames) {
    // Frames 0, 1, 2 last 16, 17, 17: 40 ms late at frame 0 leaves 40 - 17 - 17 = 6.
    FakeClock clock;
    FramePacer pacer(clock);
    clock.time = 16 + 40;
    ASSERT_EQ(pacer.tick(), 1);
    EXPECT_EQ(clock.sleeps, 0);
    EXPECT_EQ(pacer.framesAdvanced, 3);
    EXPECT_EQ(pacer.lag, 6u);
    EXPECT_EQ(pacer.frameIndex, 3u);

    // From frame 2 (lengths 17, 16, 17): 40 - 16 - 17 = 7.
    FakeClock other;
    FramePacer second(other);
    second.frameIndex = 2;
    other.time = 17 + 40;
    ASSERT_EQ(second.tick(), 1);
    EXPECT_EQ(second.framesAdvanced, 3);
    EXPECT_EQ(second.lag, 7u);

    // The next tick waits only the remainder of its frame.
    const uint32_t before = other.time;
    ASSERT_EQ(second.tick(), 1);
    EXPECT_EQ(other.time - before, second.frameLength(5) - 7);
}

TEST(FramePacer, ZeroFramesPerSecondReturnsAtOnce) {
    FakeClock clock(5);
    FramePacer pacer(clock);
    pacer.framesPerSecond = 0;
    EXPECT_EQ(pacer.tick(), 0);
    EXPECT_EQ(clock.time, 5u);
    EXPECT_EQ(clock.sleeps, 0);
}

TEST(FramePacer, FrameLengthsAddUpToOneSecond) {
    FakeClock clock;
    FramePacer pacer(clock);
    for (uint32_t fps : {1u, 7u, 24u, 60u, 144u, 1000u, 3000u}) {
        pacer.framesPerSecond = fps;
        uint32_t sum = 0;
        for (uint32_t i = 0; i < fps; ++i) sum += pacer.frameLength(i);
        EXPECT_EQ(sum, 1000u) << fps;
    }
}

TEST(FramePacer, RatesAboveOneThousandDoNotHang) {
    // Some frames then last 0 ms; catching up passes over them and ends.
    FakeClock clock;
    FramePacer pacer(clock);
    pacer.framesPerSecond = 3000;
    clock.time = 5;
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(pacer.tick(), 1);
    EXPECT_EQ(pacer.lag, 0u);
}

TEST(FramePacer, ResetRestartsTheSecond) {
    FakeClock clock;
    FramePacer pacer(clock);
    pacer.tick();
    clock.time = 500;
    pacer.reset();
    EXPECT_EQ(pacer.lastTick, 500u);
    EXPECT_EQ(pacer.frameIndex, 0u);
    EXPECT_EQ(pacer.lag, 0u);
}

} // namespace
} // namespace zrk
