#include "ui/page_input.h"

#include "core/app_status.h"
#include "core/log.h"
#include "ui/engine/web_string.h"
#include "ui/html_windows.h"

using namespace bzweb;

namespace {

struct TableRow {
    SDL_Keycode key;
    int keyCode;
    int character;         // kNoCharacter: none
    int shiftedCharacter;  // kNoCharacter: the same as character
};

constexpr int kNone = kNoCharacter;

// Keys with one key code whatever Num Lock says.
constexpr TableRow kKeys[] = {
    {SDLK_BACKSPACE, 8, kNone, kNone},
    {SDLK_TAB, 9, kNone, kNone},
    {SDLK_RETURN, 13, 13, kNone},
    {SDLK_KP_ENTER, 13, 13, kNone},
    {SDLK_ESCAPE, 27, kNone, kNone},
    {SDLK_SPACE, 32, 32, kNone},
    {SDLK_HASH, 220, '#', '~'},
    {SDLK_QUOTE, 222, '\'', '"'},
    {SDLK_COMMA, 188, ',', '<'},
    {SDLK_MINUS, 189, '-', '_'},
    {SDLK_PERIOD, 190, '.', '>'},
    {SDLK_SLASH, 191, '/', '?'},
    {SDLK_SEMICOLON, 186, ';', ':'},
    {SDLK_EQUALS, 187, '=', '+'},
    {SDLK_LEFTBRACKET, 219, '[', '{'},
    {SDLK_BACKSLASH, 220, '\\', '|'},
    {SDLK_RIGHTBRACKET, 221, ']', '}'},
    {SDLK_BACKQUOTE, 192, '`', '~'},
    {SDLK_DELETE, 46, 127, kNone},
    {SDLK_CAPSLOCK, 20, kNone, kNone},
    {SDLK_SCROLLLOCK, 145, kNone, kNone},
    {SDLK_PAUSE, 19, kNone, kNone},
    {SDLK_INSERT, 45, kNone, kNone},
    {SDLK_HOME, 36, kNone, kNone},
    {SDLK_PAGEUP, 33, kNone, kNone},
    {SDLK_END, 35, kNone, kNone},
    {SDLK_PAGEDOWN, 34, kNone, kNone},
    {SDLK_RIGHT, 39, kNone, kNone},
    {SDLK_LEFT, 37, kNone, kNone},
    {SDLK_DOWN, 40, kNone, kNone},
    {SDLK_UP, 38, kNone, kNone},
    {SDLK_NUMLOCKCLEAR, 144, kNone, kNone},
    {SDLK_KP_DIVIDE, 111, '/', kNone},
    {SDLK_KP_MULTIPLY, 106, '*', kNone},
    {SDLK_KP_MINUS, 109, '-', kNone},
    {SDLK_KP_PLUS, 107, '+', kNone},
    {SDLK_SELECT, 93, kNone, kNone},
    {SDLK_LCTRL, 17, kNone, kNone},
    {SDLK_RCTRL, 17, kNone, kNone},
    {SDLK_LSHIFT, 16, kNone, kNone},
    {SDLK_RSHIFT, 16, kNone, kNone},
    {SDLK_LALT, 18, kNone, kNone},
    {SDLK_RALT, 18, kNone, kNone},
    {SDLK_LGUI, 91, kNone, kNone},
    {SDLK_RGUI, 92, kNone, kNone},
};

// Keypad keys: the digit's key code with Num Lock, the navigation key's without. No character.
struct KeypadRow {
    SDL_Keycode key;
    int withNumLock;
    int withoutNumLock;
};
constexpr KeypadRow kKeypad[] = {
    {SDLK_KP_1, 97, 35}, {SDLK_KP_2, 98, 40}, {SDLK_KP_3, 99, 34},  {SDLK_KP_4, 100, 37},
    {SDLK_KP_5, 101, 32}, {SDLK_KP_6, 102, 39}, {SDLK_KP_7, 103, 36}, {SDLK_KP_8, 104, 38},
    {SDLK_KP_9, 105, 33}, {SDLK_KP_0, 96, 45},  {SDLK_KP_PERIOD, 110, 46},
};

constexpr char kShiftedDigits[] = ")!@#$%^&*(";

KeyEvent keyEvent(KeyEventType type, const KeyTranslation& key, uint32_t modifiers) {
    KeyEvent event;
    event.type = type;
    event.modifiers = modifiers;
    event.windowsKeyCode = key.keyCode;
    event.nativeKeyCode = key.keyCode;
    event.isSystemKey = false;
    event.character = static_cast<char16_t>(key.character);  // -1 becomes 0xFFFF: no character
    event.unmodifiedCharacter = event.character;
    event.focusOnEditableField = false;
    return event;
}

void sendKeyEvents(const RefPtr<WebBrowser>& browser, const std::vector<KeyEvent>& events) {
    if (!browser) return;
    for (const KeyEvent& event : events) browser->GetHost()->SendKeyEvent(event);
}

}  // namespace

KeyState keyStateFor(uint16_t mods, SDL_Keycode key, bool pressed) {
    KeyState state;
    state.shift = (mods & KMOD_SHIFT) != 0 || (pressed && (key == SDLK_LSHIFT || key == SDLK_RSHIFT));
    state.control = (mods & KMOD_CTRL) != 0 || (pressed && (key == SDLK_LCTRL || key == SDLK_RCTRL));
    state.alt = (mods & KMOD_ALT) != 0 || (pressed && (key == SDLK_LALT || key == SDLK_RALT));
    state.numLock = (mods & KMOD_NUM) != 0;
    state.capsLock = (mods & KMOD_CAPS) != 0;
    return state;
}

KeyTranslation sdlKeyToKeyCode(SDL_Keycode key, const KeyState& state) {
    for (const TableRow& row : kKeys) {
        if (row.key != key) continue;
        const int character = state.shift && row.shiftedCharacter != kNone ? row.shiftedCharacter : row.character;
        return {row.keyCode, character};
    }
    for (const KeypadRow& row : kKeypad) {
        if (row.key == key) return {state.numLock ? row.withNumLock : row.withoutNumLock, kNone};
    }
    return {0, kNone};
}

KeyTranslation shiftedDigitChar(SDL_Keycode key, const KeyState& state) {
    if (key < SDLK_0 || key > SDLK_9) return {0, kNone};
    return {static_cast<int>(key), state.shift ? kShiftedDigits[key - SDLK_0] : static_cast<int>(key)};
}

KeyTranslation translateKey(SDL_Keycode key, const KeyState& state) {
    if (key >= SDLK_a && key <= SDLK_z) {
        const int upperCase = static_cast<int>(key) - 'a' + 'A';
        return {upperCase, state.upper() ? upperCase : static_cast<int>(key)};
    }
    if (key >= SDLK_0 && key <= SDLK_9) return shiftedDigitChar(key, state);
    if (key >= SDLK_F1 && key <= SDLK_F12) return {112 + static_cast<int>(key - SDLK_F1), kNone};
    const KeyTranslation known = sdlKeyToKeyCode(key, state);
    if (known.keyCode != 0) return known;
    return {static_cast<int>(key), kNone};
}

uint32_t keyModifiers(const KeyState& state) {
    uint32_t modifiers = 0;
    if (state.capsLock) modifiers |= EVENTFLAG_CAPS_LOCK_ON;
    if (state.shift) modifiers |= EVENTFLAG_SHIFT_DOWN;
    if (state.control) modifiers |= EVENTFLAG_CONTROL_DOWN;
    if (state.alt) modifiers |= EVENTFLAG_ALT_DOWN;
    if (state.numLock) modifiers |= EVENTFLAG_NUM_LOCK_ON;
    return modifiers;
}

std::vector<KeyEvent> keyEventsFor(const SDL_Event& event, bool textInputActive, bool keysSecret) {
    // Mends the password typed at the login form written to the log key by key.
    auto shown = [keysSecret](int code) { return keysSecret ? std::string("*****") : std::to_string(code); };
    std::vector<KeyEvent> events;
    if (event.type == SDL_TEXTINPUT) {
        std::u16string units;
        if (!Utf8ToUtf16(event.text.text, units)) return events;  // not UTF-8: dropped
        for (char16_t unit : units) {
            BZ_LOG(LOG_INFO, "handleKeyEvent", "@@@ TEXTINPUT CHARACTER: " << shown(static_cast<int>(unit)));
            events.push_back(keyEvent(KEYEVENT_CHAR, {unit, unit}, 0));
        }
        return events;
    }
    if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP) return events;
    const bool pressed = event.type == SDL_KEYDOWN;
    const SDL_Keycode sym = event.key.keysym.sym;
    const KeyState state = keyStateFor(event.key.keysym.mod, sym, pressed);
    const KeyTranslation key = translateKey(sym, state);
    const uint32_t modifiers = keyModifiers(state);
    const char* name = pressed ? "KEYEVENT_KEYDOWN" : "KEYEVENT_KEYUP";
    BZ_LOG(LOG_INFO, "handleKeyEvent", "@@@ " << "KEYEVENT_KEYDOWN/KEYEVENT_KEYUP: keysym.sym=" << shown(sym));
    BZ_LOG(LOG_INFO, "handleKeyEvent", "@@@ " << name << ": key_code=" << shown(key.keyCode));
    if (!pressed) {
        events.push_back(keyEvent(KEYEVENT_KEYUP, key, modifiers));
        return events;
    }
    events.push_back(keyEvent(KEYEVENT_KEYDOWN, key, modifiers));
    // With text input on, the character arrives as a text event of its own.
    if (key.character != kNoCharacter && !textInputActive) events.push_back(keyEvent(KEYEVENT_CHAR, key, modifiers));
    return events;
}

int pageCoordinate(int value, int target, int window, int edge) {
    if (window <= 1) return value - edge;
    const float scaled = static_cast<float>(value) * static_cast<float>(target - 1) / static_cast<float>(window - 1);
    return static_cast<int>(scaled + 0.5f) - edge;
}

void wheelDeltas(const SDL_MouseWheelEvent& wheel, int& deltaX, int& deltaY) {
    const int sign = wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
    deltaX = -60 * wheel.x * sign;
    deltaY = 60 * wheel.y * sign;
}

uint32_t mouseButtonModifiers(uint32_t mask) {
    return (mask & (SDL_BUTTON_LMASK | SDL_BUTTON_MMASK | SDL_BUTTON_RMASK)) * 16;
}

MouseButtonType pageButton(uint8_t button) {
    if (button == SDL_BUTTON_RIGHT || button == SDL_BUTTON_X2) return MBT_RIGHT;
    if (button == SDL_BUTTON_MIDDLE) return MBT_MIDDLE;
    return MBT_LEFT;
}

void handleMouseEvent(const SDL_Event& event, const RefPtr<WebBrowser>& browser, const PagePlacement& p) {
    if (!browser) return;
    const auto place = [&p](int x, int y) {
        MouseEvent mouse;
        mouse.x = pageCoordinate(x, p.targetWidth, p.windowWidth, p.left);
        mouse.y = pageCoordinate(y, p.targetHeight, p.windowHeight, p.top);
        return mouse;
    };
    switch (event.type) {
        case SDL_MOUSEMOTION: {
            MouseEvent mouse = place(event.motion.x, event.motion.y);
            mouse.modifiers = mouseButtonModifiers(event.motion.state);
            browser->GetHost()->SendMouseMoveEvent(mouse, false);
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const MouseEvent mouse = place(event.button.x, event.button.y);
            browser->GetHost()->SendMouseClickEvent(mouse, pageButton(event.button.button),
                                                    event.type == SDL_MOUSEBUTTONUP, event.button.clicks);
            break;
        }
        case SDL_MOUSEWHEEL: {
            int x = 0, y = 0;
            SDL_GetMouseState(&x, &y);
            int deltaX = 0, deltaY = 0;
            wheelDeltas(event.wheel, deltaX, deltaY);
            browser->GetHost()->SendMouseWheelEvent(place(x, y), deltaX, deltaY);
            break;
        }
        default:
            break;
    }
}

void handleKeyEvent(const RefPtr<WebBrowser>& browser, const SDL_Event& event) {
    sendKeyEvents(browser, keyEventsFor(event, SDL_IsTextInputActive() == SDL_TRUE, loginFormTakesKeys(appState.load())));
}

void handleBrowserEvent(const SDL_Event& event, const RefPtr<WebBrowser>& browser, const PagePlacement& placement) {
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
        case SDL_TEXTINPUT:
            handleKeyEvent(browser, event);
            break;
        case SDL_MOUSEMOTION:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
        case SDL_MOUSEWHEEL:
            handleMouseEvent(event, browser, placement);
            break;
        default:
            break;
    }
}

void resetBottomBoxMouse() {
    RefPtr<WebBrowser> browser = htmlBrowser(HtmlWindow::BottomBox);
    if (browser) browser->GetHost()->SendMouseMoveEvent(MouseEvent{}, false);
}
