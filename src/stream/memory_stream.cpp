// MemoryStream: reads and writes in place within the attached block, never past its end.
#include "stream/memory_stream.h"

#include <cstring>

namespace zrk {

MemoryStream::~MemoryStream() { detachBuffer(); }

int MemoryStream::attachBuffer(void* block, int32_t size) {
    start_ = current_ = static_cast<unsigned char*>(block);
    capacity_ = size;
    endFlag_ = 0;
    return 1;
}

void MemoryStream::detachBuffer() {
    capacity_ = 0;
    start_ = current_ = nullptr;
}

uint32_t MemoryStream::room() const {
    const int64_t used = current_ - start_;
    return used < capacity_ ? uint32_t(capacity_ - used) : 0;
}

int32_t MemoryStream::read(void* buffer, uint32_t count) {
    const uint32_t n = count < room() ? count : room();
    if (n) std::memcpy(buffer, current_, n);
    current_ += n;
    if (room() == 0) endFlag_ = 1;
    return int32_t(n);
}

int32_t MemoryStream::write(const void* buffer, uint32_t count) {
    const uint32_t n = count < room() ? count : room();
    if (n) std::memcpy(current_, buffer, n);
    current_ += n;
    if (room() == 0) endFlag_ = 1;
    return int32_t(n);
}

int MemoryStream::seek(uint64_t position) {
    if (position > 0x7FFFFFFF) return 0;
    if (int64_t(position) >= capacity_) {
        endFlag_ = 1;
        return 0;
    }
    current_ = start_ + position;
    endFlag_ = 0;
    return 1;
}

uint64_t MemoryStream::tell() { return uint64_t(current_ - start_); }

} // namespace zrk
