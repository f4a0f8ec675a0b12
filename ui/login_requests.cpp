#include "ui/login_requests.h"

#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/login_steps.h"
#include "client/gamehandler/page_statements.h"
#include "client/gamehandler/state_change.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "core/log.h"
#include "net/connection_handler.h"

const char* const kAlreadyConnectedNotice = "Connection request when the connection is already alive";

void loginEnterLobby(const std::string& serverName, const std::string& userName, const std::string& password,
                     bool rememberMe) {
    // The password never reaches the log, whatever its length.
    BZ_LOG(LOG_INFO, "loginEnterLobby", serverName << " " << userName << " ***** " << (rememberMe ? 1 : 0));
    GameHandler& gameHandler = getGameHandler();
    if (serverName.empty()) {
        if (rememberMe) {
            gameHandler.saveCredentials(userName, password);
        } else {
            gameHandler.forgetCredentials(userName);
        }
        return;
    }
    if (serverName == "-") {
        gameHandler.showSavedCredentials();
        return;
    }
    if (connectionHandler == nullptr) {
        BZ_LOG(LOG_ERROR, "loginEnterLobby", "No connection handler");
        return;
    }
    if (connectionHandler->isConnected()) {
        // The live connection, its threads and its queues stay as they are; the player is told
        // why nothing happens.
        BZ_LOG(LOG_INFO, "loginEnterLobby", kAlreadyConnectedNotice);
        // Where the login form takes input the chat is not shown: the form says it.
        if (appState.load() <= STATE_CONNECTING) {
            runJavaScript(HtmlWindow::Login, std::string("connectionNotice({text:") + jsQuoted(kAlreadyConnectedNotice) + "});");
        } else {
            gameHandler.showLocalNotice(kAlreadyConnectedNotice, gameHandler.table.getId());
        }
        return;
    }
    connectionHandler->clearOutgoing();
    connectionHandler->startThreads();
    // The handler sends the status request itself, under the stream's first key, before either
    // thread can see the new connection.
    if (connectionHandler->connectToServer(serverName, userName, password, rememberMe)) return;
    // Mends the login form left on "Connecting…" for good (and a lobby change left in a lobby with
    // no connection) when the lobby chosen has stopped answering since the list was shown.
    BZ_LOG(LOG_INFO, "loginEnterLobby", serverName << " is not among the lobbies that answer");
    if (appState.load() > STATE_CONNECTING) {
        connectionHandler->lobbyChangePending = false;
        runJavaScript(HtmlWindow::Login, "logout();");
        changeState(STATE_LOGIN);
    }
    runJavaScript(HtmlWindow::Login, lobbyUnansweredNotice(serverName));
}
