// FileStream's system calls on POSIX: open/read/write/lseek/fstat/futimens on a
// descriptor. Path and time conversions are described at the top of paths_posix.cpp.
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "stream/file_backend.h"
#include "stream/posix_path.h"

namespace zrk::file_backend {
namespace {

int descriptor(Handle handle) { return int(intptr_t(handle)); }

} // namespace

Handle openFile(const std::string& absolutePath, uint32_t mode) {
    static constexpr int kFlags[] = {
        O_RDONLY, O_WRONLY, O_RDWR, O_WRONLY | O_CREAT | O_TRUNC, O_RDWR | O_CREAT | O_TRUNC,
    };
    if (mode >= sizeof kFlags / sizeof kFlags[0]) return FileStream::kInvalidHandle;
    int fd;
    do {
        fd = ::open(posix_path::toHost(absolutePath).c_str(), kFlags[mode] | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return FileStream::kInvalidHandle;
    // A folder opens for reading here but not on Windows; keep one behaviour.
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return FileStream::kInvalidHandle;
    }
    return Handle(intptr_t(fd));
}

bool closeFile(Handle handle) {
    // The descriptor is gone even when close fails (EINTR included): never retried.
    return ::close(descriptor(handle)) == 0 || errno == EINTR;
}

bool readFile(Handle handle, void* buffer, uint32_t count, uint32_t& done) {
    ssize_t n;
    do {
        n = ::read(descriptor(handle), buffer, count);
    } while (n < 0 && errno == EINTR);
    done = n > 0 ? uint32_t(n) : 0;
    return n >= 0;
}

bool writeFile(Handle handle, const void* buffer, uint32_t count, uint32_t& done) {
    ssize_t n;
    do {
        n = ::write(descriptor(handle), buffer, count);
    } while (n < 0 && errno == EINTR);
    done = n > 0 ? uint32_t(n) : 0;
    return n >= 0;
}

bool seekFile(Handle handle, uint64_t position) {
    if (position > uint64_t(INT64_MAX)) return false;
    return lseek(descriptor(handle), off_t(position), SEEK_SET) != off_t(-1);
}

bool tellFile(Handle handle, uint64_t& position) {
    const off_t at = lseek(descriptor(handle), 0, SEEK_CUR);
    if (at < 0) return false;
    position = uint64_t(at);
    return true;
}

bool fileSize(Handle handle, uint64_t& size) {
    struct stat info;
    if (fstat(descriptor(handle), &info) != 0) return false;
    size = uint64_t(info.st_size);
    return true;
}

bool setLastWriteTime(Handle handle, uint64_t fileTime) {
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // the access time stays
    times[1] = posix_path::fromFileTime(fileTime);
    return futimens(descriptor(handle), times) == 0;
}

} // namespace zrk::file_backend
