// A running 64-bit digest (FNV-1a) of what a picture is drawn from. Two frames with equal digests
// are drawn from the same inputs and come out the same, so the second need not be drawn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

class PictureKey {
public:
    PictureKey& bytes(const void* data, size_t size) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            hash_ ^= p[i];
            hash_ *= 1099511628211ull;
        }
        return *this;
    }
    template <class T>
    PictureKey& add(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>, "only plain values have a digest of their bytes");
        return bytes(&value, sizeof value);
    }
    PictureKey& text(std::string_view value) {
        add(value.size());
        return bytes(value.data(), value.size());
    }
    uint64_t value() const { return hash_; }

private:
    uint64_t hash_ = 14695981039346656037ull;
};
