#include "core/cipher.h"
#include "core/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string hexOf(const uint8_t* bytes, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0xF];
    }
    return out;
}

// Digest of text fed to update in the given piece sizes, cycling through them.
std::string digestInPieces(const std::string& text, const std::vector<size_t>& pieces) {
    Sha256 sha;
    sha.init();
    size_t at = 0;
    for (size_t k = 0; at < text.size(); ++k) {
        size_t n = std::min(pieces[k % pieces.size()], text.size() - at);
        sha.update(text.data() + at, n);
        at += n;
    }
    uint8_t out[32];
    sha.final(out);
    return hexOf(out, 32);
}

std::string patternText(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = char((i * 7 + 3) & 255);
    return s;
}

const std::string k448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
const std::string k896 =
    "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu";

}  // namespace

TEST(Sha256, PublishedVectors) {
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256Hex(k448), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(sha256Hex(k896), "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    EXPECT_EQ(sha256Hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, PaddingBoundaries) {
    struct Case {
        size_t length;
        const char* digest;
    } cases[] = {
        {1, "084fed08b978af4d7d196a7446a86b58009e636b611db16211b65a9aadff29c5"},
        {55, "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
        {56, "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
        {63, "81c80242132f230c3bd41b3e63bbcff16107339549214a99614ff26664625055"},
        {64, "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
        {65, "aacca6ff74fdbb296d165a45cecfa04e5127bc008770fbbdd48006f2d2fae95e"},
        {119, "9ce7368e4daf32341631b492e80359dc9f594b48453cd0dd5bf0b19279cc177e"},
        {120, "7836b787757e95e58b3ca5aec90b1b004e8deba1e50e9675af9cabf1a13a04b5"},
    };
    for (const Case& c : cases) EXPECT_EQ(sha256Hex(patternText(c.length)), c.digest) << c.length;
}

TEST(Sha256, PiecesOfAnySizeGiveTheSameDigest) {
    const std::string expected896 = "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1";
    for (size_t piece = 1; piece <= 130; ++piece) EXPECT_EQ(digestInPieces(k896, {piece}), expected896) << piece;
    EXPECT_EQ(digestInPieces(k896, {0, 63, 0, 1, 64, 2, 55}), expected896);
    EXPECT_EQ(digestInPieces(std::string(1000000, 'a'), {997, 1, 64, 4096, 63}),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    const std::string text = patternText(300);
    EXPECT_EQ(digestInPieces(text, {56, 8, 129, 7}), sha256Hex(text));
}

TEST(Sha256, InitRestartsAUsedContext) {
    Sha256 sha;
    sha.init();
    sha.update("garbage", 7);
    sha.init();
    sha.update("abc", 3);
    uint8_t out[32];
    sha.final(out);
    EXPECT_EQ(hexOf(out, 32), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Xxtea, PublishedVectorsAndInverse) {
    struct Case {
        uint32_t key[4];
        std::vector<uint32_t> plain, cipher;
    } cases[] = {
        {{0, 0, 0, 0}, {0, 0}, {0x053704AB, 0x575D8C80}},
        {{0, 0, 0, 0}, {0x01020304, 0x05060708}, {0xE6911910, 0x0C35DCDA}},
        {{0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF}, {0x01234567, 0x89ABCDEF}, {0x34354989, 0xDD7D1A7A}},
        {{0, 0, 0, 0}, {0x00010203, 0x04050607, 0x08090A0B}, {0x5A545AAC, 0x684EB2CB, 0x3E1B8AA0}},
        {{0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF},
         {0x01234567, 0x89ABCDEF, 0x01234567},
         {0xEBC5DD46, 0xBE0FEE71, 0xC6BF7193}},
        {{0, 0, 0, 0}, {0, 0, 0, 0}, {0xE6C8D5FF, 0x070FB6E4, 0x98A534F7, 0xAC03E399}},
        {{0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF},
         {0x00010203, 0x04050607, 0x08090A0B, 0x0C0D0E0F},
         {0x3EA0E16C, 0x9969535A, 0xE4796D50, 0xF217EEEA}},
        // n = 7 (six rounds plus 52/7), from an independent reference implementation.
        {{0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF},
         {1, 2, 3, 4, 5, 6, 7},
         {0x3b3fb267, 0xa53181f0, 0x205d12a7, 0xc639baae, 0x41958ba0, 0xd112f088, 0x04a5d795}},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> v = c.plain;
        const int n = int(v.size());
        xxtea(v.data(), n, c.key);
        EXPECT_EQ(v, c.cipher) << "n=" << n;
        xxtea(v.data(), -n, c.key);
        EXPECT_EQ(v, c.plain) << "n=" << n;
    }
}

TEST(Xxtea, CountsBelowTwoWordsDoNothing) {
    const uint32_t key[4] = {1, 2, 3, 4};
    uint32_t v[2] = {0xdeadbeef, 0x01234567};
    for (int n : {0, 1, -1}) {
        xxtea(v, n, key);
        EXPECT_EQ(v[0], 0xdeadbeefu);
        EXPECT_EQ(v[1], 0x01234567u);
    }
}

TEST(Cipher, KeysOfThePassPhrases) {
    struct Case {
        const char* text;
        uint32_t key[4];
    } cases[] = {
        {"Marcipanfuj", {0xde2db99c, 0x27f95557, 0x236c9a6b, 0x545d925d}},
        {"sheet.ini.tag", {0x035b0876, 0x1b540001, 0xf5d363a1, 0xed025756}},
        {"Qp3Lk:Wt7hRa2nVc", {0x9a3c5f19, 0x2e98417a, 0x10cb5a41, 0x6b75f440}},
        {"", {0x42c4b0e3, 0x141cfc98, 0xc8f4fb9a, 0x24b96f99}},
    };
    for (const Case& c : cases) {
        Cipher cipher(c.text);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(cipher.key[i], c.key[i]) << c.text << " word " << i;
    }
    // A key text longer than a digest block still gives the digest's first half.
    Cipher longKey(std::string(100, 'k'));
    const uint32_t expected[4] = {0xb77c7ce3, 0xf030cb8c, 0x766503e2, 0x19d681d6};
    EXPECT_EQ(std::memcmp(longKey.key, expected, sizeof expected), 0);
}

TEST(Cipher, BlockBytesAreLittleEndianWords) {
    Cipher cipher("Marcipanfuj");
    uint8_t block[16];
    for (int i = 0; i < 16; ++i) block[i] = uint8_t(i);
    cipher.encryptBlock(block);
    EXPECT_EQ(hexOf(block, 16), "e52df9bc003eacefd95b731159e52c46");
    cipher.decryptBlock(block);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(block[i], i);
}

TEST(Cipher, RoundTripsAndRekeying) {
    Cipher cipher;
    cipher.setKey("sheet.ini.tag");
    uint8_t block[16], original[16];
    std::memset(block, 'x', sizeof block);
    std::memcpy(original, block, sizeof block);
    cipher.encryptBlock(block);
    uint32_t w[4];
    std::memcpy(w, block, sizeof w);
    EXPECT_FALSE(w[0] == w[1] && w[1] == w[2] && w[2] == w[3]);

    uint8_t underOtherKey[16];
    std::memcpy(underOtherKey, original, sizeof original);
    cipher.setKey("Qp3Lk:Wt7hRa2nVc");
    cipher.encryptBlock(underOtherKey);
    EXPECT_NE(std::memcmp(underOtherKey, block, 16), 0);
    cipher.decryptBlock(underOtherKey);
    EXPECT_EQ(std::memcmp(underOtherKey, original, 16), 0);

    cipher.setKey("sheet.ini.tag");
    cipher.decryptBlock(block);
    EXPECT_EQ(std::memcmp(block, original, 16), 0);

    for (int seed = 0; seed < 200; ++seed) {
        uint8_t b[16], copy[16];
        for (int i = 0; i < 16; ++i) b[i] = uint8_t(seed * 31 + i * 97);
        std::memcpy(copy, b, 16);
        cipher.encryptBlock(b);
        cipher.decryptBlock(b);
        ASSERT_EQ(std::memcmp(b, copy, 16), 0) << seed;
    }
}
