// The users the server names, one Player each, found by nick in constant time. The table's seats,
// people list and live status point at these records, so a record keeps its address while it is
// kept; chat lines and panels name users by nick and look them up again. A sweep forgets the users
// whom nothing names any more, so that a lobby whose users come and go all evening does not make
// every lookup and every user list dearer.
#pragma once

#include "physics/player.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class PlayerRegistry {
public:
    // The Player of the nick without one leading "-" (an empty nick stays empty), created on first
    // lookup; never null.
    Player* find(std::string_view nick);
    // The kept Player of exactly this key, or null; creates nothing.
    const Player* lookup(std::string_view key) const;
    // Forgets every Player that was not looked up since the previous sweep and is not in `held`;
    // pointers to the others stay valid. Returns how many were forgotten.
    size_t sweep(const std::vector<const Player*>& held);

    size_t size() const { return byNick_.size(); }
    bool empty() const { return byNick_.empty(); }

private:
    struct Entry {
        std::unique_ptr<Player> player;
        uint64_t lastSweep = 0;  // the sweep count when it was last looked up or held
    };
    // Each key views its own record's nick, which never changes.
    std::unordered_map<std::string_view, Entry> byNick_;
    uint64_t sweeps_ = 0;
};
