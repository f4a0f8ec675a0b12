// Match statistics and records.
#include "core/log.h"
#include "core/page_script.h"
#include "core/text.h"
#include "dispatch/handlers.h"
#include "dispatch/info_values.h"

#include <sstream>

namespace {

// The flat lists are the page's to read; they go over in order.
std::string matchStatsStatement(const Message& m, bool forCurrentMatch) {
    std::ostringstream js;
    js << "inbzUpdateMatchStats({ forCurrentMatch: " << (forCurrentMatch ? "true" : "false")
       << ",match_id: " << m.valueA << ",match_state: " << m.valueB << ",idata: [";
    for (int32_t value : m.intList) js << value << ",";
    js << "],sdata: [";
    for (const std::string& text : m.textList) js << quotedItem(text);
    js << "],});";
    return js.str();
}

}  // namespace

void onInfoMatchStatsData(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_MATCH_STATS_DATA");
    const std::string js = matchStatsStatement(m, false);
    logSendingToJs(js);
    runJavaScript(HtmlWindow::MatchStats, js);
    // The statistics the user asked for open their panel.
    gh.openMatchStats(1);
}

void onInfoMatchStatsInfo(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: MATCH_STATS_INFO");
    const std::string js = matchStatsStatement(m, true);
    logSendingToJs(js);
    runJavaScript(HtmlWindow::MatchStats, js);
    runJavaScript(HtmlWindow::BottomBox, js);
    if (gh.lineUpPanel.visible) runJavaScript(HtmlWindow::MatchStats, "inbzUpdateCurrentMatchStats();");
}

void onInfoRecordsData(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: RECORDS_DATA");
    std::string records;
    if (!jsonValue(m.textB, "records", records)) return;
    const std::string js = "inbzRecordsData({nick:'" + escapeJsString(m.textA) + "',records:" + records + ",});";
    logSendingToJs(js);
    runJavaScript(HtmlWindow::BioTut, js);
}
