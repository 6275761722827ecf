// Loading system DLLs from the system folder only. The program is typically run
// from a download folder, where a planted DLL named like a system one would
// otherwise be picked up first.
#pragma once

#include "platform/windows_api.h"

namespace zrk {

// LoadLibraryExA with LOAD_LIBRARY_SEARCH_SYSTEM32 where the system supports it,
// otherwise loadSystemLibraryByPath. Null when the library is missing.
HMODULE loadSystemLibrary(const char* name);

// Loads "<system folder>\name" by its full path; the fallback for systems
// without the system-folder search flag.
HMODULE loadSystemLibraryByPath(const char* name);

// A function of a loaded library by name, as the caller's pointer type; null
// when the module is null or lacks the function.
template <typename Entry> Entry systemCall(HMODULE module, const char* name) {
    if (module == nullptr) return nullptr;
    // Through void(*)(): the one function-pointer type every other converts from cleanly.
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The process-wide search order for libraries loaded by name, including those
// the system libraries load on their own later (shell extensions, delay-loads).
enum class DllSearchOrder {
    SystemFolderOnly,  // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)
    NoCurrentFolder,   // SetDllDirectoryW(L""): older systems; the program's folder stays first
    Unchanged,         // neither call exists (before XP SP1)
};

// Sets the safest order the system offers and says which one took. Runs by itself
// at process start, before the run-time library's start-up and every static
// constructor, in any program this file is linked into; the entry points call it
// again, which changes nothing. Calls nothing but kernel32 and loads nothing.
DllSearchOrder setSafeDllSearchOrder();

} // namespace zrk
