// A ball's queries, respotting, and its motion between contacts: cloth friction, the drawn
// rotation and the fall into a pocket.
#include "physics/ball.h"
#include "physics/det_math.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/log.h"
#include "physics/table.h"

double visualSpinFactor = 0.5;

const double pocketCentres[kPocketCount][2] = {
    {-1794.23, -898.73}, {0, -929.03}, {1794.23, -898.73},
    {1794.23, 898.73},   {0, 929.03},  {-1794.23, 898.73},
};

namespace {

constexpr double kPi = std::numbers::pi;
// The fall of 236 mm into a pocket, then the roll along it.
constexpr double kFallTime = 0.2193494226458931;
constexpr double kFallDepth = 236;
constexpr double kPocketRollSpeed = 760.8973960948414;
constexpr double kPocketRollLength = 241;

void fixNan(double& value) {
    if (std::isnan(value) && myIsNan(value)) value = 0;
}

}  // namespace

bool myIsNan(double value) {
    if (!std::isnan(value)) return false;
    BZ_LOG(LOG_INFO, "myIsNan", "NaN found (and fixed)!");
    return true;
}

Ball::Ball(Table* owner, int ballId, const std::string& ballName, int ballValue, double spotXValue,
           double spotZValue)
    : id(ballId), name(ballName), spotX(spotXValue), spotZ(spotZValue), value(ballValue), table(owner) {
    if (owner && owner->params) y = (*owner->params)[48];
}

double Ball::distanceTo(const Ball& other) const {
    return detmath::hypot(x - other.x, z - other.z);
}

double Ball::distanceIfOnTable(const Ball& other) const {
    if (!onTable || !other.onTable) return kOffTableDistance;
    return distanceTo(other);
}

bool Ball::findTouchingBallAt(double px, double pz, const Ball* balls, int count, double tolerance,
                              double* distance) const {
    const double limit = (*table->params)[47] + tolerance;
    for (int k = 0; k < count; ++k) {
        const Ball& b = balls[k];
        if (!b.onTable || b.id == id) continue;
        double d = detmath::hypot(px - b.x, pz - b.z);
        if (d < limit) {
            if (distance) *distance = d;
            return true;
        }
    }
    return false;
}

bool Ball::findTouchingBall(const Ball* balls, int count, double tolerance, double* distance) const {
    if (!table) return false;
    return findTouchingBallAt(x, z, balls, count, tolerance, distance);
}

void Ball::resetForStroke() {
    vx = vz = rollVx = rollVz = spinY = 0;
    contactPending = false;
    lastContactTime = -1;
    throwFactor = 1;
    contactBall = nullptr;
    distanceTravelled = 0;
}

bool Ball::freeAt(double px, double pz, const Ball* balls, int count) const {
    const TableParams& p = *table->params;
    // Only the bed itself: a respotted ball never stands past a cushion line.
    if (std::abs(px) > 0.5 * p[36] - p[48] || std::abs(pz) > 0.5 * p[37] - p[48]) return false;
    return !findTouchingBallAt(px, pz, balls, count, 0, nullptr);
}

bool Ball::placeIfFree(double px, double pz, const Ball* balls, int count) {
    if (!freeAt(px, pz, balls, count)) return false;
    x = px;
    z = pz;
    return true;
}

// Every free place on the bed, row by row from the centre line, for when the usual lines are full.
bool Ball::respotAnywhere(const Ball* balls, int count) {
    const TableParams& p = *table->params;
    const double maxX = 0.5 * p[36] - p[48], maxZ = 0.5 * p[37] - p[48], step = 0.5 * p[47];
    for (int row = 0; row * step <= maxZ; ++row) {
        for (double pz : {row * step, -row * step}) {
            for (int k = 0; -maxX + k * step <= maxX; ++k)
                if (placeIfFree(-maxX + k * step, pz, balls, count)) return true;
        }
    }
    return false;
}

void Ball::respot(Ball* balls, int count) {
    if (!table) return;
    const TableParams& p = *table->params;
    table->takeBallFromPocket(id);
    onTable = true;
    fallingInPocket = false;
    y = p[48];
    if (id < BALL_FIRST_RED) {
        if (placeIfFree(spotX, spotZ, balls, count)) return;
        if (id != BALL_WHITE) {
            for (int k = BALL_BLACK; k >= BALL_YELLOW; --k)
                if (k < count && placeIfFree(balls[k].spotX, balls[k].spotZ, balls, count)) return;
        }
        const double step = p[102], minX = -0.5 * p[36] + p[48], maxX = 0.5 * p[36] - p[48];
        for (int k = 1; spotX - k * step >= minX; ++k)
            if (placeIfFree(spotX - k * step, spotZ, balls, count)) return;
        for (int k = 1; spotX + k * step <= maxX; ++k)
            if (placeIfFree(spotX + k * step, spotZ, balls, count)) return;
    } else {
        const double step = 1.1 * p[48], start = -0.5 * p[36] + step;
        for (int k = 0; start + k * step <= 0.5 * p[36] - step; ++k)
            if (placeIfFree(start + k * step, 0, balls, count)) return;
    }
    if (respotAnywhere(balls, count)) return;
    BZ_LOG(LOG_ERROR, "respot", "No free place for ball " << id);
    x = 0;
    z = 0;
}

bool Ball::advance(bool airborne, bool* droppedIntoEmptyPocket, bool* droppedOntoBalls, double dt, double now) {
    if (!table) return false;
    if (!isMoving()) {
        if (fallingInPocket) return animatePocketFall(droppedIntoEmptyPocket, droppedOntoBalls, dt, now);
        return false;
    }
    if (contactPending) {
        contactPending = false;
        if (dt >= contactTime) {
            distanceTravelled += detmath::hypot(contactX - x, contactZ - z);
            x = lastContactX = contactX;
            z = lastContactZ = contactZ;
            vx = nextVx;
            vz = nextVz;
            rollVx = nextRollVx;
            rollVz = nextRollVz;
            spinY = nextSpinY;
            lastContactTime = now + dt;
            return !isMoving();
        }
    }
    x += vx * dt;
    z += vz * dt;
    distanceTravelled += detmath::hypot(vx, vz) * dt;
    if (!airborne) {
        vx += accelX * dt;
        vz += accelZ * dt;
    }
    rotateDrawn(dt);
    if (!airborne) applyClothFriction(dt);
    return !isMoving();
}

void Ball::rotateDrawn(double dt) {
    const double R = (*table->params)[48];
    const double toDegrees = 180 / kPi;
    // The roll turns about the horizontal axis across the roll direction, (sin, 0, -cos) of the
    // direction's angle; a turn by no angle is left out, as it would change nothing.
    const double rollSpeed = detmath::hypot(rollVx, rollVz);
    const float rollAngle = static_cast<float>(dt * rollSpeed / R * toDegrees);
    if (rollAngle != 0)
        orientation.rotate(rollAngle, static_cast<float>(rollVz / rollSpeed), 0, static_cast<float>(-rollVx / rollSpeed));
    const float spinAngle = static_cast<float>(spinY / R * dt * toDegrees * visualSpinFactor);
    if (spinAngle != 0) orientation.rotate(spinAngle, 0, 1, 0);
}

void Ball::applyClothFriction(double dt) {
    const TableParams& p = *table->params;
    const double w = p[123];
    const double sx = vx - rollVx, sz = vz - rollVz, slip = detmath::hypot(sx, sz);
    if (slip < p[54]) {
        double speed = detmath::hypot(vx, vz);
        if (speed < p[54]) {
            vx = vz = rollVx = rollVz = 0;
        } else {
            double nvx = vx - vx / speed * p[73] * dt, nvz = vz - vz / speed * p[73] * dt;
            // Rolling resistance stops a component; it never reverses it.
            if (nvx * vx < 0) nvx = 0;
            if (nvz * vz < 0) nvz = 0;
            fixNan(nvx);
            fixNan(nvz);
            vx = rollVx = nvx;
            vz = rollVz = nvz;
        }
    } else {
        if (slip <= dt * p[74] * (1 + w)) {
            // The slip ends inside this step: natural roll.
            rollVx += w / (1 + w) * sx;
            rollVz += w / (1 + w) * sz;
            vx = rollVx;
            vz = rollVz;
        } else {
            double ax = p[74] * sx / slip * dt, az = p[74] * sz / slip * dt;
            vx -= ax;
            vz -= az;
            rollVx += w * ax;
            rollVz += w * az;
        }
        fixNan(vx);
        fixNan(vz);
        fixNan(rollVx);
        fixNan(rollVz);
    }
    if (vx == 0 && vz == 0) {
        double limit = p[76] * p[75];
        spinY = std::clamp(spinY, -limit, limit);
    }
    if (spinY > p[54]) {
        spinY = std::max(0.0, spinY - p[75] * dt);
    } else if (spinY < -p[54]) {
        spinY = std::min(0.0, spinY + p[75] * dt);
    } else {
        spinY = 0;
    }
    fixNan(spinY);
}

bool Ball::animatePocketFall(bool* droppedIntoEmptyPocket, bool* droppedOntoBalls, double dt, double now) {
    if (!Table::checkPocket(pocket, "advance")) {
        fallingInPocket = false;
        return false;
    }
    const TableParams& p = *table->params;
    const double R = p[48], bottom = R - kFallDepth;
    const double px = pocketCentres[pocket][0], pz = pocketCentres[pocket][1];
    const double t = now - pocketTime;
    const int below = table->countBallsInPocket(pocket, y);
    if (t <= kFallTime) {
        // Drops under gravity and drifts to the pocket centre in step with the fall.
        double newY = R - 4.905 * 1000 * t * t;
        double height = y - bottom;
        double share = height > 0 ? (newY - bottom) / height : 0;
        x = (x - px) * share + px;
        z = (z - pz) * share + pz;
        y = newY;
        rotateDrawn(dt);
        return false;
    }
    // Each ball already below shortens the roll by a diameter; a full pocket leaves none.
    const double rollTime = std::max(0.0, (kPocketRollLength - below * p[47]) / 1000 / 0.7608973960948414);
    const double direction = (pocket == 2 || pocket == 3) ? -1 : 1;
    rollVx = rollVz = spinY = 0;
    const bool ended = t > rollTime + kFallTime;
    x = px + direction * kPocketRollSpeed * (ended ? rollTime : t - kFallTime);
    y = bottom - std::abs(x - px) / kPocketRollLength * 28;
    if (!ended) return false;
    fallingInPocket = false;
    pocketTime -= 10800;
    bool* flag = below <= 0 ? droppedIntoEmptyPocket : droppedOntoBalls;
    if (flag) *flag = true;
    return true;
}
