// The table-event loop, the game status it parks or applies, and the end-of-shot calls.
#include "dispatch/handlers.h"
#include "dispatch_support.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <limits>
#include <memory>
#include <thread>

namespace {

class TableEventsTest : public bztest::DispatchTest {
protected:
    void SetUp() override {
        DispatchTest::SetUp();
        appState = STATE_GAME;
        gh.lastStatusSequence = 10;
    }
    void send(std::vector<TableEvent> events, uint32_t iid = 50) {
        Message m(MessageId::TABLE_EVENT, iid);
        m.events = std::move(events);
        onTableEvents(gh, m);
    }
    static TableEvent event(TableEventType type, int ball = 0, AimParameters aim = {}) {
        TableEvent e(type);
        e.ball = ball;
        e.aim = aim;
        return e;
    }
    static TableEvent status(int playerOn, int breakScore = 0) {
        TableEvent e(TableEventType::GAME_STATUS);
        GameStatus& s = e.status();
        s.gameState = 1;
        s.playerOn = playerOn;
        s.frameWonBy = s.matchWonBy = -1;
        s.breakScore = breakScore;
        s.frameScore = {breakScore, 1};
        s.frameDuration = 60000;
        s.maxShotTimeNow = 45;
        for (BallState& b : e.balls()) b.pocket = -1;
        return e;
    }
    std::vector<int> refereeCalls() const {
        std::vector<int> calls;
        for (const auto& p : sounds.played)
            if (p.kind == SoundKind::Referee) calls.push_back(p.clip - sounds.refereeClip(0));
        return calls;
    }
};

TEST_F(TableEventsTest, LiveAimMovesTurnTheShortWayAndOnlyLaterMovesAnimate) {
    struct Case {
        double from, to, animatedFrom, animatedTo;
    } cases[] = {{170, -170, 170, 190}, {-170, 170, -170, -190}, {540, 10, 180, 10}, {-180, 90, 180, 90}};
    for (const Case& c : cases) {
        send({event(TableEventType::LIVE_AIM_START, 0, {c.from, 100, 0, 0, 0}),
              event(TableEventType::LIVE_AIM_MOVE, 0, {c.from, 100, 0, 0, 0})});
        EXPECT_FALSE(gh.remoteAimAnimating);  // the first move is taken at once
        send({event(TableEventType::LIVE_AIM_MOVE, 0, {c.to, 120, 0, 0, 0})});
        EXPECT_TRUE(gh.remoteAimAnimating);
        EXPECT_EQ(gh.remoteAimFrom.aimAngle, c.animatedFrom) << c.from << " -> " << c.to;
        EXPECT_EQ(gh.remoteAimTo.aimAngle, c.animatedTo) << c.from << " -> " << c.to;
        EXPECT_EQ(gh.remoteAimFrom.power, 120);  // power is not animated
        EXPECT_DOUBLE_EQ(gh.remoteAimAnimEnd - gh.remoteAimAnimStart, 0.375);
    }
    send({event(TableEventType::LIVE_AIM_END)});
    EXPECT_FALSE(gh.remoteAimActive);
}

// The server echoes the own live aim: on the own turn it is not the opponent's, while the own shot
// rolls it may be (the opponent's client can be quicker), and the stroke ends the opponent's.
TEST_F(TableEventsTest, TheOwnAimEchoIsNeverTheOpponentsAim) {
    gh.table.seats[0] = gh.findPlayer("Alice");
    gh.table.seats[1] = gh.findPlayer("Bob");
    gh.liveStatus->gameState = 1;
    gh.liveStatus->playerOn = 0;
    send({event(TableEventType::LIVE_AIM_START, 0, {30, 100, 0, 0, 0}), event(TableEventType::LIVE_AIM_SET, 0, {30, 100, 0, 0, 0})});
    EXPECT_FALSE(gh.remoteAimActive || gh.remoteAimReceived || gh.remoteAimShown);

    gh.statusPending = true;  // the own shot is over on the opponent's screen first
    send({event(TableEventType::LIVE_AIM_START, 0, {40, 100, 0, 0, 0}), event(TableEventType::LIVE_AIM_SET, 0, {40, 100, 0, 0, 0})});
    EXPECT_TRUE(gh.remoteAimActive && gh.remoteAimShown);
    EXPECT_EQ(gh.remoteAim.aimAngle, 40);
    gh.statusPending = false;

    gh.liveStatus->playerOn = 1;
    send({event(TableEventType::LIVE_AIM_START, 0, {50, 100, 0, 0, 0}), event(TableEventType::LIVE_AIM_SET, 0, {50, 100, 0, 0, 0})});
    EXPECT_TRUE(gh.remoteAimActive);
    TableEvent shot = event(TableEventType::SHOT, 0, {50, 100, 0, 0, 0});
    send({shot});
    EXPECT_FALSE(gh.remoteAimActive);
}

// An angle is brought into one turn step by step: a huge one, or none at all, must be refused
// before that, and the dispatch must come back at once.
TEST_F(TableEventsTest, AimValuesThatAreNotNumbersOrFarOutOfRangeAreRefusedAtOnce) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    send({event(TableEventType::LIVE_AIM_START, 0, {30, 100, 0, 0, 0}), event(TableEventType::LIVE_AIM_MOVE, 0, {30, 100, 0, 0, 0})});
    const AimParameters before = gh.remoteAim;
    for (double bad : {1e300, -1e300, 1e17, inf, -inf, nan}) {
        for (TableEventType type : {TableEventType::LIVE_AIM_START, TableEventType::LIVE_AIM_MOVE,
                                    TableEventType::LIVE_AIM_SET, TableEventType::SHOT}) {
            auto done = std::make_shared<std::promise<void>>();
            std::future<void> returned = done->get_future();
            std::thread([this, bad, type, done] {
                send({event(type, 0, {bad, 100, 0, 0, 0}), event(type, 0, {10, bad, 0, 0, 0})});
                done->set_value();
            }).detach();
            if (returned.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
                // The dispatch still spins on the other thread: nothing after this can be trusted.
                std::fprintf(stderr, "dispatch of table event %d with aim value %g did not return within 20 s\n",
                             static_cast<int>(type), bad);
                std::_Exit(1);
            }
            EXPECT_EQ(gh.remoteAim, before) << static_cast<int>(type) << " " << bad;
            EXPECT_FALSE(gh.shotAnimating) << static_cast<int>(type) << " " << bad;
        }
    }
}

TEST_F(TableEventsTest, NominationsCallTheColourOrWithdrawSilently) {
    gh.liveStatus->nominatedBall = 2;
    send({event(TableEventType::NOMINATED_BALL, 6)});
    EXPECT_EQ(refereeCalls(), std::vector<int>{117});
    EXPECT_EQ(gh.liveStatus->nominatedBall, 6);
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::TopBox, "inbzNotice({text:'Nominated ball: Pink'").size(), 1u);

    send({event(TableEventType::NOMINATED_BALL, 6)});  // the same again withdraws it
    EXPECT_EQ(gh.liveStatus->nominatedBall, 0);
    EXPECT_EQ(refereeCalls().size(), 1u);

    gh.arezors = "0000010";  // Arezor 5: silent
    send({event(TableEventType::NOMINATED_BALL, 5)});
    EXPECT_EQ(gh.liveStatus->nominatedBall, 5);
    EXPECT_EQ(refereeCalls().size(), 1u);

    // A ball from outside the table changes nothing; nor does a nomination past the colours sound.
    for (int bad : {-1, 25, 1000}) send({event(TableEventType::NOMINATED_BALL, bad)});
    gh.arezors = "0000000";
    send({event(TableEventType::NOMINATED_BALL, 20)});
    EXPECT_EQ(refereeCalls().size(), 1u);
}

TEST_F(TableEventsTest, PlacementsAndRemovalsKeepTheTouchingListAndRefuseForeignIds) {
    gh.liveStatus->touchingBalls = {10, 11, 10};
    TableEvent placed = event(TableEventType::BALL_PLACED, 10);
    placed.ballValues[0] = 123;
    placed.ballValues[1] = -45;
    send({placed});
    EXPECT_EQ(gh.table.balls[10].x, 123);
    EXPECT_EQ(gh.liveStatus->touchingBalls, (std::vector<int>{11, 10}));
    send({event(TableEventType::BALL_REMOVED, 11)});
    EXPECT_FALSE(gh.table.balls[11].onTable);
    EXPECT_EQ(gh.liveStatus->touchingBalls, std::vector<int>{10});

    gh.ballDragActive = true;  // the user's drag holds white; the list still empties
    TableEvent white = event(TableEventType::BALL_PLACED, 0);
    white.ballValues[0] = 777;
    send({white});
    EXPECT_NE(gh.table.balls[0].x, 777);
    EXPECT_TRUE(gh.liveStatus->touchingBalls.empty());

    for (int bad : {-5, 25}) {
        send({event(TableEventType::BALL_PLACED, bad), event(TableEventType::BALL_REMOVED, bad),
              event(TableEventType::LIVE_AIM_START, bad)});
    }
    EXPECT_FALSE(gh.remoteAimActive);
}

TEST_F(TableEventsTest, EveryStatusBehindTheParkedOneIsAppliedInOrderWithItsFrameDecision) {
    gh.shotAnimating = true;
    send({status(1, 12)}, 60);
    send({status(0, 0)}, 61);
    TableEvent won = status(1, 20);
    won.status().frameWonBy = 1;
    send({won}, 62);
    EXPECT_EQ(gh.laterStatuses.size(), 2u);
    gh.endShot();
    const std::vector<std::string> applied = pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzUpdateGameStatus(");
    ASSERT_EQ(applied.size(), 3u);
    const char* starts[] = {"inbzUpdateGameStatus({atEndOfShot: 1,", "inbzUpdateGameStatus({atEndOfShot: 0,",
                            "inbzUpdateGameStatus({atEndOfShot: 1,"};
    const char* breaks[] = {"breakScore: 12,", "breakScore: 0,", "breakScore: 20,"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(applied[i].rfind(starts[i], 0), 0u) << i;
        EXPECT_NE(applied[i].find(breaks[i]), std::string::npos) << i;
    }
    EXPECT_EQ(gh.lastStatusSequence, 62);
    // The third's end of shot: the breaker's seat, the break and the frame's winner are called, and
    // the decision is consumed.
    const std::vector<int> calls = refereeCalls();
    const std::vector<int> decision{110, 158, 134};
    EXPECT_NE(std::search(calls.begin(), calls.end(), decision.begin(), decision.end()), calls.end())
        << ::testing::PrintToString(calls);
    EXPECT_EQ(gh.liveStatus->frameWonBy, -1);
    EXPECT_TRUE(gh.laterStatuses.empty());
}

TEST_F(TableEventsTest, AStatusBehindTheParkedOneWaitsAndTheShotKeepsItsEndOfShot) {
    gh.shotAnimating = true;
    send({status(1, 12)}, 60);
    ASSERT_TRUE(gh.statusPending);
    // Applied at once it would make the parked one stale; it waits behind it, as no end of shot.
    send({status(0, 0)}, 61);
    EXPECT_EQ(gh.pendingStatusSequence, 60);
    EXPECT_TRUE(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzUpdateGameStatus(").empty());
    gh.endShot();
    EXPECT_EQ(gh.lastStatusSequence, 61);
    const std::vector<std::string> applied = pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzUpdateGameStatus(");
    ASSERT_EQ(applied.size(), 2u);
    EXPECT_EQ(applied[0].rfind("inbzUpdateGameStatus({atEndOfShot: 1,", 0), 0u);
    EXPECT_NE(applied[0].find("breakScore: 12,"), std::string::npos);
    EXPECT_EQ(applied[1].rfind("inbzUpdateGameStatus({atEndOfShot: 0,", 0), 0u);
    EXPECT_TRUE(gh.laterStatuses.empty());

    // At rest a status applies at once; one that decides the frame waits for the rest.
    send({status(1)}, 62);
    EXPECT_FALSE(gh.statusPending);
    EXPECT_EQ(gh.lastStatusSequence, 62);
    TableEvent won = status(1);
    won.status().frameWonBy = 0;
    send({won}, 63);
    EXPECT_TRUE(gh.statusPending);
}

TEST_F(TableEventsTest, StaleStatusesChangeNothingButRestartTheTimer) {
    struct Case {
        int last;
        uint32_t sequence;
        bool applied;
    } cases[] = {{10, 10, false}, {10, 9, false}, {10, 11, true}, {INT32_MAX, 0x80000000u, true}, {-2, 5, true}};
    for (const Case& c : cases) {
        pages.clear();
        gh.lastStatusSequence = c.last;
        gh.liveStatus->playerOn = 0;
        gh.liveStatus->gameState = 1;
        send({status(1)}, c.sequence);
        EXPECT_EQ(gh.liveStatus->playerOn, c.applied ? 1 : 0) << c.sequence;
        EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzUpdateGameStatus(").size(), c.applied ? 1u : 0u);
        const int p = gh.liveStatus->playerOn;
        EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzStopShotTimer({player: " +
                                                                          std::to_string(1 - p) +
                                                                          ",});inbzStartShotTimer({player: " +
                                                                          std::to_string(p) + ",timerSeconds: ")
                      .size(),
                  1u);
    }
}

TEST_F(TableEventsTest, MarkerAndZeroScoreRules) {
    TableEvent s = status(0);
    s.status().statusMarkers = {3, 1000, 1000};
    s.status().frameScore = {0, 0};
    s.status().breakScore = 7;
    s.status().negativePoints = {-3, 4};
    send({s}, 20);
    EXPECT_TRUE(gh.liveStatus->timeoutProlongDeciding);
    EXPECT_EQ(gh.liveStatus->statusMarkers, (std::vector<int>{3, 1000}));
    EXPECT_EQ(gh.liveStatus->breakScore, 0);
    EXPECT_EQ(gh.liveStatus->negativePoints[0], 999999);
    EXPECT_EQ(gh.liveStatus->negativePoints[1], 999999);
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzStopShotTimer({player: 0,});inbzStopShotTimer({player: 1,});").size(), 1u);
}

TEST_F(TableEventsTest, TheStatusStatementNamesEveryFieldInOrder) {
    GameStatus s;
    s.players = {"O'Neil", ""};
    s.framesWon = {1, 2};
    const std::string text = gameStatusStatement(s, true);
    EXPECT_EQ(text.rfind("inbzUpdateGameStatus({atEndOfShot: 1,matchDuration: 0,", 0), 0u);
    EXPECT_NE(text.find("players:['O\\'Neil',''],striker: 0,"), std::string::npos);
    EXPECT_NE(text.find("framesWon:[1,2],frameScore:[0,0],"), std::string::npos);
    EXPECT_NE(text.find(",prevBallOn: 0,prevBallOnFull: 0,prevFreeBall: 0,});"), std::string::npos);
}

class EndOfShotTest : public TableEventsTest {
protected:
    void endOf(TableEvent e, uint32_t iid) {
        gh.shotAnimating = true;
        send({std::move(e)}, iid);
        gh.endShot();
    }
};

TEST_F(EndOfShotTest, ABreakOfTwelveThenAMiss) {
    endOf(status(0, 12), 30);
    EXPECT_EQ(refereeCalls(), std::vector<int>{138 + 12});
    endOf(status(1, 0), 31);
    EXPECT_EQ(refereeCalls(), (std::vector<int>{150, 109, 150}));
    EXPECT_EQ(gh.lastBreakScore, 0);
    for (const auto& p : sounds.played) EXPECT_NE(p.kind, SoundKind::Crowd);  // the frame was not won
}

TEST_F(EndOfShotTest, ACenturyCheersTwiceAndFrameWonByAnEmptySeatNamesThePlayerNumber) {
    endOf(status(0, 99), 30);
    endOf(status(0, 104), 31);
    endOf(status(1, 0), 32);
    int cheers = 0;
    for (const auto& p : sounds.played)
        if (p.kind == SoundKind::Crowd) {
            EXPECT_TRUE(p.clip == sounds.crowdClips[2] || p.clip == sounds.crowdClips[3]);
            ++cheers;
        }
    EXPECT_EQ(cheers, 2);

    pages.clear();
    TableEvent won = status(1, 0);
    won.status().frameWonBy = 1;
    won.status().frameOverScore = {20, 70};
    endOf(won, 40);
    const auto notices = pages.statementsStartingWith(HtmlWindow::TopBox, "inbzNotice(");
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], "inbzNotice({text:'Frame won by Player 2, score: 20-70, best breaks: 0-0',duration:7000,});");
    EXPECT_EQ(gh.liveStatus->frameWonBy, -1);
}

// A practice frame conceded: the player's second seat is already free when the end arrives.
TEST_F(EndOfShotTest, FrameWonByAnEmptySeatNamesThePlayerTheStatusGives) {
    TableEvent won = status(1, 0);
    won.status().players = {"alice", "alice"};
    won.status().frameWonBy = 1;
    won.status().penalty = 5;
    endOf(won, 40);
    const auto notices = pages.statementsStartingWith(HtmlWindow::TopBox, "inbzNotice(");
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].rfind("inbzNotice({text:'alice: 5, Frame won by alice, score:", 0), 0u) << notices[0];
}

// The opponent leaves the frame after the one before was won without a stroke between: the
// remaining player hears the result, both clocks stop and clear, and the bar names the seats.
TEST_F(EndOfShotTest, AnOpponentWhoLeavesIsOffTheBarAndTheResultIsTold) {
    gh.table.seats[0] = gh.liveStatus->players[0] = gh.findPlayer("Alice");
    gh.table.seats[1] = gh.liveStatus->players[1] = gh.findPlayer("Bob");
    gh.liveStatus->gameState = 1;
    TableEvent won = status(1, 0);
    won.status().gameState = 0;
    won.status().frameWonBy = 0;
    endOf(won, 30);
    TableEvent begin(TableEventType::START_INFO);
    begin.startInfo = StartInfo::STARTED_AFTER_COIN_TOSS;
    begin.value = 1;
    send({status(1, 0), begin}, 31);
    pages.clear();
    send({won}, 32);
    ASSERT_TRUE(gh.statusPending);
    Message seats(MessageId::STOP_PLAY_TABLE_INFO, 33);
    seats.player1 = "Alice";
    onPlayTableInfo(gh, seats);
    gh.endShot();
    const auto notices = pages.statementsStartingWith(HtmlWindow::TopBox, "inbzNotice({text:'Frame won by Alice");
    EXPECT_EQ(notices.size(), 1u);
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::BottomBox,
                                           "inbzStopShotTimer({player: 0,});inbzStopShotTimer({player: 1,});")
                  .size(),
              1u);
    const auto names = pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzUpdatePlayerNames(");
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "inbzUpdatePlayerNames({player1: 'Alice',player2: '',});");
}

TEST_F(EndOfShotTest, SeatsAndNumbersOutOfRangeCallNothing) {
    TableEvent odd = status(7, 0);
    odd.status().penalty = 4000;
    odd.status().frameWonBy = 9;
    odd.status().framesWon = {300, 300};
    endOf(odd, 30);
    EXPECT_TRUE(refereeCalls().empty() || refereeCalls() == std::vector<int>{112});
}

}  // namespace

namespace {

TEST_F(TableEventsTest, ViewModesOnlyInPlayAndTheirFlags) {
    gh.liveStatus->gameState = 0;
    gh.setViewMode("p", "2t");
    EXPECT_FALSE(gh.playerViewMode);
    EXPECT_TRUE(pages.entries().empty());
    gh.liveStatus->gameState = 1;
    struct Case {
        const char *role, *mode;
        bool player, spectator;
    } cases[] = {{"p", "2t", true, false}, {"p", "3t", true, false}, {"p", "t", false, false},
                 {"s", "t", false, true},  {"s", "2t", false, false}, {"x'", "", false, false}};
    for (const Case& c : cases) {
        gh.playerViewMode = gh.spectatorViewMode = false;
        gh.setViewMode(c.role, c.mode);
        EXPECT_EQ(gh.playerViewMode, c.player) << c.role << c.mode;
        EXPECT_EQ(gh.spectatorViewMode, c.spectator) << c.role << c.mode;
    }
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox).back(), "inbzSetView({role: 'x\\'',view: '',});");
}

TEST_F(TableEventsTest, EnteringAndLeavingTheOwnTable) {
    gh.liveStatus->gameState = 1;
    gh.pointAiming = 1;
    gh.remoteAimActive = true;
    Message enter(MessageId::ENTER_TABLE_INFO, 300);
    enter.userName = "Alice";
    onEnterTableInfo(gh, enter);
    EXPECT_EQ(appState.load(), STATE_GAME);
    EXPECT_EQ(gh.lastStatusSequence, 300);
    EXPECT_EQ(gh.pointAiming, 0);
    EXPECT_FALSE(gh.remoteAimActive);

    gh.table.setId(4);
    gh.statusPending = true;
    gh.deferredChatMessages.push_back(chat(ChatClass::CHAT, 4, "later"));
    Message exit(MessageId::EXIT_TABLE_INFO, 301);
    exit.userName = "Alice";
    onExitTableInfo(gh, exit);
    EXPECT_EQ(appState.load(), STATE_LOBBY);
    EXPECT_EQ(gh.table.getId(), 0);
    EXPECT_FALSE(gh.statusPending);
    EXPECT_TRUE(gh.deferredChatMessages.empty());
}

TEST_F(TableEventsTest, AnOwnEntryFromTheTableStateRefreshesTheStartButtons) {
    appState = STATE_TABLE;
    gh.liveStatus->gameState = 0;
    Message enter(MessageId::ENTER_TABLE_INFO, 300);
    enter.userName = "Alice";
    onEnterTableInfo(gh, enter);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::StartMatch).size(), 1u);
}

// A viewer who comes from a table whose frame was over enters a practice in play: the entry does
// not go by the last table's status, and the table's own status keeps him at the frame, not at the
// start card.
TEST_F(TableEventsTest, AViewerFromAFinishedFrameSeesTheNextTablesFrame) {
    gh.liveStatus->gameState = 0;
    Message move(MessageId::EXIT_TABLE_INFO, 300);
    move.userName = "Alice";
    onExitTableInfo(gh, move);
    move.id = MessageId::ENTER_TABLE_INFO;
    move.iid = 301;
    onEnterTableInfo(gh, move);
    send({status(0)}, 302);
    EXPECT_EQ(appState.load(), STATE_GAME);
}

TEST_F(TableEventsTest, PlayersOfAFrameInPlayStay) {
    Message play(MessageId::PLAY_TABLE_INFO, 5);
    play.player1 = "Alice";
    play.player2 = "O'Neil";
    onPlayTableInfo(gh, play);
    ASSERT_NE(gh.liveStatus->players[1], nullptr);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox).back(),
              "inbzUpdatePlayerNames({player1: 'Alice',player2: 'O\\'Neil',});");
    gh.liveStatus->gameState = 1;
    play.player2 = "";
    onPlayTableInfo(gh, play);
    EXPECT_EQ(gh.table.getPlayer(1), nullptr);
    EXPECT_NE(gh.liveStatus->players[1], nullptr);
}

}  // namespace
