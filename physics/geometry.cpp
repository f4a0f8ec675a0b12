#include "physics/geometry.h"
#include "physics/det_math.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace phys {
namespace {

Vec3 sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length(const Vec3& a) { return std::sqrt(dot(a, a)); }

}  // namespace

double distancePointToLine3d(const Vec3& p, const Vec3& d, const Vec3& q) {
    return length(cross(sub(p, q), d)) / length(d);
}

double projectOnLine(const Vec3& p, const Vec3& d, const Vec3& q) {
    return dot(d, sub(q, p)) / length(d);
}

double distanceBetweenLines(const Vec3& p1, const Vec3& d1, const Vec3& p2, const Vec3& d2) {
    Vec3 n = cross(d1, d2);
    return std::abs(dot(sub(p1, p2), n)) / length(n);
}

}  // namespace phys

bool intersectLines(double& x, double& z, double ax, double az, double a1, double bx, double bz, double a2) {
    double s = detmath::sin(a2 - a1);
    if (std::abs(s) < 1e-8) return false;
    double along = ((bx - ax) * detmath::sin(a2) - (bz - az) * detmath::cos(a2)) / s;
    x = ax + along * detmath::cos(a1);
    z = az + along * detmath::sin(a1);
    return true;
}

void rotatePoint(double& x, double& z, double cx, double cz, double px, double pz, double angle) {
    double c = detmath::cos(angle), s = detmath::sin(angle);
    x = cx + (px - cx) * c - (pz - cz) * s;
    z = cz + (px - cx) * s + (pz - cz) * c;
}

double angleBetween(double ax, double az, double bx, double bz) {
    double n = detmath::hypot(ax, az) * detmath::hypot(bx, bz);
    if (n < 1e-8) return 0;
    // Rounding can push the cosine a hair past 1.
    return detmath::acos(std::clamp((ax * bx + az * bz) / n, -1.0, 1.0));
}

double smoothstep(double a, double b, double v) {
    double t = (v - a) / (b - a);
    if (t < 0) return 0;
    if (t > 1) return 1;
    return 3 * t * t - 2 * t * t * t;
}

void gaussianPair(double& g1, double& g2, double bound) {
    do {
        double u1 = drand48(), u2 = drand48();
        double r = std::sqrt(-2 * detmath::log(std::max(u1, 1e-6)));
        g1 = r * detmath::cos(2 * std::numbers::pi * u2);
        g2 = r * detmath::sin(2 * std::numbers::pi * u2);
    } while (bound > 0 && (std::abs(g1) >= bound || std::abs(g2) >= bound));
}

void Quaternion::multiply(const Quaternion& o) {
    Quaternion r;
    r.w = w * o.w - x * o.x - y * o.y - z * o.z;
    r.x = w * o.x + x * o.w + y * o.z - z * o.y;
    r.y = w * o.y + y * o.w + z * o.x - x * o.z;
    r.z = w * o.z + z * o.w + x * o.y - y * o.x;
    *this = r;
}

void Quaternion::rotate(float angleDegrees, float ax, float ay, float az) {
    float h = angleDegrees * std::numbers::pi_v<float> / 180.0f / 2.0f;
    float s = std::sin(h);
    Quaternion r{std::cos(h), ax * s, ay * s, az * s};
    r.multiply(*this);
    *this = r;
}

void Quaternion::toAxisAngle(float& angleDegrees, float& ax, float& ay, float& az) {
    float n = std::sqrt(w * w + x * x + y * y + z * z);
    if (n < 1e-6f) {
        *this = Quaternion{};
        angleDegrees = 0;
        ax = 0, ay = 1, az = 0;
        return;
    }
    w /= n, x /= n, y /= n, z /= n;
    float s = x * x + y * y + z * z;
    if (s < 1e-6f) {
        angleDegrees = 0;
        ax = 0, ay = 1, az = 0;
        return;
    }
    // A unit axis: the renderer's rotation takes the axis as given.
    const float axisLength = std::sqrt(s);
    ax = x / axisLength, ay = y / axisLength, az = z / axisLength;
    angleDegrees = 2 * std::acos(std::clamp(w, -1.0f, 1.0f)) * 180.0f / std::numbers::pi_v<float>;
}
