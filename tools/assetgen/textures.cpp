#include "tools/assetgen/textures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/assetgen/scene_models.h"

namespace assetgen {

namespace {

constexpr double kPi = std::numbers::pi;

// A wood grain running along x: rings bent by noise, with fine pores.
Rgb woodAt(double x, double y, Rgb dark, Rgb light, double scale, uint32_t seed, int period = 0) {
    double warp = fractalNoise(x / (60 * scale), y / (12 * scale), 4, seed, period);
    double rings = 0.5 + 0.5 * std::sin((y / (7 * scale) + 9 * warp) * 2 * kPi / 3);
    double streak = fractalNoise(x / (300 * scale), y / (3 * scale), 3, seed + 7, period);
    double t = std::clamp(0.25 + 0.5 * rings * rings + 0.35 * (streak - 0.5), 0.0, 1.0);
    double pore = 0.96 + 0.04 * hashNoise(static_cast<int>(x), static_cast<int>(y), seed + 3);
    return scaled(mix(dark, light, t), pore);
}

Image plainNoise(int w, int h, Rgb base, double amount, uint32_t seed, double cell) {
    Image img(w, h, 3);
    img.paint([&](double x, double y, double&) {
        double n = fractalNoise(x / cell, y / cell, 4, seed, static_cast<int>(w / cell));
        double grain = hashNoise(static_cast<int>(x), static_cast<int>(y), seed + 1);
        return scaled(base, 1 + amount * (n - 0.5) + amount * 0.5 * (grain - 0.5));
    });
    return img;
}

Image clothImage() {
    // Rows run along the table; the nap shows as faint streaks along them.
    Image img(512, 1024, 3);
    const Rgb green{30, 112, 46};
    img.paint([&](double x, double y, double&) {
        double streak = fractalNoise(x / 3, y / 90, 3, 11, 512 / 3);
        double mottle = fractalNoise(x / 64, y / 64, 4, 12, 8);
        double fibre = hashNoise(static_cast<int>(x), static_cast<int>(y), 13);
        return scaled(green, 0.93 + 0.06 * streak + 0.07 * mottle + 0.04 * fibre);
    });
    return img;
}

Image clothNormalImage() {
    Image img(256, 256, 3);
    img.paint([&](double x, double y, double&) {
        // A fine twill: diagonal ribs every four texels, and a little fibre noise.
        double rib = std::sin((x + y) * 2 * kPi / 4);
        double nx = 0.18 * rib + 0.08 * (hashNoise(static_cast<int>(x), static_cast<int>(y), 21) - 0.5);
        double ny = 0.18 * rib + 0.08 * (hashNoise(static_cast<int>(x), static_cast<int>(y), 22) - 0.5);
        double nz = std::sqrt(std::max(0.0, 1 - nx * nx - ny * ny));
        return Rgb{127.5 + 127.5 * nx, 127.5 + 127.5 * ny, 127.5 + 127.5 * nz};
    });
    return img;
}

Image woodImage(Rgb dark, Rgb light, uint32_t seed) {
    Image img(512, 512, 3);
    img.paint([&](double x, double y, double&) { return woodAt(x, y, dark, light, 1, seed, 0); });
    return img;
}

Image panelImage() {
    // Dark wall panels: boards with grooves, a dado rail at a third of the height.
    Image img(256, 256, 3);
    img.paint([&](double x, double y, double&) {
        Rgb c = woodAt(y * 2, x, {38, 20, 12}, {70, 38, 22}, 0.6, 31);
        double groove = std::fmod(x, 64.0);
        if (groove < 2 || groove > 62) c = scaled(c, 0.45);
        if (y > 168 && y < 176) c = scaled(c, 1.25);
        return c;
    });
    return img;
}

Image carpetImage() {
    Image img(256, 256, 3);
    img.paint([&](double x, double y, double&) {
        double u = std::fmod(x, 64.0) - 32, v = std::fmod(y, 64.0) - 32;
        double diamond = std::abs(u) + std::abs(v);
        Rgb base{92, 22, 26};
        if (diamond > 26 && diamond < 30) base = {120, 90, 40};
        double pile = hashNoise(static_cast<int>(x), static_cast<int>(y), 41);
        return scaled(base, 0.85 + 0.2 * pile);
    });
    return img;
}

// The ball faces: 512 x 256, columns round the equator, rows pole to pole, as the ball mesh maps
// them. White with six dots, black and white halves, wood, or one colour.
Image ballImage(const std::string& name) {
    static const std::pair<const char*, Rgb> colours[] = {
        {"black", {16, 16, 18}},   {"blue", {18, 52, 168}},  {"brown", {104, 52, 22}},  {"green", {16, 112, 52}},
        {"orange", {240, 118, 18}}, {"pink", {238, 128, 160}}, {"purple", {102, 36, 140}}, {"red", {176, 14, 18}},
        {"white", {244, 240, 226}}, {"yellow", {240, 204, 28}}};
    Rgb base{244, 240, 226};
    for (const auto& [n, c] : colours)
        if (name == n) base = c;
    Image img(512, 256, 3);
    const double w = img.width(), h = img.height();
    img.paint([&](double x, double y, double&) {
        double theta = -2 * kPi * x / w, phi = kPi / 2 - kPi * y / h;
        P3 d{std::cos(phi) * std::cos(theta), std::sin(phi), std::cos(phi) * std::sin(theta)};
        double sheen = 1 + 0.015 * (fractalNoise(x / 16, y / 16, 2, 51, 32) - 0.5);
        if (name == "white_dot") {
            // Six red dots on the axes, so that spin shows.
            double best = std::max({std::abs(d.x), std::abs(d.y), std::abs(d.z)});
            double angle = std::acos(std::min(1.0, best));
            double t = smoothstep(0.115, 0.125, angle);
            return scaled(mix(Rgb{196, 24, 28}, base, t), sheen);
        }
        if (name == "blackwhite") {
            double t = smoothstep(-0.01, 0.01, d.y);
            return scaled(mix(Rgb{244, 240, 226}, Rgb{16, 16, 18}, t), sheen);
        }
        if (name == "wood") {
            double r = std::hypot(d.x, d.z) * 40 + 3 * fractalNoise(d.x * 4 + 5, d.z * 4 + 5, 3, 61);
            double ring = 0.5 + 0.5 * std::sin(r * 2 * kPi / 3);
            return mix(Rgb{150, 96, 50}, Rgb{196, 142, 84}, ring * ring);
        }
        return scaled(base, sheen);
    });
    return img;
}

// Where things are along the cue, in mm from the tip face.
struct CueLayout {
    double length;
    double pointTip = 800, pointBase = 1100, ringEnd = 1108, capStart = 1452;
};

struct CueDesign {
    Rgb shaftDark, shaftLight;   // the shaft's grain
    Rgb buttDark, buttLight;     // the butt's wood (or paint when flat)
    Rgb ring;                    // joint ring and butt cap band
    Rgb veneer;                  // line round each point
    int points;
    bool flat;                   // a painted butt: no grain
    Rgb inlay;                   // diamonds at the middle of the butt when not black
};

const CueDesign kDesigns[8] = {
    {{196, 160, 104}, {232, 206, 156}, {20, 16, 14}, {48, 36, 30}, {196, 156, 72}, {230, 220, 200}, 4, false, {0, 0, 0}},
    {{190, 154, 100}, {228, 200, 150}, {72, 24, 14}, {124, 52, 28}, {200, 200, 206}, {20, 16, 14}, 4, false, {0, 0, 0}},
    {{214, 186, 136}, {240, 224, 190}, {18, 14, 12}, {44, 34, 28}, {206, 206, 212}, {240, 236, 226}, 6, false, {0, 0, 0}},
    {{196, 160, 104}, {232, 206, 156}, {60, 40, 20}, {176, 130, 70}, {196, 156, 72}, {20, 16, 14}, 4, false, {0, 0, 0}},
    {{196, 160, 104}, {232, 206, 156}, {20, 16, 14}, {44, 34, 28}, {206, 206, 212}, {230, 230, 236}, 4, false, {236, 236, 244}},
    {{190, 154, 100}, {228, 200, 150}, {98, 20, 24}, {150, 56, 44}, {196, 156, 72}, {240, 230, 200}, 8, false, {0, 0, 0}},
    {{196, 160, 104}, {232, 206, 156}, {16, 40, 110}, {30, 70, 170}, {214, 176, 70}, {214, 176, 70}, 4, true, {214, 176, 70}},
    {{214, 186, 136}, {240, 224, 190}, {236, 234, 228}, {250, 248, 244}, {20, 16, 14}, {20, 16, 14}, 6, true, {20, 16, 14}},
};

// Colour and gloss of one design; 1024 columns along the cue (tip at column 0), 256 rows round it.
std::pair<Image, Image> cueDesignImages(const CueDesign& d, const CueLayout& at, uint32_t seed) {
    Image colour(1024, 256, 3), gloss(1024, 256, 3);
    const double w = colour.width(), h = colour.height();
    for (int row = 0; row < colour.height(); ++row)
        for (int col = 0; col < colour.width(); ++col) {
            double x = (col + 0.5) / w * at.length, v = (row + 0.5) / h;
            Rgb shaft = woodAt(x * 0.5, v * 160, d.shaftDark, d.shaftLight, 0.5, seed, 0);
            Rgb butt = d.flat ? mix(d.buttDark, d.buttLight, 0.5 + 0.5 * std::sin(v * 2 * kPi))
                              : woodAt(x * 0.6, v * 160, d.buttDark, d.buttLight, 0.7, seed + 5, 0);
            Rgb c = shaft;
            double g = 110;
            if (x < kCueFerruleEnd) {
                c = {236, 232, 214};
                g = 150;
            } else if (x >= at.pointTip && x < at.pointBase) {
                // Points: the butt's wood running into the shaft in n spliced tongues.
                double cell = v * d.points, local = std::abs(cell - std::floor(cell) - 0.5);
                double half = 0.44 * (x - at.pointTip) / (at.pointBase - at.pointTip);
                double rowsPerCell = h / d.points;  // edges anti-aliased across rows
                double veneer = coverage((local - half) * rowsPerCell);
                double wood = coverage((local - half + 0.03) * rowsPerCell);
                c = mix(mix(shaft, d.veneer, veneer), butt, wood);
                g = 110 + 90 * veneer;
            } else if (x >= at.pointBase && x < at.ringEnd) {
                c = scaled(d.ring, 0.9 + 0.2 * std::sin(v * 2 * kPi * 3));
                g = 255;
            } else if (x >= at.ringEnd) {
                c = butt;
                g = 210;
                if (x >= at.capStart) {
                    c = x < at.capStart + 4 ? d.ring : scaled(d.buttDark, 0.8);
                    g = x < at.capStart + 4 ? 255 : 160;
                }
                // Inlaid diamonds half way down the butt.
                double mid = (at.ringEnd + at.capStart) / 2;
                if (d.inlay.r + d.inlay.g + d.inlay.b > 0) {
                    double cell = v * 4, local = std::abs(cell - std::floor(cell) - 0.5);
                    if (std::abs(x - mid) / 60 + local / 0.25 < 1) {
                        c = d.inlay;
                        g = 255;
                    }
                }
            }
            colour.set(col, row, c);
            gloss.set(col, row, {g, g, g});
        }
    return {colour, gloss};
}

}  // namespace

std::vector<NamedImage> materialTextures() {
    std::vector<NamedImage> out;
    out.emplace_back("res/table/cloth.png", clothImage());
    out.emplace_back("res/table/cloth_normal.png", clothNormalImage());
    out.emplace_back("res/table/wood.png", woodImage({58, 22, 12}, {122, 52, 26}, 71));
    out.emplace_back("res/table/wood_light.png", woodImage({120, 72, 34}, {184, 128, 70}, 72));
    out.emplace_back("res/table/leather.png", plainNoise(256, 256, {30, 24, 20}, 0.5, 81, 8));
    out.emplace_back("res/table/brass.png", plainNoise(128, 128, {196, 156, 72}, 0.2, 91, 4));
    out.emplace_back("res/table/Cue_2_Tip.png", plainNoise(64, 64, {64, 112, 184}, 0.35, 95, 4));
    Image normal(512, 32, 3);
    normal.paint([&](double x, double y, double&) {
        double n = 0.06 * (fractalNoise(x / 2, y / 16, 2, 97, 256) - 0.5);
        return Rgb{127.5 + 127.5 * n, 127.5, 127.5 + 127.5 * std::sqrt(1 - n * n)};
    });
    out.emplace_back("res/table/Cue_2_NORMAL.png", normal);
    out.emplace_back("res/dr/room_carpet.png", carpetImage());
    out.emplace_back("res/dr/room_wall.png", panelImage());
    out.emplace_back("res/dr/room_ceiling.png", plainNoise(128, 128, {40, 40, 44}, 0.15, 101, 8));
    out.emplace_back("res/dr/room_skirting.png", woodImage({30, 16, 10}, {60, 32, 18}, 103));
    return out;
}

std::vector<NamedImage> ballTextures() {
    std::vector<NamedImage> out;
    for (const std::string& name : ballNames()) out.emplace_back("res/table/Ball_" + name + ".png", ballImage(name));
    return out;
}

std::vector<NamedImage> cueTextures(double length) {
    std::vector<NamedImage> out;
    CueLayout layout{length};
    for (int n = 1; n <= 8; ++n) {
        auto [colour, gloss] = cueDesignImages(kDesigns[n - 1], layout, 200 + n);
        out.emplace_back("res/table/Cue_2_COL" + std::to_string(n) + "_ext1.png", std::move(colour));
        out.emplace_back("res/table/Cue_2_GLOSS" + std::to_string(n) + ".png", std::move(gloss));
    }
    return out;
}

Image markingsImage(const TableParams& p) {
    Image img(kMarkingsWidth, kMarkingsHeight, 4);
    const double L2 = p[36] / 2, W2 = p[37] / 2;
    const double baulkX = L2 - p[77], dRadius = p[78];
    const double spotRadius = 5, halfLine = 1.4;
    const P2 spots[] = {{baulkX, -dRadius}, {baulkX, dRadius}, {baulkX, 0}, {0, 0}, {-(L2 - p[79]), 0}, {-(L2 - p[80]), 0}};
    const double mmPerPixel = 2 * kMarkingsHalfX / kMarkingsHeight;
    img.paint([&](double col, double row, double& alpha) {
        double z = (col / kMarkingsWidth * 2 - 1) * kMarkingsHalfZ;
        double x = (row / kMarkingsHeight * 2 - 1) * kMarkingsHalfX;
        double d = 1e9;  // signed distance in mm to the nearest marking
        if (std::abs(z) <= W2) d = std::min(d, std::abs(x - baulkX) - halfLine);
        // The D: the half circle on the baulk cushion's side of the line.
        if (x >= baulkX) d = std::min(d, std::abs(std::hypot(x - baulkX, z) - dRadius) - halfLine);
        for (const P2& s : spots) d = std::min(d, std::hypot(x - s.x, z - s.z) - spotRadius);
        alpha = 235 * coverage(d / mmPerPixel);
        return Rgb{255, 255, 255};
    });
    return img;
}

}  // namespace assetgen
