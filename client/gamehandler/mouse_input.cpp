// Mouse input of the game view: buttons start and end the aiming modes, shoot, nominate, move and
// remove balls, move the spin selector and drag the bars; motion drives the active drag; the wheel
// sets power or elevation while aiming and zooms otherwise.
#include "client/gamehandler/game_handler.h"

#include "core/app_status.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/platform.h"
#include "core/sound_bank.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kToRadians = 3.14159265358979323846 / 180;
// A press this soon after the previous button event is taken as part of it (a bounce or a double
// click), and a right click this soon does not nominate.
constexpr double kDebounceSeconds = 0.147;
constexpr double kNominationPauseSeconds = 0.5;
constexpr const char* kCueBlockedNotice = "The cue is blocked: raise it with Ctrl+wheel";

double clockNow() { return secondsSinceStart().seconds; }

// The moved eye and target become the camera; the HUD column and the listener follow.
void cameraFollows(GameHandler& gh, const double eye[3], const double target[3]) {
    if (!gh.installCamera(eye, target, gh.lookAtUp)) return;
    gh.hudColumnDirty = true;
    getSoundBank().setListenerPosition(static_cast<float>(eye[0]), static_cast<float>(eye[1]),
                                       static_cast<float>(eye[2]));
}

// A camera looking straight down has no horizontal direction of its own: its up vector gives it.
constexpr double kStraightDownPitch = 89.99;

// Puts the eye at orbitDistance from the target at orbitPitch and orbitYaw.
void placeOrbitEye(GameHandler& gh) {
    const double pitch = gh.orbitPitch * kToRadians, yaw = gh.orbitYaw * kToRadians;
    const double eye[3] = {gh.lookAtTarget[0] - gh.orbitDistance * std::cos(pitch) * std::cos(yaw),
                           gh.lookAtTarget[1] + gh.orbitDistance * std::sin(pitch),
                           gh.lookAtTarget[2] - gh.orbitDistance * std::cos(pitch) * std::sin(yaw)};
    // Seen from straight above, the eye's offset is too small to tell the view's yaw, which the
    // aiming reads: it stays that of the view.
    const float azimuth = gh.viewAzimuth;
    cameraFollows(gh, eye, gh.lookAtTarget);
    if (gh.orbitPitch >= kStraightDownPitch) gh.viewAzimuth = azimuth;
}

// The orbit starts from the camera in place, so the first zoom or turn moves it from where it is.
void seedOrbitFromCamera(GameHandler& gh) {
    const double d[3] = {gh.lookAtEye[0] - gh.lookAtTarget[0], gh.lookAtEye[1] - gh.lookAtTarget[1],
                         gh.lookAtEye[2] - gh.lookAtTarget[2]};
    const double distance = std::hypot(d[0], d[1], d[2]);
    if (!(distance > 0) || !std::isfinite(distance)) return;
    gh.orbitDistance = distance;
    gh.orbitPitch = std::asin(std::clamp(d[1] / distance, -1.0, 1.0)) / kToRadians;
    const double horizontal = std::hypot(d[0], d[2]);
    if (horizontal > 1e-6 * distance)
        gh.orbitYaw = std::atan2(-d[2], -d[0]) / kToRadians;
    else if (std::hypot(gh.lookAtUp[0], gh.lookAtUp[2]) > 0)
        gh.orbitYaw = std::atan2(gh.lookAtUp[2], gh.lookAtUp[0]) / kToRadians;
}

double wrapYaw(double a) {
    while (a > 180) a -= 360;
    while (a <= -180) a += 360;
    return a;
}

bool validBall(int index) { return index >= 0 && index < kBallCount; }

void storePressPoint(GameHandler& gh, int x, int y) {
    gh.mouseDownX = gh.pointerReturnX = x;
    gh.mouseDownY = gh.pointerReturnY = y;
}

// Every drag starts with a fresh filter; aiming continued from a kept aim starts from its vector at
// a low gain so the aim does not jump.
void resetDragFilter(GameHandler& gh, bool keepAim) {
    gh.dragX = gh.dragZ = gh.prevDragX = gh.prevDragZ = 0;
    gh.dragGain = 1;
    gh.lastSampleTime = clockNow();
    if (keepAim) {
        gh.dragX = gh.prevDragX = gh.savedDragX;
        gh.dragZ = gh.prevDragZ = gh.savedDragZ;
        gh.dragGain = 0.025;
    }
}

void startRelativeDrag(GameHandler& gh) {
    platform().setRelativeMouseMode(true);
    gh.mouseCaptured = true;
}

// Drag aiming with this ball (own turn only).
void startDragAiming(GameHandler& gh, int ball, int x, int y) {
    if (!gh.isMyTurnLive() || !validBall(ball)) return;
    const bool fromKeptAim = gh.pointAiming || gh.aimDragMoved;
    gh.aimBallIndex = ball;
    gh.aimDragPending = 1;
    gh.dragStarted = gh.pointAiming ? 1 : (gh.aimDragMoved ? 1 : 0);
    gh.aim.sideSpin = 0;
    gh.aim.topSpin = 80;
    storePressPoint(gh, x, y);
    resetDragFilter(gh, fromKeptAim);
    startRelativeDrag(gh);
    gh.aimDragMode = 1;
    gh.pointAiming = 0;
    gh.aimShown = true;
    gh.aimDragMoved = false;
    shareLiveAimStart(gh, false);
}

bool cameraDragRunning(const GameHandler& gh) { return gh.rotateDrag || gh.zoomDrag || gh.panDrag; }

void startRotate(GameHandler& gh, int x, int y) {
    seedOrbitFromCamera(gh);
    gh.dragStartYaw = gh.orbitYaw;
    gh.dragStartPitch = gh.orbitPitch;
    gh.rotateDrag = 1;
    storePressPoint(gh, x, y);
    resetDragFilter(gh, false);
    startRelativeDrag(gh);
}

void startZoom(GameHandler& gh, int x, int y) {
    seedOrbitFromCamera(gh);
    gh.dragStartDistance = gh.orbitDistance;
    gh.zoomDrag = 1;
    storePressPoint(gh, x, y);
    resetDragFilter(gh, false);
    startRelativeDrag(gh);
}

void armPan(GameHandler& gh, int x, int y) {
    seedOrbitFromCamera(gh);
    std::copy(std::begin(gh.lookAtTarget), std::end(gh.lookAtTarget), gh.panStartTarget);
    std::copy(std::begin(gh.lookAtEye), std::end(gh.lookAtEye), gh.panStartEye);
    gh.panArmed = true;
    storePressPoint(gh, x, y);
    resetDragFilter(gh, false);
}

void armBallDrag(GameHandler& gh, int ball, bool shift, int x, int y) {
    if (!gh.isMyTurnLive()) return;
    gh.pickedBall = ball;
    gh.ballDragArmed = true;
    gh.ballDragWithShift = shift;
    storePressPoint(gh, x, y);
}

void applyPowerValue(GameHandler& gh, double value) {
    gh.setShotPower(std::clamp(static_cast<double>(static_cast<int>(value * gh.maxPower + 0.5)), gh.minPower,
                               gh.maxPower));
    shareLiveAimMove(gh);
}

void applyElevationValue(GameHandler& gh, double value) {
    gh.aim.elevation = static_cast<int>(value * gh.maxElevation + 0.5);
    shareLiveAimMove(gh);
    gh.updateAim(gh.aimBallIndex);
}

void leftPress(GameHandler& gh, int x, int y, uint16_t mods) {
    const bool shift = mods & MOD_SHIFT, ctrl = mods & MOD_CTRL;
    if (gh.aimDragMode || gh.powerDrag || (cameraDragRunning(gh) && gh.spinDrag)) return;
    const bool myTurn = gh.isMyTurnLive();
    if (!gh.widgetDrag && !gh.shotSentWaiting) {
        if (gh.aimBallIndex == 0 && gh.pointAiming && gh.aimShown) {
            const bool on = gh.setSpinFromSelector(x, y, !ctrl);
            if (!ctrl && on && myTurn) {
                gh.spinDrag = 1;
                return;
            }
        }
        const double power = gh.powerBarValue(x, y, false);
        if (power >= 0 && !shift && !ctrl && myTurn) {
            gh.powerDrag = 1;
            applyPowerValue(gh, power);
            return;
        }
        const double elevation = gh.elevationBarValue(x, y, false);
        if (elevation >= 0 && !shift && !ctrl && myTurn) {
            gh.elevationDrag = 1;
            applyElevationValue(gh, elevation);
        }
    }
    if (shift && ctrl) {
        if (!gh.inOverview) startZoom(gh, x, y);
        return;
    }
    if (shift) {
        const int ball = gh.pickBall(x, y);
        if (ball < 0) {
            if (!gh.inOverview && !gh.isArezorOn(6)) startRotate(gh, x, y);
        } else {
            gh.showNotice((gh.isArezorOn(5) ? std::string("Snooker") : gh.table.balls[ball].name) + " ball", 3000);
        }
        return;
    }
    if (ctrl) {
        if (cameraDragRunning(gh) || gh.widgetDrag) return;
        if (gh.pointAiming && gh.aimBallIndex == 0 && !gh.shotSentWaiting && gh.setSpinFromSelector(x, y, false)) {
            gh.widgetDragArmed = true;
            storePressPoint(gh, x, y);
            return;
        }
        const int ball = gh.pickBall(x, y);
        const bool anyBall = gh.betaLobbyPlayer && gh.ballMovingEnabled;
        if (ball < 0 || gh.shotSentWaiting || (ball != BALL_WHITE && !anyBall)) {
            if (!gh.inOverview) armPan(gh, x, y);
        } else if (!gh.pointAiming && gh.liveStatus->ballInHand && myTurn) {
            armBallDrag(gh, ball, false, x, y);
        }
        return;
    }
    const int ball = gh.pickBall(x, y);
    if (ball < 0) {
        if (gh.betaLobbyPlayer && gh.clickToRemoveMode) {
            gh.clickToRemoveMode = false;
            gh.showLocalNotice("\"Click balls to remove\" mode is OFF", gh.table.id);
        }
        return;
    }
    if (gh.lastButtonTime - gh.prevButtonTime < kDebounceSeconds || gh.shotSentWaiting || !myTurn) return;
    const bool movable = gh.betaLobbyPlayer && gh.ballMovingEnabled && gh.lineUpNumber != 10 &&
                         gh.lineUpNumber != 11 && gh.lineUpNumber != 12;
    if (movable || (ball == BALL_WHITE && gh.liveStatus->ballInHand))
        armBallDrag(gh, ball, false, x, y);
    else
        startDragAiming(gh, ball, x, y);
}

void middlePress(GameHandler& gh, int x, int y, uint16_t mods) {
    if (gh.povMode) return;
    if (mods & MOD_CTRL) {
        if (!gh.inOverview) startZoom(gh, x, y);
    } else if ((gh.overheadCameraOn || (mods & MOD_SHIFT)) && !gh.inOverview && !gh.isArezorOn(6)) {
        startRotate(gh, x, y);
    }
}

void rightPress(GameHandler& gh, int x, int y, uint16_t mods) {
    gh.nominationClick = false;
    const bool myTurn = gh.isMyTurnLive();
    const LiveStatus& s = *gh.liveStatus;
    if (myTurn && (s.ballOn == 0 || s.freeBall) && !gh.aimDragMode) {
        const int ball = gh.pickBall(x, y);
        if (ball > 1 && gh.lastButtonTime - gh.prevButtonTime > kNominationPauseSeconds) {
            gh.nominationClick = true;
            sendNominatedBall(gh, ball <= 9 ? ball : 1);
            return;
        }
    }
    if (!myTurn && gh.povMode) {
        gh.leavePOVMode();
        return;
    }
    if (gh.aimDragMode || cameraDragRunning(gh)) return;
    const bool ctrl = mods & MOD_CTRL;
    if (gh.pointAiming && gh.aimBallIndex == 0 && gh.setSpinFromSelector(x, y, !ctrl)) {
        gh.widgetDragArmed = true;
        storePressPoint(gh, x, y);
    } else if ((gh.overheadCameraOn || (mods & MOD_SHIFT)) && !gh.inOverview) {
        armPan(gh, x, y);
    }
}

void leftRelease(GameHandler& gh, int x, int y, int clicks, uint16_t mods) {
    if (gh.aimDragMode) {
        if (gh.aimDragPending) {
            gh.aimDragPending = 0;
            return;
        }
        gh.aimDragMode = 0;
        gh.pointAiming = 1;
        gh.aimShown = true;
        gh.aimEndTime = clockNow();
        gh.aimDragMoved = false;
        gh.savedDragX = gh.dragX;
        gh.savedDragZ = gh.dragZ;
        gh.leavePOVMode();
        shareLiveAimSet(gh, false);
        return;
    }
    if (gh.ballDragArmed && !gh.shotSentWaiting && validBall(gh.pickedBall) &&
        gh.table.balls[gh.pickedBall].onTable) {
        const int ball = gh.pickedBall;
        const Ball& b = gh.table.balls[ball];
        if (gh.betaLobbyPlayer && gh.clickToRemoveMode) {
            if (ball > 1) {
                BZ_LOG(LOG_INFO, "mouseButton", "BALL_REMOVED: BallBall=" << ball);
                sendBallRemoved(gh, ball);
            }
        } else if (!gh.liveStatus->ballInHand || gh.betaLobbyPlayer) {
            startDragAiming(gh, ball, x, y);
        } else if (!isInD(gh.table, b.x, b.z)) {
            gh.showNotice("Move the cue ball into the \"D\" to play!", 3000);
        } else {
            startDragAiming(gh, ball, x, y);
        }
        return;
    }
    if (clicks == 2 && !(mods & (MOD_SHIFT | MOD_CTRL | MOD_ALT)) && clockNow() - gh.aimEndTime > kNominationPauseSeconds && !gh.shotSentWaiting) {
        double tx = 0, tz = 0;
        if (gh.pickBall(x, y, &tx, &tz) < 0) {
            Ball& ghost = gh.table.balls[BALL_GHOST];
            if (ghost.isValidPosition(true, tx, tz, (*gh.table.params)[103])) {
                ghost.x = tx;
                ghost.z = tz;
                ghost.onTable = true;
                gh.aimBallIndex = BALL_GHOST;
                startDragAiming(gh, BALL_GHOST, x, y);
                return;
            }
        }
    }
    if (gh.spinDrag) {
        gh.spinDrag = 0;
        const bool ctrl = mods & MOD_CTRL;
        if (gh.setSpinFromSelector(x, y, !ctrl) && gh.isMyTurnLive() &&
            gh.lastReleaseTime - gh.prevReleaseTime >= kDebounceSeconds) {
            // A click that plays nothing must say why: the player sees the marker and expects a shot.
            if (gh.cueClears(gh.aim))
                gh.shoot(false);
            else
                gh.showNotice(kCueBlockedNotice, 3000);
        }
    }
}

void rightRelease(GameHandler& gh) {
    if (!(gh.isMyTurnLive() || !gh.povMode)) return;
    if (!(gh.aimDragMode || gh.pointAiming) || cameraDragRunning(gh) || gh.spinDrag || gh.powerDrag ||
        gh.widgetDrag || gh.shotSentWaiting || gh.nominationClick)
        return;
    gh.leavePOVMode();
    gh.aimDragMode = gh.pointAiming = 0;
    gh.spinDrag = 0;
    gh.aimShown = false;
    gh.panArmed = gh.widgetDragArmed = gh.ballDragArmed = false;
    gh.aimDragMoved = false;
    sendLiveAimEnd(gh);
}

// Every release ends the drags; a relative-mode drag puts the pointer back where it was pressed.
void endDrags(GameHandler& gh) {
    gh.panArmed = gh.widgetDragArmed = gh.ballDragArmed = false;
    gh.rotateDrag = gh.panDrag = gh.zoomDrag = 0;
    gh.widgetDrag = gh.ballDragActive = false;
    gh.powerDrag = gh.elevationDrag = 0;
    if (!gh.mouseCaptured || gh.aimDragMode) return;
    gh.releasePointer();
}

void zoomCamera(GameHandler& gh, int n) {
    if (gh.inOverview) return;
    seedOrbitFromCamera(gh);
    gh.orbitDistance = std::clamp(gh.orbitDistance - 100.0 * n, 270.0, 10000.0);
    placeOrbitEye(gh);
}

// In the first-person view the pointer turns the aim and the camera's pitch on the own turn; the
// camera stays behind the ball it looks along.
void povMotion(GameHandler& gh) {
    const bool myTurn = gh.isMyTurnLive();
    if (myTurn) {
        const double r = gh.gameSettings.reverseAiming ? -1.0 : 1.0;
        gh.aim.aimAngle -= r * 0.05 * (gh.dragX - gh.prevDragX);
        while (gh.aim.aimAngle > 180) gh.aim.aimAngle -= 360;
        while (gh.aim.aimAngle <= -180) gh.aim.aimAngle += 360;
        gh.povPitch = std::clamp(gh.povPitch - 0.01 * (gh.dragZ - gh.prevDragZ), 3.0, 45.0);
    }
    if (gh.placePOVCamera()) gh.buildPOVProjection(0);
    if (myTurn) {
        gh.updateAim(gh.aimBallIndex);
        shareLiveAimMove(gh);
    } else {
        gh.updateRemoteAim();
    }
}

void panMotion(GameHandler& gh) {
    // The orbit's yaw points into the view; the pointer's right is a quarter turn from it, so
    // the view follows the pointer along the screen whichever way it is turned.
    const double yaw = (gh.orbitYaw + 90) * kToRadians;
    const double mx = 2 * gh.dragX * std::cos(yaw) - 2 * gh.dragZ * std::sin(yaw);
    const double mz = 2 * gh.dragX * std::sin(yaw) + 2 * gh.dragZ * std::cos(yaw);
    const double tx = std::clamp(gh.panStartTarget[0] + mx, -1784.5, 1784.5);
    const double tz = std::clamp(gh.panStartTarget[2] + mz, -889.0, 889.0);
    const double eye[3] = {gh.panStartEye[0] + (tx - gh.panStartTarget[0]), gh.lookAtEye[1],
                           gh.panStartEye[2] + (tz - gh.panStartTarget[2])};
    const double target[3] = {tx, gh.lookAtTarget[1], tz};
    cameraFollows(gh, eye, target);
}

// The camera drags: turning, zooming and panning the orbit.
void cameraDragMotion(GameHandler& gh) {
    if (gh.rotateDrag) {
        gh.orbitYaw = wrapYaw(gh.dragStartYaw - 0.25 * gh.dragX);
        if (gh.in3DView) gh.orbitPitch = std::clamp(gh.dragStartPitch - gh.dragZ / 10, 0.0, 90.0);
        placeOrbitEye(gh);
    }
    if (gh.zoomDrag) {
        gh.orbitDistance = std::clamp(gh.dragStartDistance - 3 * gh.dragZ, 270.0, 10000.0);
        placeOrbitEye(gh);
    }
    if (gh.panDrag) panMotion(gh);
}

void spinWidgetMotion(GameHandler& gh, int x, int y) {
    int wx = 0, wy = 0, size = 0;
    gh.getQBallWidgetPlacement(wx, wy, size);
    const int width = std::max(size, gh.viewport[2]);
    const int moveX = x - gh.mouseDownX, moveY = gh.mouseDownY - y;
    gh.spinWidgetOffsetX = std::clamp(gh.spinWidgetOffsetX - moveX, 0, width - size);
    gh.spinWidgetOffsetY = std::clamp(gh.spinWidgetOffsetY + moveY, 0, std::max(0, gh.viewport[3] - size));
    gh.mouseDownX = x;
    gh.mouseDownY = y;
}

// The dragged ball follows the pointer wherever it may stand; a ball taken from the D stays in it.
void ballDragMotion(GameHandler& gh, int x, int y) {
    double tx = 0, tz = 0;
    gh.screenToTable(x - gh.viewport[0], gh.windowHeight - 1 - y - gh.viewport[1], tx, tz);
    Ball& ball = gh.table.balls[gh.pickedBall];
    bool allowed = ball.isValidPosition(true, tx, tz, (*gh.table.params)[103]);
    if (allowed && !gh.betaLobbyPlayer && !gh.ballDragWithShift) {
        const bool inD = isInD(gh.table, tx, tz);
        if (gh.ballDragFromD && !inD) allowed = false;
        if (inD) gh.ballDragFromD = true;
    }
    if (!allowed) return;
    ball.x = tx;
    ball.z = tz;
    ball.onTable = true;
    BZ_LOG(LOG_INFO, "mouseMotion", "Ball " << gh.pickedBall << " moved to " << tx << ";" << tz);
    sendBallPlaced(gh, gh.pickedBall, tx, tz);
    gh.updateAim(gh.aimBallIndex);
}

}  // namespace

void GameHandler::releasePointer() {
    platform().setRelativeMouseMode(false);
    const int dw = std::max(2, drawableWidth), dh = std::max(2, drawableHeight);
    const int ww = windowWidth, wh = windowHeight;
    const int wx = static_cast<int>(0.5 + (ww - 1) * static_cast<double>(pointerReturnX) / (dw - 1));
    const int wy = static_cast<int>((wh - 1) * static_cast<double>(pointerReturnY + dh - wh) / (dh - 1) + 0.5);
    platform().warpMouse(wx, wy);
    platform().showCursor(true);
    mouseCaptured = false;
}

void CameraState::windowToDrawable(int wx, int wy, int& x, int& y) const {
    const int ww = std::max(2, windowWidth), wh = std::max(2, windowHeight);
    const int dw = drawableWidth > 0 ? drawableWidth : ww, dh = drawableHeight > 0 ? drawableHeight : wh;
    x = static_cast<int>((dw - 1) * static_cast<double>(wx) / (ww - 1) + 0.5);
    const int d = static_cast<int>(0.5 + (dh - 1) * static_cast<double>(wy) / (wh - 1));
    y = windowHeight + d - dh;
}

void GameHandler::handleMouseEvent(const SDL_Event& event) {
    int x = 0, y = 0;
    switch (event.type) {
    case SDL_QUIT: appRunning = false; break;
    case SDL_MOUSEMOTION:
        windowToDrawable(event.motion.x, event.motion.y, x, y);
        mouseMotion(x, y, event.motion.xrel, event.motion.yrel);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        windowToDrawable(event.button.x, event.button.y, x, y);
        mouseButton(event.button.button, event.button.state == SDL_PRESSED, x, y, event.button.clicks);
        break;
    case SDL_MOUSEWHEEL: mouseWheel(event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED, event.wheel.x, event.wheel.y); break;
    default: break;
    }
}

void GameHandler::mouseButton(int button, bool pressed, int x, int y, int clicks) {
    const double t = clockNow();
    prevButtonTime = lastButtonTime;
    lastButtonTime = t;
    if (!pressed) {
        prevReleaseTime = lastReleaseTime;
        lastReleaseTime = t;
    }
    const uint16_t mods = platform().modifierState();
    if (pressed) {
        if (button == SDL_BUTTON_LEFT) leftPress(*this, x, y, mods);
        else if (button == SDL_BUTTON_MIDDLE) middlePress(*this, x, y, mods);
        else if (button == SDL_BUTTON_RIGHT) rightPress(*this, x, y, mods);
        return;
    }
    if (button == SDL_BUTTON_LEFT) leftRelease(*this, x, y, clicks, mods);
    else if (button == SDL_BUTTON_RIGHT) rightRelease(*this);
    endDrags(*this);
}

void GameHandler::mouseMotion(int x, int y, int dx, int dy) {
    const uint16_t mods = platform().modifierState();
    captureMouse(x, y);
    updateCursorOverSpinSelector(x, y, !(mods & MOD_CTRL));
    accumulateDrag(x, y, dx, dy);

    if (povMode) {
        povMotion(*this);
    } else if (aimDragMode) {
        aimFromDrag();
    }
    cameraDragMotion(*this);
    if (widgetDrag) spinWidgetMotion(*this, x, y);
    if (ballDragActive && validBall(pickedBall)) ballDragMotion(*this, x, y);
    if (powerDrag) applyPowerValue(*this, powerBarValue(x, y, true));
    if (elevationDrag) {
        const double value = elevationBarValue(x, y, true);
        if (value >= 0) applyElevationValue(*this, value);
    }
}

void GameHandler::mouseWheel(bool flipped, int x, int y) {
    int n = flipped ? -y : y;
    if (n == 0) return;
    const uint16_t mods = platform().modifierState();
    const bool shift = mods & MOD_SHIFT, ctrl = mods & MOD_CTRL;
    if (aimDragMode || pointAiming) {
        if (ctrl) {
            aim.elevation = std::clamp(aim.elevation + (shift ? 5 * n : n), 0.0, maxElevation);
            shareLiveAimMove(*this);
            updateAim(aimBallIndex);
        } else {
            const double old = aim.power;
            setShotPower(std::clamp(old + (shift ? n : 4 * n), minPower, maxPower));
            shareLiveAimMove(*this);
            if (old > 0) {
                dragX *= aim.power / old;
                dragZ *= aim.power / old;
            }
        }
        return;
    }
    const bool myTurn = isMyTurnLive();
    if (overheadCameraOn) {
        if (!shift && !ctrl) {
            if (!povMode || myTurn) zoomCamera(*this, n);
        } else if (shift && ctrl && (!povMode || (myTurn && !replayMode))) {
            fieldOfViewDegrees = std::clamp(fieldOfViewDegrees - n, 1.0, 40.0);
            if (viewport[2] > 0 && viewport[3] > 0) updateFieldOfView(viewport[2], viewport[3]);
        }
    } else if (shift && !ctrl) {
        zoomCamera(*this, n);
    }
}

void GameHandler::keyUp(int key) {
    static constexpr int kKeys[4] = {'w', 'a', 's', 'd'};
    for (int i = 0; i < 4; ++i) {
        if (key != kKeys[i]) continue;
        keysHeld[i] = false;
        const uint16_t mods = platform().modifierState();
        if ((key == 'a' || key == 'd') && !(mods & (MOD_SHIFT | MOD_CTRL)) && povMode && isMyTurnLive()) {
            povSideStep = 0;
            povSideStepTime = now;
        }
    }
}
