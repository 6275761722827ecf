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

} // namespace zrk
