// The cue shadow cut at the bed's edge and at the rails' outer edge: the two parts meet without a
// gap, keep the texture and the cue height running on, and stay inside their rectangles.
#include "render/scene_pass.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kBedX = 1784.5f, kBedZ = 889.0f, kRailX = 1904.5f, kRailZ = 1009.0f;

// A shadow from (nx, nz) to (fx, fz), 22 wide at the near end and 52.8 at the far one, the cue rising
// from height 30 to 130 above the cloth along it.
CueShadowCorners shadow(float nx, float nz, float fx, float fz) {
    const float len = std::hypot(fx - nx, fz - nz);
    const float sx = -(fz - nz) / len, sz = (fx - nx) / len;  // sideways unit
    CueShadowCorners c;
    c.corner[0] = {nx - 11 * sx, 30, nz - 11 * sz};
    c.corner[1] = {nx + 11 * sx, 30, nz + 11 * sz};
    c.corner[2] = {fx + 26.4f * sx, 130, fz + 26.4f * sz};
    c.corner[3] = {fx - 26.4f * sx, 130, fz - 26.4f * sz};
    return c;
}

// Vertex k of a part: x, cue height, z, u, v, shadow height.
const float* vertex(const std::array<float, 36>& part, int k) { return &part[size_t(k) * 6]; }

TEST(CueShadowClipTest, ClipToRectangleKeepsTheInsideStretchOfASegment) {
    struct Row {
        const char* what;
        double x0, z0, x1, z1;
        bool any;
        double t0, t1;
    };
    const Row rows[] = {
        {"inside", -10, 0, 10, 5, true, 0, 1},
        {"leaves through +x", 0, 0, 200, 0, true, 0, 0.5},
        {"crosses both sides", -200, 50, 200, 50, true, 0.25, 0.75},
        {"leaves through a corner side", 0, 0, 300, 150, true, 0, 1.0 / 3},
        {"wholly outside", 150, 0, 300, 0, false, 0, 0},
        {"parallel to a side beyond it", -50, 60, 50, 60, false, 0, 0},
        {"misses the corner", 95, 65, 165, -5, false, 0, 0},
    };
    for (const Row& r : rows) {
        double t0 = -1, t1 = -1;
        ASSERT_EQ(clipToRectangle(r.x0, r.z0, r.x1, r.z1, 100, 50, t0, t1), r.any) << r.what;
        if (!r.any) continue;
        EXPECT_NEAR(t0, r.t0, 1e-12) << r.what;
        EXPECT_NEAR(t1, r.t1, 1e-12) << r.what;
    }
}

TEST(CueShadowClipTest, AShadowOnTheBedIsDrawnWholeWithNoRailPart) {
    const CueShadowCorners c = shadow(0, 0, 1500, 0);
    const CueShadowParts parts = cueShadowParts(c);
    ASSERT_TRUE(parts.onBed);
    EXPECT_FALSE(parts.onRail);
    // Near-left, near-right, far-right, near-left, far-right, far-left: the corners themselves.
    const int cornerOf[6] = {0, 1, 2, 0, 2, 3};
    for (int k = 0; k < 6; ++k) {
        const Vec3& corner = c.corner[cornerOf[k]];
        EXPECT_FLOAT_EQ(vertex(parts.bed, k)[0], corner.x);
        EXPECT_FLOAT_EQ(vertex(parts.bed, k)[1], corner.y);
        EXPECT_FLOAT_EQ(vertex(parts.bed, k)[2], corner.z);
        EXPECT_FLOAT_EQ(vertex(parts.bed, k)[5], 0.5f);
    }
}

TEST(CueShadowClipTest, OverTheRailTheTwoPartsMeetAtTheBedEdgeAndEndAtTheOuterEdge) {
    struct Row {
        const char* what;
        float nx, nz, fx, fz;
    };
    const Row rows[] = {
        {"across the end rail", 1000, 100, 2600, 100},
        {"across a side rail at a slant", 200, 300, 900, 1800},
        {"towards a corner", 1300, 500, 2500, 1300},
    };
    for (const Row& r : rows) {
        const CueShadowParts parts = cueShadowParts(shadow(r.nx, r.nz, r.fx, r.fz));
        ASSERT_TRUE(parts.onBed && parts.onRail) << r.what;
        // Bed vertices 2, 4 (far right) and 5 (far left) are the rail part's 1 (near right), 3 and 0
        // (near left): same place, same texture coordinate, same cue height.
        const int bedFar[3] = {2, 4, 5}, railNear[3] = {1, 1, 0};
        for (int i = 0; i < 3; ++i) {
            for (int f = 0; f < 5; ++f) {
                EXPECT_FLOAT_EQ(vertex(parts.bed, bedFar[i])[f], vertex(parts.rail, railNear[i])[f]) << r.what << " " << f;
            }
        }
        for (int k = 0; k < 6; ++k) {
            const float* b = vertex(parts.bed, k);
            const float* o = vertex(parts.rail, k);
            EXPECT_LE(std::fabs(b[0]), kBedX + 1e-3f) << r.what;
            EXPECT_LE(std::fabs(b[2]), kBedZ + 1e-3f) << r.what;
            EXPECT_LE(std::fabs(o[0]), kRailX + 1e-3f) << r.what;
            EXPECT_LE(std::fabs(o[2]), kRailZ + 1e-3f) << r.what;
            EXPECT_FLOAT_EQ(o[5], 37.0f);
            // The cue height follows the texture coordinate along the shadow.
            EXPECT_NEAR(o[1], 30 + 100 * o[3], 1e-3) << r.what;
        }
        // The far ends lie on the edges they were cut at.
        const float* farBed = vertex(parts.bed, 2);
        const float* farRail = vertex(parts.rail, 2);
        EXPECT_TRUE(std::fabs(std::fabs(farBed[0]) - kBedX) < 1e-2f || std::fabs(std::fabs(farBed[2]) - kBedZ) < 1e-2f)
            << r.what;
        EXPECT_TRUE(std::fabs(std::fabs(farRail[0]) - kRailX) < 1e-2f ||
                    std::fabs(std::fabs(farRail[2]) - kRailZ) < 1e-2f)
            << r.what;
        EXPECT_GT(vertex(parts.bed, 2)[3], 0.0f);
        EXPECT_LT(vertex(parts.rail, 2)[3], 1.0f) << "the shadow goes on past the rails";
    }
}

TEST(CueShadowClipTest, ANearEndOffTheBedDrawsOnlyTheRailAndBeyondTheRailsNothing) {
    const CueShadowParts overRail = cueShadowParts(shadow(0, 940, 0, 2400));
    EXPECT_FALSE(overRail.onBed);
    ASSERT_TRUE(overRail.onRail);
    EXPECT_FLOAT_EQ(vertex(overRail.rail, 0)[3], 0.0f) << "starts at the near end";
    EXPECT_NEAR(vertex(overRail.rail, 2)[2], kRailZ, 1e-2);
    const CueShadowParts beyond = cueShadowParts(shadow(0, 1030, 0, 2400));
    EXPECT_FALSE(beyond.onBed);
    EXPECT_FALSE(beyond.onRail);
}

}  // namespace
