// Every change of the application state goes through changeState: the game controller's part of
// leaving and entering a state (mouse actions ended, the windows of the new state refreshed, the
// pages of the new state prepared, per-table leftovers dropped), then the shell's window layout,
// then the new value of appState.
#pragma once

#include "core/app_status.h"
#include "core/page_script.h"

// Nothing happens when the state is already kind. Called on a thread other than the main one, the
// change is only posted: the main loop applies it after its message drain.
void changeState(AppState kind);

// The thread that calls this is the main thread from now on (until then every thread counts as it).
void markStateMainThread();
// Applies the changes posted from other threads, in posting order. Main thread.
void applyPostedStateChanges();

// The shell's part of a change (window layout of the new state), run after the game controller's
// part and before the new state is stored. Installed by the shell; returns the previous hook.
using StateLayoutHook = void (*)(AppState from, AppState to);
StateLayoutHook setStateLayoutHook(StateLayoutHook hook);

// Brings a window back into view and has its page repainted whole (the bridge installs it; none:
// nothing is refreshed). Returns the previous one.
using WindowRefresher = void (*)(HtmlWindow window);
WindowRefresher setWindowRefresher(WindowRefresher refresher);
