// Key derivation, keystream refills and the byte transforms of the stream cipher.
#include "crypto/stream_cipher.h"

#include <algorithm>
#include <bit>
#include <cstring>

#ifdef ZRK_X86_FORMS
#include "crypto/cpu_features.h"
#endif
#include "stream/byte_order.h"

namespace zrk {

void decryptStepPortable(const unsigned char keystream[64], unsigned char data[32], unsigned char records[128],
                         unsigned char& feedback) {
    unsigned char fed[32];
    fed[0] = feedback;
    for (int j = 1; j < 32; ++j) fed[j] = data[j - 1] ^ keystream[2 * j - 1];
    feedback = data[31] ^ keystream[63];
    for (int j = 0; j < 32; ++j) data[j] ^= keystream[2 * j] ^ keystream[2 * j + 1] ^ fed[j];
    for (int j = 0; j < 32; ++j) {
        records[2 * j] = records[64 + 2 * j] = fed[j];
        records[2 * j + 1] = records[64 + 2 * j + 1] = 0;
    }
}

std::span<const DecryptStepForm> decryptStepForms() {
    static const DecryptStepForm forms[] = {
        {"portable", decryptStepPortable, true},
#ifdef ZRK_X86_FORMS
        {"sse2", decryptStepSse2, cpuFeatures().sse2},
#endif
    };
    return forms;
}

DecryptStepFunction selectedDecryptStep() {
    static const DecryptStepFunction chosen = [] {
        DecryptStepFunction best = decryptStepPortable;
        for (const auto& form : decryptStepForms())
            if (form.supported) best = form.function;
        return best;
    }();
    return chosen;
}

namespace {

void wipe(void* p, size_t n) {
    volatile unsigned char* v = static_cast<volatile unsigned char*>(p);
    while (n--) *v++ = 0;
}

// The 64 bytes of a chaining value: H0..H7, each least significant byte first.
void chainingBytes(const Sha512& h, unsigned char out[64]) {
    uint64_t words[8];
    h.digestWords(words);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, words, 64);  // the same bytes; the loop below defeats the vectoriser here
    } else {
        for (int i = 0; i < 8; ++i) storeLe64(out + 8 * i, words[i]);
    }
}

void updateText(Sha512& h, std::string_view text) {
    // The hash takes 32-bit lengths; longer text goes in pieces.
    while (!text.empty()) {
        size_t piece = std::min<size_t>(text.size(), 0x40000000);
        h.update(text.data(), uint32_t(piece));
        text.remove_prefix(piece);
    }
}

} // namespace

StreamCipher::StreamCipher()
    : position_(0), refills_(0), block_{}, feedbackByte_(0), decryptStep_(selectedDecryptStep()), refillInput_{} {
    setPassword(0, "MarbleOrchardKite");
}

StreamCipher::~StreamCipher() {
    wipe(block_, sizeof block_);
    wipe(refillInput_, sizeof refillInput_);
    feedbackByte_ = 0;
}

void StreamCipher::setKey(std::string_view password, const void* data, uint32_t length) {
    Sha512 h;
    h.update(data, length);
    updateText(h, password);
    h.finish();

    // s[0] is fixed; each of 39 rounds stores the current value and compresses d || d.
    uint32_t seeds[1 + 39 * 16];
    seeds[0] = 0xFFFFFFFF;
    unsigned char d[128];
    chainingBytes(h, d);
    for (int r = 0; r < 39; ++r) {
        for (int i = 0; i < 16; ++i) seeds[1 + 16 * r + i] = loadLe32(d + 4 * i);
        h.update(d, 64);
        h.update(d, 64);
        chainingBytes(h, d);
    }
    generator_.seedArray(seeds, MersenneTwister::kStateWords);
    wipe(seeds, sizeof seeds);
    wipe(d, sizeof d);

    runningHash_.reset();
    position_ = 0;
    refills_ = 0;
    feedbackByte_ = 0;
    std::memset(feedback1(), 0, 128);  // both records
}

void StreamCipher::setPassword(uint64_t prefix, std::string_view password) {
    unsigned char data[8];
    storeLe64(data, prefix);
    setKey(password, data, 8);
}

void StreamCipher::refill() {
    // 32 generator words and both feedback records: exactly two blocks, and the
    // running hash never holds a partial block, so this is two compressions.
    unsigned char* input = refillInput_;
    if constexpr (std::endian::native == std::endian::little) {
        generator_.nextWords(reinterpret_cast<uint32_t*>(input), 32);  // aligned, and the words' bytes as stored
    } else {
        uint32_t words[32];
        generator_.nextWords(words, 32);
        for (int i = 0; i < 32; ++i) storeLe32(input + 4 * i, words[i]);
    }
    runningHash_.update(input, sizeof refillInput_);
    chainingBytes(runningHash_, block_);
    if (refills_ < 64) ++refills_;
}

template <bool encrypting>
void StreamCipher::transform(unsigned char* p, int32_t length) {
    int32_t i = 0;
    for (; i < length && refills_ < 64; ++i) {
        unsigned char k1 = keystreamByte();
        unsigned char k2 = keystreamByte();
        unsigned char in = p[i];
        p[i] = in ^ k1 ^ k2;
        feedbackByte_ = encrypting ? in ^ k1 : in ^ k2;
    }
    if (i >= length) return;

    // From the 33rd byte on, a data byte takes keystream positions pos and pos + 1
    // with pos even, and only position 0 refills. The second byte of a pair always
    // sees a zero feedback byte. Locals keep the state out of memory that `p` may alias.
    int32_t pos = position_;
    unsigned char feedback = feedbackByte_;
    while (i < length) {
        if (!encrypting && pos == 0 && length - i >= 32) {
            // A whole block's worth of decryption: every feedback byte is known from
            // the ciphertext in advance, so the bytes do not wait on one another.
            refill();
            decryptStep_(block_, p + i, feedback1(), feedback);
            i += 32;  // pos stays 0
            continue;
        }
        if (pos == 0) refill();
        unsigned char k1 = block_[pos] ^ feedback;
        unsigned char k2 = block_[pos + 1];
        feedback1()[pos] = feedback;
        feedback2()[pos] = feedback;
        feedback1()[pos + 1] = 0;
        feedback2()[pos + 1] = 0;
        unsigned char in = p[i];
        p[i] = in ^ k1 ^ k2;
        feedback = encrypting ? in ^ k1 : in ^ k2;
        pos = (pos + 2) & 63;
        ++i;
    }
    position_ = pos;
    feedbackByte_ = feedback;
}

void StreamCipher::encrypt(void* buffer, int32_t length) { transform<true>(static_cast<unsigned char*>(buffer), length); }

void StreamCipher::decrypt(void* buffer, int32_t length) { transform<false>(static_cast<unsigned char*>(buffer), length); }

} // namespace zrk
