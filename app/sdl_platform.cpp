#include "app/sdl_platform.h"

#include "app/shell_globals.h"
#include "core/log.h"

#include <SDL.h>

static_assert(MOD_SHIFT == KMOD_SHIFT && MOD_CTRL == KMOD_CTRL && MOD_ALT == KMOD_ALT,
              "the platform's modifier masks are SDL's");

namespace {

bool eventModifiersKnown = false;
uint16_t eventModifierBits = 0;

}  // namespace

void noteEventModifiers(const SDL_Event& event) {
    if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP) return;
    eventModifierBits = event.key.keysym.mod;
    eventModifiersKnown = true;
}

void eventPassDone() {
    eventModifierBits = static_cast<uint16_t>(SDL_GetModState());
    eventModifiersKnown = true;
}

uint16_t eventModifiers() {
    return eventModifiersKnown ? eventModifierBits : static_cast<uint16_t>(SDL_GetModState());
}

uint16_t SdlPlatform::modifierState() { return eventModifiers(); }

void SdlPlatform::releaseMouseCapture() {
    if (mainWindow != nullptr && (SDL_GetWindowFlags(mainWindow) & SDL_WINDOW_MOUSE_CAPTURE) != 0) {
        SDL_CaptureMouse(SDL_FALSE);
    }
}

void SdlPlatform::setRelativeMouseMode(bool on) { SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE); }

void SdlPlatform::showCursor(bool shown) { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }

void SdlPlatform::warpMouse(int x, int y) {
    if (mainWindow != nullptr) SDL_WarpMouseInWindow(mainWindow, x, y);
}

void SdlPlatform::mousePosition(int& x, int& y) { SDL_GetMouseState(&x, &y); }

void SdlPlatform::pushKeyPress(int key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    event.key.windowID = mainWindow != nullptr ? SDL_GetWindowID(mainWindow) : 0;
    SDL_PushEvent(&event);
    event.type = SDL_KEYUP;
    event.key.state = SDL_RELEASED;
    SDL_PushEvent(&event);
}

void SdlPlatform::setWindowTitle(const std::string& title) {
    if (mainWindow != nullptr) SDL_SetWindowTitle(mainWindow, title.c_str());
}

void SdlPlatform::setFullscreen(FullscreenMode mode) {
    if (mainWindow == nullptr) return;
    Uint32 flags = 0;
    if (mode == FullscreenMode::Desktop) flags = SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (mode == FullscreenMode::Exclusive) {
        SDL_DisplayMode wanted{SDL_PIXELFORMAT_UNKNOWN, 1280, 720, 59, nullptr};
        SDL_DisplayMode closest{};
        const int display = SDL_GetWindowDisplayIndex(mainWindow);
        if (SDL_GetClosestDisplayMode(display < 0 ? 0 : display, &wanted, &closest) != nullptr) {
            SDL_SetWindowDisplayMode(mainWindow, &closest);
        }
        flags = SDL_WINDOW_FULLSCREEN;
    }
    if (SDL_SetWindowFullscreen(mainWindow, flags) != 0) {
        BZ_LOG(LOG_ERROR, "setFullscreen", "Full-screen change refused: " << SDL_GetError());
    }
}
