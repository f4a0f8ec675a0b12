// The requests that forward to the game controller, the connection's request senders, the shell's
// flags or the desktop. Each writes its log line first (some write none), then acts.
#include "client/gamehandler/game_handler.h"
#include "core/log.h"
#include "core/opener.h"
#include "core/web_links.h"
#include "net/connection_handler.h"
#include "client/gamehandler/requests.h"
#include "ui/html_requests.h"
#include "ui/page_buttons.h"
#include "ui/login_requests.h"

#include <SDL2/SDL.h>

namespace {

void logRequest(const char* name, const std::string& message = {}) { BZ_LOG(LOG_INFO, name, message); }

bool lobbyChangePending() { return connectionHandler != nullptr && connectionHandler->lobbyChangePending.load(); }

}  // namespace

void HtmlRequests::titleBarMoveWindow() {
    logRequest("titleBarMoveWindow");
    dragWindowRequested = true;
}

void HtmlRequests::titleBarMinimize() {
    logRequest("titleBarMinimize");
    // The main window is the one whose GL context is current on this (the main) thread.
    if (SDL_Window* window = SDL_GL_GetCurrentWindow()) SDL_MinimizeWindow(window);
}

void HtmlRequests::titleBarMaximize() {
    logRequest("titleBarMaximize");
    maximizeRequested = true;
}

void HtmlRequests::loginForgotDetails() {
    logRequest("loginForgotDetails");
    openExternal(changePasswordUrl);
}

void HtmlRequests::loginRegister() {
    logRequest("loginRegister");
    openExternal(playGameUrl);
}

void HtmlRequests::loginPlayOffline() {
    logRequest("loginPlayOffline");
    openExternal(siteUrl);
}

void HtmlRequests::loginUpdate() {
    logRequest("loginUpdate");
    openExternal(downloadUrl);
}

void HtmlRequests::loginEnterLobby(const std::string& serverName, const std::string& userName,
                                   const std::string& password, bool rememberMe) {
    ::loginEnterLobby(serverName, userName, password, rememberMe);
}

void HtmlRequests::lobbyPlayTable(int tableNumber) {
    logRequest("lobbyPlayTable", std::to_string(tableNumber));
    if (lobbyChangePending()) return;
    sendEnterTableReq(getGameHandler(), tableNumber);
    sendPlayTableReq(getGameHandler(), tableNumber);
}

void HtmlRequests::lobbyWatchTable(int tableNumber) {
    logRequest("lobbyWatchTable", std::to_string(tableNumber));
    if (lobbyChangePending()) return;
    sendEnterTableReq(getGameHandler(), tableNumber);
}

void HtmlRequests::lobbyAvailability(const std::string& availCode) {
    logRequest("lobbyAvailability");
    uint32_t value = 0;
    if (availCode == "away") value = 1;
    if (availCode == "dnd") value = 2;
    sendUserFlagInfo(value, 3);
}

void HtmlRequests::lobbySendChatText(const std::string& chatText) {
    logRequest("lobbySendChatText", chatText);
    getGameHandler().sendChatText(chatText, true, false);
}

void HtmlRequests::lobbyLogout() {
    logRequest("lobbyLogout");
    sendLogout(getGameHandler());
}

void HtmlRequests::lobbyOpenGameSettings() {
    logRequest("lobbyOpenGameSettings");
    getGameHandler().openGameSettings();
}

void HtmlRequests::lobbyOpenMyAccount() {
    logRequest("lobbyOpenMyAccount");
    getGameHandler().openMyAccount();
}

void HtmlRequests::lobbyOpenPlayerBio(const std::string& userName) {
    logRequest("lobbyOpenPlayerBio", userName);
    sendBioDataReq(userName);
}

void HtmlRequests::lobbyBrowseExternal(const std::string& urlCode) {
    const std::string url = webLinkForCode(urlCode);
    BZ_LOG(LOG_INFO, "lobbyBrowseExternal", "urlCode=" << urlCode << " => '" << url << "'");
    if (!url.empty()) openExternal(url);
}

void HtmlRequests::openExternal(const std::string& url) { ::openExternal(url); }

void HtmlRequests::startMatchStart() {
    logRequest("startMatchStart");
    sendStartReq(getGameHandler());
}

void HtmlRequests::startMatchStartSingle() {
    logRequest("startMatchStartSingle");
    getGameHandler().sendStartSingleReq();
}

void HtmlRequests::startMatchUnstart() {
    logRequest("startMatchUnstart");
    sendUnstartReq(getGameHandler());
}

void HtmlRequests::startMatchJoin() {
    logRequest("startMatchJoin");
    GameHandler& gameHandler = getGameHandler();
    sendPlayTableReq(gameHandler, gameHandler.getTableId());
}

void HtmlRequests::startMatchWatch() {
    logRequest("startMatchWatch");
    sendStopPlayTableReq(getGameHandler());
}

void HtmlRequests::startMatchLeaveTable() {
    logRequest("startMatchLeaveTable");
    sendExitTableReq(getGameHandler());
}

void HtmlRequests::coinTossIWillStart(bool iWillStart) {
    logRequest("coinTossIWillStart", iWillStart ? "iWillStart=1" : "iWillStart=0");
    getGameHandler().coinTossChoiceOpen = false;
    sendStartedAfterCoinToss(getGameHandler(), iWillStart);
}

void HtmlRequests::buttonPress(const std::string& buttonInfo, int idata1, const std::string& sdata1) {
    installPanelButtons();
    getGameHandler().buttonPress(buttonInfo, idata1, sdata1);
}

void HtmlRequests::bottomBoxToggle(bool isFullSize) {
    logRequest("bottomBoxToggle", isFullSize ? "isFullSize=1" : "isFullSize=0");
    bottomBoxChanged = true;
    bottomBoxFullSize = isFullSize;
}

void HtmlRequests::bottomBoxLeaveTable() {
    logRequest("bottomBoxLeaveTable");
    sendExitTableReq(getGameHandler());
}

void HtmlRequests::bottomBoxViewMode(const std::string& role, const std::string& viewMode) {
    GameHandler& gameHandler = getGameHandler();
    if (!gameHandler.isArezorOn(6)) gameHandler.setViewMode(role, viewMode);
}

void HtmlRequests::bottomBoxViewModePOV() {
    logRequest("bottomBoxViewModePOV");
    if (!getGameHandler().isArezorOn(6)) povRequested = true;
}

void HtmlRequests::bottomBoxOpenPeople() {
    logRequest("bottomBoxOpenPeople");
    getGameHandler().openPeople("");
}

void HtmlRequests::bottomBoxSendChatText(const std::string& chatText) {
    logRequest("bottomBoxSendChatText", chatText);
    getGameHandler().sendChatText(chatText, false, false);
}

void HtmlRequests::bottomBoxChatTextIsEmpty(bool isEmpty) { getGameHandler().setChatTextEmpty(isEmpty); }

void HtmlRequests::bottomBoxAvailability(const std::string& availCode) {
    logRequest("bottomBoxAvailability");
    lobbyAvailability(availCode);
}

void HtmlRequests::bottomBoxOpenGameSettings() {
    logRequest("bottomBoxOpenGameSettings");
    getGameHandler().openGameSettings();
}

void HtmlRequests::bottomBoxOpenMatchSettings() {
    logRequest("bottomBoxOpenMatchSettings");
    getGameHandler().openMatchSettings();
}

void HtmlRequests::bottomBoxConcede() { sendFrameConceded(getGameHandler()); }

void HtmlRequests::bottomBoxPopup(const std::string& event, const std::string& what) {
    getGameHandler().onHtmlWindowEvent(event, what);
}

void HtmlRequests::bottomBoxRerackConfirmed() { sendRerackReq(getGameHandler()); }
void HtmlRequests::bottomBoxRerackAccepted() { sendRerackAcc(getGameHandler()); }
void HtmlRequests::bottomBoxRerackDeclined() { sendRerackDecl(getGameHandler()); }
void HtmlRequests::bottomBoxAbortMatchConfirmed() { sendAbortReq(getGameHandler()); }
void HtmlRequests::bottomBoxAbortMatchAccepted() { sendAbortAcc(getGameHandler()); }
void HtmlRequests::bottomBoxAbortMatchDeclined() { sendAbortDecl(getGameHandler()); }
void HtmlRequests::bottomBoxChangePrivacy(int privacy) { getGameHandler().changePrivacy(privacy); }
void HtmlRequests::gameSettingsClose() { getGameHandler().closeGameSettings(); }
void HtmlRequests::gameSettingsReset() { getGameHandler().resetGameSettings(); }

void HtmlRequests::gameSettingsSave(GameSettings settings) {
    GameHandler& gameHandler = getGameHandler();
    // The one slot the page never sees keeps the value in force.
    settings.unkeyedSetting = gameHandler.gameSettings.unkeyedSetting;
    gameHandler.saveGameSettings(settings);
}

void HtmlRequests::matchSettingsClose() { getGameHandler().closeMatchSettings(); }
void HtmlRequests::matchSettingsReset() { getGameHandler().resetMatchSettings(); }
void HtmlRequests::matchSettingsSave(const MatchSettings& settings) { getGameHandler().saveMatchSettings(settings); }
void HtmlRequests::myAccountClose() { getGameHandler().closeMyAccount(); }

void HtmlRequests::myAccountSave(const AccountRecord& account) {
    getGameHandler().saveMyAccount(account);
    BZ_LOG(LOG_INFO, "OnQuery", "myAccountSave: \"" << account.country << "\", \"" << account.aboutMe << "\", \""
                                                    << account.prefTableType << "\", \"" << account.prefBestOf << "\", \""
                                                    << account.prefMaxPointsBehind << "\", \"" << account.prefArena
                                                    << "\", \"" << account.prefMaxShotTime << "\", ");
}

void HtmlRequests::bioClose() { getGameHandler().closeBio(); }
void HtmlRequests::peopleWhisper(const std::string& userName) { getGameHandler().whisperPlayer(userName); }
void HtmlRequests::peopleClose() { getGameHandler().closePeople(); }
