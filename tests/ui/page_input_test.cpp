// SDL input for the pages: key codes and characters, modifiers, typed text as UTF-16 units, the
// pointer mapped into a page, wheel deltas and buttons.
#include "ui/page_input.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace bzweb;

namespace {

SDL_Event keyEvent(Uint32 type, SDL_Keycode sym, uint16_t mod = 0) {
    SDL_Event event{};
    event.type = type;
    event.key.keysym.sym = sym;
    event.key.keysym.mod = mod;
    return event;
}

SDL_Event textEvent(const char* utf8) {
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    std::strncpy(event.text.text, utf8, sizeof event.text.text - 1);
    return event;
}

struct KeyCase {
    const char* name;
    SDL_Keycode key;
    uint16_t mod;
    int keyCode;
    int character;
};

TEST(PageInput, KeyCodesAndCharacters) {
    const int none = kNoCharacter;
    const KeyCase cases[] = {
        {"a", SDLK_a, 0, 65, 'a'},
        {"Shift+a", SDLK_a, KMOD_LSHIFT, 65, 'A'},
        {"Caps a", SDLK_z, KMOD_CAPS, 90, 'Z'},
        {"Caps+Shift a", SDLK_a, KMOD_CAPS | KMOD_RSHIFT, 65, 'a'},
        {"2", SDLK_2, 0, 50, '2'},
        {"Shift+2", SDLK_2, KMOD_LSHIFT, 50, '@'},
        {"Shift+3", SDLK_3, KMOD_LSHIFT, 51, '#'},
        {"Shift+0", SDLK_0, KMOD_LSHIFT, 48, ')'},
        {"Caps 9 stays a digit", SDLK_9, KMOD_CAPS, 57, '9'},
        {"F1", SDLK_F1, 0, 112, none},
        {"F5", SDLK_F5, 0, 116, none},
        {"F12", SDLK_F12, 0, 123, none},
        {"Return", SDLK_RETURN, 0, 13, 13},
        {"keypad Enter", SDLK_KP_ENTER, 0, 13, 13},
        {"Backspace", SDLK_BACKSPACE, 0, 8, none},
        {"Space", SDLK_SPACE, 0, 32, 32},
        {"Shift+#", SDLK_HASH, KMOD_LSHIFT, 220, '~'},
        {"'", SDLK_QUOTE, 0, 222, '\''},
        {"Shift+'", SDLK_QUOTE, KMOD_LSHIFT, 222, '"'},
        {"Shift+\\", SDLK_BACKSLASH, KMOD_LSHIFT, 220, '|'},
        {"Shift+;", SDLK_SEMICOLON, KMOD_LSHIFT, 186, ':'},
        {"Shift+`", SDLK_BACKQUOTE, KMOD_LSHIFT, 192, '~'},
        {"Delete", SDLK_DELETE, 0, 46, 127},
        {"Shift+Delete keeps 127", SDLK_DELETE, KMOD_LSHIFT, 46, 127},
        {"Left", SDLK_LEFT, 0, 37, none},
        {"Page Down", SDLK_PAGEDOWN, 0, 34, none},
        {"keypad 1 Num Lock", SDLK_KP_1, KMOD_NUM, 97, none},
        {"keypad 1", SDLK_KP_1, 0, 35, none},
        {"keypad 5 Num Lock", SDLK_KP_5, KMOD_NUM, 101, none},
        {"keypad 5", SDLK_KP_5, 0, 32, none},
        {"keypad 0", SDLK_KP_0, 0, 45, none},
        {"keypad . Num Lock", SDLK_KP_PERIOD, KMOD_NUM, 110, none},
        {"keypad .", SDLK_KP_PERIOD, 0, 46, none},
        {"keypad *", SDLK_KP_MULTIPLY, 0, 106, '*'},
        {"right GUI", SDLK_RGUI, 0, 92, none},
        {"e acute is its SDL code", 233, 0, 233, none},
        {"an unlisted key", SDLK_MUTE, 0, static_cast<int>(SDLK_MUTE), none},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(translateKey(c.key, keyStateFor(c.mod, c.key, true)), (KeyTranslation{c.keyCode, c.character}));
    }
}

TEST(PageInput, ModifiersIncludeTheModifierKeyBeingPressed) {
    std::vector<KeyEvent> down = keyEventsFor(keyEvent(SDL_KEYDOWN, SDLK_LCTRL), true);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(down[0].windowsKeyCode, 17);
    EXPECT_EQ(down[0].modifiers, uint32_t(EVENTFLAG_CONTROL_DOWN));
    // Released: SDL's word alone.
    std::vector<KeyEvent> up = keyEventsFor(keyEvent(SDL_KEYUP, SDLK_LCTRL), true);
    EXPECT_EQ(up[0].modifiers, 0u);
    const KeyState all = keyStateFor(KMOD_CAPS | KMOD_SHIFT | KMOD_CTRL | KMOD_ALT | KMOD_NUM, SDLK_a, true);
    EXPECT_EQ(keyModifiers(all), 1u | 2u | 4u | 8u | 256u);
}

TEST(PageInput, KeyDownSendsCharOnlyWithoutTextInput) {
    std::vector<KeyEvent> typed = keyEventsFor(keyEvent(SDL_KEYDOWN, SDLK_a, KMOD_LSHIFT), false);
    ASSERT_EQ(typed.size(), 2u);
    EXPECT_EQ(typed[0].type, KEYEVENT_KEYDOWN);
    EXPECT_EQ(typed[1].type, KEYEVENT_CHAR);
    EXPECT_EQ(typed[1].character, u'A');
    EXPECT_EQ(typed[1].unmodifiedCharacter, u'A');
    EXPECT_EQ(typed[1].nativeKeyCode, 65);
    EXPECT_EQ(keyEventsFor(keyEvent(SDL_KEYDOWN, SDLK_a), true).size(), 1u);
    // F5 has no character: one key down, even with text input off.
    std::vector<KeyEvent> f5 = keyEventsFor(keyEvent(SDL_KEYDOWN, SDLK_F5), false);
    ASSERT_EQ(f5.size(), 1u);
    EXPECT_EQ(f5[0].windowsKeyCode, 116);
    EXPECT_EQ(f5[0].character, char16_t(0xFFFF));
    std::vector<KeyEvent> up = keyEventsFor(keyEvent(SDL_KEYUP, SDLK_a), false);
    ASSERT_EQ(up.size(), 1u);
    EXPECT_EQ(up[0].type, KEYEVENT_KEYUP);
}

TEST(PageInput, TextInputBecomesUtf16Chars) {
    // "é" typed: a key down with SDL's code and no character, then one CHAR 233 from the text.
    std::vector<KeyEvent> key = keyEventsFor(keyEvent(SDL_KEYDOWN, 233), true);
    ASSERT_EQ(key.size(), 1u);
    EXPECT_EQ(key[0].windowsKeyCode, 233);
    std::vector<KeyEvent> text = keyEventsFor(textEvent("\xC3\xA9"), true);
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].type, KEYEVENT_CHAR);
    EXPECT_EQ(text[0].windowsKeyCode, 233);
    EXPECT_EQ(text[0].character, char16_t(233));
    EXPECT_EQ(text[0].modifiers, 0u);

    // Outside the basic plane: the two surrogates, one event each, then the next character.
    std::vector<KeyEvent> emoji = keyEventsFor(textEvent("\xF0\x9F\x8E\xB1x"), true);
    ASSERT_EQ(emoji.size(), 3u);
    EXPECT_EQ(emoji[0].character, char16_t(0xD83C));
    EXPECT_EQ(emoji[1].character, char16_t(0xDFB1));
    EXPECT_EQ(emoji[2].character, u'x');
}

TEST(PageInput, InvalidUtf8IsDropped) {
    for (const char* bad : {"\xC3", "\xE2\x82", "\xC0\xAF", "\xED\xA0\x80", "\xF5\x80\x80\x80", "a\xFF"}) {
        SCOPED_TRACE(bad);
        EXPECT_TRUE(keyEventsFor(textEvent(bad), true).empty());
    }
}

TEST(PageInput, PointerIsMappedIntoThePage) {
    // A click at (512, 300) over a page whose rectangle starts at (202, 31) top-down.
    EXPECT_EQ(pageCoordinate(512, 1024, 1024, 202), 310);
    EXPECT_EQ(pageCoordinate(300, 647, 647, 31), 269);
    // A render grid half the window: (v * (target-1) / (window-1) + 0.5).
    EXPECT_EQ(pageCoordinate(1023, 512, 1024, 0), 511);
    EXPECT_EQ(pageCoordinate(3, 512, 1024, 0), 1);
    EXPECT_EQ(pageCoordinate(4, 512, 1024, 0), 2);
}

TEST(PageInput, WheelNotchesScroll60UnitsBySdlDirection) {
    SDL_MouseWheelEvent wheel{};
    wheel.y = 1;
    wheel.x = 2;
    int dx = 0, dy = 0;
    wheelDeltas(wheel, dx, dy);
    EXPECT_EQ(dy, 60);
    EXPECT_EQ(dx, -120);
    wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
    wheelDeltas(wheel, dx, dy);
    EXPECT_EQ(dy, -60);
    EXPECT_EQ(dx, 120);
}

TEST(PageInput, ButtonsAndHeldButtonFlags) {
    EXPECT_EQ(pageButton(SDL_BUTTON_LEFT), MBT_LEFT);
    EXPECT_EQ(pageButton(SDL_BUTTON_X1), MBT_LEFT);
    EXPECT_EQ(pageButton(SDL_BUTTON_X2), MBT_RIGHT);
    EXPECT_EQ(pageButton(SDL_BUTTON_RIGHT), MBT_RIGHT);
    EXPECT_EQ(pageButton(SDL_BUTTON_MIDDLE), MBT_MIDDLE);
    EXPECT_EQ(mouseButtonModifiers(SDL_BUTTON_LMASK | SDL_BUTTON_RMASK), uint32_t(EVENTFLAG_LEFT_MOUSE_BUTTON | EVENTFLAG_RIGHT_MOUSE_BUTTON));
    EXPECT_EQ(mouseButtonModifiers(SDL_BUTTON_MMASK | SDL_BUTTON_X1MASK), uint32_t(EVENTFLAG_MIDDLE_MOUSE_BUTTON));
}

}  // namespace
