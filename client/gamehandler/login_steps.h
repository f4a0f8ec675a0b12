// What a login's course does to the client, applied by the message drain on the main thread in
// order with the received messages: the connecting state, the start of play, the refusal and the
// end of a connection (with the second half of a lobby change).
#pragma once

#include "net/connection_handler.h"

#include <string>

class GameLoginSteps : public LoginStepHandler {
public:
    void loginConnecting(ConnectionHandler& handler) override;
    void loginCompleted(ConnectionHandler& handler) override;
    void loginRefused(ConnectionHandler& handler, const std::string& failedUser, bool current) override;
    void connectionEnded(ConnectionHandler& handler) override;
    void loginTimedOut(ConnectionHandler& handler) override;
};

// The Login page's answer to a login that did not reach the lobby: "connectionNotice({text:'LOBBY does
// not answer right now. Please try again in a moment.',lobby:'LOBBY'});". The page drops it once its
// list shows that lobby answering.
std::string lobbyUnansweredNotice(const std::string& lobby);

// The one instance the drain uses.
GameLoginSteps& gameLoginSteps();
