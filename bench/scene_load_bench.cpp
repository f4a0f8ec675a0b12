// The scene's loading steps, one per frame as the login screen runs them: the total wall time and
// the longest single step. Uses the built archive when it holds the table models, else a generated
// stand-in set of about the same weight (28 models, the markings image, the scene textures).
#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include "bench/gl_bench_main.h"
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/archive.h"
#include "render/loading_steps.h"
#include "render/scene.h"
#include "tests/render/stand_in_assets.h"
#include "tools/packer/archive_packer.h"

namespace {

const char* const kModelPaths[28] = {
    "res/table/Cue_2_Main.obj",         "res/table/Cue_2_Tip.obj",           "res/table/v8_bed_CLUB.obj",
    "res/table/v8_bed_PRO.obj",         "res/table/v8_rubber_CLUB.obj",      "res/table/v8_rubber_PRO.obj",
    "res/table/Table_v7_hooks.obj",     "res/table/v8_frame_CLUB.obj",       "res/table/v8_frame_PRO.obj",
    "res/table/Table_v7_legs_round.obj", "res/table/Table_v7_legs_square.obj", "res/table/v8_bumpers_CLUB.obj",
    "res/table/v8_bumpers_PRO.obj",     "res/table/Table_v7_pockets.obj",    "res/dr/dark_room.obj",
    "res/table/Ball_black.obj",         "res/table/Ball_blackwhite.obj",     "res/table/Ball_blue.obj",
    "res/table/Ball_brown.obj",         "res/table/Ball_green.obj",          "res/table/Ball_orange.obj",
    "res/table/Ball_pink.obj",          "res/table/Ball_purple.obj",         "res/table/Ball_red.obj",
    "res/table/Ball_white.obj",         "res/table/Ball_white_dot.obj",      "res/table/Ball_wood.obj",
    "res/table/Ball_yellow.obj",
};

// Writes the stand-in archive into a temporary folder and points the index at it.
std::filesystem::path packStandIns() {
    using namespace bztest;
    std::vector<PackMember> members(215);
    Manifest manifest;
    std::string error;
    std::ifstream shaders(std::string(BZ_ASSETS_DIR) + "/manifest-shaders.txt");
    std::stringstream text;
    text << shaders.rdbuf();
    if (parseManifest(text.str(), BZ_ASSETS_DIR, manifest, error)) {
        std::vector<PackMember> loaded;
        if (loadMembers(manifest, loaded, error)) {
            for (size_t i = 0; i < loaded.size(); ++i) {
                if (!loaded[i].plainPath.empty()) members[i] = loaded[i];
            }
        }
    }
    members[203] = {"res/table/markings.png", pngMarkings(1024, 2048)};
    for (size_t i = 205; i <= 213; ++i) members[i] = {"res/tex/" + std::to_string(i) + ".png", pngGrain(256, 256, 4)};
    members.push_back({"res/table/parts.mtl",
                       "newmtl Cue_main\nmap_Kd Cue_COL_ext1.png\nmap_Ks Cue_GLOSS.png\n"
                       "newmtl Cloth\nmap_Kd cloth.png\nmap_Bump -bm 0.4 cloth_n.png\n"
                       "newmtl Wood\nmap_Kd wood.png\nmap_Ks wood_s.png\n"
                       "newmtl Ball\nmap_Kd ball.png\n"});
    members.push_back({"res/dr/parts.mtl", "newmtl Wall\nmap_Kd wall.png\n"});
    for (const char* name : {"Cue_COL_ext1.png", "cloth.png", "cloth_n.png", "wood.png", "wood_s.png"}) {
        members.push_back({std::string("res/table/") + name, pngGrain(1024, 1024, 3)});
    }
    members.push_back({"res/table/Cue_GLOSS.png", pngGrain(1024, 64, 1)});
    members.push_back({"res/dr/wall.png", pngGrain(1024, 1024, 3)});
    const float lo[3] = {-1800, -40, -900}, hi[3] = {1800, 0, 900};
    const float roomLo[3] = {-6000, -800, -5000}, roomHi[3] = {6000, 3000, 5000};
    for (int i = 0; i < 28; ++i) {
        const std::string path = kModelPaths[i];
        std::string obj;
        if (i < 2) obj = boxObj("parts.mtl", "Cue_main", lo, hi, false, 20);
        else if (i < 4) obj = boxObj("parts.mtl", "Cloth", lo, hi, false, 40);
        else if (i < 14) obj = boxObj("parts.mtl", "Wood", lo, hi, false, 30);
        else if (i == 14) obj = boxObj("parts.mtl", "Wall", roomLo, roomHi, true, 40);
        else obj = sphereObj("parts.mtl", "Ball", 32, 64);
        members.push_back({path, obj});
    }
    members.push_back({"res/table/ball.png", pngGrain(512, 256, 3)});

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bz-scene-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "res");
    std::vector<ArchiveEntry> rows;
    if (!writeArchive(members, (dir / "res" / "vidoda.dat").string(), rows, error)) return {};
    ArchiveIndex::instance().replaceTable(rows, "res/vidoda.dat");
    ArchiveIndex::instance().setBaseFolder(dir.string() + "/");
    return dir;
}

void BM_SceneLoadingSteps(benchmark::State& state) {
    const HiddenGlContext gl(64, 64);
    if (!gl.ok) {
        state.SkipWithError("no GL 3.3 context");
        return;
    }
    // By the time the steps run, the frames before them have uploaded and drawn page textures: the
    // driver's one-time start-up work is not part of any step.
    {
        std::vector<unsigned char> page(1024 * 1024 * 4, 128);
        unsigned warm = 0;
        glGenTextures(1, &warm);
        glBindTexture(GL_TEXTURE_2D, warm);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1024, 1024, 0, GL_RGBA, GL_UNSIGNED_BYTE, page.data());
        glGenerateMipmap(GL_TEXTURE_2D);
        glFinish();
        glDeleteTextures(1, &warm);
    }
    std::filesystem::path standIns;
    if (!BZFile("res/table/Ball_red.obj").isOpen()) standIns = packStandIns();
    state.SetLabel(standIns.empty() ? "built archive" : "stand-in assets");

    // One step per frame at 60 frames per second: a step shorter than a frame waits for the frame's
    // end (the worker decodes the next step's images meanwhile), a longer one stretches its frame.
    constexpr double kFrameMs = 1000.0 / 60.0;
    double worstMs = 0, totalMs = 0;
    int worstStep = 0;
    for (auto _ : state) {
        modelShared() = ModelShared{};
        Scene scene;
        scene.initShaders();
        // The steps start 3 s after the login page shows; start-up built the programs before.
        std::this_thread::sleep_for(std::chrono::seconds(3));
        ResourceLoader loader(scene, [] { return true; });
        const auto begin = std::chrono::steady_clock::now();
        while (!loader.resourcesLoaded()) {
            const auto start = std::chrono::steady_clock::now();
            loader.step();
            glFinish();  // the frame's GL work is part of the frame
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            if (ms > worstMs) worstMs = ms, worstStep = scene.stepsDone();
            if (ms < kFrameMs) std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(kFrameMs - ms));
        }
        totalMs = std::max(totalMs, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
    }
    state.counters["total_ms"] = totalMs;
    state.counters["worst_step_ms"] = worstMs;
    state.counters["worst_step"] = worstStep;  // the step number, 1 to 32
    if (!standIns.empty()) std::filesystem::remove_all(standIns);
    ArchiveIndex::instance().useBuiltInTable();
}
BENCHMARK(BM_SceneLoadingSteps)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return runGlBenchmarks(argc, argv); }
