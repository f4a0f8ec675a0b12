// The few matrix operations the model transforms need: 4 x 4 floats, column-major as GL takes them.
#pragma once

#include <array>
#include <cmath>

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

struct Mat4 {
    std::array<float, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    float& at(int row, int column) { return m[column * 4 + row]; }
    float at(int row, int column) const { return m[column * 4 + row]; }
    const float* data() const { return m.data(); }

    static Mat4 identity() { return {}; }
    static Mat4 translation(Vec3 v) {
        Mat4 r;
        r.at(0, 3) = v.x;
        r.at(1, 3) = v.y;
        r.at(2, 3) = v.z;
        return r;
    }
    static Mat4 scaling(Vec3 s) {
        Mat4 r;
        r.at(0, 0) = s.x;
        r.at(1, 1) = s.y;
        r.at(2, 2) = s.z;
        return r;
    }
    // Right-handed rotation by `angle` radians about the unit `axis`.
    static Mat4 rotation(Vec3 axis, float angle) {
        const float c = std::cos(angle), s = std::sin(angle), t = 1 - c;
        const float x = axis.x, y = axis.y, z = axis.z;
        Mat4 r;
        r.at(0, 0) = c + t * x * x;
        r.at(0, 1) = t * x * y - s * z;
        r.at(0, 2) = t * x * z + s * y;
        r.at(1, 0) = t * x * y + s * z;
        r.at(1, 1) = c + t * y * y;
        r.at(1, 2) = t * y * z - s * x;
        r.at(2, 0) = t * x * z - s * y;
        r.at(2, 1) = t * y * z + s * x;
        r.at(2, 2) = c + t * z * z;
        return r;
    }
};

inline Mat4 operator*(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.at(row, k) * b.at(k, column);
            r.at(row, column) = sum;
        }
    }
    return r;
}

inline Vec3 normalized(Vec3 v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length == 0) return v;
    return {v.x / length, v.y / length, v.z / length};
}

// The point p moved by the matrix (w = 1).
inline Vec3 transformPoint(const Mat4& a, Vec3 p) {
    return {a.at(0, 0) * p.x + a.at(0, 1) * p.y + a.at(0, 2) * p.z + a.at(0, 3),
            a.at(1, 0) * p.x + a.at(1, 1) * p.y + a.at(1, 2) * p.z + a.at(1, 3),
            a.at(2, 0) * p.x + a.at(2, 1) * p.y + a.at(2, 2) * p.z + a.at(2, 3)};
}
