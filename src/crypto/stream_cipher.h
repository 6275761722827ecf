// Password-keyed stream cipher with plaintext feedback, built from SHA-512 and the
// Mersenne Twister. Archives written elsewhere depend on every step of it.
#pragma once

#include <cstdint>
#include <string_view>

#include "crypto/mersenne_twister.h"
#include "crypto/sha512.h"
#include "crypto/stream_cipher_step.h"

namespace zrk {

class StreamCipher {
public:
    // Keyed with the built-in passphrase, so an object is never unkeyed.
    StreamCipher();
    virtual ~StreamCipher();
    StreamCipher(const StreamCipher&) = delete;
    StreamCipher& operator=(const StreamCipher&) = delete;

    // Keys from SHA-512 of `data` followed by the password bytes.
    virtual void setKey(std::string_view password, const void* data, uint32_t length);
    // setKey with the 8 little-endian bytes of `prefix` as the data.
    virtual void setPassword(uint64_t prefix, std::string_view password);
    // In place; a length of 0 or less does nothing. State carries across calls.
    virtual void encrypt(void* buffer, int32_t length);
    virtual void decrypt(void* buffer, int32_t length);

    // Refills since keying, held at 64 (for tests).
    int32_t refillCount() const { return refills_; }

    // Test hook: replaces the decryption step chosen at construction.
    void useDecryptStep(DecryptStepFunction function) { decryptStep_ = function; }

private:
    void refill();
    template <bool encrypting>
    void transform(unsigned char* p, int32_t length);
    unsigned char keystreamByte() {
        if (position_ == 0 || refills_ < 64) refill();
        unsigned char k = block_[position_] ^ feedbackByte_;
        feedback1()[position_] = feedbackByte_;
        feedback2()[position_] = feedbackByte_;
        feedbackByte_ = 0;
        position_ = (position_ + 1) & 63;
        return k;
    }

    unsigned char* feedback1() { return refillInput_ + 128; }
    unsigned char* feedback2() { return refillInput_ + 192; }

    int32_t position_;
    int32_t refills_;
    MersenneTwister generator_;
    Sha512 runningHash_;
    unsigned char block_[64];
    unsigned char feedbackByte_;
    DecryptStepFunction decryptStep_;
    // The 256 bytes each refill hashes: 32 generator words, then feedback records 1
    // and 2. The records live here, so a refill copies only the words.
    alignas(16) unsigned char refillInput_[256];
};

} // namespace zrk
