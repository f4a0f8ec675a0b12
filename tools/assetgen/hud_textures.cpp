// The head-up display's images: the spin widget's ball and tip markers, the images of the shadow
// pass, the tutorial marks and the digit strip.
#include <stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tools/assetgen/textures.h"

namespace assetgen {

namespace {

const char* const kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// Glyph coverage from the system font, drawn into the image with its left edge and baseline given.
class Font {
public:
    Font() {
        std::ifstream in(kFontPath, std::ios::binary);
        data_.assign(std::istreambuf_iterator<char>(in), {});
        if (data_.empty() || !stbtt_InitFont(&info_, data_.data(), stbtt_GetFontOffsetForIndex(data_.data(), 0)))
            throw std::runtime_error(std::string("cannot read the font ") + kFontPath);
    }

    // Coverage 0..1 of codepoint at pixel height, as a width x height grid placed at (x0, y0).
    std::vector<double> glyph(int codepoint, double pixelHeight, int width, int height, double centreX,
                              double baseline) {
        float scale = stbtt_ScaleForPixelHeight(&info_, static_cast<float>(pixelHeight));
        int x0, y0, x1, y1;
        stbtt_GetCodepointBitmapBox(&info_, codepoint, scale, scale, &x0, &y0, &x1, &y1);
        int gw = x1 - x0, gh = y1 - y0;
        std::vector<unsigned char> bitmap(static_cast<size_t>(std::max(gw, 1) * std::max(gh, 1)), 0);
        if (gw > 0 && gh > 0) stbtt_MakeCodepointBitmap(&info_, bitmap.data(), gw, gh, gw, scale, scale, codepoint);
        std::vector<double> out(static_cast<size_t>(width * height), 0);
        int left = static_cast<int>(std::lround(centreX - gw / 2.0)), top = static_cast<int>(std::lround(baseline)) + y0;
        for (int y = 0; y < gh; ++y)
            for (int x = 0; x < gw; ++x) {
                int px = left + x, py = top + y;
                if (px >= 0 && py >= 0 && px < width && py < height) out[py * width + px] = bitmap[y * gw + x] / 255.0;
            }
        return out;
    }

private:
    std::vector<unsigned char> data_;
    stbtt_fontinfo info_{};
};

// A disc of radius r (pixels) about the image centre with an anti-aliased edge; f colours it from
// the position relative to the centre, in units of r.
template <typename F>
Image disc(int size, double r, F&& f) {
    Image img(size, size, 4);
    img.paint([&](double x, double y, double& alpha) {
        double dx = (x - size / 2.0) / r, dy = (y - size / 2.0) / r;
        double d = std::hypot(dx, dy);
        alpha = 255 * coverage((d - 1) * r);
        return f(dx, dy, d);
    });
    return img;
}

Image qballImage() {
    const int size = 256;
    const double r = 124;
    return disc(size, r, [&](double dx, double dy, double d) {
        // A lit ivory ball seen head on, with guide lines where the tip can strike.
        double nz = std::sqrt(std::max(0.0, 1 - d * d));
        double light = 0.55 + 0.45 * std::max(0.0, -0.35 * dx - 0.45 * dy + 0.82 * nz);
        double spec = std::pow(std::max(0.0, -0.35 * dx - 0.45 * dy + 0.82 * nz), 40);
        Rgb c = scaled(Rgb{244, 240, 226}, light);
        c = mix(c, Rgb{255, 255, 255}, spec * 0.8);
        double guide = std::min({std::abs(dx) * r, std::abs(dy) * r, std::abs(d - 0.78125 * 128 / r) * r});
        double reach = d < 0.78125 * 128 / r + 0.02 ? 1 : 0;
        c = mix(c, Rgb{150, 150, 150}, 0.55 * coverage(guide - 0.6) * reach);
        return c;
    });
}

Image tipMarker(Rgb fill, bool blocked) {
    return disc(64, 26, [&](double dx, double dy, double d) {
        Rgb c = mix(fill, Rgb{255, 255, 255}, smoothstep(0.78, 0.86, d));
        if (blocked) {
            double cross = std::min(std::abs(dx - dy), std::abs(dx + dy)) / std::sqrt(2.0) * 26;
            if (d < 0.72) c = mix(c, Rgb{255, 255, 255}, coverage(cross - 2.5));
        }
        return c;
    });
}

Image softShadow() {
    Image img(128, 128, 4);
    img.paint([&](double x, double y, double& alpha) {
        double d = std::hypot(x - 64, y - 64) / 64;
        alpha = 255 * 0.72 * (1 - smoothstep(0.25, 1.0, d));
        return Rgb{0, 0, 0};
    });
    return img;
}

Image ring(Rgb colour, double radius, double width, double glow) {
    Image img(128, 128, 4);
    img.paint([&](double x, double y, double& alpha) {
        double d = std::abs(std::hypot(x - 64, y - 64) - radius);
        double a = std::max(coverage(d - width), glow * std::exp(-d * d / 60));
        alpha = 255 * std::min(1.0, a);
        return colour;
    });
    return img;
}

Image tutorialMark(Font& font, int letter, Rgb colour) {
    Image img(128, 128, 4);
    std::vector<double> glyph = font.glyph(letter, 64, 128, 128, 64, 87);
    img.paint([&](double x, double y, double& alpha) {
        double d = std::hypot(x - 64, y - 64);
        double rim = coverage(std::abs(d - 56) - 4);
        double fill = coverage(d - 56) * 0.35;
        double g = glyph[static_cast<int>(y) * 128 + static_cast<int>(x)];
        alpha = 255 * std::min(1.0, std::max({rim, fill, g}));
        return mix(colour, Rgb{255, 255, 255}, std::max(g, 0.0));
    });
    return img;
}

// Eleven glyphs, ten pixels each: the digits 0 to 9 and the degree sign, white with a dark edge.
Image digitStrip(Font& font) {
    const int w = 110, h = 13;
    std::vector<double> cover(w * h, 0);
    for (int i = 0; i < 11; ++i) {
        int codepoint = i < 10 ? '0' + i : 0xB0;
        std::vector<double> g = font.glyph(codepoint, 14, 10, h, 5, 11.5);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < 10; ++x) cover[y * w + i * 10 + x] = g[y * 10 + x];
    }
    Image img(w, h, 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double edge = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    int nx = x + dx, ny = y + dy;
                    // The outline stays inside its own glyph's cell.
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h || nx / 10 != x / 10) continue;
                    edge = std::max(edge, cover[ny * w + nx]);
                }
            double c = cover[y * w + x];
            img.set(x, y, scaled(Rgb{255, 255, 255}, c), 255 * std::max(c, edge * 0.85));
        }
    return img;
}

}  // namespace

std::vector<NamedImage> hudTextures() {
    Font font;
    std::vector<NamedImage> out;
    out.emplace_back("res/hud/spin_ball.png", qballImage());
    out.emplace_back("res/hud/tip_clear.png", tipMarker({40, 96, 200}, false));
    out.emplace_back("res/hud/tip_blocked.png", tipMarker({206, 36, 30}, true));
    out.emplace_back("res/hud/ball_shadow.png", softShadow());
    out.emplace_back("res/hud/placing_mark.png", ring({255, 255, 255}, 50, 2.5, 0.5));
    out.emplace_back("res/hud/tutorial_mark_a.png", tutorialMark(font, 'A', {40, 150, 60}));
    out.emplace_back("res/hud/tutorial_mark_b.png", tutorialMark(font, 'B', {200, 60, 40}));
    out.emplace_back("res/hud/nominated_ring.png", ring({255, 210, 90}, 46, 3, 0.8));
    out.emplace_back("res/hud/digits.png", digitStrip(font));
    return out;
}

}  // namespace assetgen
