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
void twistSse2(uint32_t state[625], uint32_t output[624]);
void twistAvx2(uint32_t state[625], uint32_t output[624]);
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
            std::memcpy(out, output_ + index_, sizeof(uint32_t) * size_t(count));
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

    uint32_t state_[kStateWords + 1];  // + the wrap word
    uint32_t output_[kStateWords];
    int32_t index_;
    TwistFunction twist_;
};

} // namespace zrk
