// The StartMatch page's buttons: which of five layouts fits the user's role at the table, and the
// single-player start behind one of them.
#include "client/gamehandler/game_handler.h"
#include "core/log.h"
#include "core/page_script.h"

#include <string>

namespace {

const char* trueFalse(bool value) { return value ? "true" : "false"; }

}  // namespace

void GameHandler::updateStartMatchButtons(int value) {
    const Player* seat0 = table.getPlayer(0);
    const Player* seat1 = table.getPlayer(1);
    BZ_LOG(LOG_INFO, "updateStartMatchButtons",
           "getPlayer(0)=" << static_cast<const void*>(seat0) << "getPlayer(1)=" << static_cast<const void*>(seat1));
    const int ownIndex = seatHoldsMe(0) ? 0 : seatHoldsMe(1) ? 1 : -1;
    const bool asPlayer = ownIndex >= 0;
    const bool twoPlayers = seat0 != nullptr && seat1 != nullptr;
    BZ_LOG(LOG_INFO, "updateStartMatchButtons",
           "ownindex=" << ownIndex << " asPlayer=" << (asPlayer ? 1 : 0) << " twoPlayers=" << (twoPlayers ? 1 : 0));

    const std::string arguments = std::string(trueFalse(isTourneyLobby)) + "," + trueFalse(tableNameFlagT) + "," +
                                  std::to_string(value) + "," + trueFalse(ownUserFirstViewer);
    std::string function;
    if (asPlayer && twoPlayers) {
        switch (liveStatus->startInfo) {
            case 1:  // start requested
                function = ownIndex == liveStatus->striker ? "asPlayerTwoPlayersStarted(" : "asPlayerTwoPlayersNoStart(";
                break;
            case 0:
            case 2:  // start cancelled
                function = "asPlayerTwoPlayersNoStart(";
                break;
            default:
                function = "asViewerTwoPlayers(";
                break;
        }
    } else if (asPlayer) {
        function = "asPlayerOnePlayer(";
    } else if (twoPlayers) {
        function = "asViewerTwoPlayers(";
    } else {
        // A private table that this viewer may not simply join.
        const bool closed = table.getTableMode() == 2 && (!ownUserFirstViewer || tableNameFlagT);
        function = std::string("asViewerZeroOrOnePlayer(") + trueFalse(closed) + ", ";
    }
    const std::string statement = function + arguments + ");";
    runJavaScript(HtmlWindow::StartMatch, statement);
    BZ_LOG(LOG_INFO, "updateStartMatchButtons", "'" << statement << "'");
}

void GameHandler::sendStartSingleReq() {
    BZ_LOG(LOG_INFO, "sendStartSingleReq", "");
    sendChatText("/single", false, false);
}
