// Generated stand-ins for the scene's assets: PNG images, spheres and boxes as .obj text. The tests
// and the loading benchmark use them where the real models are not at hand.
#pragma once

#include <stb/stb_image_write.h>

#include <cmath>
#include <string>
#include <vector>

namespace bztest {

inline std::string encodePng(const std::vector<unsigned char>& pixels, int w, int h, int channels) {
    std::string out;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            static_cast<std::string*>(context)->append(static_cast<const char*>(data), size_t(size));
        },
        &out, w, h, channels, pixels.data(), w * channels);
    return out;
}

// A w x h PNG of the given channel count, every byte the same value.
inline std::string pngBytes(int w, int h, int channels, unsigned char value = 200) {
    return encodePng(std::vector<unsigned char>(size_t(w) * size_t(h) * size_t(channels), value), w, h, channels);
}

// A w x h three-channel PNG of one colour.
inline std::string pngColour(int w, int h, unsigned char r, unsigned char g, unsigned char b) {
    std::vector<unsigned char> pixels;
    for (int i = 0; i < w * h; ++i) pixels.insert(pixels.end(), {r, g, b});
    return encodePng(pixels, w, h, 3);
}

// A w x h image like a material photograph: a soft gradient with fine grain, which compresses about
// as such images do (a third to a half of the raw size), unlike a fill or pure noise.
inline std::string pngGrain(int w, int h, int channels) {
    std::vector<unsigned char> pixels(size_t(w) * size_t(h) * size_t(channels));
    unsigned state = 12345;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < channels; ++c) {
                state = state * 1103515245u + 12345u;
                const int base = 90 + (x * 60 / w) + (y * 40 / h) + c * 10;
                pixels[(size_t(y) * size_t(w) + size_t(x)) * size_t(channels) + size_t(c)] =
                    (unsigned char)(base + int((state >> 16) & 7));
            }
        }
    }
    return encodePng(pixels, w, h, channels);
}

// A markings image: white, clear except for lines across the table, drawn opaque.
inline std::string pngMarkings(int w, int h) {
    std::vector<unsigned char> pixels(size_t(w) * size_t(h) * 4, 255);
    for (int v = 0; v < h; ++v) {
        const bool line = v % (h / 4) < 2;
        for (int u = 0; u < w; ++u) pixels[(size_t(v) * size_t(w) + size_t(u)) * 4 + 3] = line ? 255 : 0;
    }
    return encodePng(pixels, w, h, 4);
}

// A sphere of the ball radius centred at the origin, with normals and texture coordinates.
inline std::string sphereObj(const std::string& mtllib, const std::string& material, int rings = 24,
                             int segments = 48) {
    const double r = 26.25;
    std::string obj = "mtllib " + mtllib + "\no Ball\n";
    for (int i = 0; i <= rings; ++i) {
        for (int j = 0; j <= segments; ++j) {
            const double theta = M_PI * i / rings, phi = 2 * M_PI * j / segments;
            const double x = std::sin(theta) * std::cos(phi), y = std::cos(theta), z = std::sin(theta) * std::sin(phi);
            obj += "v " + std::to_string(r * x) + " " + std::to_string(r * y) + " " + std::to_string(r * z) + "\n";
            obj += "vn " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) + "\n";
            obj += "vt " + std::to_string(double(j) / segments) + " " + std::to_string(1.0 - double(i) / rings) + "\n";
        }
    }
    obj += "usemtl " + material + "\n";
    auto corner = [](int n) { return std::to_string(n) + "/" + std::to_string(n) + "/" + std::to_string(n); };
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < segments; ++j) {
            const int a = i * (segments + 1) + j + 1, b = a + segments + 1;
            obj += "f " + corner(a) + " " + corner(a + 1) + " " + corner(b + 1) + " " + corner(b) + "\n";
        }
    }
    return obj;
}

// A box from lo to hi, each face cut into n x n quads; normals point inward for a room.
inline std::string boxObj(const std::string& mtllib, const std::string& material, const float lo[3],
                          const float hi[3], bool inward, int n = 1) {
    std::string obj = "mtllib " + mtllib + "\no Box\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
    obj += "usemtl " + material + "\n";
    int vertices = 0;
    // Each face: the axis it faces along and its side.
    for (int axis = 0; axis < 3; ++axis) {
        for (int side = 0; side < 2; ++side) {
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            const float sign = (side ? 1.0f : -1.0f) * (inward ? -1.0f : 1.0f);
            float normal[3] = {0, 0, 0};
            normal[axis] = sign;
            obj += "vn " + std::to_string(normal[0]) + " " + std::to_string(normal[1]) + " " +
                   std::to_string(normal[2]) + "\n";
            const int normalIndex = axis * 2 + side + 1;
            const int first = vertices + 1;
            for (int i = 0; i <= n; ++i) {
                for (int j = 0; j <= n; ++j) {
                    float p[3];
                    p[axis] = side ? hi[axis] : lo[axis];
                    p[u] = lo[u] + (hi[u] - lo[u]) * float(i) / float(n);
                    p[v] = lo[v] + (hi[v] - lo[v]) * float(j) / float(n);
                    obj += "v " + std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) + "\n";
                    ++vertices;
                }
            }
            for (int i = 0; i < n; ++i) {
                for (int j = 0; j < n; ++j) {
                    const int q[4] = {first + i * (n + 1) + j, first + (i + 1) * (n + 1) + j,
                                first + (i + 1) * (n + 1) + j + 1, first + i * (n + 1) + j + 1};
                    obj += "f";
                    for (int k = 0; k < 4; ++k) {
                        obj += " " + std::to_string(q[k]) + "/" + std::to_string(k + 1) + "/" + std::to_string(normalIndex);
                    }
                    obj += "\n";
                }
            }
        }
    }
    return obj;
}

}  // namespace bztest
