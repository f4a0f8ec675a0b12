// SDL input for the windowless pages: SDL key codes to the engine's Windows-style key codes and
// characters, typed text to UTF-16 character events, and the pointer from window pixels to the
// pixels of one page. The translation is pure; handleBrowserEvent sends the result to a browser.
// Main thread only.
#pragma once

#include "ui/engine/web_browser.h"
#include "ui/engine/web_types.h"

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

// The character field's value for "no character".
inline constexpr int kNoCharacter = -1;

// The modifiers of one key event. SDL reports the state before the key, so the press of a modifier
// key itself sets its own flag.
struct KeyState {
    bool shift = false, control = false, alt = false, numLock = false, capsLock = false;
    bool upper() const { return shift != capsLock; }
};
KeyState keyStateFor(uint16_t sdlModifiers, SDL_Keycode key, bool pressed);

struct KeyTranslation {
    int keyCode = 0;
    int character = kNoCharacter;
    bool operator==(const KeyTranslation&) const = default;
};

// The table of the keys that are neither letters, digits nor F1-F12; key code 0 for any other.
KeyTranslation sdlKeyToKeyCode(SDL_Keycode key, const KeyState& state);
// A digit key, with the US layout's shifted characters.
KeyTranslation shiftedDigitChar(SDL_Keycode key, const KeyState& state);
// Any key: letters, digits, F1-F12, the table, and otherwise the SDL code itself without character.
KeyTranslation translateKey(SDL_Keycode key, const KeyState& state);
uint32_t keyModifiers(const KeyState& state);

// The engine's events for one SDL key down, key up or text-input event (empty for other types).
// A key down carries its character as a CHAR event only while text input is off; text input gives
// one CHAR per UTF-16 unit (surrogate pairs as two) and nothing for text that is not valid UTF-8.
// keysSecret: the keys may be a password, and their log lines leave out which key it was.
std::vector<bzweb::KeyEvent> keyEventsFor(const SDL_Event& event, bool textInputActive, bool keysSecret = false);

// Where a page lies and the grids the pointer is measured in.
struct PagePlacement {
    int left = 0, top = 0;  // the page's top-left corner, top-down, in target pixels
    int targetWidth = 0, targetHeight = 0;  // the grid the pages are laid out in
    int windowWidth = 0, windowHeight = 0;  // the SDL window
};

// A window coordinate in the target grid, relative to the page's edge (left or top).
int pageCoordinate(int value, int target, int window, int edge);

// The engine's wheel deltas for one SDL wheel event: 60 units a notch, sign by SDL's direction.
void wheelDeltas(const SDL_MouseWheelEvent& wheel, int& deltaX, int& deltaY);

// The mouse flags of SDL's button mask (left 16, middle 32, right 64).
uint32_t mouseButtonModifiers(uint32_t sdlButtonMask);
bzweb::MouseButtonType pageButton(uint8_t sdlButton);

// Hands one SDL event to a page: keys and text to handleKeyEvent, mouse events to handleMouseEvent,
// other types are ignored.
void handleBrowserEvent(const SDL_Event& event, const bzweb::RefPtr<bzweb::WebBrowser>& browser,
                        const PagePlacement& placement);
void handleMouseEvent(const SDL_Event& event, const bzweb::RefPtr<bzweb::WebBrowser>& browser,
                      const PagePlacement& placement);
// Keys typed while the login form takes them are logged without saying which key they were.
void handleKeyEvent(const bzweb::RefPtr<bzweb::WebBrowser>& browser, const SDL_Event& event);

// BottomBox drops its hover state: a move to (0, 0) without buttons (not a mouse leave).
void resetBottomBoxMouse();
