// The cipher's decryption of 32 data bytes from one keystream block, in the steady
// state: the block was refilled at position 0, data byte j takes keystream bytes
// 2j and 2j + 1, and every feedback byte follows from the ciphertext, so the 32
// bytes do not wait on one another. Interchangeable forms, one chosen per process.
#pragma once

#include <span>

namespace zrk {

// `keystream`: the 64 bytes of the block. `data`: 32 bytes decrypted in place.
// `records`: both feedback records (128 bytes), fully rewritten: the fed byte of
// data byte j at 2j, zero at 2j + 1. `feedback`: the byte fed back before data
// byte 0, replaced by the one fed back after data byte 31.
using DecryptStepFunction = void (*)(const unsigned char keystream[64], unsigned char data[32],
                                     unsigned char records[128], unsigned char& feedback);

struct DecryptStepForm {
    const char* name;
    DecryptStepFunction function;
    bool supported;
};

void decryptStepPortable(const unsigned char keystream[64], unsigned char data[32], unsigned char records[128],
                         unsigned char& feedback);
#ifdef ZRK_X86_FORMS
void decryptStepSse2(const unsigned char keystream[64], unsigned char data[32], unsigned char records[128],
                     unsigned char& feedback);
#endif

// Portable first, then faster forms; the last supported one is used.
std::span<const DecryptStepForm> decryptStepForms();
DecryptStepFunction selectedDecryptStep();

} // namespace zrk
