// Loads system DLLs from the system folder, never from the program's own folder
// or the current directory, and sets the process-wide search order at start.
#include "text/system_library_win32.h"

#include <string>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace zrk {

HMODULE loadSystemLibraryByPath(const char* name) {
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::string path(folder, length);
    if (path.back() != '\\') path += '\\';
    path += name;
    // The altered search order makes the library's own dependencies come from
    // its folder (the system folder) first, too.
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE loadSystemLibrary(const char* name) {
    // Systems that know the search flags export AddDllDirectory; older ones
    // reject the flag, so they take the full-path route.
    static const bool hasSearchFlags =
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "AddDllDirectory") != nullptr;
    if (hasSearchFlags) return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return loadSystemLibraryByPath(name);
}

DllSearchOrder setSafeDllSearchOrder() {
    // Both calls are looked up: SetDefaultDllDirectories came with Windows 8 (and
    // an update for Vista and 7), SetDllDirectoryW with XP SP1; importing either
    // would keep the program from starting on systems without it.
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
    using SetDirectory = BOOL(WINAPI*)(LPCWSTR);
    if (const auto set = systemCall<SetDefaultDirectories>(kernel, "SetDefaultDllDirectories"))
        if (set(LOAD_LIBRARY_SEARCH_SYSTEM32)) return DllSearchOrder::SystemFolderOnly;
    // Without the default directories nothing takes the program's own folder out
    // of the order; an empty DLL directory at least takes out the current folder,
    // which is often the download folder too.
    if (const auto set = systemCall<SetDirectory>(kernel, "SetDllDirectoryW"))
        if (set(L"")) return DllSearchOrder::NoCurrentFolder;
    return DllSearchOrder::Unchanged;
}

namespace {

// The earliest point a program can act: the loader runs the TLS callbacks of
// the program at process attach, after its imports are bound and before its
// entry point, so before the run-time library's start-up and every static
// constructor (the wide-call table loads seven libraries in one). The CRT's own
// callbacks are in .CRT$XLC and later; .CRT$XLB runs first.
void NTAPI safeOrderAtProcessStart(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_PROCESS_ATTACH) setSafeDllSearchOrder();
}

} // namespace

} // namespace zrk

extern "C" __attribute__((section(".CRT$XLB"), used))
const PIMAGE_TLS_CALLBACK zrkSafeDllSearchOrderAtStart = zrk::safeOrderAtProcessStart;
