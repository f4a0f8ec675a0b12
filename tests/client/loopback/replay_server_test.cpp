// End to end over loopback: a match replay arrives in three parts, the client plays its frame to
// the end and asks the server for the next frame of the match.
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "support/captured_log.h"
#include "support/loopback_session.h"
#include "support/sound_recorder.h"

#include <gtest/gtest.h>

namespace {

const std::string kStatus = "0 60 1 -1 -1 0 0 0 0 0 0 0 1 2 3 4 5 6 7 8 9 10 0 0 0 0 0 0 -1 1 -1 0 0 0 0 0 0 0 0 0 -1 -1 }";

TEST(ReplayServerTest, MatchReplayInThreePartsPlaysAndAsksForTheNextFrame) {
    bztest::CapturedLog log;
    bztest::RecordingSoundBank sounds;
    bztest::LoopbackSession session;
    TestServerConfig config;
    config.accounts = {{"alice", "secret"}};
    ASSERT_TRUE(session.start(config, log.folder()));
    ASSERT_TRUE(session.login("alice", "secret"));
    GameHandler& gh = getGameHandler();
    gh.replaySkipAimingProcess = false;

    const std::string text = "v 1 t 2 s p Ann Bob i 2023-01-05 20:00 x 7 1 3 60 0 0 0 b 0 0 -1000 0 1 0 0 0 { " +
                             kStatus + " T 500 as 0 90 100 0 0 0 T 900 s 0 90 100 0 0 0 b 3 0 1 5 { " + kStatus +
                             " T 1500 as 0 80 100 0 0 0 T 1900 s 0 80 100 0 0 0 b 3 0 2 5 { " + kStatus;
    const size_t third = text.size() / 3;
    Message first = Message::initInfo(9001, InfoCode::REPLAY_INFO, 3, 1, text.substr(0, third), "1");
    first.intList = {44, 1, 1, 2, 1, 0};
    const Message middle = Message::initInfo(9002, InfoCode::REPLAY_INFO, 0, 0, text.substr(third, third), "");
    const Message last = Message::initInfo(9003, InfoCode::REPLAY_INFO, 0, 2, text.substr(2 * third), "");
    ASSERT_TRUE(session.server.sendMessages(0, {first, middle, last}));
    ASSERT_TRUE(session.drainUntil([&] { return gh.replayMode; }));
    EXPECT_EQ(gh.replayText, text);
    ASSERT_EQ(gh.replayShots.size(), 3u);
    EXPECT_EQ(gh.replayShotIndex, 1);

    // Frames of 20 ms on the game clock until the frame has been played.
    bool sawShotTwo = false;
    for (int frame = 0; frame < 3000 && gh.replayPlaying; ++frame) {
        gh.now += 0.02;
        gh.averageFrameMicros = 20000;
        gh.updateShot();
        gh.update();
        sawShotTwo = sawShotTwo || gh.replayShotIndex == 2;
    }
    EXPECT_TRUE(sawShotTwo);
    EXPECT_FALSE(gh.replayPlaying);
    ASSERT_TRUE(session.server.waitForMessages(MessageId::CHAT_MESSAGE, 1, 3000));
    EXPECT_EQ(session.server.receivedWithId(MessageId::CHAT_MESSAGE).back().text1, "/replay match 44 2 ");
}

}  // namespace
