// The player registry: records keep their address while the registry grows and sweeps, and a
// sweep forgets only the players nobody looked up or holds.
#include "client/gamehandler/player_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(PlayerRegistry, ARecordKeepsItsAddressWhileTheRegistryGrowsAndSweeps) {
    PlayerRegistry registry;
    Player* ann = registry.find("Ann");
    ann->rating = 1500;
    for (int wave = 0; wave < 5; ++wave) {
        for (int i = 0; i < 2000; ++i) registry.find("guest" + std::to_string(wave) + "_" + std::to_string(i));
        registry.find("-Ann");
        registry.sweep({});
    }
    EXPECT_EQ(registry.find("Ann"), ann);
    EXPECT_EQ(ann->rating, 1500u);
    EXPECT_EQ(registry.size(), 2001u);  // Ann and the last wave, looked up since the sweep before
    registry.sweep({});
    EXPECT_EQ(registry.size(), 1u);
    EXPECT_EQ(registry.lookup("guest4_0"), nullptr);
}

TEST(PlayerRegistry, ASweepKeepsTheHeldAndWhatWasLookedUpSinceTheLastOne) {
    PlayerRegistry registry;
    Player* held = registry.find("Bob");
    held->currentCue = 7;
    registry.find("Carol");
    registry.sweep({});  // both were looked up since the start
    Player* dave = registry.find("Dave");
    EXPECT_EQ(registry.sweep({held, nullptr}), 1u);  // Carol
    EXPECT_EQ(registry.lookup("Bob"), held);
    EXPECT_EQ(registry.lookup("Dave"), dave);
    EXPECT_EQ(registry.lookup("Carol"), nullptr);

    // Dave, not looked up since, goes now; found again, he is a new record with the first values.
    dave->rating = 1800;
    registry.sweep({held});
    EXPECT_EQ(registry.lookup("Dave"), nullptr);
    EXPECT_EQ(registry.find("Dave")->rating, 1200u);
    EXPECT_EQ(held->currentCue, 7);
}

}  // namespace
