#include "physics/det_math.h"

#include <cmath>
#include <limits>

namespace detmath {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPiHi = 3.141592653589793, kPiLo = 1.2246467991473532e-16;
constexpr double kPio2Hi = 1.5707963267948966, kPio2Lo = 6.123233995736766e-17;
constexpr double kTwoOverPi = 0.63661977236758134308;
// pi/2 in three pieces; the first two end in zero bits, so n times them is exact for |n| < 2^20.
constexpr double kPio2Part1 = 1.57079632673412561417e+00;
constexpr double kPio2Part2 = 6.07710050630396597660e-11;
constexpr double kPio2Part3 = 2.02226624871116645580e-21;
// ln 2 with a 32-bit high part, so k times it is exact.
constexpr double kLn2Hi = 6.93147180369123816490e-01, kLn2Lo = 1.90821492927058770002e-10;
constexpr double kInvLn2 = 1.44269504088896338700;
// atan(k / 8), high and low parts.
constexpr double kAtanHi[9] = {0.0, 0.12435499454676144, 0.24497866312686414, 0.35877067027057225,
                               0.4636476090008061, 0.5585993153435624, 0.6435011087932844, 0.7188299996216245,
                               0.7853981633974483};
constexpr double kAtanLo[9] = {0.0, -3.1253241424539383e-18, 1.0698755618734451e-17, -2.4623815582638635e-17,
                               2.2698777452961687e-17, -5.4556305485916264e-18, 1.5834785051444286e-17,
                               -2.1478388444456983e-17, 3.061616997868383e-17};

// sin and cos on [-pi/4, pi/4].
double sinKernel(double x) {
    const double z = x * x, v = z * x;
    const double r = 8.33333333332248946124e-03 +
                     z * (-1.98412698298579493134e-04 +
                          z * (2.75573137070700676789e-06 + z * (-2.50507602534068634195e-08 + z * 1.58969099521155010221e-10)));
    return x + v * (-1.66666666666666324348e-01 + z * r);
}

double cosKernel(double x) {
    const double z = x * x;
    const double r =
        z * (4.16666666666666019037e-02 +
             z * (-1.38888888888741095749e-03 +
                  z * (2.48015872894767294178e-05 +
                       z * (-2.75573143513906633035e-07 + z * (2.08757232129817482790e-09 + z * -1.13596475577881948265e-11)))));
    const double hz = 0.5 * z, w = 1.0 - hz;
    return w + (((1.0 - w) - hz) + z * r);
}

// x = n pi/2 + y with |y| <= about pi/4; returns n mod 4.
int reduce(double x, double& y) {
    if (std::abs(x) > 1e5) x = std::fmod(x, 2 * kPiHi);  // exact; far angles do not occur in play
    const double n = std::nearbyint(x * kTwoOverPi);
    y = ((x - n * kPio2Part1) - n * kPio2Part2) - n * kPio2Part3;
    return static_cast<int>(static_cast<long long>(n) & 3);
}

// atan on [0, 1]: atan(k/8) from the table plus the series of the small rest.
double atanUnit(double x) {
    const int k = static_cast<int>(x * 8 + 0.5);
    const double c = k / 8.0;
    const double t = (x - c) / (1.0 + x * c);  // |t| <= 1/16
    const double s = t * t;
    // t - t^3/3 + t^5/5 - ... + t^17/17
    constexpr double a[9] = {1.0,       -1.0 / 3,  1.0 / 5,  -1.0 / 7, 1.0 / 9,
                             -1.0 / 11, 1.0 / 13, -1.0 / 15, 1.0 / 17};
    double q = a[8];
    for (int i = 7; i >= 1; --i) q = a[i] + s * q;
    return kAtanHi[k] + (kAtanLo[k] + (t + (t * s) * q));
}

}  // namespace

double sin(double x) {
    if (!std::isfinite(x)) return kNaN;
    double y = 0;
    switch (reduce(x, y)) {
    case 0: return sinKernel(y);
    case 1: return cosKernel(y);
    case 2: return -sinKernel(y);
    default: return -cosKernel(y);
    }
}

double cos(double x) {
    if (!std::isfinite(x)) return kNaN;
    double y = 0;
    switch (reduce(x, y)) {
    case 0: return cosKernel(y);
    case 1: return -sinKernel(y);
    case 2: return -cosKernel(y);
    default: return sinKernel(y);
    }
}

double atan2(double y, double x) {
    if (std::isnan(x) || std::isnan(y)) return kNaN;
    const double ax = std::abs(x), ay = std::abs(y);
    double a = 0;
    if (ax == 0 && ay == 0) {
        a = 0;
    } else if (std::isinf(ax) && std::isinf(ay)) {
        a = kPio2Hi / 2;
    } else if (ay <= ax) {
        a = atanUnit(ay / ax);
    } else {
        a = kPio2Hi - (atanUnit(ax / ay) - kPio2Lo);
    }
    if (std::signbit(x)) a = kPiHi - (a - kPiLo);
    return std::copysign(a, y);
}

double acos(double x) {
    if (!(std::abs(x) <= 1)) return kNaN;
    return atan2(std::sqrt((1.0 - x) * (1.0 + x)), x);
}

double log(double x) {
    if (std::isnan(x) || x < 0) return kNaN;
    if (x == 0) return -std::numeric_limits<double>::infinity();
    if (std::isinf(x)) return x;
    int e = 0;
    double m = std::frexp(x, &e);  // exact: x = m 2^e, m in [0.5, 1)
    if (m < 0.70710678118654752440) {
        m *= 2;
        --e;
    }
    const double f = (m - 1.0) / (m + 1.0), s = f * f;
    // log(m) = 2 atanh(f) = 2 (f + f^3/3 + f^5/5 + ...), |f| <= 0.1716
    double q = 1.0 / 25;
    for (int i = 23; i >= 3; i -= 2) q = 1.0 / i + s * q;
    const double k = e;
    return k * kLn2Hi + ((2 * f + (2 * f * s) * q) + k * kLn2Lo);
}

double exp(double x) {
    if (std::isnan(x)) return kNaN;
    if (x > 709.78) return std::numeric_limits<double>::infinity();
    if (x < -745.2) return 0;
    const double k = std::nearbyint(x * kInvLn2);
    const double r = (x - k * kLn2Hi) - k * kLn2Lo;  // |r| <= about 0.347
    // 1 + r + r^2/2! + ... + r^18/18!
    double q = 1.0;
    for (int i = 18; i >= 1; --i) q = 1.0 + q * r / i;
    return std::ldexp(q, static_cast<int>(k));  // exact
}

double pow(double x, double y) {
    if (y == 0) return 1;
    if (std::isnan(x) || std::isnan(y)) return kNaN;
    if (x == 0) return y > 0 ? 0.0 : std::numeric_limits<double>::infinity();
    if (x < 0) {
        if (std::nearbyint(y) != y) return kNaN;
        const double r = exp(y * log(-x));
        return std::fmod(std::abs(y), 2.0) == 1.0 ? -r : r;
    }
    return exp(y * log(x));
}

double hypot(double x, double y) {
    if (std::isinf(x) || std::isinf(y)) return std::numeric_limits<double>::infinity();
    return std::sqrt(x * x + y * y);
}

}  // namespace detmath
