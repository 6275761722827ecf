// A Stream over a caller-owned block of memory: never allocates, frees or grows it.
#pragma once

#include <cstdint>

#include "stream/stream.h"

namespace zrk {

class MemoryStream : public Stream {
public:
    MemoryStream() = default;
    ~MemoryStream() override;

    // The block must outlive its use by this stream. Always returns 1.
    int attachBuffer(void* block, int32_t size);
    void detachBuffer();

    int32_t read(void* buffer, uint32_t count) override;
    int32_t write(const void* buffer, uint32_t count) override;
    // Refuses positions at or beyond the block's end (also setting the end flag).
    int seek(uint64_t position) override;
    uint64_t tell() override;

private:
    uint32_t room() const;

    int32_t capacity_ = 0;
    unsigned char* start_ = nullptr;
    unsigned char* current_ = nullptr;
};

} // namespace zrk
