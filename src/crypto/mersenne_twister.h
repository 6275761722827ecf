// MT19937 with the older one-number seeding (multiplier 69069) and array seeding
// that copies the key into the state; outputs are tempered a whole twist at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace zrk {

// Twists state[0..623] in place (state[624] is the wrap word, refreshed from the
// new state[0]) and tempers all 624 words into `output`.
using TwistFunction = void (*)(uint32_t state[625], uint32_t output[624]);

struct TwistForm {
    const char* name;
    TwistFunction function;
    bool supported;
};

void twistPortable(uint32_t state[625], uint32_t output[624]);
#ifdef ZRK_X86_FORMS
void twistSse2(uint32_t state[625], uint32_t output[624]);
void twistAvx2(uint32_t state[625], uint32_t output[624]);

// Copies `count` words sixteen bytes at a time where it can.
void copyWordsSse2(uint32_t* out, const uint32_t* in, int count);
#endif
std::span<const TwistForm> twistForms();

class MersenneTwister {
public:
    static constexpr int kStateWords = 624;

    MersenneTwister();  // seed(4357)
    virtual ~MersenneTwister();

    void seed(uint32_t x);
    // state[i] = key[i mod length]. A length below 1 leaves the generator as it is.
    void seedArray(const uint32_t* key, int32_t length);

    uint32_t next() {
        if (index_ >= kStateWords) regenerate();
        return output_[index_++];
    }

    // The next `count` outputs, in order; the same as calling next() `count` times.
    // A run inside the current twist is one copy (of fixed size where `count` is).
    void nextWords(uint32_t* out, int count) {
        if (count > 0 && count <= kStateWords - index_) {
            copyRun(out, output_ + index_, count);
            index_ += count;
        } else {
            nextWordsAcrossTwists(out, count);
        }
    }

    // Test hook: replaces the twist chosen at construction.
    void useTwistFunction(TwistFunction function) { twist_ = function; }

private:
    void regenerate();
    void nextWordsAcrossTwists(uint32_t* out, int count);

    // 32-bit x86 code is built for processors without SSE2 and copies four bytes at a
    // time; a reader that loads the words sixteen bytes at a time (the cipher's block
    // function) then cannot take them from the pending stores and waits until they
    // reach the cache. Where the processor has SSE2, runs are copied with it.
    void copyRun(uint32_t* out, const uint32_t* in, int count) {
#if defined(__i386__)
        if (sse2Copy_) {
            copyWordsSse2(out, in, count);
            return;
        }
#endif
        std::memcpy(out, in, sizeof(uint32_t) * size_t(count));
    }

    uint32_t state_[kStateWords + 1];  // + the wrap word
    uint32_t output_[kStateWords];
    int32_t index_;
    TwistFunction twist_;
#ifdef ZRK_X86_FORMS
    // Read by 32-bit code only; every x86 build keeps it, so that the objects holding
    // a generator (the cipher's buffers) keep the layout their speed was measured with.
    bool sse2Copy_;
#endif
};

} // namespace zrk
