// Buffers for bulk copies between files. They start on a page boundary: on some
// processors the system's copy between a file's cached pages and a buffer that starts
// a few bytes into a page runs several times slower than the same copy page-aligned.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace zrk {

constexpr std::align_val_t kCopyBufferAlignment{4096};

struct CopyBufferDelete {
    void operator()(unsigned char* p) const { ::operator delete[](p, kCopyBufferAlignment); }
};
using CopyBuffer = std::unique_ptr<unsigned char[], CopyBufferDelete>;

// Empty when the memory cannot be had.
inline CopyBuffer allocateCopyBuffer(size_t size) {
    return CopyBuffer(new (kCopyBufferAlignment, std::nothrow) unsigned char[size]);
}

} // namespace zrk
