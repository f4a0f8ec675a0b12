// End to end over loopback: after login the server greets the client, lists the user (in the
// server's spelling of the nick) and a table where the user watches, and pings it; the client
// answers the ping, takes the server's spelling, sets the title, offers the join button, and chat
// typed in the lobby reaches the server.
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "support/captured_log.h"
#include "support/loopback_session.h"
#include "support/platform_recorder.h"
#include "support/sound_recorder.h"

#include <gtest/gtest.h>

namespace {

TEST(LobbyRoadServerTest, GreetingListsPingAndLobbyChat) {
    bztest::CapturedLog log;
    bztest::RecordingSoundBank sounds;
    bztest::RecordingPlatform platform;
    bztest::LoopbackSession session;
    TestServerConfig config;
    config.accounts = {{"alice", "secret"}};
    ASSERT_TRUE(session.start(config, log.folder()));
    ASSERT_TRUE(session.login("alice", "secret"));
    GameHandler& gh = getGameHandler();
    gh.windowWidth = 1280;
    gh.windowHeight = 720;
    gh.measuredFps = 59.996f;

    Message greeting = Message::initInfo(9001, 1, 0, 0, "", "");
    greeting.intList = {5, 4, 3, 2, 1, 126, 0, 0, 0};
    greeting.textList = {"Players Lounge", "unused"};
    Message users(MessageId::USER_LIST_INFO, 9002);
    users.users = {{"Alice|1.5|2|3|4|5|0|Players Lounge", 0, 1800, 7, 0}, {"Bob|1|0|0|0|0", 0, 1500, 9, 0}};
    Message tables(MessageId::TABLE_LIST_INFO, 9003);
    TableListEntry table;
    table.tableId = 31;
    table.tableName = "(t2)Evening";
    table.tableType = 1;
    table.player1 = "Bob";
    table.privacy = 2;
    table.viewers = {"Alice"};
    tables.tables = {table};
    ASSERT_TRUE(session.server.sendMessages(0, {greeting, users, tables, Message::initInfo(9004, 24, 7, 0, "", "")}));

    auto pingAnswered = [&] {
        for (const Message& m : session.server.receivedWithId(MessageId::INFO)) {
            if (m.infoCode == 25) return true;
        }
        return false;
    };
    ASSERT_TRUE(session.drainUntil(pingAnswered));
    Message reply;
    for (const Message& m : session.server.receivedWithId(MessageId::INFO)) {
        if (m.infoCode == 25) reply = m;
    }
    EXPECT_EQ(reply.valueA, 7);
    EXPECT_EQ(reply.valueB, 0);
    EXPECT_TRUE(reply.textA.empty());
    const GameSettings& s = gh.gameSettings;
    EXPECT_EQ(reply.intList, (std::vector<int32_t>{1280, 720, 6000, s.vsync, static_cast<int32_t>(s.fps * 100 + 0.5f),
                                                   s.antiAliasing, s.arena, s.displayMode, s.lightSources,
                                                   s.resolutionLimit, s.reverseAiming, s.scalingMode, s.thickLines,
                                                   s.whiteLines, 2}));

    EXPECT_EQ(session.handler.userName, "Alice");
    EXPECT_EQ(gh.lobbyName, "Players Lounge");
    EXPECT_EQ(platform.calls.back(), "title:Baizeron    User: Alice | Rank: 7 | Rating: 1800");
    EXPECT_EQ(gh.table.getId(), 31);
    EXPECT_EQ(gh.table.getName(), "Evening");
    EXPECT_EQ(session.pages.statementsFor(HtmlWindow::StartMatch),
              std::vector<std::string>{"asViewerZeroOrOnePlayer(true, false,true,2,true);"});
    const std::vector<std::string> lobbyUsers = session.pages.statementsStartingWith(HtmlWindow::Lobby, "inbzUserInfo(");
    ASSERT_EQ(lobbyUsers.size(), 1u);
    EXPECT_NE(lobbyUsers[0].find("{userName:'Bob',"), std::string::npos);

    gh.sendChatText("hi all", true, false);
    ASSERT_TRUE(session.server.waitForMessages(MessageId::CHAT_MESSAGE, 1, 3000));
    const Message chat = session.server.receivedWithId(MessageId::CHAT_MESSAGE)[0];
    EXPECT_EQ(chat.toTable, 0);
    EXPECT_EQ(chat.chatClass, ChatClass::CHAT);
    EXPECT_EQ(chat.sender, "Alice");
    EXPECT_EQ(chat.text1, "hi all");
    EXPECT_EQ(chat.tableId, 0);
}

}  // namespace
