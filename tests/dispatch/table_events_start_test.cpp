// Start of play, foul answers, concessions, reracks and aborts as the table events bring them.
#include "dispatch/dispatch_support.h"
#include "dispatch/handlers.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

class StartEventsTest : public bztest::DispatchTest {
protected:
    void SetUp() override {
        DispatchTest::SetUp();
        gh.table.seats[0] = gh.findPlayer("Alice");
        gh.table.seats[1] = gh.findPlayer("Bob");
        appState = STATE_TABLE;
    }
    static TableEvent start(int kind, int striker) {
        TableEvent e(TableEventType::START_INFO);
        e.startInfo = static_cast<StartInfo>(kind);
        e.value = striker;
        return e;
    }
    std::vector<int> refereeCalls() const {
        std::vector<int> ks;
        for (const auto& p : sounds.played)
            if (p.kind == SoundKind::Referee) ks.push_back(p.clip - sounds.firstRefereeClip);
        return ks;
    }
};

TEST_F(StartEventsTest, CoinTossNamesTheOtherSeat) {
    struct Case {
        const char* name;
        int striker;
        const char* userSeat0;  // who sits in seat 0; Alice is the user
        bool emptySeat1;
        std::string expected;
        bool prompt;  // the winner's choice holds the input
    };
    const Case cases[] = {
        {"user wins", 0, "Alice", false, "inbzCoinTossResult({iAmTheWinner: true,opponentName: 'Bob',});", true},
        {"user loses", 1, "Alice", false, "inbzCoinTossResult({iAmTheWinner: false,opponentName: 'Bob',});", false},
        {"spectator", 0, "Carl", false, "inbzCoinTossResult({iAmTheWinner: false,opponentName: 'Carl',});", false},
        {"empty other seat", 0, "Alice", true, "inbzCoinTossResult({iAmTheWinner: true,opponentName: '',});", true},
    };
    for (const Case& c : cases) {
        pages.clear();
        gh.table.seats[0] = gh.findPlayer(c.userSeat0);
        gh.table.seats[1] = c.emptySeat1 ? nullptr : gh.findPlayer("Bob");
        onStartInfoEvent(gh, start(3, c.striker));
        ASSERT_EQ(pages.statementsFor(HtmlWindow::CoinToss).size(), 1u) << c.name;
        EXPECT_EQ(pages.statementsFor(HtmlWindow::CoinToss)[0], c.expected) << c.name;
        EXPECT_EQ(appState.load(), STATE_COIN_TOSS);
        EXPECT_EQ(gh.coinTossPromptOpen(), c.prompt) << c.name;
    }
}

TEST_F(StartEventsTest, CoinTossAfterALevelFrameCallsTheRespottedBlack) {
    gh.liveStatus->frameScore[0] = gh.liveStatus->frameScore[1] = 56;
    gh.liveStatus->gameType = 6;
    onStartInfoEvent(gh, start(3, 0));
    gh.liveStatus->gameType = 1;
    onStartInfoEvent(gh, start(3, 0));
    gh.liveStatus->frameScore[0] = gh.liveStatus->frameScore[1] = 0;
    onStartInfoEvent(gh, start(3, 0));
    EXPECT_EQ(refereeCalls(), (std::vector<int>{133, 132}));
}

TEST_F(StartEventsTest, StartOfPlayOpensAMatchOnlyAtItsStart) {
    gh.liveStatus->bestOf = 1;
    gh.liveStatus->maxShotTime = 60;
    onStartInfoEvent(gh, start(4, 1));
    EXPECT_EQ(appState.load(), STATE_GAME);
    EXPECT_EQ(gh.liveStatus->playerOn, 1);
    EXPECT_EQ(refereeCalls(), (std::vector<int>{0, 112, 121, 122}));
    EXPECT_EQ(pages.statementsFor(HtmlWindow::StartMatch), (std::vector<std::string>{"asPlayerTwoPlayersNoStart();"}));
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzStopShotTimer({player: 0,});").size(), 1u);

    sounds.played.clear();
    pages.clear();
    gh.liveStatus->framesWon[0] = 1;
    onStartInfoEvent(gh, start(4, 0));
    EXPECT_TRUE(refereeCalls().empty());
    EXPECT_TRUE(pages.entries().empty());
}

TEST_F(StartEventsTest, UnknownStartInfoOnlyLogs) {
    onStartInfoEvent(gh, start(7, 1));
    EXPECT_EQ(gh.liveStatus->striker, 1);
    EXPECT_EQ(gh.liveStatus->startInfo, 7);
    EXPECT_NE(log.text().find("Unhandled StartInfo: 7"), std::string::npos);
    EXPECT_TRUE(pages.entries().empty());
}

TEST_F(StartEventsTest, FoulAnswersWarnOnTheUsersTurn) {
    gh.liveStatus->gameState = 1;
    gh.liveStatus->playerOn = 0;
    gh.liveStatus->warningTwoMisses = true;
    onFoulAnswerEvent(gh, TableEvent(TableEventType::FOUL_RETAKE));
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzShotStarted").size(), 0u);
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::BottomBox, "setTimeout(function(){inbzMissRule").size(), 1u);

    pages.clear();
    gh.liveStatus->warningTwoMisses = false;
    gh.liveStatus->timeoutCount = 12;
    onFoulAnswerEvent(gh, TableEvent(TableEventType::FOUL_PLAY_ON));
    const auto bb = pages.statementsFor(HtmlWindow::BottomBox);
    ASSERT_GE(bb.size(), 3u);
    EXPECT_EQ(bb[1], "setTimeout(function(){inbzTimeoutWarningOpen();}, 500);");
    EXPECT_EQ(bb.back(), "inbzShotStarted();");

    gh.table.seats[0] = nullptr;
    onFoulAnswerEvent(gh, TableEvent(TableEventType::FOUL_PLAY_ON));
    EXPECT_FALSE(pages.statementsStartingWith(HtmlWindow::TopBox, "inbzNotice({text:'Player 1 to play'").empty());
}

// Seats from the server are negated (the toss) and counted on from (the foul notice): the extremes
// of the number must neither overflow nor name a seat.
TEST_F(StartEventsTest, TossAndStartForSeatsOutsideTheTableAreRefused) {
    gh.liveStatus->playerOn = 1;
    for (int seat : {INT_MIN, INT_MAX, 2, -1}) {
        pages.clear();
        onStartInfoEvent(gh, start(3, seat));
        onStartInfoEvent(gh, start(4, seat));
        EXPECT_TRUE(pages.entries().empty()) << seat;
        EXPECT_EQ(gh.liveStatus->playerOn, 1) << seat;
        EXPECT_EQ(appState.load(), STATE_TABLE) << seat;
    }
    gh.liveStatus->playerOn = INT_MAX;  // a status may still carry it
    onFoulAnswerEvent(gh, TableEvent(TableEventType::FOUL_PLAY_ON));
    EXPECT_FALSE(pages.statementsStartingWith(HtmlWindow::TopBox, "inbzNotice({text:'Player 2147483648 to play'").empty());
}

TEST_F(StartEventsTest, RerackAndAbortRequestsReachOnlyTheOtherPlayer) {
    gh.liveStatus->gameState = 1;
    TableEvent rerack(TableEventType::RERACK_REQUESTED);
    rerack.value = 0;  // the user's own request
    onRerackOrAbortEvent(gh, rerack);
    rerack.value = 7;  // no seat
    onRerackOrAbortEvent(gh, rerack);
    EXPECT_TRUE(pages.entries().empty());
    TableEvent abort(TableEventType::ABORT_REQUESTED);
    abort.value = 1;
    onRerackOrAbortEvent(gh, abort);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox), (std::vector<std::string>{"inbzAbortionRequested();"}));
    onRerackOrAbortEvent(gh, TableEvent(TableEventType::RERACK_DECLINED));
    EXPECT_NE(log.text().find("Unhandled table event: 30"), std::string::npos);
}

TEST_F(StartEventsTest, ConcessionDisablesTheButtonAndCallsIt) {
    gh.lineUpShotFlag = true;
    TableEvent conceded(TableEventType::FRAME_CONCEDED);
    conceded.value = 1;
    onFrameConcededEvent(gh, conceded);
    EXPECT_FALSE(gh.lineUpShotFlag);
    EXPECT_EQ(refereeCalls(), (std::vector<int>{130}));
}

}  // namespace
