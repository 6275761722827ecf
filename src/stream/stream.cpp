// The shared operations of Stream, built on read and write.
#include "stream/stream.h"

#include <memory>
#include <new>

#include "stream/byte_order.h"

namespace zrk {

Stream::~Stream() = default;

uint32_t Stream::isAtEnd() const { return endFlag_; }

int32_t Stream::writeU8(uint8_t value) { return write(&value, 1); }

int32_t Stream::writeU32(uint32_t value) {
    unsigned char b[4];
    storeLe32(b, value);
    return write(b, 4);
}

std::string Stream::readString() {
    unsigned char prefix[4];
    if (read(prefix, 4) != 4) return {};
    const uint32_t length = loadLe32(prefix);
    if (length == 0) return {};
    // The length comes from the file: refuse what no stored string can be, and let an
    // allocation that the process cannot make be a failed read rather than an abort.
    if (length > kMaxStringLength) return {};
    std::unique_ptr<char[]> bytes(new (std::nothrow) char[length]);
    if (!bytes) return {};
    if (read(bytes.get(), length) != int32_t(length)) return {};
    return std::string(bytes.get(), length);
}

void Stream::writeString(const std::string& text) {
    writeU32(uint32_t(text.size()));
    if (!text.empty()) write(text.data(), uint32_t(text.size()));
}

} // namespace zrk
