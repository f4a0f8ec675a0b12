// The window's layout: title-bar drag thresholds and capture, maximise, the bottom area's heights
// and easing, and the top bar's place beside the table.
#include "app/window_layout.h"

#include "app/shell_globals.h"
#include "client/gamehandler/game_handler.h"
#include "core/page_script.h"
#include "support/fake_clock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class FakeWindowSystem : public WindowSystem {
public:
    int mouseX = 0, mouseY = 0;
    uint32_t buttons = 0;
    int windowX = 100, windowY = 50;
    uint32_t flags = 0;
    std::vector<std::string> calls;

    uint32_t globalMouseState(int& x, int& y) override {
        x = mouseX;
        y = mouseY;
        return buttons;
    }
    void windowPosition(int& x, int& y) override {
        x = windowX;
        y = windowY;
    }
    void setWindowPosition(int x, int y) override {
        windowX = x;
        windowY = y;
        calls.push_back("move " + std::to_string(x) + "," + std::to_string(y));
    }
    void captureMouse(bool on) override {
        if (on) flags |= SDL_WINDOW_MOUSE_CAPTURE;
        else flags &= ~uint32_t(SDL_WINDOW_MOUSE_CAPTURE);
        calls.push_back(on ? "capture" : "release");
    }
    uint32_t windowFlags() override { return flags; }
    void maximize() override {
        flags |= SDL_WINDOW_MAXIMIZED;
        calls.push_back("maximize");
    }
    void restore() override {
        flags &= ~uint32_t(SDL_WINDOW_MAXIMIZED);
        calls.push_back("restore");
    }
};

class WindowLayout : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = setWindowSystem(&fake);
        previousSink_ = setPageScriptSink(&pages);
        windowDrag = WindowDrag{};
        bottomAnimation = BottomAnimation{};
        resetShellGlobals();
        GameHandler& gh = getGameHandler();
        gh.bottomBoxCollapsed = false;
        gh.bottomBoxFullSize = true;
        gh.replayMode = false;
    }
    void TearDown() override {
        setWindowSystem(previous_);
        setPageScriptSink(previousSink_);
    }

    // One press at the current pointer, handled as the frame loop does.
    void press() {
        beginWindowDragEvent();
        startWindowDrag(false);
        endWindowDragEvent();
        requestWindowDrag();
    }
    void moveTo(int x, int y) {
        fake.mouseX = x;
        fake.mouseY = y;
        beginWindowDragEvent();
        if (windowDrag.requested) dragWindow();
        endWindowDragEvent();
    }

    FakeWindowSystem fake;
    RecordingPageScriptSink pages;
    WindowSystem* previous_ = nullptr;
    PageScriptSink* previousSink_ = nullptr;
};

TEST_F(WindowLayout, DragStartsAfterFourPixelsThenFollowsEveryPixel) {
    fake.mouseX = 500;
    fake.mouseY = 20;
    fake.buttons = SDL_BUTTON_LMASK;
    press();
    EXPECT_TRUE(windowDrag.active);
    moveTo(503, 17);
    moveTo(497, 23);
    EXPECT_TRUE(fake.calls == std::vector<std::string>{"capture"});
    moveTo(500, 24);
    moveTo(501, 24);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"capture", "move 100,54", "move 101,54"}));
    // A horizontal 4 also starts a drag.
    windowDrag = WindowDrag{};
    fake.calls.clear();
    press();
    moveTo(fake.mouseX + 4, fake.mouseY);
    EXPECT_EQ(fake.calls.back(), "move 105,54");
}

TEST_F(WindowLayout, ReleaseEndsTheDragAndTheCapture) {
    fake.buttons = SDL_BUTTON_LMASK;
    press();
    // The release may happen outside the window: the capture reports it.
    fake.buttons = 0;
    beginWindowDragEvent();
    if (windowDrag.active) checkMouseButtonsReleased();
    endWindowDragEvent();
    EXPECT_FALSE(windowDrag.active);
    EXPECT_EQ(fake.calls.back(), "release");
    // The next motion without buttons drops the page's request.
    moveTo(900, 900);
    EXPECT_FALSE(windowDrag.requested);
    EXPECT_EQ(fake.windowX, 100);
}

TEST_F(WindowLayout, NoDragWhileTheGameViewHoldsTheMouse) {
    beginWindowDragEvent();
    startWindowDrag(true);
    endWindowDragEvent();
    EXPECT_FALSE(windowDrag.active);
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(WindowLayout, MaximizeToggles) {
    toggleMaximize();
    toggleMaximize();
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"maximize", "restore"}));
}

TEST_F(WindowLayout, BottomAreaHeightTable) {
    struct Row {
        bool collapsed, replay, full;
        int height;
    };
    const Row rows[] = {
        {true, true, false, 58},  {true, true, true, 58},   {true, false, true, 58},
        {true, false, false, 32}, {false, true, false, 229}, {false, true, true, 229},
        {false, false, true, 280}, {false, false, false, 130},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.collapsed) + std::to_string(r.replay) + std::to_string(r.full));
        EXPECT_EQ(bottomAreaHeight(r.collapsed, r.replay, r.full), r.height);
    }
}

TEST_F(WindowLayout, ToggleFoldsThenUnfoldsWithEasedHeights) {
    bztest::FakeClock clock;
    clock.setSeconds(10.0);
    GameHandler& gh = getGameHandler();
    setBottomBoxFullSize(true, true);  // the same size with the bar open: fold
    EXPECT_TRUE(gh.bottomBoxCollapsed);
    EXPECT_TRUE(gh.bottomBoxUserCollapsed);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox),
              (std::vector<std::string>{"inbzSetSize({isFullSize:true});", "inbzShowNotification(false);"}));
    // 280 -> 58 over 0.4 s along half a cosine.
    const double times[] = {10.0, 10.2, 10.4};
    const int heights[] = {280, 169, 58};
    for (int i = 0; i < 3; ++i) {
        clock.setSeconds(times[i]);
        animateBottomBox();
        EXPECT_EQ(bottomAreaPixels, heights[i]) << "t=" << times[i] - 10.0;
    }
    EXPECT_FALSE(bottomAnimation.running);

    pages.clear();
    setBottomBoxFullSize(true, true);  // again, folded: unfold
    EXPECT_FALSE(gh.bottomBoxCollapsed);
    EXPECT_TRUE(gh.bottomBoxFullSize);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox),
              (std::vector<std::string>{"inbzSetSize({isFullSize:true});", "inbzShowNotification(false);"}));
}

TEST_F(WindowLayout, ShortSizeTellsThePageOnlyWhenTheBarWasFolded) {
    bztest::FakeClock clock;
    GameHandler& gh = getGameHandler();
    // From the open full bar: the page made the change itself and is not told again.
    setBottomBoxFullSize(true, false);
    EXPECT_FALSE(gh.bottomBoxFullSize);
    EXPECT_FALSE(gh.bottomBoxUserFullSize);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox), (std::vector<std::string>{"inbzShowNotification(false);"}));
    // From the folded full bar it is.
    pages.clear();
    gh.bottomBoxFullSize = true;
    gh.bottomBoxCollapsed = true;
    setBottomBoxFullSize(false, false);
    EXPECT_FALSE(gh.bottomBoxCollapsed);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox),
              (std::vector<std::string>{"inbzSetSize({isFullSize:false});", "inbzShowNotification(false);"}));
}

TEST_F(WindowLayout, AGrowingAreaAlsoEndsOnTheTarget) {
    bztest::FakeClock clock;
    GameHandler& gh = getGameHandler();
    gh.bottomBoxCollapsed = true;
    gh.bottomBoxFullSize = false;
    bottomAreaPixels = 32;
    setBottomBoxFullSize(true, true);
    clock.setSeconds(0.2);
    animateBottomBox();
    EXPECT_EQ(bottomAreaPixels, 156);  // 32 + 124
    clock.setSeconds(0.5);
    animateBottomBox();
    EXPECT_EQ(bottomAreaPixels, 280);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox).back(), "inbzSetSize({isFullSize:true});");
}

TEST_F(WindowLayout, ReplayModeJumpsWithoutAnimation) {
    getGameHandler().replayMode = true;
    layoutBottomArea(true, nullptr);
    EXPECT_EQ(bottomAreaPixels, 229);
    EXPECT_FALSE(bottomAnimation.running);
    getGameHandler().bottomBoxCollapsed = true;
    layoutBottomArea(true, nullptr);
    EXPECT_EQ(bottomAreaPixels, 58);
    getGameHandler().replayMode = false;
    getGameHandler().bottomBoxCollapsed = false;
}

// The scene is drawn at the render size: with scaling on, the viewport is the off-screen picture's,
// not the window's (which would crop it).
TEST_F(WindowLayout, SceneViewportAtTheRenderSize) {
    GameHandler& gh = getGameHandler();
    struct Case {
        int scalingMode, renderW, renderH;
        int viewport[4];
    };
    for (const Case& c : {Case{0, 1600, 900, {0, 280, 1600, 620}}, Case{1, 1280, 720, {0, 224, 1280, 496}},
                          Case{2, 1280, 720, {0, 280, 1280, 440}}}) {
        gh.gameSettings.scalingMode = c.scalingMode;
        windowWidth = 1600;
        windowHeight = 900;
        renderWidth = c.renderW;
        renderHeight = c.renderH;
        bottomAreaPixels = 280;
        topAreaHeight = 0;
        setSceneViewport(gh);
        EXPECT_EQ(std::vector<int>(gh.viewport, gh.viewport + 4), std::vector<int>(c.viewport, c.viewport + 4))
            << "scaling mode " << c.scalingMode;
    }
    gh.gameSettings.scalingMode = 0;
}

TEST_F(WindowLayout, TopBarPlace) {
    EXPECT_EQ(topBoxSizeAndPlace(0, 1024, 647, 1024, 647, 280), (TopBoxPlace{21, 197, 229}));
    // Scaling mode 2 measures in render pixels alone.
    EXPECT_EQ(topBoxSizeAndPlace(2, 2048, 1294, 1024, 647, 280), (TopBoxPlace{21, 197, 229}));
    // Mode 1: the render picture is stretched over the window, so the numbers are window pixels.
    const TopBoxPlace stretched = topBoxSizeAndPlace(1, 2048, 1294, 1024, 647, 280);
    EXPECT_EQ(stretched.right - stretched.left, 64);
    EXPECT_EQ(topBoxPlaceStatement({21, 197, 229}),
              "if (typeof inbzSizeAndPlace !== 'undefined') { inbzSizeAndPlace({height: 21,left: 197,right: 229}); }");
}

}  // namespace
