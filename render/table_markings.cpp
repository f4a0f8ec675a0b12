#include "render/table_markings.h"

#include <GL/glew.h>
#include <SDL2/SDL_timer.h>

#include <algorithm>
#include <cmath>

#include "core/log.h"
#include "render/texture_loader.h"

namespace {

constexpr float kHalfLength = 1832.13f;  // |x| at the image's ends
constexpr float kHalfWidth = 936.63f;    // |z| at the image's sides
constexpr float kInnerX = 1764.5f;
constexpr float kInnerZ = 869.0f;

float distance(float ax, float az, float bx, float bz) { return std::hypot(ax - bx, az - bz); }

}  // namespace

float markingsFactor(float x, float z, bool clubTable) {
    const float c1 = clubTable ? 792.71f : 798.71f;
    const float c2 = clubTable ? 143.92f : 137.92f;
    const float m1 = clubTable ? 113.34f : 110.34f;
    float j = std::max(x - kInnerX, z - kInnerZ);
    const float dz = std::fabs(z - kHalfWidth);
    const float dx = std::fabs(x - kHalfLength);
    if (z > c1 && x > kInnerX && dz > dx) {
        const float d = distance(x, z, 1860.7f, c1);
        if (d >= 96.2f) return 1.0f;
        j = 96.2f - d;
    } else if (z > kInnerZ) {
        if (x > kHalfLength - c2 && dz < dx) {
            const float d = distance(x, z, kHalfLength - c2, 965.2f);
            if (d >= 96.2f) return 1.0f;
            j = 96.2f - d;
        } else if (x < m1) {
            const float d = distance(x, z, m1, 968.38f);
            if (d >= 99.38f) return 1.0f;
            j = 99.38f - d;
        }
    }
    if (j < 0) return 1.0f;
    if (j > 40) return 0.58f;
    const float t = j / 40;
    return 1 - 0.42f * (3 * t * t - 2 * t * t * t);
}

void bakeMarkingsShading(uint8_t* rgba, int width, int height, bool clubTable) {
    for (int v = 0; v < height; ++v) {
        const int mirrorV = height - 3 - v;
        if (mirrorV >= 0 && mirrorV < v) continue;  // written as the mirror of an earlier row
        const float x = std::fabs(v + 1.5f - height / 2.0f) / (height / 2.0f) * kHalfLength;
        for (int u = 0; u < width; ++u) {
            const int mirrorU = width - 3 - u;
            if (mirrorU >= 0 && mirrorU < u) continue;
            const float z = std::fabs(u + 1.5f - width / 2.0f) / (width / 2.0f) * kHalfWidth;
            const float factor = markingsFactor(x, z, clubTable);
            // A pixel on the mirror axis is its own mirror: shaded once, not twice.
            const int rows[2] = {v, mirrorV != v ? mirrorV : -1};
            const int columns[2] = {u, mirrorU != u ? mirrorU : -1};
            for (int row : rows) {
                if (row < 0 || row >= height) continue;
                for (int column : columns) {
                    if (column < 0 || column >= width) continue;
                    uint8_t* pixel = rgba + (size_t(row) * size_t(width) + size_t(column)) * 4;
                    for (int c = 0; c < 3; ++c) {
                        pixel[c] = factor >= 0.99f ? 255 : uint8_t(pixel[c] * factor);
                    }
                }
            }
        }
    }
}

void shadeMarkingsImage(DecodedImage& image, int flag) {
    // Only an image with its own alpha carries markings to shade; others are uploaded as they are.
    if (!image.pixels || image.shaded || image.channels != 4) return;
    bakeMarkingsShading(image.pixels, image.width, image.height, flag != 0);
    image.shaded = true;
}

unsigned createTableMarkingsFrom(const std::string& member, int flag) {
    const char* kName = "createTableMarkingsFrom";
    BZ_LOG(LOG_INFO, kName, "started at: " << SDL_GetTicks());
    const auto decoded = obtainImage(member, member, kName);
    DecodedImage& image = *decoded;
    BZ_LOG(LOG_INFO, kName, "raw file loaded at: " << SDL_GetTicks());
    if (image.pixels) {
        BZ_LOG(LOG_INFO, kName, "image file loaded at: " << SDL_GetTicks());
        BZ_LOG(LOG_INFO, kName, "File \"" << member << "\": length=" << image.length << ", width=" << image.width
                                          << ", height=" << image.height << ", channels=" << image.channels);
        BZ_LOG(LOG_INFO, kName, " file:'" << member << "' size:" << image.length << " format:" << image.channels);
        shadeMarkingsImage(image, flag);
    }
    unsigned id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    static const uint8_t kClearWhite[4] = {255, 255, 255, 0};
    if (image.pixels) {
        uploadRgbaTexture(image.pixels, image.width, image.height, GL_LINEAR_MIPMAP_LINEAR);
    } else {
        uploadRgbaTexture(kClearWhite, 1, 1, GL_LINEAR_MIPMAP_LINEAR);
    }
    BZ_LOG(LOG_INFO, kName, "stopped at: " << SDL_GetTicks());
    return id;
}
