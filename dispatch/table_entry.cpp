// Users entering and leaving tables, and the seats.
#include "dispatch/handlers.h"

#include "client/gamehandler/page_statements.h"
#include "client/gamehandler/requests.h"
#include "client/gamehandler/state_change.h"
#include "core/app_status.h"
#include "core/log.h"
#include "core/text.h"

namespace {

constexpr const char* kLog = "processMessage";

const void* seatRef(const GameHandler& gh, int seat) { return gh.table.getPlayer(seat); }

}  // namespace

void onEnterTableInfo(GameHandler& gh, const Message& message) {
    gh.table.addPerson(gh.findPlayer(message.userName));  // a full table refuses; the entry still counts
    if (message.userName != gh.ownNick()) return;
    gh.remoteAimActive = false;
    gh.shotAnimating = false;
    gh.lastStatusSequence = static_cast<int>(message.iid);
    runInPages({HtmlWindow::BottomBox}, "inbzEnterTable();");
    runInPages({HtmlWindow::Lobby, HtmlWindow::People}, "inbzSwitchToOnlineTab();");
    if (gh.liveStatus->gameState == 1) {
        changeState(STATE_GAME);
    } else {
        changeState(STATE_TABLE);
        // Also when the state was STATE_TABLE already: the buttons are the last table's until then.
        gh.updateStartMatchButtons(-1);
    }
    gh.resetAimingState(false);
    gh.shotSentWaiting = false;
    gh.aimDragMode = 0;
    gh.aimDragMoved = false;
    gh.pointAiming = 0;
    gh.aimShown = false;
    gh.remoteAimShown = false;
    // Going on from a replay at a practice table: that table takes the replay's settings, then a
    // frame of one's own. The replay handling clears the flag once the position is laid out.
    if (gh.replayTableSettingsPending) {
        sendReplayTableSettingsReq(gh);
        gh.sendStartSingleReq();
    }
    gh.lineUpShotFlag = false;
    gh.shotAnimating = false;
}

void onExitTableInfo(GameHandler& gh, const Message& message) {
    const std::string& own = gh.ownNick();
    if (gh.replayMode) {
        BZ_LOG(LOG_INFO, kLog,
               "Received EXIT_TABLE_INFO in REPLAY MODE, msg.userName=" << message.userName << " me=" << own << " p1="
                                                                        << seatRef(gh, 0) << " p2=" << seatRef(gh, 1)
                                                                        << ", ignoring it");
        return;
    }
    BZ_LOG(LOG_INFO, kLog,
           "Received EXIT_TABLE_INFO, msg.userName=" << message.userName << " me=" << own << " p1=" << seatRef(gh, 0)
                                                     << " p2=" << seatRef(gh, 1));
    if (gh.table.getId() != 0) {
        for (int seat = 0; seat < 2; ++seat) {
            const Player* p = gh.table.getPlayer(seat);
            if (p && p->nick == message.userName) {
                gh.setConcedeState(seat);
                break;
            }
        }
    }
    if (message.userName == own) {
        changeState(STATE_LOBBY);
        gh.table.setId(0);
        // Mends the next table opening with this one's seats and people: its viewer taken for the player he was.
        gh.leaveTable();
    }
}

void onPlayTableInfo(GameHandler& gh, const Message& message) {
    if (gh.replayMode) {
        BZ_LOG(LOG_INFO, kLog,
               "PLAY_TABLE_INFO / STOP_PLAY_TABLE_INFO received in REPLAY MODE: player1="
                   << message.player1 << ", player2=" << message.player2 << ", ignoring it");
        return;
    }
    BZ_LOG(LOG_INFO, kLog,
           "PLAY_TABLE_INFO / STOP_PLAY_TABLE_INFO received: player1=" << message.player1
                                                                       << ", player2=" << message.player2);
    Player* p1 = message.player1.empty() ? nullptr : gh.findPlayer(message.player1);
    Player* p2 = message.player2.empty() ? nullptr : gh.findPlayer(message.player2);
    gh.table.setPlayer(0, p1);
    gh.table.setPlayer(1, p2);
    BZ_LOG(LOG_INFO, kLog,
           "PLAY_TABLE_INFO / STOP_PLAY_TABLE_INFO received: player1=" << seatRef(gh, 0)
                                                                       << ", player2=" << seatRef(gh, 1));
    if (gh.liveStatus->gameState == 1) return;  // the players of a frame in play stay
    gh.liveStatus->players[0] = p1;
    gh.liveStatus->players[1] = p2;
    const std::string statement = "inbzUpdatePlayerNames({player1: '" + escapeJsString(message.player1) +
                                  "',player2: '" + escapeJsString(message.player2) + "',});";
    runInPages({HtmlWindow::BottomBox}, statement);
    BZ_LOG(LOG_INFO, kLog, "'" << statement << "'");
    gh.updateStartMatchButtons(-1);
}
