// Starting positions of the balls and the legality of a hand-placed ball.
#include <algorithm>
#include <cmath>

#include "core/log.h"
#include "physics/table.h"
#include "physics/det_math.h"

namespace {

// Reds kept off each other (and the first ones off the Pink and Black): the neighbours
// already placed in the rows before.
bool overlapsPlaced(const Ball* balls, int i, double limit) {
    int first = i <= 12 ? 6 : i - 5;
    for (int k = first; k < i; ++k)
        if (balls[i].distanceIfOnTable(balls[k]) <= limit) return true;
    return false;
}

}  // namespace

void Table::placeRack(Ball* set, double rowFactor, double jitterBound, double overlapLimit) {
    const TableParams& p = *params;
    const double g = p[47] + p[52];
    const double apexX = -0.5 * p[36] + p[79] - p[47] - p[51];
    int r = 0, c = 0;
    for (int i = BALL_FIRST_RED; i <= BALL_LAST_RED; ++i) {
        Ball& b = set[i];
        b.onTable = true;
        b.fallingInPocket = false;
        b.pocket = -1;
        b.pocketTime = 0;
        b.vx = b.vz = b.rollVx = b.rollVz = b.spinY = 0;
        do {
            double ja, jb;
            gaussianPair(ja, jb, jitterBound);
            b.x = apexX - rowFactor * r * g + 0.5 * p[52] * ja;
            b.z = 0.5 * r * g - c * g + 0.5 * p[52] * jb;
        } while (overlapsPlaced(set, i, overlapLimit));
        if (++c > r) {
            c = 0;
            ++r;
        }
    }
}

void Table::placeBallsOnSpots() {
    for (int i = 0; i < BALL_FIRST_RED; ++i) {
        Ball& b = balls[i];
        b.fallingInPocket = false;
        b.pocket = -1;
        b.pocketTime = 0;
        b.x = b.spotX;
        b.z = b.spotZ;
        b.vx = b.vz = b.rollVx = b.rollVz = b.spinY = 0;
        b.onTable = i != BALL_GHOST && i != BALL_ORANGE && i != BALL_PURPLE;
    }
    const TableParams& p = *params;
    // Drawn again until the back row starts square: red 20 no nearer the apex than red 21, and
    // the two nearly touching.
    do {
        placeRack(balls, 0.866025403784439, 2, p[47]);
    } while (balls[20].x > balls[21].x || balls[20].distanceTo(balls[21]) > p[47] + 0.25 * p[52]);
}

void Table::setupBalls(LiveStatus& liveStatus) {
    Ball* target = liveStatus.balls;
    if (!target) {
        BZ_LOG(LOG_ERROR, "setupBalls", "The status has no balls");
        return;
    }
    const TableParams& p = *params;
    for (int i = 0; i < kBallCount; ++i) {
        Ball& b = target[i];
        b.onTable = false;
        b.vx = b.vz = b.rollVx = b.rollVz = b.spinY = 0;
        b.y = p[48];
        b.pocket = -1;
    }
    for (int i : {BALL_BLACK, BALL_PINK, BALL_BLUE, BALL_BROWN, BALL_GREEN, BALL_YELLOW, BALL_WHITE})
        target[i].respot(target, kBallCount);

    placeRack(target, 0.86602540378, 3, p[103] / 10 + p[47]);
    for (int i = BALL_FIRST_RED; i <= BALL_LAST_RED; ++i) target[i].value = 1;

    // The middle of the back row no nearer the apex than its neighbours.
    double m = std::min(target[21].x, target[23].x);
    if (target[22].x > m) target[22].x = 2 * m - target[22].x;

    // Close the back row up towards its middle as far as the row in front allows.
    const int pairs[2][2] = {{21, 17}, {23, 18}};
    for (const auto& pair : pairs) {
        Ball& outer = target[pair[0]];
        const Ball& front = target[pair[1]];
        double z0 = outer.z;
        double gap = (outer.distanceTo(target[22]) - p[47]) * (z0 > 0 ? 1 : z0 < 0 ? -1 : 0);
        for (int n = 9; n >= 1; --n) {
            outer.z = z0 - (n / 10.0) * gap;
            if (outer.distanceTo(front) > p[47]) break;
            outer.z = z0;
        }
    }

    liveStatus.ballOn = 1;
    liveStatus.nominatedBall = -1;
    liveStatus.ballInHand = true;
    liveStatus.ballOnFull = true;
    liveStatus.foul = liveStatus.freeBall = liveStatus.foulAndAMiss = liveStatus.timeout = false;
    liveStatus.missCount = 0;
    liveStatus.timeoutCount = 0;
    liveStatus.warningTwoMisses = false;
    liveStatus.statusMarkers.clear();
    liveStatus.touchingBalls.clear();
    liveStatus.frameStartFlags[0] = liveStatus.frameStartFlags[1] = true;
    controllerFlag = 0;
    controllerCounter = 0;
}

bool Ball::isValidPosition(bool checkBalls, double px, double pz, double tolerance, double* distance) const {
    auto result = [distance](bool valid, double d) {
        if (distance) *distance = d;
        return valid;
    };
    if (!table) return result(false, 0);
    const TableParams& p = *table->params;
    if (checkBalls) {
        double d = 0;
        if (findTouchingBallAt(px, pz, table->balls, kBallCount, tolerance, &d) && id != BALL_GHOST)
            return result(false, d);
    }
    const double hx = std::abs(px), hz = std::abs(pz);
    const double L = 0.5 * p[36], W = 0.5 * p[37], R = p[48];
    if (hx < L - R && hz < W - R) return result(true, 0.5);
    if (hx < p[90] && hz < W + p[38]) {
        double t = detmath::hypot(hx - p[90], hz - (W + p[92]));
        if (t <= R + p[92]) return result(false, t);
        double u = detmath::hypot(hx, hz - (W + p[38] + p[99]));
        return result(u > p[98], u);
    }
    const double m = L + p[38] - p[81], l = p[38] + W - p[81];
    if (hx <= m) return result(false, 0.5);
    if (hz <= l) return result(false, W);
    double v = detmath::hypot(hx - m, hz - (W + p[83]));
    if (v <= R + p[83]) return result(false, v);
    double a = detmath::hypot(hx - (L + p[83]), hz - l);
    if (a <= R + p[83]) return result(false, a);
    double o = detmath::hypot(hx - (L + p[38]), hz - (W + p[38]));
    return result(o > p[89], o);
}
