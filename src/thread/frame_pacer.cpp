// FramePacer: frame lengths that add up to exactly one second, with the overshoot
// of each wait carried into the next and whole frames skipped when behind.
#include "thread/frame_pacer.h"

namespace zrk {

FramePacer::FramePacer(PacerClock& clock) : clock_(clock) { reset(); }

void FramePacer::reset() {
    lastTick = clock_.now();
    frameIndex = 0;
    lag = 0;
}

uint32_t FramePacer::frameLength(uint32_t index) const {
    return (index + 1) * 1000 / framesPerSecond - index * 1000 / framesPerSecond;
}

int FramePacer::tick() {
    if (framesPerSecond == 0) return 0;
    // A rate changed mid-second could leave the index out of range.
    if (frameIndex >= framesPerSecond) frameIndex = 0;
    const uint32_t length = frameLength(frameIndex);
    // A lag beyond the frame means it is due already (no wrap to a huge wait).
    const uint32_t target = lag < length ? length - lag : 0;
    frameIndex = (frameIndex + 1) % framesPerSecond;

    clock_.beginPrecise();
    uint32_t now = clock_.now();
    while (now - lastTick < target) {
        clock_.sleep(lastTick + target - now);
        now = clock_.now();
    }
    clock_.endPrecise();

    lag = (now - lastTick) - target;
    framesAdvanced = 1;
    while (lag >= frameLength(frameIndex)) {
        lag -= frameLength(frameIndex);
        ++framesAdvanced;
        frameIndex = (frameIndex + 1) % framesPerSecond;
    }
    lastTick = now;
    return 1;
}

} // namespace zrk
