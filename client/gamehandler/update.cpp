// The per-frame update after rendering: what moves by itself keeps moving, and a playing replay
// advances on its own clock.
#include "client/gamehandler/game_handler.h"

#include "client/gamehandler/page_statements.h"
#include "core/platform.h"
#include "core/sound_bank.h"
#include "physics/geometry.h"

#include <algorithm>
#include <cmath>

namespace {

// No gap longer than this (ms) between two recorded events is played in real time.
constexpr int kIdleSkipMs = 2100;
// The first-person camera: how near and far it may stand (mm), and how fast offset and distance ease
// (5 and 80 ball radii per second).
constexpr double kPovNearest = 270, kPovFarthest = 1470;
constexpr double kPovOffsetSpeed = 131.25, kPovDistanceSpeed = 2100;

// value moves towards goal by at most step, landing on it when the gap is within the step.
double approach(double value, double goal, double step) {
    if (std::abs(goal - value) <= step) return goal;
    return value + (goal > value ? step : -step);
}

void tellPlaying(const GameHandler& gh) {
    runInPages({HtmlWindow::BottomBox},
               "inbzSetReplayPlaying({replayPlaying: false, replayT: " + std::to_string(gh.replayT) + "});");
}

}  // namespace

void GameHandler::stepPOVCamera() {
    double& distance = povDistances[POV_NOW];
    double& goal = povDistances[POV_TARGET];
    if (!replayMode && isMyTurn()) {
        const double step = shiftHeld ? 1.05 : 10.5;
        if (keysHeld[0]) goal = std::max(kPovNearest, distance - step);
        if (keysHeld[2]) goal = std::min(kPovFarthest, distance + step);
    }
    if (povOffset == povSideStep && distance == goal) return;
    // A clock that went backwards moves nothing rather than away from the goal.
    const double dt = std::max(0.0, now - povSideStepTime);
    povSideStepTime = now;
    povOffset = approach(povOffset, povSideStep, kPovOffsetSpeed * dt);
    distance = approach(distance, goal, kPovDistanceSpeed * dt);
    if (placePOVCamera()) buildPOVProjection(10);
}

void GameHandler::update() {
    getSoundBank().update();
    tellFailedOpens();
    const uint16_t mods = platform().modifierState();
    shiftHeld = (mods & MOD_SHIFT) != 0;
    if (povMode) stepPOVCamera();

    if (pocketTidyTime > 0 && pocketTidyTime <= now) {
        table.limitBallsInPockets();
        pocketTidyTime = -1;
    }

    // A replay's stroke fades on the replay clock, a live one on the game clock.
    if (cueStrokeOn)
        updateCueStroke(replayMode ? replayT / 1000.0 : now);
    else
        cueStrokeFade = 1;

    if (!replayMode || !replayPlaying) return;
    if (replaySkipAimingProcess && !cueStrokeOn && skipReplayEvents()) {
        replayClockStart = now;
        replayTAtStart = replayT;
    }
    if (replayPaused) return;
    const double elapsedMs = std::trunc((now - replayClockStart) * replayTimeFactor * 1000);
    replayT = static_cast<int>(std::clamp(elapsedMs + replayTAtStart, -2147483648.0, 2147483647.0));

    auto inShot = [this] { return replayShotIndex >= 1 && replayShotIndex < static_cast<int>(replayShots.size()); };
    // Events can change the shot, the index and the list: all are read again after each one.
    while (inShot() && replayEventIndex >= 0 &&
           replayEventIndex < static_cast<int>(replayShots[replayShotIndex].events.size()) &&
           replayShots[replayShotIndex].events[replayEventIndex].time <= replayT) {
        const ReplayEvent e = replayShots[replayShotIndex].events[replayEventIndex];
        playReplayEvent(e);
        ++replayEventIndex;
    }

    if (!shotSentWaiting && inShot() && replayEventIndex < static_cast<int>(replayShots[replayShotIndex].events.size())) {
        const int next = replayShots[replayShotIndex].events[replayEventIndex].time;
        if (replayT + kIdleSkipMs < next) {
            replayT = replayTAtStart = next - kIdleSkipMs;
            replayClockStart = now;
            runInPages({HtmlWindow::BottomBox}, "inbzSetReplayFrameTime({replayT: " + std::to_string(replayT) +
                                                    ",replayTotalFrameTime: " +
                                                    std::to_string(replayTotalFrameTime) + ",});");
        }
    }
    if (shotSentWaiting) return;
    if (!inShot() || replayEventIndex < static_cast<int>(replayShots[replayShotIndex].events.size())) return;

    auto endOfReplay = [this] {
        replayPlaying = false;
        tellPlaying(*this);
        runInPages({HtmlWindow::BottomBox}, "inbzReplayLoadPractice({enabled: false});");
    };
    if (replayLoopCurrentShot) {
        if (replayLoopCountdown-- <= 1) {
            replayPlaying = false;
            tellPlaying(*this);
            replayLoopCurrentShot = false;
            replayLoopCountdown = 10;
            runInPages({HtmlWindow::BottomBox}, "inbzSetReplayLoopCurrentShot({ replayLoopCurrentShot:0,})");
        } else {
            playReplay(true);
        }
        return;
    }
    const int shots = static_cast<int>(replayShots.size());
    switch (replayKind) {
        case 2:
            if (++replayShotIndex < shots)
                playReplay(false);
            else
                endOfReplay();
            break;
        case 3:
            if (++replayShotIndex < shots) {
                playReplay(false);
            } else if (replayFrameNumber >= replayFrameCount) {
                endOfReplay();
            } else {
                sendReplayCommand(3, replayMatchId, replayFrameNumber + 1, 0);
                replayPlaying = false;
                tellPlaying(*this);
            }
            break;
        case 1:
            replayPlaying = false;
            tellPlaying(*this);
            break;
        default: break;
    }
}
