#include "render/shadow_textures.h"

#include <GL/glew.h>

#include <cmath>

#include "render/gl_check.h"

namespace {

void setAlpha(std::vector<uint8_t>& texels, int width, int column, int row, uint8_t alpha) {
    texels[(size_t(row) * size_t(width) + size_t(column)) * 4 + 3] = alpha;
}

unsigned upload(const char* function, const std::vector<uint8_t>& texels, int width, int height) {
    unsigned id = 0;
    glGenTextures(1, &id);
    BZ_GL_TRACE(function);
    glBindTexture(GL_TEXTURE_2D, id);
    BZ_GL_TRACE(function);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, width);
    BZ_GL_TRACE(function);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    BZ_GL_TRACE(function);
    glGenerateMipmap(GL_TEXTURE_2D);
    BZ_GL_TRACE(function);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    BZ_GL_TRACE(function);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    BZ_GL_TRACE(function);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    BZ_GL_TRACE(function);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    BZ_GL_TRACE(function);
    return id;
}

}  // namespace

std::vector<uint8_t> ballShadowTexels() {
    std::vector<uint8_t> texels(size_t(kBallShadowSize) * kBallShadowSize * 4, 0);
    for (int j = 0; j < kBallShadowSize; ++j) {
        for (int i = 0; i < kBallShadowSize; ++i) {
            const double d = std::sqrt((i + 0.5 - 64) * (i + 0.5 - 64) + (j + 0.5 - 64) * (j + 0.5 - 64));
            const float r = float(d) * 1.2f * 0.015625f;
            int alpha = 0;
            if (r < 0.12f) {
                alpha = 255;
            } else if (r <= 1.2f) {
                // Raised cosine from full at r = 0.12 to nothing at the edge.
                alpha = int((1 - 0.5 * (1 - std::cos(M_PI * (r - 0.12) / 1.08))) * 255);
            }
            setAlpha(texels, kBallShadowSize, i, j, uint8_t(alpha));
        }
    }
    return texels;
}

std::vector<uint8_t> cueShadowTexels() {
    std::vector<uint8_t> texels(size_t(kCueShadowWidth) * kCueShadowHeight * 4, 0);
    for (int j = 0; j < kCueShadowHeight / 2; ++j) {
        for (int i = 0; i < kCueShadowWidth / 2; ++i) {
            int alpha = 64;
            if (i <= 31 || j <= 31) {
                float b;
                if (i <= 31 && j <= 31) {
                    b = float(std::sqrt((i + 0.5 - 32) * (i + 0.5 - 32) + (j + 0.5 - 32) * (j + 0.5 - 32))) * 0.03125f;
                } else if (i <= 31) {
                    b = float((32 - (i + 0.5)) * 0.03125);
                } else {
                    b = float((32 - (j + 0.5)) * 0.03125);
                }
                alpha = b > 1 ? 0 : int(float((std::cos(M_PI * b) + 1) * 0.5 * 64));
            }
            const int mi = kCueShadowWidth - 1 - i, mj = kCueShadowHeight - 1 - j;
            setAlpha(texels, kCueShadowWidth, i, j, uint8_t(alpha));
            setAlpha(texels, kCueShadowWidth, mi, j, uint8_t(alpha));
            setAlpha(texels, kCueShadowWidth, i, mj, uint8_t(alpha));
            setAlpha(texels, kCueShadowWidth, mi, mj, uint8_t(alpha));
        }
    }
    return texels;
}

unsigned createBallShadowTexture() {
    return upload("createBallShadowTexture", ballShadowTexels(), kBallShadowSize, kBallShadowSize);
}

unsigned createCueShadowTexture() {
    return upload("createCueShadowTexture", cueShadowTexels(), kCueShadowWidth, kCueShadowHeight);
}
