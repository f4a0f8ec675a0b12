// The lobby-server list and its status poll against loopback servers: online marks, merging of
// replies, the exact page text, bounded queries and the poll thread's schedule.
#include "net/lobby_servers.h"

#include "core/app_status.h"
#include "net/connection_handler.h"
#include "net_test_support.h"
#include "tools/testserver/test_server.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using nettest::NetTest;
using nettest::waitUntil;

class LobbyPollTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        appState = STATE_LOGIN;
        lobbyListRequested = false;
    }

    void TearDown() override {
        lounge.stop();
        tournament.stop();
        appState = STATE_STARTUP;
        appRunning = true;
        lobbyListRequested = false;
        NetTest::TearDown();
    }

    void startServers() {
        TestServerConfig config;
        config.lobbyName = "Players Lounge";
        config.lobbyVersion = "2.1";
        config.maxUsers = 500;
        config.currentUsers = 42;
        lounge.setConfig(config);
        ASSERT_TRUE(lounge.start());
        config.lobbyName = "Tournament \"Lobby\"";
        config.lobbyVersion = "3";
        config.maxUsers = 100;
        config.currentUsers = 7;
        tournament.setConfig(config);
        ASSERT_TRUE(tournament.start());
        // The third default entry points at a port where nothing listens.
        resetLobbyServers("127.0.0.1", 1);
        setLobby(0, lounge.port(), false);
        setLobby(1, tournament.port(), false);
        setLobby(2, nettest::closedLoopbackPort(), false);
    }

    std::vector<std::string> lobbyTexts(HtmlWindow window) const {
        return pages.statementsStartingWith(window, "updateLobbies([");
    }

    TestServer lounge;
    TestServer tournament;
};

const char* const kBothOnline =
    "updateLobbies([{name:\"Players Lounge\",version:\"2.1\",maxUsers:500,currentUsers:42},"
    "{name:\"Tournament \\\"Lobby\\\"\",version:\"3\",maxUsers:100,currentUsers:7}]);";

TEST_F(LobbyPollTest, PassMarksAnsweringServersOnlineAndShowsThem) {
    startServers();
    ASSERT_TRUE(lobbyPollPass(HtmlWindow::Login));
    const auto servers = lobbySnapshot();
    ASSERT_EQ(servers.size(), 3u);
    EXPECT_TRUE(servers[0].online);
    EXPECT_EQ(servers[0].name, "Players Lounge");
    EXPECT_EQ(servers[0].currentUsers, 42u);
    EXPECT_TRUE(servers[1].online);
    EXPECT_FALSE(servers[2].online);
    EXPECT_EQ(servers[2].name, "New Lobby");  // an entry that did not answer keeps its fields

    // The same text in the Login page and then the Lobby page.
    const auto entries = pages.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].window, HtmlWindow::Login);
    EXPECT_EQ(entries[0].statement, kBothOnline);
    EXPECT_EQ(entries[1].window, HtmlWindow::Lobby);
    EXPECT_EQ(entries[1].statement, kBothOnline);

    // Each query is a short status connection that declines the login.
    ASSERT_EQ(lounge.received().size(), 3u);
    EXPECT_EQ(lounge.received()[0].message.id, MessageId::SERVER_STATUS_REQ);
    EXPECT_EQ(lounge.received()[0].keyStage, 0);
    EXPECT_EQ(lounge.received()[1].message.nick, "*");
    EXPECT_EQ(lounge.received()[2].message.id, MessageId::NO_LOGIN);

    // A login can now find the lounge.
    ConnectionHandler handler;
    handler.serverName = "Players Lounge";
    std::string address;
    uint32_t port = 0;
    ASSERT_TRUE(handler.lookupServer(address, port));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(port, lounge.port());
    handler.serverName = "New Lobby";
    EXPECT_FALSE(handler.lookupServer(address, port));
}

TEST_F(LobbyPollTest, EveryAnsweringPassShowsTheListAgainAndSilentPassesDoNot) {
    startServers();
    ASSERT_TRUE(lobbyPollPass(HtmlWindow::Login));
    ASSERT_TRUE(lobbyPollPass(HtmlWindow::Login));  // blanked and refilled: shown again
    EXPECT_EQ(lobbyTexts(HtmlWindow::Lobby).size(), 2u);

    // A server that stops answering drops out of the text but keeps its name and counts.
    tournament.stop();
    ASSERT_TRUE(lobbyPollPass(HtmlWindow::Login));
    EXPECT_EQ(lobbyTexts(HtmlWindow::Login).back(),
              "updateLobbies([{name:\"Players Lounge\",version:\"2.1\",maxUsers:500,currentUsers:42}]);");
    EXPECT_FALSE(lobbySnapshot()[1].online);
    EXPECT_EQ(lobbySnapshot()[1].currentUsers, 7u);

    // The last one to stop leaves no lobby: the form says which addresses it tried.
    lounge.stop();
    pages.clear();
    EXPECT_TRUE(lobbyPollPass(HtmlWindow::Login));
    const auto servers = lobbySnapshot();
    for (const LobbyServer& server : servers) EXPECT_FALSE(server.online);
    std::string tried;
    for (const LobbyServer& server : servers) tried += (tried.empty() ? "\"127.0.0.1:" : ",\"127.0.0.1:") + std::to_string(server.port) + "\"";
    EXPECT_EQ(lobbyTexts(HtmlWindow::Login), std::vector<std::string>{"updateLobbies([],{tried:[" + tried + "]});"});

    // Nothing changed: silent; a first pass speaks even then.
    pages.clear();
    EXPECT_FALSE(lobbyPollPass(HtmlWindow::Login));
    EXPECT_TRUE(pages.entries().empty());
    EXPECT_TRUE(lobbyPollPass(HtmlWindow::Login, true));
    EXPECT_EQ(lobbyTexts(HtmlWindow::Login).size(), 1u);
}

TEST_F(LobbyPollTest, FurtherServersNamedInRepliesAreAddedAndPolled) {
    startServers();
    TestServerConfig config = lounge.config();
    config.furtherServers = {{"127.0.0.1", tournament.port()}, {"127.0.0.1", 1}};
    lounge.setConfig(config);
    // Only the lounge is listed at first.
    {
        std::lock_guard<std::mutex> lock(lobbyServersMutex);
        lobbyServers.resize(1);
    }
    ASSERT_TRUE(lobbyPollPass(HtmlWindow::Login));
    auto servers = lobbySnapshot();
    ASSERT_EQ(servers.size(), 3u);
    EXPECT_EQ(servers[1].port, tournament.port());
    // A named server is listed offline, without name or counts, until it answers itself.
    EXPECT_TRUE(servers[1].name.empty());
    EXPECT_EQ(servers[1].maxUsers, 0u);
    EXPECT_EQ(servers[1].currentUsers, 0u);
    EXPECT_FALSE(servers[1].online);
    EXPECT_EQ(lobbyTexts(HtmlWindow::Login).back(),
              "updateLobbies([{name:\"Players Lounge\",version:\"2.1\",maxUsers:500,currentUsers:42}]);");

    // The next pass asks the added servers themselves; the one where nothing listens goes offline.
    ASSERT_TRUE(lobbyPollPass(HtmlWindow::Login));
    servers = lobbySnapshot();
    ASSERT_EQ(servers.size(), 3u);
    EXPECT_EQ(servers[1].name, "Tournament \"Lobby\"");
    EXPECT_TRUE(servers[1].online);
    EXPECT_FALSE(servers[2].online);
}

TEST_F(LobbyPollTest, RepliesCannotGrowTheListWithoutBound) {
    std::vector<LobbyServer> servers;
    std::vector<LobbyServer> replies;
    for (uint32_t i = 0; i < 100; ++i) replies.push_back({"", "10.0.0.1", 1000 + i, "", 1, 0, true});
    EXPECT_FALSE(mergeLobbyReplies(servers, replies));
    EXPECT_EQ(servers.size(), MAX_LOBBY_SERVERS);
    EXPECT_EQ(servers.back().port, 1000u + MAX_LOBBY_SERVERS - 1);
}

TEST_F(LobbyPollTest, MergeNotesOnlyRealChanges) {
    std::vector<LobbyServer> servers = {{"A", "h", 1, "1", 10, 2, true}};
    EXPECT_FALSE(mergeLobbyReplies(servers, {{"A", "h", 1, "1", 10, 2, true}}));
    EXPECT_FALSE(mergeLobbyReplies(servers, {{"", "h", 1, "", 0, 0, true}}));  // an empty name changes nothing
    EXPECT_EQ(servers[0].name, "A");
    EXPECT_TRUE(mergeLobbyReplies(servers, {{"A", "h", 1, "1", 10, 3, true}}));
    EXPECT_EQ(servers[0].currentUsers, 3u);
    EXPECT_EQ(updateLobbiesScript({}), "updateLobbies([]);");
}

TEST_F(LobbyPollTest, StalledServerIsBoundedAndNeverBlocksALoginLookup) {
    TestServerConfig silent;
    silent.sendHello = false;
    lounge.setConfig(silent);
    ASSERT_TRUE(lounge.start());
    resetLobbyServers("127.0.0.1", 1);
    setLobby(0, lounge.port(), true, "Players Lounge");
    {
        std::lock_guard<std::mutex> lock(lobbyServersMutex);
        lobbyServers.resize(1);
    }
    netTimings().queryLimitMs = 600;

    std::atomic<bool> done{false};
    const auto start = std::chrono::steady_clock::now();
    std::thread poll([&] {
        lobbyPollPass(HtmlWindow::Login);
        done = true;
    });
    ASSERT_TRUE(lounge.waitForAccepted(1, 2000));
    // The pass is waiting on the network; the lookup must not wait for it.
    ConnectionHandler handler;
    handler.serverName = "Players Lounge";
    std::string address;
    uint32_t port = 0;
    const auto lookupStart = std::chrono::steady_clock::now();
    EXPECT_TRUE(handler.lookupServer(address, port));
    EXPECT_LT(std::chrono::steady_clock::now() - lookupStart, std::chrono::milliseconds(100));
    EXPECT_FALSE(done);

    poll.join();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(550));
    EXPECT_LT(took, std::chrono::milliseconds(2000));
    EXPECT_FALSE(lobbySnapshot()[0].online);
    EXPECT_TRUE(lounge.waitForClosed(0, 2000));
}

TEST_F(LobbyPollTest, ScheduleFollowsTheStateAndTheRequestFlag) {
    int counter = 0;
    appState = STATE_LOGIN;
    EXPECT_TRUE(lobbyPollWanted(counter));
    EXPECT_EQ(counter, 0);
    appState = STATE_LOBBY;
    lobbyListRequested = true;
    EXPECT_TRUE(lobbyPollWanted(counter));
    lobbyListRequested = false;
    int polled = 0;
    for (int i = 0; i < 12; ++i) polled += lobbyPollWanted(counter) ? 1 : 0;
    EXPECT_EQ(polled, 2);  // every sixth counted pass
    EXPECT_EQ(counter, 12);
}

TEST_F(LobbyPollTest, PollThreadRunsUntilTheApplicationStops) {
    startServers();
    appRunning = true;
    std::thread poll(lobbyPollThread, HtmlWindow::Login);
    EXPECT_TRUE(waitUntil([&] { return lobbyTexts(HtmlWindow::Lobby).size() >= 2; }, 5000));
    appRunning = false;
    poll.join();
    EXPECT_EQ(lobbyTexts(HtmlWindow::Login).front(), kBothOnline);
}

}  // namespace
