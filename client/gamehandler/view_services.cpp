// The camera and its projections, the viewport layout, the start view's ball layout and the cue's
// pulse: the pure maths the renderer and the controller share (no GL here).
#include "client/gamehandler/game_handler.h"
#include "core/log.h"
#include "core/platform.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegrees = 180.0 / kPi;
constexpr double kTableLength = 3809.0;
constexpr double kTableWidth = 2018.0;
constexpr double kHalfWidth = 1009.0;
constexpr double kHalfLength = 1904.5;
constexpr double kThirdOfHalfLength = 634.8333333333334;
constexpr double kRailTop = 37.0;
constexpr double kTargetHeight = 45.0;
constexpr int kHudColumn = 32;

std::atomic<GameHandler::CameraModeSelector> modeSelector{nullptr};

void normalize3(float v[3]) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length == 0) return;
    for (int i = 0; i < 3; ++i) v[i] /= length;
}

void cross3(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

void set3(double v[3], double x, double y, double z) {
    v[0] = x;
    v[1] = y;
    v[2] = z;
}

}  // namespace

CameraState::CameraModeSelector CameraState::setCameraModeSelector(CameraModeSelector selector) {
    return modeSelector.exchange(selector);
}

CameraState::CameraModeSelector CameraState::cameraModeSelector() { return modeSelector.load(); }

void CameraState::setLookAt(Camera& camera, const double eye[3], const double target[3], const double up[3]) {
    for (int i = 0; i < 3; ++i) {
        camera.position[i] = static_cast<float>(eye[i]);
        camera.front[i] = static_cast<float>(target[i] - eye[i]);
        camera.up[i] = static_cast<float>(up[i]);
    }
    normalize3(camera.front);
    normalize3(camera.up);
    cross3(camera.front, camera.up, camera.right);
    normalize3(camera.right);
    const float* f = camera.front;
    // Straight down (or up) the front has no heading: the up vector gives it.
    camera.yaw = (f[0] == 0 && f[2] == 0) ? static_cast<float>(std::atan2(camera.up[2], camera.up[0]) * kDegrees)
                                          : static_cast<float>(std::atan2(f[2], f[0]) * kDegrees);
    camera.pitch = static_cast<float>(std::atan2(f[1], std::sqrt(f[0] * f[0] + f[2] * f[2])) * kDegrees);
}

void CameraState::applyLookAt() { setLookAt(camera, lookAtEye, lookAtTarget, lookAtUp); }

void CameraState::setOverheadCamera() {
    const double w = viewport[2], h = viewport[3];
    // No fit without room beside the HUD column.
    if (w <= kHudColumn || h <= 0) return;
    double l = 0, m = 0;
    const double tan20 = std::tan(20.0 / kDegrees);
    if (h < w) {
        fieldOfViewY = static_cast<float>(2 * std::atan(h / w * tan20));
        fieldOfViewX = 0.6981317f;
        m = kHalfWidth / std::tan(fieldOfViewY / 2.0);
        l = tan20;
    } else {
        fieldOfViewY = 0.6981317f;
        fieldOfViewX = static_cast<float>(2 * std::atan(w / h * tan20));
        l = std::tan(fieldOfViewX / 2.0);
        m = 2772.204716229714;
    }
    const double s = kTableLength / (w - kHudColumn);
    const double height = std::max(w / 2 * s / l, m) + kRailTop;
    set3(lookAtEye, 16 * s, height, 0);
    set3(lookAtTarget, 16 * s, kTargetHeight, 0);
    set3(lookAtUp, 0, 0, -1);
    applyLookAt();
    perspectiveProjection = false;
    buildOrthographicProjection();
    updateViewParameters();
    viewAzimuth = 90.0f;
}

void GameHandler::setCameraPreset(unsigned preset) {
    if (isArezorOn(6)) preset = PRESET_OVERHEAD_REVERSED;
    if (preset > PRESET_BAULK_END) preset = PRESET_OVERHEAD;
    cameraPreset = static_cast<int>(preset);
    const double w = viewport[2], h = viewport[3];
    if (w <= kHudColumn || h <= 0) return;
    const double dx = kTableLength / (w - kHudColumn), dz = kTableWidth / (w - kHudColumn);
    const double tx = std::tan(fieldOfViewX / 2.0), ty = std::tan(fieldOfViewY / 2.0);
    double yaw = 90;
    if (preset <= PRESET_OVERHEAD_REVERSED) {
        const double sign = preset == PRESET_OVERHEAD ? 1 : -1;
        const double height = std::max(w / 2 * dx / tx, kHalfWidth / ty) + kRailTop;
        set3(lookAtEye, sign * 16 * dx, height, 0);
        set3(lookAtTarget, sign * 16 * dx, kTargetHeight, 0);
        set3(lookAtUp, 0, 0, -sign);
        yaw = 90 * sign;
    } else {
        const double b = w / 2 * dz / tx;
        const double fit = kThirdOfHalfLength / ty;
        double centre = (static_cast<int>(preset) - PRESET_CENTRE) * 2 * kThirdOfHalfLength;
        // A wide view of an end third is moved in so that it stops at the table's end.
        if (b > fit && preset == PRESET_BLACK_END) centre = h / 2 * dz - kHalfLength;
        if (b > fit && preset == PRESET_BAULK_END) centre = kHalfLength - h / 2 * dz;
        const double height = std::max(b, fit) + kRailTop;
        set3(lookAtEye, centre, height, 16 * dz);
        set3(lookAtTarget, centre, kTargetHeight, 16 * dz);
        set3(lookAtUp, 1, 0, 0);
        yaw = 180;
    }
    applyLookAt();
    perspectiveProjection = false;
    const float oldYaw = viewAzimuth;
    updateViewParameters();
    viewAzimuth = static_cast<float>(yaw);
    if (oldYaw != viewAzimuth && mouseCaptured) rotateDragVectors(oldYaw, viewAzimuth);
    buildOrthographicProjection();
}

void GameHandler::updateFieldOfView(int width, int height) {
    if (width <= 0 || height <= 0) return;
    const double w = width, h = height;
    if (inOverview && !in3DView) {
        fieldOfViewY = 0.16648696f;
        fieldOfViewX = static_cast<float>(2 * std::atan(w / h * 0.0834362942063575));
    } else {
        const double f = fieldOfViewDegrees / kDegrees;
        if (h < w) {
            fieldOfViewX = static_cast<float>(f);
            fieldOfViewY = static_cast<float>(2 * std::atan(std::tan(f / 2) * h / w));
        } else {
            fieldOfViewY = static_cast<float>(f);
            fieldOfViewX = static_cast<float>(2 * std::atan(w / h * std::tan(f / 2)));
        }
        // The first-person camera keeps its place and takes the new field of view.
        if (povMode) {
            if (placePOVCamera()) buildPOVProjection(0);
        } else if (!in3DView) {
            setCameraPreset(static_cast<unsigned>(std::max(cameraPreset, 0)));
        }
    }
    hudColumnDirty = true;
}

void GameHandler::setViewport(int windowW, int windowH, int drawableW, int drawableH, int topHeight,
                              int bottomHeight) {
    // The first-person camera is built for the old viewport: it is left, and set up again below.
    const bool wasPOV = povMode;
    leavePOVMode();
    windowWidth = windowW;
    windowHeight = windowH;
    drawableWidth = drawableW;
    drawableHeight = drawableH;
    int bottom = bottomHeight;
    if (gameSettings.scalingMode == 1 && windowW > 0) {
        bottom = static_cast<int>(static_cast<double>(bottomHeight) * drawableW / windowW);
    }
    viewport[0] = 0;
    viewport[1] = bottom;
    viewport[2] = drawableW;
    // Never negative: a bottom area taller than the window leaves an empty scene, not a bad viewport.
    viewport[3] = std::max(0, drawableH - topHeight - bottom);
    if (viewport[2] > 0 && viewport[3] > 0) updateFieldOfView(viewport[2], viewport[3]);
    // Only the user's own aim is taken up again, as a drag aim by the mouse in relative mode.
    if (!wasPOV || povMode || !isMyTurnLive()) return;
    platform().releaseMouseCapture();
    platform().showCursor(false);
    platform().setRelativeMouseMode(true);
    mouseCaptured = true;
    aimDragMode = 1;
    switchPOVMode();
}

void CameraState::updateViewParameters() {
    const double d[3] = {lookAtEye[0] - lookAtTarget[0], lookAtEye[1] - lookAtTarget[1],
                         lookAtEye[2] - lookAtTarget[2]};
    const double distance = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    viewAzimuth = static_cast<float>(std::atan2(d[2], d[0]) * kDegrees);
    const double q = distance > 0 ? std::clamp(d[1] / distance, -1.0, 1.0) : 0.0;
    viewElevation = static_cast<float>(std::asin(q) * kDegrees);
}

void AimingState::rotateDragVectors(float oldYaw, float newYaw) {
    const double a = (oldYaw - newYaw) / kDegrees;
    const double c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
    auto turn = [&](double& x, double& z) {
        const double nx = x * c - z * s;
        z = x * s + z * c;
        x = nx;
    };
    turn(savedDragX, savedDragZ);
    turn(dragX, dragZ);
}

void CameraState::buildPerspectiveProjection() {
    const double aspect = viewport[3] > 0 && viewport[2] > 0 ? static_cast<double>(viewport[2]) / viewport[3] : 1.0;
    const double t = std::tan(fieldOfViewY / 2.0);
    // A zero or broken field of view keeps the last matrix: nothing infinite reaches GL.
    if (!(t > 0) || !std::isfinite(t)) {
        perspectiveProjection = true;
        return;
    }
    std::fill(std::begin(projection), std::end(projection), 0.0f);
    projection[0] = static_cast<float>(1 / (aspect * t));
    projection[5] = static_cast<float>(1 / t);
    projection[10] = -1.0010005f;
    projection[11] = -1.0f;
    projection[14] = -20.010006f;
    perspectiveProjection = true;
}

void CameraState::buildOrthographicProjection() {
    const double d = lookAtEye[1] - kRailTop;
    const double right = d * std::tan(fieldOfViewX / 2.0), left = -right;
    const double top = d * std::tan(fieldOfViewY / 2.0), bottom = -top;
    // An eye at or below the rail top, or no field of view, has no extent: keep the last matrix.
    if (!(right > 0 && top > 0) || !std::isfinite(right) || !std::isfinite(top)) {
        perspectiveProjection = false;
        return;
    }
    std::fill(std::begin(projection), std::end(projection), 0.0f);
    projection[0] = static_cast<float>(2 / (right - left));
    projection[5] = static_cast<float>(2 / (top - bottom));
    projection[10] = -0.0001f;
    projection[12] = static_cast<float>(-(right + left) / (right - left));
    projection[13] = static_cast<float>(-(top + bottom) / (top - bottom));
    projection[14] = -1.0f;
    projection[15] = 1.0f;
    perspectiveProjection = false;
}

void CameraState::viewMatrix(float out[16]) const { lookAt(camera, out); }

void CameraState::lookAt(const Camera& view, float out[16]) {
    const float* f = view.front;
    float s[3], u[3];
    cross3(f, view.up, s);
    normalize3(s);
    cross3(s, f, u);
    const float* p = view.position;
    const float column[16] = {s[0], u[0], -f[0], 0, s[1], u[1], -f[1], 0, s[2], u[2], -f[2], 0,
                              -(s[0] * p[0] + s[1] * p[1] + s[2] * p[2]), -(u[0] * p[0] + u[1] * p[1] + u[2] * p[2]),
                              f[0] * p[0] + f[1] * p[1] + f[2] * p[2], 1};
    std::copy(std::begin(column), std::end(column), out);
}

void TableState::initBallPositions() {
    BZ_LOG(LOG_DEBUG, "init", "initBallPositions");
    struct Spot {
        int id;
        double x, z;
    };
    const Spot spots[] = {{BALL_WHITE, 1755.625, -105}, {BALL_YELLOW, 1047.5, -292}, {BALL_GREEN, 1047.5, 292},
                          {BALL_BROWN, 1047.5, 0},      {BALL_BLUE, 0, 0},           {BALL_PINK, -892.25, 0},
                          {BALL_BLACK, -1460.5, 0},     {BALL_ORANGE, -446.125, 0},  {BALL_PURPLE, 523.75, 0}};
    for (const Spot& spot : spots) {
        table.balls[spot.id].spotX = spot.x;
        table.balls[spot.id].spotZ = spot.z;
    }
    for (int i = 0; i < kBallCount; ++i) table.balls[i].value = i <= 1 ? 0 : i <= 8 ? i : i == 9 ? 10 : 1;
    resetLiveStatusForStartView();
    for (Ball& ball : table.balls) ball.pocket = -1;
}

void TableState::resetLiveStatusForStartView() {
    LiveStatus& status = *liveStatus;
    status.gameState = 1;
    status.gameType = 1;
    status.bestOf = 3;
    status.playerOn = 0;
    status.nominatedBall = 0;
    status.frameWonBy = -1;
    status.matchWonBy = -1;
    status.framesWon[0] = status.framesWon[1] = 0;
    status.frameScore[0] = status.frameScore[1] = 0;
    status.breakScore = 0;
    std::fill(std::begin(status.ballsPotted), std::end(status.ballsPotted), 0);
    status.statusMarkers.clear();
    status.touchingBalls.clear();
    if (status.balls == nullptr) status.balls = table.balls;
    table.setupBalls(status);
}

double GameHandler::pulsePhase(double t) const {
    const double period = 360.0 / ((4 * aim.power / maxPower + 3) * 60);
    const double phase = pulsePhaseOffset + t / period;
    return phase - std::floor(phase);
}

double CameraState::cueStrokeOffset(double a, double b, double c, double e) {
    constexpr double twoPi = 2 * kPi;
    if (!(a > 0)) return 3;
    if (e < c - 4 * a / 3) return 3 + b - b * std::cos(twoPi * (e - (c - 10 * a / 3)) / a);
    if (e < c - a / 3) return 3 + b - b * std::cos(twoPi * (e - (c - 4 * a / 3)) / (2 * a));
    if (e <= c) return std::cos(twoPi * (e - (c - a / 3)) / (4 * a / 3)) * (2 * b + 3);
    return (std::cos(twoPi * (e - (c - a / 6)) / (8 * a / 6)) * 0.5857864376269049 - 0.41421356237309515) *
           (2 * b + 3) / 2;
}
