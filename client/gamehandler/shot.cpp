// The road of a stroke: the own stroke is only sent; the server's echo is applied to the table and
// stepped frame by frame with its sounds; when the balls stop, the parked game status, the held chat
// and the stroke values for the next shot follow.
#include "client/gamehandler/game_handler.h"

#include "client/gamehandler/page_statements.h"
#include "core/app_status.h"
#include "core/log.h"
#include "core/sound_bank.h"
#include "physics/geometry.h"

#include <algorithm>
#include <cmath>

namespace {

GameHandler::GameStatusApplier statusApplier = nullptr;

// Simulated time one frame may add at most: a stalled frame (or a broken frame average) makes the
// simulation fall behind the clock instead of running away with the main thread.
constexpr double kMaxFrameSeconds = 1.0;

// The parked status, its durations grown by the time it waited.
void applyPendingStatus(GameHandler& gh, bool atEndOfShot) {
    const double elapsed = std::max(0.0, gh.now - gh.statusReceivedAt);
    const uint32_t e = static_cast<uint32_t>(std::min(elapsed * 1000, 4.0e9));
    BZ_LOG(LOG_INFO, "endShot", "elapsedSinceReception=" << e);
    gh.pendingStatus.matchDuration += e;
    gh.pendingStatus.frameDuration += e;
    gh.pendingStatus.breakDuration += e;
    if (statusApplier)
        statusApplier(gh, gh.pendingStatus, gh.pendingStatusSequence, atEndOfShot, nullptr, 0);
    else
        BZ_LOG(LOG_INFO, "endShot", "No status application installed; status " << gh.pendingStatusSequence << " kept");
}

}  // namespace

TableState::GameStatusApplier TableState::setGameStatusApplier(GameStatusApplier applier) {
    GameStatusApplier previous = statusApplier;
    statusApplier = applier;
    return previous;
}

void GameHandler::shoot(bool received) {
    if (!received && !isAnyBallMoving()) {
        LiveStatus& s = *liveStatus;
        const int on = s.ballOn, named = s.nominatedBall;
        const bool free = s.freeBall;
        int n = 0;
        const bool predict = (on != 0 && free && named <= 0) || (on == 0 && named <= 1);
        if (predict) {
            const int hit = table.predictFirstBallHit(BALL_WHITE, aim.aimAngle, aim.elevation);
            if (hit >= 2 && hit <= 9) {
                n = hit;
                BZ_LOG(LOG_INFO, "shoot", "nominated ball auto-selected: " << n);
            }
            if (on == 0 && n <= 1) {
                if (isArezorOn(5)) {
                    n = 7;
                } else {
                    showNotice("Please nominate! Right-click on colour ball or CTRL-number", 3000);
                    SoundBank& sounds = getSoundBank();
                    sounds.playRefereeSound(sounds.refereeClip(127), 1.0f);
                    return;
                }
            }
        }
        sendShot(*this, n, aim.aimAngle, aim.power, aim.topSpin, aim.sideSpin, aim.elevation);
        shotSentWaiting = true;
        aimShown = false;
        lineUpShotFlag = lineUpNumber == 11 || lineUpNumber == 12;
        return;
    }
    if (received) {
        if (isAnyBallMoving()) {
            // Applying a stroke to moving balls would fork this table from the others: drop it.
            BZ_LOG(LOG_ERROR, "shoot",
                   "Stroke dropped, balls still moving: " << aim.aimAngle << ", " << aim.power << ", " << aim.topSpin
                                                          << ", " << aim.sideSpin << ", " << aim.elevation);
            aim = savedAimParameters;  // Mends the own aim left at the values of the stroke dropped.
        } else {
            leavePOVMode();
            applyShotStroke();
            shotSentWaiting = true;
            pointAiming = 0;
            aimShown = false;
            const Ball& cue = table.balls[BALL_WHITE];
            SoundBank& sounds = getSoundBank();
            const double volume = std::min(1.0, aim.power / maxPower / 0.6);
            sounds.playBallSound(sounds.cueStrikeClip, static_cast<float>(volume), static_cast<float>(cue.x), 0,
                                 static_cast<float>(cue.z));
            aim = savedAimParameters;
            runInPages({HtmlWindow::BottomBox},
                       "inbzStopShotTimer({player: " + std::to_string(liveStatus->playerOn) + ",});");
        }
    }
    ballMarkerFrom += 86400000;
    liveStatus->nominatedBall = 0;
}

void GameHandler::playReceivedStroke(int nominatedBall, double aimAngle, double power, double topSpin,
                                     double sideSpin, double elevation) {
    savedAimParameters = aim;
    aim = AimParameters{aimAngle, power, topSpin, sideSpin, elevation};
    remoteAimActive = false;
    if (liveStatus->nominatedBall <= 0 && nominatedBall > 0) liveStatus->nominatedBall = nominatedBall;
    shoot(true);
}

void GameHandler::applyShotStroke() {
    table.applyStroke(BALL_WHITE, true, nullptr, aim.aimAngle, aim.topSpin, aim.sideSpin, aim.elevation, aim.power,
                      1.0);
    table.takeBallFromPocket(BALL_WHITE);
    shotStepper.start();
}

void GameHandler::startCueStroke(double power, double clockSeconds) {
    cueStrokeOn = true;
    cueStrokeEndTime = static_cast<int64_t>(1000 * clockSeconds);
    cueStrokeDuration = 360 / ((4 * power / maxPower + 3) * 60) / 1.5;
    cueStrokeLength = 180 * power / maxPower + 5;
    cueStrokeBallX = cueBall->x;
    cueStrokeBallZ = cueBall->z;
}

void AimingState::updateCueStroke(double clockSeconds) {
    if (!cueStrokeOn) return;
    const int64_t h = static_cast<int64_t>(1000 * cueStrokeDuration * 0.5);
    const int64_t t = static_cast<int64_t>(1000 * clockSeconds);
    const int64_t end = cueStrokeEndTime;
    if (t <= end + h) {
        cueStrokeFade = 1 - smoothstep(static_cast<double>(end + h / 2), static_cast<double>(end + h),
                                       static_cast<double>(t));
    } else {
        cueStrokeOn = false;
        cueStrokeFade = 1;
    }
}

void GameHandler::stepBallMotion() {
    double elapsed = static_cast<double>(averageFrameMicros) / 1e6;
    if (!(elapsed >= 0)) elapsed = 0;
    elapsed = std::min(elapsed, kMaxFrameSeconds);
    std::vector<MotionEvent> events;
    shotStepper.stepFrame(elapsed, replayMode ? replayTimeFactor : 1.0, &events);

    SoundBank& sounds = getSoundBank();
    for (const MotionEvent& e : events) {
        const float x = static_cast<float>(e.x), z = static_cast<float>(e.z), v = static_cast<float>(e.volume);
        switch (e.kind) {
        case MotionEventKind::Cushion: sounds.playBallSound(sounds.ballMotionClips[1], v, x, 0, z); break;
        case MotionEventKind::Pocket:
            sounds.playBallSound(sounds.ballMotionClips[2 + std::clamp(e.speedClass, 0, 3)], v, x, 0, z);
            break;
        case MotionEventKind::BallContact:
            sounds.playBallSound(sounds.ballMotionClips[0], v, x, 0, z);
            break;
        case MotionEventKind::DropIntoEmptyPocket: sounds.playBallSound(sounds.ballMotionClips[6], 1.0f); break;
        case MotionEventKind::DropOntoBalls: sounds.playBallSound(sounds.ballMotionClips[7], 1.0f); break;
        }
    }
}

void GameHandler::updateShot() {
    if (isAnyBallMoving()) {
        // A paused replay holds its balls where they are.
        if (!replayMode || (replayPlaying && !replayPaused)) stepBallMotion();
        return;
    }
    const AppState state = appState.load();
    if (state >= STATE_TABLE && state <= 7 && statusPending) endShot();
}

void GameHandler::endShot() {
    if (replayMode) {
        // A replay's shots carry their own status (replay_playback.cpp); no held chat to show.
        if (!applyReplayShotStatus()) return;
    } else {
        applyParkedStatus();
    }
    statusPending = false;
    for (int i = 0; i < kBallCount; ++i)
        if (table.balls[i].onTable) table.takeBallFromPocket(i);
    aimBallIndex = 0;
    if (!replayMode) showDeferredChat();
    aim.elevation = 0;
    aim.topSpin = 80.0;
    aim.sideSpin = 0;
    updateAim(0);
    shotSentWaiting = false;
    ballMarkerFrom = now;
    pocketTidyTime = now + 5.0;
    shotStepper.stop();
}

void GameHandler::applyParkedStatus() {
    applyPendingStatus(*this, true);
    while (!laterStatuses.empty()) {
        LaterStatus later = std::move(laterStatuses.front());
        laterStatuses.pop_front();
        pendingStatus = later.status;
        pendingBalls = later.balls;
        pendingSavedBalls = later.savedBalls;
        pendingStatusSequence = later.sequence;
        statusReceivedAt = later.receivedAt;
        applyPendingStatus(*this, later.atEndOfShot);
    }
}

void AimingState::setShowBreak(bool show) {
    runInPages({HtmlWindow::TopBox}, std::string("if (typeof inbzShowBreak !== 'undefined') { inbzShowBreak({") +
                                         "showBreak: " + jsFlag(show) + "}); }");
}

void AimingState::setShowBallOn(bool show) {
    runInPages({HtmlWindow::TopBox}, std::string("if (typeof inbzShowBallOn !== 'undefined') { inbzShowBallOn({") +
                                         "showBallOn: " + jsFlag(show) + "}); }");
}
