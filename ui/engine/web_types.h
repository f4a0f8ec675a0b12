// Plain records of the browser-engine layer: geometry, input events, settings and the message
// router's configuration.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace bzweb {

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

enum PaintElementType { PET_VIEW = 0, PET_POPUP = 1 };

// Modifier flags of mouse and key events.
enum EventFlags : uint32_t {
    EVENTFLAG_NONE = 0,
    EVENTFLAG_CAPS_LOCK_ON = 1 << 0,
    EVENTFLAG_SHIFT_DOWN = 1 << 1,
    EVENTFLAG_CONTROL_DOWN = 1 << 2,
    EVENTFLAG_ALT_DOWN = 1 << 3,
    EVENTFLAG_LEFT_MOUSE_BUTTON = 1 << 4,
    EVENTFLAG_MIDDLE_MOUSE_BUTTON = 1 << 5,
    EVENTFLAG_RIGHT_MOUSE_BUTTON = 1 << 6,
    EVENTFLAG_COMMAND_DOWN = 1 << 7,
    EVENTFLAG_NUM_LOCK_ON = 1 << 8,
    EVENTFLAG_IS_KEY_PAD = 1 << 9,
};

enum MouseButtonType { MBT_LEFT = 0, MBT_MIDDLE = 1, MBT_RIGHT = 2 };

// A raw key down is the key alone; a key down may be followed by a char event with its text.
// Both reach the page as "keydown"; text is typed only by char events.
enum KeyEventType { KEYEVENT_RAWKEYDOWN = 0, KEYEVENT_KEYDOWN = 1, KEYEVENT_KEYUP = 2, KEYEVENT_CHAR = 3 };

struct MouseEvent {
    int x = 0;  // pixels from the view's top-left corner
    int y = 0;
    uint32_t modifiers = 0;
};

struct KeyEvent {
    KeyEventType type = KEYEVENT_RAWKEYDOWN;
    uint32_t modifiers = 0;
    int windowsKeyCode = 0;
    int nativeKeyCode = 0;
    bool isSystemKey = false;
    char16_t character = 0;  // 0 or 0xFFFF: none
    char16_t unmodifiedCharacter = 0;
    bool focusOnEditableField = false;
};

enum class TerminationStatus {
    AbnormalTermination,  // ended with a non-zero status
    Killed,               // killed by a signal from outside (SIGKILL, SIGTERM)
    Crashed,              // a crash signal, or the page's renderer died
    OutOfMemory,
};

enum class ProcessId { Browser, Renderer };

// The two page functions of the message router. Both sides are built from the same record.
struct MessageRouterConfig {
    std::string jsQueryFunction = "cefQuery";
    std::string jsCancelFunction = "cefQueryCancel";
};

struct MainArgs {
    int argc = 0;
    char** argv = nullptr;
};

// How the engine is started. Only windowless rendering and a message loop pumped by the
// caller exist; the other two switches are kept so that callers can state what they expect.
struct WebSettings {
    bool windowlessRenderingEnabled = true;
    bool externalMessagePump = false;
    bool multiThreadedMessageLoop = false;
    // Folder under which a fresh profile folder is made (and removed at shutdown); empty: $TMPDIR or /tmp.
    std::string cachePath;
    // The browser binary; empty: chromium-headless-shell, else chromium, in /usr/lib/chromium.
    std::string browserPath;
    // Where the browser's own standard error goes; empty: discarded.
    std::string browserLogFile;
    int startTimeoutMs = 15000;
    int decoderThreads = 2;
    // Asked for the text that Ctrl+V pastes into the focused field: the off-screen browser has no
    // access to the desktop clipboard. Empty: the key goes to the page as it is.
    std::function<std::string()> clipboardText;
};

struct WindowInfo {
    bool windowless = true;
    void SetAsWindowless(uintptr_t /*parent*/) { windowless = true; }
};

struct BrowserSettings {
    int windowlessFrameRate = 30;  // paints per second at most
};

}  // namespace bzweb
