#include "client/gamehandler/login_steps.h"

#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/page_statements.h"
#include "client/gamehandler/requests.h"
#include "client/gamehandler/state_change.h"
#include "core/log.h"
#include "core/page_script.h"
#include "core/text.h"

#include <memory>

std::string lobbyUnansweredNotice(const std::string& lobby) {
    return "connectionNotice({text:" + jsQuoted(lobby + " does not answer right now. Please try again in a moment.") +
           ",lobby:" + jsQuoted(lobby) + "});";
}

GameLoginSteps& gameLoginSteps() {
    static GameLoginSteps steps;
    return steps;
}

void GameLoginSteps::loginConnecting(ConnectionHandler&) { changeState(STATE_CONNECTING); }

void GameLoginSteps::loginCompleted(ConnectionHandler& handler) {
    BZ_LOG(LOG_INFO, "loginSuccess",
           "Connected to server \"" << handler.serverName << "\" as \"" << handler.userName << "\"");
    // The session's requests and page resets come before the lobby appears.
    getGameHandler().startSession(handler.serverName, handler.userName);
    changeState(STATE_LOBBY);
    const std::string showName = "inbzInfoUserName({ userName: '" + escapeJsString(handler.userName) + "'});";
    runJavaScript(HtmlWindow::Lobby, showName);
    runJavaScript(HtmlWindow::BottomBox, showName);
    runJavaScript(HtmlWindow::Lobby,
                  "inbzSetStatus({flags:0});document.getElementById(\"main_chat_entries\").innerHTML = \"\"");
    sendUserFlagInfo(0, 7);
}

void GameLoginSteps::loginRefused(ConnectionHandler& handler, const std::string& failedUser, bool current) {
    BZ_LOG(LOG_ERROR, "loginFailed", "Login failed for: " << failedUser);
    getGameHandler().countFailedLogin(failedUser);
    // The user has already started another login; the form must not be reset under it.
    if (!current) return;
    runJavaScript(HtmlWindow::Login, "logout(); loginErrorNotice();");
    changeState(STATE_LOGIN);
    handler.lobbyChangePending = false;
}

void GameLoginSteps::connectionEnded(ConnectionHandler& handler) {
    BZ_LOG(LOG_ERROR, "disconnected", "Disconnected from server.");
    // Mends a lost session's Kred Box that opened at the login form (chat line, link and sound).
    getGameHandler().forgetSession();
    if (!handler.nextServerName.empty()) {
        // The second half of a lobby change: the Login page logs in to the next lobby shortly.
        runJavaScript(HtmlWindow::Login,
                      "setTimeout(    function() {        window.cefQuery({request: JSON.stringify({"
                      "            requestName: 'loginEnterLobby',            servername: '" +
                          escapeJsString(handler.nextServerName) + "',            username: '" +
                          escapeJsString(handler.userName) + "',            password: '" +
                          escapeJsString(handler.password) + "',            rememberme: " +
                          (handler.rememberMe ? "true" : "false") +
                          "            }),            persistent: false,"
                          "            onSuccess: function (response) {},"
                          "            onFailure: function (error_code, error_message) {}        });}, 100);");
        handler.nextServerName.clear();
        return;
    }
    if (handler.lobbyChangePending) {
        handler.lobbyChangePending = false;
        return;
    }
    // Mends a login form left showing the lost login as under way, its button disabled for good.
    // (A connection that a new login replaces ends in the login state, the form busy with that login.)
    const bool loginUnderWay = appState.load() == STATE_CONNECTING;
    if (appState.load() != STATE_LOGIN) runJavaScript(HtmlWindow::Login, "logout();");
    changeState(STATE_LOGIN);
    // Mends the press whose connect was refused, or whose lobby closed before answering the login,
    // that set the form back without a word. A login that timed out is told by the step that follows.
    const std::shared_ptr<Connection> ended = handler.currentConnection();
    if (loginUnderWay && !(ended && ended->handshakeTimedOut())) {
        runJavaScript(HtmlWindow::Login, lobbyUnansweredNotice(handler.serverName));
    }
}

void GameLoginSteps::loginTimedOut(ConnectionHandler& handler) {
    runJavaScript(HtmlWindow::Login, "connectionNotice({text:" + jsQuoted("No answer from " + handler.serverName +
                                                                           ": the connection was closed. Please try again.") +
                                         "});");
}
