// FileStream's system calls on Windows: CreateFileW through the wide-call table when the
// system has it, CreateFileA on the ANSI route; the file is shared for reading only.
#include "platform/windows_api.h"
#include "stream/file_backend.h"
#include "text/ansi_win32.h"
#include "text/utf.h"
#include "text/wide_calls_win32.h"

namespace zrk::file_backend {
namespace {

HANDLE systemHandle(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

} // namespace

Handle openFile(const std::string& absolutePath, uint32_t mode) {
    static constexpr DWORD kAccess[] = {
        GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE,
    };
    static constexpr bool kCreates[] = {false, false, false, true, true};
    if (mode >= sizeof kAccess / sizeof kAccess[0]) return FileStream::kInvalidHandle;
    auto open = [&](DWORD disposition) {
        if (!hasWideCalls())
            return CreateFileA(utf8ToAnsi(absolutePath).c_str(), kAccess[mode], FILE_SHARE_READ, nullptr,
                               disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (!wideCalls().CreateFileW) return INVALID_HANDLE_VALUE;
        return wideCalls().CreateFileW(wideChars(utf8ToWide(absolutePath)), kAccess[mode], FILE_SHARE_READ, nullptr,
                                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    if (!kCreates[mode]) return reinterpret_cast<Handle>(open(OPEN_EXISTING));
    // A file that is not there yet is made with CREATE_NEW, and only one that is there
    // is truncated. Wine carries out CREATE_ALWAYS as create-then-truncate even for a
    // new file, and on ext4 a file truncated to nothing is written back in full when
    // it is closed (the file system's guard for files rewritten in place): the close of
    // a 2 GiB combine's output then waited for the disk.
    HANDLE handle = open(CREATE_NEW);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) handle = open(CREATE_ALWAYS);
    return reinterpret_cast<Handle>(handle);
}

bool closeFile(Handle handle) { return CloseHandle(systemHandle(handle)) != 0; }

bool readFile(Handle handle, void* buffer, uint32_t count, uint32_t& done) {
    DWORD n = 0;
    const BOOL ok = ReadFile(systemHandle(handle), buffer, count, &n, nullptr);
    done = ok ? n : 0;
    return ok != 0;
}

bool writeFile(Handle handle, const void* buffer, uint32_t count, uint32_t& done) {
    DWORD n = 0;
    const BOOL ok = WriteFile(systemHandle(handle), buffer, count, &n, nullptr);
    done = ok ? n : 0;
    return ok != 0;
}

bool seekFile(Handle handle, uint64_t position) {
    LONG high = LONG(position >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(systemHandle(handle), LONG(uint32_t(position)), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool tellFile(Handle handle, uint64_t& position) {
    LONG high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(systemHandle(handle), 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
    position = uint64_t(uint32_t(high)) << 32 | low;
    return true;
}

bool fileSize(Handle handle, uint64_t& size) {
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(systemHandle(handle), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    size = uint64_t(high) << 32 | low;
    return true;
}

bool setLastWriteTime(Handle handle, uint64_t fileTime) {
    FILETIME time;
    time.dwLowDateTime = DWORD(fileTime);
    time.dwHighDateTime = DWORD(fileTime >> 32);
    return SetFileTime(systemHandle(handle), nullptr, nullptr, &time) != 0;
}

} // namespace zrk::file_backend
