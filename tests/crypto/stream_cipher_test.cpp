// StreamCipher: round trips in pieces, keying equivalences, feedback propagation,
// the refill pattern, and pinned keystream values.
#include "crypto/stream_cipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace zrk {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes randomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes v(n);
    for (auto& b : v) b = uint8_t(rng());
    return v;
}

Bytes encrypted(StreamCipher& c, Bytes data) {
    c.encrypt(data.data(), int32_t(data.size()));
    return data;
}

Bytes decrypted(StreamCipher& c, Bytes data) {
    c.decrypt(data.data(), int32_t(data.size()));
    return data;
}

std::string hex(const Bytes& b, size_t from, size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = from; i < from + count; ++i) {
        s += digits[b[i] >> 4];
        s += digits[b[i] & 15];
    }
    return s;
}

TEST(StreamCipher, DecryptRestoresEncryptInAnyPieces) {
    const Bytes plain = randomBytes(1000, 1);
    StreamCipher enc;
    enc.setPassword(0, "secret");
    const Bytes cipher = encrypted(enc, plain);
    EXPECT_NE(cipher, plain);

    StreamCipher dec;
    dec.setPassword(0, "secret");
    EXPECT_EQ(decrypted(dec, cipher), plain);

    // Pieces on the encrypting side against one call, and on the decrypting side.
    const size_t pieces[] = {1, 31, 32, 33, 903};
    StreamCipher encPieces, decPieces;
    encPieces.setPassword(0, "secret");
    decPieces.setPassword(0, "secret");
    Bytes a = plain, b = cipher;
    size_t at = 0;
    for (size_t n : pieces) {
        encPieces.encrypt(a.data() + at, int32_t(n));
        decPieces.decrypt(b.data() + at, int32_t(n));
        at += n;
    }
    ASSERT_EQ(at, plain.size());
    EXPECT_EQ(a, cipher);
    EXPECT_EQ(b, plain);
}

TEST(StreamCipher, ZeroAndNegativeLengthsChangeNothing) {
    StreamCipher c, reference;
    c.setPassword(0, "pw");
    reference.setPassword(0, "pw");
    Bytes buffer = randomBytes(16, 2);
    const Bytes original = buffer;
    c.encrypt(buffer.data(), 0);
    c.encrypt(buffer.data(), -1);
    c.decrypt(buffer.data(), 0);
    c.decrypt(buffer.data(), INT32_MIN);
    EXPECT_EQ(buffer, original);
    EXPECT_EQ(c.refillCount(), 0);
    const Bytes plain = randomBytes(200, 3);
    EXPECT_EQ(encrypted(c, plain), encrypted(reference, plain));
}

TEST(StreamCipher, KeyingEquivalences) {
    const Bytes plain = randomBytes(300, 4);
    StreamCipher viaPassword, viaKey;
    viaPassword.setPassword(0, "p@ss");
    const unsigned char zeros[8] = {};
    viaKey.setKey("p@ss", zeros, 8);
    EXPECT_EQ(encrypted(viaPassword, plain), encrypted(viaKey, plain));

    // The prefix is hashed little-endian.
    StreamCipher prefixed, spelled;
    prefixed.setPassword(0x0807060504030201ull, "p@ss");
    const unsigned char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    spelled.setKey("p@ss", bytes, 8);
    EXPECT_EQ(encrypted(prefixed, plain), encrypted(spelled, plain));

    // A fresh object carries the built-in passphrase.
    StreamCipher fresh1, fresh2, builtIn;
    builtIn.setPassword(0, "MarbleOrchardKite");
    const Bytes expected = encrypted(builtIn, plain);
    EXPECT_EQ(encrypted(fresh1, plain), expected);
    EXPECT_EQ(encrypted(fresh2, plain), expected);

    // Password and data are hashed as one message: where the cut falls matters not.
    StreamCipher joined, split;
    joined.setKey("", "abcdef", 6);
    split.setKey("def", "abc", 3);
    EXPECT_EQ(encrypted(joined, plain), encrypted(split, plain));
}

TEST(StreamCipher, RekeyingEqualsAFreshObject) {
    const Bytes plain = randomBytes(500, 5);
    StreamCipher used;
    used.setPassword(0, "first");
    encrypted(used, randomBytes(77, 6));  // leaves feedback, position and refills behind
    const unsigned char record[96] = {9, 9, 9};
    used.setKey("second", record, 96);
    StreamCipher fresh;
    fresh.setKey("second", record, 96);
    EXPECT_EQ(encrypted(used, plain), encrypted(fresh, plain));
}

TEST(StreamCipher, RefillsForEachOfTheFirst64KeystreamBytes) {
    StreamCipher c;
    c.setPassword(0, "count");
    unsigned char b = 0;
    for (int n = 1; n <= 32; ++n) {
        c.decrypt(&b, 1);
        ASSERT_EQ(c.refillCount(), 2 * n) << "data byte " << n;
    }
    c.decrypt(&b, 1);
    EXPECT_EQ(c.refillCount(), 64);  // held from here on
}

// Decrypts `cipher` with byte `at` flipped and reports which plaintext bytes differ.
std::vector<bool> changedAfterFlip(const Bytes& cipher, size_t at) {
    StreamCipher good, bad;
    good.setPassword(0, "flip");
    bad.setPassword(0, "flip");
    Bytes tampered = cipher;
    tampered[at] ^= 0x40;
    const Bytes p = decrypted(good, cipher), q = decrypted(bad, tampered);
    std::vector<bool> changed(cipher.size());
    for (size_t i = 0; i < cipher.size(); ++i) changed[i] = p[i] != q[i];
    return changed;
}

size_t countChanged(const std::vector<bool>& changed, size_t from, size_t to) {
    size_t n = 0;
    for (size_t i = from; i < to; ++i) n += changed[i];
    return n;
}

TEST(StreamCipher, CiphertextChangeReachesNextByteThenEverythingAfterTheNextRefill) {
    const Bytes cipher = randomBytes(400, 7);

    // Byte 40 (positions 16, 17 of a block): 40 and 41 change; the record change at
    // byte 41's position is hashed at the next refill, by byte 64.
    auto changed = changedAfterFlip(cipher, 40);
    EXPECT_EQ(countChanged(changed, 0, 40), 0u);
    EXPECT_TRUE(changed[40]);
    EXPECT_TRUE(changed[41]);
    EXPECT_EQ(countChanged(changed, 42, 64), 0u);
    EXPECT_GT(countChanged(changed, 64, 400), 300u);

    // Byte 63: byte 64 takes its first keystream byte at position 0, whose refill runs
    // before the record is written, so only the refill at byte 96 sees the change.
    changed = changedAfterFlip(cipher, 63);
    EXPECT_TRUE(changed[63]);
    EXPECT_TRUE(changed[64]);
    EXPECT_EQ(countChanged(changed, 65, 96), 0u);
    EXPECT_GT(countChanged(changed, 96, 400), 270u);

    // Within the first 32 bytes every keystream byte refills: everything after changes.
    changed = changedAfterFlip(cipher, 5);
    EXPECT_EQ(countChanged(changed, 0, 5), 0u);
    EXPECT_GT(countChanged(changed, 5, 400), 380u);
}

TEST(StreamCipher, LongStreamsRoundTrip) {
    const Bytes plain = randomBytes(100000, 8);
    StreamCipher enc, dec;
    const unsigned char record[96] = {0x5a, 0x52, 0x4b, 0x44};
    enc.setKey("long", record, 96);
    dec.setKey("long", record, 96);
    const Bytes cipher = encrypted(enc, plain);
    EXPECT_EQ(decrypted(dec, cipher), plain);

    // Irregular pieces, so runs start at every block position, against the one call.
    StreamCipher pieces;
    pieces.setKey("long", record, 96);
    Bytes b = cipher;
    std::mt19937 rng(9);
    for (size_t at = 0; at < b.size();) {
        size_t n = std::min<size_t>(rng() % 150, b.size() - at);
        pieces.decrypt(b.data() + at, int32_t(n));
        at += n;
    }
    EXPECT_EQ(b, plain);
}

TEST(StreamCipher, EveryDecryptStepFormMatchesPortable) {
    std::mt19937 rng(10);
    for (const auto& form : decryptStepForms()) {
        if (!form.supported) continue;
        for (int trial = 0; trial < 100; ++trial) {
            unsigned char keystream[64], expected[32], actual[32], recordsExpected[128], recordsActual[128];
            for (auto& b : keystream) b = uint8_t(rng());
            for (int i = 0; i < 32; ++i) expected[i] = actual[i] = uint8_t(rng());
            for (int i = 0; i < 128; ++i) recordsExpected[i] = recordsActual[i] = uint8_t(rng());  // all overwritten
            unsigned char feedbackExpected = uint8_t(rng()), feedbackActual = feedbackExpected;
            decryptStepPortable(keystream, expected, recordsExpected, feedbackExpected);
            form.function(keystream, actual, recordsActual, feedbackActual);
            ASSERT_TRUE(std::equal(actual, actual + 32, expected)) << form.name << " trial " << trial;
            ASSERT_TRUE(std::equal(recordsActual, recordsActual + 128, recordsExpected)) << form.name << " trial " << trial;
            ASSERT_EQ(feedbackActual, feedbackExpected) << form.name << " trial " << trial;
        }
        // Through the cipher: the whole-block runs and the byte path, against a byte-wise decryption.
        const Bytes plain = randomBytes(5000, 11);
        StreamCipher enc;
        enc.setPassword(0, "step");
        const Bytes cipher = encrypted(enc, plain);
        StreamCipher whole, bytewise;
        whole.useDecryptStep(form.function);
        whole.setPassword(0, "step");
        bytewise.setPassword(0, "step");
        Bytes b = cipher;
        for (size_t at = 0; at < b.size(); ++at) bytewise.decrypt(b.data() + at, 1);
        EXPECT_EQ(decrypted(whole, cipher), plain) << form.name;
        EXPECT_EQ(b, plain) << form.name;
    }
}

// Ciphertext of 2,048 zero bytes, pinned so that any change to key derivation,
// refills or feedback fails here. The values were produced by this implementation
// once it had been checked step by step against the cipher's description; the
// password bytes are the UTF-8 text as shown (the Japanese one, "日本語の鍵です", is 21 bytes).
TEST(StreamCipher, PinnedKeystreams) {
    struct Case {
        const char* name;
        const char* password;  // nullptr: the built-in passphrase of a fresh object
        const char* first16;
        const char* bytes24to40;
        const char* last16;
    };
    const Case cases[] = {
        {"fresh object", nullptr, "e5136b6b382b3f8c0d42901fdab6cac2", "2a716108ad49e0fac462e669f3cc306b", "5722880d7d5163d14fdf1ca10e390e98"},
        {"empty password", "", "07493fb9e38edb10d35cf83983386709", "6fbedde2a53cd70fb7f9bd15ebf786e0", "b7d21e0c2807b122b1626071477e9089"},
        {"Japanese password", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE9\x8D\xB5\xE3\x81\xA7\xE3\x81\x99", "4d306a9cf6a0c2b986b59855d526b94c", "2db296ed78edac457d9990ae56b1bad2", "5d799704ac071ca48abb6c0866b965e1"},
    };
    for (const auto& k : cases) {
        StreamCipher c;
        if (k.password) c.setPassword(0, k.password);
        const Bytes out = encrypted(c, Bytes(2048, 0));
        EXPECT_EQ(hex(out, 0, 16), k.first16) << k.name;
        EXPECT_EQ(hex(out, 24, 16), k.bytes24to40) << k.name;
        EXPECT_EQ(hex(out, 2032, 16), k.last16) << k.name;
    }
    // The data piece of a volume: keyed with a 96-byte record, then decrypted.
    Bytes record(96);
    for (size_t i = 0; i < record.size(); ++i) record[i] = uint8_t(i * 7 + 1);
    StreamCipher volume;
    volume.setKey("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE9\x8D\xB5\xE3\x81\xA7\xE3\x81\x99", record.data(), 96);
    const Bytes plain = decrypted(volume, Bytes(4096, 0x33));
    EXPECT_EQ(hex(plain, 0, 16), "6c726e9dca4441ba465166e3ae43f4bc");
    EXPECT_EQ(hex(plain, 4080, 16), "ee294572a431e0ecd2a860ecd76948a8");
}

} // namespace
} // namespace zrk
