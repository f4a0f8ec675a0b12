// One frame of the full table scene at 1024 x 647 with the game state's overlays, as the frame
// composition draws it: the scene alone, the overlays alone, and the whole frame straight into the
// window and through the multisample target. Uses the built archive's real models.
#include "bench/gl_bench_main.h"
#include "app/frame_composition.h"
#include "app/shell_globals.h"
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/archive.h"
#include "render/scene.h"
#include "render/scene_pass.h"
#include "tests/support/built_scene.h"
#include "ui/html_render_handler.h"
#include "ui/html_windows.h"

#include <GL/glew.h>
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kW = 1024, kH = 647, kBottom = 280;

struct Setup {
    SDL_Window* window = nullptr;
    std::vector<bzweb::RefPtr<HtmlRenderHandler>> overlays;
    std::vector<std::vector<uint8_t>> pixels;
    bool ok = false;

    Setup() {
        window = SDL_CreateWindow("bench", 0, 0, kW, kH, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (window == nullptr || SDL_GL_CreateContext(window) == nullptr) return;
        glewExperimental = GL_TRUE;
        if (glewInit() != GLEW_OK) return;
        SDL_GL_SetSwapInterval(0);
        bztest::loadBuiltScene();
        GameHandler& gh = getGameHandler();
        gh.initBallPositions();
        windowWidth = renderWidth = kW;
        windowHeight = renderHeight = kH;
        gh.setViewport(kW, kH, kW, kH, 0, kBottom);
        gh.setOverheadCamera();
        // The game state's two bars with their pages painted once.
        HtmlRenderHandler::resetSharedSizes(kW, kH, kBottom);
        for (HtmlWindow w : {HtmlWindow::BottomBox, HtmlWindow::TopBox}) {
            overlays.emplace_back(new HtmlRenderHandler(kW, kH, kBottom, htmlWindowInfo(w).layout));
            const OverlayRect r = overlays.back()->rect();
            pixels.emplace_back(size_t(r.width) * r.height * 4, uint8_t(0x80));
            overlays.back()->OnPaint(nullptr, bzweb::PET_VIEW, {}, pixels.back().data(), r.width, r.height);
        }
        ok = true;
    }
    void drawOverlays() {
        for (auto& o : overlays) o->render();
        modelShared().lastProgram = nullptr;
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

void aimState(bool aiming) {
    GameHandler& gh = getGameHandler();
    gh.aimDragMode = aiming ? 1 : 0;
    gh.aim.aimAngle = 190;
}

void BM_SceneOnly(benchmark::State& state) {
    Setup& s = setup();
    if (!s.ok) return state.SkipWithError("no GL 3.3");
    aimState(state.range(0) != 0);
    for (auto _ : state) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glViewport(0, 0, kW, kH);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        renderScene(getGameHandler());
        glFinish();
    }
}
BENCHMARK(BM_SceneOnly)->ArgName("aiming")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_OverlaysOnly(benchmark::State& state) {
    Setup& s = setup();
    if (!s.ok) return state.SkipWithError("no GL 3.3");
    for (auto _ : state) {
        glViewport(0, 0, kW, kH);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        s.drawOverlays();
        glFinish();
    }
}
BENCHMARK(BM_OverlaysOnly)->Unit(benchmark::kMillisecond);

// The whole frame with scaling mode 0 (straight) and 1 (4x multisample target, resolved and stretched).
void BM_FullFrame(benchmark::State& state) {
    Setup& s = setup();
    if (!s.ok) return state.SkipWithError("no GL 3.3");
    GameHandler& gh = getGameHandler();
    aimState(true);
    gh.gameSettings.scalingMode = static_cast<int>(state.range(0));
    gh.gameSettings.antiAliasing = 4;
    FrameComposer composer([] { renderScene(getGameHandler()); }, [&s](const OverlayPlan&) { s.drawOverlays(); },
                           [](HtmlWindow) {});
    OverlayInputs in;
    in.appState = STATE_GAME;
    for (auto _ : state) {
        composer.compose(gh, in);
        glFinish();
    }
    composer.offscreen().destroy();
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FullFrame)->ArgName("scaling")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return runGlBenchmarks(argc, argv); }
