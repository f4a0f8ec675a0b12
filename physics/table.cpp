#include "physics/table.h"
#include "physics/det_math.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/log.h"

namespace {

struct BallRow {
    const char* name;
    int value;
};

// By BallId; every red shares the last row.
constexpr BallRow kBallRows[] = {
    {"White", 0}, {"Ghost", 0}, {"Yellow", 2}, {"Green", 3},  {"Brown", 4},   {"Blue", 5},
    {"Pink", 6},  {"Black", 7}, {"Orange", 8}, {"Purple", 10}, {"Red", 1},
};

// The ball's own spot from the table's constants; (kNoSpot, kNoSpot) for the Ghost and reds.
void spotOf(const TableParams& p, int id, double& x, double& z) {
    double halfLength = 0.5 * p[36];
    x = kNoSpot, z = kNoSpot;
    switch (id) {
        case BALL_WHITE: x = halfLength - 1.1 * p[48], z = -4 * p[48]; break;
        case BALL_YELLOW: x = halfLength - p[77], z = -p[78]; break;
        case BALL_GREEN: x = halfLength - p[77], z = p[78]; break;
        case BALL_BROWN: x = halfLength - p[77], z = 0; break;
        case BALL_BLUE: x = 0, z = 0; break;
        case BALL_PINK: x = -halfLength + p[79], z = 0; break;
        case BALL_BLACK: x = -halfLength + p[80], z = 0; break;
        case BALL_ORANGE: x = 0.5 * (-halfLength + p[79]), z = 0; break;
        case BALL_PURPLE: x = 0.5 * (halfLength - p[77]), z = 0; break;
        default: break;
    }
}

}  // namespace

Table::Table() {
    status.concededBy = -1;
    status.matchConcededBy = -1;
    changeTableType(*this, 2, 1);
    createBalls();
    resetGameState();
    placeBallsOnSpots();
}

void Table::setTableType(int newVersion, int newTableType) {
    changeTableType(*this, newVersion, newTableType);
    visualSpinFactor = 0.5;
}

bool Table::checkBallId(int ballIndex, const char* function) {
    if (ballIndex >= 0 && ballIndex < kBallCount) return true;
    BZ_LOG(LOG_ERROR, function, "Invalid ball index: " << ballIndex);
    return false;
}

bool Table::checkPocket(int pocketNumber, const char* function) {
    if (pocketNumber >= 0 && pocketNumber < kPocketCount) return true;
    BZ_LOG(LOG_ERROR, function, "Invalid pocket number: " << pocketNumber);
    return false;
}

void Table::copySeatsToStatus() {
    // The players of a frame in play stay as the server's status gave them.
    if (status.gameState == 1) return;
    status.players[0] = seats[0];
    status.players[1] = seats[1];
}

bool Table::setPlayer(int seat, Player* player) {
    if (seat != 0 && seat != 1) return false;
    seats[seat] = player;
    if (status.gameState != 1) status.players[seat] = player;
    return true;
}

Player* Table::getPlayer(int seat) const {
    return (seat == 0 || seat == 1) ? seats[seat] : nullptr;
}

bool Table::addPlayer(Player* player) {
    if (!player) return false;
    if (seats[0] != player && seats[1] != player) {
        if (!seats[0]) {
            seats[0] = player;
        } else if (seats[1]) {
            return false;
        } else if (seats[0]->rank >= player->rank) {
            // The lower rank sits in seat 0; on equal ranks the newcomer does.
            seats[1] = seats[0];
            seats[0] = player;
        } else {
            seats[1] = player;
        }
    }
    copySeatsToStatus();
    return true;
}

Player* Table::getPerson(int index) const {
    if (index < 0 || index >= getPeopleCount()) return nullptr;
    return people[index];
}

bool Table::addPerson(Player* player) {
    if (getPeopleCount() >= kMaxPeople) return false;
    people.push_back(player);
    return true;
}

void Table::insertPerson(Player* player) {
    if (std::find(people.begin(), people.end(), player) != people.end()) return;
    if (player && (player->userType & 0x40))
        people.insert(people.begin(), player);
    else
        people.push_back(player);
}

void Table::removePerson(Player* player) {
    // An empty seat 0 holds null too: a null player must not pull seat 1 into it.
    if (player && seats[0] == player) {
        seats[0] = seats[1];
        seats[1] = nullptr;
        copySeatsToStatus();
    } else if (player && seats[1] == player) {
        seats[1] = nullptr;
        copySeatsToStatus();
    }
    auto it = std::find(people.begin(), people.end(), player);
    if (it != people.end()) people.erase(it);
}

std::vector<const Player*> Table::heldPlayers() const {
    std::vector<const Player*> held(people.begin(), people.end());
    held.insert(held.end(), {seats[0], seats[1], status.players[0], status.players[1]});
    return held;
}

void Table::createBalls() {
    for (int i = 0; i < kBallCount; ++i) {
        const BallRow& row = kBallRows[std::min(i, static_cast<int>(BALL_FIRST_RED))];
        double sx, sz;
        spotOf(*params, i, sx, sz);
        balls[i] = Ball(this, i, row.name, row.value, sx, sz);
    }
}

void Table::resetGameState() {
    LiveStatus& s = status;
    s.players[0] = s.players[1] = nullptr;
    s.striker = -1;
    s.startInfo = 0;
    s.playerOn = 0;
    s.playerOnFirst = 0;
    s.gameType = 1;
    s.bestOf = 3;
    s.maxShotTime = 90;
    s.maxShotTimeNow = 90;
    s.maxPointsBehind = 10;
    s.gameState = 0;
    s.frameWonBy = -1;
    s.matchWonBy = -1;
    for (int k = 0; k < 2; ++k) {
        s.framesWon[k] = 0;
        s.frameScore[k] = 0;
        s.negativePoints[k] = 999999;
        s.frameOverScore[k] = 0;
        s.bestBreakScore[k] = 0;
        s.rerackRequests[k] = s.abortRequests[k] = s.postponeRequests[k] = 0;
    }
    s.breakScore = 0;
    s.controllerResetFlag = false;
    for (int& v : s.controllerResetValues) v = 0;
    s.scoreForPocketedBalls = 0;
    s.penalty = 0;
    s.balls = balls;
    s.statusMarkers.clear();
    s.ballOn = 1;
    s.nominatedBall = 0;
    s.ballInHand = true;
    s.respottedBlack = false;
    s.ballOnFull = true;
    s.foul = false;
    s.freeBall = false;
    s.foulAndAMiss = false;
    s.missCount = 0;
    s.warningTwoMisses = false;
    s.frameAwardedThreeMisses = false;
    s.frameAwardedThreeTimeouts = false;
    s.concededBy = -1;
    s.matchConcededBy = -1;
    s.touchingBalls.clear();
    s.prevBallOn = 0;
    s.prevBallOnFull = 0;
    s.prevFreeBall = false;
    s.thirdList.clear();
    controllerFlag = 0;
    controllerCounter = 0;
    for (int i = 0; i < kBallCount; ++i) savedBalls[i] = balls[i];
}

int Table::countBallsInPocket(int pocketNumber, double heightLimit) const {
    if (!checkPocket(pocketNumber, "countBallsInPocket")) return 0;
    int n = 0;
    for (const Ball& b : balls)
        if (b.pocket == pocketNumber && b.y < heightLimit) ++n;
    return n;
}

void Table::takeBallFromPocket(int ballIndex) {
    if (!checkBallId(ballIndex, "takeBallFromPocket")) return;
    Ball& taken = balls[ballIndex];
    if (taken.pocket < 0) return;
    int pocketNumber = taken.pocket;
    taken.pocket = -1;
    double fx = taken.x, fy = taken.y, fz = taken.z;
    for (;;) {
        // The ball just above the free place moves down into it.
        Ball* next = nullptr;
        for (Ball& b : balls) {
            if (b.onTable || b.pocket != pocketNumber || !(fy < b.y && b.y < 0)) continue;
            if (!next || b.y < next->y) next = &b;
        }
        if (!next) break;
        std::swap(fx, next->x);
        std::swap(fy, next->y);
        std::swap(fz, next->z);
    }
}

void Table::limitBallsInPockets() {
    for (int p = 0; p < kPocketCount; ++p) {
        int n = countBallsInPocket(p, (*params)[48]);
        if (n <= 3) continue;
        for (int k = 0; k < n - 1; ++k) {
            Ball* deepest = nullptr;
            for (Ball& b : balls) {
                if (b.onTable || b.pocket != p || !(-99999.99999 < b.y && b.y < 0)) continue;
                if (!deepest || b.y < deepest->y) deepest = &b;
            }
            if (deepest) takeBallFromPocket(static_cast<int>(deepest - balls));
        }
    }
}

bool changeTableType(Table& table, int version, int tableType) {
    BZ_LOG(LOG_INFO, "changeTableType", "version=" << version << " tableType=" << tableType);
    TableParams* record = findTableParams(version, tableType);
    if (!record) {
        BZ_LOG(LOG_ERROR, "changeTableType", "Unsupported table version or type");
        return false;
    }
    table.params = record;
    table.version = version;
    table.tableType = tableType;
    setupCushionAndPocketArcs(table);
    BZ_LOG(LOG_INFO, "changeTableType", "setupCushionAndPocketArcs() done!");
    return true;
}

void setupCushionAndPocketArcs(Table& table) {
    const TableParams& p = *table.params;
    const double L = p[36], W = p[37], c = p[38];
    const double h = 0.008726646259971648;  // half a degree
    const double pi = std::numbers::pi, hp = pi / 2;
    const double xl = -L / 2 - c, xr = L / 2 + c, zn = -W / 2 - c, zp = W / 2 + c;
    table.pocketArcs = {{
        {xl - p[82], zn + p[81], p[83], -p[84], 0},
        {xl - p[86], zn + p[85], p[87], -p[88], h - p[84]},
        {xl + p[81], zn - p[82], p[83], hp, hp + p[84]},
        {xl + p[85], zn - p[86], p[87], hp + p[84] - h, hp + p[88]},
        {-p[90], zn - p[91], p[92], hp - p[93] - h, hp},
        {-p[94], zn - p[95], p[96], 0, hp - p[93]},
        {p[90], zn - p[91], p[92], hp, hp + p[93] + h},
        {p[94], zn - p[95], p[96], hp + p[93], pi},
        {xr - p[81], zn - p[82], p[83], hp - p[84], hp},
        {xr - p[85], zn - p[86], p[87], hp - p[88], hp - p[84] + h},
        {xr + p[82], zn + p[81], p[83], -pi, p[84] - pi},
        {xr + p[86], zn + p[85], p[87], p[84] - pi - h, p[88] - pi},
        {xr + p[82], zp - p[81], p[83], pi - p[84], pi},
        {xr + p[86], zp - p[85], p[87], pi - p[88], pi - p[84] + h},
        {xr - p[81], zp + p[82], p[83], -hp, p[84] - hp},
        {xr - p[85], zp + p[86], p[87], p[84] - hp - h, p[88] - hp},
        {p[90], zp + p[91], p[92], -hp - p[93] - h, -hp},
        {p[94], zp + p[95], p[96], -pi, -hp - p[93]},
        {-p[90], zp + p[91], p[92], -hp, p[93] - hp + h},
        {-p[94], zp + p[95], p[96], p[93] - hp, 0},
        {xl + p[81], zp + p[82], p[83], -hp - p[84], -hp},
        {xl + p[85], zp + p[86], p[87], -hp - p[88], -hp - p[84] + h},
        {xl - p[82], zp - p[81], p[83], 0, p[84]},
        {xl - p[86], zp - p[85], p[87], p[84] - h, p[88]},
    }};
    table.pocketCircles = {{
        {xl, zn, p[89]},
        {0, zn - p[99], p[98]},
        {xr, zn, p[89]},
        {xr, zp, p[89]},
        {0, zp + p[99], p[98]},
        {xl, zp, p[89]},
    }};
}

bool isInD(const Table& table, double x, double z) {
    const TableParams& p = *table.params;
    double b = 0.5 * p[36] - p[77];
    return x > b - 0.01 && detmath::hypot(x - b, z) < p[78] + 0.01;
}

bool isInD(const LiveStatus& liveStatus, double x, double z) {
    if (!liveStatus.balls || !liveStatus.balls[0].table) return false;
    return isInD(*liveStatus.balls[0].table, x, z);
}
