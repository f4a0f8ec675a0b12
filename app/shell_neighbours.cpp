#include "app/shell_neighbours.h"

#include "app/shell_globals.h"
#include "client/gamehandler/game_handler.h"
#include "ui/engine/web_engine.h"

#include <GL/glew.h>

void ShellNeighbours::applyGameSettings() {
    // Until the settings are applied by their owner, vsync and the frame-rate target follow the
    // stored values.
    GameHandler& gh = getGameHandler();
    gh.maxFps = gh.gameSettings.fps;
    gh.fpsChanged = true;
    if (gh.gameSettings.vsync == 0) {
        SDL_GL_SetSwapInterval(0);
    } else if (SDL_GL_SetSwapInterval(-1) != 0) {
        SDL_GL_SetSwapInterval(1);  // no adaptive vsync on this driver
    }
}

bool ShellNeighbours::drawFrame(bool) {
    glViewport(0, 0, windowWidth, windowHeight);
    glClearColor(0.05f, 0.12f, 0.08f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glFlush();
    return true;
}

void ShellNeighbours::pumpEngine() {
    if (bzweb::IsInitialized()) bzweb::DoMessageLoopWork();
}

void ShellNeighbours::takePagePixels() {
    if (bzweb::IsInitialized()) bzweb::TakePagePaints();
}

bzweb::RefPtr<bzweb::WebApp> ShellNeighbours::makeWebApp() { return bzweb::RefPtr<bzweb::WebApp>(new bzweb::WebApp()); }
