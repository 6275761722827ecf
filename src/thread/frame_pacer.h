// FramePacer: paces a loop to a fixed number of frames per second, skipping
// frames when the caller falls behind rather than running them late.
#pragma once

#include <cstdint>

namespace zrk {

// Where the pacer reads the time and sleeps; tests give it a simulated clock.
class PacerClock {
public:
    virtual ~PacerClock() = default;
    virtual uint32_t now() = 0;  // milliseconds, wrapping
    virtual void sleep(uint32_t milliseconds) = 0;
    // Bracket a wait: the system raises its timer resolution to 1 ms meanwhile.
    virtual void beginPrecise() {}
    virtual void endPrecise() {}
};

// The system's millisecond clock (on Windows the multimedia timer).
PacerClock& systemPacerClock();

class FramePacer {
public:
    explicit FramePacer(PacerClock& clock = systemPacerClock());
    virtual ~FramePacer() = default;

    // Last tick = now, frame index = 0, lag = 0.
    void reset();
    // Waits until the next frame is due; 1, or 0 at once when framesPerSecond is 0.
    int tick();

    // Length in ms of frame `index` of a second; one second's lengths sum to 1000.
    uint32_t frameLength(uint32_t index) const;

    uint32_t lastTick = 0;
    uint32_t framesPerSecond = 60;
    uint32_t frameIndex = 0;
    uint32_t lag = 0;
    int32_t framesAdvanced = 0;

private:
    PacerClock& clock_;
};

} // namespace zrk
