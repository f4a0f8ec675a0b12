#include "net/buffer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

std::vector<uint8_t> written(const Buffer& b) { return {b.writeData, b.writeData + b.writeLength}; }

Buffer readerOver(const std::vector<uint8_t>& bytes) {
    return Buffer(bytes.data(), static_cast<int32_t>(bytes.size()));
}

}  // namespace

TEST(BufferTest, ReserveStartsAt128AndDoubles) {
    Buffer b;
    EXPECT_TRUE(b.reserve(1));
    EXPECT_EQ(b.writeCapacity, 128);
    b.writeLength = 128;
    EXPECT_TRUE(b.reserve(172));  // needs 300
    EXPECT_EQ(b.writeCapacity, 512);
    EXPECT_TRUE(b.reserve(0));
    EXPECT_EQ(b.writeCapacity, 512);
}

TEST(BufferTest, GrowingKeepsEarlierBytes) {
    Buffer b;
    for (uint32_t i = 0; i < 100; ++i) b.writeU32(i);
    ASSERT_EQ(b.writeLength, 400);
    Buffer r(b.writeData, b.writeLength);
    for (uint32_t i = 0; i < 100; ++i) {
        uint32_t v = 0;
        ASSERT_TRUE(r.readU32(v));
        EXPECT_EQ(v, i);
    }
}

TEST(BufferTest, IntegersAreBigEndianAndSignedTravelAsTwosComplement) {
    Buffer b;
    b.writeU16(0x1234);
    b.writeU32(0xA1B2C3D4);
    b.writeU32(static_cast<uint32_t>(-1));
    b.writeU16(0x12345);  // only the low 16 bits
    EXPECT_EQ(written(b), (std::vector<uint8_t>{0x12, 0x34, 0xA1, 0xB2, 0xC3, 0xD4, 0xFF, 0xFF, 0xFF, 0xFF, 0x23, 0x45}));

    Buffer r(b.writeData, b.writeLength);
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    int32_t i32 = 0;
    ASSERT_TRUE(r.readU16(u16));
    ASSERT_TRUE(r.readU32(u32));
    ASSERT_TRUE(r.readU32(i32));
    EXPECT_EQ(u16, 0x1234);
    EXPECT_EQ(u32, 0xA1B2C3D4u);
    EXPECT_EQ(i32, -1);
}

TEST(BufferTest, DoublesAndFloatsAreLittleEndianAndBitExact) {
    const double values[] = {1.0, -0.0, std::numeric_limits<double>::infinity(),
                             std::bit_cast<double>(uint64_t{0x7FF8000000000123}),  // NaN with a payload
                             std::numeric_limits<double>::denorm_min()};
    Buffer b;
    b.writeDouble(1.0);
    EXPECT_EQ(written(b), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    b.writeFloat(1.0f);
    EXPECT_EQ(written(b).size(), 12u);
    EXPECT_EQ(written(b)[11], 0x3F);
    EXPECT_EQ(written(b)[10], 0x80);
    for (double v : values) b.writeDouble(v);
    b.writeFloat(std::bit_cast<float>(uint32_t{0x7FC00042}));

    Buffer r(b.writeData, b.writeLength);
    double d = 0;
    float f = 0;
    ASSERT_TRUE(r.readDouble(d));
    ASSERT_TRUE(r.readFloat(f));
    EXPECT_EQ(f, 1.0f);
    for (double v : values) {
        ASSERT_TRUE(r.readDouble(d));
        EXPECT_EQ(std::bit_cast<uint64_t>(d), std::bit_cast<uint64_t>(v));
    }
    ASSERT_TRUE(r.readFloat(f));
    EXPECT_EQ(std::bit_cast<uint32_t>(f), 0x7FC00042u);
}

TEST(BufferTest, BytesAndBools) {
    Buffer b;
    b.writeByte(true);
    b.writeByte(false);
    b.writeByte(7);
    EXPECT_EQ(written(b), (std::vector<uint8_t>{1, 0, 7}));
    Buffer r(b.writeData, b.writeLength);
    bool x = false, y = true, z = false;
    ASSERT_TRUE(r.readByte(x));
    ASSERT_TRUE(r.readByte(y));
    ASSERT_TRUE(r.readByte(z));
    EXPECT_TRUE(x);
    EXPECT_FALSE(y);
    EXPECT_TRUE(z);  // any non-zero byte is true
}

TEST(BufferTest, StringsAreNulTerminatedAndEmptyIsOneNul) {
    Buffer b;
    b.writeString("");
    b.writeString("ab");
    EXPECT_EQ(written(b), (std::vector<uint8_t>{0, 'a', 'b', 0}));
    Buffer r(b.writeData, b.writeLength);
    std::string s = "x";
    ASSERT_TRUE(r.readString(s));
    EXPECT_EQ(s, "");
    ASSERT_TRUE(r.readString(s));
    EXPECT_EQ(s, "ab");
    EXPECT_EQ(r.remaining(), 0);
    EXPECT_FALSE(r.readString(s));  // at the end
    EXPECT_TRUE(r.ok);
}

TEST(BufferTest, EmbeddedNulWritesOnlyTheBytesBeforeIt) {
    Buffer b;
    b.writeString(std::string("ab\0cd", 5));
    b.writeU16(0x0102);
    EXPECT_EQ(written(b), (std::vector<uint8_t>{'a', 'b', 0, 1, 2}));
}

TEST(BufferTest, StringWithoutNulIsNotYetThereAndMovesNothing) {
    const std::vector<uint8_t> bytes{'a', 'b', 'c'};
    Buffer r = readerOver(bytes);
    std::string s = "keep";
    EXPECT_FALSE(r.readString(s));
    EXPECT_EQ(s, "keep");
    EXPECT_EQ(r.readPos, 0);
    EXPECT_TRUE(r.ok);
}

TEST(BufferTest, ShortFixedWidthReadClearsOkAndStopsLaterReads) {
    const std::vector<uint8_t> bytes{1, 2, 3, 0};
    Buffer r = readerOver(bytes);
    uint32_t v = 0;
    double d = 0;
    EXPECT_FALSE(r.readDouble(d));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.readPos, 0);
    EXPECT_FALSE(r.readU32(v));  // would fit, but the buffer has already failed
    std::string s;
    EXPECT_FALSE(r.readString(s));
}

TEST(BufferTest, ReadsNeverLeaveTheGivenBytes) {
    const std::vector<uint8_t> bytes{0, 1, 2, 3, 4, 5, 6, 7};
    Buffer r(bytes.data(), 3);  // only the first three belong to the reader
    uint16_t a = 0, b = 0;
    ASSERT_TRUE(r.readU16(a));
    EXPECT_FALSE(r.readU16(b));
    EXPECT_EQ(r.readPos, 2);

    Buffer outside(bytes.data(), 8);
    outside.readPos = 9;  // a cursor past the end has nothing left
    EXPECT_EQ(outside.remaining(), 0);
    std::string s;
    EXPECT_FALSE(outside.readString(s));
}

TEST(BufferTest, CopiesOwnTheirWriteArea) {
    Buffer a;
    a.writeU32(0x01020304);
    Buffer b(a);
    b.writeU32(0x05060708);
    EXPECT_NE(a.writeData, b.writeData);
    EXPECT_EQ(a.writeLength, 4);
    EXPECT_EQ(written(b), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    Buffer c;
    c = b;
    Buffer d(std::move(c));
    EXPECT_EQ(written(d), written(b));
    EXPECT_EQ(c.writeData, nullptr);
}
