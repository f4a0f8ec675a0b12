// The per-frame update after rendering: what moves by itself keeps moving, and a playing replay
// advances on its own clock.
#include "client/gamehandler/game_handler.h"

#include "client/gamehandler/page_statements.h"
#include "client/gamehandler/requests.h"
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

bool inShot(const GameHandler& gh) {
    return gh.replayShotIndex >= 1 && gh.replayShotIndex < static_cast<int>(gh.replayShots.size());
}

// The event index lies inside the current shot's events.
bool eventsLeft(const GameHandler& gh) {
    return gh.replayEventIndex >= 0 &&
           gh.replayEventIndex < static_cast<int>(gh.replayShots[gh.replayShotIndex].events.size());
}

// Plays the current shot's events that are due.
void playDueEvents(GameHandler& gh) {
    // Events can change the shot, the index and the list: all are read again after each one.
    while (inShot(gh) && eventsLeft(gh) &&
           gh.replayShots[gh.replayShotIndex].events[gh.replayEventIndex].time <= gh.replayT) {
        const ReplayEvent e = gh.replayShots[gh.replayShotIndex].events[gh.replayEventIndex];
        gh.playReplayEvent(e);
        ++gh.replayEventIndex;
    }
}

// A long wait for the next event is cut short to kIdleSkipMs.
void skipIdleTime(GameHandler& gh) {
    if (gh.shotSentWaiting || !inShot(gh) || !eventsLeft(gh)) return;
    const int next = gh.replayShots[gh.replayShotIndex].events[gh.replayEventIndex].time;
    if (gh.replayT + kIdleSkipMs >= next) return;
    gh.replayT = gh.replayTAtStart = next - kIdleSkipMs;
    gh.replayClockStart = gh.now;
    runInPages({HtmlWindow::BottomBox}, "inbzSetReplayFrameTime({replayT: " + std::to_string(gh.replayT) +
                                            ",replayTotalFrameTime: " + std::to_string(gh.replayTotalFrameTime) +
                                            ",});");
}

void stopPlaying(GameHandler& gh) {
    gh.replayPlaying = false;
    tellPlaying(gh);
}

void endOfReplay(GameHandler& gh) {
    stopPlaying(gh);
    runInPages({HtmlWindow::BottomBox}, "inbzReplayLoadPractice({enabled: false});");
}

// The shot looped: played again until the loop's count runs out.
void loopShotEnded(GameHandler& gh) {
    if (gh.replayLoopCountdown-- <= 1) {
        stopPlaying(gh);
        gh.replayLoopCurrentShot = false;
        gh.replayLoopCountdown = 10;
        runInPages({HtmlWindow::BottomBox}, "inbzSetReplayLoopCurrentShot({ replayLoopCurrentShot:0,})");
    } else {
        gh.playReplay(true);
    }
}

// The last event of a shot has played: a shot replay stops, a frame replay plays on, and a match
// replay goes on with the next frame.
void shotEnded(GameHandler& gh) {
    if (gh.replayLoopCurrentShot) {
        loopShotEnded(gh);
        return;
    }
    const int shots = static_cast<int>(gh.replayShots.size());
    switch (gh.replayKind) {
        case 2:
            if (++gh.replayShotIndex < shots)
                gh.playReplay(false);
            else
                endOfReplay(gh);
            break;
        case 3:
            if (++gh.replayShotIndex < shots) {
                gh.playReplay(false);
            } else if (gh.replayFrameNumber >= gh.replayFrameCount) {
                endOfReplay(gh);
            } else {
                gh.sendReplayCommand(3, gh.replayMatchId, gh.replayFrameNumber + 1, 0);
                stopPlaying(gh);
            }
            break;
        case 1:
            stopPlaying(gh);
            break;
        default: break;
    }
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
    const uint16_t mods = platform().modifierState();
    shiftHeld = (mods & MOD_SHIFT) != 0;
    if (povMode) stepPOVCamera();
    sendHeldLiveAimMove(*this);

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

    playDueEvents(*this);
    skipIdleTime(*this);
    if (shotSentWaiting) return;
    if (!inShot(*this) || eventsLeft(*this)) return;
    shotEnded(*this);
}
