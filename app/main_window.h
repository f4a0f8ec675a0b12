// The one application window with its OpenGL 3.3 core context, and GLEW.
#pragma once

#include <SDL.h>

#include <string>

// The text written when the system has no OpenGL 3.3 (114 bytes, no line feed after it).
extern const char* const NO_OPENGL_33_MESSAGE;

enum class WindowResult {
    Opened,
    SdlFailed,  // SDL, the window or the context could not be made; error holds SDL's reason
    NoOpenGl33,
};

// Sample counts asked of the context: 0 (none) for 0 or 1, else at most 16.
int clampAntiAliasing(int antiAliasing);

// Starts SDL video and opens "Baizeron" centred at 1024 x 647, resizable and maximised, minimum
// 1020 x 647, with a core 3.3 context (multisampled when antiAliasing > 1; a multisampled context
// that cannot be made is tried once more without), then starts GLEW. Sets mainWindow and context.
WindowResult openMainWindow(int antiAliasing, SDL_GLContext& context, std::string& error);
// Deletes the context, closes the window and ends SDL.
void closeMainWindow(SDL_GLContext context);
