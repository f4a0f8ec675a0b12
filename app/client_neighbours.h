// The product's neighbours of the shell: every operation the loop calls, wired to the real
// subsystems. Each group lives in its own file: the pages and their input (wire_pages.cpp), the
// scene (wire_scene.cpp), sound and settings (wire_sound.cpp), the game view (wire_game.cpp).
#pragma once

#include "app/shell_neighbours.h"

class ClientNeighbours : public ShellNeighbours {
public:
    // wire_pages.cpp
    bzweb::RefPtr<bzweb::WebApp> makeWebApp() override;
    void createHtmlWindows() override;
    bool isMouseOver(HtmlWindow window, int x, int y) override;
    MouseCapture mouseCapture() override;
    void windowDragEvent(const SDL_Event& event) override;
    void windowDragEventDone() override;
    void sendToPage(HtmlWindow window, const SDL_Event& event, const PageInputGeometry& geometry) override;
    void pointerLeftPage(HtmlWindow window) override;
    void actOnPageFlags(bool replayModeChanged) override;
    void resizePages() override;
    bool takePageStartedReport() override;
    std::string loadFirstPendingPage() override;
    void pumpEngine() override;

    // wire_scene.cpp
    void initScene() override;
    void setViewport(bool refitCamera) override;
    bool drawFrame(bool mustDraw) override;
    void windowResized() override;
    bool loadResourcesStep() override;

    // wire_sound.cpp
    void applyGameSettings() override;
    void closeAudio() override;

    // wire_game.cpp
    void updateGame() override;
    GameInputFlags gameInputFlags() override;
    bool keyDown(SDL_Keycode key, int renderX, int renderY) override;
    void keyUp(SDL_Keycode key, int renderX, int renderY) override;
    void gameViewMouseEvent(const SDL_Event& event) override;
};
