// What a login's course does to the client, applied by the message drain on the main thread in
// order with the received messages: the connecting state, the start of play, the refusal and the
// end of a connection (with the second half of a lobby change).
#pragma once

#include "net/connection_handler.h"

class GameLoginSteps : public LoginStepHandler {
public:
    void loginConnecting(ConnectionHandler& handler) override;
    void loginCompleted(ConnectionHandler& handler) override;
    void loginRefused(ConnectionHandler& handler, const std::string& failedUser, bool current) override;
    void connectionEnded(ConnectionHandler& handler) override;
    void loginTimedOut(ConnectionHandler& handler) override;
};

// The one instance the drain uses.
GameLoginSteps& gameLoginSteps();
