// The pacer's system clock on POSIX systems: the monotonic clock in milliseconds.
#include "thread/frame_pacer.h"

#include <chrono>
#include <thread>

namespace zrk {

namespace {
class SteadyClock final : public PacerClock {
public:
    uint32_t now() override {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
    void sleep(uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};
} // namespace

PacerClock& systemPacerClock() {
    static SteadyClock clock;
    return clock;
}

} // namespace zrk
