// The main of a benchmark that needs GL: without a display it runs itself again under a virtual one
// (BZ_WITH_DISPLAY names the wrapper), then asks SDL for GL 3.3 core contexts, multisampled when
// BZ_BENCH_SAMPLES asks for it.
#pragma once

#include <benchmark/benchmark.h>

#include <GL/glew.h>
#include <SDL2/SDL.h>

#include <cstdlib>
#include <unistd.h>
#include <vector>

// A hidden window with a current GL 3.3 context and GLEW loaded; `ok` false when any of it failed.
struct HiddenGlContext {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool ok = false;

    HiddenGlContext(int width, int height) {
        window = SDL_CreateWindow("bench", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        context = window ? SDL_GL_CreateContext(window) : nullptr;
        glewExperimental = GL_TRUE;
        ok = context && glewInit() == GLEW_OK;
    }
    ~HiddenGlContext() {
        if (context) SDL_GL_DeleteContext(context);
        if (window) SDL_DestroyWindow(window);
    }
    HiddenGlContext(const HiddenGlContext&) = delete;
    HiddenGlContext& operator=(const HiddenGlContext&) = delete;
};

inline int runGlBenchmarks(int argc, char** argv) {
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
    // BZ_BENCH_SAMPLES=4 opens the windows multisampled as the client opens its own by default
    // (antialiasing 4): the frame then costs what the player's frame costs.
    if (const char* samples = std::getenv("BZ_BENCH_SAMPLES"); samples && std::atoi(samples) > 1) {
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, std::atoi(samples));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SDL_Quit();
    return 0;
}
