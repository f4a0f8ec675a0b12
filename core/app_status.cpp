#include "core/app_status.h"

std::atomic<AppState> appState{STATE_STARTUP};
std::atomic<bool> appRunning{true};
