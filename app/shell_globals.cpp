#include "app/shell_globals.h"

SDL_Window* mainWindow = nullptr;
int windowWidth = 1024, windowHeight = 647;
int renderWidth = 1024, renderHeight = 647;
int bottomAreaPixels = 280;
int topAreaHeight = 0;
bool refitCameraOnResize = true;
uint32_t loginStateTicks = 0;
bool resourcesLoaded = false;
int pointerWindowX = 0, pointerWindowY = 0, pointerRenderX = 0, pointerRenderY = 0;

void resetShellGlobals() {
    mainWindow = nullptr;
    windowWidth = renderWidth = 1024;
    windowHeight = renderHeight = 647;
    bottomAreaPixels = 280;
    topAreaHeight = 0;
    refitCameraOnResize = true;
    loginStateTicks = 0;
    resourcesLoaded = false;
    pointerWindowX = pointerWindowY = pointerRenderX = pointerRenderY = 0;
}
