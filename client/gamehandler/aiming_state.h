// The game controller's aiming and shot: the own and the opponent's aim, the aim prediction, the
// mouse's drags on the game view, the HUD's spin widget and the shot in flight with its cue stroke
// (part of GameHandler, which inherits it). Written by aim_prediction.cpp, shot_controls.cpp,
// shot.cpp, mouse_input.cpp, hud_layout.cpp and the table events (dispatch/table_events*.cpp).
// The few operations that need only this data are defined in shot.cpp and view_services.cpp; the
// aim prediction, the shot and the mouse also read the table or the camera and are GameHandler's.
#pragma once

#include "net/game_status.h"

#include <array>
#include <cstdint>

using RgbColour = std::array<uint8_t, 3>;

// The opponent's live aim and the stroke in flight: both belong to the table they were seen at, and
// leaving it sets them back to these values with the rest of the table (GameHandler::leaveTable).
struct RemoteAimState {
    AimParameters remoteAim;
    AimParameters remoteAimFrom;
    AimParameters remoteAimTo;
    bool remoteAimActive = false;
    bool remoteAimShown = false;
    bool remoteAimReceived = false;
    bool remoteAimAnimating = false;
    double remoteAimAnimStart = 0.0;
    double remoteAimAnimEnd = 0.0;
    int remoteAimBall = 0;
};

struct ShotInFlight {
    // The own stroke was sent and its echo or its end is awaited.
    bool shotSentWaiting = false;
    // The game clock (GameHandler::now) when the last own stroke was sent: the echo's round trip.
    double shotSentAt = 0.0;
    AimParameters savedAimParameters{};
    bool cueStrokeOn = false;
    int64_t cueStrokeEndTime = 0;  // milliseconds of the game or replay clock: no overflow after days
    double cueStrokeDuration = 0, cueStrokeLength = 0, cueStrokeBallX = 0, cueStrokeBallZ = 0;
    double cueStrokeFade = 1.0;
    // When the pockets of the last stroke are tidied (-1: none due).
    double pocketTidyTime = -1.0;
    // The game-clock time from which the pulsing marker under the ball may show: a stroke moves it a
    // thousand days ahead, the end of the shot back to then. The ball in hand's shadow does not wait
    // for it (render/ball_pass.cpp).
    double ballMarkerFrom = 0.0;
};

struct AimingState : RemoteAimState, ShotInFlight {

    // --- aim-line colours ---
    std::array<RgbColour, 10> aimLineColours = {{{255, 255, 255}, {255, 0, 0}, {255, 255, 0}, {128, 208, 128},
                                                 {239, 186, 128}, {0, 0, 255}, {255, 180, 218}, {0, 0, 0},
                                                 {255, 165, 0}, {128, 0, 128}}};

    // --- aiming ---
    // The own aim (angle, power, spins, elevation) and the index of the ball it is taken from
    // (-2: share the start whatever the flag).
    AimParameters aim{125.0, 160.0, 80.0, 0.0, 0.0};
    int aimBallIndex = 0;
    double maxElevation = 70.0;
    double maxPower = 400.0;
    static constexpr double minPower = 3.0;
    static constexpr double elevationMargin = 7.0;
    // secondsSinceStart seconds of the last live-aim start or move sent: the moves' rate limit.
    double lastLiveAimSent = 0.0;
    // A move the rate limit held back: the aim it would have carried is not yet at the other clients.
    bool liveAimMoveHeld = false;
    // Set when the lesson's view change was done during tutorial topics 13 and 14 (cleared when a
    // topic starts); the shot's power tells the server.
    bool tutorialActionDone = false;

    // --- HUD ---
    double hudColumnX = 992.0;
    int spinWidgetSize = 192;
    int spinWidgetOffsetX = 80;
    int spinWidgetOffsetY = 80;
    int spinWidgetPlacement = 3;

    // --- aim prediction ---
    double elevationRise = 7.0;  // degrees the elevation must rise for the cue to clear (0..7)
    int firstHitBall = -1;
    double ghostBallX = 0, ghostBallZ = 0;
    double targetBallX = 0, targetBallZ = 0;
    double objectBallDirection = 0;  // degrees, ghost centre to target centre
    // Where the cue ball leaves the contact: a ball at rest takes only the normal part of its speed,
    // so the cue ball runs on along the tangent on the side it came from; a full hit sends it nowhere.
    bool cueBallDeflects = false;
    double cueBallDeflection = 0;  // degrees
    double cueTravelDistance = 0;    // mm, aiming ball to ghost centre
    double aimBaseError = 0, cutError = 0, aimError = 0, objectBallError = 0;
    bool showLiveAiming = true;
    // --- drag vector and its filter ---
    double dragX = 0, dragZ = 0, prevDragX = 0, prevDragZ = 0;
    // The drag vector kept when drag aiming ended; the next drag continues from it.
    double savedDragX = 0, savedDragZ = 0;
    int dragStarted = 0;
    int rawMotionX = 0, rawMotionY = 0, lastSampleX = 0, lastSampleY = 0;
    double lastSampleTime = 0;
    double dragGain = 1.0;
    // --- aiming modes and mouse drags ---
    int aimDragMode = 0;
    int pointAiming = 0;
    bool aimShown = false;
    int aimDragPending = 0;
    bool aimDragMoved = false;
    int rotateDrag = 0, zoomDrag = 0, panDrag = 0, spinDrag = 0, powerDrag = 0, elevationDrag = 0;
    bool widgetDrag = false, ballDragActive = false;
    bool panArmed = false, widgetDragArmed = false, ballDragArmed = false;
    int mouseDownX = 0, mouseDownY = 0;
    static constexpr int mouseDeadZone = 2;
    int pickedBall = -1;
    bool ballDragWithShift = false, ballDragFromD = false;
    bool nominationClick = false;
    int pointerReturnX = 0, pointerReturnY = 0;
    bool mouseCaptured = false;
    bool spinCursorHidden = false;
    bool keepCursorVisible = false;
    bool clickToRemoveMode = false;
    bool ballMovingEnabled = false;
    double lastButtonTime = 0, prevButtonTime = 0;
    double lastReleaseTime = 0, prevReleaseTime = 0, aimEndTime = 0;

    // ===== The operations that need only the aiming's own data. =====
    // The cue's fade and the end of its stroke at clockSeconds (shot.cpp).
    void updateCueStroke(double clockSeconds);
    // The break and ball-on displays of the TopBox page (shot.cpp).
    void setShowBreak(bool show);
    void setShowBallOn(bool show);
    // Turns the drag vectors with the camera's yaw (view_services.cpp).
    void rotateDragVectors(float oldYaw, float newYaw);
};
