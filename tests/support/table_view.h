// The game view as the mouse and shot tests see it: the user ("Alice", the connection's user name)
// seated on turn in a frame in play, and a camera looking straight down on the table centre.
#pragma once

#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "net/connection_handler.h"

#include <SDL2/SDL.h>

namespace bztest {

inline void seatMeOnTurn(GameHandler& gh) {
    appState = STATE_GAME;
    gh.table.seats[0] = gh.findPlayer("Alice");
    gh.table.seats[1] = gh.findPlayer("Bob");
    gh.liveStatus->gameState = 1;
    gh.liveStatus->playerOn = 0;
    gh.liveStatus->ballInHand = false;
}

// A left-button press or release, or a motion, handed to the game view as SDL delivers them.
inline void mouseButton(GameHandler& gh, bool down, int x, int y) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    e.button.x = x;
    e.button.y = y;
    gh.handleMouseEvent(e);
}

inline void mouseMotion(GameHandler& gh, int x, int y, int dx, int dy) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    gh.handleMouseEvent(e);
}

// From 4 m at 40 degrees on a 1000 x 600 window: screen right is -z, screen up is -x, 0.206 pixels
// per mm.
inline void lookStraightDown(GameHandler& gh) {
    gh.viewport[2] = gh.windowWidth = gh.drawableWidth = 1000;
    gh.viewport[3] = gh.windowHeight = gh.drawableHeight = 600;
    gh.lookAtEye[0] = 0.001;
    gh.lookAtEye[1] = 4000;
    gh.lookAtUp[0] = -1;
    gh.viewAzimuth = 0;  // screen down is +x, as updateViewParameters finds for this eye
    gh.fieldOfViewDegrees = 40;
    gh.fieldOfViewY = static_cast<float>(40 * 3.14159265358979323846 / 180);
    gh.applyLookAt();
    gh.buildPerspectiveProjection();
    gh.hudColumnX = 20;
    gh.spinWidgetPlacement = 5;  // the spin widget against the right edge, 80 pixels in
}

// A connection handler whose user is "Alice" (its requests stay queued) and a recording page sink,
// installed for the lifetime; the application state goes back to start-up afterwards.
class OwnUserSeam {
public:
    OwnUserSeam() {
        handler.userName = "Alice";
        connectionHandler = &handler;
        previousSink_ = setPageScriptSink(&pages);
    }
    ~OwnUserSeam() {
        connectionHandler = nullptr;
        setPageScriptSink(previousSink_);
        appState = STATE_STARTUP;
    }
    OwnUserSeam(const OwnUserSeam&) = delete;
    OwnUserSeam& operator=(const OwnUserSeam&) = delete;

    ConnectionHandler handler;
    RecordingPageScriptSink pages;

private:
    PageScriptSink* previousSink_ = nullptr;
};

}  // namespace bztest
