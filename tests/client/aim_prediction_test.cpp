// The aiming aids on hand-placed balls: first ball hit, ghost ball, object-ball direction, the error
// margins, the elevation rise, drag aiming and the pointer-to-table services.
#include "client/gamehandler/game_handler.h"
#include "physics/physics_test_util.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using physics_test::clearTable;
using physics_test::placeBall;

constexpr double kPi = 3.14159265358979323846;

class AimPredictionTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearTable(gh.table);
        placeBall(gh.table, BALL_WHITE, 0, 0);
        gh.aim = AimParameters{0, 160, 80, 0, 0};
        gh.aimBallIndex = 0;
    }
    double p(int n) const { return (*gh.table.params)[n]; }

    physics_test::CapturedLog log;
    GameHandler gh;
};

TEST_F(AimPredictionTest, StraightAndCutShotsGiveGhostDirectionAndMargins) {
    struct Row {
        const char* what;
        double targetX, targetZ;  // the red's centre; the cue ball stands at the origin, aim along +x
        double ghostX, direction, cut;
        bool deflects;
        double deflection;  // the cue ball's path from the contact: the tangent on its own side
    };
    const double c30 = 52.5 * std::cos(30 * kPi / 180), s30 = 52.5 * std::sin(30 * kPi / 180);
    const Row rows[] = {
        {"full ball", 500, 0, 447.5, 0, 0, false, 0},
        {"30 degree cut to +z", 400 + c30, s30, 400, 30, 30, true, -60},
        {"30 degree cut to -z", 400 + c30, -s30, 400, -30, 30, true, 60},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        placeBall(gh.table, 10, r.targetX, r.targetZ);
        gh.updateAim(0);
        ASSERT_EQ(gh.firstHitBall, 10);
        EXPECT_NEAR(gh.ghostBallX, r.ghostX, 1e-9);
        EXPECT_NEAR(gh.ghostBallZ, 0, 1e-9);
        EXPECT_NEAR(gh.objectBallDirection, r.direction, 1e-9);
        EXPECT_EQ(gh.cueBallDeflects, r.deflects);
        if (r.deflects) {
            EXPECT_NEAR(gh.cueBallDeflection, r.deflection, 1e-9);
        }
        EXPECT_NEAR(gh.cueTravelDistance, r.ghostX, 1e-9);
        EXPECT_DOUBLE_EQ(gh.targetBallX, r.targetX);
        // Cut error: the distance factor between [31] and [32] times the share of [33].
        const double d = r.ghostX;
        const double f = p(31) + (p(32) - p(31)) * (1 - d / 1784.5);
        EXPECT_NEAR(gh.cutError, f * r.cut / p(33), 1e-12);
        const double blocked = gh.table.cueBlockedFraction(0, 0);
        EXPECT_NEAR(gh.aimBaseError, p(28) + p(29) * blocked, 1e-12);
        EXPECT_NEAR(gh.aimError, gh.aimBaseError + gh.cutError, 1e-12);
        EXPECT_GT(gh.objectBallError, 0);
        EXPECT_LE(gh.objectBallError, p(35));
    }
}

TEST_F(AimPredictionTest, ElevationWidensTheBaseErrorAndMarginsOffClearThem) {
    placeBall(gh.table, 10, 500, 0);
    gh.aim.elevation = 35;
    gh.updateAim(0);
    const double blocked = gh.table.cueBlockedFraction(0, 0);
    EXPECT_NEAR(gh.aimBaseError, p(28) + p(29) * blocked + p(30) * 0.5, 1e-12);

    gh.gameSettings.errorMargins = 0;
    gh.updateAim(0);
    EXPECT_EQ(gh.firstHitBall, 10);
    EXPECT_EQ(gh.aimError, 0);
    EXPECT_EQ(gh.objectBallError, 0);
}

TEST_F(AimPredictionTest, NoBallInTheLineIsNoHitWithTheBaseErrorOnly) {
    placeBall(gh.table, 10, 500, 300);
    gh.updateAim(0);
    EXPECT_EQ(gh.firstHitBall, -1);
    EXPECT_EQ(gh.cutError, 0);
    EXPECT_EQ(gh.aimError, gh.aimBaseError);
}

TEST_F(AimPredictionTest, NearestBallWinsAndTheGhostAndTheAimBallAreNeverTargets) {
    placeBall(gh.table, 12, 900, 0);
    placeBall(gh.table, 11, 600, 10);
    placeBall(gh.table, BALL_GHOST, 300, 0);
    gh.updateAim(0);
    EXPECT_EQ(gh.firstHitBall, 11);
    // With another aiming ball no ball is considered at all.
    gh.updateAim(12);
    EXPECT_EQ(gh.firstHitBall, -1);
}

TEST_F(AimPredictionTest, GhostOutsideTheBedIsSkipped) {
    // Aimed slightly off the side cushion: the red near it would be met beyond the cushion line.
    placeBall(gh.table, BALL_WHITE, 0, 850);
    placeBall(gh.table, 10, 600, 850);
    gh.aim.aimAngle = 3;
    gh.updateAim(0);
    EXPECT_EQ(gh.firstHitBall, -1);
    // Aimed along the cushion the same red is a full-ball hit.
    gh.aim.aimAngle = 0;
    gh.updateAim(0);
    EXPECT_EQ(gh.firstHitBall, 10);
}

TEST_F(AimPredictionTest, TouchingBallAheadIsStruckAlongTheLineOfCentres) {
    // The red touches the cue ball at 60 degrees; the aim at 40 degrees points towards it.
    const double a = 60 * kPi / 180;
    placeBall(gh.table, 10, 52.5 * std::cos(a), 52.5 * std::sin(a));
    gh.liveStatus->touchingBalls = {10};
    gh.aim.aimAngle = 40;
    gh.updateAim(0);
    ASSERT_EQ(gh.firstHitBall, 10);
    EXPECT_NEAR(gh.objectBallDirection, 60, 1e-6);
    EXPECT_NEAR(gh.ghostBallX, 0, 1e-6);
    EXPECT_NEAR(gh.ghostBallZ, 0, 1e-6);
    EXPECT_EQ(gh.aim.aimAngle, 40);  // the aim itself is kept
    EXPECT_FALSE(gh.cueBallDeflects);  // struck along the line of centres: a full hit, whatever the aim

    // Aimed away from it, the touching ball does not bend the line.
    gh.aim.aimAngle = -120;
    gh.updateAim(0);
    EXPECT_EQ(gh.firstHitBall, -1);
    EXPECT_FALSE(gh.cueBallDeflects);
}

TEST_F(AimPredictionTest, AimBallOutsideTheTableIsRefused) {
    placeBall(gh.table, 10, 500, 0);
    gh.firstHitBall = 77;
    gh.elevationRise = 3.5;
    for (int bad : {-2, -1, 25, 1000}) {
        gh.updateAim(bad);
        EXPECT_EQ(gh.firstHitBall, 77) << bad;
    }
    gh.aimBallIndex = -2;
    gh.findElevationThreshold();
    EXPECT_EQ(gh.elevationRise, 3.5);
    gh.remoteAimBall = -1;
    gh.updateRemoteAim();
    EXPECT_EQ(gh.aimBallIndex, -2);
    EXPECT_EQ(log.count("Invalid aim ball"), 6u);
}

TEST_F(AimPredictionTest, ElevationRiseIsMeasuredFromOneDegree) {
    // Nothing behind the cue ball: it clears at 1 degree, one above the flat cue.
    gh.aim.elevation = 0;
    gh.findElevationThreshold();
    EXPECT_EQ(gh.elevationRise, 1);
    gh.aim.elevation = 12;
    gh.findElevationThreshold();
    EXPECT_EQ(gh.elevationRise, 0);
    // A ball right behind the cue ball: the cue must rise, by at most 7.
    placeBall(gh.table, 10, -60, 0);
    gh.aim.elevation = 0;
    gh.findElevationThreshold();
    EXPECT_GT(gh.elevationRise, 1);
    EXPECT_LE(gh.elevationRise, 7);
}

TEST_F(AimPredictionTest, RemoteAimIsPredictedWithoutTouchingTheOwnAim) {
    placeBall(gh.table, 10, 0, 500);
    gh.aim = AimParameters{0, 200, 10, 20, 5};
    gh.elevationRise = 2;
    gh.remoteAim = AimParameters{90, 100, 0, 0, 20};
    gh.remoteAimBall = 0;
    gh.updateRemoteAim();
    EXPECT_EQ(gh.firstHitBall, 10);
    EXPECT_EQ(gh.aim, (AimParameters{0, 200, 10, 20, 5}));
    EXPECT_EQ(gh.elevationRise, 2);
}

TEST_F(AimPredictionTest, DragThresholdsAndPowerMapping) {
    struct Row {
        const char* what;
        int aimingMode, reverse, started;
        double dx, dz;
        double power, angle;  // expected; power 0: the aim stays as it was
    };
    const Row rows[] = {
        {"below the first-move threshold (6)", 0, 0, 0, 5, 0, 0, 0},
        {"first move over 6 gives 160", 0, 0, 0, 7, 0, 160, 90},
        {"first move over 3 with the fine mode gives 80", 1, 0, 0, 4, 0, 80, 90},
        {"a short started drag keeps 120", 0, 0, 1, 0, 100, 120, 180},
        {"a long drag: 2500 counts is full power", 0, 0, 1, 0, -2500, 400, 0},
        {"half way", 0, 0, 1, 1250, 0, 200, 90},
        {"reverse aiming points the other way", 0, 1, 1, 1250, 0, 200, -90},
        {"a drag not yet started inside the dead zone", 1, 0, 0, 2, 2, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        gh.gameSettings.aimingMode = r.aimingMode;
        gh.gameSettings.reverseAiming = r.reverse;
        gh.dragStarted = r.started;
        gh.dragX = r.dx;
        gh.dragZ = r.dz;
        gh.viewAzimuth = 0;
        gh.aim.aimAngle = 0;
        gh.aim.power = 0;
        gh.aimFromDrag();
        EXPECT_EQ(gh.aim.power, r.power);
        EXPECT_NEAR(gh.aim.aimAngle, r.angle, 1e-9);
    }
}

TEST_F(AimPredictionTest, PullingTheMouseBackAimsAwayFromItInEveryView) {
    // Overhead (azimuth 90): screen up is -z, so pulling down aims at -90. The overview looks
    // along +x (azimuth 180): pulling down aims along +x, angle 0.
    const struct {
        float azimuth;
        double angle;
    } views[] = {{90, -90}, {180, 0}};
    for (const auto& v : views) {
        gh.viewAzimuth = v.azimuth;
        gh.dragStarted = 1;
        gh.dragX = 0;
        gh.dragZ = 1000;
        gh.aimFromDrag();
        EXPECT_NEAR(gh.aim.aimAngle, v.angle, 1e-9) << v.azimuth;
    }
}

TEST_F(AimPredictionTest, ForcedPowerOfTheArezors) {
    gh.arezors = "0100";
    EXPECT_EQ(gh.setShotPower(300), 0.2 * 400);
    gh.arezors = "0010";
    EXPECT_EQ(gh.setShotPower(300), 0.5 * 400);
    gh.arezors = "0001";
    EXPECT_EQ(gh.setShotPower(300), 400);
    gh.ownUserType = 0x40;  // no Arezor counts
    EXPECT_EQ(gh.setShotPower(300), 300);
}

TEST_F(AimPredictionTest, PointerFindsTheBedPointAndTheBallUnderIt) {
    // Looking straight down on the table centre through a perspective projection.
    gh.windowHeight = 600;
    gh.viewport[2] = 1000;
    gh.viewport[3] = 600;
    gh.lookAtEye[1] = 4000;
    gh.lookAtEye[0] = 0.001;
    gh.lookAtUp[0] = -1;
    gh.fieldOfViewY = 0.7f;
    gh.applyLookAt();
    gh.buildPerspectiveProjection();
    double x = 0, z = 0;
    gh.screenToTable(500, 300, x, z);
    EXPECT_NEAR(x, 0, 5);
    EXPECT_NEAR(z, 0, 5);

    placeBall(gh.table, 10, 0, 0);
    placeBall(gh.table, BALL_WHITE, 300, 0);
    double tx = 0, tz = 0, grab = 123;
    EXPECT_EQ(gh.pickBall(500, 299, &tx, &tz, &grab), 10);
    EXPECT_EQ(grab, 123);  // nearer than 21 to the centre: left alone
    EXPECT_EQ(gh.pickBall(2, 2), -1);
}

TEST_F(AimPredictionTest, PointerPicksTheBallDrawnUnderItInTheOrthographicOverheadView) {
    // The start view: orthographic, screen right is +x and screen up is -z.
    gh.setViewport(1000, 600, 1000, 600, 0, 0);
    gh.setOverheadCamera();
    ASSERT_FALSE(gh.perspectiveProjection);
    placeBall(gh.table, BALL_WHITE, 1200, 300);
    placeBall(gh.table, 10, -1200, -300);
    float view[16];
    gh.viewMatrix(view);
    // Where the renderer draws a ball centre on the bed (w is 1 in an orthographic projection).
    auto pixelOf = [&](const Ball& b, int& wx, int& wy) {
        const double ex = view[0] * b.x + view[8] * b.z + view[12], ey = view[1] * b.x + view[9] * b.z + view[13];
        const double nx = gh.projection[0] * ex + gh.projection[12], ny = gh.projection[5] * ey + gh.projection[13];
        wx = static_cast<int>(std::lround((nx + 1) / 2 * 1000));
        wy = 600 - 1 - static_cast<int>(std::lround((ny + 1) / 2 * 600));
    };
    int wx = 0, wy = 0;
    pixelOf(gh.table.balls[BALL_WHITE], wx, wy);
    EXPECT_GT(wx, 500);  // +x is to the right
    EXPECT_GT(wy, 300);  // +z is down the screen
    EXPECT_EQ(gh.pickBall(wx, wy), BALL_WHITE);
    pixelOf(gh.table.balls[10], wx, wy);
    EXPECT_EQ(gh.pickBall(wx, wy), 10);
}

}  // namespace
