// The window system as the game controller asks for it, on SDL and the main window.
#pragma once

#include "core/platform.h"

class SdlPlatform : public Platform {
public:
    uint16_t modifierState() override;
    void setRelativeMouseMode(bool on) override;
    void showCursor(bool shown) override;
    void warpMouse(int x, int y) override;
    void mousePosition(int& x, int& y) override;
    void pushKeyPress(int key) override;
    void setWindowTitle(const std::string& title) override;
    void setFullscreen(FullscreenMode mode) override;
};
