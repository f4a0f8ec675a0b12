// What one aiming frame costs on top of the scene: the aim prediction, the aim lines and the HUD
// (digits, bars and spin widget), drawn into a 1280 x 720 target and finished, under software GL.
#include <benchmark/benchmark.h>

#include <GL/glew.h>
#include <SDL2/SDL.h>

#include <cstdlib>
#include <unistd.h>
#include <vector>

#include "client/gamehandler/game_handler.h"
#include "render/aim_lines.h"
#include "render/hud.h"
#include "render/inline_programs.h"
#include "render/texture_loader.h"

namespace {

constexpr int kWidth = 1280, kHeight = 720;
// Seen from above, the table filling the width.
const float kView[16] = {1.0f / 2000, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f / 1100, 0, 0, 0, 0, 0, 1};
const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

unsigned plainTexture(unsigned char shade) {
    std::vector<unsigned char> pixels(64 * 64 * 4, shade);
    unsigned id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    uploadRgbaTexture(pixels.data(), 64, 64, GL_LINEAR);
    return id;
}

void BM_AimLinesAndHudPerFrame(benchmark::State& state) {
    SDL_Window* window = SDL_CreateWindow("bench", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    glewExperimental = GL_TRUE;
    if (!context || glewInit() != GLEW_OK) {
        state.SkipWithError("no GL 3.3 context");
        return;
    }
    unsigned fbo = 0, colour = 0;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kWidth, kHeight);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glViewport(0, 0, kWidth, kHeight);
    {
        InlinePrograms programs;
        programs.init();
        const HudTextures textures{plainTexture(230), plainTexture(200), plainTexture(40), plainTexture(255)};
        GameHandler gh;
        srand48(20261209);
        gh.table.setupBalls(gh.table.status);
        gh.viewport[2] = kWidth;
        gh.viewport[3] = kHeight;
        gh.aimBallIndex = 0;
        gh.aim = AimParameters{178.0, 330, 20, -15, 12};
        gh.mouseCaptured = true;
        gh.aimShown = true;
        double angle = 150;
        for (auto _ : state) {
            gh.aim.aimAngle = angle;
            gh.updateAim(0);
            drawAimLinePass(gh, programs, kIdentity, kView);
            drawAimingHud(gh, programs, textures, kIdentity, kView);
            glFinish();
            angle += 0.37;
            if (angle > 210) angle = 150;
        }
    }
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
}

}  // namespace

BENCHMARK(BM_AimLinesAndHudPerFrame)->Unit(benchmark::kMicrosecond);

// GL needs a display: without one the benchmark runs itself again under a virtual one.
int main(int argc, char** argv) {
    const char* display = std::getenv("DISPLAY");
    if ((!display || !*display) && !std::getenv("BZ_BENCH_UNDER_DISPLAY")) {
        setenv("BZ_BENCH_UNDER_DISPLAY", "1", 1);
        std::vector<char*> args = {const_cast<char*>("bash"), const_cast<char*>(BZ_WITH_DISPLAY)};
        for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
        args.push_back(nullptr);
        execvp("bash", args.data());
    }
    SDL_Init(SDL_INIT_VIDEO);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SDL_Quit();
    return 0;
}
