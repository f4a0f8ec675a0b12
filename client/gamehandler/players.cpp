#include "client/gamehandler/game_handler.h"

Player* SessionState::findPlayer(std::string_view nick) { return players.find(nick); }
