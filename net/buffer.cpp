#include "net/buffer.h"

#include <bit>
#include <cstring>
#include <limits>
#include <utility>

Buffer::Buffer(int32_t blockSize) : blockSize(blockSize) {}

Buffer::Buffer(const uint8_t* data, int32_t length, int32_t blockSize)
    : readData(data), readLength(length < 0 ? 0 : length), blockSize(blockSize) {}

Buffer::Buffer(const Buffer& other)
    : ok(other.ok),
      readData(other.readData),
      readLength(other.readLength),
      readPos(other.readPos),
      blockSize(other.blockSize) {
    if (other.writeLength > 0 && reserve(other.writeLength)) {
        std::memcpy(writeData, other.writeData, static_cast<size_t>(other.writeLength));
        writeLength = other.writeLength;
    }
}

Buffer& Buffer::operator=(const Buffer& other) {
    if (this != &other) {
        Buffer copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Buffer::Buffer(Buffer&& other) noexcept
    : ok(other.ok),
      readData(other.readData),
      readLength(other.readLength),
      readPos(other.readPos),
      writeData(std::exchange(other.writeData, nullptr)),
      writeCapacity(std::exchange(other.writeCapacity, 0)),
      writeLength(std::exchange(other.writeLength, 0)),
      blockSize(other.blockSize) {}

Buffer& Buffer::operator=(Buffer&& other) noexcept {
    if (this != &other) {
        delete[] writeData;
        ok = other.ok;
        readData = other.readData;
        readLength = other.readLength;
        readPos = other.readPos;
        writeData = std::exchange(other.writeData, nullptr);
        writeCapacity = std::exchange(other.writeCapacity, 0);
        writeLength = std::exchange(other.writeLength, 0);
        blockSize = other.blockSize;
    }
    return *this;
}

Buffer::~Buffer() { delete[] writeData; }

bool Buffer::reserve(int32_t n) {
    if (n < 0) return false;
    const int64_t needed = int64_t{writeLength} + n;
    if (needed <= writeCapacity) return true;
    if (needed > std::numeric_limits<int32_t>::max()) return false;
    int64_t capacity = writeCapacity == 0 ? 128 : int64_t{writeCapacity} * 2;
    while (capacity < needed) capacity *= 2;
    if (capacity > std::numeric_limits<int32_t>::max()) capacity = std::numeric_limits<int32_t>::max();
    auto* grown = new uint8_t[static_cast<size_t>(capacity)];
    if (writeLength > 0) std::memcpy(grown, writeData, static_cast<size_t>(writeLength));
    delete[] writeData;
    writeData = grown;
    writeCapacity = static_cast<int32_t>(capacity);
    return true;
}

// The next n bytes of the write area, or null when it cannot grow.
uint8_t* Buffer::append(int32_t n) {
    if (!reserve(n)) return nullptr;
    uint8_t* at = writeData + writeLength;
    writeLength += n;
    return at;
}

void Buffer::writeU16(uint32_t value) {
    if (uint8_t* p = append(2)) {
        p[0] = static_cast<uint8_t>(value >> 8);
        p[1] = static_cast<uint8_t>(value);
    }
}

void Buffer::writeU32(uint32_t value) {
    if (uint8_t* p = append(4)) {
        p[0] = static_cast<uint8_t>(value >> 24);
        p[1] = static_cast<uint8_t>(value >> 16);
        p[2] = static_cast<uint8_t>(value >> 8);
        p[3] = static_cast<uint8_t>(value);
    }
}

void Buffer::writeDouble(double value) {
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    if (uint8_t* p = append(8)) {
        for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(bits >> (8 * i));
    }
}

void Buffer::writeFloat(float value) {
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    if (uint8_t* p = append(4)) {
        for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(bits >> (8 * i));
    }
}

void Buffer::writeByte(uint8_t value) {
    if (uint8_t* p = append(1)) *p = value;
}

void Buffer::writeString(const std::string& text) {
    const size_t length = std::strlen(text.c_str());
    if (length >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) return;
    if (uint8_t* p = append(static_cast<int32_t>(length) + 1)) {
        std::memcpy(p, text.data(), length);
        p[length] = 0;
    }
}

int32_t Buffer::remaining() const {
    if (readData == nullptr || readPos < 0 || readPos >= readLength) return 0;
    return readLength - readPos;
}

// The next n bytes of the read data, or null (and ok cleared) when fewer remain.
const uint8_t* Buffer::take(int32_t n) {
    if (!ok || remaining() < n) {
        ok = false;
        return nullptr;
    }
    const uint8_t* at = readData + readPos;
    readPos += n;
    return at;
}

bool Buffer::readU16(uint16_t& value) {
    const uint8_t* p = take(2);
    if (p == nullptr) return false;
    value = static_cast<uint16_t>((p[0] << 8) | p[1]);
    return true;
}

bool Buffer::readU32(uint32_t& value) {
    const uint8_t* p = take(4);
    if (p == nullptr) return false;
    value = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
    return true;
}

bool Buffer::readU32(int32_t& value) {
    uint32_t bits = 0;
    if (!readU32(bits)) return false;
    value = static_cast<int32_t>(bits);
    return true;
}

bool Buffer::readDouble(double& value) {
    const uint8_t* p = take(8);
    if (p == nullptr) return false;
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= uint64_t{p[i]} << (8 * i);
    value = std::bit_cast<double>(bits);
    return true;
}

bool Buffer::readFloat(float& value) {
    const uint8_t* p = take(4);
    if (p == nullptr) return false;
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= uint32_t{p[i]} << (8 * i);
    value = std::bit_cast<float>(bits);
    return true;
}

bool Buffer::readByte(uint8_t& value) {
    const uint8_t* p = take(1);
    if (p == nullptr) return false;
    value = *p;
    return true;
}

bool Buffer::readByte(bool& value) {
    uint8_t byte = 0;
    if (!readByte(byte)) return false;
    value = byte != 0;
    return true;
}

bool Buffer::readString(std::string& text) {
    const int32_t left = remaining();
    if (!ok || left == 0) return false;
    const uint8_t* start = readData + readPos;
    const auto* nul = static_cast<const uint8_t*>(std::memchr(start, 0, static_cast<size_t>(left)));
    if (nul == nullptr) return false;
    text.assign(reinterpret_cast<const char*>(start), static_cast<size_t>(nul - start));
    readPos += static_cast<int32_t>(nul - start) + 1;
    return true;
}
