// Instruction-set extensions of the running x86 processor, read once from CPUID,
// so the hash and generator can pick their fastest correct form at run time.
// x86 builds only (ZRK_X86_FORMS); elsewhere only the portable forms exist.
#pragma once

namespace zrk {

struct CpuFeatures {
    bool sse2 = false;
    bool ssse3 = false;
    bool pclmul = false;    // carry-less multiplication (PCLMULQDQ)
    bool avx2 = false;      // includes the system's consent to save YMM state
    bool bmi2 = false;
    bool avx512vl = false;  // AVX-512 F + VL, with ZMM/opmask state enabled
};

const CpuFeatures& cpuFeatures();

} // namespace zrk
