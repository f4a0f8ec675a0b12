#include "ui/engine/dom_keys.h"

namespace bzweb {

DomKey DomKeyFor(int vk, bool keypad) {
    if (vk >= 'A' && vk <= 'Z') return {std::string(1, static_cast<char>(vk - 'A' + 'a')), std::string("Key") + static_cast<char>(vk)};
    if (vk >= '0' && vk <= '9') {
        std::string d(1, static_cast<char>(vk));
        return {d, "Digit" + d};
    }
    if (vk >= 96 && vk <= 105) {
        std::string d(1, static_cast<char>('0' + vk - 96));
        return {d, "Numpad" + d};
    }
    if (vk >= 112 && vk <= 123) {
        std::string f = "F" + std::to_string(vk - 111);
        return {f, f};
    }
    switch (vk) {
    case 8: return {"Backspace", "Backspace"};
    case 9: return {"Tab", "Tab"};
    case 13: return {"Enter", keypad ? "NumpadEnter" : "Enter"};
    case 16: return {"Shift", "ShiftLeft"};
    case 17: return {"Control", "ControlLeft"};
    case 18: return {"Alt", "AltLeft"};
    case 19: return {"Pause", "Pause"};
    case 20: return {"CapsLock", "CapsLock"};
    case 27: return {"Escape", "Escape"};
    case 32: return {" ", "Space"};
    case 33: return {"PageUp", keypad ? "Numpad9" : "PageUp"};
    case 34: return {"PageDown", keypad ? "Numpad3" : "PageDown"};
    case 35: return {"End", keypad ? "Numpad1" : "End"};
    case 36: return {"Home", keypad ? "Numpad7" : "Home"};
    case 37: return {"ArrowLeft", keypad ? "Numpad4" : "ArrowLeft"};
    case 38: return {"ArrowUp", keypad ? "Numpad8" : "ArrowUp"};
    case 39: return {"ArrowRight", keypad ? "Numpad6" : "ArrowRight"};
    case 40: return {"ArrowDown", keypad ? "Numpad2" : "ArrowDown"};
    case 45: return {"Insert", keypad ? "Numpad0" : "Insert"};
    case 46: return {"Delete", keypad ? "NumpadDecimal" : "Delete"};
    case 91: return {"Meta", "MetaLeft"};
    case 92: return {"Meta", "MetaRight"};
    case 93: return {"ContextMenu", "ContextMenu"};
    case 106: return {"*", "NumpadMultiply"};
    case 107: return {"+", "NumpadAdd"};
    case 109: return {"-", "NumpadSubtract"};
    case 110: return {".", "NumpadDecimal"};
    case 111: return {"/", "NumpadDivide"};
    case 144: return {"NumLock", "NumLock"};
    case 145: return {"ScrollLock", "ScrollLock"};
    case 186: return {";", "Semicolon"};
    case 187: return {"=", "Equal"};
    case 188: return {",", "Comma"};
    case 189: return {"-", "Minus"};
    case 190: return {".", "Period"};
    case 191: return {"/", "Slash"};
    case 192: return {"`", "Backquote"};
    case 219: return {"[", "BracketLeft"};
    case 220: return {"\\", "Backslash"};
    case 221: return {"]", "BracketRight"};
    case 222: return {"'", "Quote"};
    default: return {};
    }
}

}  // namespace bzweb
