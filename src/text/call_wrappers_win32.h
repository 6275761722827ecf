// System calls that take UTF-8 and choose the wide or the ANSI route by
// hasWideCalls(): message box, window creation, text extent, file search.
#pragma once

#include "platform/windows_api.h"
#include "text/file_entry.h"

#include <string>
#include <string_view>

namespace zrk {

// All texts end at their first zero byte. Results are the system calls' own.
int messageBox(HWND owner, std::string_view text, std::string_view caption, UINT style);

HWND createWindowEx(DWORD exStyle, std::string_view className, std::string_view title,
                    DWORD style, int x, int y, int width, int height, HWND parent,
                    HMENU menu, HINSTANCE instance, void* parameter);

BOOL textExtent(HDC dc, std::string_view text, SIZE* size);

// The caller closes the handle with FindClose (a FindHandle does). `entry` is filled
// after every call; when the call failed it holds an empty name and zeros.
HANDLE findFirstFile(std::string_view pattern, FileEntry& entry);
BOOL findNextFile(HANDLE handle, FileEntry& entry);

// The pattern as the wide route passes it: "\\?\" in front, and '/' turned into '\',
// unless it starts with two backslashes already (a network path, or one that carries
// the prefix).
std::string longPathPattern(std::string_view pattern);

} // namespace zrk
