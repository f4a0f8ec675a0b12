// The application state: which windows the frame shows and how the game treats input. Every state
// change of the program goes through changeState.
#pragma once

#include <atomic>
#include <cstdint>

enum AppState : uint32_t {
    STATE_STARTUP = 0,     // the HTML pages are loading
    STATE_LOGIN = 1,       // the login form
    STATE_CONNECTING = 2,  // a server is chosen and the login runs
    STATE_LOBBY = 3,
    STATE_TABLE = 4,
    STATE_COIN_TOSS = 5,
    STATE_GAME = 6,        // a frame in play
};

// Written only by changeState; read without a lock by the main loop and the lobby poll.
extern std::atomic<AppState> appState;
// True from start until the user quits; the main loop and the lobby poll run while it is set.
extern std::atomic<bool> appRunning;

// Logs the change, ends the mouse actions, prepares the pages of the new state and stores it.
// Nothing happens when the state is already kind. Main thread only: the connection hands its login
// outcomes to the main loop's drain instead of calling it from its threads.
void changeState(AppState kind);
