// FileStream's logic over the platform's file calls (file_backend.h).
#include "stream/file_stream.h"

#include <new>

#include "stream/file_backend.h"
#include "stream/paths.h"

namespace zrk {

namespace {
// Counts are reported as signed 32-bit values, so one call moves at most this much.
constexpr uint32_t kMaxTransfer = 0x7FFFFFFF;
// A write reaches the system in pieces of at most this much. The page cache gives a
// write folios up to its own size. On the virtual machines we test on, free 2 MiB blocks
// are handed back to the host, and the first touch of such memory waits for the host: a
// writer of large folios, which only large free blocks can serve, meets that far more
// often than one of small folios, which mostly reuses the pages freed just before. A
// 2 GiB file written 1 MiB at a time took 4.4 to 5.2 s where 64 KiB at a time took
// about 0.5 s (`cat` 0.65 s); docs/RELIABILITY.md has the traces.
constexpr uint32_t kWritePiece = 1u << 16;
} // namespace

FileStream::~FileStream() { release(); }

int32_t FileStream::read(void* buffer, uint32_t count) {
    if (count > kMaxTransfer) count = kMaxTransfer;
    uint32_t done = 0;
    if (handle_ == kInvalidHandle || !file_backend::readFile(handle_, buffer, count, done)) return 0;
    if (done == 0) endFlag_ = 1;
    return int32_t(done);
}

int32_t FileStream::write(const void* buffer, uint32_t count) {
    if (count > kMaxTransfer) count = kMaxTransfer;
    if (handle_ == kInvalidHandle) return 0;
    const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
    uint32_t total = 0;
    while (total < count) {
        const uint32_t piece = count - total < kWritePiece ? count - total : kWritePiece;
        uint32_t done = 0;
        if (!file_backend::writeFile(handle_, bytes + total, piece, done)) break;
        total += done;
        if (done != piece) break;
    }
    return int32_t(total);
}

int FileStream::seek(uint64_t position) {
    return handle_ != kInvalidHandle && file_backend::seekFile(handle_, position) ? 1 : 0;
}

uint64_t FileStream::tell() {
    uint64_t position = 0;
    if (handle_ == kInvalidHandle || !file_backend::tellFile(handle_, position)) return kNoPosition;
    return position;
}

std::string FileStream::path() const { return path_; }

int FileStream::reopen(uint32_t mode) {
    if (path_.empty()) return 0;
    const std::string stored = path_;  // open() overwrites path_ with its argument
    return open(stored, mode);
}

int FileStream::openRead(const std::string& path) { return open(path, ReadExisting); }

int FileStream::open(const std::string& path, uint32_t mode) {
    path_ = path;
    mode_ = mode;
    const std::string absolute = makeAbsolute(path);
    if (mode > CreateReadWrite) return 0;
    // Opening over a handle still held would lose it for the rest of the process.
    close();
    handle_ = file_backend::openFile(absolute, mode);
    if (handle_ == kInvalidHandle) return 0;
    if (!file_backend::fileSize(handle_, size_)) size_ = 0;
    if (size_ != 0) endFlag_ = 0;
    return 1;
}

int FileStream::close() {
    const bool closed = handle_ == kInvalidHandle || file_backend::closeFile(handle_);
    handle_ = kInvalidHandle;
    return closed ? 1 : 0;
}

int FileStream::loadWhole(const std::string& path) {
    if (!openRead(path)) return 0;
    // A file of 4 GiB or more cannot be held in one buffer: refuse it before allocating
    // a buffer of its truncated size.
    if (size_ > kMaxTransfer) {
        close();
        return 0;
    }
    const uint32_t length = uint32_t(size_);
    delete[] loaded_;
    loaded_ = new (std::nothrow) unsigned char[length ? length : 1];
    if (!loaded_) {
        close();
        return 0;
    }
    uint32_t done = 0;
    if (!file_backend::readFile(handle_, loaded_, length, done) || done != length) {
        close();
        return 0;
    }
    return 1;
}

FileStream::Handle FileStream::handle() const { return handle_; }

uint64_t FileStream::size() {
    if (mode_ != ReadExisting) {
        if (handle_ == kInvalidHandle || !file_backend::fileSize(handle_, size_)) size_ = 0;
    }
    return size_;
}

const unsigned char* FileStream::loadedBuffer() const { return loaded_; }

void FileStream::release() {
    close();
    delete[] loaded_;
    loaded_ = nullptr;
    size_ = 0;
}

int FileStream::setLastWriteTime(uint64_t fileTime) {
    return handle_ != kInvalidHandle && file_backend::setLastWriteTime(handle_, fileTime) ? 1 : 0;
}

} // namespace zrk
