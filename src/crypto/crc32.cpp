// Table-driven CRC-32. The byte step uses eight derived tables (slicing by
// eight) and gives the same result as the plain one-table step; long ranges go to
// the carry-less-multiply form where the processor has it.
#include "crypto/crc32.h"

#include <array>
#include <cstring>
#include <mutex>

#include "crypto/crc32_forms.h"
#ifdef ZRK_X86_FORMS
#include "crypto/cpu_features.h"
#endif

namespace zrk {
namespace {

using Operator = std::array<uint32_t, 32>;

struct Tables {
    // slice[0] is the classic byte table; slice[k][i] advances slice[k-1][i] by one zero byte.
    uint32_t slice[8][256];
    // zeroRun[k] carries a register across 2^k zero bytes.
    Operator zeroRun[64];
};

Tables tables;
std::once_flag tablesBuilt;

uint32_t applyOperator(const Operator& op, uint32_t v) {
    uint32_t r = 0;
    for (int i = 0; v != 0; ++i, v >>= 1) {
        if (v & 1) r ^= op[i];
    }
    return r;
}

// product[r] = a applied to b[r]; safe when product aliases an operand.
void multiply(Operator& product, const Operator& a, const Operator& b) {
    Operator t;
    for (int r = 0; r < 32; ++r) t[r] = applyOperator(a, b[r]);
    product = t;
}

void buildTables() {
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        tables.slice[0][i] = c;
    }
    for (int k = 1; k < 8; ++k) {
        for (int i = 0; i < 256; ++i) {
            uint32_t prev = tables.slice[k - 1][i];
            tables.slice[k][i] = (prev >> 8) ^ tables.slice[0][prev & 0xFF];
        }
    }

    Operator op;
    op[0] = 0xEDB88320u;  // one zero bit
    for (int i = 1; i < 32; ++i) op[i] = 1u << (i - 1);
    multiply(op, op, op);  // two zero bits
    multiply(op, op, op);  // four zero bits
    multiply(tables.zeroRun[0], op, op);  // one zero byte
    for (int k = 0; k < 63; ++k) multiply(tables.zeroRun[k + 1], tables.zeroRun[k], tables.zeroRun[k]);
}

uint32_t load32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The form update() uses, chosen with the tables.
Crc32RegisterFunction selected = nullptr;

} // namespace

uint32_t crc32RegisterPortable(uint32_t reg, const unsigned char* p, size_t length) {
    const auto& t = tables.slice;
    uint32_t r = reg;
    while (length >= 8) {
        uint32_t lo = load32(p) ^ r;
        uint32_t hi = load32(p + 4);
        r = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        p += 8;
        length -= 8;
    }
    while (length-- > 0) r = (r >> 8) ^ t[0][(r ^ *p++) & 0xFF];
    return r;
}

std::span<const Crc32Form> crc32Forms() {
    static const Crc32Form forms[] = {
        {"portable", crc32RegisterPortable, true},
#ifdef ZRK_X86_FORMS
        {"pclmul", crc32RegisterPclmul, cpuFeatures().sse2 && cpuFeatures().pclmul},
#endif
    };
    return forms;
}

Crc32::Crc32() {
    std::call_once(tablesBuilt, [] {
        buildTables();
        for (const Crc32Form& form : crc32Forms())
            if (form.supported) selected = form.function;
    });
}

uint32_t Crc32::update(const void* data, uint32_t length, uint32_t crc) const {
    return ~selected(~crc, static_cast<const unsigned char*>(data), length);
}

uint32_t Crc32::compute(const void* data, uint32_t length) const { return update(data, length, 0); }

uint32_t Crc32::combine(uint32_t crcA, uint64_t /*lengthA*/, uint32_t crcB, uint64_t lengthB) const {
    uint32_t r = crcA;
    for (int k = 0; k < 64; ++k) {
        if ((lengthB >> k) & 1) r = applyOperator(tables.zeroRun[k], r);
    }
    return r ^ crcB;
}

uint32_t Crc32::zeros(uint64_t count) const {
    // The register starts all ones and is complemented at the end; zero bytes
    // only move it, so the zero-run operators give the result directly.
    return combine(0xFFFFFFFFu, 0, 0xFFFFFFFFu, count);
}

} // namespace zrk
