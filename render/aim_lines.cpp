#include "render/aim_lines.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include "client/gamehandler/game_handler.h"
#include "render/gl_check.h"
#include "render/inline_programs.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kToRadians = kPi / 180;
// A ray through a corner meets the end and the side at once; rounding must not let it miss both.
constexpr double kCornerSlack = 1e-7;
constexpr double kShortApproach = 105.0;
constexpr double kLastStretch = 262.5;
constexpr double kExtendedLength = 666.0;
constexpr double kArezorShortening = 0.66;
constexpr double kArezorLongest = 1173.48;
constexpr int kGhostRingSegments = 24;

constexpr double kCorners[4][2] = {{-kCushionHalfX, -kCushionHalfZ},
                                   {-kCushionHalfX, kCushionHalfZ},
                                   {kCushionHalfX, kCushionHalfZ},
                                   {kCushionHalfX, -kCushionHalfZ}};

struct RibbonWriter {
    std::vector<float>& out;
    size_t capacity;
    size_t count = 0;

    void vertex(double x, double z, LineColour c, float a) {
        if (count >= capacity) return;
        out.insert(out.end(), {float(x), 0.0f, float(z), c.r, c.g, c.b, a});
        ++count;
    }
    // A flat band kAimLineHalfWidth either side of (x0, z0)-(x1, z1): two triangles.
    void segment(double x0, double z0, double x1, double z1, LineColour c, float a) {
        const double length = std::hypot(x1 - x0, z1 - z0);
        if (!(length > 0) || a <= 0 || count + 6 > capacity) return;
        const double nx = -(z1 - z0) / length * kAimLineHalfWidth, nz = (x1 - x0) / length * kAimLineHalfWidth;
        vertex(x0 + nx, z0 + nz, c, a);
        vertex(x0 - nx, z0 - nz, c, a);
        vertex(x1 + nx, z1 + nz, c, a);
        vertex(x1 + nx, z1 + nz, c, a);
        vertex(x0 - nx, z0 - nz, c, a);
        vertex(x1 - nx, z1 - nz, c, a);
    }
    // From distance 'from' to 'to' along angle (degrees) out of (x, z).
    void along(double x, double z, double angle, double from, double to, LineColour c, float a) {
        if (!(to > from)) return;
        const double ux = std::cos(angle * kToRadians), uz = std::sin(angle * kToRadians);
        segment(x + from * ux, z + from * uz, x + to * ux, z + to * uz, c, a);
    }
};

double wrapDegrees(double a) {
    if (a > 180) return a - 360;
    if (a <= -180) return a + 360;
    return a;
}

}  // namespace

const float kIdentityMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

size_t aimLineVertexCapacity() {
    return kAimArrayBytes / (kAimVertexFloats * sizeof(float)) - kHudVertexCount;
}

double cushionRayDistance(int fromSide, int* side, int* adjacent, double* cornerX, double* cornerZ, double x, double z,
                          double angle) {
    const double a = wrapDegrees(angle);
    const double c = std::cos(a * kToRadians), s = std::sin(a * kToRadians);
    int hit = -1;
    double hx = x, hz = z;
    auto tryEnd = [&](double endX, int id) {
        const double crossZ = z + (endX - x) / c * s;
        if (std::abs(crossZ) <= kCushionHalfZ + kCornerSlack) hit = id, hx = endX, hz = crossZ;
    };
    auto trySide = [&](double sideZ, int id) {
        const double crossX = x + (sideZ - z) / s * c;
        if (std::abs(crossX) <= kCushionHalfX + kCornerSlack) hit = id, hx = crossX, hz = sideZ;
    };
    if (a < -90 || a > 90) tryEnd(-kCushionHalfX, 0);
    if (hit < 0 && a > -90 && a < 90) tryEnd(kCushionHalfX, 2);
    if (hit < 0 && a > 0 && a < 180) trySide(kCushionHalfZ, 1);
    if (hit < 0 && a > -180 && a < 0) trySide(-kCushionHalfZ, 3);

    if (side) *side = hit;
    if (adjacent) {
        const int gap = std::abs(hit - fromSide);
        // Only two real sides can neighbour: a missing side (-1) next to side 0 is no corner.
        const bool neighbours = hit >= 0 && fromSide >= 0 && fromSide <= 3 && (gap == 1 || gap == 3);
        *adjacent = neighbours ? 1 : 0;
        if (neighbours) {
            const int row = gap == 3 ? 0 : std::max(hit, fromSide);
            if (cornerX) *cornerX = kCorners[row][0];
            if (cornerZ) *cornerZ = kCorners[row][1];
        }
    }
    return hit < 0 ? 0.0 : std::hypot(hx - x, hz - z);
}

CueLineSpan cueBallLineSpan(int extendedCueBallLine, bool predicted, double contactDistance, double cushionDistance) {
    CueLineSpan span{0, cushionDistance};
    if (!predicted) {
        span.start = cushionDistance - kLastStretch;
    } else if (extendedCueBallLine == 0) {
        span.end = contactDistance;
        span.start = span.end - kShortApproach;
    } else if (extendedCueBallLine == 1) {
        span.start = contactDistance;
        span.end = std::min(cushionDistance, contactDistance + kExtendedLength);
    } else if (extendedCueBallLine == 2) {
        span.start = cushionDistance - kLastStretch;
    }
    span.start = std::max(span.start, kAimBallRadius);
    return span;
}

LineColour aimLineColour(const GameHandler& gh, int predictedBall) {
    if (gh.gameSettings.whiteLines) return {1, 1, 1};
    int entry = predictedBall < 0 ? 0 : predictedBall < 10 ? predictedBall : 1;
    if (gh.isArezorOn(5) && predictedBall > 1) entry = 1;
    const RgbColour& c = gh.aimLineColours[size_t(entry)];
    return {c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f};
}

AimLineAlphas aimLineAlphas(bool errorMargins, bool thickLines, bool arezor4) {
    AimLineAlphas a{};
    a.cueLine = 0.4f;
    a.approach = 0.16f;
    a.ghostBall = 0.25f;
    a.cueAfterContact = arezor4 ? 1.0e-5f : 0.18f;
    a.aimMargin = errorMargins && !arezor4 ? 0.05f : 0.0f;
    a.objectMargin = errorMargins ? 0.125f : 0.0f;
    // The prediction draws its lines in the thick mode; a thin-line setting shows them fainter.
    a.objectLine = arezor4 ? 1.1e-5f : thickLines ? 0.2f : 0.1f;
    return a;
}

AimLineSource ownAimSource(const GameHandler& gh) {
    const int index = std::clamp(gh.aimBallIndex, 0, kBallCount - 1);
    return {gh.aim.aimAngle, index, gh.table.balls[index].x, gh.table.balls[index].z};
}

AimLineSource remoteAimSource(const GameHandler& gh) {
    const int index = std::clamp(gh.remoteAimBall, 0, kBallCount - 1);
    return {gh.remoteAim.aimAngle, index, gh.table.balls[index].x, gh.table.balls[index].z};
}

size_t buildAimLineVertices(const GameHandler& gh, const AimLineSource& source, std::vector<float>& out) {
    RibbonWriter w{out, aimLineVertexCapacity()};
    const GameSettings& settings = gh.gameSettings;
    const bool arezor4 = gh.isArezorOn(4);
    const AimLineAlphas alpha = aimLineAlphas(settings.errorMargins != 0, settings.thickLines != 0, arezor4);
    const int predicted = gh.firstHitBall >= 0 && gh.firstHitBall < kBallCount ? gh.firstHitBall : -1;
    const LineColour colour = aimLineColour(gh, predicted);
    const double x = source.x, z = source.z, angle = source.angle;

    const double cushion = cushionRayDistance(-1, nullptr, nullptr, nullptr, nullptr, x, z, angle);
    const CueLineSpan span = cueBallLineSpan(settings.extendedCueBallLine, predicted >= 0, gh.cueTravelDistance, cushion);
    // From the cue ball's edge up to the bright segment, faintly, so the path reads as one line.
    const double approachEnd = predicted >= 0 ? std::min(span.start, gh.cueTravelDistance) : span.start;
    w.along(x, z, angle, kAimBallRadius, approachEnd, colour, alpha.approach);
    w.along(x, z, angle, span.start, span.end, colour, alpha.cueLine);
    if (predicted < 0) return w.count;

    for (double sign : {-1.0, 1.0})
        w.along(x, z, angle + sign * gh.aimError, kAimBallRadius, gh.cueTravelDistance, colour, alpha.aimMargin);

    // The ghost ball: a ring of ribbon one ball radius about the contact point.
    const double gx = gh.ghostBallX, gz = gh.ghostBallZ;
    for (int i = 0; i < kGhostRingSegments; ++i) {
        const double a0 = 2 * kPi * i / kGhostRingSegments, a1 = 2 * kPi * (i + 1) / kGhostRingSegments;
        w.segment(gx + kAimBallRadius * std::cos(a0), gz + kAimBallRadius * std::sin(a0),
                  gx + kAimBallRadius * std::cos(a1), gz + kAimBallRadius * std::sin(a1), colour, alpha.ghostBall);
    }

    // The object ball's path from its far edge to where its edge meets the cushion.
    const double objectAngle = gh.objectBallDirection;
    const double tx = gh.targetBallX, tz = gh.targetBallZ;
    double objectEnd = cushionRayDistance(-1, nullptr, nullptr, nullptr, nullptr, tx, tz, objectAngle) - kAimBallRadius;
    if (arezor4) objectEnd = kAimBallRadius + std::min((objectEnd - kAimBallRadius) * kArezorShortening, kArezorLongest);
    w.along(tx, tz, objectAngle, kAimBallRadius, objectEnd, colour, alpha.objectLine);
    for (double sign : {-1.0, 1.0})
        w.along(tx, tz, objectAngle + sign * gh.objectBallError, kAimBallRadius, objectEnd, colour,
                alpha.objectMargin);

    // The cue ball's path from the contact, as the prediction gives it (none after a full hit).
    if (gh.cueBallDeflects) {
        const double deflection = gh.cueBallDeflection;
        const double end = cushionRayDistance(-1, nullptr, nullptr, nullptr, nullptr, gx, gz, deflection);
        w.along(gx, gz, deflection, kAimBallRadius, end - kAimBallRadius, colour, alpha.cueAfterContact);
    }
    return w.count;
}

void drawAimLines(const GameHandler& gh, InlinePrograms& programs, const AimLineSource& source, const float* projection,
                  const float* view) {
    InlineProgram& p = programs.aim;
    p.clientArray.clear();
    const size_t count = buildAimLineVertices(gh, source, p.clientArray);
    if (count == 0) return;
    glUseProgram(p.program);
    glBindVertexArray(p.vao);
    glBindBuffer(GL_ARRAY_BUFFER, p.vbo);
    glUniformMatrix4fv(glGetUniformLocation(p.program, "projection"), 1, GL_FALSE, projection);
    glUniformMatrix4fv(glGetUniformLocation(p.program, "view"), 1, GL_FALSE, view);
    glUniformMatrix4fv(glGetUniformLocation(p.program, "model"), 1, GL_FALSE, kIdentityMatrix);
    glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(count * kAimVertexFloats * sizeof(float)), p.clientArray.data());
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(count));
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    BZ_GL_TRACE("drawAimLines");
}

// Aiming by drag (the mouse captured for the aim) or by pointing (an aim set and kept on show);
// a captured mouse alone may be a camera drag.
bool aimingNow(const GameHandler& gh) { return gh.aimDragMode != 0 || gh.pointAiming != 0; }

// The opponent's set aim, drawn only while his live aim lasts: the stroke and LIVE_AIM_END end it.
bool remoteAimDrawn(const GameHandler& gh) { return gh.remoteAimActive && gh.remoteAimReceived && gh.remoteAimShown; }

bool remoteAimLinesShown(const GameHandler& gh) { return gh.showLiveAiming && remoteAimDrawn(gh); }

void drawAimLinePass(GameHandler& gh, InlinePrograms& programs, const float* projection, const float* view) {
    bool offer = false;
    if (!gh.isAnyBallMoving()) {
        if (aimingNow(gh)) {
            offer = gh.aimShown;
            if (gh.aimShown) drawAimLines(gh, programs, ownAimSource(gh), projection, view);
        } else {
            offer = remoteAimDrawn(gh);
            if (remoteAimLinesShown(gh)) drawAimLines(gh, programs, remoteAimSource(gh), projection, view);
        }
    }
    if (offer != gh.povModeOffered) gh.setPOVModeEnabled(offer);
}
