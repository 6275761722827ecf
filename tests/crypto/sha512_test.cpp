// Sha512 against the NIST vectors, piecewise feeding, padding boundaries, and
// every compression form against the portable one.
#include "crypto/sha512.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace zrk {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes fromHex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string toHex(const Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (unsigned char b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

// The standard digest bytes: each word most significant byte first.
Bytes digestBytes(const Sha512& h) {
    uint64_t w[8];
    h.digestWords(w);
    Bytes out;
    for (uint64_t v : w)
        for (int i = 7; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
    return out;
}

std::string hashOf(const Bytes& msg) {
    Sha512 h;
    h.update(msg.data(), uint32_t(msg.size()));
    h.finish();
    return h.hexDigest();
}

struct Vector {
    Bytes message;
    std::string digest;
};

// Reads the Len/Msg/MD triples of a NIST response file.
std::vector<Vector> readVectors(const std::string& name) {
    std::ifstream in(std::string(ZRK_VECTORS_DIR) + "/" + name);
    EXPECT_TRUE(in) << name;
    std::vector<Vector> vectors;
    std::string line;
    long bits = -1;
    Bytes msg;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("Len = ", 0) == 0) bits = std::stol(line.substr(6));
        else if (line.rfind("Msg = ", 0) == 0) msg = fromHex(line.substr(6));
        else if (line.rfind("MD = ", 0) == 0) {
            msg.resize(size_t(bits / 8));  // Len 0 still carries one placeholder byte
            vectors.push_back({msg, line.substr(5)});
        }
    }
    return vectors;
}

TEST(Sha512, NistShortAndLongMessages) {
    for (auto [file, count] : {std::pair{"SHA512ShortMsg.rsp", 129u}, std::pair{"SHA512LongMsg.rsp", 128u}}) {
        auto vectors = readVectors(file);
        EXPECT_EQ(vectors.size(), count) << file;
        for (const auto& v : vectors) ASSERT_EQ(hashOf(v.message), v.digest) << file << " length " << v.message.size();
    }
}

TEST(Sha512, NistMonteCarlo) {
    std::ifstream in(std::string(ZRK_VECTORS_DIR) + "/SHA512Monte.rsp");
    ASSERT_TRUE(in);
    std::string line;
    Bytes seed;
    std::vector<std::string> expected;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("Seed = ", 0) == 0) seed = fromHex(line.substr(7));
        else if (line.rfind("MD = ", 0) == 0) expected.push_back(line.substr(5));
    }
    ASSERT_EQ(expected.size(), 100u);
    Sha512 h;
    for (const auto& want : expected) {
        Bytes md[3] = {seed, seed, seed};
        for (int i = 3; i < 1003; ++i) {
            h.reset();
            for (const auto& part : md) h.update(part.data(), 64);
            h.finish();
            md[0] = md[1];
            md[1] = md[2];
            md[2] = digestBytes(h);
        }
        seed = md[2];
        ASSERT_EQ(toHex(seed), want);
    }
}

TEST(Sha512, ExampleDigestsAndOutputViewsAgree) {
    Sha512 h;
    h.finish();
    EXPECT_EQ(h.hexDigest(),
              "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
              "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e");
    h.reset();
    h.update("abc", 3);
    h.update("ignored", 0);
    h.finish();
    EXPECT_EQ(h.hexDigest(),
              "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
              "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
    EXPECT_EQ(toHex(digestBytes(h)), h.hexDigest());
    uint64_t w[8];
    h.digestWords(w);
    EXPECT_EQ(w[0], 0xddaf35a193617abaull);
    EXPECT_EQ(w[7], 0x2a9ac94fa54ca49full);
}

TEST(Sha512, PiecesOfAnySizeEqualOneCall) {
    std::mt19937 rng(7);
    Bytes msg(5000);
    for (auto& b : msg) b = uint8_t(rng());
    const std::string whole = hashOf(msg);
    for (size_t piece : {1, 127, 128, 129, 255, 1000}) {
        Sha512 h;
        for (size_t at = 0; at < msg.size(); at += piece)
            h.update(msg.data() + at, uint32_t(std::min(piece, msg.size() - at)));
        h.finish();
        EXPECT_EQ(h.hexDigest(), whole) << piece;
    }
    Sha512 h;  // irregular cuts
    for (size_t at = 0; at < msg.size();) {
        size_t n = std::min<size_t>(rng() % 300, msg.size() - at);
        h.update(msg.data() + at, uint32_t(n));
        at += n;
    }
    h.finish();
    EXPECT_EQ(h.hexDigest(), whole);
}

int compressions = 0;
void countingBlock(uint64_t state[8], const unsigned char* data, size_t blocks) {
    compressions += int(blocks);
    sha512BlockPortable(state, data, blocks);
}

TEST(Sha512, LengthFieldNeedsASecondBlockFrom112Bytes) {
    const Bytes msg(113, 'q');
    for (size_t len : {111, 112, 113}) {
        Sha512 h;
        h.useBlockFunction(countingBlock);
        compressions = 0;
        h.update(msg.data(), uint32_t(len));
        h.finish();
        EXPECT_EQ(compressions, len == 111 ? 1 : 2) << len;
        EXPECT_EQ(h.hexDigest(), hashOf(Bytes(msg.begin(), msg.begin() + long(len))));
    }
}

TEST(Sha512, FinishDoesNotReset) {
    Sha512 h;
    h.update("abc", 3);
    h.finish();
    const std::string first = h.hexDigest();
    h.finish();
    EXPECT_NE(h.hexDigest(), first);
    h.reset();
    h.update("abc", 3);
    h.finish();
    EXPECT_EQ(h.hexDigest(), first);
}

TEST(Sha512, ChainingValueVisibleAfterEachFullBlock) {
    Bytes msg(256, 0x5a);
    Sha512 whole;
    whole.update(msg.data(), 128);
    uint64_t afterOne[8];
    whole.digestWords(afterOne);
    Sha512 partial;
    partial.update(msg.data(), 128 + 100);  // the partial second block is not yet compressed
    uint64_t words[8];
    partial.digestWords(words);
    EXPECT_TRUE(std::equal(words, words + 8, afterOne));
}

TEST(Sha512, EveryBlockFormMatchesPortable) {
    std::mt19937_64 rng(11);
    std::string ran;
    for (const auto& form : sha512BlockForms()) {
        if (!form.supported) continue;
        ran += std::string(" ") + form.name;
        for (int trial = 0; trial < 200; ++trial) {
            size_t blocks = 1 + trial % 5;  // odd counts too, for forms that pair blocks
            Bytes data(128 * blocks);
            for (auto& b : data) b = uint8_t(rng());
            uint64_t expected[8], actual[8];
            for (int i = 0; i < 8; ++i) expected[i] = actual[i] = rng();
            sha512BlockPortable(expected, data.data(), blocks);
            form.function(actual, data.data(), blocks);
            ASSERT_TRUE(std::equal(actual, actual + 8, expected)) << form.name << " trial " << trial;
        }
        // And through the object, across unaligned piecewise input.
        Bytes msg(3001);
        for (auto& b : msg) b = uint8_t(rng());
        Sha512 h;
        h.useBlockFunction(form.function);
        h.update(msg.data() + 1, 3000);
        h.finish();
        EXPECT_EQ(h.hexDigest(), hashOf(Bytes(msg.begin() + 1, msg.end()))) << form.name;
    }
    std::cout << "SHA-512 forms run on this processor:" << ran << "\n";
}

} // namespace
} // namespace zrk
