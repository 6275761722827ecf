// The path functions' system calls on Windows: the wide route through the wide-call
// table (with the "\\?\" long-path prefix where it applies), the ANSI route otherwise.
#include <algorithm>
#include <memory>
#include <new>

#include "platform/handle_traits_win32.h"
#include "stream/file_stream.h"
#include "stream/path_backend.h"
#include "stream/paths.h"
#include "text/ansi_win32.h"
#include "text/call_wrappers_win32.h"
#include "text/utf.h"
#include "text/wide_calls_win32.h"

namespace zrk {
namespace {

// getAttributes and setAttributes prefix every path, even one that already starts
// with two backslashes: their callers pass absolute local paths. The prefix also turns
// off the system's own reading of the path, which takes '/' as a separator; a folder
// typed as "C:/out" must still work, so the slashes are turned here.
std::u16string alwaysPrefixed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return utf8ToWide("\\\\?\\" + path);
}

} // namespace

std::string modulePath() {
    constexpr DWORD kCapacity = 65535;
    if (hasWideCalls()) {
        std::unique_ptr<char16_t[]> buffer(new (std::nothrow) char16_t[kCapacity + 1]);
        if (!buffer || !wideCalls().GetModuleFileNameW) return {};
        const DWORD n = wideCalls().GetModuleFileNameW(nullptr, wideChars(buffer.get()), kCapacity);
        return wideToUtf8(std::u16string_view(buffer.get(), n));
    }
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCapacity + 1]);
    if (!buffer) return {};
    const DWORD n = GetModuleFileNameA(nullptr, buffer.get(), kCapacity);
    return ansiToUtf8(std::string_view(buffer.get(), n));
}

int pathExists(const std::string& path) {
    std::string pattern = makeAbsolute(path);
    if (!pattern.empty() && pattern.back() == '\\') pattern += "*.*";
    // The wrapper puts the long-path prefix in front on the wide route.
    FileEntry entry;
    FindHandle search(findFirstFile(pattern, entry));
    return search ? 1 : 0;
}

uint32_t getAttributes(const std::string& path) {
    if (hasWideCalls()) {
        if (!wideCalls().GetFileAttributesW) return kNoAttributes;
        return wideCalls().GetFileAttributesW(wideChars(alwaysPrefixed(path)));
    }
    return GetFileAttributesA(utf8ToAnsi(path).c_str());
}

int setAttributes(const std::string& path, uint32_t attributes) {
    if (hasWideCalls()) {
        if (!wideCalls().SetFileAttributesW) return 0;
        return wideCalls().SetFileAttributesW(wideChars(alwaysPrefixed(path)), attributes) ? 1 : 0;
    }
    return SetFileAttributesA(utf8ToAnsi(path).c_str(), attributes) ? 1 : 0;
}

int replaceFile(const std::string& from, const std::string& to) {
    const std::string a = makeAbsolute(from);
    const std::string b = makeAbsolute(to);
    if (hasWideCalls()) {
        // Every system with the wide calls has MoveFileExW; the prefix lifts the path limit.
        return MoveFileExW(wideChars(alwaysPrefixed(a)), wideChars(alwaysPrefixed(b)), MOVEFILE_REPLACE_EXISTING)
                   ? 1
                   : 0;
    }
    const std::string ansiFrom = utf8ToAnsi(a), ansiTo = utf8ToAnsi(b);
    if (ansiFrom.empty() || ansiTo.empty()) return 0;
    if (MoveFileExA(ansiFrom.c_str(), ansiTo.c_str(), MOVEFILE_REPLACE_EXISTING)) return 1;
    // Older systems without MoveFileEx: the target goes first, then the move.
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return 0;
    if (GetFileAttributesA(ansiTo.c_str()) != INVALID_FILE_ATTRIBUTES && !DeleteFileA(ansiTo.c_str())) return 0;
    return MoveFileA(ansiFrom.c_str(), ansiTo.c_str()) ? 1 : 0;
}

namespace {

// The stream the system writes a downloaded file's zone into, and the most of it that
// is read back (the usual mark is well under 200 bytes).
constexpr const char* kZoneStream = ":Zone.Identifier";
constexpr uint64_t kMaxZoneMark = 64 * 1024;

// Whether the volume holding `path` keeps named streams. Elsewhere "file:stream" is no
// stream: FAT refuses the name, and a file system that allows colons in names (Wine
// over a Unix folder) would make it a second file beside the first.
bool keepsNamedStreams(const std::string& path) {
    if (!hasWideCalls()) return false;
    using VolumePathName = BOOL(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
    // Not in every system's kernel32 (it finds mounted folders too); the drive or share
    // root serves where it is missing.
    static const auto volumePathName = reinterpret_cast<VolumePathName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetVolumePathNameW")));
    const std::u16string wide = utf8ToWide(path);
    std::u16string root(wide.size() + 2, u'\0');
    if (volumePathName && volumePathName(wideChars(wide), wideChars(root.data()), DWORD(root.size()))) {
        root.resize(std::char_traits<char16_t>::length(root.c_str()));
    } else {
        const std::string drive = path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) + "\\" : std::string();
        if (drive.empty()) return false;
        root = utf8ToWide(drive);
    }
    DWORD flags = 0;
    return GetVolumeInformationW(wideChars(root), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
           (flags & FILE_NAMED_STREAMS) != 0;
}

} // namespace

std::string zoneMark(const std::string& path) {
    if (!keepsNamedStreams(makeAbsolute(path))) return {};
    FileStream stream;
    if (!stream.open(makeAbsolute(path) + kZoneStream, ReadExisting)) return {};
    const uint64_t size = stream.size();
    if (size == 0 || size > kMaxZoneMark) return {};
    std::string mark(size_t(size), '\0');
    if (stream.read(mark.data(), uint32_t(size)) != int32_t(size)) return {};
    return mark;
}

int setZoneMark(const std::string& path, const std::string& mark) {
    if (!keepsNamedStreams(makeAbsolute(path))) return 0;
    FileStream stream;
    if (!stream.open(makeAbsolute(path) + kZoneStream, CreateWrite)) return 0;
    if (stream.write(mark.data(), uint32_t(mark.size())) != int32_t(mark.size())) return 0;
    return stream.close();
}

int removeFile(const std::string& path) {
    const std::string absolute = makeAbsolute(path);
    if (hasWideCalls()) {
        if (!wideCalls().DeleteFileW) return 0;
        return wideCalls().DeleteFileW(wideChars(alwaysPrefixed(absolute))) ? 1 : 0;
    }
    const std::string ansi = utf8ToAnsi(absolute);
    return !ansi.empty() && DeleteFileA(ansi.c_str()) ? 1 : 0;
}

uint32_t listFiles(const std::string& folder, const std::string& pattern, std::vector<FileEntry>& entries) {
    const std::string search = joinPath(folder, pattern);
    FileEntry entry;
    FindHandle handle(findFirstFile(search, entry));
    if (!handle) return 0;
    uint32_t count = 0;
    do {
        if (entry.attributes & (kAttributeFolder | kAttributeTemporary)) continue;
        entries.push_back(entry);
        ++count;
    } while (findNextFile(handle.get(), entry));
    return count;
}

namespace path_backend {

uint32_t plainAttributes(const std::string& path) {
    if (hasWideCalls()) {
        if (!wideCalls().GetFileAttributesW) return kNoAttributes;
        return wideCalls().GetFileAttributesW(wideChars(utf8ToWide(path)));
    }
    return GetFileAttributesA(utf8ToAnsi(path).c_str());
}

bool makeFolder(const std::string& path) {
    if (hasWideCalls())
        return wideCalls().CreateDirectoryW && wideCalls().CreateDirectoryW(wideChars(utf8ToWide(path)), nullptr);
    return CreateDirectoryA(utf8ToAnsi(path).c_str(), nullptr) != 0;
}

} // namespace path_backend
} // namespace zrk
