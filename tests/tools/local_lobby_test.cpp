// The local lobby's table rules, spoken to directly as the server's session hook: seat order,
// practice refused at a table someone else holds, and strokes only from the player on turn.
#include "tools/testserver/local_lobby.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

class Lobby {
public:
    LocalLobby lobby{"Players Lounge"};

    std::vector<OutgoingMessage> say(int connection, const Message& message) {
        return lobby.onMessage(connection, names_.at(connection), message);
    }
    // Logs in, takes the greeting and sits at table 1.
    void sitDown(int connection, const std::string& name) {
        names_[connection] = name;
        say(connection, Message(MessageId::LOGIN_OK));
        Message enter(MessageId::ENTER_TABLE_REQ, 1);
        enter.tableId = 1;
        say(connection, enter);
        say(connection, Message(MessageId::PLAY_TABLE_REQ, 2));
    }

private:
    std::map<int, std::string> names_;
};

Message tableEvent(TableEvent e) {
    Message m(MessageId::TABLE_EVENT, 9);
    m.events.push_back(std::move(e));
    return m;
}

Message startInfo(StartInfo kind, int value = 0) {
    TableEvent e(TableEventType::START_INFO);
    e.startInfo = kind;
    e.value = value;
    return tableEvent(e);
}

const TableEvent* findEvent(const std::vector<OutgoingMessage>& out, TableEventType type, int connection) {
    for (const OutgoingMessage& m : out) {
        if (m.connection != connection) continue;
        for (const TableEvent& e : m.message.events)
            if (e.type == type) return &e;
    }
    return nullptr;
}

// A player cannot pass a line off as the server's notice: classes other than user chat carry
// markup that the client shows as it is.
TEST(LocalLobbyTest, ChatIsRelayedAsUserChatWhateverClassTheSenderChose) {
    Lobby lobby;
    lobby.sitDown(1, "Ada");
    lobby.sitDown(2, "Cy");
    for (int chatClass : {1, 2, 6, 7, 12, 65535}) {
        for (uint16_t toTable : {0, 1}) {
            Message chat = Message::initChat(5, toTable, static_cast<ChatClass>(chatClass), 0, "Server", 0,
                                             "<img src=x onerror=alert(1)>", "", "", "", "");
            const auto out = lobby.say(1, chat);
            ASSERT_FALSE(out.empty()) << chatClass;
            for (const OutgoingMessage& m : out) {
                EXPECT_EQ(m.message.chatClass, ChatClass::CHAT) << chatClass;
                EXPECT_EQ(m.message.sender, "Ada") << chatClass;
            }
        }
    }
}

TEST(LocalLobbyTest, TheFirstToLogInHoldsSeatOneWhoeverSitsFirst) {
    Lobby l;
    l.sitDown(0, "early");  // logs in first, but only looks on for now
    l.say(0, Message(MessageId::STOP_PLAY_TABLE_REQ, 3));
    l.sitDown(1, "late");
    const auto out = l.say(0, Message(MessageId::PLAY_TABLE_REQ, 4));
    auto seats = std::find_if(out.begin(), out.end(),
                              [](const OutgoingMessage& m) { return m.message.id == MessageId::PLAY_TABLE_INFO; });
    ASSERT_NE(seats, out.end());
    EXPECT_EQ(seats->message.player1, "early");
    EXPECT_EQ(seats->message.player2, "late");
}

TEST(LocalLobbyTest, EnteringATableWithoutAFrameTellsTheEntrantThatNoneIsInPlay) {
    Lobby l;
    l.sitDown(0, "ann");
    l.lobby.onMessage(1, "bob", Message(MessageId::LOGIN_OK));
    Message enter(MessageId::ENTER_TABLE_REQ, 1);
    enter.tableId = 1;
    const auto out = l.lobby.onMessage(1, "bob", enter);
    const TableEvent* status = findEvent(out, TableEventType::GAME_STATUS, 1);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->status().gameState, 0);
    EXPECT_EQ(status->status().players, (std::array<std::string, 2>{"ann", ""}));
    EXPECT_EQ(findEvent(out, TableEventType::GAME_STATUS, 0), nullptr);  // only to the one who entered
}

TEST(LocalLobbyTest, PracticeNeedsTheSeatsToOneself) {
    Lobby l;
    l.sitDown(0, "ann");
    l.sitDown(1, "bob");
    Message single = Message::initChat(5, 1, ChatClass::CHAT, 0, "", 1, "/single", "", "", "", "");
    EXPECT_TRUE(l.say(0, single).empty());
    l.say(1, Message(MessageId::STOP_PLAY_TABLE_REQ, 6));
    const auto out = l.say(0, single);
    const TableEvent* start = findEvent(out, TableEventType::START_INFO, 0);
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->startInfo, StartInfo::STARTED_AFTER_COIN_TOSS);
    const TableEvent* status = findEvent(out, TableEventType::GAME_STATUS, 1);  // bob still looks on
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->status().players, (std::array<std::string, 2>{"ann", "ann"}));
    // The breaker's cue ball lies in the D, where a cue can reach it.
    const BallState& cue = status->balls()[0];
    EXPECT_TRUE(cue.onTable);
    EXPECT_GT(cue.x, 1047.5);
    EXPECT_LT(std::hypot(cue.x - 1047.5, cue.z), 292.0);
}

TEST(LocalLobbyTest, OnlyThePlayerOnTurnStrokesAndEveryStrokeIsAnsweredWithAStatus) {
    Lobby l;
    l.sitDown(0, "ann");
    l.sitDown(1, "bob");
    EXPECT_EQ(findEvent(l.say(0, startInfo(StartInfo::START_REQUESTED)), TableEventType::START_INFO, 1)->value, 0);
    const auto toss = l.say(1, startInfo(StartInfo::START_REQUESTED));
    const TableEvent* coin = nullptr;
    for (const OutgoingMessage& m : toss)
        for (const TableEvent& e : m.message.events)
            if (e.startInfo == StartInfo::COIN_TOSS) coin = &e;
    ASSERT_NE(coin, nullptr);
    const int winner = coin->value;
    // Only the winner of the toss may say who breaks: the winner lets the other break.
    EXPECT_TRUE(l.say(1 - winner, startInfo(StartInfo::STARTED_AFTER_COIN_TOSS, 1 - winner)).empty());
    const auto started = l.say(winner, startInfo(StartInfo::STARTED_AFTER_COIN_TOSS, 1 - winner));
    const TableEvent* first = findEvent(started, TableEventType::GAME_STATUS, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->status().playerOn, 1 - winner);
    EXPECT_EQ(first->status().gameState, 1);

    TableEvent shot(TableEventType::SHOT);
    shot.aim = AimParameters{180, 40, 0, 0, 0};
    EXPECT_TRUE(l.say(winner, tableEvent(shot)).empty());
    const auto played = l.say(1 - winner, tableEvent(shot));
    EXPECT_NE(findEvent(played, TableEventType::SHOT, winner), nullptr);
    const TableEvent* after = findEvent(played, TableEventType::GAME_STATUS, winner);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->status().playerOn, winner);
    EXPECT_EQ(after->status().frameScore[winner], 4);
    // The status goes out under a newer number than the stroke it answers.
    uint32_t shotIid = 0, statusIid = 0;
    for (const OutgoingMessage& m : played) {
        if (m.connection != winner) continue;
        for (const TableEvent& e : m.message.events)
            (e.type == TableEventType::SHOT ? shotIid : statusIid) = m.message.iid;
    }
    EXPECT_GT(statusIid, shotIid);
}

}  // namespace
