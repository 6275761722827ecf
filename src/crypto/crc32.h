// CRC-32 (reflected, polynomial 0xEDB88320) with combination of the CRCs of
// adjacent pieces, used by every stored chunk.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zrk {

class Crc32 {
public:
    // Builds the shared byte and zero-run tables on first construction.
    Crc32();
    virtual ~Crc32() = default;

    // CRC of everything so far, continuing from `crc` (0 at the start).
    virtual uint32_t update(const void* data, uint32_t length, uint32_t crc) const;
    virtual uint32_t compute(const void* data, uint32_t length) const;
    // CRC of piece A followed by piece B. `lengthA` is accepted for symmetry
    // but not needed: only B's length decides how far A's register moves.
    virtual uint32_t combine(uint32_t crcA, uint64_t lengthA, uint32_t crcB,
                             uint64_t lengthB) const;

    // CRC of `count` zero bytes, from the zero-run operators (no loop over the bytes).
    uint32_t zeros(uint64_t count) const;
};

} // namespace zrk
