// The frame loop's decisions that depend on numbers alone: the render size, the pointer in render
// pixels, which window an event goes to, the shortcut texts kept from the pages, the frame-rate
// report and the idle-user rule. Pure, so they are tested without a window.
#pragma once

#include "core/app_status.h"
#include "core/page_script.h"

#include <cstdint>
#include <string>

inline constexpr int MIN_WINDOW_WIDTH = 1020;
inline constexpr int MIN_WINDOW_HEIGHT = 647;

struct PixelSize {
    int width = 0;
    int height = 0;
    bool operator==(const PixelSize&) const = default;
};

// The off-screen picture for a window: the window itself, unless scaling mode 1 or 2 limits the width
// to resolutionLimit (keeping the aspect, but never below 647 pixels high).
PixelSize renderSizeFor(PixelSize window, int scalingMode, int resolutionLimit);

// A window coordinate in the render grid: (render - 1) * v / (window - 1), rounded.
int windowToRender(int value, int windowExtent, int renderExtent);

// Typed text that the pages must not see because keyDown already took it as a shortcut:
// Ctrl (without Shift and Alt) with "/", "-" or a digit; Alt (without Shift and Ctrl) with a digit.
bool swallowTextInput(const std::string& text, bool ctrl, bool shift, bool alt);

// Where one event goes: to one HTML window or to the game view.
struct EventRoute {
    bool toGameView = false;
    HtmlWindow window = HtmlWindow::Login;
    // StartMatch had the previous event and must first see the pointer leave.
    bool leaveStartMatch = false;
    bool operator==(const EventRoute&) const = default;
};

// What the routing reads, gathered by the loop for each event.
struct RouteInput {
    AppState state = STATE_STARTUP;
    bool mouseEvent = false;
    bool coinTossPrompt = false;
    // The dialog panels that take events before the state, topmost first.
    bool alertsOpen = false, replaysOpen = false, cueStoreOpen = false, matchStatsOpen = false, tasksOpen = false;
    bool settingsPanelOpen = false;  // game settings, match settings or my account
    bool bioTutOpen = false, invitesOpen = false, peopleOpen = false;
    bool inTutorial = false, replayMode = false, startMatchHidden = false;
    // A page holds the mouse (window drag capture), and which one; -1 for none.
    bool mouseCaptured = false;
    int captureWindow = -1;
    bool overStartMatch = false, overCoinToss = false;  // the pointer lies over that page
    bool gameViewCaptured = false;                      // the game view holds the mouse
    bool povMode = false;
    bool inBottomArea = false;  // the pointer lies in the bottom area
};

// Chooses the target by the first rule that applies: coin-toss prompt, open panels, then the state.
// previousToStartMatch is the table state's memory of the last event; it is updated here.
EventRoute routeEvent(const RouteInput& in, bool& previousToStartMatch);

// Counts frames and reports the rate every three seconds.
class FpsCounter {
public:
    explicit FpsCounter(uint32_t startTicks = 0) : windowStart_(startTicks) {}
    void restart(uint32_t ticks) {
        windowStart_ = ticks;
        frames_ = 0;
    }
    // Counts this frame; true when a report is due, with fps = frames / 3 and a new window begun.
    bool countFrame(uint32_t frameStart, float& fps);

private:
    uint32_t windowStart_ = 0;
    int frames_ = 0;
};

// The TopBox statement for the rate (0 when the display of the rate is off).
std::string fpsStatement(float fps, bool displayFps);
// The rate goes to the TopBox page only from the lobby on.
bool fpsReportedInState(AppState state);

inline constexpr uint32_t IDLE_AFTER_MS = 300000;
inline constexpr int USER_FLAG_AWAY = 8;

// The away bit after one frame: set by five minutes without input, cleared by input. True when it
// changed (the server is then told).
bool updateAwayFlag(int& userFlags, uint32_t& lastInputTicks, bool hadInput, uint32_t frameStart);

struct Player;

// A quit is turned into the leave warning while the user plays: a frame in play, no replay, two
// different players seated and one of them the logged-in user.
bool quitNeedsLeaveWarning(AppState state, bool replayMode, const Player* seat0, const Player* seat1,
                           const std::string& userName);
