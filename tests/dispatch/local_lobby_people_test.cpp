// Three users of the local lobby on protocol connections over loopback: the seats and entries of a
// table reach only those at it, a whisper only the one named (its sender reads it untold of a new
// message), the chat of a blocked user not the one who blocked, the friends and blocks of an account
// are answered and kept, and a bio is sent with its results the frames played here.
#include "dispatch/lobby_clients.h"

#include <algorithm>

namespace {

using bztest::Client;
class LocalLobbyPeopleTest : public bztest::LobbyClients {};

Message tableRequest(MessageId id, int tableId = 0) {
    Message m(id, 3);
    m.tableId = tableId;
    return m;
}

bool hasSeats(const Client& c, MessageId id, const std::string& p1, const std::string& p2) {
    const auto seats = c.withId(id);
    return std::any_of(seats.begin(), seats.end(), [&](const Message& m) { return m.player1 == p1 && m.player2 == p2; });
}

TEST_F(LocalLobbyPeopleTest, EntriesSeatsAndEventsOfATableReachOnlyThoseAtIt) {
    Client& alice = logIn("alice");
    Client& bob = logIn("bob");
    Client& carol = logIn("carol");
    alice.send(tableRequest(MessageId::ENTER_TABLE_REQ, 3));
    ASSERT_TRUE(until([&] { return !alice.withId(MessageId::ENTER_TABLE_INFO).empty(); }));
    for (Client* c : {&bob, &carol}) {
        c->send(tableRequest(MessageId::ENTER_TABLE_REQ, 2));
        c->send(tableRequest(MessageId::PLAY_TABLE_REQ, 2));
    }
    ASSERT_TRUE(until([&] { return hasSeats(bob, MessageId::PLAY_TABLE_INFO, "bob", "carol"); }));
    // alice's practice at table 3 starts and ends while bob stands up and sits down again at table 2.
    alice.say("/single", true);
    ASSERT_TRUE(until([&] { return hasSeats(alice, MessageId::PLAY_TABLE_INFO, "alice", "alice"); }));
    bob.send(tableRequest(MessageId::STOP_PLAY_TABLE_REQ, 2));
    ASSERT_TRUE(until([&] { return hasSeats(carol, MessageId::STOP_PLAY_TABLE_INFO, "carol", ""); }));
    Message concede(MessageId::TABLE_EVENT, 4);
    concede.events.push_back(TableEvent(TableEventType::FRAME_CONCEDED));
    alice.send(concede);
    ASSERT_TRUE(until([&] { return hasSeats(alice, MessageId::STOP_PLAY_TABLE_INFO, "alice", ""); }));
    // bob's seat comes back in a seat message of its own: carol had one with both names before.
    const size_t seatings = carol.withId(MessageId::PLAY_TABLE_INFO).size();
    bob.send(tableRequest(MessageId::PLAY_TABLE_REQ, 2));
    alice.send(tableRequest(MessageId::EXIT_TABLE_REQ, 3));
    ASSERT_TRUE(until([&] { return !alice.withId(MessageId::EXIT_TABLE_INFO).empty(); }));
    ASSERT_TRUE(until([&] {
        const auto seats = carol.withId(MessageId::PLAY_TABLE_INFO);
        return seats.size() > seatings && seats.back().player1 == "bob" && seats.back().player2 == "carol";
    }));
    ASSERT_NO_FATAL_FAILURE(settle(alice, "that is all"));

    const std::vector<std::pair<Client*, int>> ownTable = {{&alice, 3}, {&bob, 2}, {&carol, 2}};
    for (const auto& [c, tableId] : ownTable) {
        SCOPED_TRACE(c->name);
        for (MessageId id : {MessageId::ENTER_TABLE_INFO, MessageId::EXIT_TABLE_INFO, MessageId::PLAY_TABLE_INFO,
                             MessageId::STOP_PLAY_TABLE_INFO}) {
            for (const Message& m : c->withId(id)) EXPECT_EQ(m.tableId, tableId) << static_cast<int>(id);
        }
        // No game status of the other table: its players are not this table's.
        for (const Message& m : c->withId(MessageId::TABLE_EVENT))
            for (const TableEvent& e : m.events) {
                if (e.type != TableEventType::GAME_STATUS) continue;
                for (const std::string& p : e.status().players)
                    EXPECT_TRUE(p.empty() || (p == "alice") == (tableId == 3)) << p;
            }
        // The table list goes to everyone.
        const Message list = c->withId(MessageId::TABLE_LIST_INFO).back();
        EXPECT_EQ(list.tables[1].player1 + "-" + list.tables[1].player2, "bob-carol");
        EXPECT_TRUE(list.tables[2].player1.empty() && list.tables[2].viewers.empty());
    }
    EXPECT_EQ(bob.withId(MessageId::STOP_PLAY_TABLE_INFO).size(), 1u);
    EXPECT_EQ(alice.withId(MessageId::PLAY_TABLE_INFO).size(), 1u);
}

TEST_F(LocalLobbyPeopleTest, AWhisperReachesTheOneNamedAndComesBackToItsSender) {
    Client& alice = logIn("alice");
    Client& bob = logIn("bob");
    Client& carol = logIn("carol");
    bob.send(tableRequest(MessageId::ENTER_TABLE_REQ, 1));
    ASSERT_TRUE(until([&] { return !bob.withId(MessageId::ENTER_TABLE_INFO).empty(); }));
    struct Row {
        Client* from;
        bool atTable;
        const char* text;
        Client* to;  // null: an unknown user
        const char* said;
        const char* copied;  // the text of the sender's copy, which keeps its markup in the client
    };
    const std::vector<Row> rows = {
        {&alice, false, "/w bob psst, <b>bob</b>", &bob, "psst, <b>bob</b>", "psst, &lt;b&gt;bob&lt;/b&gt;"},
        {&bob, true, "/w   alice  from the table", &alice, "from the table", "from the table"},
        {&alice, false, "/w <b>dave</b> hi", nullptr, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        row.from->say(row.text, row.atTable);
        if (row.to == nullptr) {
            // A notice keeps its markup in the client, so the typed name comes as text.
            ASSERT_TRUE(until([&] { return !row.from->heard("Unknown user &lt;b&gt;dave").empty(); }));
            EXPECT_EQ(row.from->heard("Unknown user").back().chatClass, ChatClass::LOCAL_NOTICE);
            continue;
        }
        ASSERT_TRUE(until([&] { return !row.to->heard(row.said).empty() && !row.from->heard(row.copied).empty(); }));
        const Message got = row.to->heard(row.said).back();
        EXPECT_EQ(got.chatClass, ChatClass::PRIVATE);
        EXPECT_EQ(got.sender, row.from->name);
        EXPECT_EQ(got.text1, row.said);
        EXPECT_EQ(got.tableId, 0u);
        // In the client the one named is told of a new message, the sender only reads the line.
        const Message copy = row.from->heard(row.copied).back();
        for (const Message* line : {&got, &copy}) {
            bztest::Viewer client(STATE_LOBBY);
            client.gh->processMessage(*line);
            EXPECT_EQ(client.ran(HtmlWindow::Lobby, "inbzNewPmOrInviteFrom").size(), line == &got ? 1u : 0u);
            if (line == &got) continue;
            const std::string shown = "sender: '',text1: '',playerName1: '" + row.from->name +
                                      "',text2: ' whispers: (to ',playerName2: '" + row.to->name + "',text3: ') " +
                                      row.copied + "'";
            EXPECT_EQ(client.ran(HtmlWindow::Lobby, "inbzAddTextToChat").size(), 1u);
            EXPECT_EQ(client.ran(HtmlWindow::Lobby, shown).size(), 1u) << shown;
        }
    }
    ASSERT_NO_FATAL_FAILURE(settle(alice, "over"));
    for (const char* said : {"psst", "from the table", "dave"}) EXPECT_TRUE(carol.heard(said).empty()) << said;
}

TEST_F(LocalLobbyPeopleTest, FriendsAndBlocksAreAnsweredKeptPerAccountAndHoldBackTheBlockedUsersChat) {
    Client& alice = logIn("alice");
    Client& bob = logIn("bob");
    Client& carol = logIn("carol");
    // Every request is answered with the list as it now stands; nobody lists themselves or an
    // unknown name.
    struct Row {
        InfoCode code;
        int on;
        const char* name;
        InfoCode answer;
        std::vector<std::string> list;
    };
    const std::vector<Row> rows = {
        {InfoCode::FRIEND_CHANGE, 1, "bob", InfoCode::FRIENDS, {"bob", "1"}},
        {InfoCode::BLOCK_USER, 1, "carol", InfoCode::MUTED_USERS, {"carol", "1"}},
        {InfoCode::FRIEND_CHANGE, 1, "alice", InfoCode::FRIENDS, {"bob", "1"}},
        {InfoCode::BLOCK_USER, 1, "zed", InfoCode::MUTED_USERS, {"carol", "1"}},
    };
    for (const Row& row : rows) {
        const size_t answers = alice.info(row.answer).size();
        alice.ask(row.code, row.on, row.name);
        ASSERT_TRUE(until([&] { return alice.info(row.answer).size() > answers; })) << row.name;
        EXPECT_EQ(alice.info(row.answer).back().textList, row.list) << row.name;
    }
    carol.say("buy cheap kred");
    carol.say("/w alice psst");
    ASSERT_TRUE(until([&] { return !bob.heard("buy cheap kred").empty() && !carol.heard("psst").empty(); }));
    ASSERT_NO_FATAL_FAILURE(settle(bob, "hello all"));
    EXPECT_TRUE(alice.heard("buy cheap kred").empty());
    EXPECT_TRUE(alice.heard("psst").empty());

    // bob goes: his friend learns it. alice comes back to both lists as she left them.
    bob.send(Message(MessageId::LOGOUT_REQ, 9));
    ASSERT_TRUE(until([&] { return alice.info(InfoCode::FRIENDS).back().textList.back() == "0"; }));
    alice.send(Message(MessageId::LOGOUT_REQ, 10));
    ASSERT_TRUE(until([&] { return server.openCount() == 1; }));
    Client& again = logIn("alice");
    ASSERT_TRUE(until([&] { return !again.info(InfoCode::MUTED_USERS).empty(); }));
    EXPECT_EQ(again.info(InfoCode::FRIENDS).back().textList, (std::vector<std::string>{"bob", "0"}));
    EXPECT_EQ(again.info(InfoCode::MUTED_USERS).back().textList, (std::vector<std::string>{"carol", "1"}));
    again.ask(InfoCode::BLOCK_USER, 0, "carol");
    ASSERT_TRUE(until([&] { return again.info(InfoCode::MUTED_USERS).back().textList.empty(); }));
    carol.say("sorry");
    EXPECT_TRUE(until([&] { return !again.heard("sorry").empty(); }));
}

TEST_F(LocalLobbyPeopleTest, ABioHoldsTheNameRatingRankAndAccountAndItsResultsTheFramesPlayedHere) {
    Client& alice = logIn("alice");
    Client& bob = logIn("bob");
    alice.ask(InfoCode::ACCOUNT_INFO, 0, "Wales", "Plays left-handed");
    // The own bio, as the client asks for it at every login.
    alice.ask(InfoCode::BIO_DATA_REQ, 0, "alice");
    ASSERT_TRUE(until([&] { return !alice.info(InfoCode::BIO_DATA).empty(); }));
    EXPECT_EQ(alice.info(InfoCode::BIO_DATA).back().textList,
              (std::vector<std::string>{"alice", "0", "1", "Wales", "Plays left-handed"}));
    bob.ask(InfoCode::BIO_DATA_REQ, 0, "alice");
    bob.ask(InfoCode::BIO_DATA_REQ, 0, "zed");
    ASSERT_TRUE(until([&] { return !bob.info(InfoCode::BIO_DATA).empty() && !bob.heard("Unknown user zed").empty(); }));
    EXPECT_EQ(bob.info(InfoCode::BIO_DATA).size(), 1u);
    EXPECT_EQ(bob.info(InfoCode::BIO_DATA).back().textList[0], "alice");
    EXPECT_EQ(bob.info(InfoCode::BIO_DATA).back().textList[3], "Wales");

    // "Load results": the frames played here, a practice conceded at once for alice, none for bob.
    alice.send(tableRequest(MessageId::ENTER_TABLE_REQ, 1));
    alice.say("/single", true);
    ASSERT_TRUE(until([&] { return hasSeats(alice, MessageId::PLAY_TABLE_INFO, "alice", "alice"); }));
    Message concede(MessageId::TABLE_EVENT, 4);
    concede.events.push_back(TableEvent(TableEventType::FRAME_CONCEDED));
    alice.send(concede);
    ASSERT_TRUE(until([&] { return hasSeats(alice, MessageId::STOP_PLAY_TABLE_INFO, "alice", ""); }));
    for (const char* name : {"alice", "bob"}) bob.ask(InfoCode::BIO_RESULTS_REQ, 0, name);
    ASSERT_TRUE(until([&] { return bob.info(InfoCode::FRAME_RESULTS_DATA).size() == 2; }));
    const auto results = bob.info(InfoCode::FRAME_RESULTS_DATA);
    EXPECT_EQ(results[0].textA, "alice");
    ASSERT_EQ(results[0].textList.size(), 1u);
    const std::string frame = results[0].textList[0];
    EXPECT_NE(frame.find(", alice 0-0 alice, practice"), std::string::npos) << frame;
    EXPECT_EQ(results[1].textA, "bob");
    EXPECT_TRUE(results[1].textList.empty());
}

}  // namespace
