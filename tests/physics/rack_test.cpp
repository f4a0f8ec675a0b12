#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "physics/table.h"
#include "physics_test_util.h"

using namespace physics_test;

namespace {

double closestRedPair(const Ball* balls) {
    double best = 1e300;
    for (int i = BALL_FIRST_RED; i <= BALL_LAST_RED; ++i)
        for (int j = i + 1; j <= BALL_LAST_RED; ++j) best = std::min(best, balls[i].distanceTo(balls[j]));
    return best;
}

bool onBed(const Table& t, const Ball& b) {
    const TableParams& p = *t.params;
    return std::abs(b.x) <= 0.5 * p[36] - p[48] && std::abs(b.z) <= 0.5 * p[37] - p[48];
}

bool clearOf(const Ball& b, const Ball* others, int count) {
    for (int k = 0; k < count; ++k)
        if (others[k].onTable && others[k].id != b.id && b.distanceTo(others[k]) < 52.5) return false;
    return true;
}

}  // namespace

TEST(Rack, NewTableRacksATriangleBehindThePink) {
    for (long seed = 1; seed <= 25; ++seed) {
        srand48(seed);
        Table table;
        const Ball* b = table.balls;
        EXPECT_NEAR(b[10].x, -946.22, 0.2);
        EXPECT_NEAR(b[10].z, 0, 0.2);
        EXPECT_GT(closestRedPair(b), 52.5) << seed;
        EXPECT_GT(b[10].distanceTo(b[BALL_PINK]), 52.5);
        EXPECT_LE(b[20].x, b[21].x);
        EXPECT_LE(b[20].distanceTo(b[21]), 52.5 + 0.25 * 0.147);
        // Row 4 (the back row) lies four row spacings behind the apex.
        const double g = 52.5 + 0.147;
        for (int i = 20; i <= 24; ++i) {
            EXPECT_NEAR(b[i].x, -946.22 - 4 * 0.866025403784439 * g, 0.2);
            EXPECT_NEAR(b[i].z, 2 * g - (i - 20) * g, 0.2);
            EXPECT_TRUE(b[i].onTable);
        }
        EXPECT_FALSE(b[BALL_GHOST].onTable);
        EXPECT_FALSE(b[BALL_ORANGE].onTable);
        EXPECT_FALSE(b[BALL_PURPLE].onTable);
    }
}

TEST(Rack, SetupBallsGivesTheStartView) {
    for (long seed = 1; seed <= 25; ++seed) {
        srand48(seed);
        Table table;
        // A frame's leftovers: balls in pockets, moved, and a foul status.
        table.balls[BALL_BLACK].onTable = false;
        table.balls[BALL_BLACK].pocket = 0;
        table.balls[BALL_BLACK].y = -200;
        table.balls[BALL_WHITE].x = 0;
        table.balls[BALL_WHITE].vx = 50;
        table.balls[BALL_ORANGE].onTable = true;
        table.status.foul = true;
        table.status.touchingBalls = {3, 4};
        table.controllerCounter = 9;
        table.setupBalls(table.status);

        const Ball* b = table.balls;
        for (int i : {BALL_WHITE, BALL_YELLOW, BALL_GREEN, BALL_BROWN, BALL_BLUE, BALL_PINK, BALL_BLACK}) {
            EXPECT_TRUE(b[i].onTable) << i;
            EXPECT_EQ(b[i].x, b[i].spotX) << i;
            EXPECT_EQ(b[i].z, b[i].spotZ) << i;
            EXPECT_EQ(b[i].pocket, -1);
        }
        EXPECT_EQ(b[BALL_WHITE].x, 1755.625);
        EXPECT_EQ(b[BALL_WHITE].z, -105);
        for (int i : {BALL_GHOST, BALL_ORANGE, BALL_PURPLE}) EXPECT_FALSE(b[i].onTable);
        for (const Ball& ball : table.balls) {
            EXPECT_EQ(ball.y, 26.25);
            EXPECT_EQ(ball.vx, 0);
        }
        EXPECT_GT(closestRedPair(b), 52.5) << seed;
        EXPECT_LE(b[22].x, b[21].x);
        EXPECT_LE(b[22].x, b[23].x);
        EXPECT_EQ(table.status.nominatedBall, -1);
        EXPECT_EQ(table.status.ballOn, 1);
        EXPECT_TRUE(table.status.ballInHand);
        EXPECT_FALSE(table.status.foul);
        EXPECT_TRUE(table.status.touchingBalls.empty());
        EXPECT_TRUE(table.status.frameStartFlags[0] && table.status.frameStartFlags[1]);
        EXPECT_EQ(table.controllerCounter, 0);
    }
}

TEST(Placement, IsValidPosition) {
    Table table;
    clearTable(table);
    Ball& cue = placeBall(table, BALL_WHITE, 0, 0);
    double d = 0;
    EXPECT_TRUE(cue.isValidPosition(true, 0, 0, 0, &d));
    EXPECT_EQ(d, 0.5);
    placeBall(table, 12, 1050, 0);
    EXPECT_FALSE(cue.isValidPosition(true, 1000, 0, 0, &d));
    EXPECT_EQ(d, 50);
    EXPECT_TRUE(cue.isValidPosition(false, 1000, 0, 0));
    EXPECT_TRUE(table.balls[BALL_GHOST].isValidPosition(true, 1000, 0, 0));
    EXPECT_TRUE(cue.isValidPosition(true, 995, 0, 0));  // 55 mm away
    EXPECT_FALSE(cue.isValidPosition(true, 995, 0, 5));  // not with 5 mm to spare

    EXPECT_FALSE(cue.isValidPosition(false, 1784.5, 0, 0));  // on the baulk cushion line
    EXPECT_TRUE(cue.isValidPosition(false, 0, 880, 0));      // in the middle pocket mouth
    EXPECT_FALSE(cue.isValidPosition(false, 0, 900, 0));     // inside its capture circle
    EXPECT_FALSE(cue.isValidPosition(false, 100, 880, 0));   // on a middle jaw
    EXPECT_FALSE(cue.isValidPosition(false, 1832.13, 936.63, 0));  // corner pocket centre
}

TEST(Placement, IsInD) {
    Table table;
    EXPECT_TRUE(isInD(table.status, 1047.5, 0));
    EXPECT_FALSE(isInD(table.status, 1047.4, 0));
    EXPECT_TRUE(isInD(table.status, 1047.5, 292.005));
    EXPECT_FALSE(isInD(table.status, 1200, 300));
    EXPECT_TRUE(isInD(table, 1300, -100));
    LiveStatus detached;
    EXPECT_FALSE(isInD(detached, 1047.5, 0));
}

TEST(Respot, TakenSpotsFallBackInOrder) {
    Table table;
    clearTable(table);
    for (int i = BALL_YELLOW; i <= BALL_BLACK; ++i) placeBall(table, i, table.balls[i].spotX, table.balls[i].spotZ);
    // The Pink's spot is taken: it goes to the Black's spot when that is free.
    Ball& pink = table.balls[BALL_PINK];
    pink.onTable = false;
    placeBall(table, 10, pink.spotX, pink.spotZ);
    table.balls[BALL_BLACK].onTable = false;
    pink.respot(table.balls, kBallCount);
    EXPECT_TRUE(pink.onTable);
    EXPECT_EQ(pink.x, table.balls[BALL_BLACK].spotX);
    EXPECT_EQ(pink.z, 0);

    // The cue ball skips the colour spots and backs off along its line.
    placeBall(table, 11, 1755.625, -105);
    Ball& cue = table.balls[BALL_WHITE];
    cue.pocket = 3;
    cue.y = -150;
    cue.respot(table.balls, kBallCount);
    EXPECT_EQ(cue.x, 1755.625 - 52.5);
    EXPECT_EQ(cue.z, -105);
    EXPECT_EQ(cue.pocket, -1);
    EXPECT_EQ(cue.y, 26.25);
}

TEST(Respot, BlockedTowardsTheTopCushionGoesTowardsBaulk) {
    Table table;
    clearTable(table);
    for (int i = BALL_YELLOW; i <= BALL_PINK; ++i) placeBall(table, i, table.balls[i].spotX, table.balls[i].spotZ);
    const double spot = table.balls[BALL_BLACK].spotX;
    for (int k = 0; k < 6; ++k) placeBall(table, 10 + k, spot - k * 52.5, 0);
    Ball& black = table.balls[BALL_BLACK];
    black.respot(table.balls, kBallCount);
    EXPECT_EQ(black.x, spot + 52.5);
    EXPECT_TRUE(clearOf(black, table.balls, kBallCount));
}

TEST(Respot, AFullLineNeverPutsABallOffTheBed) {
    Table table;
    clearTable(table);
    const TableParams& p = *table.params;
    // More balls than a table holds, standing shoulder to shoulder along the centre line and
    // the Green's spot line.
    std::vector<Ball> crowd;
    for (double z : {0.0, 292.0}) {
        for (double x = -0.5 * p[36] + p[48]; x <= 0.5 * p[36]; x += 52.5) {
            crowd.emplace_back(&table, 100 + static_cast<int>(crowd.size()), "Block", 0, kNoSpot, kNoSpot);
            crowd.back().onTable = true;
            crowd.back().x = x;
            crowd.back().z = z;
        }
    }
    const int count = static_cast<int>(crowd.size());
    for (int id : {12, static_cast<int>(BALL_GREEN)}) {
        Ball& b = table.balls[id];
        b.respot(crowd.data(), count);
        EXPECT_TRUE(b.onTable);
        EXPECT_TRUE(onBed(table, b)) << id << " " << b.x << " " << b.z;
        EXPECT_TRUE(clearOf(b, crowd.data(), count)) << id;
    }
    // The Ghost has no spot of its own on the bed.
    Ball& ghost = table.balls[BALL_GHOST];
    ghost.respot(crowd.data(), count);
    EXPECT_TRUE(onBed(table, ghost));
}
