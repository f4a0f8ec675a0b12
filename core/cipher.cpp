#include "core/cipher.h"

#include "core/sha256.h"

namespace {

constexpr uint32_t kDelta = 0x9E3779B9;

inline uint32_t mix(uint32_t sum, uint32_t y, uint32_t z, unsigned p, unsigned e, const uint32_t key[4]) {
    return (((z >> 5) ^ (y << 2)) + ((y >> 3) ^ (z << 4))) ^ ((sum ^ y) + (key[(p & 3) ^ e] ^ z));
}

inline uint32_t loadLittleEndian(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void storeLittleEndian(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

}  // namespace

void xxtea(uint32_t* v, int n, const uint32_t key[4]) {
    if (n > 1) {
        const unsigned count = unsigned(n);
        unsigned rounds = 6 + 52 / count;
        uint32_t sum = 0, z = v[count - 1];
        while (rounds-- > 0) {
            sum += kDelta;
            const unsigned e = (sum >> 2) & 3;
            unsigned p = 0;
            for (; p + 1 < count; ++p) z = v[p] += mix(sum, v[p + 1], z, p, e, key);
            z = v[p] += mix(sum, v[0], z, p, e, key);
        }
    } else if (n < -1) {
        const unsigned count = 0u - unsigned(n);
        const unsigned rounds = 6 + 52 / count;
        uint32_t sum = rounds * kDelta, y = v[0];
        while (sum != 0) {
            const unsigned e = (sum >> 2) & 3;
            unsigned p = count - 1;
            for (; p > 0; --p) y = v[p] -= mix(sum, y, v[p - 1], p, e, key);
            y = v[0] -= mix(sum, y, v[count - 1], 0, e, key);
            sum -= kDelta;
        }
    }
}

Cipher::Cipher(const std::string& keyText) { setKey(keyText); }

void Cipher::setKey(const std::string& keyText) {
    Sha256 sha;
    sha.init();
    sha.update(keyText.data(), keyText.size());
    uint8_t digest[32];
    sha.final(digest);
    for (int i = 0; i < 4; ++i) key[i] = loadLittleEndian(digest + 4 * i);
}

void Cipher::encryptBlock(uint8_t block[16]) const { codeBlock(block, 4); }

void Cipher::decryptBlock(uint8_t block[16]) const { codeBlock(block, -4); }

void Cipher::codeBlock(uint8_t block[16], int n) const {
    uint32_t words[4];
    for (int i = 0; i < 4; ++i) words[i] = loadLittleEndian(block + 4 * i);
    xxtea(words, n, key);
    for (int i = 0; i < 4; ++i) storeLittleEndian(block + 4 * i, words[i]);
}
