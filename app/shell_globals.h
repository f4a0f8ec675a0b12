// The window geometry and the start-up marks of the shell. Main thread only.
#pragma once

#include <SDL.h>

#include <cstdint>

extern SDL_Window* mainWindow;
// The window in screen coordinates, and the off-screen picture (equal unless scaling limits it).
extern int windowWidth, windowHeight;
extern int renderWidth, renderHeight;
// The height of the bottom area (the BottomBox window); the area above the scene, always 0.
extern int bottomAreaPixels;
extern int topAreaHeight;
// The first accepted resize refits the overhead camera.
extern bool refitCameraOnResize;
// SDL ticks at which the login state was entered.
extern uint32_t loginStateTicks;
// Every model and sound is loaded.
extern bool resourcesLoaded;
// The last pointer position of a mouse event, in window and in render coordinates.
extern int pointerWindowX, pointerWindowY, pointerRenderX, pointerRenderY;

// Back to the values at process start (tests run the shell more than once).
void resetShellGlobals();
