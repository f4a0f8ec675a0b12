// The camera maths without GL: the default camera, the presets, the fields of view, the projections,
// the view parameters, the start view and the cue's stroke.
#include "client/gamehandler/game_handler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr double kDeg = std::numbers::pi / 180;

class ViewServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        gh.arezors = "0000000";
        gh.inOverview = gh.in3DView = false;
        gh.mouseCaptured = false;
        gh.gameSettings.scalingMode = 0;
        gh.fieldOfViewDegrees = 40;
        gh.cameraPreset = GameHandler::PRESET_OVERHEAD;
    }
    GameHandler& gh = getGameHandler();
};

TEST_F(ViewServicesTest, DefaultCameraFitsTheTableLookingStraightDown) {
    gh.setViewport(1024, 647, 1024, 647, 0, 280);
    EXPECT_EQ(gh.viewport[1], 280);
    EXPECT_EQ(gh.viewport[3], 367);
    gh.setOverheadCamera();
    const double w = 1024, h = 367, s = 3809 / (w - 32);
    const double fovY = 2 * std::atan(h / w * std::tan(20 * kDeg));
    EXPECT_NEAR(gh.fieldOfViewY, fovY, 1e-6);
    EXPECT_NEAR(gh.fieldOfViewX, 0.6981317, 1e-7);
    EXPECT_NEAR(gh.lookAtEye[0], 16 * s, 1e-9);
    EXPECT_NEAR(gh.lookAtEye[1], std::max(w / 2 * s / std::tan(20 * kDeg), 1009 / std::tan(fovY / 2)) + 37, 1e-3);
    EXPECT_EQ(gh.lookAtTarget[1], 45);
    EXPECT_FLOAT_EQ(gh.camera.front[1], -1);
    EXPECT_FLOAT_EQ(gh.viewAzimuth, 90);
    EXPECT_FALSE(gh.perspectiveProjection);
    // The orthographic entries at the height above the rail top.
    const double d = gh.lookAtEye[1] - 37;
    EXPECT_NEAR(gh.projection[0], 2 / (2 * d * std::tan(gh.fieldOfViewX / 2.0)), 1e-9);
    EXPECT_NEAR(gh.projection[5], 2 / (2 * d * std::tan(gh.fieldOfViewY / 2.0)), 1e-9);
    EXPECT_FLOAT_EQ(gh.projection[10], -0.0001f);
    EXPECT_FLOAT_EQ(gh.projection[14], -1);
    EXPECT_FLOAT_EQ(gh.projection[15], 1);
    EXPECT_EQ(gh.projection[12], 0);
}

TEST_F(ViewServicesTest, ASquareViewportTakesThePortraitBranch) {
    gh.setViewport(600, 600, 600, 600, 0, 0);
    gh.setOverheadCamera();
    EXPECT_NEAR(gh.fieldOfViewY, 40 * kDeg, 1e-6);
    EXPECT_NEAR(gh.fieldOfViewX, 40 * kDeg, 1e-6);
    const double s = 3809.0 / 568;
    EXPECT_NEAR(gh.lookAtEye[1], std::max(300 * s / std::tan(20 * kDeg), 2772.204716229714) + 37, 1e-3);
}

TEST_F(ViewServicesTest, PresetsSetHeightUpAndYawAndStopTheEndViewsAtTheTableEnds) {
    struct Case {
        int h;
        unsigned preset;
        bool widthFit;
        double centreX;  // below -9000: the end clamp h / 2 dz -+ 1904.5
    };
    const Case cases[] = {{367, 2, false, -1269.6666666666667}, {367, 3, false, 0}, {367, 4, false, 1269.6666666666667},
                          {800, 2, true, -10000},                {800, 3, true, 0},  {800, 4, true, 10000}};
    for (const Case& c : cases) {
        gh.setViewport(1024, c.h, 1024, c.h, 0, 0);
        const double w = 1024, dz = 2018 / (w - 32);
        const double tx = std::tan(gh.fieldOfViewX / 2.0), ty = std::tan(gh.fieldOfViewY / 2.0);
        const double b = w / 2 * dz / tx, fit = 634.8333333333334 / ty;
        ASSERT_EQ(b > fit, c.widthFit) << c.h;
        double centre = c.centreX;
        if (c.centreX < -9000) centre = c.h / 2.0 * dz - 1904.5;
        if (c.centreX > 9000) centre = 1904.5 - c.h / 2.0 * dz;
        gh.setCameraPreset(c.preset);
        EXPECT_NEAR(gh.lookAtEye[0], centre, 1e-3) << c.h << " " << c.preset;
        EXPECT_NEAR(gh.lookAtEye[2], 16 * dz, 1e-9);
        EXPECT_NEAR(gh.lookAtEye[1], std::max(b, fit) + 37, 1e-6);
        EXPECT_EQ(gh.lookAtUp[0], 1);
        EXPECT_FLOAT_EQ(gh.viewAzimuth, 180);
    }
    gh.setCameraPreset(1);
    EXPECT_LT(gh.lookAtEye[0], 0);
    EXPECT_EQ(gh.lookAtUp[2], 1);
    EXPECT_FLOAT_EQ(gh.viewAzimuth, -90);
    // Arezor 6 turns every request into the reversed overhead view.
    gh.arezors = "0000001";
    gh.setCameraPreset(3);
    EXPECT_EQ(gh.cameraPreset, 1);
    EXPECT_FLOAT_EQ(gh.viewAzimuth, -90);
}

TEST_F(ViewServicesTest, APresetTurnsADragInProgressWithTheCamera) {
    gh.setViewport(1024, 647, 1024, 647, 0, 280);
    gh.setCameraPreset(0);
    gh.mouseCaptured = true;
    gh.dragX = 1;
    gh.dragZ = 0;
    gh.setCameraPreset(3);  // yaw 90 -> 180: turned by -90 degrees
    EXPECT_NEAR(gh.dragX, 0, 1e-6);
    EXPECT_NEAR(gh.dragZ, -1, 1e-6);
}

TEST_F(ViewServicesTest, FieldOfViewBranchesAndTheHudFlag) {
    gh.hudColumnDirty = false;
    gh.inOverview = true;
    gh.updateFieldOfView(1000, 500);
    EXPECT_FLOAT_EQ(gh.fieldOfViewY, 0.16648696f);
    EXPECT_NEAR(gh.fieldOfViewX, 2 * std::atan(2 * 0.0834362942063575), 1e-6);
    EXPECT_TRUE(gh.hudColumnDirty);
    gh.inOverview = false;
    gh.in3DView = true;
    gh.fieldOfViewDegrees = 60;
    gh.updateFieldOfView(500, 1000);  // portrait: the vertical angle is the configured one
    EXPECT_NEAR(gh.fieldOfViewY, 60 * kDeg, 1e-6);
    EXPECT_NEAR(gh.fieldOfViewX, 2 * std::atan(0.5 * std::tan(30 * kDeg)), 1e-6);
    gh.updateFieldOfView(1000, 500);
    EXPECT_NEAR(gh.fieldOfViewX, 60 * kDeg, 1e-6);
    EXPECT_NEAR(gh.fieldOfViewY, 2 * std::atan(std::tan(30 * kDeg) * 0.5), 1e-6);
}

TEST_F(ViewServicesTest, PerspectiveEntriesAndViewParameters) {
    gh.setViewport(800, 400, 800, 400, 0, 0);
    gh.fieldOfViewY = static_cast<float>(30 * kDeg);
    gh.buildPerspectiveProjection();
    const double t = std::tan(15 * kDeg);
    EXPECT_NEAR(gh.projection[0], 1 / (2 * t), 1e-5);
    EXPECT_NEAR(gh.projection[5], 1 / t, 1e-5);
    EXPECT_FLOAT_EQ(gh.projection[10], -1.0010005f);
    EXPECT_FLOAT_EQ(gh.projection[11], -1);
    EXPECT_FLOAT_EQ(gh.projection[14], -20.010006f);
    EXPECT_EQ(gh.projection[15], 0);
    EXPECT_TRUE(gh.perspectiveProjection);

    const double eye[3] = {100, 300, 100}, target[3] = {100, 0, -300};
    std::copy(eye, eye + 3, gh.lookAtEye);
    std::copy(target, target + 3, gh.lookAtTarget);
    gh.updateViewParameters();
    EXPECT_FLOAT_EQ(gh.viewAzimuth, 90);
    EXPECT_NEAR(gh.viewElevation, std::asin(0.6) / kDeg, 1e-4);
    // Eye on the target: no NaN from the quotient.
    std::copy(target, target + 3, gh.lookAtEye);
    gh.updateViewParameters();
    EXPECT_EQ(gh.viewElevation, 0);
}

TEST_F(ViewServicesTest, ABottomAreaTallerThanTheWindowLeavesAnEmptyViewportNotANegativeOne) {
    gh.setViewport(1024, 647, 1024, 647, 0, 900);
    EXPECT_EQ(gh.viewport[3], 0);
    gh.gameSettings.scalingMode = 1;
    gh.setViewport(2048, 1294, 1024, 647, 0, 280);  // the bottom area in drawable pixels
    EXPECT_EQ(gh.viewport[1], 140);
    EXPECT_EQ(gh.viewport[3], 507);
}

TEST_F(ViewServicesTest, StartViewPutsTheColoursOnTheirSpots) {
    gh.initBallPositions();
    struct Spot {
        int id;
        double x, z;
        int value;
    };
    const Spot spots[] = {{BALL_YELLOW, 1047.5, -292, 2}, {BALL_GREEN, 1047.5, 292, 3}, {BALL_BROWN, 1047.5, 0, 4},
                          {BALL_BLUE, 0, 0, 5},           {BALL_PINK, -892.25, 0, 6},  {BALL_BLACK, -1460.5, 0, 7}};
    for (const Spot& s : spots) {
        EXPECT_DOUBLE_EQ(gh.table.balls[s.id].x, s.x) << s.id;
        EXPECT_DOUBLE_EQ(gh.table.balls[s.id].z, s.z) << s.id;
        EXPECT_EQ(gh.table.balls[s.id].value, s.value);
        EXPECT_TRUE(gh.table.balls[s.id].onTable);
    }
    EXPECT_EQ(gh.table.balls[BALL_PURPLE].value, 10);
    EXPECT_EQ(gh.table.balls[BALL_FIRST_RED].value, 1);
    EXPECT_EQ(gh.liveStatus->gameState, 1);
    EXPECT_EQ(gh.liveStatus->bestOf, 3);
    for (const Ball& ball : gh.table.balls) EXPECT_EQ(ball.pocket, -1);
}

TEST_F(ViewServicesTest, StrokeOffsetIsContinuousThroughItsFourPhases) {
    const double a = 0.3, b = 100, c = 10;
    auto p = [&](double e) { return GameHandler::cueStrokeOffset(a, b, c, e); };
    for (double edge : {c - 4 * a / 3, c - a / 3, c}) {
        EXPECT_NEAR(p(edge - 1e-9), p(edge + 1e-9), 1e-4) << edge - c;
    }
    EXPECT_NEAR(p(c - a / 3), 2 * b + 3, 1e-9);  // fully drawn back
    EXPECT_NEAR(p(c), 0, 1e-9);                  // the tip at the ball
    EXPECT_LT(p(c + a / 2), 0);                  // follow-through
    EXPECT_EQ(GameHandler::cueStrokeOffset(0, b, c, c), 3);  // no duration: no division by zero
}

TEST_F(ViewServicesTest, PulsePhaseStaysIn0To1) {
    gh.aim.power = 200;
    gh.pulsePhaseOffset = 0.75;
    for (double t : {0.0, 0.4, 123.456}) {
        const double phase = gh.pulsePhase(t);
        EXPECT_GE(phase, 0);
        EXPECT_LT(phase, 1);
    }
}

}  // namespace
