// The main of a benchmark that needs GL: without a display it runs itself again under a virtual one
// (BZ_WITH_DISPLAY names the wrapper), then asks SDL for GL 3.3 core contexts.
#pragma once

#include <benchmark/benchmark.h>

#include <SDL2/SDL.h>

#include <cstdlib>
#include <unistd.h>
#include <vector>

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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SDL_Quit();
    return 0;
}
