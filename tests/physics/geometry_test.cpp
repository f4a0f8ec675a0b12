#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>

#include "physics/geometry.h"

TEST(Geometry, LineDistancesAndProjection) {
    EXPECT_DOUBLE_EQ(phys::distancePointToLine3d({0, 0, 0}, {2, 0, 0}, {5, 3, 4}), 5);
    EXPECT_DOUBLE_EQ(phys::projectOnLine({1, 0, 0}, {3, 0, 0}, {5, 3, 4}), 4);
    EXPECT_DOUBLE_EQ(phys::projectOnLine({1, 0, 0}, {1, 0, 0}, {-1, 9, 9}), -2);
    // Skew lines along x at height 0 and along z at height 7.
    EXPECT_DOUBLE_EQ(phys::distanceBetweenLines({0, 0, 0}, {1, 0, 0}, {3, 7, 2}, {0, 0, 1}), 7);
}

TEST(Geometry, IntersectLines) {
    double x = 123, z = 456;
    EXPECT_FALSE(intersectLines(x, z, 0, 0, 0.3, 5, 5, 0.3 + std::numbers::pi));
    EXPECT_EQ(x, 123);
    EXPECT_EQ(z, 456);
    ASSERT_TRUE(intersectLines(x, z, 0, 0, 0, 3, -2, std::numbers::pi / 2));
    EXPECT_NEAR(x, 3, 1e-12);
    EXPECT_NEAR(z, 0, 1e-12);
    ASSERT_TRUE(intersectLines(x, z, 0, 0, std::numbers::pi / 4, 4, 0, 3 * std::numbers::pi / 4));
    EXPECT_NEAR(x, 2, 1e-12);
    EXPECT_NEAR(z, 2, 1e-12);
}

TEST(Geometry, RotateAngleSmoothstep) {
    double x, z;
    rotatePoint(x, z, 1, 1, 2, 1, std::numbers::pi / 2);
    EXPECT_NEAR(x, 1, 1e-12);
    EXPECT_NEAR(z, 2, 1e-12);
    EXPECT_EQ(angleBetween(0, 0, 1, 0), 0);
    EXPECT_NEAR(angleBetween(1, 0, 0, 3), std::numbers::pi / 2, 1e-12);
    for (int k = 1; k < 200; ++k) {
        double a = angleBetween(k * 0.1, k * 0.3, k * 0.7, k * 2.1);  // parallel: rounding may pass 1
        ASSERT_FALSE(std::isnan(a)) << k;
        EXPECT_NEAR(a, 0, 1e-7);
    }
    EXPECT_EQ(smoothstep(1, 2, 0.5), 0);
    EXPECT_EQ(smoothstep(1, 2, 3), 1);
    EXPECT_DOUBLE_EQ(smoothstep(1, 2, 1.5), 0.5);
    EXPECT_DOUBLE_EQ(smoothstep(0, 4, 1), 3.0 / 16 - 2.0 / 64);
}

TEST(Geometry, GaussianPairRespectsItsBound) {
    srand48(1);
    double largest = 0;
    for (int k = 0; k < 20000; ++k) {
        double g1, g2;
        gaussianPair(g1, g2, 2);
        ASSERT_LT(std::abs(g1), 2);
        ASSERT_LT(std::abs(g2), 2);
        gaussianPair(g1, g2, 0);
        largest = std::max({largest, std::abs(g1), std::abs(g2)});
    }
    EXPECT_GT(largest, 2);  // unbounded without a bound
}

TEST(Quaternion, RotateMultiplyAndAxisAngle) {
    Quaternion q;
    q.rotate(360, 0, 1, 0);
    EXPECT_NEAR(q.w, -1, 1e-6);
    EXPECT_NEAR(q.y, 0, 1e-6);

    // A turn about x, then one about the fixed y axis, acts after it: r x q.
    Quaternion a;
    a.rotate(90, 1, 0, 0);
    Quaternion b = a;
    b.rotate(90, 0, 1, 0);
    Quaternion ry;
    ry.rotate(90, 0, 1, 0);
    ry.multiply(a);
    EXPECT_FLOAT_EQ(b.w, ry.w);
    EXPECT_FLOAT_EQ(b.x, ry.x);
    EXPECT_FLOAT_EQ(b.y, ry.y);
    EXPECT_FLOAT_EQ(b.z, ry.z);

    Quaternion turn{2, 0, 0, 0};  // scaled identity normalises to no rotation
    float angle, ax, ay, az;
    turn.toAxisAngle(angle, ax, ay, az);
    EXPECT_EQ(angle, 0);
    EXPECT_EQ(ay, 1);
    EXPECT_FLOAT_EQ(turn.w, 1);

    Quaternion y90;
    y90.rotate(90, 0, 1, 0);
    y90.toAxisAngle(angle, ax, ay, az);
    EXPECT_NEAR(angle, 90, 1e-4);
    EXPECT_NEAR(ay, 1, 1e-6);
    EXPECT_NEAR(ax, 0, 1e-6);

    // A small turn about a slanted axis: the axis comes back with length 1, not 1/sin(half angle).
    const float k = 1 / std::sqrt(3.0f);
    Quaternion slanted;
    slanted.rotate(10, k, k, -k);
    slanted.toAxisAngle(angle, ax, ay, az);
    EXPECT_NEAR(angle, 10, 1e-3);
    EXPECT_NEAR(std::sqrt(ax * ax + ay * ay + az * az), 1, 1e-5);
    EXPECT_NEAR(ax, k, 1e-4);
    EXPECT_NEAR(az, -k, 1e-4);

    Quaternion zero{0, 0, 0, 0};
    zero.toAxisAngle(angle, ax, ay, az);
    EXPECT_EQ(zero.w, 1);
    EXPECT_EQ(angle, 0);
}
