// The bulk CRC-32 register update in its interchangeable forms: the portable
// table form and, on x86, a carry-less-multiply form, all giving the same register.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zrk {

// Advances the (uncomplemented) CRC register over `length` bytes.
using Crc32RegisterFunction = uint32_t (*)(uint32_t reg, const unsigned char* data, size_t length);

struct Crc32Form {
    const char* name;
    Crc32RegisterFunction function;
    bool supported;  // the running processor can execute it
};

// Slicing by eight over the shared tables (Crc32's constructor builds them).
uint32_t crc32RegisterPortable(uint32_t reg, const unsigned char* data, size_t length);
#ifdef ZRK_X86_FORMS
// Folding with PCLMULQDQ, 64 bytes a step; short inputs and the tail go to the table form.
uint32_t crc32RegisterPclmul(uint32_t reg, const unsigned char* data, size_t length);
#endif

// Every form built into this program, portable first; the last supported one is used.
std::span<const Crc32Form> crc32Forms();

} // namespace zrk
