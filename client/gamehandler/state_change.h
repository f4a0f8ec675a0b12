// Every change of the application state goes through changeState: the game controller's part of
// leaving and entering a state (mouse actions ended, the pages of the new state prepared, per-table
// leftovers dropped), then the shell's window layout, then the new value of appState.
#pragma once

#include "core/app_status.h"

// Nothing happens when the state is already kind. Main thread only: the connection hands its
// login outcomes to the main loop's drain instead of calling it from its threads.
void changeState(AppState kind);

// The shell's part of a change (window layout of the new state), run after the game controller's
// part and before the new state is stored. Installed by the shell; returns the previous hook.
using StateLayoutHook = void (*)(AppState from, AppState to);
StateLayoutHook setStateLayoutHook(StateLayoutHook hook);
