// Builds shot-file records byte by byte, as the stored format lays them out, for the loader's tests.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace bztest {

struct ShotBall {
    int32_t id = 0;
    bool onTable = false;
    int32_t pocket = -1;
    double pocketTime = 0, x = 0, z = 0;
    std::array<double, 7> motion{};
    std::array<float, 4> orientation{1, 0, 0, 0};  // w, x, y, z
};

class ShotFileBytes {
public:
    ShotFileBytes() : bytes_(2840, 0) {
        for (int k = 0; k < 25; ++k) {
            ShotBall ball;
            ball.id = k;
            ball.onTable = k == 0 || k >= 2;
            ball.x = -1000 + 40.0 * k;
            ball.z = 10.0 * (k % 5);
            setBall(k, ball);
        }
    }

    void setBall(int k, const ShotBall& ball) {
        unsigned char* r = bytes_.data() + 112 * k;
        put(r, 0, ball.id);
        r[4] = ball.onTable ? 1 : 0;
        put(r, 8, ball.pocket);
        put(r, 16, ball.pocketTime);
        put(r, 24, ball.x);
        put(r, 32, ball.z);
        for (int i = 0; i < 7; ++i) put(r, 40 + 8 * i, ball.motion[i]);
        for (int i = 0; i < 4; ++i) put(r, 96 + 4 * i, ball.orientation[i]);
    }
    void setAim(double angle, double power, double topSpin, double sideSpin, double elevation) {
        const double values[] = {angle, power, topSpin, sideSpin, elevation};
        for (int i = 0; i < 5; ++i) put(bytes_.data(), 2800 + 8 * i, values[i]);
    }
    // Any value at a byte offset, for records a well-behaved writer would not make.
    template <typename T>
    void setAt(size_t offset, T value) {
        put(bytes_.data(), offset, value);
    }
    // Writes the first `size` bytes (the whole record by default); a larger size pads with zeros.
    void write(const std::string& path, size_t size = 2840) const {
        std::vector<unsigned char> padded = bytes_;
        padded.resize(size, 0);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(padded.data()), static_cast<std::streamsize>(size));
    }

private:
    template <typename T>
    static void put(unsigned char* at, size_t offset, T value) {
        std::memcpy(at + offset, &value, sizeof value);
    }
    std::vector<unsigned char> bytes_;
};

}  // namespace bztest
