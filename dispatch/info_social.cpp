// Disconnects, invitations and tasks.
#include "core/app_status.h"
#include "core/log.h"
#include "core/page_script.h"
#include "core/text.h"
#include "dispatch/handlers.h"
#include "dispatch/info_values.h"

#include <sstream>

namespace {

constexpr size_t kTaskCount = 14;
constexpr size_t kTaskInts = 62;
constexpr size_t kTaskTexts = 28;
constexpr size_t kInviteInts = 9;

void appendTasks(std::ostringstream& js, const Message& m, size_t firstText, size_t firstInt) {
    for (size_t i = 0; i < kTaskCount; ++i) {
        js << "{name: '" << escapeJsString(m.textList[firstText + i]) << "',score: " << m.intList[firstInt + 2 * i]
           << ",goal: " << m.intList[firstInt + 1 + 2 * i] << ",},";
    }
}

}  // namespace

void onInfoUserDc(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "USER_DC(" << m.textA << ", " << m.valueA << ", " << m.valueB << ") received");
    const LiveStatus& live = *gh.liveStatus;
    if (live.gameState != 1) return;
    std::ostringstream js;
    const Player* onTurn = (live.playerOn == 0 || live.playerOn == 1) ? live.players[live.playerOn] : nullptr;
    if (onTurn != nullptr && onTurn->nick == m.textA) {
        js << "inbzStopShotTimer({player: 0,});inbzStopShotTimer({player: 1,});";
    } else {
        js << "inbzTimeoutProlongDecidingStop();";
    }
    js << "inbzDcTimerStart({opponentName: '" << escapeJsString(m.textA) << "',dcCount: " << m.valueA
       << ",timeoutValue: " << m.valueB << ",});";
    runJavaScript(HtmlWindow::BottomBox, js.str());
}

void onInfoDcTimerStop(GameHandler& gh, const Message&) {
    if (gh.liveStatus->gameState == 1) runJavaScript(HtmlWindow::BottomBox, "inbzDcTimerStop();");
}

void onInfoInviteInfo(GameHandler& gh, const Message& m) {
    if (m.valueB == 4) {
        runJavaScript(HtmlWindow::Invites, "inbzInviteInfo({id: " + std::to_string(m.valueA) + ",state: 'Expired',});");
        return;
    }
    if (m.valueB != 0) return;
    // An active invitation carries nine numbers; a shorter one cannot be shown.
    if (m.intList.size() < kInviteInts) {
        BZ_LOG(LOG_ERROR, "processMessage", "Too few data elements in message.");
        return;
    }
    static const char* const keys[kInviteInts] = {"table",  "gameType", "tableType", "bestOf",  "maxShotTime",
                                                   "rank",   "rating",   "form",      "userType"};
    std::ostringstream js;
    js << "inbzInviteInfo({id: " << m.valueA << ",inviter: '" << escapeJsString(m.textA) << "',state: 'Active',";
    for (size_t i = 0; i < kInviteInts; ++i) js << keys[i] << ": " << m.intList[i] << ",";
    js << "});";
    runJavaScript(HtmlWindow::Invites, js.str());
    BZ_LOG(LOG_INFO, "processMessage", "Invitation sent to invites.html: " << js.str());
    // A seated player in a frame in play is not interrupted by the panel.
    const bool playing = appState == STATE_GAME && (gh.isMyTurnLive() || gh.isOpponentsTurnLive()) && !gh.betaLobbyPlayer;
    if (!playing) gh.openInvites();
    const std::string from = "inbzNewPmOrInviteFrom({nick: '" + escapeJsString(m.textA) + "'});";
    runJavaScript(HtmlWindow::BottomBox, from);
    runJavaScript(HtmlWindow::Lobby, from);
}

void onInfoTaskInfo(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: TASK_INFO");
    if (m.intList.size() < kTaskInts || m.textList.size() < kTaskTexts) {
        BZ_LOG(LOG_ERROR, "processMessage", "Too few data elements in message.");
        return;
    }
    std::ostringstream js;
    js << "inbzTaskInfo({levelD: " << m.intList[0] << ",remainingMinutesD: " << m.intList[1] << ",tasksD: [";
    appendTasks(js, m, 0, 2);
    js << "],levelM: " << m.intList[31] << ",remainingMinutesM: " << m.intList[32] << ",tasksM: [";
    appendTasks(js, m, kTaskCount, 33);
    js << "],});";
    runJavaScript(HtmlWindow::Tasks, js.str());
    if (m.intList[30] == 147 && m.intList[61] == 155) {
        BZ_LOG(LOG_INFO, "processMessage", "taskInfo OK, js=" << js.str());
    } else {
        BZ_LOG(LOG_ERROR, "processMessage", "taskInfo ERROR, js=" << js.str());
    }
}
