// The byte buffer of every protocol message: a growable write area for serialising and a read cursor
// over borrowed bytes for parsing. Integers travel big-endian, doubles and floats little-endian.
#pragma once

#include "net/protocol.h"

#include <cstdint>
#include <string>

struct Buffer {
    // Cleared by a fixed-width read that finds too few bytes; every later read then fails.
    bool ok = true;
    // The bytes being read: borrowed, never freed here.
    const uint8_t* readData = nullptr;
    int32_t readLength = 0;
    int32_t readPos = 0;
    // The write area, owned.
    uint8_t* writeData = nullptr;
    int32_t writeCapacity = 0;
    int32_t writeLength = 0;
    // What serialised messages are padded to and a parsed message's consumed count is rounded up to.
    int32_t blockSize = MESSAGE_BLOCK_SIZE;

    Buffer() = default;
    explicit Buffer(int32_t blockSize);
    // A reader over length bytes at data, cursor at the start.
    Buffer(const uint8_t* data, int32_t length, int32_t blockSize = MESSAGE_BLOCK_SIZE);
    // Copies duplicate the write area, so no two buffers ever free the same bytes.
    Buffer(const Buffer& other);
    Buffer& operator=(const Buffer& other);
    Buffer(Buffer&& other) noexcept;
    Buffer& operator=(Buffer&& other) noexcept;
    ~Buffer();

    // Room for n more bytes: 128 at first, then doubling. False only when the area cannot grow that far.
    bool reserve(int32_t n);

    void writeU16(uint32_t value);
    void writeU32(uint32_t value);
    void writeDouble(double value);
    void writeFloat(float value);
    void writeByte(uint8_t value);
    // The bytes up to the first NUL (a NUL inside would end the string early for the reader and shift
    // every later field), then one NUL.
    void writeString(const std::string& text);

    // Each returns success and moves the cursor only on success.
    bool readU16(uint16_t& value);
    bool readU32(uint32_t& value);
    bool readU32(int32_t& value);
    bool readDouble(double& value);
    bool readFloat(float& value);
    bool readByte(uint8_t& value);
    bool readByte(bool& value);
    // Up to the next NUL. Returns false without touching ok when no NUL has arrived yet.
    bool readString(std::string& text);

    // Bytes left between the cursor and readLength (0 for a cursor out of range).
    int32_t remaining() const;

private:
    const uint8_t* take(int32_t n);
    uint8_t* append(int32_t n);
};
