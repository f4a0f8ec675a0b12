// Clients in the local lobby: new names become accounts on their first login, each sees the tables
// and both users, and lobby chat reaches the other under the sender's logged-in name; a practice frame
// is scored stroke by stroke and its first stroke has the shot clock running, two seated players
// toss a coin before the referee opens the frame, and one who watches them sees the frame end as
// they do.
#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/requests.h"
#include "dispatch/lobby_clients.h"
#include "net/handshake.h"
#include "support/captured_log.h"
#include "support/loopback_session.h"
#include "support/sound_recorder.h"
#include "tools/testserver/local_lobby.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

namespace {

using bztest::MessageLog;

bool pump(Connection& connection, bztest::LoopbackSession& session, const std::function<bool()>& condition) {
    return session.drainUntil([&] {
        connection.processReceivedMessages();
        connection.flush();
        return condition();
    });
}

bool listsUser(const Message& users, const std::string& name) {
    return std::any_of(users.users.begin(), users.users.end(), [&](const UserListEntry& u) { return u.userName == name; });
}

// Another user on a bare connection, logged in and greeted with the lists.
void logInBob(Connection& bob, MessageLog& bobSees, bztest::LoopbackSession& session) {
    bob.setKey(STREAM_PASS_PHRASE);
    bob.connect(false, 1000);
    bob.send(Message(MessageId::SERVER_STATUS_REQ, 0));
    ASSERT_TRUE(pump(bob, session, [&] { return bobSees.logins == 1; }));
    bob.send(Message::initInfo(1, InfoCode::VERSION, 0, 0, "0.1", ""));
    ASSERT_TRUE(pump(bob, session, [&] { return !bobSees.withId(MessageId::USER_LIST_INFO).empty(); }));
}

Message startInfo(uint32_t iid, StartInfo kind, int seat) {
    Message m(MessageId::TABLE_EVENT, iid);
    TableEvent e(TableEventType::START_INFO);
    e.startInfo = kind;
    e.value = seat;
    m.events.push_back(e);
    return m;
}

// The main loop in small: messages, the game clock and the balls.
bool playUntil(bztest::LoopbackSession& session, const std::function<bool()>& condition) {
    GameHandler& gh = getGameHandler();
    return session.drainUntil([&] {
        gh.now += 1.0 / 60;
        gh.averageFrameMicros = 16667;
        gh.updateShot();
        return condition();
    });
}

std::vector<int> refereeCalls(const bztest::RecordingSoundBank& sounds) {
    std::vector<int> calls;
    for (const auto& p : sounds.played)
        if (p.kind == SoundKind::Referee) calls.push_back(p.clip - sounds.firstRefereeClip);
    return calls;
}

TEST(LocalLobbyServerTest, TwoNewcomersSeeTablesUsersAndEachOthersChat) {
    bztest::CapturedLog log;
    LocalLobby lobby("Players Lounge");
    bztest::LoopbackSession alice;
    ASSERT_TRUE(alice.start(lobby.serverConfig(), log.folder()));
    ASSERT_TRUE(alice.login("alice", LocalLobby::kNewcomerPassword));

    MessageLog bobSees;
    Connection bob("127.0.0.1", alice.server.port(), "bob", LocalLobby::kNewcomerPassword, &bobSees);
    logInBob(bob, bobSees, alice);
    const std::vector<Message> tables = bobSees.withId(MessageId::TABLE_LIST_INFO);
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(tables[0].tables.size(), 4u);
    const Message users = bobSees.withId(MessageId::USER_LIST_INFO).back();
    EXPECT_TRUE(listsUser(users, "alice") && listsUser(users, "bob"));
    // Alice's own first list (herself alone) may still be on its way: wait for the one with bob.
    EXPECT_TRUE(alice.drainUntil([&] {
        const auto lists = alice.pages.statementsStartingWith(HtmlWindow::Lobby, "inbzUserInfo");
        return !lists.empty() && lists.back().find("bob") != std::string::npos;
    }));

    getGameHandler().sendChatText("hello bob", true, false);
    ASSERT_TRUE(pump(bob, alice, [&] { return !bobSees.withId(MessageId::CHAT_MESSAGE).empty(); }));
    const Message heard = bobSees.withId(MessageId::CHAT_MESSAGE)[0];
    EXPECT_EQ(heard.sender, "alice");
    EXPECT_EQ(heard.text1, "hello bob");

    // A claimed sender is replaced by the logged-in name.
    bob.send(Message::initChat(77, 0, ChatClass::CHAT, 0, "mallory", 0, "hi alice", "", "", "", ""));
    auto aliceHeard = [&] {
        for (const auto& entry : alice.pages.entries()) {
            if (entry.statement.find("hi alice") != std::string::npos) return entry.statement;
        }
        return std::string();
    };
    ASSERT_TRUE(alice.drainUntil([&] { return !aliceHeard().empty(); }));
    EXPECT_NE(aliceHeard().find("bob"), std::string::npos);
    EXPECT_EQ(aliceHeard().find("mallory"), std::string::npos);
    bob.close();
}

// One client of the game controller at the lobby, with the referee's calls recorded.
class LocalLobbyFrameTest : public ::testing::Test {
protected:
    void logIn(const std::string& name) {
        ASSERT_TRUE(session.start(lobby.serverConfig(), log.folder()));
        ASSERT_TRUE(session.login(name, LocalLobby::kNewcomerPassword));
    }

    bztest::CapturedLog log;
    bztest::RecordingSoundBank sounds;
    LocalLobby lobby{"Players Lounge"};
    bztest::LoopbackSession session;
    GameHandler& gh = getGameHandler();
};

TEST_F(LocalLobbyFrameTest, APracticeFrameScoresAFoulForTheOtherSeatAndPassesTheTurn) {
    ASSERT_NO_FATAL_FAILURE(logIn("ann"));
    bztest::LoopbackSession& ann = session;
    // The start view's table counts as a frame in play: entering a table without one still offers
    // the start of practice.
    gh.liveStatus->gameState = 1;
    sendEnterTableReq(gh, 1);
    ASSERT_TRUE(ann.drainUntil([] { return appState.load() == STATE_TABLE; }));
    EXPECT_EQ(gh.liveStatus->gameState, 0);

    gh.sendStartSingleReq();
    ASSERT_TRUE(ann.drainUntil([&] { return appState.load() == STATE_GAME && gh.liveStatus->gameState == 1; }));
    ASSERT_NE(gh.table.getPlayer(0), nullptr);
    EXPECT_EQ(gh.table.getPlayer(0), gh.table.getPlayer(1));
    int reds = 0;
    for (int i = BALL_FIRST_RED; i <= BALL_LAST_RED; ++i) reds += gh.table.balls[i].onTable ? 1 : 0;
    EXPECT_EQ(reds, 15);
    EXPECT_EQ(gh.liveStatus->playerOn, 0);

    // From the D softly up the table: the cue ball stops short of every ball.
    sendShot(gh, 0, 180, 40, 0, 0, 0);
    bool moved = false;
    bool comparedAtRest = false;
    ASSERT_TRUE(playUntil(ann, [&] {
        moved = moved || gh.isAnyBallMoving();
        // At rest, before the parked status is applied: the client rolled the stroke to the place
        // the lobby rolled it to.
        if (moved && !comparedAtRest && !gh.isAnyBallMoving() && gh.statusPending) {
            comparedAtRest = true;
            EXPECT_EQ(gh.table.balls[BALL_WHITE].x, gh.pendingBalls[BALL_WHITE].x);
            EXPECT_EQ(gh.table.balls[BALL_WHITE].z, gh.pendingBalls[BALL_WHITE].z);
        }
        return !ann.pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzUpdateGameStatus({atEndOfShot: 1").empty();
    }));
    EXPECT_TRUE(moved);
    EXPECT_TRUE(comparedAtRest);
    const std::string status =
        ann.pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzUpdateGameStatus({atEndOfShot: 1").back();
    EXPECT_NE(status.find("players:['ann','ann'],"), std::string::npos) << status;
    EXPECT_NE(status.find("playerOn: 1,"), std::string::npos) << status;
    EXPECT_NE(status.find("frameScore:[0,4],"), std::string::npos) << status;
    EXPECT_NE(status.find("penalty: 4,"), std::string::npos) << status;
    EXPECT_NE(status.find("foul: 1,"), std::string::npos) << status;
    EXPECT_EQ(gh.liveStatus->frameScore[1], 4);
    EXPECT_EQ(gh.liveStatus->playerOn, 1);
    EXPECT_FALSE(gh.statusPending);
}

TEST_F(LocalLobbyFrameTest, TwoSeatedPlayersTossACoinAndTheRefereeOpensTheFrame) {
    ASSERT_NO_FATAL_FAILURE(logIn("alice"));
    bztest::LoopbackSession& alice = session;
    MessageLog bobSees;
    Connection bob("127.0.0.1", alice.server.port(), "bob", LocalLobby::kNewcomerPassword, &bobSees);
    logInBob(bob, bobSees, alice);

    sendEnterTableReq(gh, 1);
    ASSERT_TRUE(pump(bob, alice, [] { return appState.load() == STATE_TABLE; }));
    sendPlayTableReq(gh, 1);
    ASSERT_TRUE(pump(bob, alice, [&] { return gh.table.getPlayer(0) != nullptr; }));
    Message enter(MessageId::ENTER_TABLE_REQ, 2);
    enter.tableId = 1;
    bob.send(enter);
    bob.send(Message(MessageId::PLAY_TABLE_REQ, 3));
    ASSERT_TRUE(pump(bob, alice, [&] { return gh.table.getPlayer(1) != nullptr; }));
    // Both sides agree on the seats: alice came first, so she holds the lower rank and seat 0.
    ASSERT_EQ(gh.getMySeat(), 0);

    sendStartReq(gh);
    bob.send(startInfo(4, StartInfo::START_REQUESTED, 1));
    ASSERT_TRUE(pump(bob, alice, [] { return appState.load() == STATE_COIN_TOSS; }));
    const int winner = gh.liveStatus->striker;
    ASSERT_TRUE(winner == 0 || winner == 1);
    // The loser, like a spectator, reads the winner's name; the winner reads the loser's: bob both times.
    EXPECT_EQ(alice.pages.statementsStartingWith(HtmlWindow::CoinToss, "inbzCoinTossResult("),
              (std::vector<std::string>{std::string("inbzCoinTossResult({iAmTheWinner: ") +
                                        (winner == 0 ? "true" : "false") + ",opponentName: 'bob',});"}));
    EXPECT_EQ(alice.pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzStartShotTimer(").back(),
              "inbzStartShotTimer({player: " + std::to_string(winner) + ",timerSeconds: 20,});inbzStopShotTimer({player: " +
                  std::to_string(1 - winner) + ",timerSeconds: 20,});");
    EXPECT_TRUE(refereeCalls(sounds).empty());

    // The winner breaks.
    if (winner == 0) {
        sendStartedAfterCoinToss(gh, true);
    } else {
        bob.send(startInfo(5, StartInfo::STARTED_AFTER_COIN_TOSS, 1));
    }
    ASSERT_TRUE(pump(bob, alice, [&] { return appState.load() == STATE_GAME && gh.liveStatus->gameState == 1; }));
    EXPECT_EQ(gh.liveStatus->playerOn, winner);
    EXPECT_EQ(refereeCalls(sounds), (std::vector<int>{0, winner == 0 ? 111 : 112, 121, 122}));
    EXPECT_EQ(alice.pages.statementsStartingWith(HtmlWindow::StartMatch, "asPlayerTwoPlayersNoStart();").size(), 1u);
    bob.close();
}

TEST_F(LocalLobbyFrameTest, AConcededFrameEndsInTheClientAndItsReplayIsFoundPlayedAndPractisedFrom) {
    lobby.setRedsInRack(2);
    ASSERT_NO_FATAL_FAILURE(logIn("ann"));
    bztest::LoopbackSession& ann = session;
    sendEnterTableReq(gh, 1);
    ASSERT_TRUE(ann.drainUntil([] { return appState.load() == STATE_TABLE; }));
    gh.sendStartSingleReq();
    ASSERT_TRUE(ann.drainUntil([&] { return appState.load() == STATE_GAME && gh.liveStatus->gameState == 1; }));
    sendShot(gh, 0, 180, 40, 0, 0, 0);
    ASSERT_TRUE(playUntil(ann, [&] {
        return !ann.pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzUpdateGameStatus({atEndOfShot: 1").empty();
    }));

    // The concede ends the frame in the client: the lobby's status is newer than any before it.
    sendFrameConceded(gh);
    ASSERT_TRUE(playUntil(ann, [&] { return gh.liveStatus->gameState == 0 && gh.lastFrameWonBy == 1; }))
        << "the concede did not end the frame";

    sendExitTableReq(gh);
    ASSERT_TRUE(ann.drainUntil([] { return appState.load() == STATE_LOBBY; }));
    gh.replayButtonPress("replay-start-search", 0, "ann");
    ASSERT_TRUE(ann.drainUntil([&] {
        return !ann.pages.statementsStartingWith(HtmlWindow::Replays, "inbzReplaySearchResults(").empty();
    })) << "the search was not answered";
    const std::string results = ann.pages.statementsStartingWith(HtmlWindow::Replays, "inbzReplaySearchResults(").back();
    EXPECT_NE(results.find(R"("objid":"f/1.1")"), std::string::npos) << results;

    gh.sendChatText("/replay frame 1 1", true, true);
    ASSERT_TRUE(ann.drainUntil([&] { return gh.replayMode; })) << "the replay did not start";
    EXPECT_EQ(gh.replayShots.size(), 4u);  // the rack, the one stroke, the concession and the record showing it
    EXPECT_EQ(gh.replayPlayerNames[0], "ann");

    // Going on at a practice table: the table takes the replay's settings and a frame starts there.
    gh.replayButtonPress("replay-button-go-to-practice", 0, "");
    // The replay's end already clears replayMode while the state is still the replay's: the frame
    // has started at the practice table once the replay's position is laid out there.
    ASSERT_TRUE(playUntil(ann, [&] {
        return !gh.replayMode && !gh.replayTableSettingsPending && appState.load() == STATE_GAME;
    }));
    ASSERT_TRUE(ann.server.waitForMessages(MessageId::TABLE_SETTINGS_REQ, 1, 5000));
    const Message settings = ann.server.receivedWithId(MessageId::TABLE_SETTINGS_REQ)[0];
    EXPECT_EQ(settings.settings[SETTINGS_MATCH_LENGTH], 1);     // the replay's best of
    EXPECT_EQ(settings.settings[SETTINGS_SHOT_TIME_LIMIT], 0);  // practice has no shot clock
}

TEST_F(LocalLobbyFrameTest, APracticesFirstStrokeRunsTheShotClockInTheClient) {
    ASSERT_NO_FATAL_FAILURE(logIn("ann"));
    bztest::LoopbackSession& ann = session;
    sendEnterTableReq(gh, 1);
    ASSERT_TRUE(ann.drainUntil([] { return appState.load() == STATE_TABLE; }));
    gh.sendStartSingleReq();
    auto lastTimer = [&] {
        std::string last;
        for (const auto& entry : ann.pages.entries())
            if (entry.statement.find("ShotTimer") != std::string::npos) last = entry.statement;
        return last;
    };
    ASSERT_TRUE(ann.drainUntil([&] {
        return appState.load() == STATE_GAME && lastTimer().find("inbzStartShotTimer({player: 0,timerSeconds: 60") !=
                                                    std::string::npos;
    })) << "the clock of the first stroke does not run: " << lastTimer();
}

// Carol, the game controller, watches table 1 where alice and bob play on bare connections; bob
// ends the frame in one of two ways.
enum class FrameEnd { BobConcedes, BobLeaves };

class ViewerTest : public LocalLobbyFrameTest, public ::testing::WithParamInterface<FrameEnd> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(logIn("carol"));
        for (auto* player : {&alice, &bob}) {
            player->connection = std::make_unique<Connection>("127.0.0.1", session.server.port(), player->name,
                                                              LocalLobby::kNewcomerPassword, &player->sees);
            ASSERT_NO_FATAL_FAILURE(logInBob(*player->connection, player->sees, session));
            Message enter(MessageId::ENTER_TABLE_REQ, 2);
            enter.tableId = 1;
            player->connection->send(enter);
            player->connection->send(Message(MessageId::PLAY_TABLE_REQ, 3));
            ASSERT_TRUE(play([&] { return !player->sees.withId(MessageId::PLAY_TABLE_INFO).empty(); }));
        }
        for (auto* player : {&alice, &bob}) player->connection->send(startInfo(4, StartInfo::START_REQUESTED, 0));
        int winner = -1;
        ASSERT_TRUE(play([&] {
            for (const Message& m : alice.sees.withId(MessageId::TABLE_EVENT))
                for (const TableEvent& e : m.events)
                    if (e.type == TableEventType::START_INFO && e.startInfo == StartInfo::COIN_TOSS) winner = e.value;
            return winner >= 0;
        }));
        (winner == 0 ? alice : bob).connection->send(startInfo(5, StartInfo::STARTED_AFTER_COIN_TOSS, 0));
        ASSERT_TRUE(play([&] {
            const auto lists = alice.sees.withId(MessageId::TABLE_LIST_INFO);
            return !lists.empty() && lists.back().tables[0].gameState == 1;
        }));
    }
    void TearDown() override {
        for (auto* player : {&alice, &bob})
            if (player->connection) player->connection->close();
    }

    // The main loop in small with the players' connections read (without frames carol only reads
    // her messages); generous for a slow machine.
    bool play(const std::function<bool()>& condition, bool frames = true) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            for (auto* player : {&alice, &bob}) {
                if (!player->connection) continue;
                player->connection->processReceivedMessages();
                player->connection->flush();
            }
            gh.processMessageQueue();
            if (!frames) continue;
            gh.now += 1.0 / 60;
            gh.averageFrameMicros = 16667;
            gh.updateShot();
        }
        return true;
    }
    // The last statement that starts or stops a shot clock in carol's bar.
    std::string lastClock() const {
        std::string last;
        for (const auto& e : session.pages.entries())
            if (e.window == HtmlWindow::BottomBox && e.statement.find("ShotTimer(") != std::string::npos) last = e.statement;
        return last;
    }
    // The seats carol's bar names: the last names a status or a seat change gave it.
    std::string barNames() const {
        const std::regex names("(?:players:\\['|player1: ')([^']*)'(?:,'|,player2: ')([^']*)'");
        std::string last;
        for (const auto& e : session.pages.entries()) {
            if (e.window != HtmlWindow::BottomBox) continue;
            for (std::sregex_iterator m(e.statement.begin(), e.statement.end(), names), end; m != end; ++m)
                last = (*m)[1].str() + "|" + (*m)[2].str();
        }
        return last;
    }

    struct Player {
        explicit Player(std::string n) : name(std::move(n)) {}
        std::string name;
        MessageLog sees;
        std::unique_ptr<Connection> connection;
    };
    Player alice{"alice"}, bob{"bob"};
};

TEST_P(ViewerTest, AFramesEndStopsTheViewersClocksAndHerBarNamesTheSeatsAsTheyAre) {
    // Entering mid-turn, carol's clock starts from the time the status gives.
    sendEnterTableReq(gh, 1);
    ASSERT_TRUE(play([&] { return appState.load() == STATE_GAME && !lastClock().empty(); }));
    const std::string status = session.pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzUpdateGameStatus(").back();
    std::smatch left;
    ASSERT_TRUE(std::regex_search(status, left, std::regex("playerOn: (\\d),.*maxShotTimeNow: (\\d+),")));
    const int on = std::stoi(left[1].str());
    EXPECT_EQ(lastClock(), "inbzStopShotTimer({player: " + std::to_string(1 - on) + ",});inbzStartShotTimer({player: " +
                               left[1].str() + ",timerSeconds: " + left[2].str() + ",});");

    const bool leaves = GetParam() == FrameEnd::BobLeaves;
    if (leaves) {
        bob.connection->send(Message(MessageId::EXIT_TABLE_REQ, 6));
    } else {
        Message concede(MessageId::TABLE_EVENT, 6);
        concede.events.push_back(TableEvent(TableEventType::FRAME_CONCEDED));
        bob.connection->send(concede);
    }
    // As a client that reads them in one frame: the table list with the seats after the frame has
    // been read before the frame's last status is applied.
    const std::regex after(std::string("\\{tableId:1,[^}]*gameState:0,[^}]*player2:'") + (leaves ? "" : "bob") + "',");
    ASSERT_TRUE(play(
        [&] {
            const auto lists = session.pages.statementsStartingWith(HtmlWindow::Lobby, "inbzTableInfo(");
            return gh.statusPending && !lists.empty() && std::regex_search(lists.back(), after);
        },
        false));
    ASSERT_TRUE(play([&] { return gh.liveStatus->gameState == 0 && !gh.statusPending && gh.lastFrameWonBy == 0; }))
        << "the frame did not end at carol's";
    const std::string stopped = "inbzStopShotTimer({player: 0,});inbzStopShotTimer({player: 1,});";
    EXPECT_EQ(lastClock(), stopped);
    EXPECT_EQ(barNames(), leaves ? "alice|" : "alice|bob");
    if (!leaves) return;

    // Carol takes the freed seat: no frame is in play and no clock runs.
    sendPlayTableReq(gh, 1);
    ASSERT_TRUE(play([&] { return gh.getMySeat() >= 0 && barNames().find("carol") != std::string::npos; }));
    EXPECT_EQ(lastClock(), stopped);
}

INSTANTIATE_TEST_SUITE_P(Ends, ViewerTest, ::testing::Values(FrameEnd::BobConcedes, FrameEnd::BobLeaves),
                         [](const auto& info) { return info.param == FrameEnd::BobConcedes ? "BobConcedes" : "BobLeaves"; });

}  // namespace
