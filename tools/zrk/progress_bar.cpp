// Progress bar drawing, redrawn at most ten times a second.
#include "progress_bar.h"

#include <cstdio>

#include "console.h"

namespace zrk::tool {

std::string progressLine(const std::string& label, uint64_t done, uint64_t total, double seconds) {
    constexpr int kWidth = 30;
    const double fraction = total == 0 ? 1.0 : double(done) / double(total);
    const int filled = int(fraction * kWidth);
    std::string bar(size_t(filled), '#');
    bar.resize(kWidth, '.');
    const double rate = seconds > 0 ? double(done) / seconds : 0;
    char left[32] = "--:--";
    if (rate > 0 && done < total) {
        const uint64_t s = uint64_t(double(total - done) / rate);
        std::snprintf(left, sizeof left, "%u:%02u", unsigned(s / 60), unsigned(s % 60));
    } else if (done >= total) {
        std::snprintf(left, sizeof left, "0:00");
    }
    char line[256];
    std::snprintf(line, sizeof line, "%s [%s] %3d%%  %7.1f MB/s  %s left", label.c_str(), bar.c_str(),
                  int(fraction * 100), rate / 1e6, left);
    return line;
}

ProgressBar::ProgressBar(std::string label)
    : label_(std::move(label)), enabled_(stderrIsTerminal()), start_(Clock::now()), lastDraw_(start_) {}

ProgressBar::~ProgressBar() { finish(); }

void ProgressBar::update(uint64_t done, uint64_t total) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (drawn_ && done < total && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    draw(done, total);
}

void ProgressBar::draw(uint64_t done, uint64_t total) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    std::fprintf(stderr, "\r%s\x1b[K", progressLine(label_, done, total, seconds).c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::finish() {
    if (!drawn_) return;
    std::fputs("\n", stderr);
    std::fflush(stderr);
    drawn_ = false;
    start_ = Clock::now();
}

} // namespace zrk::tool
