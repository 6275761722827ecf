// ProgressAnimation: the striped progress bar that the animation thread paints
// straight into the wizard window from a 32-bit pixel buffer.
#pragma once

#include "platform/windows_api.h"
#include "thread/frame_pacer.h"
#include "thread/lock.h"
#include "window/dib_image.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace zrk {

class ProgressAnimation {
public:
    ProgressAnimation() = default;
    explicit ProgressAnimation(PacerClock& clock) : pacer_(clock) {}

    // Called with animationLock held; starts the bar again from zero.
    void setUp(int32_t left, int32_t top, int32_t right, int32_t bottom);
    // One frame, with animationLock held by the caller for its whole length.
    void frame(HWND wizard);
    // Fills the pixel buffer for the current counters and phase; `depth` is the
    // display's bits per pixel, colours are 0x00RRGGBB.
    void render(int32_t depth, uint32_t face, uint32_t highlight);

    uint32_t rowColour(int32_t row, int32_t phase) const;
    int32_t filledWidth() const;

    // Written by the combine side without the lock; a torn read spoils one frame only.
    std::atomic<uint64_t> progressDone{0};
    std::atomic<uint64_t> progressTotal{0};

    int32_t left = 0, top = 0, right = 0, bottom = 0, width = 0, height = 0;
    int32_t phase = 0;
    int32_t phasePeriod = 4096;
    int32_t displayDepth = 32;
    std::vector<uint32_t> palette;
    DibImage surface;

private:
    FramePacer pacer_;
};

// A system colour (0x00BBGGRR) as a pixel (0x00RRGGBB).
uint32_t pixelFromColorRef(COLORREF colour);

// The program-wide bar, its lock and its switch.
ProgressAnimation& progressAnimation();
Lock& animationLock();
extern std::atomic<int32_t> animationOn;

} // namespace zrk
