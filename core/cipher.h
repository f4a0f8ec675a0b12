// XXTEA block cipher under a 128-bit key derived from a key text by SHA-256.
#pragma once

#include <cstdint>
#include <string>

// n > 1 enciphers n words, n < -1 deciphers -n words, anything else does nothing.
void xxtea(uint32_t* words, int n, const uint32_t key[4]);

struct Cipher {
    uint32_t key[4] = {};

    Cipher() = default;
    explicit Cipher(const std::string& keyText);
    void setKey(const std::string& keyText);
    void encryptBlock(uint8_t block[16]) const;
    void decryptBlock(uint8_t block[16]) const;

private:
    void codeBlock(uint8_t block[16], int n) const;
};
