// MersenneTwister against std::mt19937 (an independent twist and tempering)
// loaded with the same 624 state words, and every twist form against portable.
#include "crypto/mersenne_twister.h"

#ifdef ZRK_X86_FORMS
#include "crypto/cpu_features.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace zrk {
namespace {

using State = std::vector<uint32_t>;

// A standard generator whose next output comes from twisting `state`.
std::mt19937 standardFrom(const State& state) {
    std::stringstream text;
    for (uint32_t w : state) text << w << ' ';
    text << 624;  // position: the next call twists
    std::mt19937 g;
    text >> g;
    EXPECT_FALSE(text.fail());
    return g;
}

// The 1998 reference seeding, written out step by step.
State referenceSeedState(uint32_t seed) {
    State mt(624);
    for (auto& w : mt) {
        w = seed & 0xffff0000;
        seed = 69069 * seed + 1;
        w |= (seed & 0xffff0000) >> 16;
        seed = 69069 * seed + 1;
    }
    return mt;
}

void expectSameOutputs(MersenneTwister& ours, std::mt19937& standard, int count) {
    // 2,000 outputs cross three regenerations, including outputs 624 and 625.
    for (int i = 0; i < count; ++i) ASSERT_EQ(ours.next(), standard()) << "output " << i + 1;
}

TEST(MersenneTwister, ConstructionSeedsWith4357LikeTheReference) {
    MersenneTwister ours;
    auto standard = standardFrom(referenceSeedState(4357));
    expectSameOutputs(ours, standard, 2000);
}

TEST(MersenneTwister, SeedFromOneNumber) {
    for (uint32_t seed : {0u, 1u, 4357u, 0xFFFFFFFFu, 0x80000000u}) {
        MersenneTwister ours;
        ours.seed(seed);
        auto standard = standardFrom(referenceSeedState(seed));
        expectSameOutputs(ours, standard, 1300);
    }
    // seed(0) gives mt[0] = 0 but not an all-zero state, so outputs are not all zero.
    State zeroSeeded = referenceSeedState(0);
    EXPECT_EQ(zeroSeeded[0], 0u);
    MersenneTwister ours;
    ours.seed(0);
    bool anyNonZero = false;
    for (int i = 0; i < 624; ++i) anyNonZero |= ours.next() != 0;
    EXPECT_TRUE(anyNonZero);
}

TEST(MersenneTwister, SeedArrayCopiesAndRepeatsTheKey) {
    std::mt19937 rng(5);
    for (int length : {624, 1, 7, 623, 1000}) {
        State key(static_cast<size_t>(length));
        for (auto& w : key) w = rng();
        State state(624);
        for (int i = 0; i < 624; ++i) state[size_t(i)] = key[size_t(i % length)];
        MersenneTwister ours;
        ours.seedArray(key.data(), length);
        auto standard = standardFrom(state);
        expectSameOutputs(ours, standard, 2000);
    }
}

TEST(MersenneTwister, NextWordsEqualsRepeatedNext) {
    MersenneTwister bulk, single;
    std::vector<uint32_t> words(2000);
    // Runs that end exactly at, and straddle, a regeneration.
    size_t at = 0;
    for (int n : {600, 24, 32, 1, 700, 643}) {
        bulk.nextWords(words.data() + at, n);
        at += size_t(n);
    }
    ASSERT_EQ(at, words.size());
    for (size_t i = 0; i < words.size(); ++i) ASSERT_EQ(words[i], single.next()) << i;
}

TEST(MersenneTwister, EmptyKeyLeavesTheGeneratorAlone) {
    MersenneTwister ours, untouched;
    ours.seedArray(nullptr, 624);
    const uint32_t one = 1;
    ours.seedArray(&one, 0);
    ours.seedArray(&one, -5);
    for (int i = 0; i < 700; ++i) ASSERT_EQ(ours.next(), untouched.next());
}

TEST(MersenneTwister, EveryTwistFormMatchesPortable) {
    std::mt19937 rng(13);
    std::string ran;
    for (const auto& form : twistForms()) {
        if (!form.supported) continue;
        ran += std::string(" ") + form.name;
        for (int trial = 0; trial < 50; ++trial) {
            uint32_t expected[625], actual[625], outExpected[624], outActual[624];
            for (int i = 0; i < 625; ++i) expected[i] = actual[i] = rng();
            twistPortable(expected, outExpected);
            form.function(actual, outActual);
            ASSERT_TRUE(std::equal(actual, actual + 625, expected)) << form.name;
            ASSERT_TRUE(std::equal(outActual, outActual + 624, outExpected)) << form.name;
        }
        State key(624);
        for (auto& w : key) w = rng();
        MersenneTwister ours;
        ours.useTwistFunction(form.function);
        ours.seedArray(key.data(), 624);
        auto standard = standardFrom(key);
        expectSameOutputs(ours, standard, 2000);
    }
    std::cout << "Twist forms run on this processor:" << ran << "\n";
}

#ifdef ZRK_X86_FORMS
// The 32-bit program copies runs of outputs with SSE2; checked here on every x86 build.
TEST(MersenneTwister, Sse2CopyMovesExactlyTheRun) {
    if (!cpuFeatures().sse2) GTEST_SKIP() << "no SSE2 on this processor";
    uint32_t in[40], out[42];
    for (int i = 0; i < 40; ++i) in[i] = 0x01010101u * uint32_t(i + 1);
    for (int count = 0; count <= 40; ++count) {
        std::fill(std::begin(out), std::end(out), 0xDEADBEEFu);
        copyWordsSse2(out + 1, in, count);
        ASSERT_TRUE(std::equal(in, in + count, out + 1)) << count;
        ASSERT_EQ(out[0], 0xDEADBEEFu) << count;
        ASSERT_EQ(out[count + 1], 0xDEADBEEFu) << count;
    }
}
#endif

} // namespace
} // namespace zrk
