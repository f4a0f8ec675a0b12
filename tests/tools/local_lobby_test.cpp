// The local lobby's table rules, spoken to directly as the server's session hook: seat order,
// practice refused at a table someone else holds, and strokes only from the player on turn.
#include "tools/testserver/local_lobby.h"

#include "physics/ball.h"

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

// The coin toss among what the lobby sent, or null.
static const TableEvent* coinToss(const std::vector<OutgoingMessage>& out) {
    for (const OutgoingMessage& m : out)
        for (const TableEvent& e : m.message.events)
            if (e.startInfo == StartInfo::COIN_TOSS) return &e;
    return nullptr;
}

TEST(LocalLobbyTest, OnlyThePlayerOnTurnStrokesAndEveryStrokeIsAnsweredWithAStatus) {
    Lobby l;
    l.sitDown(0, "ann");
    l.sitDown(1, "bob");
    EXPECT_EQ(findEvent(l.say(0, startInfo(StartInfo::START_REQUESTED)), TableEventType::START_INFO, 1)->value, 0);
    const auto toss = l.say(1, startInfo(StartInfo::START_REQUESTED));
    const TableEvent* coin = coinToss(toss);
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

namespace {

Message chat(const std::string& text) { return Message::initChat(5, 1, ChatClass::CHAT, 0, "", 1, text, "", "", "", ""); }

// The messages of one id that went to a connection.
std::vector<Message> sentTo(const std::vector<OutgoingMessage>& out, int connection, MessageId id) {
    std::vector<Message> found;
    for (const OutgoingMessage& m : out)
        if (m.connection == connection && m.message.id == id) found.push_back(m.message);
    return found;
}

const Message* info(const std::vector<OutgoingMessage>& out, int connection, InfoCode code) {
    for (const OutgoingMessage& m : out)
        if (m.connection == connection && m.message.id == MessageId::INFO && m.message.infoCode == static_cast<int32_t>(code))
            return &m.message;
    return nullptr;
}

// Two players at table 1 in a frame that ann breaks.
void startTwoPlayerFrame(Lobby& l) {
    l.sitDown(0, "ann");
    l.sitDown(1, "bob");
    l.say(0, startInfo(StartInfo::START_REQUESTED));
    const auto toss = l.say(1, startInfo(StartInfo::START_REQUESTED));
    const TableEvent* coin = coinToss(toss);
    ASSERT_NE(coin, nullptr);
    const int winner = coin->value;
    l.say(winner, startInfo(StartInfo::STARTED_AFTER_COIN_TOSS, 0));
}

// The last game status a connection received, and the number of its message.
const TableEvent* lastStatus(const std::vector<OutgoingMessage>& out, int connection, uint32_t* iid = nullptr) {
    const TableEvent* found = nullptr;
    for (const OutgoingMessage& m : out) {
        if (m.connection != connection) continue;
        for (const TableEvent& e : m.message.events)
            if (e.type == TableEventType::GAME_STATUS) {
                found = &e;
                if (iid) *iid = m.message.iid;
            }
    }
    return found;
}

TEST(LocalLobbyTest, ListsAreWholeNumberedAndKeepTheSeatedOutOfTheViewers) {
    Lobby l;
    l.sitDown(0, "ann");
    const auto out = l.say(0, Message(MessageId::STOP_PLAY_TABLE_REQ, 3));
    const auto lists = sentTo(out, 0, MessageId::TABLE_LIST_INFO);
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0].tables.size(), 4u);
    EXPECT_GT(lists[0].iid, 0u);
    EXPECT_EQ(lists[0].tables[0].viewers, std::vector<std::string>{"ann"});  // looks on again
    const auto seated = sentTo(l.say(0, Message(MessageId::PLAY_TABLE_REQ, 4)), 0, MessageId::TABLE_LIST_INFO);
    ASSERT_EQ(seated.size(), 1u);
    EXPECT_GT(seated[0].iid, lists[0].iid);
    EXPECT_EQ(seated[0].tables[0].player1, "ann");
    EXPECT_TRUE(seated[0].tables[0].viewers.empty());
    // The Online tab says where everyone is, and the status answer counts the users.
    const auto stood = l.say(0, Message(MessageId::STOP_PLAY_TABLE_REQ, 5));
    const Message* online = info(stood, 0, InfoCode::USER_INFO);
    ASSERT_NE(online, nullptr);
    EXPECT_EQ(online->textList, (std::vector<std::string>{"ann", "0", "0", "1", "0", "0", "0", "0", "0", "0",
                                                          "Players Lounge", "1", "viewer", "0", "@END@"}));
    EXPECT_EQ(l.lobby.serverConfig().currentUsersNow(), 1u);
}

TEST(LocalLobbyTest, AConcedeOrALeavingPlayerGivesTheFrameToTheOtherSeatUnderANewerNumber) {
    for (bool leaves : {false, true}) {
        SCOPED_TRACE(leaves ? "ann leaves" : "ann concedes");
        Lobby l;
        ASSERT_NO_FATAL_FAILURE(startTwoPlayerFrame(l));
        TableEvent concede(TableEventType::FRAME_CONCEDED);
        const auto out = leaves ? l.say(0, Message(MessageId::EXIT_TABLE_REQ, 7)) : l.say(0, tableEvent(concede));
        uint32_t iid = 0;
        const TableEvent* status = lastStatus(out, 1, &iid);
        ASSERT_NE(status, nullptr) << "bob was not told";
        EXPECT_EQ(status->status().gameState, 0);
        EXPECT_EQ(status->status().frameWonBy, 1);
        EXPECT_EQ(status->status().framesWon, (std::array<int32_t, 2>{0, 1}));
        EXPECT_GT(iid, 5000u);
        const auto lists = sentTo(out, 1, MessageId::TABLE_LIST_INFO);
        ASSERT_FALSE(lists.empty());
        EXPECT_EQ(lists.back().tables[0].gameState, 0u);
        if (leaves) {
            // bob, seated and so no viewer, learns of the empty seat from the seats.
            const auto seats = sentTo(out, 1, MessageId::STOP_PLAY_TABLE_INFO);
            ASSERT_EQ(seats.size(), 1u);
            EXPECT_EQ(seats[0].player1, "bob");
            EXPECT_EQ(seats[0].player2, "");
        }
    }
}

TEST(LocalLobbyTest, OneWhoEntersAfterTheFrameSeesNoResultOfIt) {
    Lobby l;
    ASSERT_NO_FATAL_FAILURE(startTwoPlayerFrame(l));
    l.say(0, tableEvent(TableEvent(TableEventType::FRAME_CONCEDED)));
    l.say(1, Message(MessageId::EXIT_TABLE_REQ, 8));
    Message enter(MessageId::ENTER_TABLE_REQ, 9);
    enter.tableId = 1;
    const auto entered = l.say(1, enter);
    const TableEvent* status = lastStatus(entered, 1);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->status().gameState, 0);
    EXPECT_EQ(status->status().frameWonBy, -1);
    EXPECT_EQ(status->status().framesWon, (std::array<int32_t, 2>{0, 0}));
    EXPECT_EQ(status->status().frameScore, (std::array<int32_t, 2>{0, 0}));
    EXPECT_EQ(status->status().players, (std::array<std::string, 2>{"ann", ""}));
}

TEST(LocalLobbyTest, AbortAndRerackNeedTheOtherPlayersYesUnlessAlone) {
    Lobby l;
    ASSERT_NO_FATAL_FAILURE(startTwoPlayerFrame(l));
    const auto asked = l.say(0, tableEvent(TableEvent(TableEventType::ABORT_REQUESTED)));
    EXPECT_NE(findEvent(asked, TableEventType::ABORT_REQUESTED, 1), nullptr);
    EXPECT_EQ(lastStatus(asked, 1), nullptr);
    const auto agreed = l.say(1, tableEvent(TableEvent(TableEventType::ABORT_ACCEPTED)));
    ASSERT_NE(findEvent(agreed, TableEventType::ABORT_ACCEPTED, 0), nullptr);
    ASSERT_NE(lastStatus(agreed, 0), nullptr);
    EXPECT_EQ(lastStatus(agreed, 0)->status().gameState, 0);
    EXPECT_EQ(lastStatus(agreed, 0)->status().frameWonBy, -1);
    EXPECT_TRUE(l.lobby.replays().frames().empty());  // an aborted frame is not kept

    // Alone: "/lineup 10" and a rerack lay the reds on the line from the blue to the pink at once.
    Lobby p;
    p.sitDown(0, "cy");
    p.say(0, Message(MessageId::STOP_PLAY_TABLE_REQ, 3));
    p.say(0, chat("/single"));
    p.say(0, chat("/lineup 10"));
    const auto racked = p.say(0, tableEvent(TableEvent(TableEventType::RERACK_REQUESTED)));
    ASSERT_NE(findEvent(racked, TableEventType::RERACK_ACCEPTED, 0), nullptr);
    const TableEvent* rack = lastStatus(racked, 0);
    ASSERT_NE(rack, nullptr);
    EXPECT_EQ(rack->status().gameState, 1);
    const auto& balls = rack->balls();
    const double lo = std::min(balls[BALL_BLUE].x, balls[BALL_PINK].x), hi = std::max(balls[BALL_BLUE].x, balls[BALL_PINK].x);
    for (int i = BALL_FIRST_RED; i <= BALL_LAST_RED; ++i) {
        EXPECT_TRUE(balls[i].onTable);
        EXPECT_GT(balls[i].x, lo);
        EXPECT_LT(balls[i].x, hi);
        EXPECT_DOUBLE_EQ(balls[i].z, balls[BALL_BLUE].z);
        if (i > BALL_FIRST_RED) {
            EXPECT_GE(std::fabs(balls[i].x - balls[i - 1].x), 52.5) << "reds " << i - 1 << " and " << i;
        }
    }
    // The line-up stays for the next rerack, with no new choice.
    const auto reracked = p.say(0, tableEvent(TableEvent(TableEventType::RERACK_REQUESTED)));
    const TableEvent* again = lastStatus(reracked, 0);
    ASSERT_NE(again, nullptr);
    for (int i = BALL_FIRST_RED; i <= BALL_LAST_RED; ++i) EXPECT_DOUBLE_EQ(again->balls()[i].z, balls[BALL_BLUE].z) << i;
    const auto aborted = p.say(0, tableEvent(TableEvent(TableEventType::ABORT_REQUESTED)));
    ASSERT_NE(lastStatus(aborted, 0), nullptr);
    EXPECT_EQ(lastStatus(aborted, 0)->status().gameState, 0);
}

TEST(LocalLobbyTest, PlayedFramesAreFoundAndSentAsReplays) {
    Lobby l;
    l.lobby.setRedsInRack(3);
    l.sitDown(0, "ann");
    l.say(0, Message(MessageId::STOP_PLAY_TABLE_REQ, 3));
    const auto started = l.say(0, chat("/single"));
    int reds = 0;
    for (int i = BALL_FIRST_RED; i <= BALL_LAST_RED; ++i) reds += lastStatus(started, 0)->balls()[i].onTable ? 1 : 0;
    EXPECT_EQ(reds, 3);
    const Message* stats = info(started, 0, InfoCode::MATCH_STATS_INFO);
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->textList, (std::vector<std::string>{"ann", "ann"}));
    TableEvent shot(TableEventType::SHOT);
    shot.aim = AimParameters{180, 40, 0, 0, 0};
    l.say(0, tableEvent(shot));
    TableEvent concede(TableEventType::FRAME_CONCEDED);
    const auto over = l.say(0, tableEvent(concede));
    ASSERT_EQ(l.lobby.replays().frames().size(), 1u);
    // Practice over, the player holds one seat again and may start another.
    const auto seats = sentTo(over, 0, MessageId::STOP_PLAY_TABLE_INFO);
    ASSERT_EQ(seats.size(), 1u);
    EXPECT_EQ(seats[0].player1, "ann");
    EXPECT_EQ(seats[0].player2, "");

    Message search = Message::initInfo(10, InfoCode::REPLAY_LIST_REQ, 1, 0, "AN", "");
    const auto answer = l.say(0, search);
    const Message* found = info(answer, 0, InfoCode::INFO_CODE_REPLAY_SEARCH_DATA);
    ASSERT_NE(found, nullptr);
    EXPECT_NE(found->textA.find(R"("objid":"f/1.1")"), std::string::npos) << found->textA;
    search.textA = "zed";
    EXPECT_EQ(info(l.say(0, search), 0, InfoCode::INFO_CODE_REPLAY_SEARCH_DATA)->textA, "[]");

    const auto sent = l.say(0, chat("/replay frame 1 1"));
    const Message* replay = info(sent, 0, InfoCode::REPLAY_INFO);
    ASSERT_NE(replay, nullptr);
    EXPECT_EQ(replay->valueA, 2);
    EXPECT_EQ(replay->valueB, 3);
    EXPECT_EQ(replay->textA.rfind("v 1 t 2 s p ann ann i ", 0), 0u) << replay->textA;
    const auto unknown = l.say(0, chat("/replay frame 9 1"));
    EXPECT_EQ(info(unknown, 0, InfoCode::REPLAY_INFO), nullptr);
    EXPECT_EQ(sentTo(unknown, 0, MessageId::CHAT_MESSAGE).size(), 1u);
}


// Every event of a type that reached a connection, in order.
std::vector<const TableEvent*> eventsOf(const std::vector<OutgoingMessage>& out, int connection, TableEventType type) {
    std::vector<const TableEvent*> found;
    for (const OutgoingMessage& m : out)
        if (m.connection == connection)
            for (const TableEvent& e : m.message.events)
                if (e.type == type) found.push_back(&e);
    return found;
}

TableEvent event(TableEventType type, int ball = 0, double x = 0, double z = 0) {
    TableEvent e(type);
    e.ball = ball;
    e.ballValues[0] = x;
    e.ballValues[1] = z;
    return e;
}

// ann breaks and fouls (the cue ball runs into the baulk cushion): bob is on turn, 4 up.
void foulByTheBreaker(Lobby& l) {
    ASSERT_NO_FATAL_FAILURE(startTwoPlayerFrame(l));
    TableEvent shot(TableEventType::SHOT);
    shot.aim = AimParameters{180, 40, 0, 0, 0};
    const auto played = l.say(0, tableEvent(shot));
    const TableEvent* after = lastStatus(played, 1);
    ASSERT_NE(after, nullptr);
    ASSERT_TRUE(after->status().foul);
    ASSERT_EQ(after->status().playerOn, 1);
}

TEST(LocalLobbyTest, SittingAgainAfterAFrameOffersBothPlayersTheStart) {
    Lobby l;
    ASSERT_NO_FATAL_FAILURE(startTwoPlayerFrame(l));
    l.say(0, tableEvent(TableEvent(TableEventType::FRAME_CONCEDED)));
    l.say(1, Message(MessageId::STOP_PLAY_TABLE_REQ, 3));
    const auto sat = l.say(1, Message(MessageId::PLAY_TABLE_REQ, 4));
    for (int connection : {0, 1}) {
        const TableEvent* status = lastStatus(sat, connection);
        ASSERT_NE(status, nullptr) << connection;
        EXPECT_EQ(status->status().gameState, 0);
        EXPECT_EQ(status->status().startInfo, 0);
        EXPECT_EQ(status->status().players, (std::array<std::string, 2>{"ann", "bob"}));
    }
    // A start asked for is told to one who comes to the table.
    l.say(0, startInfo(StartInfo::START_REQUESTED));
    l.lobby.onMessage(2, "cy", Message(MessageId::LOGIN_OK));
    Message enter(MessageId::ENTER_TABLE_REQ, 5);
    enter.tableId = 1;
    const auto entered = l.lobby.onMessage(2, "cy", enter);
    const TableEvent* seen = lastStatus(entered, 2);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->status().startInfo, static_cast<int32_t>(StartInfo::START_REQUESTED));
    EXPECT_EQ(seen->status().striker, 0);
}

TEST(LocalLobbyTest, OnlyTheFouledPlayerAnswersTheFoulOnce) {
    for (TableEventType answer : {TableEventType::FOUL_PLAY_ON, TableEventType::FOUL_RETAKE}) {
        const bool retake = answer == TableEventType::FOUL_RETAKE;
        SCOPED_TRACE(retake ? "they play again" : "I play on");
        Lobby l;
        ASSERT_NO_FATAL_FAILURE(foulByTheBreaker(l));
        EXPECT_TRUE(l.say(0, tableEvent(TableEvent(answer))).empty()) << "the offender answered";
        const auto answered = l.say(1, tableEvent(TableEvent(answer)));
        for (int connection : {0, 1}) {
            ASSERT_EQ(eventsOf(answered, connection, answer).size(), 1u);
            const TableEvent* status = lastStatus(answered, connection);
            if (!retake) {
                EXPECT_EQ(status, nullptr);
                continue;
            }
            // The offender on turn in the same message, before the answer whose notice names him.
            ASSERT_NE(status, nullptr);
            EXPECT_EQ(status->status().playerOn, 0);
            EXPECT_FALSE(status->status().foul);
            EXPECT_EQ(status->status().frameScore, (std::array<int32_t, 2>{0, 4}));
            const auto events = sentTo(answered, connection, MessageId::TABLE_EVENT).back().events;
            ASSERT_EQ(events.size(), 2u);
            EXPECT_EQ(events[1].type, answer);
        }
        EXPECT_TRUE(l.say(1, tableEvent(TableEvent(answer))).empty()) << "answered twice";
        TableEvent shot(TableEventType::SHOT);
        shot.aim = AimParameters{180, 40, 0, 0, 0};
        EXPECT_EQ(eventsOf(l.say(retake ? 0 : 1, tableEvent(shot)), 0, TableEventType::SHOT).size(), 1u);
    }
}

TEST(LocalLobbyTest, AnExpiredShotClockIsAFoulOfFourAndPassesTheTurn) {
    Lobby l;
    ASSERT_NO_FATAL_FAILURE(startTwoPlayerFrame(l));
    const TableEvent expired = event(TableEventType::LIVE_AIM_START, -1);
    EXPECT_TRUE(l.say(1, tableEvent(expired)).empty()) << "not bob's clock";
    const auto out = l.say(0, tableEvent(expired));
    EXPECT_TRUE(eventsOf(out, 1, TableEventType::LIVE_AIM_START).empty());
    const TableEvent* status = lastStatus(out, 1);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->status().playerOn, 1);
    EXPECT_TRUE(status->status().foul);
    EXPECT_TRUE(status->status().timeout);
    EXPECT_EQ(status->status().frameScore, (std::array<int32_t, 2>{0, 4}));
}

TEST(LocalLobbyTest, AnInOffGivesTheNextPlayerTheCueBallInHandInTheDOnly) {
    LocalFrame frame;
    frame.start({"ann", "bob"}, 0, 60);
    for (int i = 1; i < kBallCount; ++i) frame.removeBall(i);
    frame.placeBall(BALL_WHITE, 0, -700);
    frame.placeBall(BALL_FIRST_RED, 600, 300);
    TableEvent shot(TableEventType::SHOT);
    shot.aim = AimParameters{-90, 150, 0, 0, 0};  // straight into the middle pocket
    const TableEvent after = frame.playStroke(shot);
    ASSERT_TRUE(after.status().foul);
    EXPECT_TRUE(after.status().ballInHand);
    EXPECT_TRUE(after.balls()[BALL_WHITE].onTable);
    EXPECT_GT(after.balls()[BALL_WHITE].x, 1047.5);  // in the D
    struct Place {
        double x, z;
        bool taken;
    };
    for (const Place& p : std::vector<Place>{{1150, -60, true}, {900, 0, false}, {1600, 0, false}, {1100, 100, true}}) {
        EXPECT_EQ(frame.placeCueBallInHand(p.x, p.z), p.taken) << p.x << "," << p.z;
        if (p.taken) {
            EXPECT_DOUBLE_EQ(frame.status().balls()[BALL_WHITE].x, p.x);
        }
    }
    // In a match the cue ball moves only in hand: on the break it stays where it lies.
    Lobby l;
    ASSERT_NO_FATAL_FAILURE(startTwoPlayerFrame(l));
    EXPECT_TRUE(l.say(0, tableEvent(event(TableEventType::BALL_PLACED, BALL_WHITE, 1100, 0))).empty());
    EXPECT_TRUE(l.say(0, tableEvent(event(TableEventType::BALL_REMOVED, BALL_BLACK))).empty());
}

TEST(LocalLobbyTest, APracticeGoesOnFromTheReplaysScoreTurnAndBallOn) {
    Lobby l;
    l.sitDown(0, "ann");
    l.say(0, Message(MessageId::STOP_PLAY_TABLE_REQ, 3));
    l.say(0, chat("/single"));
    l.say(0, tableEvent(event(TableEventType::BALL_REMOVED, BALL_FIRST_RED)));
    l.say(0, tableEvent(event(TableEventType::BALL_PLACED, BALL_WHITE, 200, 100)));
    const auto out = l.say(0, chat("/set-game-status 0 0 12 5 0 0 0 1 3 0 -1 1 1 0 0 0 0 0 0 0 0 0"));
    const TableEvent* status = lastStatus(out, 0);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->status().frameScore, (std::array<int32_t, 2>{12, 5}));
    EXPECT_EQ(status->status().playerOn, 1);
    EXPECT_EQ(status->status().breakScore, 3);
    EXPECT_EQ(status->status().ballOn, 0);
    EXPECT_FALSE(status->balls()[BALL_FIRST_RED].onTable);
    EXPECT_DOUBLE_EQ(status->balls()[BALL_WHITE].x, 200);
}

TEST(LocalLobbyTest, CuesAreBoughtAndUsedForKredAndTheKredBoxOpensAfterItsCountdown) {
    Lobby l;
    l.lobby.setKredBoxSeconds(0);
    l.sitDown(1, "bob");
    const auto greeted = l.lobby.onMessage(0, "ann", Message(MessageId::LOGIN_OK));
    const auto first = l.lobby.onMessage(0, "ann", chat("hello"));
    ASSERT_NE(info(first, 0, InfoCode::INFO_CODE_CUE_LIST_INFO), nullptr);
    EXPECT_EQ(info(first, 0, InfoCode::INFO_CODE_CUE_KRED_INFO)->valueB, 500);
    EXPECT_EQ(info(first, 0, InfoCode::INFO_CODE_CUE_KRED_INFO)->textB, "010000000");
    EXPECT_EQ(info(first, 0, InfoCode::KRED_BOX_INFO)->valueB, 0);
    struct Row {
        const char* command;
        InfoCode sound;  // USER_INFO: none
        int kred;        // after it, -1 unchanged (no figures sent)
        int cueOfBob;    // told to bob, 0 nothing
    };
    const std::vector<Row> rows = {
        {"/cue 2", InfoCode::USER_INFO, -1, 0},
        {"/buy 2", InfoCode::INFO_CODE_CUE_PURCHASED, 350, 0},
        {"/buy 2", InfoCode::USER_INFO, -1, 0},
        {"/buy 8", InfoCode::USER_INFO, -1, 0},
        {"/buy 9", InfoCode::USER_INFO, -1, 0},
        {"/cue 2", InfoCode::INFO_CODE_CUE_USED, 350, 2},
    };
    for (const Row& row : rows) {
        const auto out = l.lobby.onMessage(0, "ann", chat(row.command));
        const Message* figures = info(out, 0, InfoCode::INFO_CODE_CUE_KRED_INFO);
        EXPECT_EQ(figures ? figures->valueB : -1, row.kred) << row.command;
        if (row.sound != InfoCode::USER_INFO) {
            EXPECT_NE(info(out, 0, row.sound), nullptr) << row.command;
        }
        const Message* told = info(out, 1, InfoCode::INFO_CODE_CURRENT_CUE_INFO);
        EXPECT_EQ(told ? told->valueA : 0, row.cueOfBob) << row.command;
        EXPECT_EQ(sentTo(out, 0, MessageId::CHAT_MESSAGE).size(), 1u) << row.command;
    }
    const auto collected = l.lobby.onMessage(0, "ann", Message::initInfo(7, InfoCode::INFO_CODE_KRED_BOX_COLLECT, 0, 0, "", ""));
    ASSERT_NE(info(collected, 0, InfoCode::INFO_CODE_CUE_KRED_INFO), nullptr);
    EXPECT_EQ(info(collected, 0, InfoCode::INFO_CODE_CUE_KRED_INFO)->valueB, 450);
    EXPECT_EQ(info(collected, 0, InfoCode::INFO_CODE_CUE_KRED_INFO)->valueA, 2);
    // A box still closed gives nothing.
    Lobby closed;
    closed.sitDown(0, "cy");
    EXPECT_EQ(info(closed.say(0, Message::initInfo(7, InfoCode::INFO_CODE_KRED_BOX_COLLECT, 0, 0, "", "")), 0,
                   InfoCode::INFO_CODE_CUE_KRED_INFO),
              nullptr);
}

Message tutorialRequest(InfoCode code, int value = 0) { return Message::initInfo(8, code, value, 0, "", ""); }

TEST(LocalLobbyTest, ATutorialTopicIsChosenPlayedPassedOrFailedAndLeft) {
    Lobby l;
    l.sitDown(1, "bob");  // table 1 is taken
    l.lobby.onMessage(0, "ann", Message(MessageId::LOGIN_OK));
    auto ask = [&](InfoCode code, int value = 0) { return l.lobby.onMessage(0, "ann", tutorialRequest(code, value)); };
    const auto entered = ask(InfoCode::INFO_CODE_ENTER_TUTCH_REQ, 1);
    ASSERT_NE(info(entered, 0, InfoCode::ENTER_TUTCH_INFO), nullptr);
    EXPECT_EQ(info(entered, 0, InfoCode::ENTER_TUTCH_INFO)->valueA, 1);
    EXPECT_EQ(info(entered, 0, InfoCode::TUTCH_STATUS_INFO)->textA, "00");
    const auto seats = sentTo(entered, 0, MessageId::PLAY_TABLE_INFO);
    ASSERT_EQ(seats.size(), 1u);
    EXPECT_EQ(seats[0].tableId, 2);
    EXPECT_EQ(info(ask(InfoCode::INFO_CODE_SELECT_TUTCH_TOPIC, 5), 0, InfoCode::TUTCH_TOPIC_INFO), nullptr);
    EXPECT_EQ(info(ask(InfoCode::INFO_CODE_SELECT_TUTCH_TOPIC, 1), 0, InfoCode::TUTCH_TOPIC_INFO)->valueA, 1);
    struct Try {
        double aim;
        InfoCode result;
        const char* passed;
    };
    for (const Try& t : {Try{-90, InfoCode::TUTCH_TOPIC_PASSED, "10"}, Try{90, InfoCode::TUTCH_TOPIC_FAILED, "10"}}) {
        const auto started = ask(InfoCode::INFO_CODE_START_TUTCH_TOPIC);
        const TableEvent* rack = lastStatus(started, 0);
        ASSERT_NE(rack, nullptr);
        EXPECT_TRUE(rack->balls()[BALL_FIRST_RED].onTable);
        EXPECT_FALSE(rack->balls()[BALL_BLACK].onTable);
        TableEvent shot(TableEventType::SHOT);
        shot.aim = AimParameters{t.aim, 200, 0, 0, 0};
        const auto played = l.lobby.onMessage(0, "ann", tableEvent(shot));
        EXPECT_NE(info(played, 0, t.result), nullptr) << t.aim;
        ASSERT_NE(lastStatus(played, 0), nullptr);
        EXPECT_EQ(lastStatus(played, 0)->status().gameState, 0) << "the stroke ends the exercise";
        // The stroke's status at once, its result once the balls have rolled (beyond the margin).
        for (const OutgoingMessage& m : played) {
            const bool result = m.message.id == MessageId::INFO && m.message.infoCode == static_cast<int32_t>(t.result);
            if (result) {
                EXPECT_GT(m.delayMs, 600) << t.aim;
            } else if (!m.message.events.empty()) {
                EXPECT_EQ(m.delayMs, 0) << t.aim;
            }
        }
        EXPECT_EQ(info(played, 0, InfoCode::TUTCH_STATUS_INFO)->textA, t.passed);
        EXPECT_TRUE(l.lobby.onMessage(0, "ann", tableEvent(shot)).empty()) << "a second stroke";
    }
    EXPECT_NE(info(ask(InfoCode::INFO_CODE_CANCEL_TUTCH_TOPIC), 0, InfoCode::TUTCH_TOPIC_CANCELLED), nullptr);
    const auto left = ask(InfoCode::INFO_CODE_EXIT_TUTCH_REQ);
    ASSERT_NE(info(left, 0, InfoCode::EXIT_TUTCH_INFO), nullptr);
    const auto lists = sentTo(left, 0, MessageId::TABLE_LIST_INFO);
    ASSERT_FALSE(lists.empty());
    EXPECT_TRUE(lists.back().tables[1].player1.empty());
    EXPECT_TRUE(l.lobby.replays().frames().empty());
    // The next login learns the topic passed from the start.
    l.lobby.onMessage(0, "ann", Message(MessageId::LOGOUT_REQ));
    l.lobby.onMessage(2, "ann", Message(MessageId::LOGIN_OK));
    const auto greeted = l.lobby.onMessage(2, "ann", chat("hello"));
    ASSERT_NE(info(greeted, 2, InfoCode::TUTCH_STATUS_INFO), nullptr);
    EXPECT_EQ(info(greeted, 2, InfoCode::TUTCH_STATUS_INFO)->textA, "10");
}

TEST(LocalLobbyTest, BackInTheLobbyTheStatisticsAreTheUsersOwnAndAStrokelessFrameIsKept) {
    Lobby l;
    l.sitDown(0, "ann");
    l.say(0, Message(MessageId::STOP_PLAY_TABLE_REQ, 3));
    l.say(0, chat("/single"));
    l.say(0, tableEvent(TableEvent(TableEventType::FRAME_CONCEDED)));
    EXPECT_EQ(l.lobby.replays().frames().size(), 1u);
    // ann looks on at bob and cy's frame, then goes back to the lobby.
    l.say(0, Message(MessageId::STOP_PLAY_TABLE_REQ, 4));
    l.say(0, Message(MessageId::EXIT_TABLE_REQ, 5));
    l.sitDown(1, "bob");
    l.sitDown(2, "cy");
    Message enter(MessageId::ENTER_TABLE_REQ, 6);
    enter.tableId = 1;
    l.say(0, enter);
    l.say(1, startInfo(StartInfo::START_REQUESTED));
    const auto toss = l.say(2, startInfo(StartInfo::START_REQUESTED));
    const TableEvent* coin = coinToss(toss);
    ASSERT_NE(coin, nullptr);
    const auto watched = l.say(coin->value + 1, startInfo(StartInfo::STARTED_AFTER_COIN_TOSS, 0));
    ASSERT_NE(info(watched, 0, InfoCode::MATCH_STATS_INFO), nullptr);
    const auto back = l.say(0, Message(MessageId::EXIT_TABLE_REQ, 7));
    const Message* own = info(back, 0, InfoCode::MATCH_STATS_INFO);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->textList, (std::vector<std::string>{"ann", "ann"}));
}

}  // namespace
