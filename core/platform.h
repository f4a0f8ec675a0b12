// What the game controller asks of the window system (SDL in the product): the keyboard modifiers,
// the mouse mode, cursor and pointer, events pushed back into the queue, the window title and the
// full-screen mode. The shell installs its SDL implementation at start-up; until then, and in
// tests, the default does nothing and reports no modifier held. Main thread only.
#pragma once

#include <cstdint>
#include <string>

// Modifier masks of modifierState(): either Shift, either Ctrl, either Alt.
inline constexpr uint16_t MOD_SHIFT = 0x3;
inline constexpr uint16_t MOD_CTRL = 0xC0;
inline constexpr uint16_t MOD_ALT = 0x300;

enum class FullscreenMode {
    Windowed,  // back to the window
    Desktop,   // full screen at the desktop's resolution
    Exclusive, // full screen at 1280 x 720, 59 Hz
};

class Platform {
public:
    virtual ~Platform() = default;

    // The keyboard modifier bits held now (SDL_GetModState).
    virtual uint16_t modifierState() { return 0; }
    // Lets go of the window system's mouse capture when the window holds it (relative mode wants it free).
    virtual void releaseMouseCapture() {}
    // Relative mouse mode hides the pointer and reports motion only.
    virtual void setRelativeMouseMode(bool on) {}
    virtual void showCursor(bool shown) {}
    // Moves the pointer to window coordinates.
    virtual void warpMouse(int x, int y) {}
    // The pointer's window position now.
    virtual void mousePosition(int& x, int& y) { x = y = 0; }
    // Queues a key press (down then up) as if typed, for the frame loop's next event pass.
    virtual void pushKeyPress(int key) {}
    virtual void setWindowTitle(const std::string& title) {}
    virtual void setFullscreen(FullscreenMode mode) {}
};

// The installed platform, or the one that does nothing.
Platform& platform();
// Installs one (nullptr: the default again); returns the previous one. The caller keeps it alive.
Platform* setPlatform(Platform* platform);
