#include <gtest/gtest.h>

#include "physics/table.h"
#include "physics_test_util.h"

using namespace physics_test;

namespace {

bool clear(const Table& t, double angle, double elevation, double topSpin, double* distance = nullptr) {
    return t.balls[BALL_WHITE].traceAimLine(t.balls, kBallCount, angle, elevation, topSpin, 0, distance);
}

}  // namespace

TEST(CueClearance, BallBehindTheCueBlocksByDistance) {
    Table table;
    clearTable(table);
    placeBall(table, BALL_WHITE, 0, 0);
    EXPECT_EQ(table.cueBlockedFraction(BALL_WHITE, 0), 0);  // alone, far from the rails

    // Aiming along +x the cue lies towards -x: a ball close behind blocks every offset...
    placeBall(table, 10, -60, 0);
    EXPECT_EQ(table.cueBlockedFraction(BALL_WHITE, 0), 1);
    double distance = -1;
    EXPECT_FALSE(clear(table, 0, 7, 0, &distance));
    EXPECT_LE(distance, 5 + 26.25);
    // ...one farther back only the low offsets, whose cone still reaches it under the rise.
    placeBall(table, 10, -200, 0);
    double partly = table.cueBlockedFraction(BALL_WHITE, 0);
    EXPECT_GT(partly, 0);
    EXPECT_LT(partly, 1);
    EXPECT_FALSE(clear(table, 0, 7, -100));
    EXPECT_TRUE(clear(table, 0, 7, 100));
    // Past the cue's butt, or in front of the cue ball, it never blocks.
    placeBall(table, 10, -1500, 0);
    EXPECT_EQ(table.cueBlockedFraction(BALL_WHITE, 0), 0);
    placeBall(table, 10, 60, 0);
    EXPECT_EQ(table.cueBlockedFraction(BALL_WHITE, 0), 0);
    // A ball off the table is no obstacle.
    placeBall(table, 10, -60, 0).onTable = false;
    EXPECT_EQ(table.cueBlockedFraction(BALL_WHITE, 0), 0);
}

TEST(CueClearance, RailsBehindTheCue) {
    Table table;
    clearTable(table);
    const TableParams& p = *table.params;
    // Frozen to the +z cushion and aiming away from it: the cue must rise over the rail.
    placeBall(table, BALL_WHITE, 0, 0.5 * p[37] - p[48] - 1);
    EXPECT_FALSE(clear(table, -90, 7, -100));
    EXPECT_TRUE(clear(table, -90, 7, 100));
    double side = table.cueBlockedFraction(BALL_WHITE, -90);
    EXPECT_GT(side, 0);
    EXPECT_LT(side, 1);
    // Aiming towards that cushion puts the cue over the open bed.
    EXPECT_EQ(table.cueBlockedFraction(BALL_WHITE, 90), 0);

    // A cue pointing down runs into the end rail behind it, unless the rail lies beyond its length.
    placeBall(table, BALL_WHITE, -0.5 * p[36] + 1400, 0);
    EXPECT_FALSE(clear(table, 0, -5, 0));
    placeBall(table, BALL_WHITE, -0.5 * p[36] + 1550, 0);
    EXPECT_TRUE(clear(table, 0, -5, 0));

    // Along the end cushion the cue is parallel to it: no end rail is tested.
    placeBall(table, BALL_WHITE, -0.5 * p[36] + 30, -0.5 * p[37] + 1500);
    EXPECT_TRUE(clear(table, 90, -5, 0));
    EXPECT_FALSE(clear(table, 80, -5, 0));
}
