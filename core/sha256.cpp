#include "core/sha256.h"

#include <cstring>

namespace {

constexpr uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

inline uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

inline uint32_t loadBigEndian(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

inline void storeBigEndian(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

}  // namespace

void Sha256::init() {
    static constexpr uint32_t initial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                            0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(state, initial, sizeof state);
    total = 0;
    pending = 0;
}

void Sha256::transform(const uint8_t* blocks, size_t count) {
    uint32_t w[64];
    for (size_t b = 0; b < count; ++b, blocks += 64) {
        for (int t = 0; t < 16; ++t) w[t] = loadBigEndian(blocks + 4 * t);
        for (int t = 16; t < 64; ++t) {
            const uint32_t s0 = rotr(w[t - 15], 7) ^ rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
            const uint32_t s1 = rotr(w[t - 2], 17) ^ rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
            w[t] = w[t - 16] + s0 + w[t - 7] + s1;
        }
        uint32_t a = state[0], b1 = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int t = 0; t < 64; ++t) {
            const uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[t] + w[t];
            const uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b1) ^ (a & c) ^ (b1 & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b1;
            b1 = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b1;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

void Sha256::update(const void* bytes, size_t length) {
    if (length == 0) return;
    const uint8_t* in = static_cast<const uint8_t*>(bytes);
    const size_t room = 64 - pending;
    const size_t first = length < room ? length : room;
    std::memcpy(block + pending, in, first);
    if (pending + length < 64) {
        pending += uint32_t(length);
        return;
    }
    const size_t rest = length - first;
    const size_t wholeBlocks = rest / 64;
    transform(block, 1);
    transform(in + first, wholeBlocks);
    const size_t tail = rest % 64;
    std::memcpy(block, in + first + wholeBlocks * 64, tail);
    pending = uint32_t(tail);
    total += uint32_t((wholeBlocks + 1) * 64);
}

void Sha256::final(uint8_t out[32]) {
    const size_t blocks = pending < 56 ? 1 : 2;
    const size_t end = blocks * 64;
    std::memset(block + pending, 0, end - pending);
    block[pending] = 0x80;
    // A 32-bit bit count: inputs stay below 512 MiB (the four bytes before it remain zero).
    storeBigEndian(block + end - 4, (total + pending) * 8);
    transform(block, blocks);
    for (int i = 0; i < 8; ++i) storeBigEndian(out + 4 * i, state[i]);
}

std::string sha256Hex(const std::string& text) {
    static const char hex[] = "0123456789abcdef";
    Sha256 sha;
    sha.init();
    sha.update(text.data(), text.size());
    uint8_t digest[32];
    sha.final(digest);
    std::string out(64, '0');
    for (int i = 0; i < 32; ++i) {
        out[2 * i] = hex[digest[i] >> 4];
        out[2 * i + 1] = hex[digest[i] & 0xF];
    }
    return out;
}
