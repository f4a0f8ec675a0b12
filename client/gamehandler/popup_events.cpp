// The bottom bar's popups: opening one grows the bar so that the popup fits, closing it gives the
// bar back the size the user chose; the two foul choices end the aim and answer the server.
#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/requests.h"
#include "core/log.h"

#include <SDL2/SDL_keycode.h>

#include <utility>

namespace {

GameHandler::BottomBoxSizer installedSizer = nullptr;

void resizeBottomBox(bool fromToggle, bool fullSize) {
    if (installedSizer != nullptr) {
        installedSizer(fromToggle, fullSize);
    } else {
        BZ_LOG(LOG_INFO, "onHtmlWindowEvent", "no bottom box to resize: " << fromToggle << " " << fullSize);
    }
}

}  // namespace

PanelsState::BottomBoxSizer PanelsState::setBottomBoxSizer(BottomBoxSizer sizer) {
    return std::exchange(installedSizer, sizer);
}

void GameHandler::onHtmlWindowEvent(const std::string& event, const std::string& what) {
    BZ_LOG(LOG_INFO, "onHtmlWindowEvent", event << " " << what);
    if (event == "opened") {
        if (what == "lineup") {
            if (bottomBoxCollapsed) resizeBottomBox(false, true);
        } else if (bottomBoxCollapsed) {
            resizeBottomBox(false, bottomBoxFullSize);
        } else if (!bottomBoxFullSize) {
            resizeBottomBox(false, true);
        }
    } else if (event == "closed") {
        if ((!bottomBoxCollapsed && bottomBoxUserCollapsed) || bottomBoxUserFullSize != bottomBoxFullSize) {
            resizeBottomBox(true, bottomBoxUserFullSize);
        }
    } else if (event == "pressedFoulOpponentRetake" || event == "pressedFoulOpponentPlayOn") {
        // The choice ends any aim in progress, as Escape does, before the answer goes out.
        keyDown(SDLK_ESCAPE, 0, 0);
        if (event == "pressedFoulOpponentRetake") {
            sendFoulRetake();
        } else {
            sendFoulPlayOn();
        }
    }
}
