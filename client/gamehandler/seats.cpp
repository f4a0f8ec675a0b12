#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "net/connection_handler.h"

namespace {

const std::string kNoNick;

const char* const kBetaLobby = "Beta Development Lobby";

}  // namespace

const std::string& TableState::ownNick() const {
    return connectionHandler != nullptr ? connectionHandler->userName : kNoNick;
}

bool TableState::seatHoldsMe(int seat) const {
    const Player* player = table.getPlayer(seat);
    return player != nullptr && connectionHandler != nullptr && player->nick == ownNick();
}

bool TableState::isInPlay() const { return liveStatus->gameState == 1; }

bool TableState::isMyTurn() const {
    const int on = liveStatus->playerOn;
    return isInPlay() && (on == 0 || on == 1) && seatHoldsMe(on);
}

bool TableState::isOpponentsTurn() const {
    const int on = liveStatus->playerOn;
    return isInPlay() && (on == 0 || on == 1) && seatHoldsMe(1 - on);
}

bool GameHandler::isMyTurnLive() const { return !replayMode && isMyTurn(); }

bool GameHandler::isOpponentsTurnLive() const { return !replayMode && isOpponentsTurn(); }

bool GameHandler::amISeated() const {
    return !replayMode && isTableState(appState.load()) && (seatHoldsMe(0) || seatHoldsMe(1));
}

int TableState::getMySeatInPlay() const { return isInPlay() ? getMySeat() : -1; }

int TableState::getMySeat() const {
    if (seatHoldsMe(0)) return 0;
    if (seatHoldsMe(1)) return 1;
    return -1;
}

bool TableState::hasPlayerFlag64(const Player* player) { return player != nullptr && (player->userType & 0x40) != 0; }

int TableState::maxBreak() const {
    switch (liveStatus->gameType) {
        case 2: return 107;
        case 3: return 75;
        case 4: return 51;
        case 5: return 35;
        case 6: return 210;
        default: return 147;
    }
}

unsigned TableState::pickVariant(unsigned n) const {
    if (n == 0) return 0;
    const unsigned iid = connectionHandler != nullptr ? connectionHandler->lastIncomingIid.load() : 0;
    return iid % n;
}

int SessionState::firstArezor() const {
    for (int i = 0; i < 10 && i < static_cast<int>(arezors.size()); ++i) {
        if (arezors[i] == '1') return i;
    }
    return -1;
}

bool SessionState::isArezorOn(int n) const {
    if (hasOwnFlag64()) return false;
    return n >= 0 && n < static_cast<int>(arezors.size()) && arezors[n] == '1';
}

void GameHandler::checkBetaLobby() {
    if (inTutorial) return;
    const bool inPlay = isInPlay();
    if (lobbyName == kBetaLobby) {
        betaLobbyPlayer = inPlay && (seatHoldsMe(0) || seatHoldsMe(1));
    } else {
        betaLobbyPlayer = inPlay && seatHoldsMe(0) && seatHoldsMe(1);
    }
}

void PanelsState::closeReplays() { replaysPanel.visible = false; }

void PanelsState::setChatTextEmpty(bool empty) { chatTextEmpty = empty; }
