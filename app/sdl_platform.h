// The window system as the game controller asks for it, on SDL and the main window.
#pragma once

#include "core/platform.h"

#include <SDL.h>

class SdlPlatform : public Platform {
public:
    uint16_t modifierState() override;
    void releaseMouseCapture() override;
    void setRelativeMouseMode(bool on) override;
    void showCursor(bool shown) override;
    void warpMouse(int x, int y) override;
    void mousePosition(int& x, int& y) override;
    void pushKeyPress(int key) override;
    void setWindowTitle(const std::string& title) override;
    void setFullscreen(FullscreenMode mode) override;
};

// The modifiers held when the event being handled was made. SDL_GetModState already tells the state
// after the whole queue was read, so a quick Ctrl+F (Ctrl down, f down, f up, Ctrl up in one pass)
// would read as a plain f. The frame loop notes each event before handling it and marks the end of
// its event pass; between passes the state is SDL's. modifierState() answers from here.
void noteEventModifiers(const SDL_Event& event);
void eventPassDone();
uint16_t eventModifiers();
