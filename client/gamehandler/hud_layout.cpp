// Where the aiming HUD sits: the power and elevation column and the spin widget. The renderer draws
// from these numbers and the mouse hit-tests with them, so both agree to the pixel.
#include "client/gamehandler/game_handler.h"

#include "client/gamehandler/page_statements.h"

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

void GameHandler::getQBallWidgetPlacement(int& x, int& y, int& size) const {
    const int s = spinWidgetSize, ox = spinWidgetOffsetX, oy = spinWidgetOffsetY;
    const int w = viewport[2], h = viewport[3];
    const int column = static_cast<int>(hudColumnX);
    switch (spinWidgetPlacement) {
        case 0: x = ox, y = h - oy - s; break;
        case 1: x = ox, y = oy; break;
        case 2: x = column - ox - s, y = h - oy - s; break;
        case 3: x = column - ox - s, y = oy; break;
        case 4: x = w - ox - s, y = h - oy - s; break;
        case 5: x = w - ox - s, y = oy; break;
        default: return;
    }
    size = s;
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
    if (!enabled && !replayMode && povMode) {
        leavePOVMode();
        povResumePending = true;
    }
}
