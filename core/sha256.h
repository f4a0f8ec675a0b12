// SHA-256 digest (FIPS 180-4).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct Sha256 {
    uint32_t total = 0;    // bytes already compressed
    uint32_t pending = 0;  // bytes waiting in block, 0..63
    uint8_t block[128] = {};
    uint32_t state[8] = {};

    void init();
    void update(const void* bytes, size_t length);
    void final(uint8_t out[32]);
    void transform(const uint8_t* blocks, size_t count);
};

// The digest of the text's bytes as 64 lower-case hexadecimal characters.
std::string sha256Hex(const std::string& text);
