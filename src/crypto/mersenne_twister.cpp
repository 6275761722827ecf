// Seeding, the portable twist and the choice of twist form.
#include "crypto/mersenne_twister.h"

#ifdef ZRK_X86_FORMS
#include "crypto/cpu_features.h"
#endif

#include <algorithm>
#include <cstring>

namespace zrk {
namespace {

constexpr int kN = 624, kM = 397;
constexpr uint32_t kMatrix = 0x9908B0DF, kUpper = 0x80000000, kLower = 0x7FFFFFFF;

uint32_t twistWord(uint32_t current, uint32_t successor, uint32_t far) {
    uint32_t y = (current & kUpper) | (successor & kLower);
    return far ^ (y >> 1) ^ ((y & 1) ? kMatrix : 0);
}

uint32_t temper(uint32_t y) {
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680;
    y ^= (y << 15) & 0xEFC60000;
    return y ^ (y >> 18);
}

TwistFunction selectedTwist() {
    static const TwistFunction chosen = [] {
        TwistFunction best = twistPortable;  // the forms are listed slowest first
        for (const auto& form : twistForms())
            if (form.supported) best = form.function;
        return best;
    }();
    return chosen;
}

} // namespace

void twistPortable(uint32_t state[625], uint32_t output[624]) {
    int k = 0;
    for (; k < kN - kM; ++k) state[k] = twistWord(state[k], state[k + 1], state[k + kM]);
    state[kN] = state[0];
    for (; k < kN; ++k) state[k] = twistWord(state[k], state[k + 1], state[k + kM - kN]);
    for (k = 0; k < kN; ++k) output[k] = temper(state[k]);
}

std::span<const TwistForm> twistForms() {
    static const TwistForm forms[] = {
        {"portable", twistPortable, true},
#ifdef ZRK_X86_FORMS
        {"sse2", twistSse2, cpuFeatures().sse2},
        {"avx2", twistAvx2, cpuFeatures().avx2},
#endif
    };
    return forms;
}

MersenneTwister::MersenneTwister() : index_(0), twist_(selectedTwist()) {
#ifdef ZRK_X86_FORMS
    sse2Copy_ = cpuFeatures().sse2;
#endif
    seed(4357);
}

MersenneTwister::~MersenneTwister() {
    volatile uint32_t* s = state_;
    for (int i = 0; i <= kN; ++i) s[i] = 0;
    volatile uint32_t* o = output_;
    for (int i = 0; i < kN; ++i) o[i] = 0;
}

void MersenneTwister::seed(uint32_t x) {
    for (int i = 0; i < kN; ++i) {
        state_[i] = (x & 0xFFFF0000) | ((69069 * x + 1) >> 16);
        x = 475559465 * x + 69070;  // two steps of x = 69069 x + 1
    }
    regenerate();
}

void MersenneTwister::seedArray(const uint32_t* key, int32_t length) {
    if (key == nullptr || length < 1) return;
    for (int i = 0; i < kN; ++i) state_[i] = key[i % length];
    regenerate();
}

void MersenneTwister::nextWordsAcrossTwists(uint32_t* out, int count) {
    while (count > 0) {
        if (index_ >= kN) regenerate();
        int run = std::min(count, kN - index_);
        copyRun(out, output_ + index_, run);
        index_ += run;
        out += run;
        count -= run;
    }
}

void MersenneTwister::regenerate() {
    twist_(state_, output_);
    index_ = 0;
}

} // namespace zrk
