// Process CPU time (user + kernel) from the system's process accounting.
#include "cpu_clock.h"

#include "platform/windows_api.h"

double processCpuSeconds() {
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user)) return 0;
    auto ticks = [](const FILETIME& f) { return (unsigned long long)f.dwHighDateTime << 32 | f.dwLowDateTime; };
    return double(ticks(kernel) + ticks(user)) * 1e-7;  // 100 ns units
}
