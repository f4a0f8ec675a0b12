#include "client/gamehandler/game_handler.h"

#include "client/gamehandler/login_lists.h"
#include "client/gamehandler/requests.h"
#include "core/clock.h"
#include "core/mac_addresses.h"
#include "core/page_script.h"
#include "core/prefs.h"
#include "core/text.h"
#include "net/connection_handler.h"
#include "net/message.h"
#include "net/request_queue.h"

#include <vector>

void SessionState::forgetSession() {
    for (HtmlWindow window : {HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::People}) {
        runJavaScript(window, "inbzLoginReset();");
    }
    kredBoxAmount = 0;
    kredBoxCollectId.clear();
}

void SessionState::loadCredentials(std::string& userName, std::string& password) {
    ::loadCredentials(prefPath, userName, password);
}

void SessionState::showSavedCredentials() {
    std::string userName;
    std::string password;
    loadCredentials(userName, password);
    runJavaScript(HtmlWindow::Login, setCredentialsStatement(userName, password));
}

void SessionState::saveCredentials(const std::string& userName, const std::string& password) {
    ::saveCredentials(prefPath, userName, password);
}

void SessionState::forgetCredentials(const std::string& userName) { ::forgetCredentials(prefPath, userName); }

void GameHandler::loadGameSettingsPrefs(GameSettings& settings) {
    bool fileMissing = false;
    loadGameSettings(prefPath, settings, fileMissing);
    if (fileMissing) mouseOrTouchpadPopUpPending = true;
}

void SessionState::saveGameSettingsPrefs(const GameSettings& settings) { ::saveGameSettings(prefPath, settings); }

std::string SessionState::loadParamPrefs(const std::string& name) { return ::loadParamPrefs(prefPath, name); }

void SessionState::saveParamPrefs(const std::string& name, const std::string& value) {
    ::saveParamPrefs(prefPath, name, value);
}

void SessionState::countFailedLogin(const std::string& userName) {
    // Read, counted and written under the store's one lock, so no other save can come between.
    updatePrefsFile(prefPath, {"saveParamPrefs", false}, [&](KeyValueMap& map) {
        std::string failedUserList = getKeyValue(map, kFailedUserListKey);
        if (!countFailure(failedUserList, userName)) return false;
        setKeyValue(map, kFailedUserListKey, failedUserList);
        return true;
    });
}

namespace {

// The machine's network interfaces, address and name pairs in the order the system lists them.
void sendInterfaceAddresses() {
    std::vector<std::string> addresses;
    std::vector<std::string> names;
    getMacAddresses(addresses, names);
    Message message = Message::initInfo(connectionHandler->nextIid(), InfoCode::INTERFACE_ADDRESSES, 0, 0, "", "");
    for (size_t i = 0; i < addresses.size() && i < names.size(); ++i) {
        message.textList.push_back(addresses[i]);
        message.textList.push_back(names[i]);
    }
    queueRequest(message);
}

}  // namespace

void GameHandler::startSession(const std::string& serverName, const std::string& userName) {
    // A lobby change ends with this login.
    if (connectionHandler != nullptr) connectionHandler->lobbyChangePending = false;
    ownUserNameConfirmed = false;
    // A login starts outside any table and replay, whatever the last connection left; the stroke
    // sent just before it dropped waits for nothing (leaveTable clears the waiting-for-shot flag).
    leaveTable();
    resetReplayData();
    replayTableSettingsPending = false;
    pendingReplayCommand.clear();
    lastStatusSequence = 0;
    showLastLobbyList = true;
    ownUserType = 0;
    tutorialWarningPending = true;

    forgetSession();
    sendInterfaceAddresses();
    sendVersion(*this, CLIENT_VERSION);
    runJavaScript(HtmlWindow::Lobby, "inbzSetVersion({version:\"" + escapeJsString(CLIENT_VERSION) + "\",});");

    // Both lists are read and the own name recorded in one read-change-write of the file. When the
    // file cannot be had at all the lists start empty and the own name is the whole list.
    std::string userList;
    std::string failedUserList;
    bool read = false;
    updatePrefsFile(prefPath, {"saveParamPrefs", false}, [&](KeyValueMap& map) {
        read = true;
        userList = getKeyValue(map, kUserListKey);
        failedUserList = getKeyValue(map, kFailedUserListKey);
        if (!addToUserList(userList, userName)) return false;
        setKeyValue(map, kUserListKey, userList);
        return true;
    });
    if (!read) addToUserList(userList, userName);
    sendLoginUserList(*this, userList, failedUserList);

    ownBioDataPending = true;
    sendBioDataReq(userName);
    resetAimingState(false);

    runJavaScript(HtmlWindow::Invites, "inbzInviteReset();");
    runJavaScript(HtmlWindow::BottomBox, "inbzInvitesEmpty();");
    runJavaScript(HtmlWindow::Lobby, "inbzInvitesEmpty();");
    runJavaScript(HtmlWindow::BottomBox, "inbzSetShowLiveAimingIfAvailable({ enabled:true });");
    runJavaScript(HtmlWindow::Replays, "inbzCleanUpAtStart();");
    loginTime = secondsSinceStart().seconds;
}

