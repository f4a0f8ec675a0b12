// The cue behind the cue ball, with its breathing while aiming and its stroke, and its shadow on
// the bed and on the rails.
#include "render/scene_pass.h"
#include "render/gl_check.h"
#include "render/scene.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace {

constexpr float kBallHeight = 26.25f;
constexpr double kDegrees = 180.0 / std::numbers::pi;
constexpr double kBedHalfLength = 1784.5, kBedHalfWidth = 889.0;
constexpr double kRailHalfLength = 1904.5, kRailHalfWidth = 1009.0;
// The heights the shadow's two parts lie at: just above the cloth, and on top of the cushions and
// frame (where the shadow program cuts it to the rail outline).
constexpr float kBedShadowHeight = 0.5f, kRailShadowHeight = 37.0f;

double tipOffsetRadius(const GameHandler& gh) {
    return gh.table.params != nullptr ? (*gh.table.params)[62] * 26.25 : 26.25;
}

// The cue ball the cue stands behind: the stroke's stored position while it is animated.
void cueBallPosition(const GameHandler& gh, double& x, double& z) {
    if (gh.cueStrokeOn) {
        x = gh.cueStrokeBallX;
        z = gh.cueStrokeBallZ;
        return;
    }
    const int index = std::clamp(gh.aimBallIndex, 0, kBallCount - 1);
    x = gh.table.balls[index].x;
    z = gh.table.balls[index].z;
}

}  // namespace

double cuePullBack(const GameHandler& gh, bool aiming) {
    const double e = gh.gameClockMs / 1000.0;
    if (gh.cueStrokeOn) {
        return GameHandler::cueStrokeOffset(gh.cueStrokeDuration, gh.cueStrokeLength, gh.cueStrokeEndTime / 1000.0, e);
    }
    if (!aiming) return 3;
    const double a = static_cast<float>(180 * gh.aim.power / gh.maxPower + 5);
    return std::sin(2 * std::numbers::pi * gh.pulsePhase(gh.now)) * a + 3 + a;
}

void drawCue(GameHandler& gh, Scene& scene, const Mat4& projection, const Mat4& view, bool aiming) {
    const double r = tipOffsetRadius(gh);
    const double t = gh.aim.topSpin, s = gh.aim.sideSpin;
    const double pull = cuePullBack(gh, aiming);
    const Vec3 offset{static_cast<float>(29.25 + pull),
                      static_cast<float>(r * (0.7071067811865476 * t - 0.7071067811865475 * s) / 100),
                      static_cast<float>(r * (-0.7071067811865476 * s - 0.7071067811865475 * t) / 100)};
    double x = 0, z = 0;
    cueBallPosition(gh, x, z);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (Model* model : {scene.cueMainModel, scene.cueTipModel}) {
        if (model == nullptr || model->program == nullptr) continue;
        model->setOffset(offset);
        model->resetRotation();
        model->rotateY(static_cast<float>((180 - gh.aim.aimAngle) / kDegrees));
        model->rotateZ(static_cast<float>((gh.aim.elevation + gh.elevationMargin) / kDegrees));
        model->rotateX(0.7853982f);
        model->setPosition({static_cast<float>(x), kBallHeight, static_cast<float>(z)});
        model->program->use();
        modelShared().lastProgram = model->program;
        glUniform1f(glGetUniformLocation(model->program->id, "transparency"), static_cast<float>(gh.cueStrokeFade));
        model->draw(projection, view);
        glUniform1f(glGetUniformLocation(model->program->id, "transparency"), 1.0f);
    }
    BZ_GL_CHECK();
    glDisable(GL_BLEND);
}

CueShadowCorners computeCueShadow(const GameHandler& gh, double pullBack, bool aiming) {
    const double r = tipOffsetRadius(gh);
    const bool still = !aiming && !gh.cueStrokeOn;
    const double a = still ? 0 : -gh.aim.sideSpin / 100 * r;
    const double h = still ? 0 : gh.aim.topSpin / 100 * r;
    const double c = kBallHeight + (still ? 3 : pullBack);
    // (distance along the cue, lateral offset) of the near and far edges, all at height h.
    const double local[4][2] = {{c - 4, a - 11}, {c - 4, a + 11}, {c + 4 + 1470, a + 26.4}, {c + 4 + 1470, a - 26.4}};
    const double tilt = (gh.aim.elevation + gh.elevationMargin) / kDegrees;
    const double heading = (180 - gh.aim.aimAngle) / kDegrees;
    double bx = 0, bz = 0;
    cueBallPosition(gh, bx, bz);
    CueShadowCorners out;
    for (int i = 0; i < 4; ++i) {
        // Tilted up in the cue's vertical plane, then turned about the vertical axis.
        const double along = local[i][0] * std::cos(tilt) - h * std::sin(tilt);
        const double up = local[i][0] * std::sin(tilt) + h * std::cos(tilt);
        const double lateral = local[i][1];
        const double dx = along * std::cos(heading) + lateral * std::sin(heading);
        const double dz = -along * std::sin(heading) + lateral * std::cos(heading);
        out.corner[i] = {static_cast<float>(bx + dx), static_cast<float>(up + kBallHeight), static_cast<float>(bz + dz)};
    }
    return out;
}

bool clipToRectangle(double x0, double z0, double x1, double z1, double halfX, double halfZ, double& t0, double& t1) {
    t0 = 0;
    t1 = 1;
    const double dx = x1 - x0, dz = z1 - z0;
    const double p[4] = {-dx, dx, -dz, dz};
    const double q[4] = {x0 + halfX, halfX - x0, z0 + halfZ, halfZ - z0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;  // parallel to this side and beyond it
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0) {
            if (r > t1) return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0) return false;
            t1 = std::min(t1, r);
        }
    }
    return t0 <= t1;
}

CueShadowParts cueShadowParts(const CueShadowCorners& shape) {
    // The two long sides, near corner to far corner; the texture runs along them (u) and across (v).
    const Vec3* sides[2][2] = {{&shape.corner[0], &shape.corner[3]}, {&shape.corner[1], &shape.corner[2]}};
    const auto inside = [](const Vec3& c, double hx, double hz) { return std::fabs(c.x) <= hx && std::fabs(c.z) <= hz; };
    // The stretch of each side on the bed, [0, bedEnd], and up to the rails' outer edge, [0, outerEnd].
    double bedEnd[2] = {0, 0}, outerEnd[2] = {0, 0};
    bool nearOnBed = true, nearWithinRails = true;
    for (int i = 0; i < 2; ++i) {
        const Vec3& a = *sides[i][0];
        const Vec3& b = *sides[i][1];
        double t0 = 0;
        nearOnBed = nearOnBed && inside(a, kBedHalfLength, kBedHalfWidth) &&
                    clipToRectangle(a.x, a.z, b.x, b.z, kBedHalfLength, kBedHalfWidth, t0, bedEnd[i]);
        nearWithinRails = nearWithinRails && inside(a, kRailHalfLength, kRailHalfWidth) &&
                          clipToRectangle(a.x, a.z, b.x, b.z, kRailHalfLength, kRailHalfWidth, t0, outerEnd[i]);
    }
    // One quad between two stretches: side 0 from..to, side 1 from..to; two triangles, near edge first.
    const auto quad = [&sides](std::array<float, 36>& out, const double from[2], const double to[2], float shadowHeight) {
        const int corner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};  // (side, which end)
        const int order[6] = {0, 1, 2, 0, 2, 3};
        size_t k = 0;
        for (int i : order) {
            const int side = corner[i][0];
            const double t = corner[i][1] == 0 ? from[side] : to[side];
            const Vec3& a = *sides[side][0];
            const Vec3& b = *sides[side][1];
            const float point[6] = {static_cast<float>(a.x + t * (b.x - a.x)), static_cast<float>(a.y + t * (b.y - a.y)),
                                    static_cast<float>(a.z + t * (b.z - a.z)), static_cast<float>(t),
                                    static_cast<float>(side), shadowHeight};
            std::copy(point, point + 6, out.begin() + static_cast<std::ptrdiff_t>(k));
            k += 6;
        }
    };
    CueShadowParts parts;
    const double zero[2] = {0, 0};
    if (nearOnBed) {
        parts.onBed = true;
        quad(parts.bed, zero, bedEnd, kBedShadowHeight);
    }
    if (!nearWithinRails) return parts;
    const double* from = nearOnBed ? bedEnd : zero;
    const bool bedCoversAll = nearOnBed && bedEnd[0] >= 1 && bedEnd[1] >= 1;
    if (!bedCoversAll && (outerEnd[0] > from[0] || outerEnd[1] > from[1])) {
        parts.onRail = true;
        quad(parts.rail, from, outerEnd, kRailShadowHeight);
    }
    return parts;
}

namespace {

// Draws one part of the shadow from its half of the buffer.
void drawShadowPart(GameHandler& gh, const Mat4& projection, const Mat4& view, const std::array<float, 36>& vertices,
                    int firstVertex) {
    InlineProgram& p = inlinePrograms().cueShadow;
    std::copy(vertices.begin(), vertices.end(), p.clientArray.begin() + firstVertex * 6);
    glUseProgram(p.program);
    glBindVertexArray(p.vao);
    glBindBuffer(GL_ARRAY_BUFFER, p.vbo);
    glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(firstVertex * 6 * sizeof(float)),
                    static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data());
    const Mat4 identity;
    glUniformMatrix4fv(glGetUniformLocation(p.program, "projection"), 1, GL_FALSE, projection.data());
    glUniformMatrix4fv(glGetUniformLocation(p.program, "view"), 1, GL_FALSE, view.data());
    glUniformMatrix4fv(glGetUniformLocation(p.program, "model"), 1, GL_FALSE, identity.data());
    glUniform1f(glGetUniformLocation(p.program, "transparency"), static_cast<float>(gh.cueStrokeFade));
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, p.texture);
    glUniform1i(glGetUniformLocation(p.program, "tex"), 0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    // The quad's turn depends on how the cue lies; face culling must not decide whether it shows.
    const bool culling = glIsEnabled(GL_CULL_FACE) == GL_TRUE;
    glDisable(GL_CULL_FACE);
    glDrawArrays(GL_TRIANGLES, firstVertex, 6);
    BZ_GL_CHECK();
    if (culling) glEnable(GL_CULL_FACE);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glBindVertexArray(0);
    modelShared().lastProgram = nullptr;
}

}  // namespace

void drawCueShadow(GameHandler& gh, const Mat4& projection, const Mat4& view, bool aiming) {
    if (!inlineProgramsReady()) return;
    const CueShadowParts parts = cueShadowParts(computeCueShadow(gh, cuePullBack(gh, aiming), aiming));
    if (parts.onBed) drawShadowPart(gh, projection, view, parts.bed, 0);
}

void drawCueShadowOnRail(GameHandler& gh, const Mat4& projection, const Mat4& view, bool aiming) {
    if (!inlineProgramsReady()) return;
    const CueShadowParts parts = cueShadowParts(computeCueShadow(gh, cuePullBack(gh, aiming), aiming));
    if (parts.onRail) drawShadowPart(gh, projection, view, parts.rail, 6);
}
