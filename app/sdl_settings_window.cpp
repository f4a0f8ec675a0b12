#include "app/sdl_settings_window.h"

#include "render/scene.h"

#include <SDL.h>

namespace {
bool intervalSet = true;
}  // namespace

bool swapIntervalTookEffect() { return intervalSet; }

void SdlSettingsWindow::announceResize() {
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    if (window == nullptr) return;
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    event.window.windowID = SDL_GetWindowID(window);
    SDL_GetWindowSize(window, &event.window.data1, &event.window.data2);
    SDL_PushEvent(&event);
}

void SdlSettingsWindow::setSwapInterval(int interval) { intervalSet = SDL_GL_SetSwapInterval(interval) == 0; }

void SdlSettingsWindow::applySceneSettings(bool firstLightingSet, int cueBallDesign) {
    Scene& scene = getScene();
    scene.reloadLightingShaders(firstLightingSet);
    scene.setCueBallDesign(cueBallDesign);
}
