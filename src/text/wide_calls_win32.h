// The table of wide-character (W) system calls, resolved by name at start-up so
// that the program still starts on systems that only offer the ANSI calls.
// Every caller asks hasWideCalls() first and calls through the table only then.
#pragma once

#include "platform/windows_api.h"

#include <shellapi.h>
#include <shlobj.h>
#include <commdlg.h>
#include <winver.h>

#include <cstdint>
#include <string>

namespace zrk {

// The seven modules, in the order of loading, each with its functions in the
// order they are looked up. X(module index, function name).
#define ZRK_WIDE_CALL_MODULES(M) \
    M("Kernel32.DLL") M("Shell32.dll") M("USER32.DLL") M("GDI32.DLL") \
    M("Comdlg32.dll") M("Advapi32.dll") M("Version.dll")

#define ZRK_WIDE_CALLS(X) \
    X(0, CopyFileW) X(0, CreateDirectoryW) X(0, CreateFileW) X(0, CreateProcessW) \
    X(0, DeleteFileW) X(0, FindFirstChangeNotificationW) X(0, FindFirstFileW) \
    X(0, FindNextFileW) X(0, GetCurrentDirectoryW) X(0, GetDateFormatW) \
    X(0, GetFileAttributesW) X(0, GetFullPathNameW) X(0, GetModuleFileNameW) \
    X(0, GetPrivateProfileIntW) X(0, GetPrivateProfileStringW) \
    X(0, GetPrivateProfileStructW) X(0, GetTempFileNameW) X(0, GetTempPathW) \
    X(0, GetTimeFormatW) X(0, GlobalMemoryStatusEx) X(0, LoadLibraryW) X(0, MoveFileW) \
    X(0, RemoveDirectoryW) X(0, SetCurrentDirectoryW) X(0, SetFileAttributesW) \
    X(0, WriteConsoleW) X(0, WritePrivateProfileStringW) X(0, WritePrivateProfileStructW) \
    X(1, DragQueryFileW) X(1, ExtractIconExW) X(1, ShellExecuteW) X(1, ShellExecuteExW) \
    X(1, SHBrowseForFolderW) X(1, SHFileOperationW) X(1, SHGetFileInfoW) \
    X(1, SHGetDataFromIDListW) X(1, SHGetPathFromIDListW) \
    X(2, AppendMenuW) X(2, CreateWindowExW) X(2, DrawTextW) X(2, DrawTextExW) \
    X(2, GetDlgItemTextW) X(2, GetWindowTextW) X(2, InsertMenuItemW) X(2, LoadStringW) \
    X(2, SendMessageW) X(2, SetDlgItemTextW) X(2, SetWindowTextW) \
    X(3, CreateFontW) X(3, EnumFontFamiliesExW) X(3, GetGlyphOutlineW) X(3, GetObjectW) \
    X(3, GetTextFaceW) \
    X(4, GetOpenFileNameW) X(4, GetSaveFileNameW) \
    X(5, RegCreateKeyExW) X(5, RegDeleteKeyW) X(5, RegOpenKeyExW) X(5, RegQueryValueExW) \
    X(5, RegSetValueExW) \
    X(6, GetFileVersionInfoW) X(6, GetFileVersionInfoSizeW)

inline constexpr int wideCallModuleCount = 7;
inline constexpr int wideCallCount = 62;

// One entry per function, typed as the system declares it (decltype does not
// import anything). An entry is whatever the lookup returned, possibly null.
struct WideCallTable {
    HMODULE modules[wideCallModuleCount];
#define ZRK_WIDE_CALL_MEMBER(module, name) decltype(&::name) name;
    ZRK_WIDE_CALLS(ZRK_WIDE_CALL_MEMBER)
#undef ZRK_WIDE_CALL_MEMBER
    int loaded;
};

// The process-wide table: loaded during static initialisation, released at exit.
const WideCallTable& wideCalls();

// Resolves the table; does nothing when it is loaded already.
void loadWideCalls();
// Releases the seven modules and marks the table unloaded; the entries are left
// as they are and must not be called afterwards.
void unloadWideCalls();

// 1 when the wide route is used, 0 for the ANSI route. Decided by the first call
// (which also loads the table when wide) and fixed for the life of the process.
int hasWideCalls();

// The route decision for a platform identifier: wide for NT (2) and later.
int wideRouteForPlatform(DWORD platformId);

// UTF-16 text as the W calls take it; wchar_t is 16 bits on Windows.
inline const wchar_t* wideChars(const std::u16string& text) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline wchar_t* wideChars(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* u16Chars(const wchar_t* text) {
    return reinterpret_cast<const char16_t*>(text);
}

} // namespace zrk
