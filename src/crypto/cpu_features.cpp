// CPUID and XGETBV probing with the compiler's <cpuid.h>. Built for the x86 family
// only, with the forms it chooses among; it needs no per-system variant there.
#include "crypto/cpu_features.h"

#include <cpuid.h>
#include <cstdint>

namespace zrk {
namespace {

// Which register states the operating system saves on a context switch.
uint64_t enabledStates() {
    uint32_t lo, hi;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return uint64_t(hi) << 32 | lo;
}

CpuFeatures probe() {
    CpuFeatures f;
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return f;
    f.sse2 = d & (1u << 26);
    f.ssse3 = c & (1u << 9);
    f.pclmul = c & (1u << 1);
    bool osxsave = c & (1u << 27);
    bool avx = c & (1u << 28);
    uint64_t states = osxsave ? enabledStates() : 0;
    bool ymmSaved = (states & 0x6) == 0x6;
    bool zmmSaved = (states & 0xE6) == 0xE6;
    if (__get_cpuid_max(0, nullptr) >= 7) {
        __cpuid_count(7, 0, a, b, c, d);
        f.avx2 = avx && ymmSaved && (b & (1u << 5));
        f.bmi2 = b & (1u << 8);
        f.avx512vl = ymmSaved && zmmSaved && (b & (1u << 16)) && (b & (1u << 31));
    }
    return f;
}

} // namespace

const CpuFeatures& cpuFeatures() {
    static const CpuFeatures features = probe();
    return features;
}

} // namespace zrk
