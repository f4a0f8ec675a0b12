// End to end over loopback: the test server drives a tutorial, a Kred Box, invitations and the
// remote log; the main loop's drain hands its messages to the handlers.
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/log.h"
#include "dispatch/kred_box.h"
#include "support/captured_log.h"
#include "support/loopback_session.h"
#include "support/sound_recorder.h"
#include "tools/testserver/test_server.h"

#include <gtest/gtest.h>

namespace {

Message info(uint32_t iid, int code, int a = 0, int b = 0, std::vector<int32_t> ints = {}) {
    Message m = Message::initInfo(iid, code, a, b, "", "");
    m.intList = std::move(ints);
    return m;
}

class InfoServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestServerConfig config;
        config.accounts = {{"Alice", "secret"}};
        ASSERT_TRUE(session.start(config, log.folder()));
        ASSERT_TRUE(session.login("Alice", "secret"));
    }
    void TearDown() override {
        gh.table.setPlayer(0, nullptr);
        gh.table.setPlayer(1, nullptr);
        gh.table.status.gameState = 0;
        gh.invitesPanel = {};
    }

    bool send(std::vector<Message> messages, const std::string& lastLine) {
        return server.sendMessages(0, std::move(messages)) &&
               session.drainUntil([&] { return log.count(lastLine) >= 1; });
    }

    bztest::CapturedLog log;
    bztest::RecordingSoundBank sounds;
    bztest::LoopbackSession session;
    RecordingPageScriptSink& pages = session.pages;
    TestServer& server = session.server;
    GameHandler& gh = getGameHandler();
};

TEST_F(InfoServerTest, ATutorialFromEntryToExit) {
    ASSERT_TRUE(send({info(501, 12, 1), info(502, 16, 3), info(503, 21)}, "INFO received: TUTCH_TOPIC_PASSED"));
    EXPECT_EQ(appState.load(), STATE_TABLE);
    EXPECT_TRUE(gh.inTutorial);
    EXPECT_EQ(gh.tutorialTopic, 3);
    ASSERT_EQ(gh.tutorialMarks.size(), 1u);
    EXPECT_EQ(gh.tutorialMarks[0].x1, 12.0f);
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbz"),
              (std::vector<std::string>{"inbzEnterTutorial();inbzStopTutorialTopic();", "inbzStartTutorialTopic({topic: 3,});"}));
    EXPECT_EQ(pages.statementsFor(HtmlWindow::CoinToss), std::vector<std::string>{"inbzTutResult({passed:true});"});
    ASSERT_EQ(sounds.played.size(), 1u);
    EXPECT_EQ(sounds.played[0].clip, std::vector<int>({sounds.tutorialPassClip1, sounds.tutorialPassClip2,
                                                       sounds.tutorialPassClip3})[503 % 3]);

    ASSERT_TRUE(send({info(504, 14)}, "INFO received: EXIT_TUTCH_INFO"));
    EXPECT_EQ(appState.load(), STATE_LOBBY);
    EXPECT_FALSE(gh.inTutorial);
    EXPECT_TRUE(gh.tutorialMarks.empty());
}

TEST_F(InfoServerTest, AKredBoxFromItsAnnouncementToItsCollection) {
    ASSERT_TRUE(send({info(601, 36, 120, 0)}, "KRED_BOX_INFO: 120, 0"));
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Lobby),
              std::vector<std::string>{"inbzKboxInfo({kred: 120,secondsUntilOpening: 0,});"});
    appState = STATE_TABLE;
    kredBoxOpened(gh);
    kredBoxCollect(gh);
    ASSERT_TRUE(server.waitUntil(
        [&] {
            for (const Message& m : server.receivedWithId(MessageId::INFO)) {
                if (m.infoCode == 37) return true;
            }
            return false;
        },
        5000));
    kredBoxCollected(gh);
    const std::vector<std::string> bottom = pages.statementsFor(HtmlWindow::BottomBox);
    ASSERT_EQ(bottom.size(), 2u);
    EXPECT_NE(bottom[0].find("Collect Kred"), std::string::npos);
    EXPECT_NE(bottom[1].find("qci.innerHTML = \"Collected 120 Kred.\";"), std::string::npos);
    appState = STATE_LOBBY;
}

TEST_F(InfoServerTest, AnInvitationWaitsWhileTheUserPlaysAndOpensWhileWatching) {
    Player* me = gh.findPlayer("Alice");
    Player* bob = gh.findPlayer("Bob");
    Player* carol = gh.findPlayer("Carol");
    appState = STATE_GAME;
    gh.table.status.gameState = 1;
    gh.table.setPlayer(0, me);
    gh.table.setPlayer(1, bob);
    const std::vector<int32_t> nine = {1, 1, 1, 3, 60, 5, 1500, 0, 0};
    Message seated = info(701, 30, 21, 0, nine);
    seated.textA = "Bob";
    ASSERT_TRUE(send({seated}, "Invitation sent to invites.html: inbzInviteInfo({id: 21,"));
    EXPECT_FALSE(gh.invitesPanel.visible);

    gh.table.setPlayer(0, carol);
    Message watching = info(702, 30, 22, 0, nine);
    watching.textA = "Bob";
    ASSERT_TRUE(send({watching}, "Invitation sent to invites.html: inbzInviteInfo({id: 22,"));
    EXPECT_TRUE(gh.invitesPanel.visible);
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::Invites, "inbzInviteInfo(").size(), 2u);
    appState = STATE_LOBBY;
}

TEST_F(InfoServerTest, TheServerConfiguresTheLogAndTakesItsPiecesAsRead) {
    ASSERT_TRUE(send({info(801, 81, 1, -1, {600, -1, -1})}, "INFO_CODE_BZLOG(1,-1)"));
    EXPECT_EQ(logConfig().maxDurationSeconds, 600);
    // A line that holds the password's text by chance is not altered on its way up.
    BZ_LOG(LOG_INFO, "test", "a line with the word secret in it");
    for (int i = 0; i < 40; ++i) BZ_LOG(LOG_INFO, "test", "filler " << i << " " << std::string(100, 'x'));
    const uint64_t size = logFileSize();
    ASSERT_GT(size, 3000u);
    const std::string written = log.text();

    // The whole file goes up in one piece here, and the file is then deleted: the reply is the sign.
    const auto replied = [&] {
        for (const Message& m : server.receivedWithId(MessageId::INFO)) {
            if (m.infoCode == 81) return true;
        }
        return false;
    };
    ASSERT_TRUE(server.sendMessage(0, info(802, 81, 3, 0)));
    ASSERT_TRUE(session.drainUntil(replied));
    ASSERT_TRUE(server.waitUntil(replied, 5000));
    Message reply;
    for (const Message& m : server.receivedWithId(MessageId::INFO)) {
        if (m.infoCode == 81) reply = m;
    }
    EXPECT_EQ(reply.valueA, 4);
    EXPECT_EQ(reply.valueB, 0);
    ASSERT_EQ(reply.intList.size(), 1u);
    EXPECT_GE(static_cast<uint64_t>(reply.intList[0]), size);
    // Lines logged after the reading above (the upload's own) follow in the piece.
    ASSERT_GE(reply.textA.size(), written.size());
    EXPECT_EQ(reply.textA.substr(0, written.size()), written);
}

}  // namespace
