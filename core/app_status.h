// The application state and the run flag: process-wide values that every layer may read (the
// lobby poll, the game controller, the dispatch, the frame loop). Only changeState (the game
// controller's state change) writes appState; the shell and the quit paths clear appRunning.
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

// Read without a lock by the main loop and the lobby poll.
extern std::atomic<AppState> appState;
// True from start until the user quits; the main loop and the lobby poll run while it is set.
extern std::atomic<bool> appRunning;

// The states in which the keys go to the login form, where the password is typed.
inline bool loginFormTakesKeys(AppState state) { return state <= STATE_CONNECTING; }

// At a table: the table, coin-toss and frame-in-play states.
inline bool isTableState(AppState state) { return state >= STATE_TABLE && state <= STATE_GAME; }
