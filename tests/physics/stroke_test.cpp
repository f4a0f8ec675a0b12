#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "physics/bzst.h"
#include "physics/shot_stepper.h"
#include "physics/stroke.h"
#include "physics/table.h"
#include "physics_test_util.h"

using namespace physics_test;

namespace {

constexpr double kDegree = 3.14159265358979323846 / 180;

// A centre-ball stroke without error; returns the final angle.
double centreStroke(Table& t, double angle, double elevation, double power) {
    return t.applyStroke(BALL_WHITE, true, nullptr, angle, 0, 0, elevation, power, 1);
}

// Cue ball and one red, nothing else.
void straightShot(Table& t) {
    clearTable(t);
    placeBall(t, BALL_WHITE, 1000, 0);
    placeBall(t, 10, 0, 0);
}

}  // namespace

TEST(Stroke, PowerCurve) {
    Table table;
    const double top = (*table.params)[11];
    EXPECT_DOUBLE_EQ(table.cueSpeedFromPower(360), 0.81 * top);  // 90 %: the knee
    EXPECT_DOUBLE_EQ(table.cueSpeedFromPower(400), 1.01 * top);
    EXPECT_EQ(table.cueSpeedFromPower(0), 0);
    EXPECT_DOUBLE_EQ(table.cueSpeedFromPower(200), 0.45 * top);
    table.setTableType(1, 1);
    EXPECT_DOUBLE_EQ(table.cueSpeedFromPower(400), (*table.params)[11]);
    EXPECT_DOUBLE_EQ(table.cueSpeedFromPower(360), 0.9 * (*table.params)[11]);
}

TEST(Stroke, TipOffsetSnapsToTheGrid) {
    double top = -1, side = -1;
    snapTipOffset(0, 0, top, side);
    EXPECT_EQ(top, 0);
    EXPECT_EQ(side, 0);
    snapTipOffset(3, -3.5, top, side);  // P = 4.6: still the centre
    EXPECT_EQ(top, 0);
    EXPECT_EQ(side, 0);

    // P = 100 lies on the outer ring, radius 100 with 120 sectors of 3 degrees.
    snapTipOffset(100 * std::sin(31 * kDegree), 100 * std::cos(31 * kDegree), top, side);
    EXPECT_NEAR(std::hypot(top, side), 100, 1e-9);
    EXPECT_NEAR(std::atan2(top, side) / kDegree, 30, 1e-9);
    snapTipOffset(100, 0, top, side);
    EXPECT_NEAR(top, 100, 1e-9);
    EXPECT_NEAR(side, 0, 1e-9);
    snapTipOffset(0, -100, top, side);
    EXPECT_NEAR(side, -100, 1e-9);

    // Ring 1 (radius 5): 8 sectors on a version-2 table, 16 on version 1, as each stroke sets it.
    Table table;
    straightShot(table);
    centreStroke(table, 0, 0, 100);
    EXPECT_EQ(tipGridSectorCounts[1], 8);
    snapTipOffset(5 * std::sin(30 * kDegree), 5 * std::cos(30 * kDegree), top, side);
    EXPECT_NEAR(std::atan2(top, side) / kDegree, 45, 1e-9);
    EXPECT_NEAR(std::hypot(top, side), 5, 1e-9);
    table.setTableType(1, 1);
    centreStroke(table, 0, 0, 100);
    EXPECT_EQ(tipGridSectorCounts[1], 16);
    snapTipOffset(5 * std::sin(30 * kDegree), 5 * std::cos(30 * kDegree), top, side);
    EXPECT_NEAR(std::atan2(top, side) / kDegree, 22.5, 1e-9);
}

TEST(Stroke, CentreHitMotionAndReset) {
    CapturedLog log;
    Table table;
    straightShot(table);
    setRolling(table.balls[10], 100, 50);  // left over from an earlier shot
    table.balls[BALL_WHITE].onTable = false;
    double out = -1;
    EXPECT_EQ(table.applyStroke(BALL_WHITE, true, &out, 90, 0, 0, 0, 360, 1), 90);
    EXPECT_EQ(out, 0);
    const Ball& cue = table.balls[BALL_WHITE];
    EXPECT_TRUE(cue.onTable);
    EXPECT_NEAR(cue.vx, 0, 1e-9);
    EXPECT_DOUBLE_EQ(cue.vz, 0.81 * (*table.params)[11]);
    EXPECT_EQ(cue.rollVx, 0);
    EXPECT_EQ(cue.spinY, 0);
    EXPECT_EQ(cue.throwFactor, 1);
    EXPECT_FALSE(table.balls[10].isMoving());
    EXPECT_EQ(table.airborneBall, BALL_WHITE);
    EXPECT_EQ(log.count("applyStroke: applyStroke(0, 90, 0, 0, 0, 360, 1)"), 1);
    EXPECT_EQ(log.count("applyStroke: withoutError=1: "), 1);
    EXPECT_EQ(log.count("applyStroke: Airborne time:0"), 1);
    EXPECT_EQ(log.count("applyStroke: applyStroke(...)=90"), 1);
}

TEST(Stroke, ReturnedAngleIsNormalised) {
    Table table;
    straightShot(table);
    EXPECT_EQ(centreStroke(table, 190, 0, 100), -170);
    EXPECT_EQ(centreStroke(table, -180, 0, 100), 180);
    EXPECT_EQ(centreStroke(table, 180, 0, 100), 180);
    EXPECT_EQ(centreStroke(table, 540, 0, 100), 180);
    EXPECT_EQ(centreStroke(table, -721, 0, 100), -1);
    // Far-out and non-finite angles end too.
    EXPECT_NEAR(centreStroke(table, 1e300, 0, 100), normalizeAngleDegrees(std::fmod(1e300, 360)), 1e-9);
    EXPECT_EQ(centreStroke(table, std::numeric_limits<double>::infinity(), 0, 100), 0);
}

TEST(Stroke, SpinAlongTheAimAndSideSpin) {
    Table table;
    const TableParams& p = *table.params;
    straightShot(table);
    const Ball& cue = table.balls[BALL_WHITE];
    // An off-centre hit is slower than a centre hit; top spin at full power gets the larger boost.
    centreStroke(table, 0, 0, 400);
    const double centreSpeed = cue.vx;
    table.applyStroke(BALL_WHITE, true, nullptr, 0, 100, 0, 0, 400, 1);
    EXPECT_LT(cue.vx, centreSpeed);
    EXPECT_NEAR(cue.rollVx / cue.vx, p[123] * 100 * p[119] * p[1] / 100, 1e-12);
    table.applyStroke(BALL_WHITE, true, nullptr, 0, 100, 0, 0, 100, 1);
    EXPECT_NEAR(cue.rollVx / cue.vx, p[123] * 100 * p[25] * p[1] / 100, 1e-12);
    table.applyStroke(BALL_WHITE, true, nullptr, 0, -100, 0, 0, 100, 1);
    EXPECT_NEAR(cue.rollVx / cue.vx, -p[123] * p[2], 1e-12);

    // Side spin turns into vertical spin; raised, part of it goes into the rolling velocity.
    table.applyStroke(BALL_WHITE, true, nullptr, 0, 0, -100, 0, 200, 1);
    EXPECT_LT(cue.spinY, 0);
    EXPECT_EQ(cue.throwFactor, 1);
    const double flatSpin = cue.spinY;
    table.applyStroke(BALL_WHITE, true, nullptr, 0, 0, -100, 30, 200, 1);
    EXPECT_NEAR(cue.spinY, flatSpin * std::cos(30 * kDegree), 1e-6);
    EXPECT_NEAR(cue.rollVz, flatSpin * std::sin(30 * kDegree), 1e-6);
}

TEST(Stroke, AirborneTime) {
    Table table;
    straightShot(table);
    centreStroke(table, 0, 10, 400);
    EXPECT_DOUBLE_EQ(table.airborneUntil, 0.4);
    centreStroke(table, 0, 5, 400);
    EXPECT_DOUBLE_EQ(table.airborneUntil, 0.2);
    centreStroke(table, 0, 40, 400);
    EXPECT_DOUBLE_EQ(table.airborneUntil, 0.4);
    centreStroke(table, 0, 0, 400);
    EXPECT_EQ(table.airborneUntil, 0);
    centreStroke(table, 0, 10, 140);  // 35 % of full power
    EXPECT_EQ(table.airborneUntil, 0);
    centreStroke(table, 0, 10, 300);
    EXPECT_GT(table.airborneUntil, 0);
    EXPECT_LT(table.airborneUntil, 0.4);
    table.setTableType(1, 2);
    centreStroke(table, 0, 10, 400);
    EXPECT_EQ(table.airborneUntil, 0);
}

TEST(Stroke, OutOfRangeInputsStayFinite) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int version : {1, 2}) {
        Table table;
        table.setTableType(version, 1);
        straightShot(table);
        // Above full power the stroke is that of full power.
        table.applyStroke(BALL_WHITE, true, nullptr, 0, 0, 80, 0, 400, 1);
        const double fullVx = table.balls[BALL_WHITE].vx, fullSpin = table.balls[BALL_WHITE].spinY;
        table.applyStroke(BALL_WHITE, true, nullptr, 0, 0, 80, 0, 1e6, 1);
        EXPECT_EQ(table.balls[BALL_WHITE].vx, fullVx);
        EXPECT_EQ(table.balls[BALL_WHITE].spinY, fullSpin);
        EXPECT_EQ(table.balls[BALL_WHITE].throwFactor, 1);
        table.applyStroke(BALL_WHITE, true, nullptr, 0, 0, 80, 0, -50, 1);
        EXPECT_EQ(table.balls[BALL_WHITE].vx, 0);
        table.applyStroke(BALL_WHITE, false, nullptr, nan, nan, nan, nan, nan, nan);
        const Ball& cue = table.balls[BALL_WHITE];
        for (double v : {cue.vx, cue.vz, cue.rollVx, cue.rollVz, cue.spinY, table.airborneUntil})
            EXPECT_TRUE(std::isfinite(v)) << version;
    }
    CapturedLog log;
    Table table;
    double out = -1;
    EXPECT_EQ(table.applyStroke(25, true, &out, 30, 0, 0, 0, 100, 1), 30);
    EXPECT_EQ(out, 0);
    EXPECT_EQ(log.count("ERROR: Invalid ball index: 25"), 1);
}

TEST(Stroke, AngleFolding) {
    // Just past 90 the difference flips to the far side and back: it must still end.
    EXPECT_NEAR(foldedAngleDifference(90 + 1e-9), 90, 1e-6);
    EXPECT_NEAR(foldedAngleDifference(-90 - 1e-9), 90, 1e-6);
    EXPECT_EQ(foldedAngleDifference(200), 160);
    EXPECT_EQ(foldedAngleDifference(-200), 160);
    EXPECT_EQ(foldedAngleDifference(270), 90);
    EXPECT_EQ(foldedAngleDifference(350), 10);
    EXPECT_EQ(foldedAngleDifference(-30), 30);
    EXPECT_NEAR(foldedAngleDifference(720.5), 0.5, 1e-9);
    EXPECT_TRUE(std::isfinite(foldedAngleDifference(1e300)));
    EXPECT_TRUE(std::isnan(foldedAngleDifference(std::numeric_limits<double>::infinity())));
    EXPECT_EQ(normalizeAngleDegrees(-180), 180);
    EXPECT_EQ(normalizeAngleDegrees(180), 180);
    EXPECT_EQ(normalizeAngleDegrees(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(FirstBallHit, StraightShot) {
    Table table;
    const TableParams& p = *table.params;
    straightShot(table);
    FirstBallHit h;
    ASSERT_EQ(table.predictFirstBallHit(BALL_WHITE, 180, 0, &h), 10);
    EXPECT_NEAR(h.ghostX, p[47], 1e-9);
    EXPECT_NEAR(h.ghostZ, 0, 1e-9);
    EXPECT_EQ(h.objectX, 0);
    EXPECT_EQ(h.objectZ, 0);
    EXPECT_EQ(h.cutError, 0);
    EXPECT_DOUBLE_EQ(h.baseError, p[28]);  // a clear cue, no elevation
    EXPECT_DOUBLE_EQ(h.totalError, h.baseError);
    // The object ball turns by about asin(947.5 sin(base) / 52.5).
    const double expected = std::asin(947.5 * std::sin(p[28] * kDegree) / p[47]) / kDegree;
    EXPECT_NEAR(h.objectDirectionError, expected, 0.01);
    EXPECT_GT(h.fineTolerance, 0);
    EXPECT_LE(h.fineTolerance, 1);

    // Elevation adds [30] e / [7]; without an out record the ball is still found.
    table.predictFirstBallHit(BALL_WHITE, 180, 7, &h);
    EXPECT_DOUBLE_EQ(h.baseError, p[28] + p[30] * 7 / p[7]);
    EXPECT_EQ(table.predictFirstBallHit(BALL_WHITE, 180, 0), 10);
}

TEST(FirstBallHit, NearestBallNoBallAndCuts) {
    Table table;
    const TableParams& p = *table.params;
    straightShot(table);
    placeBall(table, 11, -300, 0);  // behind the red on the same line
    FirstBallHit h;
    EXPECT_EQ(table.predictFirstBallHit(BALL_WHITE, 180, 0, &h), 10);
    EXPECT_EQ(table.predictFirstBallHit(BALL_WHITE, 0, 0, &h), -1);  // aiming away from both
    EXPECT_DOUBLE_EQ(h.totalError, p[28]);
    EXPECT_EQ(h.cutError, 0);
    EXPECT_EQ(h.fineTolerance, 0);

    // Thinner cuts carry more cut error; the ghost touches the object ball.
    double previous = -1;
    for (double angle : {179.9, 179.5, 179.0, 178.0}) {
        ASSERT_EQ(table.predictFirstBallHit(BALL_WHITE, angle, 0, &h), 10) << angle;
        EXPECT_GT(h.cutError, previous) << angle;
        EXPECT_NEAR(std::hypot(h.ghostX - h.objectX, h.ghostZ - h.objectZ), p[47], 1e-9);
        EXPECT_NEAR(h.totalError, h.baseError + h.cutError, 1e-15);
        previous = h.cutError;
    }

    // A cramped cue raises the base error by [29] times the blocked share.
    placeBall(table, 12, 1060, 0);
    table.predictFirstBallHit(BALL_WHITE, 180, 0, &h);
    EXPECT_DOUBLE_EQ(h.baseError, p[28] + p[29]);
}

TEST(FirstBallHit, AimErrorNeverChangesTheFirstBall) {
    srand48(7);
    Table table;
    clearTable(table);
    placeBall(table, BALL_WHITE, 1000, 0);
    placeBall(table, 10, 0, 0);
    placeBall(table, 11, 0, 53);
    // Aims along the border between the two reds, and one just past the outer edge of red 11.
    const double border = std::atan2(26.5, -1000) / 3.14159265358979323846 * 180;
    const double edge = std::atan2(53 + 52.5, -1000) / 3.14159265358979323846 * 180;
    for (double aim : {border - 0.01, border + 0.01, edge - 0.02, edge + 0.02}) {
        const int first = table.predictFirstBallHit(BALL_WHITE, aim, 0);
        bool moved = false;
        for (int k = 0; k < 200; ++k) {
            double out = -1;
            const double finalAngle = table.applyStroke(BALL_WHITE, false, &out, aim, 0, 30, 0, 200, 3);
            ASSERT_EQ(table.predictFirstBallHit(BALL_WHITE, finalAngle, 0), first) << aim << " " << finalAngle;
            EXPECT_GE(out, 0);
            moved = moved || finalAngle != aim;
        }
        EXPECT_TRUE(moved) << aim;
    }
}

TEST(Stroke, BreakOffToRestGivesTheSameTextTwice) {
    auto run = [] {
        srand48(20240611);
        Table table;
        table.setupBalls(table.status);
        const Ball& cue = placeBall(table, BALL_WHITE, 1000, 200);
        const Ball& target = table.balls[16];
        const double angle = std::atan2(target.z - cue.z, target.x - cue.x) / kDegree;
        table.applyStroke(BALL_WHITE, true, nullptr, angle, 20, -30, 5, 400, 1);
        table.takeBallFromPocket(BALL_WHITE);
        ShotStepper stepper(table);
        EXPECT_TRUE(runShot(stepper).cameToRest);
        return writeBzstString(table, angle, 400, 20, -30, 5);
    };
    const std::string first = run();
    EXPECT_EQ(first, run());
    EXPECT_EQ(first.rfind("v 1 t 2 c b 0 0 ", 0), 0u);
}
