// The own stroke, the received stroke in flight and the end of a shot.
#include "client/gamehandler/game_handler.h"
#include "support/table_view.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "net/connection_handler.h"
#include "physics/physics_test_util.h"
#include "support/fake_clock.h"
#include "support/sound_recorder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

using physics_test::clearTable;
using physics_test::placeBall;

class ShotTest : public ::testing::Test {
protected:
    void SetUp() override {
        bztest::seatMeOnTurn(gh);
        gh.liveStatus->ballInHand = true;
    }
    void TearDown() override { GameHandler::setGameStatusApplier(nullptr); }

    // Frames at the given rate until the shot is over; false when it does not end in two minutes.
    static bool runFrames(GameHandler& handler, double fps) {
        handler.averageFrameMicros = static_cast<int64_t>(1e6 / fps);
        for (int frame = 0; frame < fps * 120; ++frame) {
            if (!handler.isAnyBallMoving()) return true;
            handler.updateShot();
        }
        return false;
    }

    physics_test::CapturedLog log;
    bztest::FakeClock clock;
    bztest::RecordingSoundBank sounds;
    bztest::OwnUserSeam seam;
    ConnectionHandler& handler = seam.handler;
    RecordingPageScriptSink& pages = seam.pages;
    GameHandler gh;
};

TEST_F(ShotTest, OwnStrokeIsOnlySentAndTheNominationDecides) {
    // Cue ball in the middle, the pink straight ahead, a red off to the side.
    clearTable(gh.table);
    placeBall(gh.table, BALL_WHITE, 0, 0);
    placeBall(gh.table, BALL_PINK, 600, 0);
    placeBall(gh.table, 10, 0, 600);
    struct Row {
        const char* what;
        int ballOn, nominated;
        bool freeBall;
        double aimAngle;
        const char* arezors;
        bool sent, notice;
    };
    const Row rows[] = {
        {"a red on", 1, 0, false, 0, "", true, false},
        {"a colour on, nominated", 0, 6, false, 90, "", true, false},
        {"a colour on, aimed at the pink", 0, 0, false, 0, "", true, false},
        {"a colour on, aimed at a red", 0, 0, false, 90, "", false, true},
        {"a colour on, aimed at a red, Arezor 5", 0, 0, false, 90, "000001", true, false},
        {"a free ball aimed at a red", 1, 0, true, 90, "", true, false},
        {"a free ball, nominated", 1, 3, true, 90, "", true, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        gh.liveStatus->ballOn = r.ballOn;
        gh.liveStatus->nominatedBall = r.nominated;
        gh.liveStatus->freeBall = r.freeBall;
        gh.aim.aimAngle = r.aimAngle;
        gh.arezors = r.arezors;
        gh.shotSentWaiting = false;
        gh.aimShown = true;
        sounds.played.clear();
        pages.clear();
        const size_t before = handler.outgoingCount();
        gh.shoot(false);
        EXPECT_EQ(handler.outgoingCount() - before, r.sent ? 1u : 0u);
        EXPECT_EQ(gh.shotSentWaiting, r.sent);
        EXPECT_EQ(gh.aimShown, !r.sent);
        EXPECT_FALSE(gh.isAnyBallMoving());  // nothing moves before the echo
        EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::TopBox, "inbzNotice({text:'Please nominate!").size(),
                  r.notice ? 1u : 0u);
        const std::vector<bztest::RecordingSoundBank::Played> referee = {
            {SoundKind::Referee, sounds.firstRefereeClip + 127, 1.0f}};
        EXPECT_EQ(sounds.played, r.notice ? referee : std::vector<bztest::RecordingSoundBank::Played>{});
    }
}

TEST_F(ShotTest, ReceivedStrokeMovesTheBallsSoundsAndKeepsTheOwnAim) {
    gh.aim = AimParameters{10, 20, 30, 40, 50};
    gh.remoteAimActive = true;
    gh.liveStatus->playerOn = 1;
    const double cueX = gh.table.balls[0].x;
    gh.playReceivedStroke(4, 180, 120, 0, 0, 0);
    EXPECT_TRUE(gh.isAnyBallMoving());
    EXPECT_EQ(gh.aim, (AimParameters{10, 20, 30, 40, 50}));
    EXPECT_FALSE(gh.remoteAimActive);
    EXPECT_TRUE(gh.shotSentWaiting);
    EXPECT_EQ(gh.liveStatus->nominatedBall, 0);
    ASSERT_EQ(sounds.played.size(), 1u);
    EXPECT_EQ(sounds.played[0], (bztest::RecordingSoundBank::Played{SoundKind::Ball, 0, 0.5f}));
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox),
              (std::vector<std::string>{"inbzStopShotTimer({player: 1,});"}));
    EXPECT_EQ(gh.ballMarkerFrom, 86400000);  // the ball-in-hand marker hides until the shot ends

    // A second stroke while the balls still roll is dropped: the own aim stays, nothing restarts.
    const double x = gh.table.balls[0].x;
    gh.playReceivedStroke(0, 0, 400, 0, 0, 0);
    EXPECT_EQ(gh.aim, (AimParameters{10, 20, 30, 40, 50}));
    EXPECT_EQ(gh.table.balls[0].x, x);
    EXPECT_EQ(log.count("Stroke dropped"), 1);
    EXPECT_EQ(sounds.played.size(), 1u);

    ASSERT_TRUE(runFrames(gh, 60));
    EXPECT_LT(gh.table.balls[0].x, cueX);
}

// Every ball's place after the break, to the bit.
std::vector<uint64_t> breakResult(double fps, bool inOneGo) {
    GameHandler handler;
    srand48(77);
    handler.table.setupBalls(handler.table.status);
    handler.playReceivedStroke(0, 178.0, 330, 20, -15, 0);
    if (inOneGo) {
        while (handler.isAnyBallMoving()) handler.shotStepper.subStep();
    } else {
        handler.averageFrameMicros = static_cast<int64_t>(1e6 / fps);
        while (handler.isAnyBallMoving()) handler.updateShot();
    }
    std::vector<uint64_t> bits;
    for (const Ball& b : handler.table.balls) {
        for (double v : {b.x, b.y, b.z}) {
            uint64_t u = 0;
            std::memcpy(&u, &v, sizeof u);
            bits.push_back(u);
        }
        bits.push_back(b.onTable);
    }
    return bits;
}

TEST_F(ShotTest, AStrokeEndsWithTheSameBitsAtEveryFrameRate) {
    const std::vector<uint64_t> reference = breakResult(0, true);
    for (double fps : {30.0, 60.0, 144.0}) EXPECT_EQ(breakResult(fps, false), reference) << fps << " frames/s";
}

TEST_F(ShotTest, AStalledFrameOrABrokenConstantNeverHoldsTheMainThread) {
    clearTable(gh.table);
    placeBall(gh.table, BALL_WHITE, 0, 0);
    gh.playReceivedStroke(0, 90, 100, 0, 0, 0);
    // A frame of ten seconds simulates at most one second, and at most the sub-step cap.
    gh.averageFrameMicros = 10'000'000;
    gh.updateShot();
    EXPECT_LE(gh.shotStepper.simulationTime(), 1.0 + (*gh.table.params)[26]);
    EXPECT_LE(gh.shotStepper.subStepsRun(), ShotStepper::kMaxSubStepsPerFrame);
    gh.averageFrameMicros = -5;
    const double before = gh.shotStepper.simulationTime();
    gh.updateShot();
    EXPECT_GT(gh.shotStepper.simulationTime(), before);  // still one pass

    // A NaN step length: every pass is pushed on by the minimum step.
    TableParams& p = *gh.table.params;
    const double saved = p[26];
    p[26] = std::numeric_limits<double>::quiet_NaN();
    gh.averageFrameMicros = 16667;
    const double t0 = gh.shotStepper.simulationTime();
    gh.updateShot();
    p[26] = saved;
    EXPECT_TRUE(std::isfinite(gh.shotStepper.simulationTime()));
    EXPECT_GT(gh.shotStepper.simulationTime(), t0);
    EXPECT_EQ(log.count("forcing a minimum step"), 1);
}

TEST_F(ShotTest, EndShotAppliesTheStatusThenTheHeldChatThenResetsTheStroke) {
    static std::vector<std::string>* order = nullptr;
    std::vector<std::string> seen;
    order = &seen;
    static uint32_t frameDuration = 0;
    GameHandler::setGameStatusApplier([](GameHandler&, const GameStatus& status, int sequence, bool atEnd,
                                         const std::vector<int>*, double) {
        order->push_back("status " + std::to_string(sequence) + (atEnd ? " at end" : ""));
        frameDuration = status.frameDuration;
        runJavaScript(HtmlWindow::TopBox, "statusApplied();");
    });
    gh.now = 100.25;
    gh.statusReceivedAt = 100.0;
    gh.statusPending = true;
    gh.pendingStatusSequence = 7;
    gh.pendingStatus.frameDuration = 1000;
    gh.deferredChatMessages.push_back(Message::initChat(1, 1, ChatClass::CHAT, 0, "Bob", 0, "first", "", "", "", ""));
    gh.deferredChatMessages.push_back(Message::initChat(2, 1, ChatClass::CHAT, 0, "Bob", 0, "second", "", "", "", ""));
    gh.aim = AimParameters{33, 250, -40, 60, 20};
    gh.aimBallIndex = 1;
    gh.shotSentWaiting = true;
    gh.updateShot();  // at rest with a parked status: the shot ends

    EXPECT_EQ(seen, (std::vector<std::string>{"status 7 at end"}));
    EXPECT_EQ(frameDuration, 1250u);
    EXPECT_FALSE(gh.statusPending);
    const std::vector<RecordingPageScriptSink::Entry> entries = pages.entries();
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ(entries[0].statement, "statusApplied();");
    EXPECT_NE(entries[1].statement.find("first"), std::string::npos);
    EXPECT_NE(entries.back().statement.find("second"), std::string::npos);
    EXPECT_TRUE(gh.deferredChatMessages.empty());
    EXPECT_EQ(gh.aim, (AimParameters{33, 250, 80, 0, 0}));
    EXPECT_EQ(gh.aimBallIndex, 0);
    EXPECT_FALSE(gh.shotSentWaiting);
    EXPECT_EQ(gh.pocketTidyTime, 105.25);
    EXPECT_EQ(gh.ballMarkerFrom, 100.25);
    EXPECT_EQ(log.count("elapsedSinceReception=250"), 1);
    order = nullptr;
}

TEST_F(ShotTest, CueStrokeAnimationKeepsItsTimeAfterDaysOfUptime) {
    const double thirtyDays = 30 * 86400.0;  // 2.6e9 ms: past a 32-bit millisecond count
    gh.startCueStroke(400, thirtyDays);
    EXPECT_EQ(gh.cueStrokeEndTime, static_cast<int64_t>(thirtyDays * 1000));
    EXPECT_DOUBLE_EQ(gh.cueStrokeDuration, 360.0 / (7 * 60) / 1.5);
    EXPECT_EQ(gh.cueStrokeLength, 185);
    const double half = gh.cueStrokeDuration * 0.5;  // about 0.286 s
    gh.updateCueStroke(thirtyDays + 0.01);
    EXPECT_TRUE(gh.cueStrokeOn);
    EXPECT_EQ(gh.cueStrokeFade, 1);
    gh.updateCueStroke(thirtyDays + half * 0.75);
    EXPECT_GT(gh.cueStrokeFade, 0);
    EXPECT_LT(gh.cueStrokeFade, 1);
    gh.updateCueStroke(thirtyDays + half + 0.01);
    EXPECT_FALSE(gh.cueStrokeOn);
    EXPECT_EQ(gh.cueStrokeFade, 1);
}

TEST_F(ShotTest, BreakAndBallOnDisplaySwitches) {
    gh.setShowBreak(true);
    gh.setShowBallOn(false);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::TopBox),
              (std::vector<std::string>{
                  "if (typeof inbzShowBreak !== 'undefined') { inbzShowBreak({showBreak: 1}); }",
                  "if (typeof inbzShowBallOn !== 'undefined') { inbzShowBallOn({showBallOn: 0}); }"}));
}

}  // namespace
