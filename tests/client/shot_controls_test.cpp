// The spin selector, the power and elevation bars and the relative-motion filter.
#include "client/gamehandler/game_handler.h"
#include "support/captured_log.h"
#include "support/fake_clock.h"
#include "support/platform_recorder.h"

#include <gtest/gtest.h>

namespace {

class ShotControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        gh.viewport[2] = 1000;
        gh.viewport[3] = 600;
        gh.windowHeight = 600;
        gh.hudColumnX = 20;
        gh.spinWidgetPlacement = 5;  // against the right edge
        gh.aim = AimParameters{0, 160, 55, 33, 0};
    }
    // The window point of a selector point given from its centre (u right, v up).
    static int wx(double du) { return static_cast<int>(824 + du); }
    static int wy(double dv) { return static_cast<int>(599 - (176 + dv)); }

    bztest::CapturedLog log;
    bztest::FakeClock clock;
    bztest::RecordingPlatform platform;
    GameHandler gh;
};

TEST_F(ShotControlsTest, SpinSelectorPointsGiveTopAndSideSpin) {
    // Selector: 192 pixels at (728, 80) from the viewport's lower left; usable radius 75.
    struct Row {
        const char* what;
        double du, dv;
        uint16_t mods;
        const char* arezors;
        double top, side;
    };
    const Row rows[] = {
        {"centre", 0, 0, 0, "", 0, 0},
        {"2 pixels right is no side spin", 2, 0, 0, "", 0, 0},
        {"3 pixels right", 3, 0, 0, "", 0, 2},
        {"top of the usable circle", 0, 75, 0, "", 100, 0},
        {"outside the usable radius: on the rim, never over 100", 100, 0, 0, "", 0, 100},
        {"left rim (the rounding is not symmetric)", -100, 0, 0, "", 0, -98},
        {"Shift takes no side", 40, 40, MOD_SHIFT, "", 53, 0},
        {"Arezor 7 pushes the side out and limits the top", 0, 70, 0, "00000001", 71, 71},
        {"Arezor 7 and 9: only 7 acts", 0, 70, 0, "0000000101", 71, 71},
        {"Arezor 8 exchanges the axes", 70, 0, 0, "000000001", 71, 71},
        {"Arezor 9 puts the tip on the centre", 60, -60, 0, "0000000001", 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        platform.modifiers = r.mods;
        gh.arezors = r.arezors;
        gh.aim.topSpin = gh.aim.sideSpin = 55;
        EXPECT_TRUE(gh.setSpinFromSelector(wx(r.du), wy(r.dv), true));
        EXPECT_EQ(gh.aim.topSpin, r.top);
        EXPECT_EQ(gh.aim.sideSpin, r.side);
    }
}

TEST_F(ShotControlsTest, SelectorCountsTenPixelsOutsideAndTestsWithoutApplying) {
    EXPECT_TRUE(gh.setSpinFromSelector(wx(105), wy(0), false));
    EXPECT_EQ(gh.aim.topSpin, 55);
    EXPECT_EQ(gh.aim.sideSpin, 33);
    EXPECT_FALSE(gh.setSpinFromSelector(wx(108), wy(0), true));
    EXPECT_EQ(gh.aim.sideSpin, 33);
}

TEST_F(ShotControlsTest, BarsGiveTheirValueAndRefusePointsOutside) {
    // H 600: power bar from 24 to 437.25, elevation bar from 461.25 to 551.
    struct Row {
        const char* what;
        int x;
        double v;
        bool force;
        double power, elevation;
    };
    const Row rows[] = {
        {"bottom of the power bar", 30, 24, false, 0, -1},
        {"middle of the power bar", 30, 230.625, false, 0.5, -1},
        {"top of the power bar", 30, 437, false, 1, -1},
        {"middle of the elevation bar", 30, 506.125, false, -1, 0.5},
        {"beside the column", 60, 230.625, false, -1, -1},
        {"beside the column, forced", 60, 230.625, true, 0.5, 0},
        {"above both, forced", 60, 590, true, 1, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const int y = static_cast<int>(599 - r.v);
        const double v = 599 - y;
        const double power = gh.powerBarValue(r.x, y, r.force);
        if (r.power < 0) EXPECT_EQ(power, -1);
        else EXPECT_NEAR(power, std::clamp((v - 24) / 413.25, 0.0, 1.0), 1e-12);
        const double elevation = gh.elevationBarValue(r.x, y, r.force);
        if (r.elevation < 0) EXPECT_EQ(elevation, -1);
        else EXPECT_NEAR(elevation, std::clamp((v - 461.25) / 89.75, 0.0, 1.0), 1e-12);
    }
}

TEST_F(ShotControlsTest, ElevationBarTooLowToDivideIsNoHit) {
    gh.viewport[3] = gh.windowHeight = 100;  // bar length 100 - 49 - (62.25 + 24) < 0
    for (int y = 0; y < 100; y += 7) EXPECT_EQ(gh.elevationBarValue(30, y, true), -1) << y;
}

TEST_F(ShotControlsTest, DragGainFollowsTheSpeedShiftAndSensitivity) {
    struct Row {
        const char* what;
        int motion;  // counts in one 0.05 s sample
        uint16_t mods;
        int rotate;
        int sensitivity;
        double gain;
    };
    const Row rows[] = {
        {"still", 0, 0, 0, 0, 0.025},
        {"slow", 7, 0, 0, 0, 0.025},
        {"8 counts", 8, 0, 0, 0, 0.05},
        {"just under fast", 99, 0, 0, 0, 0.85},
        {"fast", 100, 0, 0, 0, 1.0},
        {"fast with Shift", 100, MOD_SHIFT, 0, 0, 0.1},
        {"Shift while rotating the camera", 100, MOD_SHIFT, 1, 0, 1.0},
        {"sensitivity -5", 100, 0, 0, -5, 0.1},
        {"sensitivity below -5", 100, 0, 0, -9, 0.1},
        {"sensitivity 5", 100, 0, 0, 5, 5.0},
        {"sensitivity above 5", 100, 0, 0, 8, 5.0},
        {"sensitivity 2", 50, 0, 0, 2, 0.55 * 2.0},
    };
    double t = 1;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        platform.modifiers = r.mods;
        gh.rotateDrag = r.rotate;
        gh.gameSettings.mouseSensitivity = r.sensitivity;
        t += 0.06;
        clock.setSeconds(t);
        const double before = gh.dragX;
        gh.accumulateDrag(0, 0, r.motion, 0);
        EXPECT_DOUBLE_EQ(gh.dragGain, r.gain);
        EXPECT_DOUBLE_EQ(gh.dragX - before, r.motion * r.gain);
        EXPECT_EQ(gh.prevDragX, before);
    }
    // Within the sample period the gain stays.
    clock.setSeconds(t + 0.01);
    gh.accumulateDrag(0, 0, 3, 4);
    EXPECT_DOUBLE_EQ(gh.dragGain, 0.55 * 2.0);
}

TEST_F(ShotControlsTest, CursorHidesOverTheSelectorWhilePointAiming) {
    gh.pointAiming = 1;
    gh.updateCursorOverSpinSelector(wx(0), wy(30), true);
    EXPECT_TRUE(gh.spinCursorHidden);
    EXPECT_EQ(gh.aim.topSpin, 40);
    gh.updateCursorOverSpinSelector(10, 10, true);
    EXPECT_FALSE(gh.spinCursorHidden);
    EXPECT_EQ(platform.calls, (std::vector<std::string>{"cursor:0", "cursor:1"}));
    // While the shot is under way the spin is only tested, not set.
    gh.shotSentWaiting = true;
    gh.updateCursorOverSpinSelector(wx(0), wy(-30), true);
    EXPECT_EQ(gh.aim.topSpin, 40);
}

}  // namespace
