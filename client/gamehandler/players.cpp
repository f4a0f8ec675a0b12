#include "client/gamehandler/game_handler.h"
#include "core/log.h"

Player* SessionState::findPlayer(const std::string& nick) {
    // Seat names may carry a leading "-"; the registry keys on the nick without it.
    const std::string key = !nick.empty() && nick[0] == '-' ? nick.substr(1) : nick;
    for (const std::unique_ptr<Player>& player : players) {
        if (player->nick == key) return player.get();
    }
    auto created = std::make_unique<Player>();
    created->nick = key;
    players.push_back(std::move(created));
    BZ_LOG(LOG_INFO, "findPlayer", "Created new Player object for " << key);
    return players.back().get();
}
