// A window with a GL 3.3 core context and GLEW loaded, for the tests that draw: in gtest set-ups
// (its checks are ASSERTs), the caller closes it with closeGlWindow.
#pragma once

#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

namespace bztest {

struct GlWindowOptions {
    const char* title = "test";
    int width = 64, height = 64;
    bool shown = false;   // shown windows are the ones read back through X
    int samples = 0;      // > 0: a multisampled window, as the client opens with antialiasing
    int depthBits = -1;   // >= 0: asks for that depth buffer
};

inline void openGlWindow(const GlWindowOptions& options, SDL_Window*& window, SDL_GLContext& context) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    if (options.samples > 0) {
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, options.samples);
    }
    if (options.depthBits >= 0) SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, options.depthBits);
    const Uint32 flags = SDL_WINDOW_OPENGL | (options.shown ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
    window = SDL_CreateWindow(options.title, 0, 0, options.width, options.height, flags);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    context = SDL_GL_CreateContext(window);
    ASSERT_NE(context, nullptr) << SDL_GetError();
    glewExperimental = GL_TRUE;
    ASSERT_EQ(glewInit(), GLEW_OK);
    // GLEW's probe leaves an error behind on core contexts.
    while (glGetError() != GL_NO_ERROR) {
    }
}

inline void closeGlWindow(SDL_Window*& window, SDL_GLContext& context) {
    if (context) SDL_GL_DeleteContext(context);
    if (window) SDL_DestroyWindow(window);
    context = nullptr;
    window = nullptr;
    SDL_Quit();
}

}  // namespace bztest
