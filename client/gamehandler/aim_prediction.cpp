// The aiming aids: first ball hit with ghost ball and object-ball direction, the error margins, the
// elevation the cue needs to clear, the opponent's predicted aim, drag aiming, and the two geometric
// services of the mouse (viewport point to bed point, ball under the pointer).
#include "client/gamehandler/game_handler.h"

#include "core/log.h"
#include "physics/geometry.h"
#include "physics/stroke.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kToRadians = kPi / 180;
constexpr double kContactDistanceSquared = 2756.25;  // two ball radii, squared
constexpr double kBallDiameter = 52.5;
constexpr double kHalfLength = 1784.5;
constexpr double kBedHalfX = 1758.25, kBedHalfZ = 862.75;

double toDegrees(double radians) { return radians / kToRadians; }

// Folds an angle difference as the cut angle: into (-270, 90], then its size, then at most 180.
double foldCut(double k) {
    if (!std::isfinite(k)) return 0;
    while (k > 90) k -= 360;
    while (k < -90) k += 360;
    k = std::abs(k);
    return k > 180 ? 360 - k : k;
}

// Where a ray from (ax, az) along (c, s) first meets the contact circle about (bx, bz): the distance
// t along the ray, or false when it misses.
bool rayMeetsBall(double ax, double az, double c, double s, double bx, double bz, double& t) {
    const double dx = ax - bx, dz = az - bz;
    const double a = c * c + s * s;
    const double b = c * dx + s * dz;
    const double disc = b * b - (dx * dx + dz * dz - kContactDistanceSquared) * a;
    if (disc < 0 || a <= 0) return false;
    t = (-b - std::sqrt(disc)) / a;
    return true;
}

double wrapDegrees(double a) {
    if (!std::isfinite(a)) return 0;
    while (a > 180) a -= 360;
    while (a <= -180) a += 360;
    return a;
}

// The direction the cue ball leaves in: the aim, unless a ball touching the cue ball lies ahead of
// it, which is struck along the line of centres.
double workingAngle(const GameHandler& gh, const Ball& cue) {
    const double w = gh.aim.aimAngle;
    for (int id : gh.liveStatus->touchingBalls) {
        if (id < 0 || id >= kBallCount) continue;
        const Ball& b = gh.table.balls[id];
        const float dx = static_cast<float>(b.x - cue.x), dz = static_cast<float>(b.z - cue.z);
        const float wr = static_cast<float>(w * kToRadians);
        if (dx * std::cos(wr) + dz * std::sin(wr) > 0.0f)
            return toDegrees(std::atan2(static_cast<double>(dz), static_cast<double>(dx)));
    }
    return w;
}

// The first ball the cue ball meets along (c, s), with the ghost ball's centre (gx, gz), or -1.
int firstBallHit(const GameHandler& gh, const Ball& cue, double c, double s, double& gx, double& gz) {
    int first = -1;
    double best = 0;
    for (int i = 0; i < kBallCount; ++i) {
        const Ball& ball = gh.table.balls[i];
        if (i == BALL_GHOST || i == BALL_WHITE || !ball.onTable) continue;
        double t = 0;
        if (!rayMeetsBall(cue.x, cue.z, c, s, ball.x, ball.z, t)) continue;
        // A touching ball sits at distance 0 (rounding may put it a hair behind).
        const double dx = cue.x - ball.x, dz = cue.z - ball.z;
        if (t < 0 && dx * dx + dz * dz <= kContactDistanceSquared + 1e-6 && c * dx + s * dz < 0) t = 0;
        if (t < 0 || (first >= 0 && t >= best)) continue;
        const double px = cue.x + t * c, pz = cue.z + t * s;
        if (!cue.isValidPosition(false, px, pz, 0)) continue;
        best = t;
        first = i;
        gx = px;
        gz = pz;
    }
    return first;
}

// The object ball's margin for a cut of k degrees over a cue travel of d, wider for a long, thin cut
// with the cue mostly blocked.
double objectBallMargin(const TableParams& p, double blocked, double d, double k) {
    const double s1 = smoothstep(0.68, 0.77, blocked);
    const double s2 = smoothstep(0.6, 0.8, d / 3569);
    const double s3 = smoothstep(90 - 2.5 * p[35], 90 - 1.5 * p[35], k);
    double margin = p[35] * (1 + 0.6 * s1 * s2 * s3);
    if (k > 90 - margin) margin = k - (90 - margin) + margin;
    return margin;
}

// The widest aim change that still sends the object ball within the margin.
double widestAimChange(double gx, double gz, double tx, double tz, double ax, double az, double margin) {
    double widest = 0;
    for (double sign : {1.0, -1.0}) {
        double rx = 0, rz = 0;
        rotatePoint(rx, rz, gx, gz, tx, tz, sign * margin * kToRadians);
        widest = std::max(widest, toDegrees(angleBetween(gx - ax, gz - az, rx - ax, rz - az)));
    }
    return widest;
}

double cutErrorFor(const TableParams& p, double d, double k) {
    double f = d <= kHalfLength ? p[31] + (p[32] - p[31]) * (1 - d / kHalfLength) : p[31];
    if (d <= 2.5 * kBallDiameter) f *= 8 - 7 * d / (2.5 * kBallDiameter);
    return f * std::min(p[33], k) / p[33];
}

// How far the object ball's direction strays when the aim w is off by the aim error either way,
// at most the margin.
double objectBallErrorFor(const GameHandler& gh, double w, double ax, double az, double tx, double tz,
                          double margin) {
    double smallest = -1;
    for (double sign : {-1.0, 1.0}) {
        const double a = (w + sign * gh.aimError) * kToRadians;
        double t = 0;
        if (!rayMeetsBall(ax, az, std::cos(a), std::sin(a), tx, tz, t) || t < 0) continue;
        const double qx = ax + t * std::cos(a), qz = az + t * std::sin(a);
        const double deviation = foldCut(toDegrees(std::atan2(tz - qz, tx - qx)) - gh.objectBallDirection);
        if (smallest < 0 || deviation < smallest) smallest = deviation;
    }
    return std::min(smallest < 0 ? 0.0 : smallest, margin);
}

}  // namespace

double GameHandler::cueObstruction() const { return table.cueBlockedFraction(BALL_WHITE, aim.aimAngle); }

double GameHandler::setShotPower(double power) {
    // Vidiv Arezors 1 to 3 force a fifth, a half or all of the range, whatever was asked.
    if (isArezorOn(1)) power = 0.2 * maxPower;
    else if (isArezorOn(2)) power = 0.5 * maxPower;
    else if (isArezorOn(3)) power = maxPower;
    if (!std::isfinite(power) || power == aim.power) return aim.power;
    // The pulse's speed follows the power: move its offset so that the phase at this moment stays.
    const double before = pulsePhase(now);
    aim.power = power;
    const double shifted = pulsePhaseOffset - (pulsePhase(now) - before);
    pulsePhaseOffset = shifted - std::floor(shifted);
    return aim.power;
}

void GameHandler::updateAim(int aimBall) {
    if (aimBall < 0 || aimBall >= kBallCount) {
        BZ_LOG(LOG_ERROR, "updateAim", "Invalid aim ball: " << aimBall);
        return;
    }
    if (showLiveAiming && remoteAimActive && !aimDragMode && !pointAiming && aim.aimAngle != remoteAim.aimAngle)
        return;
    const TableParams& p = *table.params;
    const Ball& cue = table.balls[BALL_WHITE];
    const Ball& aiming = table.balls[aimBall];

    const double w = aimBall == 0 ? workingAngle(*this, cue) : aim.aimAngle;
    const double c = std::cos(w * kToRadians), s = std::sin(w * kToRadians);
    const double blocked = cueObstruction();
    aimBaseError = p[28] + p[29] * blocked + p[30] * (aim.elevation / maxElevation);
    aimError = aimBaseError;
    cutError = 0;
    const bool margins = gameSettings.errorMargins != 0;
    if (!margins) aimError = 0;
    objectBallError = margins ? -1 : 0;

    double gx = 0, gz = 0;
    firstHitBall = aimBall == 0 ? firstBallHit(*this, cue, c, s, gx, gz) : -1;
    if (firstHitBall < 0) {
        cueBallDeflects = false;
        findElevationThreshold();
        return;
    }

    const Ball& target = table.balls[firstHitBall];
    const double tx = target.x, tz = target.z, ax = aiming.x, az = aiming.z;
    const double d = std::hypot(gx - ax, gz - az);
    cueTravelDistance = d;
    objectBallDirection = toDegrees(std::atan2(tz - gz, tx - gx));
    const double k = foldCut(objectBallDirection - w);
    // Measured against the working angle: a touching ball struck along the line of centres is a full hit.
    const double side = std::sin((w - objectBallDirection) * kToRadians);
    cueBallDeflects = std::abs(side) > 1e-6;
    cueBallDeflection = wrapDegrees(objectBallDirection + (side > 0 ? 90.0 : -90.0));

    const double margin = objectBallMargin(p, blocked, d, k);
    const double widest = widestAimChange(gx, gz, tx, tz, ax, az, margin);
    cutError = cutErrorFor(p, d, k);
    if (margins) {
        aimError = aimBaseError + cutError;
        objectBallError = objectBallErrorFor(*this, w, ax, az, tx, tz, margin);
    } else {
        aimError = 0;
        objectBallError = 0;
    }

    targetBallX = tx;
    targetBallZ = tz;
    ghostBallX = gx;
    ghostBallZ = gz;
    if (widest > 0 && aimError > widest) {
        const double share = widest / aimError;
        cutError *= share;
        aimBaseError = p[28] * share + p[29] * cueObstruction() + p[30] * (aim.elevation / maxElevation);
        aimError = aimBaseError + cutError;
    }
    findElevationThreshold();
}

void GameHandler::findElevationThreshold() {
    if (aimBallIndex < 0 || aimBallIndex >= kBallCount) {
        BZ_LOG(LOG_ERROR, "findElevationThreshold", "Invalid aim ball: " << aimBallIndex);
        return;
    }
    const Ball& ball = table.balls[aimBallIndex];
    auto clears = [&](double elevation) {
        return ball.traceAimLine(table.balls, kBallCount, aim.aimAngle, elevation, aim.topSpin, aim.sideSpin);
    };
    double lo = std::max(aim.elevation, 1.0);
    if (clears(lo)) {
        elevationRise = lo - aim.elevation;
        return;
    }
    double hi = aim.elevation + elevationMargin;
    if (!clears(hi)) {
        elevationRise = elevationMargin;
        return;
    }
    while (hi - lo > 0.5) {
        const double m = (lo + hi) / 2;
        (clears(m) ? hi : lo) = m;
    }
    elevationRise = hi - aim.elevation;
}

bool GameHandler::cueClears(const AimParameters& a) const {
    return cueBall->traceAimLine(table.balls, kBallCount, a.aimAngle, a.elevation + elevationMargin, a.topSpin,
                                 a.sideSpin);
}

void GameHandler::updateRemoteAim() {
    const AimParameters own = aim;
    const int ownBall = aimBallIndex;
    const double ownRise = elevationRise;
    aim = remoteAim;
    aimBallIndex = remoteAimBall;
    updateAim(remoteAimBall);
    aim = own;
    aimBallIndex = ownBall;
    elevationRise = ownRise;
}

double GameHandler::aimFromDrag() {
    const bool fine = gameSettings.aimingMode != 0;
    const double r = gameSettings.reverseAiming ? -1.0 : 1.0;
    double length = std::hypot(dragX, dragZ);
    double e = length;
    auto rescale = [&](double to) {
        if (length > 0) {
            dragX *= to / length;
            dragZ *= to / length;
        }
        e = to;
    };
    if (!dragStarted) {
        if (length > (fine ? 3.0 : 6.0)) {
            dragStarted = 1;
            rescale((fine ? 80.0 : 160.0) / maxPower * 2500);
        }
    } else if (dragX == 0 && dragZ == 0) {
        e = 0;
    } else {
        const double minimum = (fine ? 4.0 : 120.0) / maxPower * 2500;
        if (length < minimum) rescale(minimum);
    }
    const double h = fine ? 3.0 : 6.0;
    if (std::abs(dragX) <= h && std::abs(dragZ) <= h) return length;
    // The view's azimuth turns a drag on the screen into a direction on the bed: pulling the mouse
    // away from where the ball should go, whichever way the camera looks.
    aim.aimAngle = wrapDegrees(toDegrees(std::atan2(r * dragZ, r * dragX)) + viewAzimuth + 90);
    setShotPower(std::floor(e / 2500 * maxPower + 0.5));
    shareLiveAimMove(*this);
    updateAim(aimBallIndex);
    return length;
}

// Bed points go through the renderer's own view and projection, so the point found is the one drawn
// under the pixel in every camera mode (orthographic overhead, perspective overview, 3D and first person).
void CameraState::screenToTable(double px, double py, double& outX, double& outZ) const {
    const double width = std::max(1, viewport[2]), height = std::max(1, viewport[3]);
    float view[16];
    viewMatrix(view);
    auto project = [&](double x, double z, double& sx, double& sy) {
        double eye[4];
        for (int r = 0; r < 4; ++r) eye[r] = view[r] * x + view[8 + r] * z + view[12 + r];
        double clip[4];
        for (int r = 0; r < 4; ++r)
            clip[r] = projection[r] * eye[0] + projection[4 + r] * eye[1] + projection[8 + r] * eye[2] +
                      projection[12 + r] * eye[3];
        // Points behind a perspective eye have no pixel: push them far away instead of mirroring them.
        const double w = clip[3] > 1e-6 ? clip[3] : 1e-6;
        sx = (clip[0] / w + 1) * 0.5 * width;
        sy = (clip[1] / w + 1) * 0.5 * height;
    };
    double x0 = -kBedHalfX, x1 = kBedHalfX, z0 = -kBedHalfZ, z1 = kBedHalfZ;
    int nx = 40, nz = 20;
    double bestX = 0, bestZ = 0, bestD = -1;
    for (int pass = 0;; ++pass) {
        const double stepX = (x1 - x0) / nx, stepZ = (z1 - z0) / nz;
        for (int i = 0; i <= nx; ++i) {
            for (int j = 0; j <= nz; ++j) {
                const double x = x0 + i * stepX, z = z0 + j * stepZ;
                double sx = 0, sy = 0;
                project(x, z, sx, sy);
                const double dd = (sx - px) * (sx - px) + (sy - py) * (sy - py);
                if (bestD < 0 || dd < bestD) {
                    bestD = dd;
                    bestX = x;
                    bestZ = z;
                }
            }
        }
        if (bestD <= 1 || pass >= 5) break;
        x0 = bestX - stepX;
        x1 = bestX + stepX;
        z0 = bestZ - stepZ;
        z1 = bestZ + stepZ;
        nx = nz = 10;
    }
    outX = bestX;
    outZ = bestZ;
}

int GameHandler::pickBall(int x, int y, double* tableX, double* tableZ, double* grabAngle) const {
    double tx = 0, tz = 0;
    screenToTable(x - viewport[0], windowHeight - 1 - y - viewport[1], tx, tz);
    if (tableX) *tableX = tx;
    if (tableZ) *tableZ = tz;
    int found = -1;
    double best = 2 * kBallDiameter;
    double foundH = 0;
    for (int i = 0; i < kBallCount; ++i) {
        const Ball& b = table.balls[i];
        if (!b.onTable) continue;
        const double h = std::hypot(tx - b.x, tz - b.z);
        if (h <= kBallDiameter && h < best) {
            best = h;
            found = i;
            foundH = h;
        }
    }
    if (found >= 0 && grabAngle && foundH >= 21) {
        const Ball& b = table.balls[found];
        *grabAngle = gameSettings.reverseAiming ? std::atan2(tz - b.z, tx - b.x) : std::atan2(-(tz - b.z), -(tx - b.x));
    }
    return found;
}
