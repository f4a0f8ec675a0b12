#include "ui/login_requests.h"

#include "client/gamehandler/game_handler.h"
#include "core/log.h"
#include "net/connection_handler.h"

void loginEnterLobby(const std::string& serverName, const std::string& userName, const std::string& password,
                     bool rememberMe) {
    GameHandler& gameHandler = getGameHandler();
    if (serverName == "-") {
        gameHandler.showSavedCredentials();
        return;
    }
    if (serverName.empty()) {
        if (rememberMe) {
            gameHandler.saveCredentials(userName, password);
        } else {
            gameHandler.forgetCredentials(userName);
        }
        return;
    }
    if (connectionHandler == nullptr) {
        BZ_LOG(LOG_ERROR, "loginEnterLobby", "No connection handler");
        return;
    }
    if (connectionHandler->isConnected()) return;
    connectionHandler->clearOutgoing();
    connectionHandler->startThreads();
    // The handler sends the status request itself, under the stream's first key.
    connectionHandler->connectToServer(serverName, userName, password, rememberMe);
}
