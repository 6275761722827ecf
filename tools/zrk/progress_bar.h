// A one-line progress bar on standard error (percentage, MB/s, time left), drawn only
// when standard error is a terminal so that logs and pipes get none of it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace zrk::tool {

class ProgressBar {
public:
    explicit ProgressBar(std::string label);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void update(uint64_t done, uint64_t total);
    // Ends the line; later updates start a new bar.
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    void draw(uint64_t done, uint64_t total);

    std::string label_;
    bool enabled_;
    bool drawn_ = false;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
};

// The bar's text, apart from the terminal handling.
std::string progressLine(const std::string& label, uint64_t done, uint64_t total, double seconds);

} // namespace zrk::tool
