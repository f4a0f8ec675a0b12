// Small RGBA images painted in code, with deterministic noise, written as PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct Rgb {
    double r = 0, g = 0, b = 0;  // 0..255
};

inline Rgb mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
inline Rgb scaled(Rgb a, double s) { return {a.r * s, a.g * s, a.b * s}; }

class Image {
public:
    Image(int width, int height, int channels);

    int width() const { return width_; }
    int height() const { return height_; }
    int channels() const { return channels_; }
    const std::vector<uint8_t>& pixels() const { return pixels_; }

    void set(int x, int y, Rgb c, double alpha = 255);
    // Draws c over the pixel with coverage a (0..1); the alpha channel takes the union.
    void blend(int x, int y, Rgb c, double a);
    Rgb rgb(int x, int y) const;
    double alpha(int x, int y) const;

    // Paints every pixel from a function of the pixel centre; the function returns colour and alpha.
    template <typename F>
    void paint(F&& f) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                double a = 255;
                Rgb c = f(x + 0.5, y + 0.5, a);
                set(x, y, c, a);
            }
    }

    std::string png() const;

private:
    int width_, height_, channels_;
    std::vector<uint8_t> pixels_;
};

// Value noise in [0, 1] from integer hashing: the same on every machine and run.
double hashNoise(int x, int y, uint32_t seed);
double valueNoise(double x, double y, uint32_t seed);
// Sum of octaves, wrapping every `period` units so that a texture tiles (period 0: no wrap).
double fractalNoise(double x, double y, int octaves, uint32_t seed, int period = 0);

// 0 below a, 1 above b, a smooth step between.
double smoothstep(double a, double b, double v);

// Coverage (0..1) of a point at distance d from an edge at 0, inside for negative d, one pixel wide.
double coverage(double signedDistancePx);

}  // namespace assetgen
