// The camera sets: the overview and the free 3D view, the per-frame choice between them, the
// first-person view switched on and off and its per-frame easing, and the guards that keep broken
// sizes and placements away from the matrices.
#include "client/gamehandler/game_handler.h"
#include "core/platform.h"
#include "support/platform_recorder.h"
#include "support/table_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kDeg = std::numbers::pi / 180;

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        bztest::seatMeOnTurn(gh);
        gh.setViewport(1000, 500, 1000, 500, 0, 0);
        gh.now = 100;
    }

    void opponentsTurn() { gh.liveStatus->playerOn = 1; }
    void putBall(int index, double x, double z) {
        gh.table.balls[index].x = x;
        gh.table.balls[index].z = z;
        gh.table.balls[index].onTable = true;
    }
    bool statementRun(const std::string& statement) const {
        const auto all = seam.pages.statementsFor(HtmlWindow::BottomBox);
        return std::find(all.begin(), all.end(), statement) != all.end();
    }
    static bool finite(const float* values, int n) {
        return std::all_of(values, values + n, [](float v) { return std::isfinite(v); });
    }

    bztest::RecordingPlatform platform;
    bztest::OwnUserSeam seam;
    GameHandler gh;
};

TEST_F(CameraTest, OverviewInstallsItsFixedCameraAndGivesBackTheOneBefore) {
    gh.setCameraPreset(GameHandler::PRESET_CENTRE);
    const double eyeBefore[3] = {gh.lookAtEye[0], gh.lookAtEye[1], gh.lookAtEye[2]};
    gh.enterOverviewCamera();
    gh.enterOverviewCamera();  // a second call keeps the camera saved by the first
    EXPECT_TRUE(gh.inOverview);
    EXPECT_DOUBLE_EQ(gh.lookAtEye[0], -9466.79);
    EXPECT_DOUBLE_EQ(gh.lookAtEye[1], 3913.35);
    EXPECT_DOUBLE_EQ(gh.lookAtTarget[0], -289);
    EXPECT_DOUBLE_EQ(gh.lookAtUp[1], 0.922032);
    EXPECT_FLOAT_EQ(gh.viewAzimuth, 180);
    EXPECT_FLOAT_EQ(gh.fieldOfViewY, 0.16648696f);
    EXPECT_TRUE(gh.cameraChanged);

    gh.leaveOverviewCamera();
    EXPECT_FALSE(gh.inOverview);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(gh.lookAtEye[i], eyeBefore[i], 1e-9);
    EXPECT_FLOAT_EQ(gh.viewAzimuth, 180);  // the centre preset's yaw
    EXPECT_NEAR(gh.fieldOfViewX, 40 * kDeg, 1e-6);
}

TEST_F(CameraTest, TheFreeViewSavesTheNormalCameraOnceAndStartsWhereItEnded) {
    const double eyeBefore = gh.lookAtEye[1];
    gh.enter3DView();
    EXPECT_DOUBLE_EQ(gh.lookAtEye[0], -5400);
    EXPECT_FLOAT_EQ(gh.viewAzimuth, 180);
    gh.lookAtEye[0] = -4000;  // the mouse moved the free camera
    gh.enter3DView();
    gh.leave3DView();
    EXPECT_FALSE(gh.in3DView);
    EXPECT_DOUBLE_EQ(gh.lookAtEye[1], eyeBefore);
    EXPECT_FLOAT_EQ(gh.viewAzimuth, 90);
    EXPECT_DOUBLE_EQ(gh.freeCamera.eye[0], -5400);  // the second enter reinstalled the slot

    gh.enter3DView();
    gh.lookAtEye[0] = -4000;
    gh.leave3DView();
    gh.enter3DView();
    EXPECT_DOUBLE_EQ(gh.lookAtEye[0], -4000);
}

// The orbit that zooms and turns starts from the camera in place, whatever it held before.
TEST_F(CameraTest, AZoomOrATurnStartsFromTheViewInPlace) {
    platform.modifiers = MOD_SHIFT;
    auto offset = [&](int i) { return gh.lookAtEye[i] - gh.lookAtTarget[i]; };
    gh.enter3DView();
    gh.orbitDistance = 3000, gh.orbitPitch = 30, gh.orbitYaw = 77;
    const double d = std::hypot(offset(0), offset(1), offset(2));
    const double before[3] = {offset(0) / d, offset(1) / d, offset(2) / d};
    gh.mouseWheel(false, 0, 1);
    const double after = std::hypot(offset(0), offset(1), offset(2));
    EXPECT_NEAR(after, d - 100, 1e-6);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(offset(i) / after, before[i], 1e-9) << i;
    // A turn starts where the view is: nothing moves before the pointer does.
    gh.orbitPitch = 30, gh.orbitYaw = 77;
    const double eye[3] = {gh.lookAtEye[0], gh.lookAtEye[1], gh.lookAtEye[2]};
    gh.mouseButton(SDL_BUTTON_LEFT, true, 500, 250, 1);
    ASSERT_EQ(gh.rotateDrag, 1);
    gh.mouseMotion(500, 250, 0, 0);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(gh.lookAtEye[i], eye[i], 1e-6) << i;
    gh.mouseButton(SDL_BUTTON_LEFT, false, 500, 250, 1);

    // The flat view from straight above stays straight above, turned as it was.
    gh.leave3DView();
    gh.setCameraPreset(GameHandler::PRESET_OVERHEAD);
    const double height = offset(1), up[3] = {gh.lookAtUp[0], gh.lookAtUp[1], gh.lookAtUp[2]};
    const float azimuth = gh.viewAzimuth;
    gh.mouseWheel(false, 0, 1);
    EXPECT_NEAR(offset(0), 0, 1e-9);
    EXPECT_NEAR(offset(2), 0, 1e-9);
    EXPECT_NEAR(offset(1), height - 100, 1e-6);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(gh.lookAtUp[i], up[i], 1e-9) << i;
    EXPECT_FLOAT_EQ(gh.viewAzimuth, azimuth);

    // A turn from there does not tip the flat view over: it keeps looking straight down.
    gh.mouseButton(SDL_BUTTON_LEFT, true, 500, 250, 1);
    ASSERT_EQ(gh.rotateDrag, 1);
    gh.dragX = -360;
    gh.mouseMotion(500, 250, 0, 0);
    EXPECT_NEAR(offset(0), 0, 1e-6);
    EXPECT_NEAR(offset(2), 0, 1e-6);
    EXPECT_NEAR(offset(1), height - 100, 1e-6);
    EXPECT_FLOAT_EQ(gh.viewAzimuth, azimuth);
    gh.mouseButton(SDL_BUTTON_LEFT, false, 500, 250, 1);
}

// Ctrl+drag moves the view along the screen whichever way it is turned: right with the pointer.
TEST_F(CameraTest, APanFollowsThePointerInEveryView) {
    platform.modifiers = MOD_CTRL;
    const int views[] = {GameHandler::PRESET_OVERHEAD, GameHandler::PRESET_OVERHEAD_REVERSED, GameHandler::PRESET_CENTRE, -1};
    for (const int view : views) {
        SCOPED_TRACE(view);
        if (view < 0)
            gh.enter3DView();
        else
            gh.setCameraPreset(view);
        const double f[3] = {gh.lookAtTarget[0] - gh.lookAtEye[0], gh.lookAtTarget[1] - gh.lookAtEye[1],
                             gh.lookAtTarget[2] - gh.lookAtEye[2]};
        const double* u = gh.lookAtUp;
        // The screen's right on the table: forward x up, in x and z.
        double rx = f[1] * u[2] - f[2] * u[1], rz = f[0] * u[1] - f[1] * u[0];
        const double r = std::hypot(rx, rz);
        rx /= r, rz /= r;
        const double x0 = gh.lookAtTarget[0], z0 = gh.lookAtTarget[2];
        gh.mouseButton(SDL_BUTTON_LEFT, true, 500, 250, 1);
        ASSERT_TRUE(gh.panArmed);
        gh.mouseMotion(510, 250, 0, 0);
        ASSERT_EQ(gh.panDrag, 1);
        gh.dragX = 50, gh.dragZ = 0;
        gh.mouseMotion(510, 250, 0, 0);
        const double along = (gh.lookAtTarget[0] - x0) * rx + (gh.lookAtTarget[2] - z0) * rz;
        const double across = (gh.lookAtTarget[0] - x0) * rz - (gh.lookAtTarget[2] - z0) * rx;
        EXPECT_NEAR(along, 100, 1e-6);
        EXPECT_NEAR(across, 0, 1e-6);
        gh.mouseButton(SDL_BUTTON_LEFT, false, 510, 250, 1);
    }
}

// The camera set each frame: the "t" views show the overview while the opponent plays, from the
// own shot on, and with Shift while pointing; between frames the overview is the camera.
TEST_F(CameraTest, SelectCameraSetRules) {
    struct Row {
        const char* name;
        bool inPlay, myTurn, overview, free3D, pov;
        bool playerT, spectatorT, shiftT, pointing, shotRunning;
        bool expectOverview, expect3D, expectPov;
    };
    const Row rows[] = {
        {"no frame: the overview stays", false, true, true, false, false, 0, 0, 0, 0, 0, true, false, false},
        {"no frame: 3D view left for the overview", false, true, false, true, false, 0, 0, 0, 0, 0, true, false, false},
        {"no frame: first person left", false, true, false, false, true, 0, 0, 0, 0, 0, true, false, false},
        {"spectator t, opponent plays: stays", true, false, true, false, false, 0, 1, 0, 0, 0, true, false, false},
        {"spectator t, own turn: left", true, true, true, false, false, 0, 1, 0, 0, 0, false, false, false},
        {"player t, own shot runs: stays", true, true, true, false, false, 1, 0, 0, 0, 1, true, false, false},
        {"player t, shift and pointing: stays", true, true, true, false, false, 1, 0, 1, 1, 0, true, false, false},
        {"player t, own turn at rest: left", true, true, true, false, false, 1, 0, 0, 0, 0, false, false, false},
        {"overview with the 3D view: left", true, false, true, true, false, 0, 1, 0, 0, 0, false, true, false},
        {"spectator t, opponent plays: entered", true, false, false, false, false, 0, 1, 0, 0, 0, true, false, false},
        {"spectator t with the 3D view: never", true, false, false, true, false, 0, 1, 0, 0, 0, false, true, false},
        {"spectator t in first person: never", true, false, false, false, true, 0, 1, 0, 0, 0, false, false, true},
        {"player t, own shot runs: entered", true, true, false, false, false, 1, 0, 0, 0, 1, true, false, false},
        {"player t, shift and pointing: entered", true, true, false, false, false, 1, 0, 1, 1, 0, true, false, false},
        {"player t, own turn at rest: not", true, true, false, false, false, 1, 0, 0, 0, 0, false, false, false},
        {"no t flag, opponent plays: not", true, false, false, false, false, 0, 0, 0, 0, 0, false, false, false},
    };
    for (const Row& r : rows) {
        GameHandler g;
        g.setViewport(1000, 500, 1000, 500, 0, 0);
        g.liveStatus->gameState = 1;
        g.table.seats[0] = g.findPlayer("Alice");
        g.table.seats[1] = g.findPlayer("Bob");
        g.liveStatus->playerOn = r.myTurn ? 0 : 1;
        if (r.free3D) g.enter3DView();
        if (r.pov) {
            g.pointAiming = 1;
            g.switchPOVMode();
        }
        if (r.overview) g.enterOverviewCamera();
        g.liveStatus->gameState = r.inPlay ? 1 : 0;
        g.playerViewMode = r.playerT;
        g.spectatorViewMode = r.spectatorT;
        g.shiftViewMode = r.shiftT;
        g.pointAiming = r.pointing;
        g.shotSentWaiting = r.shotRunning;
        g.selectCameraSet();
        EXPECT_EQ(g.inOverview, r.expectOverview) << r.name;
        EXPECT_EQ(g.in3DView, r.expect3D) << r.name;
        EXPECT_EQ(g.povMode, r.expectPov) << r.name;
    }
}

TEST_F(CameraTest, FirstPersonTurnsOnOnlyWithAnAimAndOffBackToTheCameraBefore) {
    gh.switchPOVMode();  // no aim to look along
    EXPECT_FALSE(gh.povMode);
    EXPECT_FALSE(statementRun("inbzSetPOVMode({isOn: true});"));

    putBall(0, 500, -200);
    gh.aim.aimAngle = 90;
    gh.pointAiming = 1;
    gh.aimShown = true;
    const double eyeBefore[3] = {gh.lookAtEye[0], gh.lookAtEye[1], gh.lookAtEye[2]};
    const float yawBefore = gh.viewAzimuth;
    gh.switchPOVMode();
    ASSERT_TRUE(gh.povMode);
    EXPECT_TRUE(statementRun("inbzSetPOVMode({isOn: true});"));
    // The pointing aim became a drag aim under the captured mouse.
    EXPECT_EQ(gh.aimDragMode, 1);
    EXPECT_EQ(gh.pointAiming, 0);
    EXPECT_TRUE(gh.mouseCaptured);
    EXPECT_NE(std::find(platform.calls.begin(), platform.calls.end(), "relative:1"), platform.calls.end());
    // Behind the ball, looking along +z at half the vertical field of view.
    const double pitch = gh.fieldOfViewY / 2.0;
    EXPECT_NEAR(gh.povPitch, pitch / kDeg, 1e-9);
    EXPECT_NEAR(gh.lookAtTarget[0], 500, 1e-9);
    EXPECT_DOUBLE_EQ(gh.lookAtTarget[1], 26.25);
    EXPECT_NEAR(gh.lookAtEye[0], 500, 1e-9);
    EXPECT_NEAR(gh.lookAtEye[1], 840 * std::sin(pitch) + 26.25, 1e-9);
    EXPECT_NEAR(gh.lookAtEye[2], -200 - 840 * std::cos(pitch), 1e-9);
    EXPECT_TRUE(gh.perspectiveProjection);
    const double t = std::tan(gh.fieldOfViewY / 2.0);
    EXPECT_NEAR(gh.projection[0], 1 / (2 * t), 1e-5);
    EXPECT_NEAR(gh.projection[5], 1 / t, 1e-5);
    EXPECT_FLOAT_EQ(gh.projection[11], -1);

    gh.switchPOVMode();
    EXPECT_FALSE(gh.povMode);
    EXPECT_TRUE(statementRun("inbzSetPOVMode({isOn: false});"));
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(gh.lookAtEye[i], eyeBefore[i], 1e-9);
    EXPECT_FLOAT_EQ(gh.viewAzimuth, yawBefore);
    EXPECT_EQ(gh.aimDragMode, 0);
    EXPECT_FALSE(gh.mouseCaptured);
}

// A new viewport (a resize, the bottom bar's height) rebuilds the first-person view for its shape,
// and the own aim goes on under the captured mouse.
TEST_F(CameraTest, NewViewportRebuildsTheFirstPersonView) {
    putBall(0, 500, -200);
    gh.aim.aimAngle = 90;
    gh.pointAiming = 1;
    gh.switchPOVMode();
    ASSERT_TRUE(gh.povMode);
    const float fovBefore = gh.fieldOfViewY;
    platform.calls.clear();
    gh.setViewport(1000, 900, 1000, 900, 0, 0);
    EXPECT_TRUE(gh.povMode);
    EXPECT_GT(gh.fieldOfViewY, fovBefore);
    EXPECT_NEAR(gh.povPitch, gh.fieldOfViewY / 2.0 / kDeg, 1e-9) << "set up again for the new field of view";
    EXPECT_EQ(gh.aimDragMode, 1);
    EXPECT_TRUE(gh.mouseCaptured);
    // The window's own capture is let go before relative mode takes the mouse.
    const auto released = std::find(platform.calls.begin(), platform.calls.end(), "release-capture");
    EXPECT_LT(released, std::find(platform.calls.begin(), platform.calls.end(), "relative:1"));

    gh.switchPOVMode();
    gh.setViewport(1000, 500, 1000, 500, 0, 0);
    EXPECT_FALSE(gh.povMode) << "a viewport does not switch the view on";
}

TEST_F(CameraTest, FirstPersonFollowsTheOpponentsAimAndLeavesTheOverview) {
    opponentsTurn();
    putBall(3, -100, 0);
    gh.remoteAimBall = 3;
    gh.remoteAim.aimAngle = 180;
    gh.enterOverviewCamera();
    gh.switchPOVMode();  // the opponent's aim is not shown yet
    EXPECT_FALSE(gh.povMode);
    gh.remoteAimActive = gh.remoteAimReceived = true;
    gh.switchPOVMode();
    ASSERT_TRUE(gh.povMode);
    EXPECT_FALSE(gh.inOverview);
    EXPECT_NEAR(gh.lookAtTarget[0], -100, 1e-9);
    EXPECT_GT(gh.lookAtEye[0], -100);  // behind the ball, looking towards -x

    gh.remoteAim.aimAngle = -90;  // the blend turned the aim
    gh.followBlendedAim();
    EXPECT_GT(gh.lookAtEye[2], 0);
    EXPECT_NEAR(gh.lookAtEye[0], -100, 1e-9);

    platform.calls.clear();
    gh.setViewport(1000, 900, 1000, 900, 0, 0);  // a viewer's view is not taken up again
    EXPECT_FALSE(gh.povMode);
    EXPECT_EQ(gh.aimDragMode, 0);
    EXPECT_TRUE(platform.calls.empty() || platform.calls.back() != "relative:1");
}

TEST_F(CameraTest, ResettingTheAimLeavesFirstPersonThroughTheSwitch) {
    gh.pointAiming = 1;
    gh.switchPOVMode();
    gh.resetAimingState(false);
    EXPECT_FALSE(gh.povMode);
    EXPECT_TRUE(statementRun("inbzSetPOVMode({isOn: false});"));
    EXPECT_FLOAT_EQ(gh.viewAzimuth, 90);
}

TEST_F(CameraTest, TheFirstPersonStepEasesAndKeepsItsLimits) {
    gh.pointAiming = 1;
    gh.switchPOVMode();
    ASSERT_TRUE(gh.povMode);
    gh.povSideStep = -26.25;
    gh.povSideStepTime = gh.now;
    gh.now += 0.1;
    gh.update();
    EXPECT_NEAR(gh.povOffset, -13.125, 1e-9);
    gh.now += 0.5;
    gh.update();
    EXPECT_DOUBLE_EQ(gh.povOffset, -26.25);

    gh.keysHeld[0] = true;  // w, a frame at a time
    for (int i = 0; i < 100; ++i) {
        gh.now += 1.0 / 60;
        gh.update();
    }
    EXPECT_DOUBLE_EQ(gh.povDistances[GameHandler::POV_NOW], 270);
    gh.keysHeld[0] = false;
    gh.keysHeld[2] = true;  // s
    for (int i = 0; i < 200; ++i) {
        gh.now += 1.0 / 60;
        gh.update();
    }
    EXPECT_DOUBLE_EQ(gh.povDistances[GameHandler::POV_NOW], 1470);

    gh.keysHeld[2] = false;
    gh.keysHeld[0] = true;
    opponentsTurn();  // w on the opponent's turn moves nothing
    gh.now += 0.5;
    gh.update();
    EXPECT_DOUBLE_EQ(gh.povDistances[GameHandler::POV_NOW], 1470);
}

TEST_F(CameraTest, TheMouseTurnsTheFirstPersonCameraWithTheAimAndTheWheelTheFieldOfView) {
    putBall(0, 0, 0);
    gh.aim.aimAngle = 0;
    gh.pointAiming = 1;
    gh.switchPOVMode();
    ASSERT_TRUE(gh.povMode);
    for (int i = 0; i < 5; ++i) gh.mouseMotion(500, 250, 40, 0);
    ASSERT_NE(gh.aim.aimAngle, 0);
    // The eye stays behind the ball, opposite the new aim.
    const double a = gh.aim.aimAngle * kDeg;
    const double dx = gh.lookAtEye[0] - gh.lookAtTarget[0], dz = gh.lookAtEye[2] - gh.lookAtTarget[2];
    EXPECT_NEAR(std::atan2(dz, dx), std::remainder(a + std::numbers::pi, 2 * std::numbers::pi), 1e-9);

    gh.switchPOVMode();
    gh.aimDragMode = gh.pointAiming = 0;
    gh.overheadCameraOn = true;
    const float fovBefore = gh.fieldOfViewX;
    platform.modifiers = MOD_CTRL | MOD_SHIFT;
    gh.mouseWheel(false, 0, 10);
    EXPECT_DOUBLE_EQ(gh.fieldOfViewDegrees, 30);
    EXPECT_NEAR(gh.fieldOfViewX, 30 * kDeg, 1e-6);
    EXPECT_NE(gh.fieldOfViewX, fovBefore);
}

TEST_F(CameraTest, BrokenSizesAndPlacementsNeverReachTheMatrices) {
    // No viewport yet: the fields of view, presets and projections keep their finite values.
    GameHandler fresh;
    fresh.fieldOfViewY = 0;
    fresh.updateFieldOfView(0, 0);
    fresh.setCameraPreset(GameHandler::PRESET_BLACK_END);
    fresh.enterOverviewCamera();
    fresh.buildPerspectiveProjection();
    fresh.lookAtEye[1] = 20;  // below the rail top
    fresh.buildOrthographicProjection();
    float view[16];
    fresh.viewMatrix(view);
    EXPECT_TRUE(finite(fresh.projection, 16));
    EXPECT_TRUE(finite(view, 16));
    EXPECT_TRUE(finite(fresh.camera.position, 3));

    // An eye on its target, or looking along its up vector, leaves the camera as it was.
    const double eye[3] = {1, 2, 3}, up[3] = {0, 1, 0}, above[3] = {1, 500, 3};
    EXPECT_FALSE(gh.installCamera(eye, eye, up));
    EXPECT_FALSE(gh.installCamera(above, eye, up));
    EXPECT_NE(gh.lookAtEye[1], 500);

    // A first-person placement with no valid aiming ball moves nothing.
    gh.aimBallIndex = 30;
    const double before = gh.lookAtEye[1];
    EXPECT_FALSE(gh.placePOVCamera());
    EXPECT_DOUBLE_EQ(gh.lookAtEye[1], before);
    gh.aimBallIndex = 0;
    gh.aim.aimAngle = std::nan("");
    EXPECT_FALSE(gh.placePOVCamera());
    EXPECT_TRUE(finite(gh.camera.front, 3));
}

}  // namespace
