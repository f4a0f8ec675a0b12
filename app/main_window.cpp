#include "app/main_window.h"

#include "app/shell_globals.h"
#include "core/log.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstring>

const char* const NO_OPENGL_33_MESSAGE =
    "OpenGL Error!\n;Your system does not support OpenGL 3.3.\nPlease install a graphics card driver with OpenGL "
    "support.";

int clampAntiAliasing(int antiAliasing) { return antiAliasing <= 1 ? 0 : std::min(antiAliasing, 16); }

namespace {

void setContextAttributes(int samples) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, samples > 0 ? 8 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples > 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples);
}

// A window and its context; the window is made again for each try because its pixel format
// follows the attributes in force when it was created.
bool tryWindow(int samples, SDL_GLContext& context, std::string& error) {
    setContextAttributes(samples);
    mainWindow = SDL_CreateWindow("Baizeron", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 1024, 647,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_MAXIMIZED);
    if (mainWindow == nullptr) {
        error = std::string("the window could not be opened: ") + SDL_GetError();
        return false;
    }
    SDL_SetWindowMinimumSize(mainWindow, 1020, 647);
    context = SDL_GL_CreateContext(mainWindow);
    if (context != nullptr) return true;
    error = std::string("no OpenGL 3.3 core context: ") + SDL_GetError();
    SDL_DestroyWindow(mainWindow);
    mainWindow = nullptr;
    return false;
}

}  // namespace

WindowResult openMainWindow(int antiAliasing, SDL_GLContext& context, std::string& error) {
    context = nullptr;
    // Mends the start without a display, window or context that went on into GL calls with no context.
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        error = std::string("SDL video could not start: ") + SDL_GetError();
        return WindowResult::SdlFailed;
    }
    const int samples = clampAntiAliasing(antiAliasing);
    if (!tryWindow(samples, context, error)) {
        if (samples == 0) return WindowResult::SdlFailed;
        BZ_LOG(LOG_ERROR, "main", error << "; trying again without multisampling");
        if (!tryWindow(0, context, error)) return WindowResult::SdlFailed;
    }
    glewExperimental = GL_TRUE;
    const GLenum glew = glewInit();
    // A context without a window system GLEW knows (EGL under GLX builds) reports no GLX display
    // although every entry point loaded; the entry points decide.
    if ((glew != GLEW_OK && glew != GLEW_ERROR_NO_GLX_DISPLAY) || glGenVertexArrays == nullptr) {
        return WindowResult::NoOpenGl33;
    }
    glGetError();  // GLEW's probing may leave an error behind
    return WindowResult::Opened;
}

void closeMainWindow(SDL_GLContext context) {
    if (context != nullptr) SDL_GL_DeleteContext(context);
    if (mainWindow != nullptr) SDL_DestroyWindow(mainWindow);
    mainWindow = nullptr;
    SDL_Quit();
}
