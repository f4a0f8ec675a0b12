// The page buttons that open and close the HTML panels, paste into pages and react to the Kred Box:
// the HTML layer's share of the page-button dispatcher.
#include "ui/page_buttons.h"

#include "client/gamehandler/game_handler.h"
#include "core/log.h"
#include "core/page_script.h"
#include "dispatch/kred_box.h"

#include <string>
#include <string_view>
#include <unordered_map>

namespace {

using Action = void (*)(GameHandler& gh, int idata1, const std::string& sdata1);

bool panelButtonPress(GameHandler& gh, const std::string& name, int idata1, const std::string& sdata1) {
    static const std::unordered_map<std::string_view, Action> table = {
        {"open-ctr", [](GameHandler& gh, int, const std::string&) { gh.openCtr(); }},
        {"open-lineup-window", [](GameHandler& gh, int, const std::string&) { gh.openLineUp(); }},
        {"open-invites", [](GameHandler& gh, int, const std::string&) { gh.openInvites(); }},
        {"open-tasks", [](GameHandler& gh, int, const std::string&) { gh.openTasks(); }},
        {"tasks-close", [](GameHandler& gh, int, const std::string&) { gh.closeTasks(); }},
        {"match-stats-open", [](GameHandler& gh, int, const std::string&) { gh.openMatchStats(0); }},
        {"match-stats-close", [](GameHandler& gh, int, const std::string&) { gh.closeMatchStats(); }},
        {"match-stats-minimize",
         [](GameHandler& gh, int, const std::string&) {
             gh.closeMatchStats();
             gh.matchStatsMinimized = true;
             runJavaScript(HtmlWindow::BottomBox, "inbzOpenMatchStatsDiv();");
         }},
        {"match-stats-maximize",
         [](GameHandler& gh, int, const std::string&) {
             gh.matchStatsMinimized = false;
             gh.openMatchStats(0);
         }},
        {"cue-store-open", [](GameHandler& gh, int, const std::string&) { gh.openCueStore(); }},
        {"open-arezor-commands", [](GameHandler& gh, int, const std::string&) { gh.openArezor(); }},
        {"paste-to-lobby", [](GameHandler& gh, int, const std::string&) { gh.pasteIntoBrowser(HtmlWindow::Lobby); }},
        {"paste-to-bb", [](GameHandler& gh, int, const std::string&) { gh.pasteIntoBrowser(HtmlWindow::BottomBox); }},
        {"videos-open", [](GameHandler& gh, int, const std::string&) { gh.openVideos(); }},
        {"kbox-opened", [](GameHandler& gh, int, const std::string&) { kredBoxOpened(gh); }},
        {"kbox-collect", [](GameHandler& gh, int, const std::string&) { kredBoxCollect(gh); }},
        {"kbox-collected", [](GameHandler& gh, int, const std::string&) { kredBoxCollected(gh); }},
        {"block-user-in-people-window",
         [](GameHandler& gh, int, const std::string& sdata1) {
             BZ_LOG(LOG_INFO, "buttonPress", "block-user-in-people-window:" << sdata1);
             gh.openPeople(sdata1);
         }},
    };
    const auto found = table.find(name);
    if (found == table.end()) return false;
    found->second(gh, idata1, sdata1);
    return true;
}

}  // namespace

void installPanelButtons() { GameHandler::setPanelButtons(panelButtonPress); }
