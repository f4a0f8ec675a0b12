#include "render/table_markings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct Point {
    float x, z, factor;
};

TEST(TableMarkingsTest, FactorDarkensTowardsTheCushionsButNotIntoOpenPocketMouths) {
    for (const Point& p : std::vector<Point>{
             {0, 0, 1.0f},           // open cloth
             {1764.5f, 0, 1.0f},     // the inner rectangle's edge
             {1784.5f, 0, 0.79f},    // half way through the 40 mm ramp
             {1900, 0, 0.58f},       // beyond the ramp
             {0, 900, 1.0f},         // in front of the middle pocket: outside its 99.38 mm circle
             {100, 968, 0.58f},      // deep in the middle pocket's mouth
         }) {
        for (bool club : {true, false}) {
            EXPECT_NEAR(markingsFactor(p.x, p.z, club), p.factor, 1e-4) << p.x << "," << p.z << " club " << club;
        }
    }
}

TEST(TableMarkingsTest, TheTwoTablesDifferOnlyInThePocketMouths) {
    EXPECT_NEAR(markingsFactor(1850, 850, true), 0.5834f, 1e-3);
    EXPECT_NEAR(markingsFactor(1850, 850, false), 0.58f, 1e-6);
    int differing = 0;
    for (float x = 0; x < 1900; x += 7.3f) {
        for (float z = 0; z < 960; z += 5.1f) {
            if (markingsFactor(x, z, true) == markingsFactor(x, z, false)) continue;
            ++differing;
            // Every difference lies near a pocket: a corner, or the middle of a side cushion.
            EXPECT_TRUE(z > 700 && (x > 1600 || x < 250)) << x << "," << z;
        }
    }
    EXPECT_GT(differing, 0);
}

// Every pixel, mirrored ones and the last rows and columns that mirror outside the image included,
// is shaded exactly once with the factor of its own table point, and nothing outside is written.
TEST(TableMarkingsTest, BakingShadesEachPixelOnceAndStaysInsideTheImage) {
    for (auto [width, height] : std::vector<std::pair<int, int>>{{5, 6}, {7, 5}, {64, 128}, {1, 2}}) {
        const size_t bytes = size_t(width) * size_t(height) * 4;
        std::vector<uint8_t> image(bytes + 64, 100);
        bakeMarkingsShading(image.data(), width, height, true);
        for (size_t i = bytes; i < image.size(); ++i) ASSERT_EQ(image[i], 100) << "written past the end";
        for (int v = 0; v < height; ++v) {
            const float x = std::fabs(v + 1.5f - height / 2.0f) / (height / 2.0f) * 1832.13f;
            for (int u = 0; u < width; ++u) {
                const float z = std::fabs(u + 1.5f - width / 2.0f) / (width / 2.0f) * 936.63f;
                const float factor = markingsFactor(x, z, true);
                const uint8_t expected = factor >= 0.99f ? 255 : uint8_t(100 * factor);
                const uint8_t* pixel = &image[(size_t(v) * size_t(width) + size_t(u)) * 4];
                EXPECT_EQ(pixel[0], expected) << width << "x" << height << " at " << u << "," << v;
                EXPECT_EQ(pixel[2], expected);
                EXPECT_EQ(pixel[3], 100) << "alpha stays";
            }
        }
    }
}

}  // namespace
