// Start of play, foul answers, concessions, reracks and aborts.
#include "dispatch/handlers.h"

#include "client/gamehandler/page_statements.h"
#include "client/gamehandler/state_change.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/sound_bank.h"
#include "core/text.h"
#include "net/connection_handler.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

void referee(int k) {
    SoundBank& sounds = getSoundBank();
    sounds.playRefereeSound(sounds.refereeClip(k), 1.0f);
}

void runLogged(HtmlWindow window, const std::string& statement, const std::string& prefix) {
    BZ_LOG(LOG_INFO, "processMessage", prefix << statement);
    runJavaScript(window, statement);
}

void coinToss(GameHandler& gh, int striker) {
    BZ_LOG(LOG_INFO, "processMessage", "StartInfo::COIN_TOSS received");
    const int ownIndex = gh.getMySeat();
    const Table& table = gh.table;
    BZ_LOG(LOG_INFO, "processMessage",
           "ownIndex=" << ownIndex << ", te.striker=" << striker << ", player1=" << table.getPlayer(0)
                       << ", player2=" << table.getPlayer(1));
    const bool won = ownIndex >= 0 && striker == ownIndex;
    // The other seat's nick; an empty seat (or a striker outside 0..1) shows no name.
    const int other = won ? 1 - ownIndex : striker;
    const Player* opponent = other == 0 || other == 1 ? table.getPlayer(other) : nullptr;
    runJavaScript(HtmlWindow::CoinToss, std::string("inbzCoinTossResult({iAmTheWinner: ") + (won ? "true" : "false") +
                                            ",opponentName: '" + escapeJsString(opponent ? opponent->nick : "") +
                                            "',});");
    runLogged(HtmlWindow::BottomBox,
              "inbzStartShotTimer({player: " + std::to_string(striker) +
                  ",timerSeconds: 20,});inbzStopShotTimer({player: " + std::to_string(1 - striker) +
                  ",timerSeconds: 20,});",
              "Started shot timer in BottomBox: ");
    gh.lastBreakScore = 0;
    const LiveStatus& s = *gh.liveStatus;
    if (s.frameScore[0] > 0 && s.frameScore[0] == s.frameScore[1]) referee(s.gameType == 6 ? 133 : 132);
    changeState(STATE_COIN_TOSS);
    gh.coinTossChoiceOpen = won;
}

// The position of the loaded replay laid out on the practice table through ordinary requests.
void practiceFromReplay(GameHandler& gh) {
    const int n = gh.replayShotIndex;
    const int shots = static_cast<int>(gh.replayShots.size());
    if (n >= 1 && n < shots) {
        for (int b = 1; b < kBallCount; ++b)
            if (gh.table.balls[b].onTable) sendBallRemoved(gh, b);
        gh.loadReplayShot(true);
        for (int b = 0; b < kBallCount; ++b)
            if (b != BALL_ORANGE && gh.table.balls[b].onTable)
                sendBallPlaced(gh, b, gh.table.balls[b].x, gh.table.balls[b].z);
        const ReplayStatus& v = gh.replayShots[n - 1].status;
        std::string command = "/set-game-status";
        for (int i : {5, 6, 7, 8, 9, 10, 37, 0, 11, 35, 36}) command += " " + std::to_string(v[i]);
        for (int i = 12; i <= 21; ++i) command += " " + std::to_string(v[i]);
        const int touching = std::clamp(v[28], 0, 6);
        command += " " + std::to_string(touching);
        for (int i = 0; i < touching; ++i) command += " " + std::to_string(v[29 + i]);
        gh.sendChatText(command, false, false);

        const std::vector<ReplayEvent>& events = gh.replayShots[n].events;
        const ReplayEvent* cue = nullptr;
        const ReplayEvent* stroke = nullptr;
        for (size_t i = events.size(); i-- > 0 && !cue;) {
            if (events[i].kind != EV_CUE_STROKE) continue;
            for (size_t j = i + 1; j < events.size(); ++j)
                if (events[j].kind == EV_STROKE) {
                    stroke = &events[j];
                    break;
                }
            if (stroke) cue = &events[i];
        }
        if (cue) {
            gh.aimBallIndex = 0;
            gh.aim = AimParameters{cue->aim[0], stroke->aim[1], stroke->aim[2], stroke->aim[3], stroke->aim[4]};
            shareLiveAimStart(gh, true);
            gh.lastLiveAimSent = secondsSinceStart().seconds - 0.25 - 1.0;
            shareLiveAimMove(gh);
            shareLiveAimSet(gh, true);
            gh.aimShown = true;
            gh.aimDragMoved = false;
            gh.aimDragMode = 0;
            gh.pointAiming = 1;
            gh.rotateDrag = gh.zoomDrag = gh.panDrag = gh.spinDrag = gh.powerDrag = gh.elevationDrag = 0;
            gh.remoteAimActive = false;
            gh.remoteAimShown = false;
            gh.betaLobbyPlayer = true;
        }
    } else {
        BZ_LOG(LOG_ERROR, "processMessage", "No replay shot to practise from: " << n << " of " << shots);
    }
    gh.shotSentWaiting = false;
    gh.replayTableSettingsPending = false;
    // The replay has given its position; nothing of it is left to show.
    gh.resetReplayData();
}

void startOfPlay(GameHandler& gh, int striker) {
    // Mends the frame before's break and winner carried on: its break called again, the next winner unannounced.
    gh.resetFrameData();
    LiveStatus& s = *gh.liveStatus;
    s.playerOn = striker;
    changeState(STATE_GAME);
    if (s.framesWon[0] != 0 || s.framesWon[1] != 0 || s.frameScore[0] != 0 || s.frameScore[1] != 0) return;
    const Player* first = gh.table.getPlayer(0);
    const bool single = gh.inTutorial || (first != nullptr && first == gh.table.getPlayer(1));
    if (single) {
        gh.lastBreakScore = 0;
        if (gh.replayMode) return;
    } else {
        if (gh.replayMode && gh.replayShotIndex != 1) {
            gh.lastBreakScore = 0;
            return;
        }
        if (s.bestOf == 1) {
            referee(0);
        } else {
            static const int openings[3] = {1, 36, 72};
            referee(openings[gh.pickVariant(3) % 3]);
        }
        referee(s.playerOn != 0 ? 112 : 111);
        if (s.maxShotTime >= 1 && s.maxShotTime <= 89) {
            referee(121);
            referee(122);
        }
        gh.lastBreakScore = 0;
        if (gh.replayMode) return;
    }
    const int ownIndex = gh.getMySeat();
    if (ownIndex != -1) {
        BZ_LOG(LOG_INFO, "processMessage", "'asPlayerTwoPlayersNoStart();'");
        runJavaScript(HtmlWindow::StartMatch, "asPlayerTwoPlayersNoStart();");
    }
    runLogged(HtmlWindow::BottomBox, "inbzStopShotTimer({player: 0,});inbzStopShotTimer({player: 1,});",
              "Started shot timer in BottomBox: ");
    const bool alone = ownIndex != -1 && first != nullptr && first == gh.table.getPlayer(1) && !gh.inTutorial;
    if (alone && !gh.replayTableSettingsPending) {
        if (gh.lineUpNumber != 11 && gh.lineUpNumber != 12) gh.openLineUp();
        return;
    }
    if (gh.replayTableSettingsPending) practiceFromReplay(gh);
}

void showWarning(GameHandler& gh, const char* openCall, const std::string& text) {
    runJavaScript(HtmlWindow::BottomBox, std::string("setTimeout(function(){") + openCall + "();}, 500);");
    gh.showNotice(text, 5000);
    const Message line = Message::initChat(0, 1, ChatClass::LOCAL_NOTICE, 0, "", gh.table.getId(), text, "", "", "", "");
    gh.displayChatMessage(line, false);
    referee(121);
}

void timeoutWarning(GameHandler& gh) {
    showWarning(gh, "inbzTimeoutWarningOpen",
                "Warning! Two timeouts already! Another timeout and you will lose the frame!");
}

}  // namespace

void onStartInfoEvent(GameHandler& gh, const TableEvent& event) {
    // The toss and the start name a seat: any other number would be negated or counted on from.
    const int kind = static_cast<int>(event.startInfo);
    if ((kind == 3 || kind == 4) && event.value != 0 && event.value != 1) {
        BZ_LOG(LOG_ERROR, "processMessage", "StartInfo " << kind << " for seat " << event.value << " ignored");
        return;
    }
    LiveStatus& s = *gh.liveStatus;
    s.striker = event.value;
    s.startInfo = static_cast<uint16_t>(event.startInfo);
    switch (static_cast<int>(event.startInfo)) {
        case 0:
        case 1:
        case 2: gh.updateStartMatchButtons(-1); break;
        case 3: coinToss(gh, event.value); break;
        case 4: startOfPlay(gh, event.value); break;
        default:
            BZ_LOG(LOG_ERROR, "processMessage", "Unhandled StartInfo: " << static_cast<int>(event.startInfo));
            break;
    }
}

void onFoulAnswerEvent(GameHandler& gh, const TableEvent& event) {
    runLogged(HtmlWindow::BottomBox, "inbzTimeoutProlongDecidingStop();", "Stopped timeout prolong deciding in BB: ");
    const LiveStatus& s = *gh.liveStatus;
    const Player* onTurn = s.playerOn == 0 || s.playerOn == 1 ? gh.table.getPlayer(s.playerOn) : nullptr;
    gh.showNotice((onTurn ? onTurn->nick : "Player " + std::to_string(int64_t{s.playerOn} + 1)) + " to play", 3000);
    const bool myTurn = gh.isMyTurnLive();
    const bool timeoutCase = myTurn && s.timeoutCount % 10 == 2;
    if (event.type == TableEventType::FOUL_PLAY_ON) {
        if (gh.getMySeat() == s.playerOn) referee(108);
        if (timeoutCase) timeoutWarning(gh);
        runJavaScript(HtmlWindow::BottomBox, "inbzShotStarted();");
        return;
    }
    if (myTurn) {
        gh.aimDragMoved = true;
        referee(108);
    }
    if (myTurn && s.warningTwoMisses) {
        showWarning(gh, "inbzMissRuleWarningOpen",
                    "Warning! Two misses already! If you miss again, you will lose the frame!");
        return;
    }
    if (timeoutCase) {
        timeoutWarning(gh);
        return;
    }
    runJavaScript(HtmlWindow::BottomBox, "inbzShotStarted();");
}

void onFrameConcededEvent(GameHandler& gh, const TableEvent& event) {
    gh.setConcedeState(event.value);
    referee(130);
    gh.lineUpShotFlag = false;
}

void onRerackOrAbortEvent(GameHandler& gh, const TableEvent& event) {
    // Only the other player of the frame is asked; a seat outside 0..1 asks nobody.
    const int other = event.value == 0 || event.value == 1 ? 1 - event.value : -2;
    switch (event.type) {
        case TableEventType::RERACK_REQUESTED:
            BZ_LOG(LOG_INFO, "processMessage", "Received RERACK_REQUESTED table event");
            if (gh.getMySeatInPlay() == other) runJavaScript(HtmlWindow::BottomBox, "inbzRerackRequested();");
            break;
        case TableEventType::RERACK_ACCEPTED: gh.resetAimingState(false); break;
        case TableEventType::ABORT_REQUESTED:
            BZ_LOG(LOG_INFO, "processMessage", "Received ABORT_REQUESTED table event");
            if (gh.getMySeatInPlay() == other) runJavaScript(HtmlWindow::BottomBox, "inbzAbortionRequested();");
            break;
        case TableEventType::ABORT_ACCEPTED:
            gh.resetAimingState(false);
            gh.lineUpShotFlag = false;
            break;
        default: onUnhandledTableEvent(gh, event); break;
    }
}

void onUnhandledTableEvent(GameHandler&, const TableEvent& event) {
    BZ_LOG(LOG_ERROR, "processMessage", "Unhandled table event: " << static_cast<int>(event.type));
}
