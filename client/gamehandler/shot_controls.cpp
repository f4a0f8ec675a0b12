// The controls beside the table: the spin selector, the power and elevation bars, the filter that
// turns raw relative motion into the drag vector, and the switch into relative mouse mode once a
// gated press has moved far enough.
#include "client/gamehandler/game_handler.h"

#include "core/clock.h"
#include "core/platform.h"

#include <algorithm>
#include <cmath>

namespace {

// The power and elevation column: 32 pixels wide, the power bar from 24 to the split point, the
// elevation bar from 24 above it to 49 below the top.
struct BarLayout {
    double left, right, split, top;
};

BarLayout barLayout(const GameHandler& gh) {
    const double h = gh.viewport[3];
    const double left = gh.hudColumnX;
    return {left, left + 31, 24 + 0.75 * (h - 25 - 24), h};
}

// Drag gain by the motion of the last sample period (counts per 0.05 s); 1.0 from 100 on.
constexpr double kGainThresholds[] = {8, 16, 24, 32, 40, 48, 60, 72, 84, 100};
constexpr double kGains[] = {0.025, 0.05, 0.125, 0.25, 0.35, 0.45, 0.55, 0.65, 0.75, 0.85};
constexpr double kSensitivity[] = {0.1, 0.2, 0.4, 0.6, 0.8, 1.0, 1.5, 2.0, 3.0, 4.0, 5.0};

}  // namespace

bool GameHandler::setSpinFromSelector(int x, int y, bool apply) {
    int x0 = 0, y0 = 0, size = 0;
    getQBallWidgetPlacement(x0, y0, size);
    const double u = x - viewport[0];
    const double v = windowHeight - 1 - y - viewport[1];
    const double cu = x0 + size / 2.0, cv = y0 + size / 2.0;
    const double t = std::hypot(u - cu, v - cv);
    if (t > size / 2.0 + 10) return false;
    if (!apply) return true;

    const double radius = size * 0.78125 / 2;
    double a = v, b = u;  // tip point: a vertical, b horizontal
    if (t > radius) {
        a = static_cast<int>(cv + (v - cv) * radius / t);
        b = static_cast<int>(cu + (u - cu) * radius / t);
    }
    if (platform().modifierState() & MOD_SHIFT) b = cu;

    const int arezor = hasOwnFlag64() ? -1 : firstArezor();
    const double d = static_cast<int>(radius / std::sqrt(2.0));
    if (arezor == 7 || arezor == 8) {
        double& pushed = arezor == 7 ? b : a;
        double& limited = arezor == 7 ? a : b;
        const double centre = arezor == 7 ? cu : cv, other = arezor == 7 ? cv : cu;
        if (std::abs(pushed - centre) < d) pushed = pushed < centre ? centre - d : centre + d;
        limited = std::clamp(limited, other - d, other + d);
    } else if (arezor == 9) {
        a = cv;
        b = cu;
    }

    // The rounding lets a point on the rim come out at 101 percent: the tip never leaves the ball.
    const double offset = b + 0.5 - cu;
    if (static_cast<int>(std::abs(offset)) <= 2)
        aim.sideSpin = 0;
    else
        aim.sideSpin = std::clamp(static_cast<int>((offset + (offset > 0 ? -2 : 2)) / (radius - 2) * 100 + 0.5), -100, 100);
    aim.topSpin = std::clamp(static_cast<int>(0.5 + (a - cv) / radius * 100), -100, 100);
    shareLiveAimMove(*this);
    updateAim(aimBallIndex);
    return true;
}

double GameHandler::powerBarValue(int x, int y, bool force) const {
    const BarLayout bar = barLayout(*this);
    const double u = x - viewport[0], v = windowHeight - 1 - y - viewport[1];
    const bool inside = u >= bar.left && u <= bar.right && v >= 24 && v <= bar.split;
    if (!inside && !force) return -1;
    if (bar.split <= 24) return 0;
    return std::clamp((v - 24) / (bar.split - 24), 0.0, 1.0);
}

double GameHandler::elevationBarValue(int x, int y, bool force) const {
    const BarLayout bar = barLayout(*this);
    const double u = x - viewport[0], v = windowHeight - 1 - y - viewport[1];
    const bool inside = u >= bar.left && u <= bar.right && v >= bar.split && v <= bar.top - 25;
    if (!inside && !force) return -1;
    // A viewport too low for the bar has no length to divide by: no hit.
    const double length = bar.top - 49 - (bar.split + 24);
    if (!(length > 0)) return -1;
    return std::clamp((v - (bar.split + 24)) / length, 0.0, 1.0);
}

void GameHandler::updateCursorOverSpinSelector(int x, int y, bool mayApply) {
    const bool free = !aimDragMode && pointAiming && aimBallIndex == 0 && !rotateDrag && !zoomDrag && !panDrag &&
                      !powerDrag && !widgetDrag;
    if (free && setSpinFromSelector(x, y, mayApply && !shotSentWaiting)) {
        if (!keepCursorVisible) platform().showCursor(false);
        spinCursorHidden = true;
    } else if (spinCursorHidden) {
        spinCursorHidden = false;
        platform().showCursor(true);
    }
}

void GameHandler::accumulateDrag(int x, int y, int dx, int dy) {
    rawMotionX += dx;
    rawMotionY += dy;
    const double t = secondsSinceStart().seconds;
    if (t - lastSampleTime >= 0.05) {
        const double m = std::hypot(rawMotionX - lastSampleX, rawMotionY - lastSampleY);
        double gain = 1.0;
        for (size_t i = 0; i < std::size(kGainThresholds); ++i) {
            if (m < kGainThresholds[i]) {
                gain = kGains[i];
                break;
            }
        }
        if ((platform().modifierState() & MOD_SHIFT) && !rotateDrag) gain /= 10;
        const int k = gameSettings.mouseSensitivity + 5;
        gain *= k < 0 ? 0.1 : k > 10 ? 5.0 : kSensitivity[k];
        dragGain = gain;
        lastSampleTime = t;
        lastSampleX = rawMotionX;
        lastSampleY = rawMotionY;
    }
    prevDragX = dragX;
    prevDragZ = dragZ;
    dragX += dx * dragGain;
    dragZ += dy * dragGain;
}

void GameHandler::captureMouse(int x, int y) {
    const bool left = std::abs(x - mouseDownX) >= mouseDeadZone || std::abs(y - mouseDownY) >= mouseDeadZone;
    if (panArmed) {
        if (!left) return;
        platform().releaseMouseCapture();
        platform().showCursor(false);
        platform().setRelativeMouseMode(true);
        panArmed = false;
        panDrag = 1;
        mouseCaptured = true;
    } else if (widgetDragArmed) {
        if (!left) return;
        widgetDragArmed = false;
        widgetDrag = true;
    } else if (ballDragArmed) {
        if (!left) return;
        ballDragArmed = false;
        ballDragActive = true;
        const bool validBall = pickedBall >= 0 && pickedBall < kBallCount;
        const Ball* ball = validBall ? &table.balls[pickedBall] : nullptr;
        ballDragFromD = pickedBall == BALL_WHITE && ball->onTable && isInD(table, ball->x, ball->z);
    }
}
