// The dialog panels other than the settings ones: bio and tutorial, invites, tasks, line-up and
// match statistics, cue store, and the paste shortcut for the pages' paste buttons.
#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/page_statements.h"
#include "client/panels/settings_panels.h"
#include "core/log.h"
#include "core/page_script.h"

void GameHandler::openBio(const std::vector<std::string>& bioTexts) {
    openPanel(bioTutPanel, now);
    if (!bioTexts.empty() && bioTexts.front() != bioUserName) {
        bioUserBits = -1;
        bioUserName = bioTexts.front();
    }
    runJavaScript(HtmlWindow::Lobby, kShowLobbyMask);
    std::string list = "inbzOpenBio([";
    for (const std::string& text : bioTexts) list += jsQuoted(text) + ",";
    list += "]);";
    runJavaScript(HtmlWindow::BioTut, list);
    BZ_LOG(LOG_INFO, "openBio", "Sending BioData to html window:" << list);
    runJavaScript(HtmlWindow::Lobby, "inbzGetUserInfo({userName:" + jsQuoted(bioUserName) + "});");
}

void GameHandler::openTut(int topic) {
    openPanel(bioTutPanel, now);
    const std::string statement = "inbzOpenTut({topic:" + std::to_string(topic) + "});";
    runJavaScript(HtmlWindow::BioTut, statement);
    BZ_LOG(LOG_INFO, "openTut", "Sending tutorial topic to html window:" << statement);
}

void GameHandler::openCtr() {
    openPanel(bioTutPanel, now);
    runJavaScript(HtmlWindow::BioTut, "inbzOpenCtr();");
    BZ_LOG(LOG_INFO, "openCtr", "Opening control help window:inbzOpenCtr();");
}

void GameHandler::openArezor() {
    openPanel(bioTutPanel, now);
    runJavaScript(HtmlWindow::BioTut, "inbzOpenArezor();");
}

void GameHandler::openVideos() {
    openPanel(bioTutPanel, now);
    runJavaScript(HtmlWindow::BioTut, "inbzOpenVideos();");
}

void GameHandler::openInvites() {
    openPanel(invitesPanel, now);
    resetAimingState(true);
    BZ_LOG(LOG_INFO, "openInvites", "Opening Invites html window");
}

void GameHandler::openTasks() {
    openPanel(tasksPanel, now);
    resetAimingState(true);
    runJavaScript(HtmlWindow::Lobby, kShowLobbyMask);
    BZ_LOG(LOG_INFO, "openTasks", "Opening Tasks html window");
}

void PanelsState::closeTasks() {
    tasksPanel.visible = false;
    runJavaScript(HtmlWindow::Lobby, kHideLobbyMask);
}

void GameHandler::openLineUp() {
    openPanel(lineUpPanel, now);
    resetAimingState(true);
    runJavaScript(HtmlWindow::MatchStats, "inbzOpenLineUp();");
    BZ_LOG(LOG_INFO, "openLineUp", "Opening LineUp (Match Stats) html window");
}

void GameHandler::openMatchStats(int idx) {
    if (idx == 0 && matchStatsMinimized) {
        runJavaScript(HtmlWindow::BottomBox, "inbzOpenMatchStatsDiv();");
        BZ_LOG(LOG_INFO, "openMatchStats", "Opening Match Stats Div in BottomBox");
        return;
    }
    openPanel(lineUpPanel, now);
    resetAimingState(true);
    runJavaScript(HtmlWindow::MatchStats, "inbzOpenMatchStats({idx:" + std::to_string(idx) + "});");
    BZ_LOG(LOG_INFO, "openMatchStats", "Opening Match Stats html window");
}

void PanelsState::closeMatchStats() {
    lineUpPanel.visible = false;
    runJavaScript(HtmlWindow::MatchStats, "inbzCloseMatchStats();");
}

void GameHandler::openCueStore() {
    openPanel(cueStorePanel, now);
    resetAimingState(true);
    BZ_LOG(LOG_INFO, "openCueStore", "Opening Cue Store html window");
}

// The replays window shows from the next frame on; a running replay waits while it is open.
void GameHandler::openReplays() {
    replaysPanel.visible = true;
    replaysPanel.openedAt = now;
    if (replayMode && replayPlaying && !replayPaused) pauseReplay();
    resetAimingState(true);
    runJavaScript(HtmlWindow::Replays, std::string("inbzSetReplaySettings({ aimLinesShow:") +
                                           (replayAimLinesShow ? "true" : "false") + ",aimingProcessShow:" +
                                           (replayAimingProcessShow ? "true" : "false") + ",})");
    BZ_LOG(LOG_INFO, "openReplays", "Opening Replays html window");
}

void PanelsState::pasteIntoBrowser(HtmlWindow window) { sendPageInput(window, PageInput::Paste); }
