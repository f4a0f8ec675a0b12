#include "client/gamehandler/game_handler.h"

#include "core/archive.h"
#include "core/log.h"

#include <SDL.h>

#include <atomic>
#include <cmath>
#include <numbers>

namespace {

std::atomic<InitStepHook> initStepHook{nullptr};

}  // namespace

InitStepHook setInitStepHook(InitStepHook hook) { return initStepHook.exchange(hook); }

GameHandler::GameHandler() {
    // The table's constructor racks the balls; the parked status names nobody as conceding.
    pendingStatus.concededBy = -1;
    pendingStatus.matchConcededBy = -1;
}

GameHandler& getGameHandler() {
    static GameHandler gameHandler;
    return gameHandler;
}

void SessionState::initPaths() {
    if (basePath.empty()) {
        char* base = SDL_GetBasePath();
        basePath = base != nullptr ? base : "./";
        SDL_free(base);
    }
    if (prefPath.empty()) {
        if (char* pref = SDL_GetPrefPath("Baizeron", "Baizeron")) {
            prefPath = pref;
            SDL_free(pref);
        }
        initLog(prefPath);
    }
    ArchiveIndex::instance().setBaseFolder(basePath);
    BZ_LOG(LOG_INFO, "initPaths", "basepath=" << basePath);
    BZ_LOG(LOG_INFO, "initPaths", "prefpath=" << prefPath);
}

void GameHandler::init() {
    initPaths();

    // The start view looks straight down on the table.
    const double eye[3] = {0.0, 54.61177734, 0.0};
    const double target[3] = {0.0, 45.0, 0.0};
    const double up[3] = {-0.0, 0.0, -1.0};
    for (int i = 0; i < 3; ++i) {
        lookAtEye[i] = eye[i];
        lookAtTarget[i] = target[i];
        lookAtUp[i] = up[i];
    }
    camera = Camera{};
    camera.position[0] = 0.0f;
    camera.position[1] = 54.61178f;
    camera.position[2] = 0.0f;
    camera.front[0] = 0.0f;
    camera.front[1] = -1.0f;
    camera.front[2] = 0.0f;
    camera.up[0] = -0.0f;
    camera.up[1] = 0.0f;
    camera.up[2] = -1.0f;
    camera.yaw = -90.0f;
    camera.pitch = -90.0f;

    // The renderer's steps, each logged before it runs.
    const InitStepHook hook = initStepHook.load();
    for (const char* step : {"glGenVertexArrays", "initShaderProgram", "initBallPositions"}) {
        BZ_LOG(LOG_INFO, "init", step);
        if (hook != nullptr) hook(*this, step);
    }

    BZ_LOG(LOG_INFO, "init", "updateViewParameters");
    if (hook != nullptr) hook(*this, "updateViewParameters");
    const double e = viewElevation * std::numbers::pi / 180.0;
    const double a = viewAzimuth * std::numbers::pi / 180.0;
    lookAtUp[0] = std::cos(a) * std::sin(e);
    lookAtUp[1] = std::cos(e);
    lookAtUp[2] = std::sin(a) * std::sin(e);

    BZ_LOG(LOG_INFO, "init", "initText");
    // The Ghost (ball 1) gets no id, so it is not drawn.
    for (int i = 0; i < kBallCount; ++i) table.balls[i].id = i == 1 ? -1 : i;
}
