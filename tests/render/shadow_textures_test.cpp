#include "render/shadow_textures.h"

#include <gtest/gtest.h>

namespace {

int alphaAt(const std::vector<uint8_t>& texels, int width, int column, int row) {
    return texels[(size_t(row) * size_t(width) + size_t(column)) * 4 + 3];
}

struct Texel {
    int column, row, alpha;
};

TEST(ShadowTexturesTest, BallShadowFallsOffFromAFullCentreToAClearEdge) {
    const std::vector<uint8_t> texels = ballShadowTexels();
    ASSERT_EQ(texels.size(), 65536u);
    for (const Texel& t : std::vector<Texel>{{63, 63, 255}, {64, 64, 255}, {63, 64, 255}, {64, 63, 255},
                                            {70, 64, 254}, {64, 124, 2}, {64, 0, 0}, {0, 0, 0}}) {
        EXPECT_EQ(alphaAt(texels, 128, t.column, t.row), t.alpha) << t.column << "," << t.row;
    }
    for (size_t i = 0; i < texels.size(); i += 4) {
        ASSERT_EQ(texels[i] | texels[i + 1] | texels[i + 2], 0) << "texels are black";
    }
}

TEST(ShadowTexturesTest, CueShadowIsARoundedRectangleWithASoftBorder) {
    const std::vector<uint8_t> texels = cueShadowTexels();
    ASSERT_EQ(texels.size(), 524288u);
    for (const Texel& t : std::vector<Texel>{{32, 32, 64},
                                            {991, 95, 64},
                                            {500, 64, 64},
                                            {31, 64, 63},
                                            {992, 95, 63},
                                            {16, 64, 33},
                                            {500, 16, 33},
                                            {0, 64, 0},
                                            {500, 0, 0},
                                            {0, 0, 0},
                                            {10, 10, 0}}) {
        EXPECT_EQ(alphaAt(texels, 1024, t.column, t.row), t.alpha) << t.column << "," << t.row;
    }
    for (int row = 0; row < 128; ++row) {
        for (int column = 0; column < 1024; ++column) {
            const int a = alphaAt(texels, 1024, column, row);
            ASSERT_EQ(a, alphaAt(texels, 1024, 1023 - column, row));
            ASSERT_EQ(a, alphaAt(texels, 1024, column, 127 - row));
            ASSERT_LE(a, 64);
        }
    }
}

}  // namespace
