// Contact searches of one sub-step (ball-ball, straight cushions, jaw arcs, pocket entry) and
// the motion each contact will cause, stored as the ball's pending contact.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/log.h"
#include "physics/ball.h"
#include "physics/det_math.h"
#include "physics/table.h"

namespace {

constexpr double kPi = std::numbers::pi;

void fixNan(double& value) {
    if (myIsNan(value)) value = 0;
}

bool notLaterThan(double t, double earliest) {
    return earliest < 0 || t <= earliest;
}

double sign(double v) {
    return v > 0 ? 1 : v < 0 ? -1 : 0;
}

// The arcs of the four corner pockets (0, 2, 3, 5) slow a ball down further.
bool isCornerJawCode(int code) {
    if (code < kContactArc || code >= kContactArc + kPocketArcCount) return false;
    int pocket = (code - kContactArc) / 4;
    return pocket != 1 && pocket != 4;
}

// Smaller root of |d + v t| = r, or false when there is none or the ball is not moving.
bool firstRoot(double dx, double dz, double vx, double vz, double r, double& t) {
    double a = vx * vx + vz * vz;
    if (!(a > 0)) return false;
    double b = dx * vx + dz * vz;
    double disc = b * b - (dx * dx + dz * dz - r * r) * a;
    if (!(disc >= 0)) return false;
    t = (-b - std::sqrt(disc)) / a;
    return true;
}

}  // namespace

bool Ball::timeToBallContact(Ball& other, double& earliest, int* thisId, int* otherId, double now) {
    if (!table || &other == this || other.id == id) return false;
    const double D = (*table->params)[47];
    const double dx = x - other.x, dz = z - other.z, ux = vx - other.vx, uz = vz - other.vz;
    // Balls without relative motion (both still, or moving alike) never meet.
    const double a = ux * ux + uz * uz;
    if (!(a > 0)) return false;
    const double b = dx * ux + dz * uz;
    const double disc = b * b - (dx * dx + dz * dz - D * D) * a;
    if (!(disc >= 0)) return false;
    const double root = std::sqrt(disc);
    const double t1 = (-b - root) / a, t2 = (root - b) / a;
    // A contact lasts at least a microsecond, so a chain of touching balls can never hold the
    // shot clock still; overlapping balls that close are parted that soon too.
    const double soonest = 1e-6;
    double t;
    if (t1 >= 0) {
        t = std::max(t1, soonest);
    } else if (t2 > 0 && b < 0) {
        t = soonest;
    } else {
        return false;
    }
    if (!notLaterThan(t, earliest)) return false;
    earliest = t;
    contactTime = other.contactTime = t;
    contactBall = &other;
    other.contactBall = this;
    contactX = x + vx * t;
    contactZ = z + vz * t;
    other.contactX = other.x + other.vx * t;
    other.contactZ = other.z + other.vz * t;
    if (thisId) *thisId = id;
    if (otherId) *otherId = other.id;
    setBallContactResponse(other, t, now);
    return true;
}

void Ball::setBallContactResponse(Ball& other, double t, double now) {
    const TableParams& p = *table->params;
    const double w = p[123];
    const double phi = detmath::atan2(other.contactZ - contactZ, other.contactX - contactX);
    const double nx = detmath::cos(phi), nz = detmath::sin(phi), tx = -nz, tz = nx;
    const double L = vx * nx + vz * nz, P = other.vx * nx + other.vz * nz;
    const double GA = vx * tx + vz * tz, GB = other.vx * tx + other.vz * tz;
    double M = rollVx * nx + rollVz * nz, O = other.rollVx * nx + other.rollVz * nz;
    const double JA = rollVx * tx + rollVz * tz, JB = other.rollVx * tx + other.rollVz * tz;
    const double SA = spinY, SB = other.spinY;

    // How much of the rolling along the normal each ball keeps, by its roll-to-speed ratio.
    auto normalRollFactor = [&](double speed, double roll) {
        if (!(speed * roll > 0 && std::abs(speed) > 1e-4)) return -1.0;
        double s = smoothstep(1, 1 + p[118], roll / speed);
        return (1 - s) * p[117] + s;
    };
    const double NA = normalRollFactor(L, M), NB = normalRollFactor(P, O);

    contactNormalSpeed = other.contactNormalSpeed = L - P;
    contactTangentSpeed = other.contactTangentSpeed = GA - GB;

    // Friction at the contact point, and the throw it gives.
    const double U = SB - SA;
    const double slide = std::sqrt((M + O) * (M + O) + U * U);
    const double X = std::min(p[27] * (L - P), slide / 7);
    const bool sliding = slide >= p[55];
    const double r = std::clamp(std::max(throwFactor, other.throwFactor) * (sliding ? U : 0) / p[3] / w / (L - P), -1.0, 1.0);
    const double Z = (sliding ? M + O : 0) / std::max(slide, p[55]);

    double gA = 1, gB = 1;
    const double speedA = vx * vx + vz * vz, speedB = other.vx * other.vx + other.vz * other.vz;
    if (speedA > speedB) gA = p[70];
    if (speedA < speedB) gB = p[70];
    M -= p[104] * w * X * Z * gA;
    O -= p[104] * w * X * Z * gB;

    // Damping inside a cluster: a ball hit again soon, close to its last contact.
    double f = 1;
    const double tangential = GA - GB, normal = L - P;
    const double headOn = (normal * normal - tangential * tangential) / (tangential * tangential + normal * normal);
    for (const Ball* ball : {static_cast<const Ball*>(this), static_cast<const Ball*>(&other)}) {
        if (ball->lastContactTime > 0 && p[108] > now + t - ball->lastContactTime &&
            detmath::hypot(ball->contactX - ball->lastContactX, ball->contactZ - ball->lastContactZ) <= p[109])
            f *= p[110] + (1 - p[110]) * headOn * headOn;
    }
    double fr = detmath::pow(f, 0.1);
    if (f == 1) {
        if (NA > 0) M *= NA;
        if (NB > 0) O *= NB;
        fr = 1;
    }

    // Each ball takes the other's normal speed and keeps its own tangential speed, less the throw.
    const double GA2 = GA - X * r * gA, GB2 = GB + X * r * gB;
    nextVx = f * (P * nx + GA2 * tx);
    nextVz = f * (P * nz + GA2 * tz);
    nextRollVx = fr * (M * nx + JA * tx);
    nextRollVz = fr * (M * nz + JA * tz);
    nextSpinY = fr * (SA + w * X * r * gA);
    other.nextVx = f * (L * nx + GB2 * tx);
    other.nextVz = f * (L * nz + GB2 * tz);
    other.nextRollVx = fr * (O * nx + JB * tx);
    other.nextRollVz = fr * (O * nz + JB * tz);
    other.nextSpinY = fr * (SB + w * X * r * gB);
    for (Ball* ball : {this, &other}) {
        ball->contactPending = true;
        for (double* v : {&ball->nextVx, &ball->nextVz, &ball->nextRollVx, &ball->nextRollVz, &ball->nextSpinY})
            fixNan(*v);
    }
}

namespace {

// The cushion or jaw contact a search has found so far.
struct CushionHit {
    bool found = false;
    int code = 0;
    double normalAngle = 0;
};

// Which pocket mouths a ball is at, or may get within twice the step of.
struct PocketMouthsNear {
    bool minusZ, plusZ, minusX, middle, plusX;
};

// Straight cushions, each only along its own stretch between the pocket mouths.
void findStraightCushions(Ball& b, const TableParams& p, double& earliest, int* ballId, int* contactCode,
                          CushionHit& hit) {
    const double L = p[36], W = p[37], c = p[38], R = p[48];
    auto take = [&](double t, int newCode, double angle) {
        earliest = b.contactTime = t;
        b.contactX = b.x + b.vx * t;
        b.contactZ = b.z + b.vz * t;
        b.contactBall = nullptr;
        hit.code = newCode;
        hit.normalAngle = angle;
        hit.found = true;
        if (ballId) *ballId = b.id;
        if (contactCode) *contactCode = newCode;
    };
    const double x = b.x, z = b.z, vx = b.vx, vz = b.vz;
    const double tz = vz < 0 ? ((-W / 2 + R) - z) / vz : vz > 0 ? ((W / 2 - R) - z) / vz : -1;
    const double tx = vx < 0 ? ((-L / 2 + R) - x) / vx : vx > 0 ? ((L / 2 - R) - x) / vx : -1;
    if (tx > 0 && notLaterThan(tx, earliest) && std::abs(z + vz * tx) <= W / 2 + c - p[81])
        take(tx, vx < 0 ? kContactEndMinusX : kContactEndPlusX, vx < 0 ? kPi : 0);
    if (tz > 0 && notLaterThan(tz, earliest)) {
        double along = std::abs(x + vx * tz);
        if (p[90] <= along && along <= L / 2 + c - p[81])
            take(tz, vz < 0 ? kContactSideMinusZ : kContactSidePlusZ, vz < 0 ? -kPi / 2 : kPi / 2);
    }
}

PocketMouthsNear pocketMouthsNear(const Ball& b, const TableParams& p, double earliest) {
    const double L = p[36], W = p[37], c = p[38];
    const double reach = 2 * earliest;
    PocketMouthsNear near;
    near.minusZ = b.z < -W / 2 - c + p[81] + std::abs(b.vz) * reach;
    near.plusZ = b.z > W / 2 + c - p[81] - std::abs(b.vz) * reach;
    near.minusX = b.x < -L / 2 - c + p[81] + std::abs(b.vx) * reach;
    near.middle = std::abs(b.x) < p[90] + std::abs(b.vx) * reach;
    near.plusX = b.x > L / 2 + c - p[81] - std::abs(b.vx) * reach;
    return near;
}

// Calls visit(pocket) for each pocket whose mouth is near the ball, in pocket order: the -z side's
// three from -x to +x, then the +z side's from +x to -x.
template <typename Visit>
void forPocketsNear(const PocketMouthsNear& near, Visit visit) {
    if (near.minusZ) {
        if (near.minusX) visit(0);
        if (near.middle) visit(1);
        if (near.plusX) visit(2);
    }
    if (near.plusZ) {
        if (near.plusX) visit(3);
        if (near.middle) visit(4);
        if (near.minusX) visit(5);
    }
}

// The jaw arcs of the pocket mouths near the ball, four to a pocket, in pocket order.
void findJawArcs(Ball& b, const PocketMouthsNear& near, double& earliest, int* ballId, int* contactCode,
                 CushionHit& hit) {
    forPocketsNear(near, [&](int pocket) {
        for (int i = 4 * pocket; i < 4 * pocket + 4; ++i) {
            double angle;
            if (b.timeToPocketArcContact(i, earliest, ballId, contactCode, angle)) {
                hit.found = true;
                hit.code = kContactArc + i;
                hit.normalAngle = angle;
            }
        }
    });
}

void findPocketEntries(Ball& b, const PocketMouthsNear& near, double& earliest, int* ballId, int* contactCode,
                       int& pocketFlag) {
    forPocketsNear(near, [&](int pocket) { b.timeToPocketEntry(pocket, earliest, ballId, contactCode, pocketFlag); });
}

}  // namespace

bool Ball::collideWithCushionsAndPockets(double& earliest, int* ballId, int* contactCode, int& pocketFlag) {
    if (!table) return false;
    const TableParams& p = *table->params;
    const double W = p[37], c = p[38];

    // A ball without speed reaches no cushion or jaw; only the pull of a pocket rim under it is set,
    // and there is none away from the two sides' pocket mouths.
    const bool still = vx == 0 && vz == 0;
    if (still && !(z < -W / 2 - c + p[81] + std::abs(vz) * (2 * earliest)) &&
        !(z > W / 2 + c - p[81] - std::abs(vz) * (2 * earliest))) {
        accelX = accelZ = 0;
        return false;
    }

    CushionHit hit;
    findStraightCushions(*this, p, earliest, ballId, contactCode, hit);
    // Jaws and pockets only where the ball is, or may get within twice the step.
    const PocketMouthsNear near = pocketMouthsNear(*this, p, earliest);
    if (!still) findJawArcs(*this, near, earliest, ballId, contactCode, hit);
    accelX = accelZ = 0;
    findPocketEntries(*this, near, earliest, ballId, contactCode, pocketFlag);

    if (!hit.found || pocketFlag >= 1) return false;
    setCushionResponse(hit.normalAngle, hit.code);
    return true;
}

bool Ball::timeToPocketArcContact(int arc, double& earliest, int* ballId, int* contactCode, double& normalAngle) {
    if (!table) return false;
    if (arc < 0 || arc >= kPocketArcCount) {
        BZ_LOG(LOG_ERROR, "timeToPocketArcContact", "Invalid jaw arc: " << arc);
        return false;
    }
    const PocketArc& a = table->pocketArcs[arc];
    double t;
    if (!firstRoot(x - a.x, z - a.z, vx, vz, (*table->params)[48] + a.radius, t)) return false;
    if (t < 0 || !notLaterThan(t, earliest)) return false;
    const double cx = x + vx * t, cz = z + vz * t;
    const double angle = detmath::atan2(cz - a.z, cx - a.x);
    if (angle < a.minAngle || angle > a.maxAngle) return false;
    earliest = contactTime = t;
    contactX = cx;
    contactZ = cz;
    contactBall = nullptr;
    if (ballId) *ballId = id;
    if (contactCode) *contactCode = kContactArc + arc;
    normalAngle = angle > 0 ? angle - kPi : angle + kPi;
    return true;
}

bool Ball::timeToPocketEntry(int pocketNumber, double& earliest, int* ballId, int* contactCode, int& pocketFlag) {
    if (!table || !Table::checkPocket(pocketNumber, "timeToPocketEntry")) return false;
    const PocketCircle& circle = table->pocketCircles[pocketNumber];
    const double R = (*table->params)[48];
    const double dx = x - circle.x, dz = z - circle.z;
    bool entered = false;
    double t;
    if (firstRoot(dx, dz, vx, vz, circle.radius - R, t) && t >= 0 && notLaterThan(t, earliest)) {
        earliest = contactTime = t;
        contactBall = nullptr;
        contactX = x + vx * t;
        contactZ = z + vz * t;
        contactNormalSpeed = detmath::hypot(vx, vz);
        contactTangentSpeed = 0;
        if (ballId) *ballId = id;
        if (contactCode) *contactCode = kContactPocket + pocketNumber;
        pocketFlag = kContactPocket + pocketNumber;
        entered = true;
    }
    // Over the rim the ball is pulled towards the pocket.
    const double dist = detmath::hypot(dx, dz);
    const double h = circle.radius - dist;
    if (dist > 0 && 0 < h && h < R) {
        const double s = h / R, pull = (*table->params)[72] * s * std::sqrt(1 - s * s);
        accelX = -dx / dist * pull;
        accelZ = -dz / dist * pull;
    }
    return entered;
}

void Ball::setCushionResponse(double normalAngle, int code) {
    const TableParams& p = *table->params;
    const double w = p[123];
    const bool cornerJaw = isCornerJawCode(code);
    const double nx = detmath::cos(normalAngle), nz = detmath::sin(normalAngle), tx = -nz, tz = nx;
    const double vn = vx * nx + vz * nz;
    double vt = vx * tx + vz * tz;
    contactNormalSpeed = vn;
    contactTangentSpeed = vt;
    double un = rollVx * nx + rollVz * nz;
    const double ut = rollVx * tx + rollVz * tz;
    const double S = spinY;

    // Incidence in degrees from the cushion line, and how grazing it is.
    const double A = detmath::atan2(std::abs(vn), std::abs(vt)) * 180 / kPi;
    double q = A <= 10 ? 1 : A <= 45 ? 1 - smoothstep(10, 45, A) : 0;
    const bool secondModel = p[14] <= 1;
    if (secondModel) {
        if (un > 0) un = un <= q * vn ? -un : un - 2 * vn * q;
    } else {
        q = 0;
    }

    // Loss of tangential speed.
    double k;
    const double s = vn / p[11];
    if (secondModel) {
        k = cornerJaw ? 1 : 1 - std::min(p[15], s >= p[14] ? (s - p[14]) * p[15] / (1 - p[14]) : 0);
    } else {
        double j = vt == 0 ? 0 : vt * S < 0 ? 1 : (std::abs(vt) - std::abs(S)) / std::abs(vt);
        k = j < 0 ? 1 : 1 - p[15] * detmath::pow(s, p[14]) * j;
    }
    vt *= k;
    vt -= sign(vt) * p[111] * std::min(std::abs(vn), std::abs(vt));

    // Friction between the spinning ball and the cushion.
    const double d = std::abs(S - vt), dir = vt < S ? 1 : -1;
    const double F = A < 45 ? (A / 45) * (A / 45) * (1 - p[18]) + p[18] : 1;
    const double I = S * vt < 0 ? p[16] * (p[19] * std::min(std::abs(vt), vn) + vn) : p[16] * vn;
    double spin2, vt2;
    if (d <= ((w + 1) / w) * I * F) {
        spin2 = S - (w / (w + 1)) * p[17] * dir * d;
        vt2 = vt + dir * d / (w + 1);
    } else {
        spin2 = S - p[17] * dir * I * F;
        vt2 = vt + dir * I * F / w;
    }

    if (un > 0) {
        un = std::max(0.0, un - p[20] * vn);
    } else if (un < 0) {
        un = std::min(0.0, un + vn * (1 - q) * p[21]);
    }

    double vn2 = -(1 - (p[23] + p[24] * detmath::pow(vn / p[11], p[22]))) * vn;
    if (table->version > 1) {
        // A cushion never gives energy back.
        const double before = vx * vx + vz * vz, after = vn2 * vn2 + vt2 * vt2;
        if (after > before) {
            const double scale = std::sqrt(before / after);
            vn2 *= scale;
            vt2 *= scale;
        }
    }
    const double K = cornerJaw ? p[124] : 1;
    nextVx = K * (vn2 * nx + vt2 * tx);
    nextVz = K * (vn2 * nz + vt2 * tz);
    nextRollVx = un * nx + ut * tx;
    nextRollVz = un * nz + ut * tz;
    nextSpinY = spin2;
    contactPending = true;
    for (double* v : {&nextVx, &nextVz, &nextRollVx, &nextRollVz, &nextSpinY}) fixNan(*v);
}
