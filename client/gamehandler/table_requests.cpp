#include "client/gamehandler/game_handler.h"
#include "core/clock.h"
#include "core/log.h"
#include "net/connection_handler.h"
#include "net/request_queue.h"
#include "client/gamehandler/requests.h"

namespace {

// A move follows the last start or move by at least this long: four moves a second at most.
constexpr double LIVE_AIM_MOVE_INTERVAL = 0.25;

// Tutorial topics whose lesson the shot's power parity reports.
constexpr int TUTORIAL_TOPIC_FIRST_PERSON = 13;
constexpr int TUTORIAL_TOPIC_FREE_VIEW = 14;
constexpr int MAX_TUTORIAL_POWER = 400;

void sendEvent(const TableEvent& event) {
    Message m = newRequest(MessageId::TABLE_EVENT);
    m.events.push_back(event);
    queueRequest(m);
}

TableEvent aimEvent(TableEventType type, const GameHandler& gh) {
    TableEvent event(type);
    event.aim = gh.aim;
    return event;
}

// 0 or 1 when that seat holds the own user (seat 0 tried first), else -1.
int ownSeat(const GameHandler& gh) {
    for (int seat = 0; seat < 2; ++seat) {
        const Player* player = gh.table.getPlayer(seat);
        if (player != nullptr && player->nick == connectionHandler->userName) return seat;
    }
    return -1;
}

struct SeatRequest {
    const char* sender;
    const char* refusal;
    TableEventType type;
    StartInfo startInfo = StartInfo{};
};

// Events only a seated player may send; value is the own seat, or the other one for otherSeat.
// The sequence number is taken before the check, so a refusal leaves a gap the server sees.
bool sendSeatEvent(const GameHandler& gh, const SeatRequest& request, bool otherSeat = false) {
    Message m = newRequest(MessageId::TABLE_EVENT);
    const int seat = ownSeat(gh);
    if (seat < 0) {
        BZ_LOG(LOG_ERROR, request.sender, request.refusal);
        return false;
    }
    TableEvent event(request.type);
    event.value = otherSeat ? 1 - seat : seat;
    event.startInfo = request.startInfo;
    m.events.push_back(event);
    queueRequest(m);
    return true;
}

// In the two view-change lessons the power's parity tells the server whether the action was done:
// odd (at most 399) when it was, even when not. Elsewhere the power goes out unchanged.
double shotPower(const GameHandler& gh, double power) {
    const bool lesson = gh.inTutorial && (gh.tutorialTopic == TUTORIAL_TOPIC_FIRST_PERSON ||
                                          gh.tutorialTopic == TUTORIAL_TOPIC_FREE_VIEW);
    if (!lesson) return power;
    const int whole = static_cast<int>(power);
    if (!gh.tutorialActionDone) return whole & ~1;
    const int odd = whole | 1;
    return odd > MAX_TUTORIAL_POWER ? MAX_TUTORIAL_POWER - 1 : odd;
}

}  // namespace

void sendBallPlaced(GameHandler& gh, int ballId, double x, double z) {
    TableEvent event(TableEventType::BALL_PLACED);
    event.ball = ballId;
    event.ballValues[0] = x;
    event.ballValues[1] = z;
    sendEvent(event);
}

void sendBallRemoved(GameHandler& gh, int ballId) {
    TableEvent event(TableEventType::BALL_REMOVED);
    event.ball = ballId;
    sendEvent(event);
}

void sendNominatedBall(GameHandler& gh, int value) {
    TableEvent event(TableEventType::NOMINATED_BALL);
    event.ball = value;
    sendEvent(event);
}

void sendLiveAimStart(GameHandler& gh) {
    TableEvent event = aimEvent(TableEventType::LIVE_AIM_START, gh);
    event.ball = gh.aimBallIndex;
    sendEvent(event);
    gh.lastLiveAimSent = secondsSinceStart().seconds;
    gh.liveAimMoveHeld = false;
}

void sendLiveAimMove(GameHandler& gh) {
    const double t = secondsSinceStart().seconds;
    if (t < gh.lastLiveAimSent + LIVE_AIM_MOVE_INTERVAL) {
        gh.liveAimMoveHeld = true;
        return;
    }
    sendEvent(aimEvent(TableEventType::LIVE_AIM_MOVE, gh));
    gh.lastLiveAimSent = t;
    gh.liveAimMoveHeld = false;
}

// Mends the other clients' view of an aim that stopped changing inside the quarter second: the
// power bar let go there showed them a power the player had left.
void sendHeldLiveAimMove(GameHandler& gh) {
    if (gh.liveAimMoveHeld && (gh.aimDragMode != 0 || gh.pointAiming != 0)) sendLiveAimMove(gh);
}

void sendLiveAimSet(GameHandler& gh) {
    sendEvent(aimEvent(TableEventType::LIVE_AIM_SET, gh));
    gh.liveAimMoveHeld = false;
}

void sendLiveAimEnd(GameHandler& gh) {
    gh.liveAimMoveHeld = false;
    if (gh.hasOwnFlag64()) return;
    sendEvent(TableEvent(TableEventType::LIVE_AIM_END));
}

void shareLiveAimStart(GameHandler& gh, bool force) {
    if (force || !gh.hasOwnFlag64() || gh.aimBallIndex == -2) sendLiveAimStart(gh);
}

void shareLiveAimMove(GameHandler& gh) {
    if (!gh.hasOwnFlag64()) sendLiveAimMove(gh);
}

void shareLiveAimSet(GameHandler& gh, bool force) {
    if (force || !gh.hasOwnFlag64()) sendLiveAimSet(gh);
}

void sendShot(GameHandler& gh, int nominatedBall, double aimAngle, double power, double topSpin, double sideSpin,
              double elevation) {
    // A user whose live aim is not shared still shows the table the aim the shot was taken with.
    if (gh.hasOwnFlag64()) {
        shareLiveAimStart(gh, true);
        shareLiveAimSet(gh, true);
    }
    TableEvent event(TableEventType::SHOT);
    event.aim = AimParameters{aimAngle, shotPower(gh, power), topSpin, sideSpin, elevation};
    event.number = nominatedBall;
    sendEvent(event);
    gh.shotSentAt = gh.now;
    gh.liveAimMoveHeld = false;
}

void sendFoulPlayOn() { sendEvent(TableEvent(TableEventType::FOUL_PLAY_ON)); }

void sendFoulRetake() { sendEvent(TableEvent(TableEventType::FOUL_RETAKE)); }

void sendStartReq(GameHandler& gh) {
    BZ_LOG(LOG_INFO, "sendStartReq", "");
    sendSeatEvent(gh, {"sendStartReq", "Invalid start request, not sending it", TableEventType::START_INFO,
                       StartInfo::START_REQUESTED});
}

void sendUnstartReq(GameHandler& gh) {
    BZ_LOG(LOG_INFO, "sendUnstartReq", "");
    sendSeatEvent(gh, {"sendUnstartReq", "Invalid start cancellation, not sending it", TableEventType::START_INFO,
                       StartInfo::START_CANCELLED});
}

void sendStartedAfterCoinToss(GameHandler& gh, bool iWillStart) {
    BZ_LOG(LOG_INFO, "sendStartedAfterCoinToss", "iWillStart=" << (iWillStart ? 1 : 0));
    sendSeatEvent(gh,
                  {"sendStartedAfterCoinToss", "Invalid start after coin toss, not sending it",
                   TableEventType::START_INFO, StartInfo::STARTED_AFTER_COIN_TOSS},
                  !iWillStart);
}

// A concession or an abort request ends the line-up's shot along with the frame.
void sendFrameConceded(GameHandler& gh) {
    if (sendSeatEvent(gh, {"sendFrameConceded", "Invalid frame concession, not sending it",
                           TableEventType::FRAME_CONCEDED}))
        gh.lineUpShotFlag = false;
}

void sendRerackReq(GameHandler& gh) {
    sendSeatEvent(gh, {"sendRerackReq", "Invalid rerack request, not sending it", TableEventType::RERACK_REQUESTED});
}

void sendRerackAcc(GameHandler& gh) {
    sendSeatEvent(gh, {"sendRerackAcc", "Invalid rerack acceptance, not sending it", TableEventType::RERACK_ACCEPTED});
}

void sendRerackDecl(GameHandler& gh) {
    sendSeatEvent(gh, {"sendRerackDecl", "Invalid rerack decline, not sending it", TableEventType::RERACK_DECLINED});
}

void sendAbortReq(GameHandler& gh) {
    if (sendSeatEvent(gh, {"sendAbortReq", "Invalid abort request, not sending it", TableEventType::ABORT_REQUESTED}))
        gh.lineUpShotFlag = false;
}

void sendAbortAcc(GameHandler& gh) {
    sendSeatEvent(gh, {"sendAbortAcc", "Invalid abort acceptance, not sending it", TableEventType::ABORT_ACCEPTED});
}

void sendAbortDecl(GameHandler& gh) {
    sendSeatEvent(gh, {"sendAbortDecl", "Invalid abort decline, not sending it", TableEventType::ABORT_DECLINED});
}
