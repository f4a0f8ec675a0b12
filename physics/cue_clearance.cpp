// Whether a cue laid behind the cue ball clears the other balls and the cushion rails, and how
// cramped an aim is. Heights are measured from a plane [46] below the cloth.
#include <cmath>
#include <numbers>

#include "physics/table.h"
#include "physics/det_math.h"

namespace {

using phys::Vec3;

constexpr double kDegree = std::numbers::pi / 180;

// The cue is a cone from the tip radius [58] to the butt radius [65] over its length [68].
double coneRadius(const TableParams& p, double along) {
    if (along < 0) return p[58];
    if (along > p[68]) return p[65];
    return p[58] + along / p[68] * (p[65] - p[58]);
}

// Is the cue clear of a rail's top edge (the line through edgePoint along edgeDirection) at the
// horizontal run from the tip? A cue passing below the edge is closer to a line just below it.
bool clearOfRailEdge(const TableParams& p, const Vec3& tip, const Vec3& axis, Vec3 edgePoint,
                     const Vec3& edgeDirection, double run, double& distance) {
    distance = phys::distanceBetweenLines(tip, axis, edgePoint, edgeDirection);
    edgePoint.y -= 0.1;
    const double below = phys::distanceBetweenLines(tip, axis, edgePoint, edgeDirection);
    return !(coneRadius(p, run) >= distance || distance > below);
}

}  // namespace

Ball::AimDirection Ball::aimDirection(double aimAngle, double elevation) {
    const double e = elevation * kDegree, phi = (aimAngle + 180) * kDegree;
    return {aimAngle, detmath::cos(e), detmath::sin(e), detmath::cos(phi), detmath::sin(phi)};
}

bool Ball::traceAimLine(const Ball* balls, int count, double aimAngle, double elevation, double topSpin,
                        double sideSpin, double* distance) const {
    if (!table) return true;
    return traceAimLine(balls, count, aimDirection(aimAngle, elevation), topSpin, sideSpin, distance);
}

bool Ball::traceAimLine(const Ball* balls, int count, const AimDirection& direction, double topSpin, double sideSpin,
                        double* distance) const {
    if (!table) return true;
    const TableParams& p = *table->params;
    const double R = p[48];
    const double aimAngle = direction.aimAngle;
    const double cosE = direction.cosE, sinE = direction.sinE, cosPhi = direction.cosPhi, sinPhi = direction.sinPhi;
    const Vec3 axis{cosPhi * cosE, sinE, sinPhi * cosE};
    // The length of the axis, as projectOnLine would work it out for every ball.
    const double axisLength = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
    const double up = topSpin / 100 * p[62] * R, across = -sideSpin / 100 * p[62] * R;
    const double along = R * cosE - up * sinE;
    const Vec3 tip{x + along * cosPhi - across * sinPhi, R + p[46] + up * cosE + R * sinE,
                   z + along * sinPhi + across * cosPhi};

    double last = 0;
    auto answer = [&](bool clear) {
        if (distance) *distance = last;
        return clear;
    };

    for (int k = 0; k < count; ++k) {
        const Ball& b = balls[k];
        if (b.id == id || !b.onTable) continue;
        const Vec3 centre{b.x, p[46] + R, b.z};
        const double f =
            (axis.x * (centre.x - tip.x) + axis.y * (centre.y - tip.y) + axis.z * (centre.z - tip.z)) / axisLength;
        if (!(f > -R && f < R + p[68])) continue;
        last = phys::distancePointToLine3d(tip, axis, centre);
        if (last <= coneRadius(p, f) + R) return answer(false);
    }

    const double horizontal = detmath::hypot(axis.x, axis.z);
    const double railHeight = p[46] + p[39];
    // Only the rails behind the cue are tested; an aim along an axis has none on that side.
    if (((aimAngle > -180 && aimAngle < 0) || (aimAngle > 0 && aimAngle < 180)) && axis.z != 0) {
        const double railZ = aimAngle < 0 ? p[37] / 2 : -p[37] / 2;
        const double run = std::abs(railZ - tip.z) * horizontal / std::abs(axis.z);
        if (run <= p[68] && !clearOfRailEdge(p, tip, axis, {0, railHeight, railZ}, {1, 0, 0}, run, last))
            return answer(false);
    }
    const double absAngle = std::abs(aimAngle);
    if ((absAngle < 90 || (absAngle > 90 && absAngle < 180)) && axis.x != 0) {
        const double railX = absAngle > 90 ? p[36] / 2 : -p[36] / 2;
        const double run = std::abs(railX - tip.x) * horizontal / std::abs(axis.x);
        if (run > p[68]) return answer(true);
        if (!clearOfRailEdge(p, tip, axis, {railX, railHeight, 0}, {0, 0, 1}, run, last)) return answer(false);
    }
    return answer(true);
}

double Table::cueBlockedFraction(int ballIndex, double aimAngle) const {
    if (!checkBallId(ballIndex, "cueBlockedFraction")) return 0;
    const TableParams& p = *params;
    constexpr int kOffsets = 81;
    int clear = 0;
    const Ball::AimDirection direction = Ball::aimDirection(aimAngle, p[69]);
    for (int k = 0; k < kOffsets; ++k)
        if (balls[ballIndex].traceAimLine(balls, kBallCount, direction, 2.5 * k - 100, 0)) ++clear;
    return static_cast<double>(kOffsets - clear) / kOffsets;
}
