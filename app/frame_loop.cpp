#include "app/frame_loop.h"
#include "app/process_signals.h"

#include "app/sdl_platform.h"
#include "app/sdl_settings_window.h"
#include "app/shell_globals.h"
#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/requests.h"
#include "client/gamehandler/state_change.h"
#include "core/app_status.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/page_script.h"
#include "net/connection_handler.h"

#include <malloc.h>

const char* const LOADING_DONE_SCRIPT =
    "function loadingDoneCaller() {    if (typeof loadingDone !== 'undefined') {        loadingDone();    }"
    "    else {        setTimeout(loadingDoneCaller, 1000);    }};loadingDoneCaller();";

namespace {

// Tick comparisons by difference, so they hold across the wrap of the 32-bit counter.
bool reached(uint32_t now, uint32_t mark) { return static_cast<int32_t>(now - mark) >= 0; }

bool usesRenderGrid() { return getGameHandler().gameSettings.scalingMode == 2; }

// The dialog panel shown in this window is open; GameSettings holds three of them.
bool panelOpen(const GameHandler& gh, HtmlWindow window) {
    switch (window) {
        case HtmlWindow::Alerts: return gh.alertsPanel.visible;
        case HtmlWindow::Replays: return gh.replaysPanel.visible;
        case HtmlWindow::CueStore: return gh.cueStorePanel.visible;
        case HtmlWindow::MatchStats: return gh.lineUpPanel.visible;
        case HtmlWindow::Tasks: return gh.tasksPanel.visible;
        case HtmlWindow::GameSettings:
            return gh.gameSettingsPanel.visible || gh.matchSettingsPanel.visible || gh.myAccountPanel.visible;
        case HtmlWindow::BioTut: return gh.bioTutPanel.visible;
        case HtmlWindow::Invites: return gh.invitesPanel.visible;
        case HtmlWindow::People: return gh.peoplePanel.visible;
        default: return false;
    }
}

}  // namespace

FrameLoop::FrameLoop(ShellNeighbours& neighbours, PacingClock& pacingClock)
    : neighbours_(neighbours), pacer_(pacingClock) {}

void FrameLoop::prepare(uint32_t nowTicks) {
    pageStartTime_ = nowTicks + PAGE_START_DELAY_MS;
    fps_.restart(nowTicks);
    lastInputTicks_ = nowTicks;
    loginStateTicks = nowTicks;
    previousReplayMode_ = getGameHandler().replayMode;
    SDL_DisplayMode mode{};
    if (mainWindow != nullptr && SDL_GetWindowDisplayMode(mainWindow, &mode) == 0) {
        pacer_.setDisplayRefreshHz(mode.refresh_rate);
    }
}

bool FrameLoop::runFrame() {
    GameHandler& gh = getGameHandler();
    const uint32_t frameStart = SDL_GetTicks();
    gh.now = secondsSinceStart().seconds;
    const bool replayMode = gh.replayMode;
    if (!replayMode) gh.gameClockMs = static_cast<int>(gh.now * 1000.0);

    // Input handled in the last pass may show at once in the game view; a window event may have
    // uncovered the window; a loading step may have brought a model: those frames are drawn whole.
    neighbours_.takePagePixels();
    const bool drew = neighbours_.drawFrame(drawWanted_ || inputThisFrame_);
    drawWanted_ = false;
    neighbours_.updateGame();

    inputThisFrame_ = false;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) handleEvent(event);
    eventPassDone();
    // A stop from outside ends the run in any state, as a confirmed quit does.
    if (stopSignalReceived() && appRunning) {
        BZ_LOG(LOG_INFO, "main", "Stop signal received, quitting");
        quit(true);
    }

    if (connectionHandler != nullptr && connectionHandler->logoutPending && gh.now > connectionHandler->logoutDeadline) {
        connectionHandler->logoutPending = false;
        connectionHandler->disconnect();
    }

    neighbours_.pumpEngine();
    if (!appRunning) return false;

    gh.processMessageQueue();
    applyPostedStateChanges();
    neighbours_.actOnPageFlags(replayMode != previousReplayMode_);
    reportFrameRate(frameStart);

    if (appState == STATE_STARTUP) pageStartupStep(frameStart);
    loadingStep(frameStart);

    if (updateAwayFlag(gh.userFlags, lastInputTicks_, inputThisFrame_, frameStart) && connectionHandler != nullptr) {
        sendUserFlagInfo(static_cast<uint32_t>(gh.userFlags), USER_FLAG_AWAY);
    }

    if (pacing) {
        const bool vsync = gh.gameSettings.vsync != 0 && swapIntervalTookEffect();
        const int64_t micros = pacer_.limitFrameRate(true, gh.maxFps, gh.fpsChanged, vsync, drew);
        if (micros >= 0) gh.averageFrameMicros = micros;
        // Vsync asked, but the interval could not be set or the frames came too fast for it.
        const bool unpaced = gh.gameSettings.vsync != 0 && !(vsync && pacer_.swapPaces());
        if (unpaced && !swapUnpacedLogged_) {
            BZ_LOG(LOG_INFO, "main", "The swap does not pace the frames: paced to " << gh.maxFps << " fps instead");
        }
        swapUnpacedLogged_ = unpaced;
    }
    // Mends the idle core spent swapping the same picture every frame: a frame not drawn keeps the last one.
    if (drew && swap && mainWindow != nullptr) SDL_GL_SwapWindow(mainWindow);
    if (drew) ++framesDrawn_;

    previousReplayMode_ = replayMode;
    ++frames_;
    return true;
}

void FrameLoop::reportFrameRate(uint32_t frameStart) {
    float fps = 0.0f;
    if (!fps_.countFrame(frameStart, fps)) return;
    GameHandler& gh = getGameHandler();
    BZ_LOG(LOG_INFO, "main", "FPS: " << fps);
    gh.measuredFps = fps;
    if (fpsReportedInState(appState)) {
        runJavaScript(HtmlWindow::TopBox, fpsStatement(fps, gh.gameSettings.displayFps != 0));
    }
}

void FrameLoop::pageStartupStep(uint32_t frameStart) {
    if (!reached(frameStart, pageStartTime_) || !neighbours_.takePageStartedReport()) return;
    const std::string page = neighbours_.loadFirstPendingPage();
    if (!page.empty()) {
        BZ_LOG(LOG_INFO, "main", "Time= " << frameStart << ": Loading browser window: " << page);
        return;
    }
    BZ_LOG(LOG_INFO, "main", "Time= " << frameStart << ": Loaded all browser windows");
    changeState(STATE_LOGIN);
    loginStateTicks = frameStart;
}

void FrameLoop::loadingStep(uint32_t frameStart) {
    // From the login state on, in every state until done: a quick login must not stop the loading
    // half way and leave the scene without its models.
    if (resourcesLoaded || appState == STATE_STARTUP || !reached(frameStart, loginStateTicks + LOADING_DELAY_MS)) {
        return;
    }
    drawWanted_ = true;
    if (!neighbours_.loadResourcesStep()) return;
    resourcesLoaded = true;
    // What the loading decoded and uploaded (model files, images, vertices) is freed but would stay
    // in the allocator's heap: give it back to the system.
    malloc_trim(0);
    neighbours_.applyGameSettings();
    BZ_LOG(LOG_INFO, "main", "Calling loadingDone() to switch to login page at " << SDL_GetTicks());
    runJavaScript(HtmlWindow::Login, LOADING_DONE_SCRIPT);
}

void FrameLoop::storePointer(int x, int y) {
    pointerWindowX = x;
    pointerWindowY = y;
    pointerRenderX = windowToRender(x, windowWidth, renderWidth);
    pointerRenderY = windowToRender(y, windowHeight, renderHeight);
}

void FrameLoop::handleEvent(const SDL_Event& event) {
    noteEventModifiers(event);
    neighbours_.windowDragEvent(event);
    handleEventBody(event);
    neighbours_.windowDragEventDone();
}

void FrameLoop::handleEventBody(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:
            quit();
            return;
        case SDL_WINDOWEVENT:
            drawWanted_ = true;
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED && event.window.data1 >= MIN_WINDOW_WIDTH &&
                event.window.data2 >= MIN_WINDOW_HEIGHT) {
                resize(event.window.data1, event.window.data2);
                return;
            }
            break;
        case SDL_KEYDOWN:
            inputThisFrame_ = true;
            if (neighbours_.keyDown(event.key.keysym.sym, pointerRenderX, pointerRenderY)) return;
            break;
        case SDL_KEYUP:
            inputThisFrame_ = true;
            neighbours_.keyUp(event.key.keysym.sym, pointerRenderX, pointerRenderY);
            break;
        case SDL_TEXTINPUT: {
            const uint16_t mods = eventModifiers();
            if (swallowTextInput(event.text.text, (mods & KMOD_CTRL) != 0, (mods & KMOD_SHIFT) != 0,
                                 (mods & KMOD_ALT) != 0)) {
                return;
            }
            break;
        }
        case SDL_MOUSEMOTION:
            inputThisFrame_ = true;
            storePointer(event.motion.x, event.motion.y);
            routeToPage(event, true);
            return;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            inputThisFrame_ = true;
            storePointer(event.button.x, event.button.y);
            routeToPage(event, true);
            return;
        case SDL_MOUSEWHEEL:
            inputThisFrame_ = true;
            routeToPage(event, true);
            return;
        default:
            break;
    }
    routeToPage(event, false);
}

void FrameLoop::routeToPage(const SDL_Event& event, bool mouseEvent) {
    GameHandler& gh = getGameHandler();
    const GameInputFlags flags = neighbours_.gameInputFlags();
    const MouseCapture capture = neighbours_.mouseCapture();
    const bool renderGrid = usesRenderGrid();
    const int gridX = renderGrid ? pointerRenderX : pointerWindowX;
    const int gridY = renderGrid ? pointerRenderY : pointerWindowY;
    const int gridHeight = renderGrid ? renderHeight : windowHeight;

    RouteInput in;
    in.state = appState;
    in.mouseEvent = mouseEvent;
    in.coinTossPrompt = flags.coinTossPrompt;
    in.alertsOpen = panelOpen(gh, HtmlWindow::Alerts);
    in.replaysOpen = panelOpen(gh, HtmlWindow::Replays);
    in.cueStoreOpen = panelOpen(gh, HtmlWindow::CueStore);
    in.matchStatsOpen = panelOpen(gh, HtmlWindow::MatchStats);
    in.tasksOpen = panelOpen(gh, HtmlWindow::Tasks);
    in.settingsPanelOpen = panelOpen(gh, HtmlWindow::GameSettings);
    in.bioTutOpen = panelOpen(gh, HtmlWindow::BioTut);
    in.invitesOpen = panelOpen(gh, HtmlWindow::Invites);
    in.peopleOpen = panelOpen(gh, HtmlWindow::People);
    in.inTutorial = gh.inTutorial;
    in.replayMode = gh.replayMode;
    in.startMatchHidden = flags.startMatchHidden;
    in.mouseCaptured = capture.captured;
    in.captureWindow = capture.window;
    in.overStartMatch = mouseEvent && neighbours_.isMouseOver(HtmlWindow::StartMatch, gridX, gridY);
    in.overCoinToss = mouseEvent && neighbours_.isMouseOver(HtmlWindow::CoinToss, gridX, gridY);
    in.gameViewCaptured = flags.gameViewCaptured;
    in.povMode = gh.povMode;
    in.inBottomArea = gridY >= gridHeight - bottomAreaPixels;

    const EventRoute route = routeEvent(in, previousToStartMatch_);
    if (route.leaveStartMatch) neighbours_.pointerLeftPage(HtmlWindow::StartMatch);
    if (route.toGameView) {
        neighbours_.gameViewMouseEvent(event);
        return;
    }
    PageInputGeometry geometry;
    geometry.gridWidth = renderGrid ? renderWidth : windowWidth;
    geometry.gridHeight = gridHeight;
    geometry.windowWidth = windowWidth;
    geometry.windowHeight = windowHeight;
    neighbours_.sendToPage(route.window, event, geometry);
}

void FrameLoop::quit(bool withoutWarning) {
    GameHandler& gh = getGameHandler();
    if (!withoutWarning && quitNeedsLeaveWarning(appState, gh.replayMode, gh.table.getPlayer(0), gh.table.getPlayer(1), gh.ownNick())) {
        runJavaScript(HtmlWindow::Alerts, "inbzOpenLeaveWarning();");
        gh.alertsPanel.visible = true;
        gh.alertsPanel.openedAt = gh.now + 0.2;
        return;
    }
    if (connectionHandler != nullptr) sendLogout(gh);
    appRunning = false;
}

void FrameLoop::resize(int width, int height) {
    const GameSettings& settings = getGameHandler().gameSettings;
    windowWidth = width;
    windowHeight = height;
    const PixelSize render = renderSizeFor({width, height}, settings.scalingMode, settings.resolutionLimit);
    renderWidth = render.width;
    renderHeight = render.height;
    neighbours_.windowResized();
    neighbours_.setViewport(refitCameraOnResize);
    refitCameraOnResize = false;
    neighbours_.resizePages();
}
