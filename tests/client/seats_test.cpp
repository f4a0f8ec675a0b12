// Seats, roles and turn predicates.
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "net/connection_handler.h"

#include <gtest/gtest.h>

namespace {

class SeatsTest : public ::testing::Test {
protected:
    void SetUp() override {
        handler.userName = "Alice";
        connectionHandler = &handler;
        appState = STATE_TABLE;
    }
    void TearDown() override {
        connectionHandler = nullptr;
        appState = STATE_STARTUP;
    }

    void seat(int index, const std::string& nick) { gh.table.seats[index] = nick.empty() ? nullptr : gh.findPlayer(nick); }

    ConnectionHandler handler;
    GameHandler gh;
};

struct Row {
    const char* what;
    const char* seat0;
    const char* seat1;
    int gameState;
    int playerOn;
    bool myTurn, opponentsTurn, seated;
    int mySeatInPlay, mySeat;
};

TEST_F(SeatsTest, PredicatesFollowTheSeatsTheFrameAndTheTurn) {
    const Row rows[] = {
        {"my turn in seat 0", "Alice", "Bob", 1, 0, true, false, true, 0, 0},
        {"opponent's turn", "Alice", "Bob", 1, 1, false, true, true, 0, 0},
        {"seat 1, my turn", "Bob", "Alice", 1, 1, true, false, true, 1, 1},
        {"no frame in play", "Alice", "Bob", 0, 0, false, false, true, -1, 0},
        {"same user in both seats", "Alice", "Alice", 1, 1, true, true, true, 0, 0},
        {"case differs", "alice", "ALICE", 1, 0, false, false, false, -1, -1},
        {"watching", "Bob", "Carol", 1, 0, false, false, false, -1, -1},
        {"empty seats", "", "", 1, 0, false, false, false, -1, -1},
        {"bad playerOn", "Alice", "Bob", 1, 7, false, false, true, 0, 0},
    };
    for (const Row& r : rows) {
        seat(0, r.seat0);
        seat(1, r.seat1);
        gh.liveStatus->gameState = r.gameState;
        gh.liveStatus->playerOn = r.playerOn;
        EXPECT_EQ(gh.isMyTurn(), r.myTurn) << r.what;
        EXPECT_EQ(gh.isOpponentsTurn(), r.opponentsTurn) << r.what;
        EXPECT_EQ(gh.isMyTurnLive(), r.myTurn) << r.what;
        EXPECT_EQ(gh.amISeated(), r.seated) << r.what;
        EXPECT_EQ(gh.getMySeatInPlay(), r.mySeatInPlay) << r.what;
        EXPECT_EQ(gh.getMySeat(), r.mySeat) << r.what;
    }
}

TEST_F(SeatsTest, ReplaysTheLobbyAndAMissingConnectionMeanNotSeated) {
    seat(0, "Alice");
    seat(1, "Alice");
    gh.liveStatus->gameState = 1;
    gh.replayMode = true;
    EXPECT_FALSE(gh.isMyTurnLive());
    EXPECT_FALSE(gh.isOpponentsTurnLive());
    EXPECT_FALSE(gh.amISeated());
    EXPECT_TRUE(gh.isMyTurn());
    gh.replayMode = false;
    appState = STATE_LOBBY;
    EXPECT_FALSE(gh.amISeated());
    appState = STATE_GAME;
    EXPECT_TRUE(gh.amISeated());
    connectionHandler = nullptr;
    seat(0, "");
    EXPECT_FALSE(gh.amISeated());
    EXPECT_EQ(gh.getMySeat(), -1);
}

TEST_F(SeatsTest, MaxBreakByGameType) {
    const std::pair<int, int> table[] = {{1, 147}, {2, 107}, {3, 75}, {4, 51}, {5, 35}, {6, 210}, {0, 147}, {-3, 147}};
    for (auto [gameType, expected] : table) {
        gh.liveStatus->gameType = gameType;
        EXPECT_EQ(gh.maxBreak(), expected) << gameType;
    }
}

TEST_F(SeatsTest, ArezorsReadOnlyInsideTheStringAndNeverForFlag64Users) {
    EXPECT_EQ(gh.firstArezor(), -1);
    EXPECT_FALSE(gh.isArezorOn(7));
    gh.arezors = "0010001";
    EXPECT_EQ(gh.firstArezor(), 2);
    EXPECT_TRUE(gh.isArezorOn(2));
    EXPECT_TRUE(gh.isArezorOn(6));
    EXPECT_FALSE(gh.isArezorOn(7));
    EXPECT_FALSE(gh.isArezorOn(-1));
    gh.arezors = "000000000001";  // index 11 is beyond the ten powers
    EXPECT_EQ(gh.firstArezor(), -1);
    gh.arezors = "1";
    gh.ownUserType = 0x40;
    EXPECT_FALSE(gh.isArezorOn(0));
    EXPECT_TRUE(gh.hasOwnFlag64());
    Player flagged;
    flagged.userType = 0x41;
    EXPECT_TRUE(GameHandler::hasPlayerFlag64(&flagged));
    EXPECT_FALSE(GameHandler::hasPlayerFlag64(nullptr));
}

TEST_F(SeatsTest, PickVariantUsesTheLastReceivedIid) {
    handler.lastIncomingIid = 10;
    EXPECT_EQ(gh.pickVariant(3), 1u);
    handler.lastIncomingIid = 0xFFFFFFFFu;
    EXPECT_EQ(gh.pickVariant(2), 1u);
    EXPECT_EQ(gh.pickVariant(0), 0u);
}

TEST_F(SeatsTest, BetaLobbyPlayerNeedsASeatThereOrBothSeatsElsewhere) {
    gh.liveStatus->gameState = 1;
    seat(0, "Alice");
    seat(1, "Bob");
    gh.lobbyName = "Beta Development Lobby";
    gh.checkBetaLobby();
    EXPECT_TRUE(gh.betaLobbyPlayer);
    gh.lobbyName = "Players Lounge";
    gh.checkBetaLobby();
    EXPECT_FALSE(gh.betaLobbyPlayer);
    seat(1, "Alice");
    gh.checkBetaLobby();
    EXPECT_TRUE(gh.betaLobbyPlayer);
    gh.liveStatus->gameState = 0;
    gh.inTutorial = true;  // left alone during a lesson
    gh.checkBetaLobby();
    EXPECT_TRUE(gh.betaLobbyPlayer);
    gh.inTutorial = false;
    gh.checkBetaLobby();
    EXPECT_FALSE(gh.betaLobbyPlayer);
}

}  // namespace
