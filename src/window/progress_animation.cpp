// ProgressAnimation: palette, row colours, filled width and the frame routine.
#include "window/progress_animation.h"

#include "platform/handle_traits_win32.h"

#include <algorithm>
#include <cmath>

namespace zrk {

std::atomic<int32_t> animationOn{0};

ProgressAnimation& progressAnimation() {
    static ProgressAnimation animation;
    return animation;
}

Lock& animationLock() {
    static Lock lock;
    return lock;
}

uint32_t pixelFromColorRef(COLORREF colour) {
    return (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
}

namespace {

uint32_t channel(double value) {
    return uint32_t(std::clamp(value, 0.0, 255.0));
}

} // namespace

void ProgressAnimation::setUp(int32_t l, int32_t t, int32_t r, int32_t b) {
    left = l;
    top = t;
    right = r;
    bottom = b;
    width = r - l;
    height = b - t;
    progressDone = 0;
    progressTotal = 0;
    phase = 0;
    phasePeriod = 4096;
    palette.assign(height > 0 ? size_t(height) : 0, 0);
    pacer_.reset();
    surface.create(width, height, 32);
    for (int32_t i = 0; i < height; ++i) {
        const double f = double(i) / height;
        const double k = (1 + f) / 2;
        const double cube = 256 * f * f * f;
        palette[size_t(i)] = channel(cube + 48 * k) << 16 | channel(cube + 128 * k) << 8 | channel(cube + 272 * k);
    }
    const CreatedDc display(CreateICA("Display", nullptr, nullptr, nullptr));
    if (display) displayDepth = GetDeviceCaps(display.get(), BITSPIXEL);
}

uint32_t ProgressAnimation::rowColour(int32_t row, int32_t p) const {
    if (palette.empty()) return 0;
    const int32_t c = std::clamp(row + 4 - ((row + p / 4) % 4), 0, height - 1);
    return palette[size_t(c)];
}

int32_t ProgressAnimation::filledWidth() const {
    const uint64_t total = progressTotal;
    if (total == 0) return 0;
    const double share = double(progressDone.load()) / double(total);
    // Compared in floating point first: a huge share must not overflow the cast.
    const double filled = std::floor(share * width);
    if (filled >= width) return std::max(width, 1);
    return std::max(1, int32_t(filled));
}

void ProgressAnimation::render(int32_t depth, uint32_t face, uint32_t highlight) {
    uint32_t* const rows = reinterpret_cast<uint32_t*>(surface.pixels());
    if (!rows || width <= 0 || height <= 0) return;
    const int32_t n = std::min(filledWidth(), width);
    const int32_t perRow = surface.stride() / 4;
    const bool plain = depth < 16;
    const uint32_t unfilled = plain || progressTotal == 0 ? face : 0;
    for (int32_t i = 0; i < height; ++i) {
        uint32_t* row = rows + size_t(i) * size_t(perRow);
        const uint32_t fill = plain ? highlight : rowColour(i, phase);
        std::fill(row, row + n, fill);
        std::fill(row + n, row + width, unfilled);
    }
}

void ProgressAnimation::frame(HWND wizard) {
    if (animationOn == 0) {
        Sleep(50);
        return;
    }
    const uint32_t face = pixelFromColorRef(GetSysColor(COLOR_BTNFACE));
    DWORD pause = 50;
    if (displayDepth >= 16) {
        pacer_.tick();
        phase = (phase + pacer_.framesAdvanced) % phasePeriod;
        if (phase < 0) phase += phasePeriod;
        pause = 1;
    }
    render(displayDepth, face, pixelFromColorRef(GetSysColor(COLOR_HIGHLIGHT)));
    if (surface.pixels()) {
        const WindowDc dc = windowDc(wizard);
        SetDIBitsToDevice(dc.get(), left, top, DWORD(width), DWORD(height), 0, 0, 0, UINT(height),
                          surface.pixels(), surface.header(), DIB_RGB_COLORS);
    }
    Sleep(pause);
}

} // namespace zrk
