// The view the user asks for (the pages' view buttons) and the end of every aiming action.
#include "client/gamehandler/game_handler.h"

#include "client/gamehandler/page_statements.h"
#include "client/gamehandler/requests.h"
#include "core/log.h"
#include "core/platform.h"
#include "core/text.h"

namespace {

bool endsWith(const std::string& text, char c) { return !text.empty() && text.back() == c; }

}  // namespace

void GameHandler::setViewMode(const std::string& role, const std::string& viewMode) {
    BZ_LOG(LOG_INFO, "setViewMode", "role=" << role << ", viewMode=" << viewMode);
    if (liveStatus->gameState != 1) {
        BZ_LOG(LOG_INFO, "setViewMode", "View mode change disabled when no game is being played.");
        return;
    }
    if (endsWith(viewMode, 't')) shiftViewMode = (platform().modifierState() & MOD_SHIFT) != 0;
    if (role == "p") playerViewMode = viewMode == "2t" || viewMode == "3t";
    if (role == "s") spectatorViewMode = viewMode == "t";
    runInPages({HtmlWindow::BottomBox}, "inbzSetView({role: '" + escapeJsString(role) + "',view: '" +
                                            escapeJsString(viewMode) + "',});");
}

void GameHandler::resetAimingState(bool keepPointAiming) {
    const bool aiming = keepPointAiming ? aimDragMode != 0 : (aimDragMode != 0 || pointAiming != 0);
    const bool endLiveAim = !replayMode && isMyTurn() && aiming;
    povMode = false;
    povResumePending = false;
    spinDrag = 0;
    aimDragMode = 0;
    aimShown = false;
    sliderDragMode = 0;
    dragMode = 0;
    powerDrag = elevationDrag = 0;
    aimDragPending = 0;
    aimDragMoved = false;
    if (!keepPointAiming) {
        pointAiming = 0;
        remoteAimActive = false;
    }
    if (pointAiming == 0 || endLiveAim) aimShown = false;
    platform().setRelativeMouseMode(false);
    platform().showCursor(true);
    mouseCaptured = false;
    if (endLiveAim) sendLiveAimEnd(*this);
}
