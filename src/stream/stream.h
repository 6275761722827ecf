// The byte-stream interface every reader and writer works through: positioned,
// failures as counts and 1/0 results, little-endian helpers and length-prefixed strings.
#pragma once

#include <cstdint>
#include <string>

namespace zrk {

class Stream {
public:
    // The longest length-prefixed string readString will allocate. Stored strings are
    // names and interface texts; a larger length is damage, not data.
    static constexpr uint32_t kMaxStringLength = 64u << 20;

    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    virtual ~Stream();

    // 1 once nothing more can be read; a new stream starts at its end.
    virtual uint32_t isAtEnd() const;

    // Transfers return the number of bytes moved (0 on failure) and never throw.
    virtual int32_t read(void* buffer, uint32_t count) = 0;
    virtual int32_t write(const void* buffer, uint32_t count) = 0;
    // Absolute position from the start; 1 on success, 0 on failure.
    virtual int seek(uint64_t position) = 0;
    // The current position, or kNoPosition on failure.
    virtual uint64_t tell() = 0;

    // One write each, little-endian; the count written, as write() returns it.
    virtual int32_t writeU8(uint8_t value);
    virtual int32_t writeU32(uint32_t value);

    // A 32-bit little-endian byte count, then that many bytes. A short stream, or a
    // length that cannot or should not be allocated, reads as the empty string.
    virtual std::string readString();
    virtual void writeString(const std::string& text);

    static constexpr uint64_t kNoPosition = ~uint64_t(0);

protected:
    uint32_t endFlag_ = 1;
};

} // namespace zrk
