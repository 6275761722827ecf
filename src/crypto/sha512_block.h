// The SHA-512 compression function in its interchangeable forms: a portable one
// and CPU-specific ones, all computing the same result, one chosen per process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zrk {

// Compresses `blocks` consecutive 128-byte blocks into the chaining value.
using Sha512BlockFunction = void (*)(uint64_t state[8], const unsigned char* data, size_t blocks);

struct Sha512BlockForm {
    const char* name;
    Sha512BlockFunction function;
    bool supported;  // the running processor can execute it
    int rank;        // among supported forms the highest is used; 0: never chosen (slower here)
};

extern const uint64_t kSha512RoundConstants[80];

void sha512BlockPortable(uint64_t state[8], const unsigned char* data, size_t blocks);
#ifdef ZRK_X86_FORMS
void sha512BlockSse2(uint64_t state[8], const unsigned char* data, size_t blocks);
void sha512BlockAvx512(uint64_t state[8], const unsigned char* data, size_t blocks);
void sha512BlockAvx512Ring(uint64_t state[8], const unsigned char* data, size_t blocks);
void sha512BlockAvx2(uint64_t state[8], const unsigned char* data, size_t blocks);
void sha512BlockAvx512Pair(uint64_t state[8], const unsigned char* data, size_t blocks);
#endif

// Every form built into this program, portable first.
std::span<const Sha512BlockForm> sha512BlockForms();
// The fastest supported form, decided on first use.
Sha512BlockFunction sha512SelectedBlock();

} // namespace zrk
