// SHA-512 over a byte stream given in pieces. The chaining value stays readable
// between pieces, which the stream cipher uses as its keystream.
#pragma once

#include <cstdint>
#include <string>

#include "crypto/sha512_block.h"

namespace zrk {

class Sha512 {
public:
    // Picks the block function for this processor, then resets.
    Sha512();
    virtual ~Sha512();
    Sha512(const Sha512&) = delete;
    Sha512& operator=(const Sha512&) = delete;

    virtual void reset();
    virtual void update(const void* data, uint32_t length);
    // Pads and leaves the digest in the chaining value. It does not reset: hashing
    // a further message needs reset() first.
    virtual void finish();
    // 128 lower-case hexadecimal digits of H0..H7.
    virtual std::string hexDigest() const;
    // H0..H7 as native integers; between updates the value after the last full block.
    virtual void digestWords(uint64_t out[8]) const;

    // Test hook: replaces the block function chosen at construction.
    void useBlockFunction(Sha512BlockFunction function) { block_ = function; }

private:
    uint64_t hash_[8];
    uint64_t bitsLow_;
    uint64_t bitsHigh_;
    unsigned char buffer_[128];
    uint32_t fill_;
    Sha512BlockFunction block_;
};

} // namespace zrk
