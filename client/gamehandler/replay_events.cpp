// One recorded event played back: most are rebuilt as the table event the server once sent and
// handed to the live dispatch, the rest become notices; and the quiet run over the aiming events.
#include "client/gamehandler/game_handler.h"

#include "client/gamehandler/page_statements.h"
#include "core/log.h"
#include "net/connection_handler.h"

#include <algorithm>

namespace {

void dispatchOne(GameHandler& gh, TableEvent event) {
    Message message(MessageId::TABLE_EVENT, connectionHandler ? connectionHandler->nextIid() : 0);
    message.events.push_back(std::move(event));
    gh.dispatchRebuilt(message);
}

TableEvent aimEvent(TableEventType type, const ReplayEvent& e, int ball = 0) {
    TableEvent t(type);
    t.ball = ball;
    t.aim = AimParameters{e.aim[0], e.aim[1], e.aim[2], e.aim[3], e.aim[4]};
    return t;
}

void placeBall(GameHandler& gh, const ReplayEvent& e) {
    TableEvent t(TableEventType::BALL_PLACED);
    t.ball = e.ball;
    t.ballValues[0] = e.x;
    t.ballValues[1] = e.z;
    dispatchOne(gh, std::move(t));
}

void takeCue(GameHandler& gh, const ReplayEvent& e) {
    const std::string& name = gh.replayPlayerNames[std::clamp(e.seat, 0, 1)];
    if (!name.empty()) gh.findPlayer(name)->currentCue = e.extra;
}

// The notice text of an event that the table does not act on; empty for the others.
std::string noticeText(const GameHandler& gh, const ReplayEvent& e) {
    const std::string& name = gh.replayPlayerNames[std::clamp(e.seat, 0, 1)];
    const int on = std::clamp(gh.liveStatus->playerOn, 0, 1);
    const std::string& onTurn = gh.replayPlayerNames[on];
    const std::string& other = gh.replayPlayerNames[1 - on];
    switch (e.kind) {
        case EV_CLAIM: return onTurn + " has claimed the frame.";
        case EV_RETAKE: return onTurn + " has made " + other + " retake the shot.";
        case EV_RERACK_REQUESTED: return name + " has requested a rerack.";
        case EV_RERACK_ACCEPTED: return name + " has agreed to rerack.";
        case EV_RERACK_DECLINED: return name + " has declined the rerack.";
        case EV_FRAME_END_INACTIVE: return "Frame ended due to inactivity!";
        case EV_FRAME_END_DECIDED: return name + " has decided to end the frame.";
        case EV_ABORT_INACTIVE: return "Game aborted due to inactivity.";
        case EV_ABORT_DECIDED: return name + " has decided to abort the game.";
        case EV_ABORT_REQUESTED: return onTurn + " has requested to abort the game.";
        case EV_ABORT_ACCEPTED: return name + " has agreed to abort the game.";
        case EV_ABORT_DECLINED: return name + " has declined to abort the game.";
        case EV_TIMEOUT_OPTIONS: return "Timeout! " + name + " has options to end or abort the game.";
        case EV_TIMEOUT_FOUL: return "Foul! " + name + " has run out of time!";
        case EV_STATUS: return name + " has conceded!";
        case EV_FRAME_OVER: return "Frame Over!";
        case EV_MATCH_OVER:
            return "Match Winner: " + name + " (" + std::to_string(e.a) + " - " + std::to_string(e.b) + ")";
        case EV_FRAME_CONCEDED: return "Frame conceded by " + name + "!";
        case EV_UNDO: return "UNDO!";
        default: return {};
    }
}

}  // namespace

void GameHandler::dispatchRebuilt(const Message& message) {
    // The dispatch that the drain uses (installMessageDispatch); the client library cannot name it.
    const MessageProcessor processor = setMessageProcessor(nullptr);
    setMessageProcessor(processor);
    if (processor)
        processor(*this, message);
    else
        BZ_LOG(LOG_INFO, "dispatchRebuilt", "No message dispatch installed; rebuilt event dropped");
}

void GameHandler::playReplayEvent(const ReplayEvent& e) {
    switch (e.kind) {
        case EV_BALL_PLACED: placeBall(*this, e); return;
        case EV_AIM_START: dispatchOne(*this, aimEvent(TableEventType::LIVE_AIM_START, e, e.ball)); return;
        case EV_AIM_MOVE: dispatchOne(*this, aimEvent(TableEventType::LIVE_AIM_MOVE, e)); return;
        case EV_AIM_END: dispatchOne(*this, TableEvent(TableEventType::LIVE_AIM_END)); return;
        case EV_AIM_SET: dispatchOne(*this, aimEvent(TableEventType::LIVE_AIM_SET, e)); return;
        case EV_NOMINATED: {
            TableEvent t(TableEventType::NOMINATED_BALL);
            t.ball = e.ball;
            dispatchOne(*this, std::move(t));
            return;
        }
        case EV_STROKE: {
            TableEvent t = aimEvent(TableEventType::SHOT, e);
            t.number = e.extra;
            dispatchOne(*this, std::move(t));
            // The shot's recorded status is applied when its balls stop.
            statusPending = true;
            return;
        }
        case EV_FOUL_PLAY_ON: dispatchOne(*this, TableEvent(TableEventType::FOUL_PLAY_ON)); return;
        case EV_CUE_STROKE: {
            dispatchOne(*this, aimEvent(TableEventType::LIVE_AIM_START, e, 0));
            dispatchOne(*this, aimEvent(TableEventType::LIVE_AIM_MOVE, e));
            dispatchOne(*this, aimEvent(TableEventType::LIVE_AIM_SET, e));
            const double power = e.aim[1];
            cueStrokeOn = true;
            cueStrokeEndTime = e.extra;
            cueStrokeDuration = 360 / ((4 * power / maxPower + 3) * 60) / 1.5;
            cueStrokeLength = 180 * power / maxPower + 5;
            cueStrokeBallX = table.balls[BALL_WHITE].x;
            cueStrokeBallZ = table.balls[BALL_WHITE].z;
            return;
        }
        case EV_CUE: takeCue(*this, e); return;
        default: break;
    }
    const std::string text = noticeText(*this, e);
    if (!text.empty()) showNotice(text, e.kind == EV_MATCH_OVER ? 8000 : 3000);
}

bool GameHandler::skipReplayEvents() {
    const int shots = static_cast<int>(replayShots.size());
    if (replayShotIndex < 1 || replayShotIndex >= shots) return false;
    const std::vector<ReplayEvent>& events = replayShots[replayShotIndex].events;
    if (replayEventIndex < 0 || replayEventIndex >= static_cast<int>(events.size())) return false;
    bool passed = false;
    while (replayEventIndex < static_cast<int>(events.size())) {
        const ReplayEvent& e = events[replayEventIndex];
        if (!e.skippable) {
            replayT = e.time;
            runInPages({HtmlWindow::BottomBox}, "inbzSetReplayFrameTime({replayT: " + std::to_string(replayT) +
                                                    ",replayTotalFrameTime: " +
                                                    std::to_string(replayTotalFrameTime) + ",});");
            return passed;
        }
        if (e.kind == EV_BALL_PLACED) placeBall(*this, e);
        if (e.kind == EV_CUE) takeCue(*this, e);
        if (e.kind == EV_TIMEOUT_OPTIONS) showNotice(noticeText(*this, e), 3000);
        passed = true;
        ++replayEventIndex;
    }
    return true;
}
