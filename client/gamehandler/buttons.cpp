// The page-button dispatcher: every button, link and small page event the pages report by name,
// and the names the keyboard and the replay loader use for the same actions. One name, one effect,
// whoever pressed it. The names that open panels are the HTML layer's (setPanelButtons).
#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/requests.h"
#include "core/app_status.h"
#include "core/log.h"
#include "core/sound_bank.h"
#include "core/text.h"
#include "net/connection_handler.h"
#include "net/lobby_servers.h"
#include "net/message.h"
#include "net/request_queue.h"

#include <iostream>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

GameHandler::PanelButtons panelButtons = nullptr;

using Action = void (*)(GameHandler& gh, int idata1, const std::string& sdata1);

void info(const std::string& line) { BZ_LOG(LOG_INFO, "buttonPress", line); }

// A local chat line of the client's own, never sent to the server.
void notice(GameHandler& gh, const std::string& text1, const std::string& playerName1, const std::string& text2,
            bool tableOnly) {
    gh.displayChatMessage(Message::initChat(0, 1, ChatClass::LOCAL_NOTICE, 0, "", gh.table.getId(), text1,
                                            playerName1, text2, "", ""),
                          tableOnly);
}

// Sends LIVE_AIM_START with the aiming-ball field set to marker for this one message: -2 always
// sends, -1 only for a user who shares the live aim.
void liveAimMarker(GameHandler& gh, int marker) {
    const int saved = gh.aimBallIndex;
    gh.aimBallIndex = marker;
    shareLiveAimStart(gh, false);
    gh.aimBallIndex = saved;
}

void cancelLobbyChange() {
    if (connectionHandler == nullptr || !connectionHandler->lobbyChangePending) return;
    connectionHandler->nextServerName.clear();
    connectionHandler->lobbyChangePending = false;
}

void selectTopic(int topic) {
    info("Sending INFO_CODE_SELECT_TUTCH_TOPIC(" + std::to_string(topic) + ")");
    sendInfo(InfoCode::INFO_CODE_SELECT_TUTCH_TOPIC, topic, 0);
}

void chatControl(GameHandler&, int idata1, const std::string& sdata1, const char* cmd) {
    // The page owns these names and texts; they still pass the escaper on their way back.
    runJavaScript(idata1 != 0 ? HtmlWindow::BottomBox : HtmlWindow::Lobby,
                  std::string("inbzChatControl({cmd: '") + escapeJsString(cmd) + "',str: '" + escapeJsString(sdata1) +
                      "',});");
}

void acceptInvitation(GameHandler& gh, int id) {
    const AppState state = appState.load();
    bool leaveTable = isTableState(state);
    if (state == STATE_GAME && !gh.replayMode && (gh.isMyTurn() || gh.isOpponentsTurn()) && !gh.betaLobbyPlayer) {
        gh.showNotice("Warning: You cannot accept invitations during an active game!", 3000);
        return;
    }
    if (leaveTable) sendExitTableReq(gh);
    info("Sending INFO_CODE_INVITE_RESPONSE(Accepted) for invitation ID=" + std::to_string(id));
    sendInfo(InfoCode::INFO_CODE_INVITE_RESPONSE, id, 1);
    gh.invitesPanel.visible = false;
}

void openAlerts(GameHandler& gh) {
    gh.alertsPanel.visible = true;
    gh.alertsPanel.openedAt = gh.now + 0.2;
}

void changeLobby(GameHandler& gh, const std::string& server) {
    if (connectionHandler == nullptr) return;
    Player* a = gh.table.getPlayer(0);
    Player* b = gh.table.getPlayer(1);
    const bool seatedInFrame = appState.load() == STATE_GAME && a != b && (gh.seatHoldsMe(0) || gh.seatHoldsMe(1));
    connectionHandler->nextServerName = server;
    connectionHandler->lobbyChangePending = true;
    if (seatedInFrame) {
        runJavaScript(HtmlWindow::Alerts, "inbzOpenLeaveWarning();");
        openAlerts(gh);
        gh.alertShown = gh.leaveWarningAlert;
        return;
    }
    lobbyListRequested = false;
    sendLogout(gh);
}

void leaveWarningLeave(GameHandler& gh) {
    if (connectionHandler != nullptr && connectionHandler->lobbyChangePending) {
        lobbyListRequested = false;
        sendLogout(gh);
    } else {
        sendLogout(gh);
        appRunning = false;
    }
    gh.alertsPanel.visible = false;
}

void userInfo(GameHandler& gh, int bits, const std::string& user) {
    info("user-info:" + user + "," + std::to_string(bits));
    if (!gh.bioTutPanel.visible || gh.bioUserName != user) return;
    const char* friendButton = user == gh.ownNick() ? "false" : "true";
    const bool shownBlocked = gh.bioUserBits > 0 && (gh.bioUserBits & 0xD8) != 0;
    const std::string statement = std::string("inbzUpdateButtons({enableFriendButton:") + friendButton +
                                  ",enableBlockButton:" + (shownBlocked ? "false" : friendButton) +
                                  ",bits:" + std::to_string(bits) + ",});";
    runJavaScript(HtmlWindow::BioTut, statement);
    std::cerr << statement << '\n';
}

void friendLogin(GameHandler& gh, const std::string& name) {
    info("friend-login:" + name);
    if (gh.now - gh.loginTime < 5.0) return;
    getSoundBank().playFriendSound(getSoundBank().friendLoginClip, 1.0f);
    if (gh.gameSettings.friendChat != 0)
        notice(gh, "<i class=\"fa-solid fa-user\"></i> Friend Login: ", name, " is online!", false);
}

const std::unordered_map<std::string_view, Action>& buttonTable() {
    static const std::unordered_map<std::string_view, Action> table = {
        // Game at the table.
        {"undo-shot",
         [](GameHandler& gh, int, const std::string&) {
             if (!gh.betaLobbyPlayer) return;
             gh.sendChatText("/undo", false, false);
             runJavaScript(HtmlWindow::BottomBox, "inbzShotStarted();");
             gh.resetAimingState(false);
         }},
        {"ball-lock-true",
         [](GameHandler& gh, int, const std::string&) {
             info("Setting ballMovingEnabled=false");
             gh.ballMovingEnabled = false;
         }},
        {"ball-lock-false",
         [](GameHandler& gh, int, const std::string&) {
             info("Setting ballMovingEnabled=true");
             gh.ballMovingEnabled = true;
         }},
        {"claimFrame",
         [](GameHandler& gh, int, const std::string&) {
             info("claimFrame button pressed");
             liveAimMarker(gh, -2);
         }},
        {"timeoutProlongTerminate",
         [](GameHandler&, int, const std::string&) {
             info("Sending INFO_CODE_TIMEOUT_PROLONG_DECIDING(1)");
             sendInfo(InfoCode::INFO_CODE_TIMEOUT_PROLONG_DECIDING, 1, 0);
         }},
        {"timeoutProlongAbort",
         [](GameHandler&, int, const std::string&) {
             info("Sending INFO_CODE_TIMEOUT_PROLONG_DECIDING(2)");
             sendInfo(InfoCode::INFO_CODE_TIMEOUT_PROLONG_DECIDING, 2, 0);
         }},
        {"5secsleft",
         [](GameHandler& gh, int, const std::string&) {
             if (gh.replayMode || !gh.isMyTurn()) return;
             info("5 seconds left");
             getSoundBank().playBallSound(getSoundBank().shotClockClip, 1.0f);
         }},
        {"shotTimerExpired",
         [](GameHandler& gh, int, const std::string&) {
             if (gh.liveStatus->gameState != 1) return;
             info("The shot timer has expired");
             liveAimMarker(gh, -1);
         }},
        {"live-aiming-shared-false", [](GameHandler&, int, const std::string&) { sendUserFlagInfo(0, 32); }},
        {"live-aiming-shared-true", [](GameHandler&, int, const std::string&) { sendUserFlagInfo(32, 32); }},
        {"live-aiming-shown-false", [](GameHandler& gh, int, const std::string&) { gh.showLiveAiming = false; }},
        {"live-aiming-shown-true", [](GameHandler& gh, int, const std::string&) { gh.showLiveAiming = true; }},
        // Tutorial.
        {"open-tutorial",
         [](GameHandler&, int, const std::string&) {
             info("Sending INFO_CODE_ENTER_TUTCH_REQ(1)");
             sendInfo(InfoCode::INFO_CODE_ENTER_TUTCH_REQ, 1, 0);
         }},
        {"tut-button-leave",
         [](GameHandler&, int, const std::string&) {
             info("Sending INFO_CODE_EXIT_TUTCH_REQ(1)");
             sendInfo(InfoCode::INFO_CODE_EXIT_TUTCH_REQ, 0, 0);
         }},
        {"tut-button-settings",
         [](GameHandler&, int, const std::string&) {
             info("Sending INFO_CODE_TUTCH_REQ(1)");
             sendInfo(InfoCode::INFO_CODE_EXIT_TUTCH_REQ, 0, 0);
         }},
        {"selectTutTopic", [](GameHandler&, int idata1, const std::string&) { selectTopic(idata1); }},
        {"startTutorialExercise",
         [](GameHandler&, int, const std::string&) {
             info("Sending INFO_CODE_START_TUTCH_TOPIC");
             sendInfo(InfoCode::INFO_CODE_START_TUTCH_TOPIC, 0, 0);
         }},
        {"cancelTutorialExercise",
         [](GameHandler&, int, const std::string&) {
             info("Sending INFO_CODE_CANCEL_TUTCH_TOPIC");
             sendInfo(InfoCode::INFO_CODE_CANCEL_TUTCH_TOPIC, 0, 0);
         }},
        {"restartTutorialExercise",
         [](GameHandler& gh, int, const std::string&) {
             sendInfo(InfoCode::INFO_CODE_CANCEL_TUTCH_TOPIC, 0, 0);
             selectTopic(gh.tutorialTopic);
         }},
        {"tut-retry",
         [](GameHandler& gh, int, const std::string&) {
             gh.tutResultPanel.visible = false;
             sendInfo(InfoCode::INFO_CODE_START_TUTCH_TOPIC, 0, 0);
         }},
        {"tut-done",
         [](GameHandler& gh, int, const std::string&) {
             gh.tutResultPanel.visible = false;
             sendInfo(InfoCode::INFO_CODE_CANCEL_TUTCH_TOPIC, 0, 0);
         }},
        {"tut-back",
         [](GameHandler& gh, int, const std::string&) {
             gh.tutResultPanel.visible = false;
             sendInfo(InfoCode::INFO_CODE_CANCEL_TUTCH_TOPIC, 0, 0);
         }},
        {"tut-info",
         [](GameHandler& gh, int, const std::string&) {
             gh.tutResultPanel.visible = false;
             sendInfo(InfoCode::INFO_CODE_CANCEL_TUTCH_TOPIC, 0, 0);
             sendInfo(InfoCode::INFO_CODE_SELECT_TUTCH_TOPIC, gh.tutorialTopic, 0);
         }},
        // Line-up, invitations, host.
        {"selectLineUp",
         [](GameHandler& gh, int idata1, const std::string&) {
             gh.sendChatText("/lineup " + std::to_string(idata1), false, false);
             sendRerackReq(gh);
         }},
        {"invites-close", [](GameHandler& gh, int, const std::string&) { gh.invitesPanel.visible = false; }},
        {"invites-active",
         [](GameHandler&, int, const std::string&) {
             runJavaScript(HtmlWindow::BottomBox, "inbzInvitesActive();");
             runJavaScript(HtmlWindow::Lobby, "inbzInvitesActive();");
         }},
        {"invites-empty",
         [](GameHandler&, int, const std::string&) {
             runJavaScript(HtmlWindow::BottomBox, "inbzInvitesEmpty();");
             runJavaScript(HtmlWindow::Lobby, "inbzInvitesEmpty();");
         }},
        {"invites-response-accepted", [](GameHandler& gh, int idata1, const std::string&) { acceptInvitation(gh, idata1); }},
        {"invites-response-declined",
         [](GameHandler&, int idata1, const std::string&) {
             info("Sending INFO_CODE_INVITE_RESPONSE(Declined) for invitation ID=" + std::to_string(idata1));
             sendInfo(InfoCode::INFO_CODE_INVITE_RESPONSE, idata1, 2);
         }},
        {"invites-response-ignored",
         [](GameHandler&, int idata1, const std::string&) {
             info("Sending INFO_CODE_INVITE_RESPONSE(Ignored) for invitation ID=" + std::to_string(idata1));
             sendInfo(InfoCode::INFO_CODE_INVITE_RESPONSE, idata1, 3);
         }},
        {"invites-blocked-on", [](GameHandler&, int, const std::string&) { sendUserFlagInfo(4, 4); }},
        {"invites-blocked-off", [](GameHandler&, int, const std::string&) { sendUserFlagInfo(0, 4); }},
        {"i-am-the-host-yes",
         [](GameHandler&, int, const std::string&) {
             runJavaScript(HtmlWindow::People, "inbzIAmTheHost({ iAmTheHost: true });");
         }},
        {"i-am-the-host-no",
         [](GameHandler&, int, const std::string&) {
             runJavaScript(HtmlWindow::People, "inbzIAmTheHost({ iAmTheHost: false });");
         }},
        // Panels.
        {"cue-store-close", [](GameHandler& gh, int, const std::string&) { gh.cueStorePanel.visible = false; }},
        {"requestBioResults",
         [](GameHandler&, int, const std::string& sdata1) { sendInfo(InfoCode::BIO_RESULTS_REQ, 0, 0, sdata1); }},
        {"replays-open", [](GameHandler& gh, int, const std::string&) { gh.openReplays(); }},
        {"replays-close", [](GameHandler& gh, int, const std::string&) { gh.replaysPanel.visible = false; }},
        // Chat control.
        {"chatUserDelete",
         [](GameHandler& gh, int idata1, const std::string& sdata1) { chatControl(gh, idata1, sdata1, "chatUserDelete"); }},
        {"chatUserAdd",
         [](GameHandler& gh, int idata1, const std::string& sdata1) { chatControl(gh, idata1, sdata1, "chatUserAdd"); }},
        {"chatHistoryAdd",
         [](GameHandler& gh, int idata1, const std::string& sdata1) { chatControl(gh, idata1, sdata1, "chatHistoryAdd"); }},
        // Kred Box.
        // Lobby, alerts and leaving.
        {"change-lobby", [](GameHandler& gh, int, const std::string& sdata1) { changeLobby(gh, sdata1); }},
        {"lobby-list-off", [](GameHandler&, int, const std::string&) { lobbyListRequested = false; }},
        {"lobby-list-on", [](GameHandler&, int, const std::string&) { lobbyListRequested = true; }},
        {"poll-vote",
         [](GameHandler&, int idata1, const std::string&) {
             info("poll-vote:" + std::to_string(idata1));
             sendInfo(InfoCode::POLL_VOTE, idata1, 0);
         }},
        {"alert-leave-warning-stay",
         [](GameHandler& gh, int, const std::string&) {
             cancelLobbyChange();
             gh.alertsPanel.visible = false;
         }},
        {"alert-leave-warning-leave", [](GameHandler& gh, int, const std::string&) { leaveWarningLeave(gh); }},
        {"alert-replay-warning-cancel", [](GameHandler& gh, int, const std::string&) { gh.alertsPanel.visible = false; }},
        {"alert-replay-warning-replay",
         [](GameHandler& gh, int, const std::string&) {
             gh.sendChatText(gh.pendingReplayCommand, false, true);
             gh.alertsPanel.visible = false;
         }},
        {"alert-escape",
         [](GameHandler& gh, int, const std::string&) {
             if (gh.alertShown == gh.leaveWarningAlert) cancelLobbyChange();
             gh.alertsPanel.visible = false;
         }},
        {"exit-game",
         [](GameHandler& gh, int, const std::string&) {
             sendLogout(gh);
             appRunning = false;
         }},
        // Friends, users, settings.
        {"add-friend",
         [](GameHandler&, int, const std::string& sdata1) {
             info("add-friend:" + sdata1);
             sendInfo(InfoCode::FRIEND_CHANGE, 1, 0, sdata1);
         }},
        {"remove-friend",
         [](GameHandler&, int, const std::string& sdata1) {
             info("remove-friend:" + sdata1);
             sendInfo(InfoCode::FRIEND_CHANGE, 0, 0, sdata1);
         }},
        {"block-user",
         [](GameHandler&, int idata1, const std::string& sdata1) {
             info("block-user:" + sdata1 + "," + std::to_string(idata1));
             sendInfo(InfoCode::BLOCK_USER, idata1, 0, sdata1);
         }},
        {"user-info", [](GameHandler& gh, int idata1, const std::string& sdata1) { userInfo(gh, idata1, sdata1); }},
        {"friend-login", [](GameHandler& gh, int, const std::string& sdata1) { friendLogin(gh, sdata1); }},
        {"mouse-or-touchpad-answer-is-mouse", [](GameHandler&, int, const std::string&) {}},
        {"mouse-or-touchpad-answer-is-touchpad",
         [](GameHandler& gh, int, const std::string&) {
             gh.gameSettings.mouseSensitivity = 5;
             gh.saveGameSettingsPrefs(gh.gameSettings);
         }},
    };
    return table;
}

}  // namespace

void GameHandler::buttonPress(const std::string& name, int idata1, const std::string& sdata1) {
    const auto& table = buttonTable();
    if (const auto found = table.find(name); found != table.end()) {
        found->second(*this, idata1, sdata1);
        return;
    }
    if (replayButtonPress(name, idata1, sdata1)) return;
    if (panelButtons != nullptr && panelButtons(*this, name, idata1, sdata1)) return;
    BZ_LOG(LOG_DEBUG, "buttonPress", "No action for '" << name << "'");
}

GameHandler::PanelButtons GameHandler::setPanelButtons(PanelButtons handler) {
    PanelButtons previous = panelButtons;
    panelButtons = handler;
    return previous;
}
