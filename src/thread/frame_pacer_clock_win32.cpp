// The pacer's system clock on Windows: the multimedia timer of winmm, loaded
// from the system folder at first use rather than imported.
#include "thread/frame_pacer.h"

#include "platform/handle_traits_win32.h"
#include "text/system_library_win32.h"

namespace zrk {

namespace {

using TimeGetTime = DWORD(WINAPI*)();
using TimePeriod = UINT(WINAPI*)(UINT);

class MultimediaClock final : public PacerClock {
public:
    MultimediaClock()
        : module_(loadSystemLibrary("winmm.dll")),
          timeGetTime_(systemCall<TimeGetTime>(module_.get(), "timeGetTime")),
          timeBeginPeriod_(systemCall<TimePeriod>(module_.get(), "timeBeginPeriod")),
          timeEndPeriod_(systemCall<TimePeriod>(module_.get(), "timeEndPeriod")) {}

    // Without winmm the tick count still gives milliseconds, only coarser.
    uint32_t now() override { return timeGetTime_ ? timeGetTime_() : GetTickCount(); }
    void sleep(uint32_t milliseconds) override { Sleep(milliseconds); }
    void beginPrecise() override {
        if (timeBeginPeriod_) timeBeginPeriod_(1);
    }
    void endPrecise() override {
        if (timeEndPeriod_) timeEndPeriod_(1);
    }

private:
    ModuleHandle module_;
    TimeGetTime timeGetTime_;
    TimePeriod timeBeginPeriod_;
    TimePeriod timeEndPeriod_;
};

} // namespace

PacerClock& systemPacerClock() {
    static MultimediaClock clock;
    return clock;
}

} // namespace zrk
