// The wide-call table: resolved by name during static initialisation on every
// system, released at exit. Missing modules or functions leave null entries.
#include "text/wide_calls_win32.h"

#include "text/system_library_win32.h"

#include <atomic>

namespace zrk {

namespace {

// Constant-initialised, so it is usable before any dynamic initialisation runs.
WideCallTable table;
std::atomic<int> route{-1};  // -1 until the first hasWideCalls()

#define ZRK_WIDE_CALL_MODULE_NAME(name) name,
const char* const moduleNames[wideCallModuleCount] = {
    ZRK_WIDE_CALL_MODULES(ZRK_WIDE_CALL_MODULE_NAME)};
#undef ZRK_WIDE_CALL_MODULE_NAME

#define ZRK_WIDE_CALL_COUNT(module, name) +1
static_assert(0 ZRK_WIDE_CALLS(ZRK_WIDE_CALL_COUNT) == wideCallCount);
#undef ZRK_WIDE_CALL_COUNT

struct TableLifetime {
    TableLifetime() { loadWideCalls(); }
    ~TableLifetime() { unloadWideCalls(); }
} tableLifetime;

} // namespace

const WideCallTable& wideCalls() { return table; }

void loadWideCalls() {
    if (table.loaded) return;
    for (int m = 0; m < wideCallModuleCount; ++m) {
        table.modules[m] = loadSystemLibrary(moduleNames[m]);
#define ZRK_WIDE_CALL_RESOLVE(module, name) \
    if (module == m) table.name = systemCall<decltype(table.name)>(table.modules[m], #name);
        ZRK_WIDE_CALLS(ZRK_WIDE_CALL_RESOLVE)
#undef ZRK_WIDE_CALL_RESOLVE
    }
    table.loaded = 1;
}

void unloadWideCalls() {
    for (HMODULE& module : table.modules) {
        if (module != nullptr) FreeLibrary(module);
        module = nullptr;
    }
    table.loaded = 0;
}

int wideRouteForPlatform(DWORD platformId) { return platformId > VER_PLATFORM_WIN32_WINDOWS; }

int hasWideCalls() {
    const int known = route.load();
    if (known >= 0) return known;
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);  // on failure the platform stays 0: the ANSI route
    const int wide = wideRouteForPlatform(info.dwPlatformId);
    route.store(wide);
    if (wide) loadWideCalls();
    return wide;
}

} // namespace zrk
