#include "render/hud.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include "render/aim_lines.h"
#include "render/gl_check.h"
#include "render/inline_programs.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kColumnWidth = 32;
constexpr double kTrackOverhang = 8.4;
constexpr double kKnobLength = 24.0, kKnobThickness = 8.4;
constexpr int kGlyphWidth = 9, kGlyphHeight = 13, kGlyphAdvance = 10, kGlyphCount = 11;
constexpr double kTipTravel = 0.78125, kScaledTipShare = 0.15625;
constexpr double kTipHalfPixels = 10;
constexpr float kTipLimit = 1.1f;
constexpr size_t kTextCharacters = kTextBufferBytes / (6 * 4 * sizeof(float));

struct Rgba {
    float r, g, b, a;
};
constexpr Rgba kPanel{0.4f, 0.4392157f, 0.5294118f, 1};
constexpr Rgba kTrack{0.6039216f, 0.65882355f, 0.7529412f, 1};
constexpr Rgba kEmptyPower{0.8666667f, 0.8666667f, 0.8666667f, 0.3f};
constexpr Rgba kGreen{0.1764706f, 0.69803923f, 0, 1};
constexpr Rgba kOrange{0.9411765f, 0.70980394f, 0, 1};
constexpr Rgba kRed{0.8901961f, 0.30588236f, 0, 1};
constexpr Rgba kBlack{0, 0, 0, 1};
constexpr Rgba kKnob{0.96f, 0.96f, 0.96f, 1};

struct NdcWriter {
    std::vector<float>& out;
    int width, height;
    void point(double x, double y, Rgba c) {
        out.insert(out.end(), {float(2 * x / width - 1), float(2 * y / height - 1), 0.5f, c.r, c.g, c.b, c.a});
    }
    // A filled pixel rectangle, columns and rows x0..x1 and y0..y1 included; colours bottom and top.
    void rect(double x0, double y0, double x1, double y1, Rgba bottom, Rgba top) {
        point(x0, y0, bottom), point(x1 + 1, y0, bottom), point(x1 + 1, y1 + 1, top);
        point(x0, y0, bottom), point(x1 + 1, y1 + 1, top), point(x0, y1 + 1, top);
    }
    // A line point at the centre of pixel (x, y).
    void linePoint(double x, double y) { point(x + 0.5, y + 0.5, kBlack); }
};

void useAimProgramForScreen(const InlineProgram& p) {
    glUseProgram(p.program);
    glBindVertexArray(p.vao);
    glBindBuffer(GL_ARRAY_BUFFER, p.vbo);
    for (const char* name : {"projection", "view", "model"})
        glUniformMatrix4fv(glGetUniformLocation(p.program, name), 1, GL_FALSE, kIdentityMatrix);
}

}  // namespace

double hudColumnX(const float* projection, const float* view, int width, int height) {
    (void)height;
    const double limit = width - kColumnWidth;
    bool any = false;
    double best = 0;
    for (double sx : {-1.0, 1.0}) {
        for (double sz : {-1.0, 1.0}) {
            const double p[4] = {sx * 1904.5, 37.0, sz * 1009.0, 1.0};
            double eye[4] = {0, 0, 0, 0}, clip[4] = {0, 0, 0, 0};
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) eye[r] += view[c * 4 + r] * p[c];
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) clip[r] += projection[c * 4 + r] * eye[c];
            if (clip[3] < 0.1) continue;
            const double x = (clip[0] / clip[3] + 1) / 2 * width;
            best = any ? std::max(best, x) : x;
            any = true;
        }
    }
    return any ? std::min(best, limit) : limit;
}

void updateHudColumnX(GameHandler& gh, const float* projection, const float* view) {
    gh.hudColumnX = hudColumnX(projection, view, gh.viewport[2], gh.viewport[3]);
}

std::string elevationText(double elevation) {
    return std::to_string(static_cast<long long>(std::isfinite(elevation) ? elevation : 0)) + "?";
}

std::string powerText(double power, double maxPower) {
    const double share = maxPower > 0 && std::isfinite(power) ? power / maxPower : 0;
    return std::to_string(std::max(1LL, static_cast<long long>(std::floor(share * 100 + 0.5))));
}

int digitGlyph(char c) { return c >= '0' && c <= '9' ? c - '0' : kGlyphCount - 1; }

int elevationTextX(int barRight, size_t length) { return barRight - 29 + (length < 3 ? 5 : 0); }

int powerTextX(int barRight, size_t length) { return barRight - 30 + (length == 1 ? 10 : length == 2 ? 5 : 0); }

void appendTextQuads(const std::string& text, int x, int y, int width, int height, std::vector<float>& out) {
    for (size_t i = 0; i < text.size(); ++i) {
        const int glyph = digitGlyph(text[i]);
        const float u0 = float(glyph * kGlyphAdvance) / (kGlyphAdvance * kGlyphCount);
        const float u1 = float((glyph + 1) * kGlyphAdvance) / (kGlyphAdvance * kGlyphCount);
        const double left = x + double(i) * kGlyphAdvance;
        const float x0 = float(2 * left / width - 1), x1 = float(2 * (left + kGlyphWidth) / width - 1);
        const float y0 = float(2.0 * y / height - 1), y1 = float(2.0 * (y + kGlyphHeight) / height - 1);
        // The strip's first row is its top.
        out.insert(out.end(), {x0, y0, u0, 1, x1, y0, u1, 1, x1, y1, u1, 0, x0, y0, u0, 1, x1, y1, u1, 0, x0, y1, u0, 0});
    }
}

std::vector<float> hudBarVertices(const GameHandler::PowerBarLayout& l, double elevation, int width, int height) {
    std::vector<float> out;
    out.reserve(kHudVertexCount * kAimVertexFloats);
    NdcWriter w{out, width, height};
    const double trackBottom = l.elevationBottom - kTrackOverhang, trackTop = l.elevationTop + kTrackOverhang;
    w.rect(l.barLeft, l.powerTop, l.barRight, l.barTop, kPanel, kPanel);
    w.rect(l.knobLeft, trackBottom, l.knobRight, trackTop, kTrack, kTrack);
    w.rect(l.barLeft, l.powerKnobY, l.barRight, l.powerTop, kEmptyPower, kEmptyPower);

    const double middle = (l.barBottom + l.powerTop) / 2.0;
    w.rect(l.barLeft, l.barBottom, l.barRight, middle - 1, kGreen, kOrange);
    w.rect(l.barLeft, middle, l.barRight, l.powerTop - 1, kOrange, kRed);

    w.linePoint(l.barLeft, l.barBottom), w.linePoint(l.barRight, l.barBottom), w.linePoint(l.barRight, l.barTop);
    w.linePoint(l.barLeft, l.barTop), w.linePoint(l.barLeft, l.barBottom), w.linePoint(l.barLeft, l.powerKnobY);
    w.linePoint(l.barRight, l.powerKnobY), w.linePoint(l.barRight, l.powerTop), w.linePoint(l.barLeft, l.powerTop);

    w.linePoint(l.knobLeft, trackBottom), w.linePoint(l.knobRight, trackBottom), w.linePoint(l.knobRight, trackTop);
    w.linePoint(l.knobLeft, trackTop), w.linePoint(l.knobLeft, trackBottom);

    // The knob leans with the cue: its long side turned up by the elevation.
    const double a = (std::isfinite(elevation) ? elevation : 0) * kPi / 180;
    const double cx = (l.knobLeft + l.knobRight + 1) / 2.0, cy = l.elevationKnobY + 0.5;
    const double ux = std::cos(a) * kKnobLength / 2, uy = std::sin(a) * kKnobLength / 2;
    const double vx = -std::sin(a) * kKnobThickness / 2, vy = std::cos(a) * kKnobThickness / 2;
    const double corners[4][2] = {
        {cx - ux - vx, cy - uy - vy}, {cx + ux - vx, cy + uy - vy}, {cx + ux + vx, cy + uy + vy}, {cx - ux + vx, cy - uy + vy}};
    for (int i : {0, 1, 2, 0, 2, 3}) w.point(corners[i][0], corners[i][1], kKnob);
    for (const auto& c : corners) w.point(c[0], c[1], kBlack);
    return out;
}

QBallQuads qBallWidgetQuads(int x, int y, int size, float scale, float tipX, float tipY, bool scaledTip, int width,
                            int height) {
    auto quad = [&](double x0, double y0, double x1, double y1) {
        const float l = float(2 * x0 / width - 1), r = float(2 * x1 / width - 1);
        const float b = float(2 * y0 / height - 1), t = float(2 * y1 / height - 1);
        // In the order of the program's fixed texture coordinates (v = 0 is the image's top).
        return std::vector<float>{l, b, r, t, l, t, r, t, l, b, r, b};
    };
    QBallQuads q;
    const double inset = size * (0.5 - scale / 2.0);
    q.ball = quad(x + inset, y + inset, x + size - inset, y + size - inset);
    if (std::abs(tipX) <= kTipLimit && std::abs(tipY) <= kTipLimit) {
        const double cx = x + size / 2.0 + kTipTravel * size / 2 * tipX;
        const double cy = y + size / 2.0 + kTipTravel * size / 2 * tipY;
        const double half = scaledTip ? size * kScaledTipShare / 2 : kTipHalfPixels;
        q.marker = quad(cx - half, cy - half, cx + half, cy + half);
    }
    return q;
}

void drawHud(const GameHandler& gh, InlinePrograms& programs) {
    const GameHandler::PowerBarLayout l = gh.getPowerBarLayout();
    const std::vector<float> vertices = hudBarVertices(l, gh.aim.elevation, gh.viewport[2], gh.viewport[3]);
    const InlineProgram& p = programs.aim;
    useAimProgramForScreen(p);
    const size_t first = aimLineVertexCapacity();
    glBufferSubData(GL_ARRAY_BUFFER, GLintptr(first * kAimVertexFloats * sizeof(float)),
                    GLsizeiptr(vertices.size() * sizeof(float)), vertices.data());
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    GLint at = GLint(first);
    glDrawArrays(GL_TRIANGLES, at, kHudPanelVertices);
    at += kHudPanelVertices;
    // The fill spans the whole bar; the scissor keeps what lies below the knob.
    const int* v = gh.viewport;
    glEnable(GL_SCISSOR_TEST);
    glScissor(v[0] + l.barLeft, v[1] + l.barBottom, l.barRight - l.barLeft + 1, std::max(0, l.powerKnobY - l.barBottom));
    glDrawArrays(GL_TRIANGLES, at, kHudFillVertices);
    glScissor(v[0], v[1], v[2], v[3]);
    glDisable(GL_SCISSOR_TEST);
    at += kHudFillVertices;
    glDrawArrays(GL_LINE_STRIP, at, kHudOutlineVertices);
    at += kHudOutlineVertices;
    glDrawArrays(GL_LINE_STRIP, at, kHudTrackOutlineVertices);
    at += kHudTrackOutlineVertices;
    glDrawArrays(GL_TRIANGLES, at, kHudKnobVertices);
    at += kHudKnobVertices;
    glDrawArrays(GL_LINE_LOOP, at, kHudKnobOutlineVertices);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    BZ_GL_TRACE("drawHud");
}

void drawDigits(const GameHandler& gh, InlinePrograms& programs, unsigned digitTexture, const std::string& elevation,
                const std::string& power, int elevationX, int elevationY, int powerX, int powerY) {
    std::vector<float> vertices;
    const int w = gh.viewport[2], h = gh.viewport[3];
    // The buffer holds six characters: longer texts (never shown in play) are cut, not overrun.
    const std::string e = elevation.substr(0, kTextCharacters);
    const std::string p = power.substr(0, kTextCharacters - e.size());
    appendTextQuads(e, elevationX, elevationY, w, h, vertices);
    appendTextQuads(p, powerX, powerY, w, h, vertices);
    if (vertices.empty()) return;
    const InlineProgram& text = programs.text;
    glUseProgram(text.program);
    glBindVertexArray(text.vao);
    glBindBuffer(GL_ARRAY_BUFFER, text.vbo);
    glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(vertices.size() * sizeof(float)), vertices.data());
    glActiveTexture(GL_TEXTURE4);
    glBindTexture(GL_TEXTURE_2D, digitTexture);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(vertices.size() / 4));
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glActiveTexture(GL_TEXTURE0);
    BZ_GL_TRACE("drawDigits");
}

void drawQBallWidget(const GameHandler& gh, InlinePrograms& programs, const HudTextures& textures, bool cueClear,
                     float transparency, float scale, float tipX, float tipY) {
    int x = 0, y = 0, size = 0;
    gh.getQBallWidgetPlacement(x, y, size);
    const QBallQuads q = qBallWidgetQuads(x, y, size, scale, tipX, tipY, gh.gameSettings.qballTipSizeScaled != 0,
                                          gh.viewport[2], gh.viewport[3]);
    InlineProgram& p = programs.qBall;
    // Only the positions change; the texture coordinates were written once.
    const int quads = q.marker.empty() ? 1 : 2;
    for (int v = 0; v < 6 * quads; ++v) {
        const std::vector<float>& src = v < 6 ? q.ball : q.marker;
        p.clientArray[size_t(v) * 4] = src[size_t(v % 6) * 2];
        p.clientArray[size_t(v) * 4 + 1] = src[size_t(v % 6) * 2 + 1];
    }
    glUseProgram(p.program);
    glBindVertexArray(p.vao);
    glBindBuffer(GL_ARRAY_BUFFER, p.vbo);
    glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(quads * 6 * 4 * sizeof(float)), p.clientArray.data());
    glUniform1f(p.transparencyLocation, transparency);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, textures.ball);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    if (quads == 2) {
        glBindTexture(GL_TEXTURE_2D, cueClear ? textures.tipClear : textures.tipBlocked);
        glDrawArrays(GL_TRIANGLES, 6, 6);
    }
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    BZ_GL_TRACE("drawQBallWidget");
}

double spinWidgetFade(const GameHandler& gh) {
    if (!gh.cueStrokeOn || gh.cueStrokeEndTime <= 0 || !(gh.maxPower > 0)) return -1;
    const double span = 0.2 - 0.1 * std::clamp(gh.aim.power / gh.maxPower, 0.0, 1.0);
    const double elapsed = (static_cast<int64_t>(gh.gameClockMs) - gh.cueStrokeEndTime) / 1000.0;
    return elapsed >= 0 && elapsed < span ? elapsed / span : -1;
}

namespace {

// Mends the opponent's aim shown with the viewer's own power and elevation: while his aim is shown,
// the column shows his.
struct HudAim {
    GameHandler& gh;
    const AimParameters own;
    HudAim(GameHandler& handler, bool mirrored) : gh(handler), own(handler.aim) {
        if (!mirrored) return;
        gh.aim.power = gh.remoteAim.power;
        gh.aim.elevation = gh.remoteAim.elevation;
    }
    ~HudAim() { gh.aim = own; }
};

// The widget shrinks and fades away with the stroke; its tip lies outside it, so no marker shows.
void drawSpinWidgetFade(const GameHandler& gh, InlinePrograms& programs, const HudTextures& textures) {
    const double u = spinWidgetFade(gh);
    if (gh.aimBallIndex != 0 || u < 0) return;
    const double share = std::clamp(gh.aim.power / gh.maxPower, 0.0, 1.0);
    glEnable(GL_BLEND);
    drawQBallWidget(gh, programs, textures, false, float(1 - u), float(1 - u * (0.2 + 0.6 * share)), 2.0f, 2.0f);
    glDisable(GL_BLEND);
}

}  // namespace

void drawAimingHud(GameHandler& gh, InlinePrograms& programs, const HudTextures& textures, const float* projection,
                   const float* view) {
    if (gh.isAnyBallMoving()) {
        drawSpinWidgetFade(gh, programs, textures);
        return;
    }
    if (gh.hudColumnDirty) {
        updateHudColumnX(gh, projection, view);
        gh.hudColumnDirty = false;
    }
    const bool aiming = aimingNow(gh);
    const bool remoteShown = remoteAimLinesShown(gh);
    if (aiming || gh.aimShown || remoteShown) {
        const HudAim column(gh, !aiming && remoteShown);
        const GameHandler::PowerBarLayout l = gh.getPowerBarLayout();
        if (!gh.isArezorOn(0)) {
            const std::string e = elevationText(gh.aim.elevation), p = powerText(gh.aim.power, gh.maxPower);
            drawDigits(gh, programs, textures.digits, e, p, elevationTextX(l.barRight, e.size()), l.barTop + 4,
                       powerTextX(l.barRight, p.size()), l.barBottom - 17);
        }
        drawHud(gh, programs);
    }
    if (gh.aimBallIndex == 0 && !(aiming || remoteShown)) drawSpinWidgetFade(gh, programs, textures);
    if (gh.aimBallIndex != 0 || !(aiming || remoteShown)) return;
    const AimParameters& shown = aiming ? gh.aim : gh.remoteAim;
    // The marker says "clear" exactly when a click on the widget would play the shot.
    const bool clear = gh.cueClears(shown);
    drawQBallWidget(gh, programs, textures, clear, 1.0f, 1.0f, float(shown.sideSpin / 100), float(shown.topSpin / 100));
}
