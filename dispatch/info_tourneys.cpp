// Tournaments: the one in progress, its end, the upcoming ones, their count, the user id and recent winners.
#include "core/log.h"
#include "core/page_script.h"
#include "core/text.h"
#include "dispatch/handlers.h"
#include "dispatch/info_values.h"

#include <sstream>

namespace {

constexpr size_t kTourneyMinEntries = 10;
constexpr size_t kUpcomingMinEntries = 8;

std::string e(const Message& m, size_t i) { return escapeJsString(textAt(m.textList, i)); }
int n(const Message& m, size_t i) { return toInt(textAt(m.textList, i)); }

}  // namespace

void onInfoTourneyInfo(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: TOURNEY_INFO");
    if (m.textList.size() < kTourneyMinEntries) return;
    std::ostringstream js;
    js << "inbzUpdateCurrentTourney({tid:" << m.valueA << ",index:" << m.valueB << ",title:'" << e(m, 0) << "',dt:'"
       << e(m, 1) << "',tableType:" << n(m, 2) << ",category:" << n(m, 3) << ",winnerNick:'" << e(m, 4)
       << "',loserNick:'" << e(m, 5) << "',winnerFramesWon:" << n(m, 6) << ",loserFramesWon:" << n(m, 7)
       << ",round:" << n(m, 8) << ",breaks: [";
    // Pairs of user name and score, up to the first empty name; a name without its score is dropped.
    for (size_t i = 9; i + 1 < m.textList.size() && !m.textList[i].empty(); i += 2) {
        js << "{username:'" << e(m, i) << "',score:" << n(m, i + 1) << ",},";
    }
    js << "]});";
    runJavaScript(HtmlWindow::Lobby, js.str());
}

void onInfoTourneyEnded(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: TOURNEY_ENDED");
    runJavaScript(HtmlWindow::Lobby, "inbzCurrentTourneyEnded({tid:" + std::to_string(m.valueA) +
                                         ",index:" + std::to_string(m.valueB) + ",});");
}

void onInfoUpcomingTourneyInfo(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: UPCOMING_TOURNEY_INFO");
    if (m.textList.size() < kUpcomingMinEntries) return;
    std::ostringstream js;
    js << "inbzUpdateUpcomingTourney({tid:" << m.valueA << ",index:" << m.valueB << ",title:'" << e(m, 0)
       << "',dt:'" << e(m, 1) << "',secondsRemaining:" << n(m, 2) << ",lobbyName:'" << e(m, 3)
       << "',tableType:" << n(m, 4) << ",category:" << n(m, 5) << ",status:'" << e(m, 6) << "',players:[";
    // Pairs of user id and confirmation, up to the first empty id; an id without its flag is dropped.
    for (size_t i = 7; i + 1 < m.textList.size() && !m.textList[i].empty(); i += 2) {
        js << "{userId:'" << n(m, i) << "',confirmed:" << (n(m, i + 1) != 0 ? "true" : "false") << ",},";
    }
    js << "]});";
    runJavaScript(HtmlWindow::Lobby, js.str());
}

void onInfoUpcomingTourneyCount(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: UPCOMING_TOURNEY_COUNT");
    runJavaScript(HtmlWindow::Lobby,
                  "inbzUpdateUpcomingTourneyCount({upcomingTourneyCount:" + std::to_string(m.valueA) + ",});");
}

void onInfoUserId(GameHandler& gh, const Message& m) {
    gh.myUserId = m.valueA;
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: USER_ID:" << gh.myUserId);
    runJavaScript(HtmlWindow::Lobby, "inbzUpdateMyUserId({myUserId:" + std::to_string(gh.myUserId) + ",});");
}

void onInfoRecentTourneyWinners(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: RECENT_TOURNEY_WINNERS");
    std::string js = "inbzSetRecentTourneyWinner({ category: " + std::to_string(m.valueA) + ",winners: [";
    for (const std::string& nick : m.textList) js += quotedItem(nick);
    js += "]});";
    logSendingToJs(js);
    for (HtmlWindow window : {HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::People}) runJavaScript(window, js);
}
