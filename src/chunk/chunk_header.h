// The 32-byte header that starts every chunk, kept in its on-disk byte layout.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace zrk {

class ChunkHeader {
public:
    static constexpr uint32_t kSize = 32;
    static constexpr uint32_t kDefaultAlignment = 16;

    // A fresh header: every field 0 except `alignment`, which is 16.
    ChunkHeader();
    static ChunkHeader fromBytes(const unsigned char* bytes);

    std::string tag() const;
    uint32_t headerSize() const;
    uint64_t dataSize() const;
    uint32_t containerFlag() const;
    uint32_t alignment() const;
    uint32_t dataCrc() const;
    uint32_t headerCrc() const;

    // Stores the first four bytes of `tag`, zero-filling a shorter one.
    void setTag(const std::string& tag);
    void setHeaderSize(uint32_t size);
    void setDataSize(uint64_t size);
    void setContainerFlag(uint32_t flag);
    void setAlignment(uint32_t alignment);
    void setDataCrc(uint32_t crc);

    // headerSize is 32 and headerCrc matches the CRC of the header with that field zeroed.
    bool isValid() const;
    // Computes and stores headerCrc over the other fields; call after dataCrc is final.
    void sealHeaderCrc();

    // dataSize rounded up to the alignment; empty when the rounding would wrap,
    // which marks a damaged header.
    std::optional<uint64_t> paddedSize() const;
    // CRC of the complete chunk (header, data, padding zeros) from the header alone.
    // Only meaningful for a header whose paddedSize() exists.
    uint32_t chunkCrc() const;

    const unsigned char* bytes() const { return bytes_.data(); }
    unsigned char* bytes() { return bytes_.data(); }

private:
    uint32_t crcWithoutHeaderCrc() const;

    std::array<unsigned char, kSize> bytes_{};
};

// dataSize rounded up with the mask of alignment - 1, or empty when that wraps.
std::optional<uint64_t> roundUpToAlignment(uint64_t dataSize, uint32_t alignment);

} // namespace zrk
