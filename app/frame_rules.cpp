#include "app/frame_rules.h"

#include "physics/player.h"

#include <cctype>
#include <sstream>

PixelSize renderSizeFor(PixelSize window, int scalingMode, int resolutionLimit) {
    PixelSize render = window;
    if ((scalingMode == 1 || scalingMode == 2) && resolutionLimit < window.width && window.width > 0 &&
        window.height > 0) {
        render.width = resolutionLimit;
        render.height = static_cast<int>(static_cast<float>(resolutionLimit) / window.width * window.height + 0.5f);
        if (render.height < MIN_WINDOW_HEIGHT) {
            render.height = MIN_WINDOW_HEIGHT;
            render.width = static_cast<int>(window.width * (static_cast<float>(MIN_WINDOW_HEIGHT) / window.height) + 0.5f);
        }
    }
    return render;
}

int windowToRender(int value, int windowExtent, int renderExtent) {
    if (windowExtent <= 1 || windowExtent == renderExtent) return value;
    return static_cast<int>(static_cast<float>(renderExtent - 1) * value / (windowExtent - 1) + 0.5f);
}

bool swallowTextInput(const std::string& text, bool ctrl, bool shift, bool alt) {
    const bool digit = text.size() == 1 && std::isdigit(static_cast<unsigned char>(text[0]));
    if (ctrl && !shift && !alt) return digit || text == "/" || text == "-";
    if (alt && !shift && !ctrl) return digit;
    return false;
}

namespace {

EventRoute toWindow(HtmlWindow window) { return {false, window, false}; }

EventRoute tableStateRoute(const RouteInput& in, bool& previousToStartMatch) {
    const bool startMatchMayTake = !in.inTutorial && !in.replayMode && !in.startMatchHidden;
    const bool startMatchWanted =
        in.mouseCaptured ? in.captureWindow == static_cast<int>(HtmlWindow::StartMatch)
                         : in.mouseEvent && in.overStartMatch;
    if (startMatchMayTake && startMatchWanted) {
        previousToStartMatch = true;
        return toWindow(HtmlWindow::StartMatch);
    }
    EventRoute route = toWindow(HtmlWindow::BottomBox);
    route.leaveStartMatch = previousToStartMatch;
    previousToStartMatch = false;
    return route;
}

EventRoute gameStateRoute(const RouteInput& in) {
    const EventRoute gameView{true, HtmlWindow::BottomBox, false};
    const bool pageCaptures = in.mouseCaptured && in.captureWindow >= 0;
    if (!in.gameViewCaptured) {
        if (in.mouseCaptured) return pageCaptures ? toWindow(HtmlWindow::BottomBox) : gameView;
        if (!in.mouseEvent) return toWindow(HtmlWindow::BottomBox);
        return in.inBottomArea ? toWindow(HtmlWindow::BottomBox) : gameView;
    }
    if (in.mouseEvent) return gameView;
    if (in.povMode || (in.mouseCaptured && !pageCaptures)) return gameView;
    return toWindow(HtmlWindow::BottomBox);
}

}  // namespace

EventRoute routeEvent(const RouteInput& in, bool& previousToStartMatch) {
    if (in.coinTossPrompt) return toWindow(HtmlWindow::CoinToss);
    const std::pair<bool, HtmlWindow> panels[] = {
        {in.alertsOpen, HtmlWindow::Alerts},     {in.replaysOpen, HtmlWindow::Replays},
        {in.cueStoreOpen, HtmlWindow::CueStore}, {in.matchStatsOpen, HtmlWindow::MatchStats},
        {in.tasksOpen, HtmlWindow::Tasks},       {in.settingsPanelOpen, HtmlWindow::GameSettings},
        {in.bioTutOpen, HtmlWindow::BioTut},     {in.invitesOpen, HtmlWindow::Invites},
        {in.peopleOpen, HtmlWindow::People},
    };
    for (const auto& [open, window] : panels) {
        if (open) return toWindow(window);
    }
    switch (in.state) {
        case STATE_LOBBY:
            return toWindow(HtmlWindow::Lobby);
        case STATE_TABLE:
            return tableStateRoute(in, previousToStartMatch);
        case STATE_COIN_TOSS: {
            const bool wanted = in.mouseCaptured ? in.captureWindow == static_cast<int>(HtmlWindow::CoinToss)
                                                 : in.mouseEvent && in.overCoinToss;
            return toWindow(wanted ? HtmlWindow::CoinToss : HtmlWindow::BottomBox);
        }
        case STATE_GAME:
            return gameStateRoute(in);
        case STATE_STARTUP:
        case STATE_LOGIN:
        case STATE_CONNECTING:
            return toWindow(HtmlWindow::Login);
    }
    return toWindow(HtmlWindow::BottomBox);
}

bool FpsCounter::countFrame(uint32_t frameStart, float& fps) {
    ++frames_;
    // Unsigned difference: right across the 49-day wrap of the tick counter.
    if (frameStart - windowStart_ < 3000) return false;
    fps = static_cast<float>(frames_) / 3.0f;
    frames_ = 0;
    windowStart_ = frameStart;
    return true;
}

std::string fpsStatement(float fps, bool displayFps) {
    std::ostringstream text;
    text << "inbzSetFps({fps:" << (displayFps ? fps : 0.0f) << "});";
    return text.str();
}

bool fpsReportedInState(AppState state) { return state >= STATE_LOBBY; }

bool updateAwayFlag(int& userFlags, uint32_t& lastInputTicks, bool hadInput, uint32_t frameStart) {
    if (hadInput) {
        lastInputTicks = frameStart;
        if ((userFlags & USER_FLAG_AWAY) == 0) return false;
        userFlags &= ~USER_FLAG_AWAY;
        return true;
    }
    if ((userFlags & USER_FLAG_AWAY) != 0 || frameStart - lastInputTicks < IDLE_AFTER_MS) return false;
    userFlags |= USER_FLAG_AWAY;
    return true;
}

bool quitNeedsLeaveWarning(AppState state, bool replayMode, const Player* seat0, const Player* seat1,
                           const std::string& userName) {
    // Both seats must be taken: an empty seat is no opponent to leave.
    if (state != STATE_GAME || replayMode || seat0 == nullptr || seat1 == nullptr || seat0 == seat1) return false;
    if (seat0->nick == seat1->nick) return false;
    return seat0->nick == userName || seat1->nick == userName;
}
