// Buffering, padding and output of SHA-512; the compression lives in sha512_block*.
#include "crypto/sha512.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zrk {
namespace {

void wipe(void* p, size_t n) {
    volatile unsigned char* v = static_cast<volatile unsigned char*>(p);
    while (n--) *v++ = 0;
}

} // namespace

Sha512::Sha512() : block_(sha512SelectedBlock()) { reset(); }

Sha512::~Sha512() {
    wipe(hash_, sizeof hash_);
    wipe(buffer_, sizeof buffer_);
}

void Sha512::reset() {
    static const uint64_t initial[8] = {
        0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
        0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179,
    };
    std::memcpy(hash_, initial, sizeof hash_);
    bitsLow_ = 0;
    bitsHigh_ = 0;
    fill_ = 0;
}

void Sha512::update(const void* data, uint32_t length) {
    if (length == 0) return;
    uint64_t bits = uint64_t(length) * 8;
    bitsLow_ += bits;
    if (bitsLow_ < bits) ++bitsHigh_;

    auto p = static_cast<const unsigned char*>(data);
    uint32_t remaining = length;
    if (fill_ > 0) {
        uint32_t take = std::min(128 - fill_, remaining);
        std::memcpy(buffer_ + fill_, p, take);
        fill_ += take;
        p += take;
        remaining -= take;
        if (fill_ < 128) return;
        block_(hash_, buffer_, 1);
        fill_ = 0;
    }
    // Whole blocks straight from the caller's memory, all in one call so a form
    // that works on block pairs can use them.
    if (remaining >= 128) {
        block_(hash_, p, remaining / 128);
        p += remaining / 128 * 128;
        remaining %= 128;
    }
    std::memcpy(buffer_, p, remaining);
    fill_ = remaining;
}

void Sha512::finish() {
    const uint64_t low = bitsLow_, high = bitsHigh_;
    const unsigned char marker = 0x80, zero = 0;
    update(&marker, 1);
    while (fill_ != 112) update(&zero, 1);
    unsigned char length[16];
    for (int i = 0; i < 8; ++i) {
        length[i] = uint8_t(high >> (56 - 8 * i));
        length[8 + i] = uint8_t(low >> (56 - 8 * i));
    }
    update(length, 16);
}

std::string Sha512::hexDigest() const {
    std::string text;
    char digits[17];
    for (uint64_t word : hash_) {
        std::snprintf(digits, sizeof digits, "%08x%08x", unsigned(word >> 32), unsigned(word & 0xFFFFFFFF));
        text += digits;
    }
    return text;
}

void Sha512::digestWords(uint64_t out[8]) const { std::memcpy(out, hash_, sizeof hash_); }

} // namespace zrk
