// The frame loop's own cost per frame with an empty scene: no pacing, no vsync. With a window the
// swap of a cleared frame is measured too, so later work can see what its passes add.
#include "core/app_status.h"
#include "app/frame_loop.h"
#include "app/shell_globals.h"
#include "net/connection_handler.h"
#include "ui/engine/backend.h"
#include "ui/engine/fake_backend.h"
#include "ui/engine/web_engine.h"

#include <benchmark/benchmark.h>

#include <GL/glew.h>
#include <SDL.h>

namespace {

class EmptyScene : public ShellNeighbours {
public:
    explicit EmptyScene(bool clear) : clear_(clear) {}
    bool drawFrame(bool mustDraw) override { return clear_ && ShellNeighbours::drawFrame(mustDraw); }

private:
    bool clear_;
};

// The engine on the stand-in browser, so its pump runs as in the client; the connection exists
// without a login, so the message drain runs too.
void startServices() {
    if (!bzweb::IsInitialized()) {
        bzweb::InitializeWithBackend(bzweb::WebSettings{}, bzweb::RefPtr<bzweb::WebApp>(new bzweb::WebApp()),
                                     std::make_unique<bzweb::FakeBackend>());
    }
    if (connectionHandler == nullptr) connectionHandler = new ConnectionHandler();
    appState = STATE_LOBBY;
    appRunning = true;
}

void runFrames(benchmark::State& state, FrameLoop& loop) {
    loop.prepare(SDL_GetTicks());
    loop.pacing = false;
    for (auto _ : state) benchmark::DoNotOptimize(loop.runFrame());
    state.SetItemsProcessed(state.iterations());
}

void BM_FrameLoopOverhead(benchmark::State& state) {
    if (SDL_Init(SDL_INIT_EVENTS) != 0) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    startServices();
    EmptyScene neighbours(false);
    MonotonicPacingClock clock;
    FrameLoop loop(neighbours, clock);
    loop.swap = false;
    runFrames(state, loop);
    SDL_Quit();
}
BENCHMARK(BM_FrameLoopOverhead)->Unit(benchmark::kMicrosecond);

// A hidden 1024 x 647 window: every frame is cleared and swapped, without vsync.
void BM_FrameLoopClearAndSwap(benchmark::State& state) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    mainWindow = SDL_CreateWindow("bench", 0, 0, 1024, 647, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = mainWindow != nullptr ? SDL_GL_CreateContext(mainWindow) : nullptr;
    if (context == nullptr) {
        state.SkipWithError(SDL_GetError());
        if (mainWindow != nullptr) SDL_DestroyWindow(mainWindow);
        mainWindow = nullptr;
        SDL_Quit();
        return;
    }
    glewExperimental = GL_TRUE;
    glewInit();
    SDL_GL_SetSwapInterval(0);
    startServices();
    EmptyScene neighbours(true);
    MonotonicPacingClock clock;
    FrameLoop loop(neighbours, clock);
    runFrames(state, loop);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(mainWindow);
    mainWindow = nullptr;
    SDL_Quit();
}
BENCHMARK(BM_FrameLoopClearAndSwap)->Unit(benchmark::kMicrosecond);

}  // namespace
