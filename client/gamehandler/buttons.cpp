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

void chatControl(int idata1, const std::string& sdata1, const char* cmd) {
    // The page owns these names and texts; they still pass the escaper on their way back.
    runJavaScript(idata1 != 0 ? HtmlWindow::BottomBox : HtmlWindow::Lobby,
                  std::string("inbzChatControl({cmd: '") + escapeJsString(cmd) + "',str: '" + escapeJsString(sdata1) +
                      "',});");
}

void answerInvitation(int id, const char* answer, int code) {
    info(std::string("Sending INFO_CODE_INVITE_RESPONSE(") + answer + ") for invitation ID=" + std::to_string(id));
    sendInfo(InfoCode::INFO_CODE_INVITE_RESPONSE, id, code);
}

void acceptInvitation(GameHandler& gh, int id) {
    const AppState state = appState.load();
    bool leaveTable = isTableState(state);
    if (state == STATE_GAME && !gh.replayMode && (gh.isMyTurn() || gh.isOpponentsTurn()) && !gh.betaLobbyPlayer) {
        gh.showNotice("Warning: You cannot accept invitations during an active game!", 3000);
        // Mends the refused invitation that the Invites list dropped although it was never answered.
        runJavaScript(HtmlWindow::Invites, "inbzInviteInfo({id: " + std::to_string(id) + ",state: 'Active',});");
        return;
    }
    if (leaveTable) sendExitTableReq(gh);
    answerInvitation(id, "Accepted", 1);
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

// Writes the log line, then sends the INFO.
void sendLogged(const std::string& line, InfoCode code, int valueA, int valueB, const std::string& text = "") {
    info(line);
    sendInfo(code, valueA, valueB, text);
}

// Game at the table.
void undoShot(GameHandler& gh, int, const std::string&) {
    if (!gh.betaLobbyPlayer) return;
    gh.sendChatText("/undo", false, false);
    runJavaScript(HtmlWindow::BottomBox, "inbzShotStarted();");
    gh.resetAimingState(false);
}

void setBallMoving(GameHandler& gh, bool enabled) {
    info(enabled ? "Settinng ballMovingEnabled=true" : "Setting ballMovingEnabled=false");
    gh.ballMovingEnabled = enabled;
}

void claimFrame(GameHandler& gh, int, const std::string&) {
    info("claimFrame button pressed");
    liveAimMarker(gh, -2);
}

void fiveSecondsLeft(GameHandler& gh, int, const std::string&) {
    if (gh.replayMode || !gh.isMyTurn()) return;
    info("5 seconds left");
    getSoundBank().playBallSound(getSoundBank().shotClockClip, 1.0f);
}

void shotTimerExpired(GameHandler& gh, int, const std::string&) {
    if (gh.liveStatus->gameState != 1) return;
    info("The shot timer has expired");
    liveAimMarker(gh, -1);
}

// Tutorial.
void restartExercise(GameHandler& gh, int, const std::string&) {
    sendInfo(InfoCode::INFO_CODE_CANCEL_TUTCH_TOPIC, 0, 0);
    selectTopic(gh.tutorialTopic);
}

void closeTutResult(GameHandler& gh, InfoCode code) {
    gh.tutResultPanel.visible = false;
    sendInfo(code, 0, 0);
}

void tutInfo(GameHandler& gh, int, const std::string&) {
    closeTutResult(gh, InfoCode::INFO_CODE_CANCEL_TUTCH_TOPIC);
    sendInfo(InfoCode::INFO_CODE_SELECT_TUTCH_TOPIC, gh.tutorialTopic, 0);
}

// Line-up and invitations.
void selectLineUp(GameHandler& gh, int lineUp, const std::string&) {
    gh.sendChatText("/lineup " + std::to_string(lineUp), false, false);
    sendRerackReq(gh);
}

void bottomBoxAndLobby(const char* statement) {
    runJavaScript(HtmlWindow::BottomBox, statement);
    runJavaScript(HtmlWindow::Lobby, statement);
}

// Alerts and leaving.
void leaveWarningStay(GameHandler& gh, int, const std::string&) {
    cancelLobbyChange();
    gh.alertsPanel.visible = false;
}

void replayWarningReplay(GameHandler& gh, int, const std::string&) {
    gh.sendChatText(gh.pendingReplayCommand, false, true);
    gh.alertsPanel.visible = false;
}

void alertEscape(GameHandler& gh, int, const std::string&) {
    if (gh.alertShown == gh.leaveWarningAlert) cancelLobbyChange();
    gh.alertsPanel.visible = false;
}

void exitGame(GameHandler& gh, int, const std::string&) {
    sendLogout(gh);
    appRunning = false;
}

// Settings.
void doNothing(GameHandler&, int, const std::string&) {}

void answerTouchpad(GameHandler& gh, int, const std::string&) {
    gh.gameSettings.mouseSensitivity = 5;
    gh.saveGameSettingsPrefs(gh.gameSettings);
}

struct Row {
    std::string_view name;
    Action action;
};

// A row whose whole effect is one short statement; gh, idata1 and sdata1 are the press's arguments.
#define BZ_BUTTON(name, statement) {name, [](GameHandler& gh, int idata1, const std::string& sdata1) { statement; }}

// One row per page button, grouped by page.
constexpr Row kRows[] = {
    // Game at the table.
    {"undo-shot", undoShot},
    BZ_BUTTON("ball-lock-true", setBallMoving(gh, false)),
    BZ_BUTTON("ball-lock-false", setBallMoving(gh, true)),
    {"claimFrame", claimFrame},
    BZ_BUTTON("timeoutProlongTerminate", sendLogged("Sending INFO_CODE_TIMEOUT_PROLONG_DECIDING(1)",
                                                    InfoCode::INFO_CODE_TIMEOUT_PROLONG_DECIDING, 1, 0)),
    BZ_BUTTON("timeoutProlongAbort", sendLogged("Sending INFO_CODE_TIMEOUT_PROLONG_DECIDING(2)",
                                                InfoCode::INFO_CODE_TIMEOUT_PROLONG_DECIDING, 2, 0)),
    {"5secsleft", fiveSecondsLeft},
    {"shotTimerExpired", shotTimerExpired},
    BZ_BUTTON("live-aiming-shared-false", sendUserFlagInfo(0, 32)),
    BZ_BUTTON("live-aiming-shared-true", sendUserFlagInfo(32, 32)),
    BZ_BUTTON("live-aiming-shown-false", gh.showLiveAiming = false),
    BZ_BUTTON("live-aiming-shown-true", gh.showLiveAiming = true),
    // Tutorial.
    BZ_BUTTON("open-tutorial",
              sendLogged("Sending INFO_CODE_ENTER_TUTCH_REQ(1)", InfoCode::INFO_CODE_ENTER_TUTCH_REQ, 1, 0)),
    BZ_BUTTON("tut-button-leave",
              sendLogged("Sending INFO_CODE_EXIT_TUTCH_REQ(1)", InfoCode::INFO_CODE_EXIT_TUTCH_REQ, 0, 0)),
    BZ_BUTTON("tut-button-settings",
              sendLogged("Sending INFO_CODE_TUTCH_REQ(1)", InfoCode::INFO_CODE_EXIT_TUTCH_REQ, 0, 0)),
    BZ_BUTTON("selectTutTopic", selectTopic(idata1)),
    BZ_BUTTON("startTutorialExercise",
              sendLogged("Sending INFO_CODE_START_TUTCH_TOPIC", InfoCode::INFO_CODE_START_TUTCH_TOPIC, 0, 0)),
    BZ_BUTTON("cancelTutorialExercise",
              sendLogged("Sending INFO_CODE_CANCEL_TUTCH_TOPIC", InfoCode::INFO_CODE_CANCEL_TUTCH_TOPIC, 0, 0)),
    {"restartTutorialExercise", restartExercise},
    BZ_BUTTON("tut-retry", closeTutResult(gh, InfoCode::INFO_CODE_START_TUTCH_TOPIC)),
    BZ_BUTTON("tut-done", closeTutResult(gh, InfoCode::INFO_CODE_CANCEL_TUTCH_TOPIC)),
    BZ_BUTTON("tut-back", closeTutResult(gh, InfoCode::INFO_CODE_CANCEL_TUTCH_TOPIC)),
    {"tut-info", tutInfo},
    // Line-up, invitations, host.
    {"selectLineUp", selectLineUp},
    BZ_BUTTON("invites-close", gh.invitesPanel.visible = false),
    BZ_BUTTON("invites-active", bottomBoxAndLobby("inbzInvitesActive();")),
    BZ_BUTTON("invites-empty", bottomBoxAndLobby("inbzInvitesEmpty();")),
    BZ_BUTTON("invites-response-accepted", acceptInvitation(gh, idata1)),
    BZ_BUTTON("invites-response-declined", answerInvitation(idata1, "Declined", 2)),
    BZ_BUTTON("invites-response-ignored", answerInvitation(idata1, "Ignored", 3)),
    BZ_BUTTON("invites-blocked-on", sendUserFlagInfo(4, 4)),
    BZ_BUTTON("invites-blocked-off", sendUserFlagInfo(0, 4)),
    BZ_BUTTON("i-am-the-host-yes", runJavaScript(HtmlWindow::People, "inbzIAmTheHost({ iAmTheHost: true });")),
    BZ_BUTTON("i-am-the-host-no", runJavaScript(HtmlWindow::People, "inbzIAmTheHost({ iAmTheHost: false });")),
    // Panels.
    BZ_BUTTON("cue-store-close", gh.cueStorePanel.visible = false),
    BZ_BUTTON("requestBioResults", sendInfo(InfoCode::BIO_RESULTS_REQ, 0, 0, sdata1)),
    BZ_BUTTON("replays-open", gh.openReplays()),
    BZ_BUTTON("replays-close", gh.replaysPanel.visible = false),
    // Chat control.
    BZ_BUTTON("chatUserDelete", chatControl(idata1, sdata1, "chatUserDelete")),
    BZ_BUTTON("chatUserAdd", chatControl(idata1, sdata1, "chatUserAdd")),
    BZ_BUTTON("chatHistoryAdd", chatControl(idata1, sdata1, "chatHistoryAdd")),
    // Lobby, alerts and leaving (the Kred Box buttons are the HTML layer's).
    BZ_BUTTON("change-lobby", changeLobby(gh, sdata1)),
    BZ_BUTTON("lobby-list-off", lobbyListRequested = false),
    BZ_BUTTON("lobby-list-on", lobbyListRequested = true),
    BZ_BUTTON("poll-vote", sendLogged("poll-vote:" + std::to_string(idata1), InfoCode::POLL_VOTE, idata1, 0)),
    {"alert-leave-warning-stay", leaveWarningStay},
    BZ_BUTTON("alert-leave-warning-leave", leaveWarningLeave(gh)),
    BZ_BUTTON("alert-replay-warning-cancel", gh.alertsPanel.visible = false),
    {"alert-replay-warning-replay", replayWarningReplay},
    {"alert-escape", alertEscape},
    {"exit-game", exitGame},
    // Friends, users, settings.
    BZ_BUTTON("add-friend", sendLogged("add-friend:" + sdata1, InfoCode::FRIEND_CHANGE, 1, 0, sdata1)),
    BZ_BUTTON("remove-friend", sendLogged("remove-friend:" + sdata1, InfoCode::FRIEND_CHANGE, 0, 0, sdata1)),
    BZ_BUTTON("block-user", sendLogged("block-user:" + sdata1 + "," + std::to_string(idata1),
                                       InfoCode::BLOCK_USER, idata1, 0, sdata1)),
    BZ_BUTTON("user-info", userInfo(gh, idata1, sdata1)),
    BZ_BUTTON("friend-login", friendLogin(gh, sdata1)),
    {"mouse-or-touchpad-answer-is-mouse", doNothing},
    {"mouse-or-touchpad-answer-is-touchpad", answerTouchpad},
};

#undef BZ_BUTTON

Action findAction(std::string_view name) {
    static const auto byName = [] {
        std::unordered_map<std::string_view, Action> map;
        for (const Row& row : kRows) map.emplace(row.name, row.action);
        return map;
    }();
    const auto found = byName.find(name);
    return found == byName.end() ? nullptr : found->second;
}

}  // namespace

void GameHandler::buttonPress(const std::string& name, int idata1, const std::string& sdata1) {
    if (const Action action = findAction(name)) {
        action(*this, idata1, sdata1);
        return;
    }
    if (replayButtonPress(name, idata1, sdata1)) return;
    if (panelButtons != nullptr && panelButtons(*this, name, idata1, sdata1)) return;
    BZ_LOG(LOG_DEBUG, "buttonPress", "No action for '" << name << "'");
}

PanelsState::PanelButtons PanelsState::setPanelButtons(PanelButtons handler) {
    PanelButtons previous = panelButtons;
    panelButtons = handler;
    return previous;
}
