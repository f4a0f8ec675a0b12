// Mouse buttons, motion and wheel of the game view, looking straight down on the table.
#include "client/gamehandler/game_handler.h"
#include "support/table_view.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "net/connection_handler.h"
#include "physics/physics_test_util.h"
#include "support/fake_clock.h"
#include "support/platform_recorder.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

using physics_test::placeBall;

class MouseInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        bztest::seatMeOnTurn(gh);
        bztest::lookStraightDown(gh);
        at(10);
    }

    void at(double seconds) {
        clock.setSeconds(seconds);
        now = seconds;
    }
    void later(double seconds) { at(now + seconds); }
    // The window pixel showing a bed point: screen right is -z, screen up is -x.
    static int px(double z) { return static_cast<int>(500 - z * kPixelsPerMm + 0.5); }
    static int py(double x) { return static_cast<int>(599 - (300 - x * kPixelsPerMm) + 0.5); }
    void press(int button, double x, double z, int clicks = 1) { gh.mouseButton(button, true, px(z), py(x), clicks); }
    void release(int button, double x, double z, int clicks = 1) {
        gh.mouseButton(button, false, px(z), py(x), clicks);
    }
    size_t sent() const { return handler.outgoingCount(); }

    // 0.5 x 600 pixels / tan(20 degrees) / 4000 mm.
    static constexpr double kPixelsPerMm = 0.5 * 600 / 0.36397023426620234 / 4000;

    physics_test::CapturedLog log;
    bztest::FakeClock clock;
    bztest::RecordingPlatform platform;
    bztest::OwnUserSeam seam;
    ConnectionHandler& handler = seam.handler;
    RecordingPageScriptSink& pages = seam.pages;
    GameHandler gh;
    double now = 0;
};

TEST_F(MouseInputTest, DragAimingPointAimingAndTheEnd) {
    const Ball& cue = gh.table.balls[0];
    press(SDL_BUTTON_LEFT, cue.x, cue.z);
    EXPECT_EQ(gh.aimDragMode, 1);
    EXPECT_EQ(gh.aimDragPending, 1);
    EXPECT_TRUE(gh.mouseCaptured);
    EXPECT_EQ(sent(), 1u);  // LIVE_AIM_START
    later(0.1);
    release(SDL_BUTTON_LEFT, cue.x, cue.z);
    EXPECT_EQ(gh.aimDragPending, 0);
    EXPECT_EQ(gh.aimDragMode, 1);  // the press that started it only ends the pending state

    // Fast motion: the first movement starts the drag at power 160.
    later(0.1);
    gh.mouseMotion(500, 300, 200, 0);
    EXPECT_EQ(gh.dragStarted, 1);
    EXPECT_EQ(gh.aim.power, 160);
    EXPECT_NEAR(gh.aim.aimAngle, 90, 1e-9);
    EXPECT_EQ(sent(), 1u);  // the move waits 0.25 s after the start
    later(0.3);
    gh.mouseMotion(500, 300, 0, 200);
    EXPECT_EQ(sent(), 2u);

    later(0.3);
    press(SDL_BUTTON_LEFT, 0, 0);  // ignored while drag aiming
    release(SDL_BUTTON_LEFT, 0, 0);
    EXPECT_EQ(gh.aimDragMode, 0);
    EXPECT_EQ(gh.pointAiming, 1);
    EXPECT_TRUE(gh.aimShown);
    EXPECT_FALSE(gh.mouseCaptured);
    EXPECT_EQ(sent(), 3u);  // LIVE_AIM_SET
    EXPECT_EQ(platform.calls.back(), "cursor:1");

    later(0.3);
    press(SDL_BUTTON_RIGHT, 1500, 800);
    release(SDL_BUTTON_RIGHT, 1500, 800);
    EXPECT_EQ(gh.pointAiming, 0);
    EXPECT_FALSE(gh.aimShown);
    EXPECT_EQ(sent(), 4u);  // LIVE_AIM_END
}

TEST_F(MouseInputTest, ABallPressTooSoonAfterTheLastButtonStartsNothing) {
    const Ball& cue = gh.table.balls[0];
    gh.mouseButton(SDL_BUTTON_MIDDLE, false, 0, 0, 1);
    later(0.1);
    press(SDL_BUTTON_LEFT, cue.x, cue.z);
    EXPECT_EQ(gh.aimDragMode, 0);
    EXPECT_EQ(sent(), 0u);
    later(0.2);
    press(SDL_BUTTON_LEFT, cue.x, cue.z);
    EXPECT_EQ(gh.aimDragMode, 1);
}

TEST_F(MouseInputTest, SpinSelectorClickShootsUnlessTooSoonAfterTheLastRelease) {
    // Selector centre at (824, 176) from the viewport's lower left.
    const int x = 824, y = 599 - 176;
    placeBall(gh.table, BALL_WHITE, 0, 0);
    gh.aim.aimAngle = 0;
    for (double gap : {0.1, 0.2}) {
        SCOPED_TRACE(gap);
        gh.pointAiming = 1;
        gh.aimShown = true;
        gh.shotSentWaiting = false;
        later(1);
        gh.mouseButton(SDL_BUTTON_LEFT, false, 0, 0, 1);
        later(gap);
        gh.mouseButton(SDL_BUTTON_LEFT, true, x, y, 1);
        EXPECT_EQ(gh.spinDrag, 1);
        const size_t before = sent();
        gh.mouseButton(SDL_BUTTON_LEFT, false, x, y, 1);
        EXPECT_EQ(gh.spinDrag, 0);
        EXPECT_EQ(sent() - before, gap >= 0.147 ? 1u : 0u);
        EXPECT_EQ(gh.shotSentWaiting, gap >= 0.147);
    }
}

// The widget's marker and the click ask one question (the cue raised by the margin); a click the
// cue cannot play says why instead of doing nothing.
TEST_F(MouseInputTest, ASpinClickWithABlockedCueShowsWhyAndTheMarkerAgrees) {
    const int x = 824, y = 599 - 176;
    placeBall(gh.table, BALL_WHITE, 0, 0);
    struct Row {
        const char* what;
        double redX;  // a red on the cue's side of the cue ball
        bool plays;
    } rows[] = {{"a red far behind: the margin lifts the cue over it", -420, true},
                {"a red close behind: the cue cannot pass", -70, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        placeBall(gh.table, 10, r.redX, 0);
        gh.aim.aimAngle = 0;
        gh.aim.elevation = 0;
        gh.pointAiming = 1;
        gh.aimShown = true;
        gh.shotSentWaiting = false;
        EXPECT_EQ(gh.cueClears(gh.aim), r.plays);
        if (r.plays) {  // the plain elevation would have said no: the marker must not use it
            EXPECT_FALSE(gh.cueBall->traceAimLine(gh.table.balls, kBallCount, 0, 0, 80, 0));
        }
        later(1);
        gh.mouseButton(SDL_BUTTON_LEFT, true, x, y, 1);
        const size_t before = sent();
        const size_t notices = pages.statementsFor(HtmlWindow::TopBox).size();
        gh.mouseButton(SDL_BUTTON_LEFT, false, x, y, 1);
        EXPECT_EQ(sent() - before, r.plays ? 1u : 0u);
        const auto shown = pages.statementsFor(HtmlWindow::TopBox);
        ASSERT_EQ(shown.size() - notices, r.plays ? 0u : 1u);
        if (!r.plays) {
            EXPECT_NE(shown.back().find("The cue is blocked"), std::string::npos) << shown.back();
        }
    }
}

TEST_F(MouseInputTest, RightClickNominatesAColourOrARed) {
    struct Row {
        const char* what;
        int ball;
        int ballOn;
        double pause;
        bool nominates;
    };
    const Row rows[] = {
        {"a red while a colour is on", 10, 0, 1.0, true},
        {"the pink", BALL_PINK, 0, 1.0, true},
        {"within 0.5 s of the last button", BALL_PINK, 0, 0.3, false},
        {"a red is on and no free ball", BALL_PINK, 1, 1.0, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        gh.liveStatus->ballOn = r.ballOn;
        const Ball& b = gh.table.balls[r.ball];
        later(1);
        gh.mouseButton(SDL_BUTTON_MIDDLE, false, 0, 0, 1);
        later(r.pause);
        const size_t before = sent();
        press(SDL_BUTTON_RIGHT, b.x, b.z);
        EXPECT_EQ(gh.nominationClick, r.nominates);
        EXPECT_EQ(sent() - before, r.nominates ? 1u : 0u);
        release(SDL_BUTTON_RIGHT, b.x, b.z);
    }
}

TEST_F(MouseInputTest, WheelSetsPowerOrElevationWhileAimingAndZoomsOtherwise) {
    struct Row {
        const char* what;
        int pointAiming;
        bool overhead;
        uint16_t mods;
        int notches;
        double power, elevation, closer;  // the camera's distance changes by closer
    };
    const Row rows[] = {
        {"power by 4 a notch", 1, false, 0, 2, 168, 10, 0},
        {"power by 1 with Shift", 1, false, MOD_SHIFT, -3, 157, 10, 0},
        {"elevation by 1 with Ctrl", 1, false, MOD_CTRL, 2, 160, 12, 0},
        {"elevation by 5 with Ctrl and Shift, never above 70", 1, false, MOD_CTRL | MOD_SHIFT, 20, 160, 70, 0},
        {"not aiming, no Shift: nothing", 0, false, 0, 2, 160, 10, 0},
        {"not aiming, Shift zooms", 0, false, MOD_SHIFT, 2, 160, 10, -200},
        {"overhead camera zooms without a key", 0, true, 0, -1, 160, 10, 100},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        gh.pointAiming = r.pointAiming;
        gh.overheadCameraOn = r.overhead;
        platform.modifiers = r.mods;
        gh.aim.power = 160;
        gh.aim.elevation = 10;
        // The zoom starts from the camera in place, not from what the orbit held before.
        gh.orbitDistance = 1234;
        auto distance = [&] { return std::hypot(gh.lookAtEye[0] - gh.lookAtTarget[0], gh.lookAtEye[1] - gh.lookAtTarget[1],
                                                gh.lookAtEye[2] - gh.lookAtTarget[2]); };
        const double before = distance();
        gh.mouseWheel(false, 0, r.notches);
        EXPECT_EQ(gh.aim.power, r.power);
        EXPECT_EQ(gh.aim.elevation, r.elevation);
        EXPECT_NEAR(distance(), before + r.closer, 1e-6);
    }
    gh.pointAiming = 1;
    platform.modifiers = 0;
    gh.mouseWheel(true, 0, 1);  // flipped
    EXPECT_EQ(gh.aim.power, 156);
}

TEST_F(MouseInputTest, CueBallInHandIsDraggedInsideTheDAndPlayedOnlyFromIt) {
    gh.liveStatus->ballInHand = true;
    const TableParams& p = *gh.table.params;
    Ball& cue = placeBall(gh.table, BALL_WHITE, 0.5 * p[36] - p[77] + 60, 0);
    ASSERT_TRUE(isInD(gh.table, cue.x, cue.z));
    const double startX = cue.x, startZ = cue.z;
    press(SDL_BUTTON_LEFT, startX, startZ);
    EXPECT_TRUE(gh.ballDragArmed);
    gh.mouseMotion(px(startZ) + 1, py(startX), 1, 0);  // inside the dead zone
    EXPECT_TRUE(gh.ballDragArmed);
    EXPECT_EQ(sent(), 0u);
    gh.mouseMotion(px(startZ + 40), py(startX), 8, 0);
    EXPECT_TRUE(gh.ballDragActive);
    EXPECT_TRUE(gh.ballDragFromD);
    EXPECT_NEAR(cue.z, startZ + 40, 15);
    EXPECT_EQ(sent(), 1u);  // BALL_PLACED
    EXPECT_EQ(log.count("moved to"), 1);
    // Out of the D towards the table centre: ignored.
    gh.mouseMotion(px(0), py(0), 8, 0);
    EXPECT_NEAR(cue.z, startZ + 40, 15);
    EXPECT_EQ(sent(), 1u);
    release(SDL_BUTTON_LEFT, 0, 0);
    EXPECT_FALSE(gh.ballDragActive);

    // A click on a cue ball in hand outside the D only asks for it to be moved.
    placeBall(gh.table, BALL_WHITE, 0, 300);
    later(1);
    press(SDL_BUTTON_LEFT, 0, 300);
    release(SDL_BUTTON_LEFT, 0, 300);
    EXPECT_EQ(gh.aimDragMode, 0);
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::TopBox, "inbzNotice({text:'Move the cue ball").size(), 1u);
}

TEST_F(MouseInputTest, SdlEventsReachTheHandlersInDrawablePixels) {
    gh.drawableWidth = 2000;
    gh.drawableHeight = 1200;
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.x = 999;
    event.motion.y = 599;
    event.motion.xrel = 3;
    gh.handleMouseEvent(event);
    int x = 0, y = 0;
    gh.windowToDrawable(999, 599, x, y);
    EXPECT_EQ(x, 1999);
    EXPECT_EQ(y, 599);  // window height + drawable row - drawable height
    EXPECT_EQ(gh.rawMotionX, 3);
    appRunning = true;
    event.type = SDL_QUIT;
    gh.handleMouseEvent(event);
    EXPECT_FALSE(appRunning);
    appRunning = true;
}

}  // namespace
