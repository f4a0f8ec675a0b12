// The window's own layout: the page title bar drags and maximises the SDL window, the bottom area
// under the 3D view takes its height from the bottom bar's size and eases between heights, and the
// top-bar page learns where the table is drawn. Main thread only.
#pragma once

#include "core/app_status.h"
#include "core/page_script.h"

#include <cstdint>
#include <functional>
#include <string>

class GameHandler;

// What the layout asks of the window system (SDL in the product; a recorder in tests).
class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    // The desktop pointer position and the SDL button mask.
    virtual uint32_t globalMouseState(int& x, int& y);
    virtual void windowPosition(int& x, int& y);
    virtual void setWindowPosition(int x, int y);
    virtual void captureMouse(bool on);
    virtual uint32_t windowFlags();
    virtual void maximize();
    virtual void restore();
};
WindowSystem& windowSystem();
// Installs one (nullptr: SDL again); returns the previous one.
WindowSystem* setWindowSystem(WindowSystem* system);

// A title-bar drag from the press (armed) through the first handled event (active) to the release.
struct WindowDrag {
    bool armed = false;
    bool active = false;
    bool requested = false;  // the page asked for a drag
    bool moved = false;      // past the start threshold
    bool buttonsReleased = false;
    int startMouseX = 0, startMouseY = 0;
    int startWindowX = 0, startWindowY = 0;
    int captureWindow = -1;  // the page that got the press keeps the mouse; -1: none
};
extern WindowDrag windowDrag;

inline constexpr int kDragThreshold = 4;

// Per event, before it is handled: the two per-event flags are cleared.
void beginWindowDragEvent();
// Per event, after it is handled.
void endWindowDragEvent();
void startWindowDrag(bool gameViewHoldsMouse);
void dragWindow();
uint32_t checkMouseButtonsReleased();
void updateWindowDrag();
// The page asked for a drag: a held mouse moves the window, the threshold applies again.
void requestWindowDrag();
void toggleMaximize();

// The bottom area's animation.
struct BottomAnimation {
    bool running = false;
    double start = 0.0;   // secondsSinceStart at the change
    int startHeight = 0;  // bottomAreaPixels then
};
extern BottomAnimation bottomAnimation;
inline constexpr double kBottomAnimationSeconds = 0.4;

// The target height of the bottom area for the bar's state.
int bottomAreaHeight(bool collapsed, bool replayMode, bool fullSize);
int bottomAreaHeight(const GameHandler& gameHandler);
void setBottomBoxFullSize(bool fromToggle, bool fullSize);
// One frame of the animation: bottomAreaPixels eases to the target along half a cosine wave.
void animateBottomBox();
// The frame's layout of the bottom area (after the page flags). setViewport is the 3D viewport's.
void layoutBottomArea(bool replayModeChanged, const std::function<void()>& setViewport);

// The 3D viewport for the window as laid out now: the scene is drawn at the render size (the
// off-screen picture when scaling is on), under the top area and above the bottom area.
void setSceneViewport(GameHandler& gameHandler);

// The top bar's height and side insets for the table as drawn.
struct TopBoxPlace {
    int height = 0, left = 0, right = 0;
    bool operator==(const TopBoxPlace&) const = default;
};
TopBoxPlace topBoxSizeAndPlace(int scalingMode, int windowWidth, int windowHeight, int renderWidth, int renderHeight,
                               int bottomArea);
std::string topBoxPlaceStatement(const TopBoxPlace& place);
void sendTopBoxSizeAndPlace();

// The state change's part of the layout: the top bar is placed on every entry into a table state.
void layoutForState(AppState from, AppState to);
