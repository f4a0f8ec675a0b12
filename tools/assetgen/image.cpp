#include "tools/assetgen/image.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>

namespace assetgen {

namespace {

uint8_t byte(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

void appendBytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

uint32_t hash(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return h;
}

double smooth(double t) { return t * t * (3 - 2 * t); }

}  // namespace

Image::Image(int width, int height, int channels)
    : width_(width), height_(height), channels_(channels),
      pixels_(static_cast<size_t>(width) * height * channels, 0) {}

void Image::set(int x, int y, Rgb c, double alpha) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * channels_];
    if (channels_ == 1) {
        p[0] = byte((c.r + c.g + c.b) / 3);
        return;
    }
    p[0] = byte(c.r);
    p[1] = byte(c.g);
    p[2] = byte(c.b);
    if (channels_ == 4) p[3] = byte(alpha);
}

void Image::blend(int x, int y, Rgb c, double a) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || a <= 0) return;
    a = std::min(a, 1.0);
    double old = alpha(x, y) / 255;
    set(x, y, mix(rgb(x, y), c, a), 255 * (old + a - old * a));
}

Rgb Image::rgb(int x, int y) const {
    const uint8_t* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * channels_];
    if (channels_ == 1) return {double(p[0]), double(p[0]), double(p[0])};
    return {double(p[0]), double(p[1]), double(p[2])};
}

double Image::alpha(int x, int y) const {
    if (channels_ != 4) return 255;
    return pixels_[(static_cast<size_t>(y) * width_ + x) * 4 + 3];
}

std::string Image::png() const {
    std::string out;
    stbi_write_png_to_func(appendBytes, &out, width_, height_, channels_, pixels_.data(), width_ * channels_);
    return out;
}

double hashNoise(int x, int y, uint32_t seed) {
    return hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y), seed) / 4294967295.0;
}

double valueNoise(double x, double y, uint32_t seed) {
    double fx = std::floor(x), fy = std::floor(y);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    double tx = smooth(x - fx), ty = smooth(y - fy);
    double a = hashNoise(ix, iy, seed), b = hashNoise(ix + 1, iy, seed);
    double c = hashNoise(ix, iy + 1, seed), d = hashNoise(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

double fractalNoise(double x, double y, int octaves, uint32_t seed, int period) {
    double sum = 0, weight = 0, amplitude = 1;
    int p = period;
    for (int o = 0; o < octaves; ++o) {
        double nx = x, ny = y;
        double v;
        if (p > 0) {
            // Wrap the lattice so the pattern repeats every `p` cells.
            double fx = std::floor(nx), fy = std::floor(ny);
            int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
            double tx = smooth(nx - fx), ty = smooth(ny - fy);
            auto at = [&](int i, int j) { return hashNoise(((i % p) + p) % p, ((j % p) + p) % p, seed + o); };
            double a = at(ix, iy), b = at(ix + 1, iy), c = at(ix, iy + 1), d = at(ix + 1, iy + 1);
            double top = a + (b - a) * tx, bottom = c + (d - c) * tx;
            v = top + (bottom - top) * ty;
        } else {
            v = valueNoise(nx, ny, seed + o);
        }
        sum += v * amplitude;
        weight += amplitude;
        amplitude *= 0.5;
        x *= 2;
        y *= 2;
        p *= 2;
    }
    return sum / weight;
}

double smoothstep(double a, double b, double v) {
    double t = std::clamp((v - a) / (b - a), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

double coverage(double d) { return std::clamp(0.5 - d, 0.0, 1.0); }

}  // namespace assetgen
