// What the shell calls in the subsystems around it: the game controller, the renderer, the HTML
// bridge and the window layout. Each operation has a default that does the least the shell needs,
// so the loop runs complete before those subsystems exist; app/ wires the real ones as they land
// (one override per operation, in the product's neighbours class).
#pragma once

#include "core/page_script.h"
#include "ui/engine/web_client.h"

#include <SDL.h>

#include <string>

// A page that holds the mouse while a drag runs (the window-layout code decides it).
struct MouseCapture {
    bool captured = false;
    int window = -1;  // the capturing page as an HtmlWindow value; -1: none, the game view
};

// Flags of the game view that decide where input goes and that the game controller does not hold
// yet (replay mode, POV mode, the tutorial and the panels are read from it directly).
struct GameInputFlags {
    bool coinTossPrompt = false;
    bool startMatchHidden = false;
    bool gameViewCaptured = false;
};

// The pixel grid the pages are laid out in and the window, as the page input needs them.
struct PageInputGeometry {
    int gridWidth = 0, gridHeight = 0;
    int windowWidth = 0, windowHeight = 0;
};

class ShellNeighbours {
public:
    virtual ~ShellNeighbours() = default;

    // --- start-up and end
    // The browser engine's application object (the bridge's; the default has no handlers).
    virtual bzweb::RefPtr<bzweb::WebApp> makeWebApp();
    // The fifteen HTML windows, each with its browser on the bootstrap page, and their pending
    // records on the page start-up list (HTML bridge).
    virtual void createHtmlWindows() {}
    // The scene's shaders (renderer).
    virtual void initScene() {}
    // GameHandler::saveGameSettings: shader variants, frame-rate target, sound, vsync (bridge).
    virtual void applyGameSettings();
    // GameHandler::setViewport with the window geometry, then the overhead camera.
    virtual void setViewport(bool refitCamera) {}

    // --- each frame
    // The frame: off-screen targets, the shot in progress, the scene in the table states, the
    // overlays of the state, glFlush. Unless mustDraw, a frame whose picture would be the one the
    // window shows is not drawn. True when a picture was drawn (to be swapped in). The default only
    // clears the window.
    virtual bool drawFrame(bool mustDraw);
    // GameHandler::update: held keys, sound listener, replay driver.
    virtual void updateGame() {}
    virtual GameInputFlags gameInputFlags() { return {}; }
    // keyDown of the game view; true when it took the key (it then reaches no page).
    virtual bool keyDown(SDL_Keycode key, int renderX, int renderY) { return false; }
    virtual void keyUp(SDL_Keycode key, int renderX, int renderY) {}
    virtual void gameViewMouseEvent(const SDL_Event& event) {}
    virtual bool isMouseOver(HtmlWindow window, int x, int y) { return false; }
    virtual MouseCapture mouseCapture() { return {}; }
    // The window drag of the title area: called for every event before it is routed, and again
    // once it has been handled.
    virtual void windowDragEvent(const SDL_Event& event) {}
    virtual void windowDragEventDone() {}
    // An event for a page (handleBrowserEvent).
    virtual void sendToPage(HtmlWindow window, const SDL_Event& event, const PageInputGeometry& geometry) {}
    // The pointer left StartMatch: a move to (-1, -1) without modifiers.
    virtual void pointerLeftPage(HtmlWindow window) {}
    // An accepted resize, in three steps: the off-screen attachments follow the render size (which
    // falls back to the window size when they cannot), then the viewport (setViewport), then the
    // pages' render handlers and the top bar's place.
    virtual void windowResized() {}
    virtual void resizePages() {}
    // The request flags the pages left: drag, maximise, bottom-bar size and animation (which also
    // follows a change of replay mode since the last frame), POV exit.
    virtual void actOnPageFlags(bool replayModeChanged) {}
    // The page start-up list: whether the previous page has reported its start (clearing the
    // report), and loading its first pending page (its window name; "" when none is pending).
    virtual bool takePageStartedReport() { return true; }
    virtual std::string loadFirstPendingPage() { return {}; }
    // One loading step of models and sounds; true once everything is loaded.
    virtual bool loadResourcesStep() { return true; }
    // Runs the browser engine's work for this frame.
    virtual void pumpEngine();
    // Hands the page pixels decoded since the pump to the pages' overlays, just before the frame is
    // drawn: pixels that came during the last frame's wait are drawn in this one.
    virtual void takePagePixels();
    // The end of the run: the audio device is closed before the threads are stopped.
    virtual void closeAudio() {}
};
