// Replays: the replay data in parts, leaving a replay, the Replays window's lists, the save dialog
// and the display settings.
#include "client/gamehandler/state_change.h"
#include "core/log.h"
#include "core/page_script.h"
#include "core/text.h"
#include "dispatch/handlers.h"
#include "dispatch/info_values.h"

#include <algorithm>
#include <sstream>

namespace {

constexpr int kFirstPart = 1;
constexpr int kLastPart = 2;
constexpr size_t kFavpubInts = 6;

const char* jsBool(bool value) { return value ? "true" : "false"; }

// HAND-OVER TO THE REPLAY PLAYER: the collected replay text and the fields above start playback
// here once the replay player's entry function exists; until then the complete replay is only logged.
void startReceivedReplay(GameHandler& gh) {
    BZ_LOG(LOG_INFO, "processMessage", "Replay complete: kind " << gh.replayKind << ", " << gh.replayText.size() << " bytes");
}

}  // namespace

void onInfoReplayInfo(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: REPLAY_INFO");
    if ((m.valueB & kFirstPart) != 0) {
        gh.replayKind = m.valueA;
        gh.replayText = m.textA;
        gh.replayMarkedShots = m.textB;
        gh.replayMatchId = intAt(m.intList, 0);
        gh.replayFrameNumber = std::max(1, intAt(m.intList, 1));
        gh.replayStartShot = std::max(1, intAt(m.intList, 2));
        gh.replayFrameCount = intAt(m.intList, 3);
        gh.replayLinesEnabled[0] = intAt(m.intList, 4) != 0;
        gh.replayLinesEnabled[1] = intAt(m.intList, 5) != 0;
        runJavaScript(HtmlWindow::BottomBox, std::string("inbzSetReplayLinesEnabled([") + jsBool(gh.replayLinesEnabled[0]) +
                                                 "," + jsBool(gh.replayLinesEnabled[1]) + "]);");
    } else {
        gh.replayText += m.textA;
    }
    if ((m.valueB & kLastPart) == 0) return;
    if (gh.replaysPanel.visible) gh.closeReplays();
    if (gh.bioTutPanel.visible) {
        // The bio panel's closer lives with the panels, above this library: its two steps here.
        gh.bioTutPanel.visible = false;
        runJavaScript(HtmlWindow::Lobby, "$('.lmask').hide();");
    }
    runJavaScript(HtmlWindow::BottomBox, "inbzEnterReplayMode();");
    startReceivedReplay(gh);
}

void onInfoExitReplayInfo(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: EXIT_REPLAY_INFO(" << m.valueA << ")");
    if (m.valueA < 0) {
        gh.showNotice("Sorry, no free practice table found. Try again later.", 8000);
        return;
    }
    gh.replayMode = false;
    if (m.valueA == 0) {
        changeState(STATE_LOBBY);
        gh.replayTableSettingsPending = false;
        return;
    }
    // The server's table entry that follows moves the user to the practice table.
    gh.replayTableSettingsPending = true;
    runJavaScript(HtmlWindow::BottomBox, "inbzLobbyViewStarted();");
}

void onInfoReplaySearchData(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_REPLAY_SEARCH_DATA");
    runWithJsonValue(HtmlWindow::Replays, "inbzReplaySearchResults", m.textA, "replay search results", false);
}

void onInfoReplayTop20Info(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_REPLAY_TOP20_INFO: " << m.textA);
    runWithJsonValue(HtmlWindow::Replays, "inbzInitTop20Lists", m.textA, "replay top 20 lists", false);
}

void onInfoReplayFavIdsInfo(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_REPLAY_FAV_IDS_INFO");
    runWithJsonValue(HtmlWindow::Replays, "inbzSetMyFavIds", m.textA, "replay favourite ids", false);
}

void onInfoReplayFetchFavpubData(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_REPLAY_FETCH_FAVPUB_DATA");
    if (m.intList.size() < kFavpubInts) {
        BZ_LOG(LOG_ERROR, "processMessage", "Too few data elements in message.");
        return;
    }
    const std::vector<int32_t>& v = m.intList;
    std::ostringstream js;
    js << "inbzReplayOpenSave({obj:" << m.valueA << ",match_id:" << m.valueB << ",frame_number:" << v[0]
       << ",shot_number:" << v[1] << ",player_on:" << (v[3] != 0 ? v[4] : gh.replaySavePlayer)
       << ",keywords:" << v[2] << ",notes:'" << escapeJsString(m.textA) << "',finalized:" << v[5] << ",});";
    runJavaScript(HtmlWindow::BottomBox, js.str());
    gh.replaySaveDialogOpen = true;
}

void onInfoReplaySettingsInfo(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage",
           "INFO received: INFO_CODE_REPLAY_SETTINGS_INFO(" << m.valueA << "," << m.valueB << ")");
    gh.replayAimLinesShow = m.valueA != 0;
    gh.replayAimingProcessShow = m.valueB != 0;
}
