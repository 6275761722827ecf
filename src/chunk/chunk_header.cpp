// Field access, the header check and the complete-chunk CRC of a chunk header.
#include "chunk/chunk_header.h"

#include <cstring>

#include "crypto/crc32.h"
#include "stream/byte_order.h"

namespace zrk {
namespace {
constexpr int kTag = 0, kHeaderSize = 4, kDataSize = 8, kContainerFlag = 16, kAlignment = 20,
              kDataCrc = 24, kHeaderCrc = 28;
} // namespace

ChunkHeader::ChunkHeader() { setAlignment(kDefaultAlignment); }

ChunkHeader ChunkHeader::fromBytes(const unsigned char* bytes) {
    ChunkHeader h;
    std::memcpy(h.bytes_.data(), bytes, kSize);
    return h;
}

std::string ChunkHeader::tag() const { return std::string(reinterpret_cast<const char*>(&bytes_[kTag]), 4); }
uint32_t ChunkHeader::headerSize() const { return loadLe32(&bytes_[kHeaderSize]); }
uint64_t ChunkHeader::dataSize() const { return loadLe64(&bytes_[kDataSize]); }
uint32_t ChunkHeader::containerFlag() const { return loadLe32(&bytes_[kContainerFlag]); }
uint32_t ChunkHeader::alignment() const { return loadLe32(&bytes_[kAlignment]); }
uint32_t ChunkHeader::dataCrc() const { return loadLe32(&bytes_[kDataCrc]); }
uint32_t ChunkHeader::headerCrc() const { return loadLe32(&bytes_[kHeaderCrc]); }

void ChunkHeader::setTag(const std::string& tag) {
    for (size_t i = 0; i < 4; ++i) bytes_[kTag + i] = i < tag.size() ? uint8_t(tag[i]) : 0;
}
void ChunkHeader::setHeaderSize(uint32_t size) { storeLe32(&bytes_[kHeaderSize], size); }
void ChunkHeader::setDataSize(uint64_t size) { storeLe64(&bytes_[kDataSize], size); }
void ChunkHeader::setContainerFlag(uint32_t flag) { storeLe32(&bytes_[kContainerFlag], flag); }
void ChunkHeader::setAlignment(uint32_t alignment) { storeLe32(&bytes_[kAlignment], alignment); }
void ChunkHeader::setDataCrc(uint32_t crc) { storeLe32(&bytes_[kDataCrc], crc); }

uint32_t ChunkHeader::crcWithoutHeaderCrc() const {
    auto copy = bytes_;
    storeLe32(&copy[kHeaderCrc], 0);
    return Crc32().compute(copy.data(), kSize);
}

bool ChunkHeader::isValid() const { return headerSize() == kSize && crcWithoutHeaderCrc() == headerCrc(); }

void ChunkHeader::sealHeaderCrc() { storeLe32(&bytes_[kHeaderCrc], crcWithoutHeaderCrc()); }

std::optional<uint64_t> ChunkHeader::paddedSize() const { return roundUpToAlignment(dataSize(), alignment()); }

uint32_t ChunkHeader::chunkCrc() const {
    Crc32 crc;
    uint64_t padding = paddedSize().value_or(dataSize()) - dataSize();
    uint32_t withData = crc.combine(crc.compute(bytes_.data(), kSize), kSize, dataCrc(), dataSize());
    return crc.combine(withData, kSize + dataSize(), crc.zeros(padding), padding);
}

std::optional<uint64_t> roundUpToAlignment(uint64_t dataSize, uint32_t alignment) {
    // Computed in 64 bits: alignment 0 gives a mask of all ones.
    uint64_t mask = uint64_t(alignment) - 1;
    if (dataSize > UINT64_MAX - mask) return std::nullopt;
    return (dataSize + mask) & ~mask;
}

} // namespace zrk
