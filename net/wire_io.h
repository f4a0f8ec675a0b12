// One description of each wire layout serves both directions: a layout is written once as a sequence of
// wire(io, field) calls, and the io decides whether the fields are written or read. The field's C++ type
// fixes its wire width: uint16_t and 16-bit enums as u16, 32-bit integers as u32, bool as one byte.
#pragma once

#include "net/buffer.h"

#include <array>
#include <cstddef>
#include <string>
#include <type_traits>

struct WireWriter {
    static constexpr bool reading = false;
    Buffer& buffer;

    bool f(uint16_t& v) { buffer.writeU16(v); return true; }
    bool f(uint32_t& v) { buffer.writeU32(v); return true; }
    bool f(int32_t& v) { buffer.writeU32(static_cast<uint32_t>(v)); return true; }
    bool f(double& v) { buffer.writeDouble(v); return true; }
    bool f(float& v) { buffer.writeFloat(v); return true; }
    bool f(bool& v) { buffer.writeByte(v ? 1 : 0); return true; }
    bool f(std::string& v) { buffer.writeString(v); return true; }
    template <class E>
        requires std::is_enum_v<E>
    bool f(E& v) {
        auto raw = static_cast<std::underlying_type_t<E>>(v);
        return f(raw);
    }
};

// Every read returns whether the field fitted; the first that does not ends the layout.
struct WireReader {
    static constexpr bool reading = true;
    Buffer& buffer;

    bool f(uint16_t& v) { return buffer.readU16(v); }
    bool f(uint32_t& v) { return buffer.readU32(v); }
    bool f(int32_t& v) { return buffer.readU32(v); }
    bool f(double& v) { return buffer.readDouble(v); }
    bool f(float& v) { return buffer.readFloat(v); }
    bool f(bool& v) { return buffer.readByte(v); }
    bool f(std::string& v) { return buffer.readString(v); }
    template <class E>
        requires std::is_enum_v<E>
    bool f(E& v) {
        std::underlying_type_t<E> raw{};
        if (!f(raw)) return false;
        v = static_cast<E>(raw);
        return true;
    }
};

template <class Io, class T>
bool wire(Io& io, T& value) {
    return io.f(value);
}

template <class Io, class T, std::size_t N>
bool wire(Io& io, std::array<T, N>& values) {
    for (T& value : values) {
        if (!wire(io, value)) return false;
    }
    return true;
}

template <class Io, class... T>
bool wireAll(Io& io, T&... values) {
    return (wire(io, values) && ...);
}

// The writers are handed const records; they only ever read them.
template <class T>
T& forWriting(const T& record) {
    return const_cast<T&>(record);
}
