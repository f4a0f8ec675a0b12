// The camera sets (the preset camera, the free 3D view and the overview), the per-frame choice between
// them, the view the user asks for (the pages' view buttons) and the end of every aiming action.
#include "client/gamehandler/game_handler.h"

#include "client/gamehandler/page_statements.h"
#include "client/gamehandler/requests.h"
#include "core/log.h"
#include "core/platform.h"
#include "core/text.h"

#include <cmath>

namespace {

bool endsWith(const std::string& text, char c) { return !text.empty() && text.back() == c; }

// The overview: raised beyond the top-cushion end, looking down the table's length.
constexpr double kOverviewEye[3] = {-9466.79, 3913.35, 0};
constexpr double kOverviewTarget[3] = {-289, 45, 0};
constexpr double kOverviewUp[3] = {0.387105, 0.922032, 0};
constexpr double kOverviewYaw = 180;

// The field of view follows the camera set, once the viewport has a size.
void refreshFieldOfView(GameHandler& gh) {
    if (gh.viewport[2] > 0 && gh.viewport[3] > 0) gh.updateFieldOfView(gh.viewport[2], gh.viewport[3]);
}

}  // namespace

void CameraState::saveCameraSlot(FreeCameraSlot& slot) const {
    for (int i = 0; i < 3; ++i) {
        slot.eye[i] = lookAtEye[i];
        slot.target[i] = lookAtTarget[i];
        slot.up[i] = lookAtUp[i];
    }
    slot.yaw = viewAzimuth;
}

void CameraState::installCameraSlot(const FreeCameraSlot& slot) {
    installCamera(slot.eye, slot.target, slot.up);
    viewAzimuth = static_cast<float>(slot.yaw);
}

bool CameraState::installCamera(const double eye[3], const double target[3], const double up[3]) {
    bool finite = true;
    for (int i = 0; i < 3; ++i)
        finite = finite && std::isfinite(eye[i]) && std::isfinite(target[i]) && std::isfinite(up[i]);
    const double f[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
    const double side[3] = {f[1] * up[2] - f[2] * up[1], f[2] * up[0] - f[0] * up[2], f[0] * up[1] - f[1] * up[0]};
    // Looking along the up vector (or with none) leaves the view without a side direction.
    const double sideLength = std::hypot(side[0], side[1], side[2]);
    const double scale = std::hypot(f[0], f[1], f[2]) * std::hypot(up[0], up[1], up[2]);
    if (!finite || !(sideLength > 1e-9 * scale) || !(scale > 0)) {
        BZ_LOG(LOG_ERROR, "camera", "Camera refused: eye on its target, along its up vector or not finite");
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        lookAtEye[i] = eye[i];
        lookAtTarget[i] = target[i];
        lookAtUp[i] = up[i];
    }
    applyLookAt();
    updateViewParameters();
    cameraChanged = true;
    return true;
}

void CameraState::enter3DView() {
    if (!in3DView) saveCameraSlot(defaultCameraSlot);
    installCameraSlot(freeCamera);
    in3DView = true;
}

void CameraState::leave3DView() {
    if (!in3DView) return;
    saveCameraSlot(freeCamera);
    installCameraSlot(defaultCameraSlot);
    in3DView = false;
}

void GameHandler::enterOverviewCamera() {
    if (!inOverview) saveCameraSlot(overviewCameraSlot);
    installCamera(kOverviewEye, kOverviewTarget, kOverviewUp);
    viewAzimuth = static_cast<float>(kOverviewYaw);
    inOverview = true;
    refreshFieldOfView(*this);
}

void GameHandler::leaveOverviewCamera() {
    installCameraSlot(overviewCameraSlot);
    inOverview = false;
    refreshFieldOfView(*this);
}

void GameHandler::selectCameraSet() {
    const bool inPlay = liveStatus->gameState == 1;
    const bool myTurn = isMyTurnLive();
    const bool roleFlag = myTurn ? playerViewMode : spectatorViewMode;
    const bool shiftPointing = shiftViewMode && pointAiming != 0;
    if (inOverview) {
        // Between frames the overview stays.
        if (inPlay && (povMode || !roleFlag || in3DView || (myTurn && !shotSentWaiting && !shiftPointing)))
            leaveOverviewCamera();
        return;
    }
    if (!inPlay) {
        if (povMode) switchPOVMode();
        if (in3DView) {
            leave3DView();
            setCameraPreset(static_cast<unsigned>(cameraPreset));
        }
        enterOverviewCamera();
        return;
    }
    if (!povMode && roleFlag && !in3DView && (!myTurn || shiftPointing || shotSentWaiting)) enterOverviewCamera();
}

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
    const bool endLiveAim = !replayTableSettingsPending && !replayMode && isMyTurn() && aiming;
    if (povMode) switchPOVMode();
    spinDrag = 0;
    aimDragMode = 0;
    aimShown = false;
    powerDrag = elevationDrag = 0;
    aimDragPending = 0;
    aimDragMoved = false;
    if (!keepPointAiming && !replayTableSettingsPending) {
        pointAiming = 0;
        remoteAimActive = false;
    }
    platform().setRelativeMouseMode(false);
    platform().showCursor(true);
    mouseCaptured = false;
    if (endLiveAim) sendLiveAimEnd(*this);
}
