// The frame loop's pure decisions: render size, pointer mapping, typed shortcuts, event routing,
// the frame-rate report, the away flag and the quit refusal.
#include "app/frame_rules.h"
#include "physics/player.h"

#include <gtest/gtest.h>

namespace {

TEST(RenderSize, FollowsTheResolutionLimit) {
    const struct {
        PixelSize window;
        int mode, limit;
        PixelSize render;
    } cases[] = {
        {{1920, 1080}, 1, 1280, {1280, 720}},  {{1920, 1080}, 2, 1280, {1280, 720}},
        {{1920, 1080}, 1, 1000, {1150, 647}},  {{1920, 1080}, 0, 1280, {1920, 1080}},
        {{1920, 1080}, 1, 1920, {1920, 1080}}, {{1024, 647}, 1, 1920, {1024, 647}},
        {{1920, 1080}, 3, 1000, {1920, 1080}},
    };
    for (const auto& c : cases) {
        const PixelSize got = renderSizeFor(c.window, c.mode, c.limit);
        EXPECT_EQ(got, c.render) << c.window.width << "x" << c.window.height << " mode " << c.mode << " limit "
                                 << c.limit << " -> " << got.width << "x" << got.height;
    }
}

TEST(RenderSize, PointerMapsCornerToCorner) {
    EXPECT_EQ(windowToRender(0, 1920, 1280), 0);
    EXPECT_EQ(windowToRender(1919, 1920, 1280), 1279);
    EXPECT_EQ(windowToRender(960, 1920, 1280), 640);  // 1279 * 960 / 1919 = 639.8
    EXPECT_EQ(windowToRender(500, 1024, 1024), 500);
    EXPECT_EQ(windowToRender(7, 1, 5), 7);  // a degenerate window divides by nothing
}

TEST(TextInput, ShortcutTextsAreKeptFromThePages) {
    const struct {
        const char* text;
        bool ctrl, shift, alt, swallowed;
    } cases[] = {
        {"5", true, false, false, true},  {"/", true, false, false, true}, {"-", true, false, false, true},
        {"a", true, false, false, false}, {"5", true, true, false, false}, {"5", false, true, false, false},
        {"5", false, false, true, true},  {"/", false, false, true, false}, {"5", true, false, true, false},
        {"55", true, false, false, false}, {"5", false, false, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(swallowTextInput(c.text, c.ctrl, c.shift, c.alt), c.swallowed)
            << c.text << " ctrl=" << c.ctrl << " shift=" << c.shift << " alt=" << c.alt;
    }
}

EventRoute page(HtmlWindow window, bool leave = false) { return {false, window, leave}; }
const EventRoute kGameView{true, HtmlWindow::BottomBox, false};

TEST(Routing, DialogsComeBeforeTheState) {
    bool previous = false;
    RouteInput in;
    in.state = STATE_GAME;
    in.mouseEvent = true;
    in.peopleOpen = in.invitesOpen = in.bioTutOpen = true;
    EXPECT_EQ(routeEvent(in, previous), page(HtmlWindow::BioTut));
    in.settingsPanelOpen = true;
    EXPECT_EQ(routeEvent(in, previous), page(HtmlWindow::GameSettings));
    in.tasksOpen = in.matchStatsOpen = true;
    EXPECT_EQ(routeEvent(in, previous), page(HtmlWindow::MatchStats));
    in.cueStoreOpen = in.replaysOpen = true;
    EXPECT_EQ(routeEvent(in, previous), page(HtmlWindow::Replays));
    in.alertsOpen = true;
    EXPECT_EQ(routeEvent(in, previous), page(HtmlWindow::Alerts));
    in.coinTossPrompt = true;
    EXPECT_EQ(routeEvent(in, previous), page(HtmlWindow::CoinToss));
}

TEST(Routing, ByState) {
    const struct {
        AppState state;
        HtmlWindow window;
    } cases[] = {{STATE_STARTUP, HtmlWindow::Login},
                 {STATE_LOGIN, HtmlWindow::Login},
                 {STATE_CONNECTING, HtmlWindow::Login},
                 {STATE_LOBBY, HtmlWindow::Lobby},
                 {STATE_TABLE, HtmlWindow::BottomBox},
                 {STATE_COIN_TOSS, HtmlWindow::BottomBox}};
    for (const auto& c : cases) {
        bool previous = false;
        RouteInput in;
        in.state = c.state;
        EXPECT_EQ(routeEvent(in, previous), page(c.window)) << c.state;
    }
}

TEST(Routing, TableStateGivesStartMatchItsEventsAndTheLeave) {
    bool previous = false;
    RouteInput in;
    in.state = STATE_TABLE;
    in.mouseEvent = true;
    in.overStartMatch = true;
    EXPECT_EQ(routeEvent(in, previous), page(HtmlWindow::StartMatch));
    EXPECT_TRUE(previous);
    // The pointer moves off: StartMatch first sees it leave, the event goes to the bottom bar.
    in.overStartMatch = false;
    EXPECT_EQ(routeEvent(in, previous), page(HtmlWindow::BottomBox, true));
    EXPECT_EQ(routeEvent(in, previous), page(HtmlWindow::BottomBox));
    // Hidden, in a tutorial or a replay, StartMatch gets nothing.
    in.overStartMatch = true;
    for (bool RouteInput::*flag : {&RouteInput::inTutorial, &RouteInput::replayMode, &RouteInput::startMatchHidden}) {
        RouteInput blocked = in;
        blocked.*flag = true;
        EXPECT_EQ(routeEvent(blocked, previous), page(HtmlWindow::BottomBox));
    }
    // A capture decides alone, also for keys.
    in.mouseEvent = false;
    in.mouseCaptured = true;
    in.captureWindow = static_cast<int>(HtmlWindow::StartMatch);
    EXPECT_EQ(routeEvent(in, previous), page(HtmlWindow::StartMatch));
    in.captureWindow = static_cast<int>(HtmlWindow::BottomBox);
    EXPECT_EQ(routeEvent(in, previous), page(HtmlWindow::BottomBox, true));
    // A key over StartMatch without capture is not a mouse event over it.
    in.mouseCaptured = false;
    EXPECT_EQ(routeEvent(in, previous), page(HtmlWindow::BottomBox));
}

TEST(Routing, CoinTossStateByPointerOrCapture) {
    bool previous = false;
    RouteInput in;
    in.state = STATE_COIN_TOSS;
    in.mouseEvent = true;
    in.overCoinToss = true;
    EXPECT_EQ(routeEvent(in, previous), page(HtmlWindow::CoinToss));
    in.mouseCaptured = true;  // captured by no page: the pointer does not count
    EXPECT_EQ(routeEvent(in, previous), page(HtmlWindow::BottomBox));
}

TEST(Routing, FrameInPlayBetweenBottomBarAndGameView) {
    const struct {
        bool mouse, inBottom, captured;
        int captureWindow;
        bool gameViewCaptured, pov;
        EventRoute route;
    } cases[] = {
        {true, false, false, -1, false, false, kGameView},
        {true, true, false, -1, false, false, page(HtmlWindow::BottomBox)},
        {false, false, false, -1, false, false, page(HtmlWindow::BottomBox)},
        {true, true, true, -1, false, false, kGameView},
        {true, false, true, 4, false, false, page(HtmlWindow::BottomBox)},
        {true, true, false, -1, true, false, kGameView},
        {false, false, false, -1, true, false, page(HtmlWindow::BottomBox)},
        {false, false, false, -1, true, true, kGameView},
        {false, false, true, -1, true, false, kGameView},
        {false, false, true, 4, true, false, page(HtmlWindow::BottomBox)},
    };
    int row = 0;
    for (const auto& c : cases) {
        bool previous = false;
        RouteInput in;
        in.state = STATE_GAME;
        in.mouseEvent = c.mouse;
        in.inBottomArea = c.inBottom;
        in.mouseCaptured = c.captured;
        in.captureWindow = c.captureWindow;
        in.gameViewCaptured = c.gameViewCaptured;
        in.povMode = c.pov;
        EXPECT_EQ(routeEvent(in, previous), c.route) << "row " << row;
        ++row;
    }
}

TEST(FrameRate, ReportedEveryThreeSecondsAsFramesOverThree) {
    FpsCounter counter(1000);
    float fps = -1;
    for (uint32_t frame = 1; frame < 180; ++frame) EXPECT_FALSE(counter.countFrame(1000 + frame * 16, fps));
    EXPECT_TRUE(counter.countFrame(4000, fps));
    EXPECT_EQ(fps, 60.0f);
    EXPECT_EQ(fpsStatement(fps, true), "inbzSetFps({fps:60});");
    EXPECT_EQ(fpsStatement(fps, false), "inbzSetFps({fps:0});");
    EXPECT_EQ(fpsStatement(100.0f / 3, true), "inbzSetFps({fps:33.3333});");
    // A new window begins: a slow one still divides by three.
    EXPECT_FALSE(counter.countFrame(6999, fps));
    EXPECT_TRUE(counter.countFrame(9000, fps));
    EXPECT_FLOAT_EQ(fps, 2.0f / 3);
    // Across the wrap of the tick counter.
    FpsCounter wrapping(0xFFFFF000u);
    EXPECT_FALSE(wrapping.countFrame(0xFFFFF800u, fps));
    EXPECT_TRUE(wrapping.countFrame(0x00000400u, fps));
    for (AppState state : {STATE_STARTUP, STATE_LOGIN, STATE_CONNECTING}) EXPECT_FALSE(fpsReportedInState(state));
    for (AppState state : {STATE_LOBBY, STATE_TABLE, STATE_COIN_TOSS, STATE_GAME}) EXPECT_TRUE(fpsReportedInState(state));
}

TEST(Idle, AwayAfterFiveMinutesAndBackOnInput) {
    int flags = 3;
    uint32_t lastInput = 5000;
    EXPECT_FALSE(updateAwayFlag(flags, lastInput, false, 5000 + 299999));
    EXPECT_TRUE(updateAwayFlag(flags, lastInput, false, 5000 + 300000));
    EXPECT_EQ(flags, 3 | 8);
    EXPECT_FALSE(updateAwayFlag(flags, lastInput, false, 5000 + 900000));  // set once
    EXPECT_TRUE(updateAwayFlag(flags, lastInput, true, 5000 + 900001));
    EXPECT_EQ(flags, 3);
    EXPECT_EQ(lastInput, 5000u + 900001);
    EXPECT_FALSE(updateAwayFlag(flags, lastInput, true, 5000 + 900002));
}

TEST(Quit, LeaveWarningOnlyWhileSeatedAgainstAnother) {
    Player me{"me"}, other{"other"}, twin{"me"};
    const struct {
        AppState state;
        bool replay;
        const Player* seat0;
        const Player* seat1;
        bool warned;
    } cases[] = {
        {STATE_GAME, false, &me, &other, true},     {STATE_GAME, false, &other, &me, true},
        {STATE_GAME, true, &me, &other, false},     {STATE_TABLE, false, &me, &other, false},
        {STATE_GAME, false, nullptr, &me, false},   {STATE_GAME, false, &me, nullptr, false},
        {STATE_GAME, false, &me, &twin, false},     {STATE_GAME, false, &other, &other, false},
    };
    int row = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(quitNeedsLeaveWarning(c.state, c.replay, c.seat0, c.seat1, "me"), c.warned) << "row " << row;
        ++row;
    }
}

}  // namespace
