// The application window and its context under a virtual display with software GL.
#include "app//main_window.h"
#include "app/sdl_platform.h"
#include "app/shell_globals.h"
#include "support/captured_log.h"

#include <GL/glew.h>
#include "display_leak_check.h"

#include <gtest/gtest.h>

namespace {

TEST(MainWindow, SampleCountsAreClamped) {
    const int cases[][2] = {{-3, 0}, {0, 0}, {1, 0}, {2, 2}, {4, 4}, {16, 16}, {64, 16}};
    for (const auto& c : cases) EXPECT_EQ(clampAntiAliasing(c[0]), c[1]) << c[0];
}

TEST(MainWindow, OpensWithACoreContextEvenWhenMultisamplingIsRefused) {
    bztest::CapturedLog log("bz-window");
    SDL_GLContext context = nullptr;
    std::string error;
    ASSERT_EQ(openMainWindow(64, context, error), WindowResult::Opened) << error;
    ASSERT_NE(mainWindow, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(mainWindow), "Baizeron");
    EXPECT_NE(SDL_GetWindowFlags(mainWindow) & SDL_WINDOW_RESIZABLE, 0u);
    int minWidth = 0, minHeight = 0;
    SDL_GetWindowMinimumSize(mainWindow, &minWidth, &minHeight);
    EXPECT_EQ(minWidth, 1020);
    EXPECT_EQ(minHeight, 647);
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    EXPECT_GE(major * 10 + minor, 33);
    EXPECT_NE(glGenVertexArrays, nullptr);
    int buffers = -1, samples = -1;
    SDL_GL_GetAttribute(SDL_GL_MULTISAMPLEBUFFERS, &buffers);
    SDL_GL_GetAttribute(SDL_GL_MULTISAMPLESAMPLES, &samples);
    if (buffers == 0) {
        // The display had no multisampled format: the window came on the second try, and said why.
        EXPECT_EQ(log.count("trying again without multisampling"), 1);
    } else {
        EXPECT_LE(samples, 16);
    }
    // The game controller's window-system calls reach this window.
    SdlPlatform sdl;
    sdl.setWindowTitle("Baizeron - practice");
    EXPECT_STREQ(SDL_GetWindowTitle(mainWindow), "Baizeron - practice");
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    sdl.pushKeyPress(SDLK_F2);
    SDL_Event event;
    ASSERT_EQ(SDL_PollEvent(&event), 1);
    EXPECT_EQ(event.type, SDL_KEYDOWN);
    EXPECT_EQ(event.key.keysym.sym, SDLK_F2);
    ASSERT_EQ(SDL_PollEvent(&event), 1);
    EXPECT_EQ(event.type, SDL_KEYUP);
    closeMainWindow(context);
    EXPECT_EQ(mainWindow, nullptr);
}

}  // namespace
