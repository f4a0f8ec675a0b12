#include "ui/settings_window.h"

#include <SDL.h>

namespace {
SettingsWindow* installed = nullptr;
bool intervalSet = true;
}  // namespace

bool swapIntervalTookEffect() { return intervalSet; }

void SettingsWindow::announceResize() {
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    if (window == nullptr) return;
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    event.window.windowID = SDL_GetWindowID(window);
    SDL_GetWindowSize(window, &event.window.data1, &event.window.data2);
    SDL_PushEvent(&event);
}

void SettingsWindow::setSwapInterval(int interval) { intervalSet = SDL_GL_SetSwapInterval(interval) == 0; }

SettingsWindow& settingsWindow() {
    static SettingsWindow sdl;
    return installed != nullptr ? *installed : sdl;
}

SettingsWindow* setSettingsWindow(SettingsWindow* window) {
    SettingsWindow* previous = installed;
    installed = window;
    return previous;
}
