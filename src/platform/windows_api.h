// The one place that includes <windows.h>: every Windows-only file includes this instead,
// so the target version and the lean, macro-free form are the same everywhere.
#pragma once

#ifndef _WIN32
#error "windows_api.h is for the Windows build only"
#endif

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0501  // Windows XP: the oldest system the program still starts on
#endif

#include <windows.h>
