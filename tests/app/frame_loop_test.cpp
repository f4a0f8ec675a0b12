// The frame loop's steps driven by real SDL events without a window: the quit path, the resize,
// key and text routing, the page start-up gate, the loading step, the away flag and the rate report.
#include "app/client_neighbours.h"
#include "app/frame_loop.h"
#include "app/sdl_platform.h"
#include "app/process_signals.h"
#include "app/shell_globals.h"
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "net/connection_handler.h"
#include "physics/player.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <deque>
#include <utility>
#include <vector>

namespace {

class RecordingNeighbours : public ShellNeighbours {
public:
    bool drawFrame(bool mustDraw) override {
        draws.push_back(mustDraw);
        return mustDraw;  // a scene where nothing changes by itself
    }
    void applyGameSettings() override { ++settingsApplied; }
    void pumpEngine() override {}
    bool keyDown(SDL_Keycode key, int, int) override { return key == SDLK_F2; }
    void sendToPage(HtmlWindow window, const SDL_Event& event, const PageInputGeometry&) override {
        pageEvents.push_back({window, event.type});
    }
    void setViewport(bool refitCamera) override {
        viewports.push_back(refitCamera);
        resizeSteps.push_back("viewport");
    }
    void windowResized() override { resizeSteps.push_back("offscreen"); }
    void resizePages() override { resizeSteps.push_back("pages"); }
    bool takePageStartedReport() override { return std::exchange(pageStarted, false); }
    std::string loadFirstPendingPage() override { return pending.empty() ? "" : pending.front(); }
    bool loadResourcesStep() override { return ++loadingSteps == 3; }
    // The product's own flags: where the game controller's dialogs send the input.
    GameInputFlags gameInputFlags() override { return wired.gameInputFlags(); }
    ClientNeighbours wired;

    struct PageEvent {
        HtmlWindow window;
        uint32_t type;
    };
    std::vector<PageEvent> pageEvents;
    std::vector<bool> draws;
    std::vector<bool> viewports;
    std::vector<std::string> resizeSteps;
    bool pageStarted = true;
    std::deque<std::string> pending;
    int loadingSteps = 0;
    int settingsApplied = 0;
};

class FrameLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
        resetShellGlobals();
        connectionHandler = new ConnectionHandler();
        setPageScriptSink(&pages);
        appRunning = true;
        appState = STATE_LOBBY;
        resourcesLoaded = true;
        loop.pacing = false;
        loop.prepare(SDL_GetTicks());
    }
    void TearDown() override {
        setPageScriptSink(nullptr);
        delete connectionHandler;
        connectionHandler = nullptr;
        GameHandler& gh = getGameHandler();
        gh.table.seats[0] = gh.table.seats[1] = nullptr;
        gh.alertsPanel = {};
        gh.userFlags = 0;
        SDL_Quit();
    }
    static void push(SDL_Event event) { SDL_PushEvent(&event); }
    static SDL_Event ofType(uint32_t type) {
        SDL_Event event{};
        event.type = type;
        return event;
    }

    // The own user in the second seat of a game, the other in the first.
    static void seatInGame(Player& me, Player& other) {
        connectionHandler->userName = me.nick;
        getGameHandler().table.seats[0] = &other;
        getGameHandler().table.seats[1] = &me;
        appState = STATE_GAME;
    }

    RecordingPageScriptSink pages;
    RecordingNeighbours neighbours;
    MonotonicPacingClock clock;
    FrameLoop loop{neighbours, clock};
};

TEST_F(FrameLoopTest, QuitWhileSeatedWarnsOtherwiseLogsOutAndEnds) {
    GameHandler& gh = getGameHandler();
    Player me{"me"}, other{"other"};
    seatInGame(me, other);
    push(ofType(SDL_QUIT));
    EXPECT_TRUE(loop.runFrame());
    EXPECT_TRUE(appRunning);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Alerts), std::vector<std::string>{"inbzOpenLeaveWarning();"});
    EXPECT_TRUE(gh.alertsPanel.visible);
    EXPECT_DOUBLE_EQ(gh.alertsPanel.openedAt, gh.now + 0.2);

    gh.table.seats[0] = nullptr;  // the opponent left: nothing to warn about
    push(ofType(SDL_QUIT));
    EXPECT_FALSE(loop.runFrame());
    EXPECT_FALSE(appRunning);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Login), std::vector<std::string>{"logout();"});
    EXPECT_EQ(connectionHandler->outgoingCount(), 1u);  // the logout request
    EXPECT_TRUE(connectionHandler->logoutPending);
}

// The CoinToss window's dialogs are drawn at the table; while one is open it takes every page event.
TEST_F(FrameLoopTest, AnOpenDialogOfTheCoinTossWindowTakesThePageEvents) {
    GameHandler& gh = getGameHandler();
    gh.inTutorial = true;
    appState = STATE_TABLE;
    SDL_Event click = ofType(SDL_MOUSEBUTTONDOWN);
    click.button.x = 500;
    click.button.y = 100;
    for (bool open : {true, false}) {
        gh.tutResultPanel.visible = open;
        neighbours.pageEvents.clear();
        push(click);
        loop.runFrame();
        ASSERT_EQ(neighbours.pageEvents.size(), 1u);
        EXPECT_EQ(neighbours.pageEvents[0].window, open ? HtmlWindow::CoinToss : HtmlWindow::BottomBox);
    }
    gh.inTutorial = false;
}

TEST_F(FrameLoopTest, AStopSignalWhileSeatedLogsOutAndEndsWithoutAsking) {
    Player me{"me"}, other{"other"};
    seatInGame(me, other);
    installStopSignalHandlers();
    ASSERT_EQ(std::raise(SIGTERM), 0);  // the process lives on: the handler only notes it
    EXPECT_FALSE(loop.runFrame());
    EXPECT_FALSE(appRunning);
    EXPECT_TRUE(pages.statementsFor(HtmlWindow::Alerts).empty());
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Login), std::vector<std::string>{"logout();"});
    EXPECT_TRUE(connectionHandler->logoutPending);
    clearStopSignal();
    std::signal(SIGTERM, SIG_DFL);
}

TEST_F(FrameLoopTest, InputOrAWindowEventHasTheNextFrameDrawnWholeAndEveryPassCounts) {
    EXPECT_TRUE(loop.runFrame());  // the first frame is always drawn
    EXPECT_TRUE(loop.runFrame());
    push(ofType(SDL_KEYDOWN));
    EXPECT_TRUE(loop.runFrame());  // drawn before the events: the key shows in the next one
    EXPECT_TRUE(loop.runFrame());
    SDL_Event exposed = ofType(SDL_WINDOWEVENT);
    exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
    push(exposed);
    EXPECT_TRUE(loop.runFrame());
    EXPECT_TRUE(loop.runFrame());
    EXPECT_TRUE(loop.runFrame());
    EXPECT_EQ(neighbours.draws, (std::vector<bool>{true, false, false, true, false, true, false}));
    EXPECT_EQ(loop.framesRun(), 7u);
    EXPECT_EQ(loop.framesDrawn(), 3u);
}

TEST_F(FrameLoopTest, AQueueThatKeepsFillingEndsEachFrameAtItsBoundAndTheNextFrameGoesOn) {
    static std::vector<uint32_t> handled;
    handled.clear();
    // Each message handled brings the next, as a flooding server would: a drain to the end never ends.
    const MessageProcessor previous = setMessageProcessor([](GameHandler&, const Message& message) {
        handled.push_back(message.iid);
        connectionHandler->messageReceived(Message(MessageId::CHAT_MESSAGE, message.iid + 1));
    });
    connectionHandler->messageReceived(Message(MessageId::CHAT_MESSAGE, 1));
    EXPECT_TRUE(loop.runFrame());
    EXPECT_EQ(handled.size(), size_t(MAX_MESSAGES_PER_FRAME));
    EXPECT_TRUE(loop.runFrame());
    setMessageProcessor(previous);
    ASSERT_EQ(handled.size(), size_t(2 * MAX_MESSAGES_PER_FRAME));
    for (size_t i = 0; i < handled.size(); ++i) ASSERT_EQ(handled[i], i + 1);
}

TEST_F(FrameLoopTest, ResizeFollowsTheLimitAndSmallSizesGoToThePage) {
    GameHandler& gh = getGameHandler();
    gh.gameSettings.scalingMode = 1;
    gh.gameSettings.resolutionLimit = 1280;
    SDL_Event resize = ofType(SDL_WINDOWEVENT);
    resize.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    resize.window.data1 = 1920;
    resize.window.data2 = 1080;
    push(resize);
    resize.window.data1 = 1000;  // below the minimum: not taken
    push(resize);
    resize.window.data1 = 1600;
    resize.window.data2 = 900;
    push(resize);
    ASSERT_TRUE(loop.runFrame());
    gh.gameSettings.scalingMode = 0;
    EXPECT_EQ(windowWidth, 1600);
    EXPECT_EQ(renderWidth, 1280);
    EXPECT_EQ(renderHeight, 720);
    EXPECT_EQ(neighbours.viewports, (std::vector<bool>{true, false}));  // the first resize refits the camera
    // The picture's size first, the viewport into it, then the pages over it.
    EXPECT_EQ(neighbours.resizeSteps, (std::vector<std::string>{"offscreen", "viewport", "pages", "offscreen",
                                                                 "viewport", "pages"}));
    ASSERT_EQ(neighbours.pageEvents.size(), 1u);
    EXPECT_EQ(neighbours.pageEvents[0].window, HtmlWindow::Lobby);
}

TEST_F(FrameLoopTest, KeysAndTextReachThePageUnlessTakenAsShortcuts) {
    SDL_Event key = ofType(SDL_KEYDOWN);
    key.key.keysym.sym = SDLK_F2;  // taken by the game view
    push(key);
    key.key.keysym.sym = SDLK_a;
    push(key);
    key.type = SDL_KEYUP;
    push(key);
    SDL_Event text = ofType(SDL_TEXTINPUT);
    std::strcpy(text.text.text, "5");
    push(text);
    ASSERT_TRUE(loop.runFrame());
    ASSERT_EQ(neighbours.pageEvents.size(), 3u);
    EXPECT_EQ(neighbours.pageEvents[0].type, static_cast<uint32_t>(SDL_KEYDOWN));
    EXPECT_EQ(neighbours.pageEvents[2].type, static_cast<uint32_t>(SDL_TEXTINPUT));

    // Ctrl+5 is a shortcut of keyDown, typed quickly: every event of it is in the queue at once, and
    // SDL's own state already has Ctrl up again when the text is handled.
    SDL_Event ctrl = ofType(SDL_KEYDOWN);
    ctrl.key.keysym.sym = SDLK_LCTRL;
    ctrl.key.keysym.mod = KMOD_LCTRL;
    push(ctrl);
    push(text);
    ctrl.type = SDL_KEYUP;
    ctrl.key.keysym.mod = KMOD_NONE;
    push(ctrl);
    neighbours.pageEvents.clear();
    ASSERT_TRUE(loop.runFrame());
    ASSERT_EQ(neighbours.pageEvents.size(), 2u);  // the Ctrl key's two events, not the text
    EXPECT_EQ(neighbours.pageEvents[1].type, static_cast<uint32_t>(SDL_KEYUP));
}

// The game view reads the modifiers of the key event it handles, not those after the queue.
TEST_F(FrameLoopTest, AQuickCombinationKeepsItsModifierForTheGameView) {
    struct Seen : RecordingNeighbours {
        bool keyDown(SDL_Keycode key, int, int) override {
            if (key == SDLK_f) ctrlAtF = (eventModifiers() & KMOD_CTRL) != 0;
            return false;
        }
        bool ctrlAtF = false;
    } seen;
    FrameLoop quick{seen, clock};
    quick.pacing = false;
    quick.prepare(SDL_GetTicks());
    SDL_Event e = ofType(SDL_KEYDOWN);
    e.key.keysym.sym = SDLK_LCTRL;
    e.key.keysym.mod = KMOD_LCTRL;
    push(e);
    e.key.keysym.sym = SDLK_f;
    push(e);
    e.type = SDL_KEYUP;
    push(e);
    e.key.keysym.sym = SDLK_LCTRL;
    e.key.keysym.mod = KMOD_NONE;
    push(e);
    ASSERT_TRUE(quick.runFrame());
    EXPECT_TRUE(seen.ctrlAtF);
    EXPECT_EQ(eventModifiers() & KMOD_CTRL, 0);  // after the pass: SDL's state, Ctrl up
}

TEST_F(FrameLoopTest, PagesStartOneByOneThenLoginThenLoadingOnce) {
    appState = STATE_STARTUP;
    resourcesLoaded = false;
    neighbours.pending = {"Login", "Lobby"};
    ASSERT_TRUE(loop.runFrame());
    EXPECT_TRUE(neighbours.pageStarted) << "nothing is loaded before the first page is due";

    loop.prepare(SDL_GetTicks() - PAGE_START_DELAY_MS);
    ASSERT_TRUE(loop.runFrame());  // Login is loaded
    ASSERT_TRUE(loop.runFrame());  // and has not reported: the list waits
    neighbours.pending.pop_front();
    neighbours.pageStarted = true;
    ASSERT_TRUE(loop.runFrame());  // Lobby
    neighbours.pending.pop_front();
    neighbours.pageStarted = true;
    const uint32_t before = SDL_GetTicks();
    ASSERT_TRUE(loop.runFrame());
    EXPECT_EQ(appState, STATE_LOGIN);
    EXPECT_GE(loginStateTicks, before);

    // Loading starts three seconds after the login state, one step per frame.
    ASSERT_TRUE(loop.runFrame());
    EXPECT_EQ(neighbours.loadingSteps, 0);
    loginStateTicks -= LOADING_DELAY_MS;
    for (int frame = 0; frame < 5; ++frame) ASSERT_TRUE(loop.runFrame());
    EXPECT_EQ(neighbours.loadingSteps, 3);
    EXPECT_TRUE(resourcesLoaded);
    EXPECT_EQ(neighbours.settingsApplied, 1);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Login).back(), LOADING_DONE_SCRIPT);
}

TEST_F(FrameLoopTest, IdleUserIsAwayUntilTheNextKeyAndTheRateIsReported) {
    GameHandler& gh = getGameHandler();
    gh.gameSettings.displayFps = 1;
    loop.prepare(SDL_GetTicks() - IDLE_AFTER_MS);
    ASSERT_TRUE(loop.runFrame());
    EXPECT_EQ(gh.userFlags & USER_FLAG_AWAY, USER_FLAG_AWAY);
    EXPECT_EQ(connectionHandler->outgoingCount(), 1u);
    // The rate window began as long ago: one frame in three seconds.
    EXPECT_FLOAT_EQ(gh.measuredFps, 1.0f / 3);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::TopBox).size(), 1u);

    push(ofType(SDL_KEYDOWN));
    ASSERT_TRUE(loop.runFrame());
    EXPECT_EQ(gh.userFlags & USER_FLAG_AWAY, 0);
    EXPECT_EQ(connectionHandler->outgoingCount(), 2u);
    gh.gameSettings.displayFps = 0;
}

}  // namespace
