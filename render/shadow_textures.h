// The soft shadow textures under the balls and the cue: black texels whose alpha falls off towards
// the edge, computed once at start-up.
#pragma once

#include <cstdint>
#include <vector>

inline constexpr int kBallShadowSize = 128;
inline constexpr int kCueShadowWidth = 1024;
inline constexpr int kCueShadowHeight = 128;

// RGBA texels, row by row.
std::vector<uint8_t> ballShadowTexels();
std::vector<uint8_t> cueShadowTexels();

// Upload as mipmapped, repeating GL textures; each leaves its texture bound and returns its id.
unsigned createBallShadowTexture();
unsigned createCueShadowTexture();
