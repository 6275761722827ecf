// Loads system DLLs from the system folder, never from the program's own folder
// or the current directory.
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

} // namespace zrk
