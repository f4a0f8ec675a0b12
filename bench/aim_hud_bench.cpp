// What one aiming frame costs on top of the scene: the aim prediction, the aim lines and the HUD
// (digits, bars and spin widget), drawn into a 1280 x 720 target and finished, under software GL.
#include <benchmark/benchmark.h>

#include "bench/gl_bench_main.h"

#include <GL/glew.h>
#include <SDL2/SDL.h>

#include <cstdlib>
#include <unistd.h>
#include <vector>

#include "client/gamehandler/game_handler.h"
#include "core/archive.h"
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
    const HiddenGlContext gl(64, 64);
    if (!gl.ok) {
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
        ArchiveIndex::instance().setBaseFolder(BZ_APP_DIR);
        InlinePrograms programs;
        programs.init();
        GLint linked = GL_FALSE;
        glGetProgramiv(programs.aim.program, GL_LINK_STATUS, &linked);
        if (!linked) {
            state.SkipWithError("the programs did not build: is the archive built?");
            return;
        }
        const HudTextures textures{plainTexture(230), plainTexture(200), plainTexture(40), plainTexture(255)};
        GameHandler gh;
        srand48(20261209);
        gh.table.setupBalls(gh.table.status);
        gh.viewport[2] = kWidth;
        gh.viewport[3] = kHeight;
        gh.aimBallIndex = 0;
        gh.aim = AimParameters{178.0, 330, 20, -15, 12};
        gh.aimDragMode = 1;
        gh.aimShown = true;
        double angle = 150;
        for (auto _ : state) {
            gh.aim.aimAngle = angle;
            gh.updateAim(0);
            // Argument 0: the prediction and the finish alone, the floor the drawing adds to.
            if (state.range(0)) {
                drawAimLinePass(gh, programs, kIdentity, kView);
                drawAimingHud(gh, programs, textures, kIdentity, kView);
            }
            glFinish();
            angle += 0.37;
            if (angle > 210) angle = 150;
        }
    }
}

}  // namespace

BENCHMARK(BM_AimLinesAndHudPerFrame)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) { return runGlBenchmarks(argc, argv); }
