#include "app/window_layout.h"

#include "app/shell_globals.h"
#include "client/gamehandler/game_handler.h"
#include "core/clock.h"
#include "ui/html_windows.h"

#include <SDL.h>

#include <cmath>
#include <cstdlib>

WindowDrag windowDrag;
BottomAnimation bottomAnimation;

namespace {

constexpr uint32_t kButtonMask = SDL_BUTTON_LMASK | SDL_BUTTON_MMASK | SDL_BUTTON_RMASK;

WindowSystem sdlWindowSystem;
WindowSystem* installed = &sdlWindowSystem;

void runInBottomBox(bool fullSize) {
    runJavaScript(HtmlWindow::BottomBox, std::string("inbzSetSize({isFullSize:") + (fullSize ? "true" : "false") + "});");
}

}  // namespace

uint32_t WindowSystem::globalMouseState(int& x, int& y) { return SDL_GetGlobalMouseState(&x, &y); }
void WindowSystem::windowPosition(int& x, int& y) {
    x = y = 0;
    if (mainWindow != nullptr) SDL_GetWindowPosition(mainWindow, &x, &y);
}
void WindowSystem::setWindowPosition(int x, int y) {
    if (mainWindow != nullptr) SDL_SetWindowPosition(mainWindow, x, y);
}
void WindowSystem::captureMouse(bool on) { SDL_CaptureMouse(on ? SDL_TRUE : SDL_FALSE); }
uint32_t WindowSystem::windowFlags() { return mainWindow != nullptr ? SDL_GetWindowFlags(mainWindow) : 0; }
void WindowSystem::maximize() {
    if (mainWindow != nullptr) SDL_MaximizeWindow(mainWindow);
}
void WindowSystem::restore() {
    if (mainWindow != nullptr) SDL_RestoreWindow(mainWindow);
}

WindowSystem& windowSystem() { return *installed; }

WindowSystem* setWindowSystem(WindowSystem* system) {
    WindowSystem* previous = installed;
    installed = system != nullptr ? system : &sdlWindowSystem;
    return previous;
}

void beginWindowDragEvent() {
    windowDrag.armed = false;
    windowDrag.buttonsReleased = false;
}

void endWindowDragEvent() {
    if (windowDrag.armed || windowDrag.buttonsReleased) updateWindowDrag();
}

void startWindowDrag(bool gameViewHoldsMouse) {
    if (windowDrag.active || gameViewHoldsMouse) return;
    windowDrag.armed = true;
    windowDrag.captureWindow = -1;
    windowSystem().captureMouse(true);
    windowSystem().globalMouseState(windowDrag.startMouseX, windowDrag.startMouseY);
    windowSystem().windowPosition(windowDrag.startWindowX, windowDrag.startWindowY);
}

void updateWindowDrag() {
    if (windowDrag.armed) {
        windowDrag.armed = false;
        windowDrag.active = true;
    }
    if (windowDrag.buttonsReleased) {
        windowDrag.buttonsReleased = false;
        windowDrag.active = false;
        if ((windowSystem().windowFlags() & SDL_WINDOW_MOUSE_CAPTURE) != 0) windowSystem().captureMouse(false);
    }
}

void dragWindow() {
    int x = 0, y = 0;
    const uint32_t buttons = windowSystem().globalMouseState(x, y);
    if ((buttons & kButtonMask) == 0) {
        windowDrag.requested = false;
        windowDrag.moved = false;
        return;
    }
    if (!windowDrag.active) return;
    const int dx = x - windowDrag.startMouseX;
    const int dy = y - windowDrag.startMouseY;
    if (!windowDrag.moved && std::abs(dx) < kDragThreshold && std::abs(dy) < kDragThreshold) return;
    windowDrag.moved = true;
    windowSystem().setWindowPosition(windowDrag.startWindowX + dx, windowDrag.startWindowY + dy);
}

uint32_t checkMouseButtonsReleased() {
    int x = 0, y = 0;
    const uint32_t buttons = windowSystem().globalMouseState(x, y);
    if ((buttons & kButtonMask) == 0) windowDrag.buttonsReleased = true;
    return buttons;
}

void requestWindowDrag() {
    windowDrag.requested = true;
    windowDrag.moved = false;
}

void toggleMaximize() {
    if ((windowSystem().windowFlags() & SDL_WINDOW_MAXIMIZED) != 0) {
        windowSystem().restore();
    } else {
        windowSystem().maximize();
    }
}

int bottomAreaHeight(bool collapsed, bool replayMode, bool fullSize) {
    if (collapsed) return replayMode || fullSize ? 58 : 32;
    if (replayMode) return 229;
    return fullSize ? 280 : 130;
}

int bottomAreaHeight(const GameHandler& gh) {
    return bottomAreaHeight(gh.bottomBoxCollapsed, gh.replayMode, gh.bottomBoxFullSize);
}

void setBottomBoxFullSize(bool fromToggle, bool fullSize) {
    GameHandler& gh = getGameHandler();
    bottomAnimation.start = secondsSinceStart().seconds;
    bottomAnimation.startHeight = bottomAreaPixels;
    if (fullSize == gh.bottomBoxFullSize && !gh.bottomBoxCollapsed) {
        // The same size again folds the bar.
        gh.bottomBoxCollapsed = true;
        bottomAnimation.running = true;
        if (fromToggle) {
            gh.bottomBoxUserCollapsed = true;
            gh.bottomBoxUserFullSize = fullSize;
            if (gh.bottomBoxFullSize) runInBottomBox(true);
        }
    } else {
        const bool notice = fullSize == gh.bottomBoxFullSize ? false : !(gh.bottomBoxFullSize && !gh.bottomBoxCollapsed);
        gh.bottomBoxCollapsed = false;
        gh.bottomBoxFullSize = fullSize;
        if (fromToggle) {
            gh.bottomBoxUserCollapsed = false;
            gh.bottomBoxUserFullSize = fullSize;
        }
        bottomAnimation.running = true;
        if (fullSize || notice) runInBottomBox(fullSize);
    }
    runJavaScript(HtmlWindow::BottomBox, "inbzShowNotification(false);");
}

void animateBottomBox() {
    const GameHandler& gh = getGameHandler();
    double t = secondsSinceStart().seconds - bottomAnimation.start;
    if (t >= kBottomAnimationSeconds) {
        bottomAnimation.running = false;
        runInBottomBox(gh.bottomBoxFullSize);
        t = kBottomAnimationSeconds;
    }
    const int target = bottomAreaHeight(gh);
    const double eased = (1.0 - std::cos(M_PI * t / kBottomAnimationSeconds)) * (target - bottomAnimation.startHeight) * 0.5;
    // Rounded to nearest (not toward zero), so that a shrinking area also ends exactly on the target.
    bottomAreaPixels = bottomAnimation.startHeight + static_cast<int>(std::floor(eased + 0.5));
}

void layoutBottomArea(bool replayModeChanged, const std::function<void()>& setViewport) {
    if (!bottomAnimation.running && !replayModeChanged) return;
    if (replayModeChanged) bottomAreaPixels = bottomAreaHeight(getGameHandler());
    if (bottomAnimation.running) animateBottomBox();
    resizeHtmlWindow(HtmlWindow::BottomBox, -1, -1, bottomAreaPixels);
    if (setViewport) setViewport();
    if (bottomAnimation.running) return;
    // The other pages follow once the height has settled.
    for (const HtmlWindowInfo& info : htmlWindowTable()) {
        if (info.window != HtmlWindow::BottomBox) resizeHtmlWindow(info.window, -1, -1, bottomAreaPixels);
    }
    sendTopBoxSizeAndPlace();
}

void setSceneViewport(GameHandler& gameHandler) {
    gameHandler.setViewport(windowWidth, windowHeight, renderWidth, renderHeight, topAreaHeight, bottomAreaPixels);
}

TopBoxPlace topBoxSizeAndPlace(int scalingMode, int windowW, int windowH, int renderW, int renderH, int bottomArea) {
    double wc = windowW, hc = windowH, bc = bottomArea, m = 1.0;
    double margin = 32;
    if (scalingMode == 2) {
        wc = renderW;
        hc = renderH;
    } else if (scalingMode == 1) {
        wc = renderW;
        hc = renderH;
        bc = static_cast<int>(static_cast<float>(renderW) / static_cast<float>(windowW) * static_cast<float>(bottomArea));
        m = static_cast<double>(windowW) / static_cast<double>(renderW);
        margin = static_cast<int>(32 * m);
    }
    const double s = std::min((wc - 32) / 3809.0, (hc - bc) / 2018.0);
    const double scaled = s * m;
    TopBoxPlace place;
    place.height = static_cast<int>(120 * scaled);
    const double tableWidth = static_cast<int>(m * (wc - 32)) - static_cast<int>(3809 * scaled);
    place.left = static_cast<int>(tableWidth * 0.5 + place.height + static_cast<int>(147 * scaled));
    place.right = place.left + static_cast<int>(margin);
    return place;
}

std::string topBoxPlaceStatement(const TopBoxPlace& place) {
    return "if (typeof inbzSizeAndPlace !== 'undefined') { inbzSizeAndPlace({height: " + std::to_string(place.height) +
           ",left: " + std::to_string(place.left) + ",right: " + std::to_string(place.right) + "}); }";
}

void sendTopBoxSizeAndPlace() {
    const TopBoxPlace place = topBoxSizeAndPlace(getGameHandler().gameSettings.scalingMode, windowWidth, windowHeight,
                                                 renderWidth, renderHeight, bottomAreaPixels);
    runJavaScript(HtmlWindow::TopBox, topBoxPlaceStatement(place));
}

void layoutForState(AppState from, AppState to) {
    if (from == STATE_STARTUP && to == STATE_LOGIN) loginStateTicks = SDL_GetTicks();
    if (isTableState(to)) sendTopBoxSizeAndPlace();
}
