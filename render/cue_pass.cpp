// The cue behind the cue ball, with its breathing while aiming and its stroke, and its shadow on
// the bed.
#include "render/scene_pass.h"
#include "render/gl_check.h"
#include "render/scene.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr float kBallHeight = 26.25f;
constexpr double kDegrees = 180.0 / std::numbers::pi;
constexpr float kBedHalfLength = 1784.5f, kBedHalfWidth = 889.0f;

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

void drawCueShadow(GameHandler& gh, const Mat4& projection, const Mat4& view, bool aiming) {
    if (!inlineProgramsReady()) return;
    const CueShadowCorners shape = computeCueShadow(gh, cuePullBack(gh, aiming), aiming);
    const Vec3& near = shape.corner[0];
    if (std::fabs(near.x) > kBedHalfLength || std::fabs(near.z) > kBedHalfWidth) return;
    InlineProgram& p = inlinePrograms().cueShadow;
    // Two triangles; a far end past the bed is held to the bed's edge.
    const int order[6] = {0, 1, 2, 0, 2, 3};
    const float uv[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    std::vector<float>& v = p.clientArray;
    v.clear();
    for (int i : order) {
        const Vec3& c = shape.corner[i];
        const float x = std::clamp(c.x, -kBedHalfLength, kBedHalfLength);
        const float z = std::clamp(c.z, -kBedHalfWidth, kBedHalfWidth);
        // The cue's height fades the shadow; the quad itself lies just above the cloth.
        v.insert(v.end(), {x, c.y, z, uv[i][0], uv[i][1], 0.5f});
    }
    glUseProgram(p.program);
    glBindVertexArray(p.vao);
    glBindBuffer(GL_ARRAY_BUFFER, p.vbo);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(v.size() * sizeof(float)), v.data());
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
    glDrawArrays(GL_TRIANGLES, 0, 6);
    BZ_GL_CHECK();
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glBindVertexArray(0);
    modelShared().lastProgram = nullptr;
}
