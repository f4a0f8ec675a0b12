// End to end over loopback: scripted SDL mouse events aim (drag, then point aiming), click the spin
// selector and shoot; the test server sees the live aim and the stroke and echoes them; the echoed
// stroke is animated to rest frame by frame with its sounds.
#include "support/table_view.h"
#include "support/captured_log.h"
#include "support/loopback_session.h"
#include "support/sound_recorder.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

std::vector<TableEvent>* echoedShots = nullptr;

// What the table-event dispatch does with the echo of a stroke.
void playEchoedStrokes(GameHandler& gh, const Message& message) {
    if (message.id != MessageId::TABLE_EVENT) return;
    for (const TableEvent& e : message.events) {
        if (e.type != TableEventType::SHOT) continue;
        if (echoedShots) echoedShots->push_back(e);
        gh.playReceivedStroke(e.number, e.aim.aimAngle, e.aim.power, e.aim.topSpin, e.aim.sideSpin,
                              e.aim.elevation);
    }
}

class AimAndShotServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestServerConfig config;
        config.accounts = {{"Alice", "secret"}};
        config.echo = true;
        ASSERT_TRUE(session.start(config, log.folder()));
        echoedShots = &shots;
    }
    void TearDown() override { echoedShots = nullptr; }

    static void seatAtTheTable(GameHandler& gh) {
        bztest::seatMeOnTurn(gh);
        bztest::lookStraightDown(gh);
        for (Ball& b : gh.table.balls) b.onTable = false;
        auto place = [&gh](int id, double x, double z) {
            Ball& b = gh.table.balls[id];
            b.onTable = true;
            b.x = x;
            b.z = z;
        };
        place(BALL_WHITE, 0, 0);
        place(10, -600, 0);
    }

    static void pause(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

    std::vector<TableEventType> eventTypes() const {
        std::vector<TableEventType> types;
        for (const Message& m : server.receivedWithId(MessageId::TABLE_EVENT))
            for (const TableEvent& e : m.events) types.push_back(e.type);
        return types;
    }

    bztest::CapturedLog log;
    bztest::RecordingSoundBank sounds;
    bztest::LoopbackSession session;
    TestServer& server = session.server;
    std::vector<TableEvent> shots;
};

TEST_F(AimAndShotServerTest, MouseAimsAndShootsAndTheEchoedStrokeRollsToRest) {
    ASSERT_TRUE(session.login("Alice", "secret"));
    GameHandler& gh = getGameHandler();
    seatAtTheTable(gh);
    setMessageProcessor(playEchoedStrokes);

    // Press on the cue ball (window centre) and let go: drag aiming.
    pause(0.2);
    bztest::mouseButton(gh, true, 500, 299);
    bztest::mouseButton(gh, false, 500, 299);
    ASSERT_EQ(gh.aimDragMode, 1);
    // A fast drag downwards on the screen for 0.6 s: aim along -x, moves at most every 0.25 s.
    for (int i = 0; i < 6; ++i) {
        pause(0.1);
        bztest::mouseMotion(gh, 500, 299, 0, 150);
    }
    EXPECT_NEAR(gh.aim.aimAngle, 180, 1e-9);
    const double power = gh.aim.power;
    EXPECT_GE(power, 120);
    // The next click ends drag aiming (point aiming); a click on the spin selector's centre shoots.
    pause(0.2);
    bztest::mouseButton(gh, true, 100, 100);
    bztest::mouseButton(gh, false, 100, 100);
    ASSERT_EQ(gh.pointAiming, 1);
    pause(0.2);
    bztest::mouseButton(gh, true, 824, 599 - 176);
    bztest::mouseButton(gh, false, 824, 599 - 176);
    EXPECT_TRUE(gh.shotSentWaiting);
    EXPECT_FALSE(gh.isAnyBallMoving());  // nothing moves before the echo

    ASSERT_TRUE(server.waitUntil([&] { return eventTypes().size() >= 4 && eventTypes().back() == TableEventType::SHOT; },
                                 3000));
    const std::vector<TableEventType> types = eventTypes();
    ASSERT_GE(types.size(), 4u);
    EXPECT_EQ(types.front(), TableEventType::LIVE_AIM_START);
    // The end of drag aiming sets the aim; the click on the selector shares the spin it set.
    const auto set = std::find(types.begin(), types.end(), TableEventType::LIVE_AIM_SET);
    ASSERT_NE(set, types.end());
    const auto moves = set - types.begin() - 1;
    EXPECT_GE(moves, 1);
    EXPECT_LE(moves, 3);  // 0.6 s of motion at one move per 0.25 s
    EXPECT_TRUE(std::all_of(types.begin() + 1, set, [](auto t) { return t == TableEventType::LIVE_AIM_MOVE; }));
    EXPECT_TRUE(std::all_of(set + 1, types.end() - 1, [](auto t) { return t == TableEventType::LIVE_AIM_MOVE; }));
    const TableEvent shot = server.receivedWithId(MessageId::TABLE_EVENT).back().events.back();
    EXPECT_EQ(shot.number, 0);
    EXPECT_EQ(shot.aim, (AimParameters{180, power, 0, 0, 0}));

    // The echo starts the stroke; frames run it to rest.
    ASSERT_TRUE(session.drainUntil([&] { return !shots.empty(); }));
    ASSERT_TRUE(gh.isAnyBallMoving());
    gh.averageFrameMicros = 16667;
    int frames = 0;
    while (gh.isAnyBallMoving() && frames < 60 * 60) {
        gh.updateShot();
        ++frames;
    }
    EXPECT_FALSE(gh.isAnyBallMoving());
    ASSERT_GE(sounds.played.size(), 2u);
    EXPECT_EQ(sounds.played[0].clip, sounds.cueStrikeClip);
    EXPECT_EQ(sounds.played[1].clip, sounds.ballMotionClips[0]);  // the click on the red
    for (const auto& played : sounds.played) EXPECT_EQ(played.kind, SoundKind::Ball);
    EXPECT_NE(gh.table.balls[10].x, -600);
}

}  // namespace
