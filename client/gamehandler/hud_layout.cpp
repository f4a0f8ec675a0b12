// Where the aiming HUD sits: the power and elevation column and the spin widget. The renderer draws
// from these numbers and the mouse hit-tests with them, so both agree to the pixel.
#include "client/gamehandler/game_handler.h"

#include "client/gamehandler/page_statements.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kColumnWidth = 32;
constexpr int kBarMargin = 24;
constexpr int kTrackWidth = 10;

}  // namespace

GameHandler::PowerBarLayout GameHandler::getPowerBarLayout() const {
    PowerBarLayout l{};
    const int h = viewport[3];
    l.barLeft = static_cast<int>(hudColumnX);
    l.barRight = l.barLeft + kColumnWidth - 1;
    l.barBottom = kBarMargin;
    l.barTop = h - 1 - kBarMargin;
    const double powerSpan = 0.75 * (l.barTop - kBarMargin);
    l.powerTop = static_cast<int>(kBarMargin + powerSpan);
    // A maximum of 0 would divide by zero: the knob then rests at the bottom.
    const double powerShare = maxPower > 0 ? aim.power / maxPower : 0.0;
    l.powerKnobY = static_cast<int>(kBarMargin + powerSpan * powerShare);
    l.knobLeft = l.barLeft + (l.barRight - l.barLeft + 1 - kTrackWidth) / 2;
    l.knobRight = l.knobLeft + kTrackWidth - 1;
    l.elevationBottom = l.powerTop + kBarMargin;
    l.elevationTop = l.barTop - kBarMargin;
    const double elevationShare = maxElevation > 0 ? aim.elevation / maxElevation : 0.0;
    l.elevationKnobY = static_cast<int>(l.elevationBottom + (l.elevationTop - l.elevationBottom) * elevationShare);
    return l;
}

namespace {

// The lower-left corner of the widget for a placement case; false for a case that names no place.
bool widgetCorner(int placement, int s, int ox, int oy, int w, int h, int column, int& x, int& y) {
    switch (placement) {
        case 0: x = ox, y = h - oy - s; break;
        case 1: x = ox, y = oy; break;
        case 2: x = column - ox - s, y = h - oy - s; break;
        case 3: x = column - ox - s, y = oy; break;
        case 4: x = w - ox - s, y = h - oy - s; break;
        case 5: x = w - ox - s, y = oy; break;
        default: return false;
    }
    return true;
}

// A table point in viewport pixels (y up) through the camera of the last frame; false behind it.
bool toViewport(const GameHandler& gh, const float view[16], double x, double y, double z, double& u, double& v) {
    const double point[4] = {x, y, z, 1};
    double eye[4] = {0, 0, 0, 0}, clip[4] = {0, 0, 0, 0};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) eye[r] += view[4 * c + r] * point[c];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) clip[r] += gh.projection[4 * c + r] * eye[c];
    if (!(clip[3] > 1e-6)) return false;
    u = (clip[0] / clip[3] + 1) * 0.5 * gh.viewport[2];
    v = (clip[1] / clip[3] + 1) * 0.5 * gh.viewport[3];
    return std::isfinite(u) && std::isfinite(v);
}

constexpr double kBallRadius = 26.25;
// Room left between the widget's hit area and the farthest press that picks the ball.
constexpr double kClearance = 6;
// How far outside the drawn widget a press still hits it.
constexpr double kHitMargin = 10;

}  // namespace

void GameHandler::getQBallWidgetPlacement(int& x, int& y, int& size) const {
    const int s = spinWidgetSize, ox = spinWidgetOffsetX, oy = spinWidgetOffsetY;
    const int w = viewport[2], h = viewport[3];
    const int column = static_cast<int>(hudColumnX);
    if (!widgetCorner(spinWidgetPlacement, s, ox, oy, w, h, column, x, y)) return;
    size = s;

    // A press on the cue ball aims again and the pointer comes back onto it after a drag: where the
    // widget's place lies over the cue ball (the default one covers the D of a small window), a press
    // meant for the ball would play the shot. The widget then gives way to the other half of its
    // side, else to the other side, there against the edge so that it covers as little of the table
    // as it can.
    // Fault mended: a widget over the cue ball turned a press meant for the ball into a shot.
    const Ball& ball = *cueBall;
    if (!ball.onTable) return;
    float view[16];
    viewMatrix(view);
    double bu = 0, bv = 0, eu = 0, ev = 0;
    if (!toViewport(*this, view, ball.x, kBallRadius, ball.z, bu, bv)) return;
    double radius = 0;
    for (const double dx : {kBallRadius, 0.0}) {
        if (toViewport(*this, view, ball.x + dx, kBallRadius, ball.z + kBallRadius - dx, eu, ev))
            radius = std::max(radius, std::hypot(eu - bu, ev - bv));
    }
    // A press within a ball's diameter of its centre picks it, and that press point is where the
    // pointer comes back to after the aiming drag.
    const double pickReach = 2 * radius;
    const auto covers = [&](int cx, int cy) {
        return std::hypot(cx + s / 2.0 - bu, cy + s / 2.0 - bv) < s / 2.0 + kHitMargin + pickReach + kClearance;
    };
    if (!covers(x, y)) return;
    const int mirrored = spinWidgetPlacement ^ 1;  // 0<->1, 2<->3, 4<->5: the same side, the other half
    const int otherSide = spinWidgetPlacement <= 1 ? spinWidgetPlacement + 2 : spinWidgetPlacement & 1;
    const struct {
        int placement, ox;
    } alternatives[] = {{mirrored, ox}, {otherSide, 0}, {otherSide ^ 1, 0}};
    for (const auto& alternative : alternatives) {
        int ax = 0, ay = 0;
        widgetCorner(alternative.placement, s, alternative.ox, oy, w, h, column, ax, ay);
        if (!covers(ax, ay)) {
            x = ax;
            y = ay;
            return;
        }
    }
}

void GameHandler::placeQBallWidget(int x, int y) {
    const int s = spinWidgetSize, w = viewport[2], h = viewport[3];
    const double column = hudColumnX;
    const bool lower = y + s / 2.0 < h / 2.0;
    if (column < x + s) {
        spinWidgetPlacement = lower ? 5 : 4;
        spinWidgetOffsetX = w - (x + s);
    } else if (x + s / 2.0 > column / 2) {
        spinWidgetPlacement = lower ? 3 : 2;
        spinWidgetOffsetX = static_cast<int>(column) - (x + s);
    } else {
        spinWidgetPlacement = lower ? 1 : 0;
        spinWidgetOffsetX = x;
    }
    spinWidgetOffsetY = lower ? y : h - (y + s);
}

void GameHandler::setPOVModeEnabled(bool enabled) {
    povModeOffered = enabled;
    runInPages({HtmlWindow::BottomBox},
               std::string("inbzSetPOVModeEnabled({isEnabled: ") + (enabled ? "true" : "false") + "});");
    if (!enabled && !replayMode && povMode) leavePOVMode();
}
