// The physics' own elementary functions: close to the C library's, exact at the special values.
#include "physics/det_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

double ulpsApart(double a, double b) {
    if (a == b || (std::isnan(a) && std::isnan(b))) return 0;
    return std::abs(a - b) / std::abs(std::nextafter(b, INFINITY) - b);
}

TEST(DetMath, WithinAFewUnitsOfTheLibraryOverTheRangesOfPlay) {
    struct Row {
        const char* what;
        double (*mine)(double, double);
        double (*library)(double, double);
        double loA, hiA, loB, hiB;
        double maxUlps;
    };
    const Row rows[] = {
        {"sin", [](double a, double) { return detmath::sin(a); }, [](double a, double) { return std::sin(a); }, -20, 20, 0, 0, 1},
        {"cos", [](double a, double) { return detmath::cos(a); }, [](double a, double) { return std::cos(a); }, -20, 20, 0, 0, 1},
        {"atan2", detmath::atan2, [](double y, double x) { return std::atan2(y, x); }, -1e3, 1e3, -1e3, 1e3, 3},
        {"acos", [](double a, double) { return detmath::acos(a); }, [](double a, double) { return std::acos(a); }, -1, 1, 0, 0, 2},
        {"log", [](double a, double) { return detmath::log(a); }, [](double a, double) { return std::log(a); }, 1e-6, 1e4, 0, 0, 2},
        {"exp", [](double a, double) { return detmath::exp(a); }, [](double a, double) { return std::exp(a); }, -50, 50, 0, 0, 1},
        {"pow", detmath::pow, [](double x, double y) { return std::pow(x, y); }, 0, 3, -3, 3, 64},
        {"hypot", detmath::hypot, [](double x, double y) { return std::hypot(x, y); }, -1e4, 1e4, -1e4, 1e4, 1},
    };
    srand48(11);
    for (const Row& r : rows) {
        double worst = 0;
        for (int i = 0; i < 200000; ++i) {
            const double a = r.loA + (r.hiA - r.loA) * drand48(), b = r.loB + (r.hiB - r.loB) * drand48();
            worst = std::max(worst, ulpsApart(r.mine(a, b), r.library(a, b)));
        }
        EXPECT_LE(worst, r.maxUlps) << r.what;
    }
}

TEST(DetMath, SpecialValues) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(detmath::sin(0.0), 0.0);
    EXPECT_EQ(detmath::cos(0.0), 1.0);
    EXPECT_TRUE(std::isnan(detmath::sin(inf)));
    EXPECT_TRUE(std::isnan(detmath::cos(nan)));
    EXPECT_EQ(detmath::atan2(0.0, 1.0), 0.0);
    EXPECT_DOUBLE_EQ(detmath::atan2(0.0, -1.0), M_PI);
    EXPECT_DOUBLE_EQ(detmath::atan2(-1.0, 0.0), -M_PI / 2);
    EXPECT_DOUBLE_EQ(detmath::atan2(1.0, 1.0), M_PI / 4);
    EXPECT_TRUE(std::isnan(detmath::atan2(nan, 1.0)));
    EXPECT_TRUE(std::isnan(detmath::acos(1.5)));
    EXPECT_EQ(detmath::acos(1.0), 0.0);
    EXPECT_EQ(detmath::log(1.0), 0.0);
    EXPECT_EQ(detmath::log(0.0), -inf);
    EXPECT_TRUE(std::isnan(detmath::log(-1.0)));
    EXPECT_EQ(detmath::exp(0.0), 1.0);
    EXPECT_EQ(detmath::exp(1000.0), inf);
    EXPECT_EQ(detmath::exp(-1000.0), 0.0);
    EXPECT_EQ(detmath::pow(0.0, 2.5), 0.0);
    EXPECT_EQ(detmath::pow(5.0, 0.0), 1.0);
    EXPECT_NEAR(detmath::pow(-2.0, 3.0), -8.0, 1e-14);
    EXPECT_TRUE(std::isnan(detmath::pow(-2.0, 0.5)));
    EXPECT_EQ(detmath::hypot(3.0, 4.0), 5.0);
}

}  // namespace
