// A replay played through the live dispatch: loading, the clock, the idle skip, the loop, the end
// of a frame, the quiet skip and the replay command.
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "dispatch/process_message.h"
#include "support/captured_log.h"
#include "support/sound_recorder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kStatus = "0 60 1 -1 -1 0 0 0 0 0 0 0 1 2 3 4 5 6 7 8 9 10 0 0 0 0 0 0 -1 1 -1 0 0 0 0 0 0 0 0 0 -1 -1 }";

// A frame of n shots by hand: start position, then per shot aiming, a stroke and the new position.
std::string frameText(int shots, int gapMs = 1000) {
    std::string t = "v 1 t 2 s p Ann Bob i 2023-01-05 20:00 x 7 1 3 60 0 0 0 b 0 0 -1000 0 1 0 0 0 { " + kStatus + " ";
    int at = 0;
    for (int i = 1; i <= shots; ++i) {
        at += gapMs;
        t += "T " + std::to_string(at) + " as 0 90 100 0 0 0 ";
        at += gapMs;
        t += "T " + std::to_string(at) + " s 0 90 100 0 0 0 ";
        t += "b 3 0 " + std::to_string(i) + " 5 { " + kStatus + " ";
    }
    return t;
}

class ReplayPlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        previousSink = setPageScriptSink(&pages);
        installMessageDispatch();
        appState = STATE_GAME;  // no start-of-play message
        gh.replaySkipAimingProcess = false;
    }
    void TearDown() override {
        setMessageProcessor(nullptr);
        setPageScriptSink(previousSink);
        appState = STATE_STARTUP;
    }
    void load(const std::string& text, int kind = 2) {
        gh.replayKind = kind;
        gh.replayText = text;
        gh.now = 100.0;
        gh.startReplay();
    }
    // Frames of the given length until the clock reaches the end or the replay stops.
    void run(double seconds, double frame = 0.02) {
        for (double t = 0; t < seconds && gh.replayPlaying; t += frame) {
            gh.now += frame;
            gh.averageFrameMicros = static_cast<int64_t>(frame * 1e6);
            gh.updateShot();
            gh.update();
        }
    }

    bztest::CapturedLog log;
    bztest::RecordingSoundBank sounds;
    RecordingPageScriptSink pages;
    PageScriptSink* previousSink = nullptr;
    GameHandler gh;
};

// A change of speed during a shot goes on from where the shot is: one frame later the shot has
// run one frame at the new rate, not caught up the time already run.
TEST_F(ReplayPlaybackTest, ASpeedChangeDuringAShotGoesOnFromWhereItIs) {
    load(frameText(1));
    for (int frame = 0; frame < 1000 && !(gh.shotStepper.running() && gh.shotStepper.simulationTime() > 0.5); ++frame)
        run(0.02);
    ASSERT_TRUE(gh.isAnyBallMoving());
    const double before = gh.shotStepper.simulationTime();
    gh.buttonPress("select-replay-speed", 7, "");
    run(0.02);
    EXPECT_LT(gh.shotStepper.simulationTime() - before, 0.2);
}

TEST_F(ReplayPlaybackTest, StartReplayDressesTheTable) {
    load(frameText(3));
    EXPECT_TRUE(gh.replayMode);
    EXPECT_TRUE(gh.replayPlaying);
    EXPECT_EQ(gh.replayShots.size(), 4u);
    EXPECT_EQ(gh.replayShotIndex, 1);
    EXPECT_EQ(gh.table.getName(), "Replay");
    EXPECT_EQ(gh.table.getId(), 7);
    ASSERT_NE(gh.table.getPlayer(1), nullptr);
    EXPECT_EQ(gh.table.getPlayer(1)->nick, "Bob");
    EXPECT_EQ(visualSpinFactor, 0.5);
    EXPECT_EQ(gh.replayT, 0);  // shot 1 starts when the start position closed
    EXPECT_FALSE(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzReplayLoadPractice({enabled: true});").empty());
}

TEST_F(ReplayPlaybackTest, OldDatesPlaySpinAtTheOldRate) {
    std::string text = frameText(1);
    text.replace(text.find("2023-01-05"), 10, "2022-10-31");
    load(text);
    EXPECT_EQ(visualSpinFactor, 0.5);  // the date with its time sorts after the day
    text.replace(text.find("2022-10-31 20:00"), 16, "2022-10-30 20:00");
    load(text);
    EXPECT_EQ(visualSpinFactor, 1.0);
}

TEST_F(ReplayPlaybackTest, ReplaysWithoutTwoShotsDoNotPlay) {
    for (const std::string& text : {std::string(), frameText(0), std::string("b 3 0 1 1 { ") + kStatus}) {
        load(text);
        EXPECT_FALSE(gh.replayPlaying);
        run(1.0);
        gh.replayShotIndex = 0;
        gh.loadReplayShot(false);
        EXPECT_FALSE(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzReplayLoadPractice({enabled: false});")
                         .empty());
    }
}

TEST_F(ReplayPlaybackTest, ClockFollowsTheSpeedFactor) {
    load(frameText(2));
    gh.replayTimeFactor = 2.0;
    gh.replayClockStart = gh.now;
    gh.replayTAtStart = gh.replayT;
    gh.now += 0.5;
    gh.update();
    EXPECT_EQ(gh.replayT, 1000);
}

TEST_F(ReplayPlaybackTest, IdleGapsAreSkipped) {
    load(frameText(2, 10000));
    // Shot 1 starts at 0 (the start record closed at T 0); its first event is due at 10000.
    EXPECT_EQ(gh.replayT, 0);
    gh.now += 0.01;
    gh.update();
    EXPECT_EQ(gh.replayT, 10000 - 2100);
    EXPECT_FALSE(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzSetReplayFrameTime({replayT: 7900,").empty());
}

TEST_F(ReplayPlaybackTest, FrameReplayPlaysEveryShotThenStops) {
    load(frameText(3));
    run(120.0);
    EXPECT_FALSE(gh.replayPlaying);
    EXPECT_EQ(gh.replayShotIndex, 4);
    EXPECT_FALSE(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzSetReplayShotPosition({shotNumber: 3,").empty());
}

TEST_F(ReplayPlaybackTest, MatchReplayAsksForTheNextFrame) {
    gh.replayFrameNumber = 2;
    gh.replayFrameCount = 5;
    gh.replayMatchId = 44;
    load(frameText(1), 3);
    run(60.0);
    EXPECT_FALSE(gh.replayPlaying);
    EXPECT_NE(log.text().find("'/replay match 44 3 '"), std::string::npos);
}

TEST_F(ReplayPlaybackTest, LoopPlaysAShotAtMostTenTimes) {
    load(frameText(1));
    gh.replayLoopCurrentShot = true;
    int plays = 0;
    for (int frames = 0; frames < 100000 && gh.replayPlaying; ++frames) {
        const int before = gh.replayEventIndex;
        run(0.02);
        if (gh.replayEventIndex < before) ++plays;
    }
    EXPECT_FALSE(gh.replayPlaying);
    EXPECT_FALSE(gh.replayLoopCurrentShot);
    EXPECT_EQ(gh.replayLoopCountdown, 10);
    EXPECT_EQ(plays, 9);
}

TEST_F(ReplayPlaybackTest, SkipRunsAimingQuietlyUpToTheNextRealEvent) {
    load("b 3 0 1 1 { " + kStatus + " T 1000 as 0 9 100 0 0 0 T 1500 ad 0 9 100 0 0 0 T 5000 s 0 9 100 0 0 0 " +
         "b 3 0 2 2 { " + kStatus);
    EXPECT_TRUE(gh.skipReplayEvents());
    // Both aiming events passed; the cue stroke stops the walk and gives its time.
    EXPECT_EQ(gh.replayEventIndex, 2);
    EXPECT_EQ(gh.replayT, 3000);
    EXPECT_FALSE(gh.skipReplayEvents());
    gh.replayShotIndex = 7;
    EXPECT_FALSE(gh.skipReplayEvents());
}

TEST_F(ReplayPlaybackTest, PositionButtonsShowTheChosenShotWithinOneToLast) {
    // Four shots: shot k starts from the position after shot k - 1, where ball 3 lies at x = k - 1.
    const struct {
        const char* name;
        int idata1, from, to;
    } cases[] = {
        {"replay-start", 0, 3, 1},         {"replay-prev", 0, 3, 2},          {"replay-prev", 0, 1, 1},
        {"replay-next", 0, 2, 3},          {"replay-next", 0, 4, 4},          {"replay-end", 0, 1, 4},
        {"set-replay-position", 3, 1, 3},  {"set-replay-position", 0, 3, 1},  {"set-replay-position", -5, 2, 1},
        {"set-replay-position", 99, 2, 4},
    };
    for (bool playing : {false, true}) {
        for (const auto& c : cases) {
            const std::string what = std::string(c.name) + " " + std::to_string(c.idata1) + " from " +
                                     std::to_string(c.from) + (playing ? " playing" : " paused");
            load(frameText(4), 1);
            gh.replayShotIndex = c.from;
            gh.loadReplayShot(true);
            if (!playing) gh.pauseReplay();
            gh.replayLoopCountdown = 3;
            pages.clear();

            gh.buttonPress(c.name, c.idata1, "");
            EXPECT_EQ(gh.replayShotIndex, c.to) << what;
            EXPECT_EQ(gh.replayT, gh.replayShots[c.to].startTime) << what;
            EXPECT_EQ(gh.table.balls[3].x, c.to - 1) << what;
            EXPECT_EQ(gh.replayEventIndex, 0) << what;
            EXPECT_EQ(gh.replayPlaying, true) << what;
            EXPECT_EQ(gh.replayPaused, !playing) << what;
            EXPECT_EQ(gh.replayLoopCountdown, 10) << what;
            EXPECT_EQ(gh.replayKind, 2) << what;  // a single-shot replay now runs as a frame
            EXPECT_FALSE(pages.statementsStartingWith(HtmlWindow::BottomBox,
                                                      "inbzSetReplayShotPosition({shotNumber: " +
                                                          std::to_string(c.to) + ",numberOfShots: 4,});")
                             .empty())
                << what;
        }
    }
}

// A shot's recorded status goes straight to the status application, not through the hook by which
// the end of a live shot hands over its parked status.
TEST_F(ReplayPlaybackTest, AShotsRecordedStatusIsAppliedWithoutTheParkedStatusHook) {
    const GameHandler::GameStatusApplier hook = GameHandler::setGameStatusApplier(nullptr);
    load(frameText(2), 1);
    gh.replayShotIndex = 2;
    pages.clear();
    gh.loadReplayShot(true);
    EXPECT_FALSE(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzUpdateGameStatus({atEndOfShot: 0,").empty());
    EXPECT_GE(log.count("DEBUG: rgs=0x"), 1);
    EXPECT_GE(log.count(", rgs->frameScore=[0,0]"), 1);
    GameHandler::setGameStatusApplier(hook);
}

TEST_F(ReplayPlaybackTest, PlayingOnFromAChosenShotReachesTheEnd) {
    load(frameText(4));
    gh.buttonPress("set-replay-position", 3, "");
    run(120.0);
    EXPECT_FALSE(gh.replayPlaying);
    EXPECT_EQ(gh.replayShotIndex, 5);
    // Shot 2 was skipped; shot 4 was played after shot 3.
    EXPECT_TRUE(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzSetReplayShotPosition({shotNumber: 2,").empty());
    EXPECT_FALSE(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzSetReplayShotPosition({shotNumber: 4,").empty());
}

TEST_F(ReplayPlaybackTest, ReplayCommands) {
    const struct {
        int kind, id, a, b;
        const char* text;
    } cases[] = {
        {1, 77, 0, 0, "'/replay shot 77 '"},
        {3, 5, 2, 0, "'/replay match 5 2 '"},
        {2, 9, 3, 4, "'/replay frame 9 3 4'"},
    };
    for (const auto& c : cases) {
        gh.sendReplayCommand(c.kind, c.id, c.a, c.b);
        EXPECT_NE(log.text().find(c.text), std::string::npos) << c.text;
    }
}

TEST_F(ReplayPlaybackTest, ReplayPartsJoinInOrderAndAStrayPartIsDropped) {
    const std::string text = frameText(2);
    Message stray = Message::initInfo(1, InfoCode::REPLAY_INFO, 2, 0, "garbage ", "");
    gh.receiveReplayPart(stray);
    EXPECT_TRUE(gh.replayText.empty());
    const size_t third = text.size() / 3;
    Message first = Message::initInfo(2, InfoCode::REPLAY_INFO, 2, 1, text.substr(0, third), "3,4");
    first.intList = {9, 0, 0, 4};
    gh.receiveReplayPart(first);
    gh.receiveReplayPart(Message::initInfo(3, InfoCode::REPLAY_INFO, 0, 0, text.substr(third, third), ""));
    gh.now = 100;
    gh.receiveReplayPart(Message::initInfo(4, InfoCode::REPLAY_INFO, 0, 2, text.substr(2 * third), ""));
    EXPECT_EQ(gh.replayText, text);
    EXPECT_EQ(gh.replayMatchId, 9);
    EXPECT_EQ(gh.replayFrameNumber, 1);
    EXPECT_EQ(gh.replayShots.size(), 3u);
    EXPECT_TRUE(gh.replayPlaying);
    EXPECT_FALSE(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzSetReplayMarkedShots([3,4]);").empty());
}

}  // namespace
