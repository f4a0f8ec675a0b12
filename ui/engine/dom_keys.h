// The DOM names ("key" and "code") of the Windows virtual key codes that the input code sends.
#pragma once

#include <string>

namespace bzweb {

struct DomKey {
    std::string key;   // "Enter", "ArrowLeft", "a"; empty when unknown
    std::string code;  // "Enter", "ArrowLeft", "KeyA"; empty when unknown
};

// keypad: the key was typed on the numeric keypad.
DomKey DomKeyFor(int windowsKeyCode, bool keypad);

}  // namespace bzweb
