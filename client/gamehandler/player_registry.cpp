#include "client/gamehandler/player_registry.h"

#include "core/log.h"

#include <iterator>

Player* PlayerRegistry::find(std::string_view nick) {
    // Seat names may carry a leading "-"; the registry keys on the nick without it.
    std::string_view key = nick;
    if (!key.empty() && key.front() == '-') key.remove_prefix(1);
    if (auto it = byNick_.find(key); it != byNick_.end()) {
        it->second.lastSweep = sweeps_;
        return it->second.player.get();
    }
    auto created = std::make_unique<Player>();
    created->nick = std::string(key);
    Player* player = created.get();
    byNick_.emplace(std::string_view(player->nick), Entry{std::move(created), sweeps_});
    BZ_LOG(LOG_INFO, "findPlayer", "Created new Player object for " << player->nick);
    return player;
}

const Player* PlayerRegistry::lookup(std::string_view key) const {
    const auto it = byNick_.find(key);
    return it == byNick_.end() ? nullptr : it->second.player.get();
}

size_t PlayerRegistry::sweep(const std::vector<const Player*>& held) {
    for (const Player* player : held) {
        if (player == nullptr) continue;
        const auto it = byNick_.find(player->nick);
        if (it != byNick_.end() && it->second.player.get() == player) it->second.lastSweep = sweeps_;
    }
    size_t forgotten = 0;
    for (auto it = byNick_.begin(); it != byNick_.end();) {
        if (it->second.lastSweep == sweeps_) {
            ++it;
        } else {
            it = byNick_.erase(it);
            ++forgotten;
        }
    }
    ++sweeps_;
    return forgotten;
}
