// The events of the table the user sits at or watches: ball placements and removals, the opponent's
// live aim, the nomination, the echoed stroke and the game status. The own client learns of its own
// actions only through these echoes. The start, foul, concede, rerack and abort events are handed on
// (table_events_start.cpp).
#include "dispatch/handlers.h"

#include "client/gamehandler/page_statements.h"
#include "core/app_status.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/sound_bank.h"
#include "client/gamehandler/state_change.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kLog = "processMessage";
constexpr double kAimAnimationSeconds = 0.375;

bool validBall(int ball) { return ball >= 0 && ball < kBallCount; }

// Aim angles are degrees that the client brings into one turn step by step: a value far outside a
// few turns, or not a number at all, would keep that loop going for ever. The other values drive
// the stroke: the bounds are many times what any cue can give.
constexpr double kMaxAimAngle = 36000;
constexpr double kMaxAimPower = 10000;
constexpr double kMaxAimSpin = 1000;
constexpr double kMaxAimElevation = 360;

bool validAim(const AimParameters& a) {
    for (double v : {a.aimAngle, a.power, a.topSpin, a.sideSpin, a.elevation})
        if (!std::isfinite(v)) return false;
    return std::fabs(a.aimAngle) <= kMaxAimAngle && a.power >= 0 && a.power <= kMaxAimPower &&
           std::fabs(a.topSpin) <= kMaxAimSpin && std::fabs(a.sideSpin) <= kMaxAimSpin &&
           std::fabs(a.elevation) <= kMaxAimElevation;
}

void removeTouching(GameHandler& gh, int ball, bool whiteClears) {
    std::vector<int>& touching = gh.liveStatus->touchingBalls;
    if (whiteClears && ball == BALL_WHITE) {
        if (!touching.empty()) BZ_LOG(LOG_INFO, kLog, "Touching_Balls: cleared");
        touching.clear();
        return;
    }
    auto it = std::find(touching.begin(), touching.end(), ball);
    if (it == touching.end()) return;
    touching.erase(it);
    BZ_LOG(LOG_INFO, kLog, "Touching_Balls: ball " << ball << " removed");
}

// The opponent's power becomes the pulse's base while the own power stays: the drawn pulse of the
// opponent's cue runs on without a jump.
void rebasePowerPulse(GameHandler& gh, double previousRemotePower, double newPower) {
    if (gh.aimDragMode != 0 || gh.pointAiming != 0) return;
    const double own = gh.aim.power;
    gh.aim.power = previousRemotePower;
    gh.setShotPower(newPower);
    gh.aim.power = own;
}

const char* colourName(int ball) {
    static const char* const names[] = {"Yellow", "Green", "Brown", "Blue", "Pink", "Black", "Orange", "Purple"};
    return ball >= 2 && ball <= 9 ? names[ball - 2] : "None";
}

void onBallPlaced(GameHandler& gh, const TableEvent& e, bool& aimUpdateNeeded) {
    const int b = e.ball;
    const double x = e.ballValues[0], z = e.ballValues[1];
    BZ_LOG(LOG_INFO, kLog, "BALL_PLACED: ball=" << b << " moved to " << x << ";" << z);
    if (!gh.ballDragActive) {
        Ball& ball = gh.table.balls[b];
        ball.x = x;
        ball.z = z;
        ball.onTable = true;
        gh.table.takeBallFromPocket(b);
        aimUpdateNeeded = true;
    }
    removeTouching(gh, b, true);
}

// The server sends the live aim of the player on turn to everyone at the table, that player
// included. On the own turn, with no shot of the own still rolling or awaiting its status, the
// live aim can only be the own coming back: it is not the opponent's and is never drawn as his.
// (While the own shot rolls, the opponent may already be aiming on a quicker client.)
bool ownAimEcho(const GameHandler& gh) {
    return !gh.replayMode && gh.isMyTurn() && !gh.statusPending && !gh.isAnyBallMoving();
}

void onLiveAimStart(GameHandler& gh, const TableEvent& e) {
    gh.remoteAimActive = true;
    gh.remoteAimShown = gh.remoteAimAnimating = gh.remoteAimReceived = false;
    gh.remoteAimBall = e.ball;
    gh.remoteAim = e.aim;
    if (gh.replayMode) {
        gh.aimBallIndex = e.ball;
        gh.aim = e.aim;
    }
    gh.updateRemoteAim();
}

void onNominatedBall(GameHandler& gh, const TableEvent& e) {
    const int b = e.ball;
    LiveStatus& live = *gh.liveStatus;
    const int c = live.nominatedBall;
    const bool silent = gh.isArezorOn(5);
    if (b != c && b > 1 && !silent) {
        // Mends the wrong call for a red: past 120 stand other calls (the warnings, the winner's).
        if (b <= 9) {
            SoundBank& sounds = getSoundBank();
            sounds.playRefereeSound(sounds.refereeClip(111 + b), 1.0f);
        }
    }
    if (((b >= 2 && b <= 9) || c > 1) && b != c && b > 0 && !silent) {
        const Message line = Message::initChat(0, 1, ChatClass::LOCAL_NOTICE, 0, "", gh.table.getId(),
                                               "Nominated ball: ", "", colourName(b), "", "");
        gh.displayChatMessage(line, false);
        live.nominatedBall = b;
        gh.showNotice(std::string("Nominated ball: ") + colourName(b), 3000);
        return;
    }
    live.nominatedBall = b == c ? 0 : b;
}

void onShot(GameHandler& gh, const TableEvent& e) {
    const std::string stop = "inbzTimeoutProlongDecidingStop();";
    runInPages({HtmlWindow::BottomBox}, stop);
    BZ_LOG(LOG_INFO, kLog, "Stopped timeout prolong deciding in BB: " << stop);
    if (gh.pocketTidyTime > 0) {
        gh.table.limitBallsInPockets();
        gh.pocketTidyTime = -1;
    }
    if (!gh.replayMode)
        gh.startCueStroke(e.aim.power, gh.now);
    else
        gh.aim = gh.remoteAim;
    gh.playReceivedStroke(e.number, e.aim.aimAngle, e.aim.power, e.aim.topSpin, e.aim.sideSpin, e.aim.elevation);
    gh.shotAnimating = true;
    runInPages({HtmlWindow::BottomBox}, "inbzShotStarted();");
    gh.lineUpShotFlag = gh.lineUpNumber == 11 || gh.lineUpNumber == 12;
}

void onLiveAimMove(GameHandler& gh, const AimParameters& values) {
    if (!gh.remoteAimReceived) {
        gh.remoteAimReceived = true;
        gh.remoteAim = values;
        if (gh.replayMode) gh.aim = values;
        gh.updateRemoteAim();
        return;
    }
    gh.remoteAimAnimStart = gh.now;
    gh.remoteAimAnimEnd = gh.now + kAimAnimationSeconds;
    const AimParameters before = gh.remoteAim;
    gh.remoteAimFrom = before;
    gh.remoteAimFrom.power = values.power;
    gh.remoteAimTo = values;
    if (gh.replayMode) gh.aim = before;
    double& from = gh.remoteAimFrom.aimAngle;
    double& to = gh.remoteAimTo.aimAngle;
    if (std::isfinite(from)) {
        while (from > 180) from -= 360;
        while (from <= -180) from += 360;
    }
    if (std::fabs(to - from) > 180) to = to > from ? to - 360 : to + 360;
    gh.remoteAimAnimating = true;
    rebasePowerPulse(gh, before.power, values.power);
}

void parkOrApplyGameStatus(GameHandler& gh, const TableEvent& e, uint32_t sequence) {
    const GameStatus& status = e.status();
    if (gh.replayMode) {
        BZ_LOG(LOG_INFO, kLog,
               "Received GAME_STATUS table event in REPLAY MODE, gameState=" << status.gameState << ", ignoring it");
        return;
    }
    BZ_LOG(LOG_INFO, kLog, "Received GAME_STATUS table event, gameState=" << status.gameState);
    const bool decidesFrame = gh.liveStatus->frameWonBy < 0 && status.frameWonBy >= 0;
    const bool parks = gh.shotAnimating || status.timeout || decidesFrame;
    // Fault mended: applied at once (or parked in its place), a status that comes while the shot's
    // status still waits for the rest makes that one stale or lost, and the shot's referee calls with
    // it; each waits behind it, in order, and gets end-of-shot calls only when it would have been parked.
    if (gh.statusPending && !gh.shotAnimating) {
        BZ_LOG(LOG_INFO, kLog, "This GAME_STATUS table event follows a parked one, applying it after it.");
        gh.laterStatuses.push_back(TableState::LaterStatus{status, e.balls(), e.savedBalls(),
                                                           static_cast<int>(sequence), gh.now, parks});
        return;
    }
    if (parks) {
        BZ_LOG(LOG_INFO, kLog, "This GAME_STATUS table event was expected, it contains shot results.");
        gh.pendingStatus = status;
        gh.pendingBalls = e.balls();
        gh.pendingSavedBalls = e.savedBalls();
        gh.shotAnimating = false;
        gh.statusPending = true;
        gh.pendingStatusSequence = static_cast<int>(sequence);
        gh.statusReceivedAt = gh.now;
        gh.laterStatuses.clear();
        return;
    }
    BZ_LOG(LOG_INFO, kLog, "This GAME_STATUS table event is unsolicited, applying it immediately.");
    gh.applyGameStatus(status, &e.balls(), &e.savedBalls(), static_cast<int>(sequence), false, nullptr, 0);
    if (gh.liveStatus->gameState != 1) changeState(STATE_TABLE);
}

void onBallRemoved(GameHandler& gh, const TableEvent& e) {
    gh.table.balls[e.ball].onTable = false;
    removeTouching(gh, e.ball, false);
    gh.table.takeBallFromPocket(e.ball);
}

void onLiveAimSet(GameHandler& gh, const TableEvent& e) {
    const double previousPower = gh.remoteAim.power;
    gh.remoteAim.aimAngle = e.aim.aimAngle;
    rebasePowerPulse(gh, previousPower, e.aim.power);
    gh.remoteAim = e.aim;
    if (gh.replayMode) gh.aim = e.aim;
    gh.remoteAimShown = gh.remoteAimReceived = true;
    gh.remoteAimAnimating = false;
    gh.updateRemoteAim();
}

void logAimOutOfRange(int type, const TableEvent& e) {
    BZ_LOG(LOG_ERROR, kLog,
           "Table event " << type << " with aim angle " << e.aim.aimAngle
                          << " or another aim value out of range ignored");
}

// False, with the reason in the log, for an event whose ball or values are the server's mistake.
bool acceptable(const TableEvent& e) {
    const int type = static_cast<int>(e.type);
    switch (e.type) {
    case TableEventType::BALL_PLACED:
    case TableEventType::BALL_REMOVED:
    case TableEventType::LIVE_AIM_START:
    case TableEventType::NOMINATED_BALL:
        // The ball indexes the table: an id from outside it is the server's mistake.
        if (!validBall(e.ball)) {
            BZ_LOG(LOG_ERROR, kLog, "Table event " << type << " for ball " << e.ball << " ignored");
            return false;
        }
        if (e.type == TableEventType::BALL_PLACED &&
            (!std::isfinite(e.ballValues[0]) || !std::isfinite(e.ballValues[1]))) {
            BZ_LOG(LOG_ERROR, kLog, "Table event " << type << " with a position that is not a number ignored");
            return false;
        }
        if (e.type == TableEventType::LIVE_AIM_START && !validAim(e.aim)) {
            logAimOutOfRange(type, e);
            return false;
        }
        return true;
    case TableEventType::LIVE_AIM_MOVE:
    case TableEventType::LIVE_AIM_SET:
    case TableEventType::SHOT:
        if (!validAim(e.aim)) {
            logAimOutOfRange(type, e);
            return false;
        }
        return true;
    default: return true;
    }
}

bool isLiveAim(TableEventType type) {
    return type == TableEventType::LIVE_AIM_START || type == TableEventType::LIVE_AIM_MOVE ||
           type == TableEventType::LIVE_AIM_SET || type == TableEventType::LIVE_AIM_END;
}

// Applies one event; aimUpdateNeeded says whether the aiming aids must be worked out again after
// the message (a stroke leaves nothing to aim at).
void applyTableEvent(GameHandler& gh, const TableEvent& e, uint32_t sequence, bool& aimUpdateNeeded) {
    switch (e.type) {
    case TableEventType::BALL_PLACED: onBallPlaced(gh, e, aimUpdateNeeded); break;
    case TableEventType::BALL_REMOVED:
        onBallRemoved(gh, e);
        aimUpdateNeeded = true;
        break;
    case TableEventType::LIVE_AIM_START:
        onLiveAimStart(gh, e);
        aimUpdateNeeded = true;
        break;
    case TableEventType::LIVE_AIM_MOVE:
        onLiveAimMove(gh, e.aim);
        aimUpdateNeeded = true;
        break;
    case TableEventType::LIVE_AIM_SET:
        onLiveAimSet(gh, e);
        aimUpdateNeeded = true;
        break;
    case TableEventType::LIVE_AIM_END:
        gh.remoteAimActive = gh.remoteAimAnimating = false;
        aimUpdateNeeded = true;
        break;
    case TableEventType::NOMINATED_BALL:
        onNominatedBall(gh, e);
        aimUpdateNeeded = true;
        break;
    case TableEventType::SHOT:
        onShot(gh, e);
        aimUpdateNeeded = false;
        break;
    case TableEventType::GAME_STATUS: parkOrApplyGameStatus(gh, e, sequence); break;
    case TableEventType::START_INFO: onStartInfoEvent(gh, e); break;
    case TableEventType::FOUL_PLAY_ON:
    case TableEventType::FOUL_RETAKE:
        onFoulAnswerEvent(gh, e);
        aimUpdateNeeded = true;
        break;
    case TableEventType::FRAME_CONCEDED: onFrameConcededEvent(gh, e); break;
    case TableEventType::RERACK_REQUESTED:
    case TableEventType::RERACK_ACCEPTED:
    case TableEventType::ABORT_REQUESTED:
    case TableEventType::ABORT_ACCEPTED: onRerackOrAbortEvent(gh, e); break;
    default: onUnhandledTableEvent(gh, e); break;
    }
}

}  // namespace

void onTableEvents(GameHandler& gh, const Message& message) {
    bool aimUpdateNeeded = false;
    for (const TableEvent& e : message.events) {
        const int type = static_cast<int>(e.type);
        BZ_LOG(LOG_INFO, kLog,
               "TableEvent: type=" << type << " oid=" << e.ball << " x=" << e.ballValues[0] << " z="
                                   << e.ballValues[1] << " type=" << type);
        if (!acceptable(e)) continue;
        if (isLiveAim(e.type) && ownAimEcho(gh)) continue;
        applyTableEvent(gh, e, message.iid, aimUpdateNeeded);
    }
    if (aimUpdateNeeded) gh.updateAim(gh.aimBallIndex);
}
