// Expected wire bytes, built independently of the codec: integers big-endian, floats little-endian,
// strings NUL-terminated, padding 0xFF to 16 bytes with the total length patched into the header.
#pragma once

#include "core/log.h"
#include "support/captured_log.h"
#include "net/message.h"

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

using ByteVector = std::vector<uint8_t>;

struct Bytes {
    ByteVector v;

    Bytes& u8(uint8_t x) {
        v.push_back(x);
        return *this;
    }
    Bytes& u16(uint16_t x) { return u8(static_cast<uint8_t>(x >> 8)).u8(static_cast<uint8_t>(x)); }
    Bytes& u32(uint32_t x) {
        for (int shift = 24; shift >= 0; shift -= 8) u8(static_cast<uint8_t>(x >> shift));
        return *this;
    }
    Bytes& f64(double x) {
        const auto bits = std::bit_cast<uint64_t>(x);
        for (int i = 0; i < 8; ++i) u8(static_cast<uint8_t>(bits >> (8 * i)));
        return *this;
    }
    Bytes& f32(float x) {
        const auto bits = std::bit_cast<uint32_t>(x);
        for (int i = 0; i < 4; ++i) u8(static_cast<uint8_t>(bits >> (8 * i)));
        return *this;
    }
    Bytes& str(const std::string& s) {
        v.insert(v.end(), s.begin(), s.end());
        return u8(0);
    }
    Bytes& raw(const ByteVector& bytes) {
        v.insert(v.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Bytes& header(MessageId id, uint32_t iid) { return u16(1).u32(0).u16(static_cast<uint16_t>(id)).u32(iid); }

    // Pads to 16 and writes the total length into the header.
    ByteVector message() const {
        ByteVector out = v;
        while (out.size() % 16 != 0) out.push_back(0xFF);
        const auto total = static_cast<uint32_t>(out.size());
        for (int i = 0; i < 4; ++i) out[2 + i] = static_cast<uint8_t>(total >> (24 - 8 * i));
        return out;
    }
};

inline ByteVector serialized(Message m) {
    const Buffer& b = m.getBuffer(16);
    return ByteVector(b.writeData, b.writeData + b.writeLength);
}

inline Message parseBytes(const ByteVector& bytes) {
    Buffer reader(bytes.data(), static_cast<int32_t>(bytes.size()), 16);
    return Message(reader);
}

inline const MessageFields& fieldsOf(const Message& m) { return m; }

// Captures log lines in a temporary folder for the lifetime of the object.
class LogCapture : public bztest::CapturedLog {
public:
    LogCapture() : CapturedLog("bznet") {}
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        std::istringstream in(text());
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
};
