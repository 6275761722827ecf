// Test-only Stream over a growable byte vector: counts calls and can be told to fail
// a chosen write, so chunk and container code can be driven through its failure paths.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "stream/stream.h"

namespace zrk::testing {

class VectorStream : public Stream {
public:
    VectorStream() = default;
    explicit VectorStream(std::vector<unsigned char> bytes) : bytes(std::move(bytes)) {}

    int32_t read(void* buffer, uint32_t count) override {
        ++reads;
        uint64_t n = position < bytes.size() ? std::min<uint64_t>(count, bytes.size() - position) : 0;
        if (n) std::memcpy(buffer, bytes.data() + position, n);
        position += n;
        return int32_t(n);
    }
    int32_t write(const void* buffer, uint32_t count) override {
        ++writes;
        if (failWrite != 0 && writes == failWrite) return 0;
        if (bytes.size() < position + count) bytes.resize(position + count, 0);
        if (count) std::memcpy(bytes.data() + position, buffer, count);
        position += count;
        return int32_t(count);
    }
    int seek(uint64_t to) override {
        ++seeks;
        if (failSeeks) return 0;
        position = to;
        return 1;
    }
    uint64_t tell() override { return failTell ? kNoPosition : position; }

    std::vector<unsigned char> bytes;
    uint64_t position = 0;
    int reads = 0, writes = 0, seeks = 0;
    int failWrite = 0;  // 1-based index of the write that fails; 0: none
    bool failSeeks = false, failTell = false;
};

} // namespace zrk::testing
