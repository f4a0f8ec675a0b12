// The first-person (POV) view: the camera behind the aiming ball, looking along the aim, and how the
// view is switched on and off.
#include "client/gamehandler/game_handler.h"

#include "client/gamehandler/page_statements.h"
#include "core/log.h"
#include "core/platform.h"
#include "core/sound_bank.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double kToRadians = std::numbers::pi / 180.0;
constexpr double kBallCentreHeight = 26.25;

// The listener hears from the camera's eye, facing its target.
void placeListener(const GameHandler& gh) {
    const double* e = gh.lookAtEye;
    const double* t = gh.lookAtTarget;
    const double* u = gh.lookAtUp;
    SoundBank& sounds = getSoundBank();
    sounds.setListenerPosition(static_cast<float>(e[0]), static_cast<float>(e[1]), static_cast<float>(e[2]));
    sounds.setListenerOrientation(static_cast<float>(t[0] - e[0]), static_cast<float>(t[1] - e[1]),
                                  static_cast<float>(t[2] - e[2]), static_cast<float>(u[0]), static_cast<float>(u[1]),
                                  static_cast<float>(u[2]));
}

}  // namespace

bool GameHandler::placePOVCamera() {
    // The opponent's aim outside the own turn (and in replays), the own aim otherwise.
    const bool ownAim = isMyTurnLive();
    const int ball = ownAim ? aimBallIndex : remoteAimBall;
    if (ball < 0 || ball >= kBallCount) return false;
    const double a = (ownAim ? aim.aimAngle : remoteAim.aimAngle) * kToRadians;
    const double pitch = povPitch * kToRadians;
    const double distance = povDistances[POV_NOW];
    const Ball& b = table.balls[ball];
    const double target[3] = {b.x + povOffset * std::cos(a + std::numbers::pi / 2), kBallCentreHeight,
                              b.z + povOffset * std::sin(a + std::numbers::pi / 2)};
    const double h = distance * std::cos(pitch);
    const double eye[3] = {target[0] + h * std::cos(a + std::numbers::pi), distance * std::sin(pitch) + kBallCentreHeight,
                           target[2] + h * std::sin(a + std::numbers::pi)};
    const double up[3] = {0, 1, 0};
    // The camera is only moved along, so a placement changes no camera set.
    const bool changed = cameraChanged;
    if (!installCamera(eye, target, up)) return false;
    cameraChanged = changed;
    placeListener(*this);
    return true;
}

void CameraState::buildPOVProjection(double flat) {
    const bool looksDown =
        std::abs(lookAtEye[0] - lookAtTarget[0]) <= flat && std::abs(lookAtEye[2] - lookAtTarget[2]) <= flat;
    if (looksDown)
        buildOrthographicProjection();
    else
        buildPerspectiveProjection();
    hudColumnDirty = true;
}

void GameHandler::togglePOVMode() {
    povMode = !povMode;
    if (!povMode) {
        aimDragMode = 0;
        // A drag aim that Space turned into a pointing aim stays shown.
        aimShown = pointAiming != 0;
        installCameraSlot(defaultCameraSlot);
        platform().showCursor(true);
        platform().setRelativeMouseMode(false);
        mouseCaptured = false;
        runInPages({HtmlWindow::BottomBox}, "inbzSetPOVMode({isOn: false});");
        placeListener(*this);
    } else {
        if (inOverview) {
            leaveOverviewCamera();
            setCameraPreset(static_cast<unsigned>(cameraPreset));
        }
        if (tutorialTopic == 13) tutorialActionDone = true;
        povDistances[POV_TARGET] = povDistances[POV_NOW] = povDistances[POV_START];
        povOffset = povSideStep = 0;
        povPitch = fieldOfViewY / 2.0 * 57.29577951308232;
        saveCameraSlot(defaultCameraSlot);
        if (!placePOVCamera()) BZ_LOG(LOG_ERROR, "togglePOVMode", "No aiming ball to stand behind");
        if (pointAiming != 0) {
            // Looking along the aim, the mouse turns it: the pointing aim becomes a drag aim.
            aimDragMode = 1;
            pointAiming = 0;
            int wx = 0, wy = 0;
            platform().mousePosition(wx, wy);
            windowToDrawable(wx, wy, mouseDownX, mouseDownY);
            pointerReturnX = mouseDownX;
            pointerReturnY = mouseDownY;
            platform().showCursor(false);
            platform().setRelativeMouseMode(true);
            mouseCaptured = true;
        }
        dragX = dragZ = prevDragX = prevDragZ = 0;
        dragGain = 1.0;
        lastSampleTime = now;
        runInPages({HtmlWindow::BottomBox}, "inbzSetPOVMode({isOn: true});");
    }
    buildPOVProjection(0);
}

void GameHandler::switchPOVMode() {
    const bool ownAim = aimDragMode != 0 || pointAiming != 0;
    const bool shownRemoteAim = (replayMode || !isMyTurn()) && remoteAimActive && remoteAimReceived;
    if (povMode || ownAim || shownRemoteAim) togglePOVMode();
}

void GameHandler::leavePOVMode() {
    if (povMode) switchPOVMode();
}

void GameHandler::followBlendedAim() {
    if (povMode && placePOVCamera()) buildPOVProjection(10);
}
