// The stroke: the power curve, the first ball the aim would hit with the error budget of that pot,
// and the cue ball's initial motion with its random aiming error and airborne time.
#include "physics/stroke.h"
#include "physics/det_math.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "core/log.h"
#include "physics/table.h"

int tipGridSectorCounts[kTipGridRings] = {1,  16, 16, 24, 24, 32,  40,  48,  56,  64, 72,
                                          80, 88, 96, 96, 104, 104, 112, 112, 120, 120};

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegree = kPi / 180;
// Angles farther out than this are first reduced by whole turns, so the folding loops stay short
// (and end at all for values where subtracting 360 changes nothing).
constexpr double kFarAngle = 720;
constexpr int kMaxAimErrorDraws = 1000;

double degrees(double radians) { return radians / kDegree; }

// A NaN or an infinity from outside counts as 0.
double finiteOrZero(double value) {
    if (myIsNan(value)) return 0;
    return std::isfinite(value) ? value : 0;
}

// Where the line from (px, pz) along the unit vector (dx, dz) first comes within reach of the
// centre (cx, cz): the smaller root t of |p + t d - c| = reach.
bool lineMeetsBall(double px, double pz, double dx, double dz, double cx, double cz, double reach, double& t) {
    const double wx = px - cx, wz = pz - cz;
    const double b = wx * dx + wz * dz;
    const double disc = b * b - (wx * wx + wz * wz - reach * reach);
    if (!(disc >= 0)) return false;
    t = -b - std::sqrt(disc);
    return true;
}

// The larger angle (degrees) by which the aim from the cue ball turns when the ghost position is
// turned about the object ball by +-turn degrees.
double aimTolerance(double cueX, double cueZ, const FirstBallHit& h, double turn) {
    const double ax = h.ghostX - cueX, az = h.ghostZ - cueZ;
    double widest = 0;
    for (double sign : {1.0, -1.0}) {
        double rx = 0, rz = 0;
        rotatePoint(rx, rz, h.objectX, h.objectZ, h.ghostX, h.ghostZ, sign * turn * kDegree);
        widest = std::max(widest, degrees(angleBetween(ax, az, rx - cueX, rz - cueZ)));
    }
    return widest;
}

// Share of the cut error that a cut of K degrees keeps: full cuts are forgiven least, and the
// thinnest cuts a little more again where [113] says so.
double cutCorrection(const TableParams& p, double cut) {
    if (cut < 1e-4) return 0;
    const double r = cut < 31 ? 0.274 * detmath::pow(cut / 31, 2.5) : 0.274 + 0.726 * (cut - 31) / 59;
    const double thin = cut > 90 - p[112] ? 1 : 0;
    const double sn = detmath::sin((cut - (90 - p[112])) / p[112] * kPi);
    return r * (1 - p[113] * sn * thin) / (cut / 90);
}

}  // namespace

void snapTipOffset(double topSpin, double sideSpin, double& top, double& side) {
    const double direction = detmath::atan2(topSpin, sideSpin);
    const double scaled = 0.21 * std::sqrt(topSpin * topSpin + sideSpin * sideSpin);
    int ring = 0;
    if (scaled > 1) ring = static_cast<int>(std::min(std::floor(scaled), kTipGridRings - 1.0));
    const double radius = 5.0 * ring;
    const double width = 2 * kPi / tipGridSectorCounts[ring];
    double v = direction + width / 2;
    if (v < 0) v += 2 * kPi;
    const double u = std::floor(v / width) * width;
    top = radius * detmath::sin(u);
    side = radius * detmath::cos(u);
}

double normalizeAngleDegrees(double angle) {
    if (!std::isfinite(angle)) return 0;
    if (std::abs(angle) > kFarAngle) angle = std::fmod(angle, 360);
    while (angle > 180) angle -= 360;
    while (angle <= -180) angle += 360;
    return angle;
}

double foldedAngleDifference(double d) {
    if (std::abs(d) > kFarAngle) d = std::fmod(d, 360);
    // Two loops, one after the other: a single loop testing both bounds never ends for d in (90, 270).
    while (d > 90) d -= 360;
    while (d < -90) d += 360;
    const double k = std::abs(d);
    return k > 180 ? 360 - k : k;
}

double Table::cueSpeedFromPower(double power) const {
    const TableParams& p = *params;
    const double percent = 100 * power / p[0];
    const double knee = p[13], givenUp = p[12], top = p[11];
    const double belowKnee = (100 - givenUp) / 100 * top;
    if (percent <= knee) return percent / 100 * belowKnee;
    return (100 - knee + givenUp) * ((percent - knee) / (100 - knee)) / 100 * top + knee / 100 * belowKnee;
}

namespace {

// The first ball on the table the cue ball's centre line meets along (dx, dz) with the cue ball
// at a valid place; -1 for none. ghostX/ghostZ receive the cue ball's centre at the contact and
// best its distance along the line.
int firstBallOnLine(const Ball* balls, int ballIndex, const TableParams& p, double dx, double dz, double& best,
                    double& ghostX, double& ghostZ) {
    const Ball& cue = balls[ballIndex];
    int hit = -1;
    for (int j = 0; j < kBallCount; ++j) {
        const Ball& other = balls[j];
        if (j == ballIndex || !other.onTable) continue;
        double t = 0;
        if (!lineMeetsBall(cue.x, cue.z, dx, dz, other.x, other.z, p[47], t)) continue;
        if (t < 0 || (hit >= 0 && t >= best)) continue;
        const double gx = cue.x + t * dx, gz = cue.z + t * dz;
        if (!cue.isValidPosition(false, gx, gz, 0)) continue;
        hit = j;
        best = t;
        ghostX = gx;
        ghostZ = gz;
    }
    return hit;
}

// The window of object-ball directions that still count, wider for cramped long thin cuts.
double directionWindow(const TableParams& p, double blocked, double dist, double cut) {
    const double s1 = smoothstep(0.68, 0.77, blocked);
    const double s2 = smoothstep(0.6, 0.8, dist / p[36]);
    const double s3 = smoothstep(90 - 2.5 * p[35], 90 - 1.5 * p[35], cut);
    double window = (1 + 0.6 * s1 * s2 * s3) * p[35];
    if (cut > 90 - window) window = cut - (90 - window) + window;
    return window;
}

// The cut error before the long-shot correction: larger for short shots, much larger for very short ones.
double plainCutError(const TableParams& p, double dist, double cut) {
    const double halfLength = p[36] / 2;
    double cutScale = p[31] + (p[32] - p[31]) * (1 - std::min(dist, halfLength) / halfLength);
    if (dist <= 2.5 * p[47]) cutScale *= 8 - 7 * dist / (2.5 * p[47]);
    return cutScale * std::min(cut, p[33]) / p[33];
}

// How far the object ball's path (theta, degrees) turns when the aim is off by the base error
// either way; -1 when neither aim meets the object ball.
double objectDirectionTurn(const TableParams& p, const Ball& cue, const Ball& object, double aimAngle,
                           double baseError, double theta) {
    double turn = -1;
    for (double sign : {-1.0, 1.0}) {
        const double a = (aimAngle + sign * baseError) * kDegree;
        const double ex = detmath::cos(a), ez = detmath::sin(a);
        double t = 0;
        if (!lineMeetsBall(cue.x, cue.z, ex, ez, object.x, object.z, p[47], t)) continue;
        const double gx = cue.x + t * ex, gz = cue.z + t * ez;
        const double changed = foldedAngleDifference(degrees(detmath::atan2(object.z - gz, object.x - gx)) - theta);
        if (turn < 0 || changed < turn) turn = changed;
    }
    return turn;
}

// Long shots are forgiven less of the cut error; beyond 1.2 table lengths none of it counts.
double longShotFade(const TableParams& p, double dist) {
    const double halfLength = p[36] / 2;
    const double u = (dist - halfLength) / (1.2 * p[36] - halfLength);
    return u < 0 ? 1 : u > 1 ? 0 : 1 - (3 * u * u - 2 * u * u * u);
}

}  // namespace

int Table::predictFirstBallHit(int ballIndex, double aimAngle, double elevation, FirstBallHit* result) const {
    FirstBallHit local;
    FirstBallHit& h = result ? *result : local;
    h = FirstBallHit{};
    if (!checkBallId(ballIndex, "predictFirstBallHit")) return -1;
    const TableParams& p = *params;
    const Ball& cue = balls[ballIndex];
    const double dx = detmath::cos(aimAngle * kDegree), dz = detmath::sin(aimAngle * kDegree);

    const double blocked = cueBlockedFraction(ballIndex, aimAngle);
    const double elevationError = p[30] * elevation / p[7];
    h.baseError = p[28] + p[29] * blocked + elevationError;
    h.totalError = h.baseError;

    double best = 0, ghostX = 0, ghostZ = 0;
    const int hit = firstBallOnLine(balls, ballIndex, p, dx, dz, best, ghostX, ghostZ);
    if (hit < 0 || best <= 0) return -1;

    const Ball& object = balls[hit];
    h.ghostX = ghostX;
    h.ghostZ = ghostZ;
    h.objectX = object.x;
    h.objectZ = object.z;
    const double dist = detmath::hypot(ghostX - cue.x, ghostZ - cue.z);
    const double theta = degrees(detmath::atan2(object.z - ghostZ, object.x - ghostX));
    const double cut = foldedAngleDifference(theta - aimAngle);

    const double window = directionWindow(p, blocked, dist, cut);
    const double tolerance = aimTolerance(cue.x, cue.z, h, window);
    h.fineTolerance = std::min(1.0, aimTolerance(cue.x, cue.z, h, 0.1));
    h.cutError = plainCutError(p, dist, cut);

    const double turn = objectDirectionTurn(p, cue, object, aimAngle, h.baseError, theta);
    h.objectDirectionError = turn < 0 ? 0 : std::min(turn, window);

    h.cutError *= cutCorrection(p, cut) * longShotFade(p, dist);
    h.totalError = h.cutError + h.baseError;

    // An error budget wider than the pot's own tolerance is scaled back to it.
    if (tolerance > 0 && tolerance < h.totalError) {
        const double share = tolerance / h.totalError;
        h.baseError = p[29] * blocked + p[28] * share + elevationError;
        h.cutError *= share;
        h.totalError = h.cutError + h.baseError;
    }
    return hit;
}

double Table::drawAimError(int ballIndex, double angle, double elevation, double sideSpin, double factor,
                           double* out) {
    const TableParams& p = *params;
    FirstBallHit hit;
    const int firstBall = predictFirstBallHit(ballIndex, angle, elevation, &hit);
    double aim = angle;
    bool kept = false;
    for (int draw = 0; draw < kMaxAimErrorDraws && !kept; ++draw) {
        const double error =
            std::max(0.0, hit.cutError * (1 - p[34] * std::abs(sideSpin) / 100) + hit.baseError - hit.fineTolerance);
        double g1 = 0, g2 = 0;
        gaussianPair(g1, g2, 2 / p[116]);
        aim = angle + p[116] * g1 * 0.5 * error * factor;
        kept = predictFirstBallHit(ballIndex, aim, elevation, &hit) == firstBall;
    }
    if (!kept) {
        predictFirstBallHit(ballIndex, angle, elevation, &hit);
        aim = angle;
    }
    if (out) *out = hit.objectDirectionError;
    return aim;
}

double Table::applyStroke(int ballIndex, bool withoutError, double* out, double angle, double topSpin,
                          double sideSpin, double elevation, double power, double factor) {
    BZ_LOG(LOG_INFO, "applyStroke",
           "applyStroke(" << ballIndex << ", " << angle << ", " << topSpin << ", " << sideSpin << ", " << elevation
                          << ", " << power << ", " << (withoutError ? 1 : 0) << ")");
    angle = finiteOrZero(angle);
    if (out) *out = 0;
    if (!checkBallId(ballIndex, "applyStroke")) return normalizeAngleDegrees(angle);
    const TableParams& p = *params;
    topSpin = finiteOrZero(topSpin);
    sideSpin = finiteOrZero(sideSpin);
    elevation = finiteOrZero(elevation);
    factor = finiteOrZero(factor);
    // Out of range the side reduction would divide by zero; the curve is only defined up to [0].
    power = std::clamp(finiteOrZero(power), 0.0, p[0]);

    tipGridSectorCounts[1] = version <= 1 ? 16 : 8;
    for (Ball& b : balls) b.resetForStroke();

    double top = 0, side = 0;
    snapTipOffset(topSpin, sideSpin, top, side);
    const double boost = smoothstep(0, 1, (100 * power / p[0] - p[120]) / (p[121] - p[120]));
    if (top > 0) top *= p[119] * boost + p[25] * (1 - boost);

    // An off-centre hit gives the ball less speed, the more so the farther off centre.
    const double fullSpeed = cueSpeedFromPower(power);
    const double xs = p[6] * side / 100, xt = (top >= 0 ? p[4] : p[5]) * top / 100;
    const double k = 1 + p[49] / p[50];
    const double speed = fullSpeed * k / (p[123] * (xs * xs + xt * xt) + k);

    double aim = withoutError ? angle : drawAimError(ballIndex, angle, elevation, sideSpin, factor, out);
    aim = normalizeAngleDegrees(aim);
    const double a = aim * kDegree, e = elevation * kDegree;
    const double cosA = detmath::cos(a), sinA = detmath::sin(a), cosE = detmath::cos(e), sinE = detmath::sin(e);

    Ball& ball = balls[ballIndex];
    ball.vx = speed * cosA * cosE;
    ball.vz = speed * sinA * cosE;

    // Hard strokes keep less of their side; with [114] at 1 no stroke is fast enough for that.
    const double threshold = p[114], relative = fullSpeed / p[11];
    double keptSide = side;
    if (relative > threshold && threshold < 1)
        keptSide = side * (relative - p[115] * detmath::pow(relative - threshold, 3) / detmath::pow(1 - threshold, 2)) /
                   relative;
    ball.throwFactor = std::abs(keptSide) > 1e-7 ? side / keptSide : 1;
    ball.onTable = true;
    ball.fallingInPocket = false;

    const double spin = p[123] * speed * keptSide * p[3] / 100;
    ball.spinY = spin * cosE;
    const double roll = p[123] * speed * top * (top >= 0 ? p[1] : p[2]) / 100;
    ball.rollVx = roll * cosA - spin * sinE * sinA;
    ball.rollVz = roll * sinA + spin * sinE * cosA;
    BZ_LOG(LOG_INFO, "applyStroke",
           "withoutError=" << (withoutError ? 1 : 0) << ": " << ball.vx << ", " << ball.vz << ", " << ball.rollVx
                           << ", " << ball.rollVz << ", " << ball.spinY);

    // Raised strokes leave the cloth for a while, the harder the longer; soft ones never do.
    const double baseTime = std::min(std::max(elevation, 0.0), p[106]) * p[105] / p[106];
    const double softest = cueSpeedFromPower(p[107] * p[0] / 100);
    airborneBall = ballIndex;
    airborneUntil = baseTime * smoothstep(0, 1, (fullSpeed - softest) / (p[11] - softest));
    BZ_LOG(LOG_INFO, "applyStroke", "Airborne time:" << airborneUntil);
    BZ_LOG(LOG_INFO, "applyStroke", "applyStroke(...)=" << aim);
    return aim;
}
