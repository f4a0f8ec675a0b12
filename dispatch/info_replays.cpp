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

constexpr size_t kFavpubInts = 6;

}  // namespace

// The parts of a replay reach the game controller, which starts the replay with the last one.
void onInfoReplayInfo(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: REPLAY_INFO");
    gh.receiveReplayPart(m);
}

void onInfoExitReplayInfo(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: EXIT_REPLAY_INFO(" << m.valueA << ")");
    if (m.valueA < 0) {
        gh.showNotice("Sorry, no free practice table found. Try again later.", 8000);
        return;
    }
    gh.replayMode = false;
    // The replay's table is left either way: its id must not mark the lobby's notices.
    gh.leaveTable();
    if (m.valueA == 0) {
        changeState(STATE_LOBBY);
        gh.resetReplayData();
        gh.replayTableSettingsPending = false;
        return;
    }
    // The server's table entry that follows moves the user to the practice table; the loaded
    // replay stays until its position is laid out there.
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
