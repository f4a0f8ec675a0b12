// A lobby change driven by page queries through the real query dispatcher, over two loopback
// lobbies: while the user sits in a frame "change-lobby" only opens the leave warning; leaving
// logs out of the first lobby, and the Login page's follow-up logs in to the second.
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "support/captured_log.h"
#include "support/loopback_session.h"
#include "support/sound_recorder.h"
#include "ui/html_requests.h"
#include "ui/query_dispatcher.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

std::string buttonQuery(const std::string& name, const std::string& sdata1 = "") {
    return R"({"requestName":"buttonPress","buttonInfo":")" + name + R"(","idata1":0,"sdata1":")" + sdata1 + R"("})";
}

TEST(LobbyChangeServerTest, LeaveWarningThenLoginToTheNextLobby) {
    bztest::CapturedLog log;
    bztest::RecordingSoundBank sounds;
    bztest::LoopbackSession session;
    TestServerConfig config;
    config.accounts = {{"alice", "secret"}};
    ASSERT_TRUE(session.start(config, log.folder()));
    TestServer next;
    config.lobbyName = "Tournament Lobby";
    next.setConfig(config);
    ASSERT_TRUE(next.start());
    {
        // The second entry of the list is the second lobby, on its own port.
        std::lock_guard<std::mutex> lock(lobbyServersMutex);
        ASSERT_GE(lobbyServers.size(), 2u);
        lobbyServers[1].port = next.port();
        lobbyServers[1].online = true;
    }
    ASSERT_TRUE(session.login("alice", "secret"));
    EXPECT_EQ(session.handler.serverName, lobbyServers[0].name);
    const std::string nextName = lobbyServers[1].name;

    GameHandler& gh = getGameHandler();
    gh.table.setPlayer(0, gh.findPlayer("alice"));
    gh.table.setPlayer(1, gh.findPlayer("Bob"));
    appState = STATE_GAME;
    HtmlRequests requests;

    EXPECT_EQ(dispatchHtmlQuery(buttonQuery("change-lobby", nextName), requests), htmlQueryAnswer());
    EXPECT_EQ(session.pages.statementsFor(HtmlWindow::Alerts), std::vector<std::string>{"inbzOpenLeaveWarning();"});
    EXPECT_TRUE(gh.alertsPanel.visible);
    EXPECT_TRUE(session.handler.lobbyChangePending);
    EXPECT_EQ(session.handler.nextServerName, nextName);
    // Nothing reaches the first lobby while the warning is open.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(session.server.countReceived(MessageId::LOGOUT_REQ), 0u);

    dispatchHtmlQuery(buttonQuery("alert-leave-warning-leave"), requests);
    EXPECT_TRUE(appRunning);
    EXPECT_FALSE(gh.alertsPanel.visible);
    ASSERT_TRUE(session.server.waitForMessages(MessageId::LOGOUT_REQ, 1, 3000));

    // The end of the first connection hands the Login page a delayed login to the next lobby.
    const std::regex login("requestName: 'loginEnterLobby', +servername: '([^']*)', +username: '([^']*)', +"
                           "password: '([^']*)', +rememberme: (true|false)");
    std::smatch found;
    std::string statement;
    auto loginQueued = [&] {
        for (const std::string& s : session.pages.statementsFor(HtmlWindow::Login)) {
            if (std::regex_search(s, login)) statement = s;
        }
        return !statement.empty();
    };
    ASSERT_TRUE(session.drainUntil(loginQueued));
    ASSERT_TRUE(std::regex_search(statement, found, login));
    EXPECT_EQ(found[1], nextName);
    EXPECT_EQ(found[2], "alice");
    EXPECT_TRUE(session.handler.nextServerName.empty());

    // What the page's timer sends with those values.
    dispatchHtmlQuery(R"({"requestName":"loginEnterLobby","servername":")" + found[1].str() + R"(","username":")" +
                          found[2].str() + R"(","password":")" + found[3].str() + R"(","rememberme":)" +
                          found[4].str() + "}",
                      requests);
    ASSERT_TRUE(session.drainUntil([] { return appState.load() == STATE_LOBBY; }));
    EXPECT_EQ(session.handler.serverName, nextName);
    EXPECT_GE(next.countReceived(MessageId::LOGIN_REQ), 1u);
    EXPECT_FALSE(session.handler.lobbyChangePending);
    EXPECT_TRUE(appRunning);
    next.stop();
}

}  // namespace
