// UTF-8 wrappers around system calls that several parts of the program need.
#include "text/call_wrappers_win32.h"

#include <algorithm>

#include "text/ansi_win32.h"
#include "text/utf.h"
#include "text/wide_calls_win32.h"

namespace zrk {

namespace {

uint64_t fileTime(const FILETIME& time) {
    return uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

template <typename FindData> void fillEntry(FileEntry& entry, const FindData& data, std::string name) {
    entry.name = std::move(name);
    entry.attributes = data.dwFileAttributes;
    entry.creationTime = fileTime(data.ftCreationTime);
    entry.lastAccessTime = fileTime(data.ftLastAccessTime);
    entry.lastWriteTime = fileTime(data.ftLastWriteTime);
    entry.size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// The find records are zeroed first, so a failed call leaves a clean entry
// rather than whatever the stack held.
void fillWide(FileEntry& entry, const WIN32_FIND_DATAW& data) {
    fillEntry(entry, data, wideToUtf8(u16Chars(data.cFileName)));
}

void fillAnsi(FileEntry& entry, const WIN32_FIND_DATAA& data) {
    fillEntry(entry, data, ansiToUtf8(data.cFileName));
}

} // namespace

int messageBox(HWND owner, std::string_view text, std::string_view caption, UINT style) {
    if (hasWideCalls())
        return MessageBoxW(owner, wideChars(utf8ToWide(text)), wideChars(utf8ToWide(caption)), style);
    return MessageBoxA(owner, utf8ToAnsi(text).c_str(), utf8ToAnsi(caption).c_str(), style);
}

HWND createWindowEx(DWORD exStyle, std::string_view className, std::string_view title,
                    DWORD style, int x, int y, int width, int height, HWND parent,
                    HMENU menu, HINSTANCE instance, void* parameter) {
    if (hasWideCalls())
        return wideCalls().CreateWindowExW(exStyle, wideChars(utf8ToWide(className)),
                                           wideChars(utf8ToWide(title)), style, x, y, width,
                                           height, parent, menu, instance, parameter);
    return CreateWindowExA(exStyle, utf8ToAnsi(className).c_str(), utf8ToAnsi(title).c_str(),
                           style, x, y, width, height, parent, menu, instance, parameter);
}

BOOL textExtent(HDC dc, std::string_view text, SIZE* size) {
    if (hasWideCalls()) {
        const std::u16string wide = utf8ToWide(text);
        return GetTextExtentPoint32W(dc, wideChars(wide), int(wide.size()), size);
    }
    const std::string ansi = utf8ToAnsi(text);
    return GetTextExtentPoint32A(dc, ansi.c_str(), int(ansi.size()), size);
}

std::string longPathPattern(std::string_view pattern) {
    std::string path(pattern.substr(0, pattern.find('\0')));
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return path;
    // Behind the prefix the system no longer takes '/' as a separator.
    std::replace(path.begin(), path.end(), '/', '\\');
    return "\\\\?\\" + path;
}

HANDLE findFirstFile(std::string_view pattern, FileEntry& entry) {
    if (hasWideCalls()) {
        WIN32_FIND_DATAW data{};
        const HANDLE handle =
            wideCalls().FindFirstFileW(wideChars(utf8ToWide(longPathPattern(pattern))), &data);
        fillWide(entry, data);
        return handle;
    }
    WIN32_FIND_DATAA data{};
    const HANDLE handle = FindFirstFileA(utf8ToAnsi(pattern).c_str(), &data);
    fillAnsi(entry, data);
    return handle;
}

BOOL findNextFile(HANDLE handle, FileEntry& entry) {
    if (hasWideCalls()) {
        WIN32_FIND_DATAW data{};
        const BOOL result = wideCalls().FindNextFileW(handle, &data);
        fillWide(entry, data);
        return result;
    }
    WIN32_FIND_DATAA data{};
    const BOOL result = FindNextFileA(handle, &data);
    fillAnsi(entry, data);
    return result;
}

} // namespace zrk
