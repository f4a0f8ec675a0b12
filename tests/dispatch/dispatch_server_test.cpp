// End to end over loopback: the test server logs the client in and sends chat of every class, ids
// without a case and INFO codes without a handler; the main loop's drain hands them to the dispatch.
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "dispatch/process_message.h"
#include "net/connection_handler.h"
#include "net/lobby_servers.h"
#include "support/captured_log.h"
#include "support/sound_recorder.h"
#include "tools/testserver/test_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {

class DispatchServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        NetTimings& timings = netTimings();
        timings.loginConnectMs = 1000;
        timings.receiveTimeoutMs = 50;
        timings.senderWaitMs = 100;
        timings.receiverIdleMs = 20;
        previousSink = setPageScriptSink(&pages);
        previousProcessor = setMessageProcessor(nullptr);
        installMessageDispatch();
        appState = STATE_LOGIN;
        getGameHandler().prefPath = log.folder();

        TestServerConfig config;
        config.accounts = {{"Alice", "secret"}};
        server.setConfig(config);
        ASSERT_TRUE(server.start());
        resetLobbyServers("127.0.0.1", server.port());
        {
            std::lock_guard<std::mutex> lock(lobbyServersMutex);
            lobbyServers[0].online = true;
        }
        connectionHandler = &handler;
    }

    void TearDown() override {
        handler.stopThreads();
        connectionHandler = nullptr;
        server.stop();
        setMessageProcessor(previousProcessor);
        setPageScriptSink(previousSink);
        appState = STATE_STARTUP;
        getGameHandler().prefPath.clear();
        resetLobbyServers(DEFAULT_GAME_SERVER_HOST, DEFAULT_LOBBY_PORT);
        netTimings().restoreDefaults();
    }

    // Runs the main loop's drain until the condition holds (or three seconds pass).
    bool drainUntil(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            getGameHandler().processMessageQueue();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    void login() {
        handler.startThreads();
        handler.connectToServer(lobbyServers[0].name, "Alice", "secret", false);
        ASSERT_TRUE(drainUntil([] { return appState.load() == STATE_LOBBY; }));
        pages.clear();
    }

    static Message chat(uint32_t iid, ChatClass kind, int tableId, const std::string& text1,
                        const std::string& sender) {
        return Message::initChat(iid, 1, kind, 0, sender, tableId, text1, "", "", "", "");
    }

    bztest::CapturedLog log;
    bztest::RecordingSoundBank sounds;
    RecordingPageScriptSink pages;
    PageScriptSink* previousSink = nullptr;
    MessageProcessor previousProcessor = nullptr;
    TestServer server;
    ConnectionHandler handler;
};

TEST_F(DispatchServerTest, ChatOfEveryClassAndUnhandledMessagesInTheLobbyAndAtATable) {
    login();
    ASSERT_TRUE(server.sendMessages(0, {chat(9001, ChatClass::CHAT, 0, "hello all", "Bob"),
                                        chat(9002, ChatClass::PRIVATE, 0, "psst", "Bob"),
                                        chat(9003, ChatClass::BIG_BREAK, 2, "147 by Carol", ""),
                                        chat(9004, ChatClass::LOBBY, 0, "Server restarts soon", ""),
                                        chat(9005, ChatClass::TABLE_USER_IN_OUT, 2, "Carol", ""),
                                        chat(9006, ChatClass::CHAT, 2, "table talk", "Carol"),
                                        Message(MessageId::TABLE_SETTINGS_INFO, 9007),
                                        Message(MessageId::LOGOUT_REQ, 9008),
                                        Message::initInfo(9009, 0, 0, 0, "", ""),
                                        Message::initInfo(9010, 97, 0, 0, "", ""),
                                        Message::initInfo(9011, 99, 0, 0, "", "")}));
    ASSERT_TRUE(drainUntil([&] { return log.count("Unknown INFO message code: 99") == 1; }));

    std::vector<std::string> lobby = pages.statementsStartingWith(HtmlWindow::Lobby, "inbzAddTextToChat(");
    ASSERT_EQ(lobby.size(), 4u);
    EXPECT_EQ(lobby[0],
              "inbzAddTextToChat({entryId: 9001,chatClass: 0,sender: 'Bob',text1: 'hello all',playerName1: '',"
              "text2: '',playerName2: '',text3: '',});");
    EXPECT_NE(lobby[1].find("entryId: 9002,chatClass: 1,"), std::string::npos);
    EXPECT_NE(lobby[2].find("entryId: 9003,chatClass: 3,"), std::string::npos);
    EXPECT_NE(lobby[3].find("entryId: 9004,chatClass: 6,"), std::string::npos);
    EXPECT_TRUE(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzAddTextToChat(").empty());
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox),
              (std::vector<std::string>{"inbzNewPmOrInviteFrom({nick: 'Bob'});"}));
    EXPECT_EQ(sounds.played.size(), 1u);

    for (const char* line : {"processMessage: ERROR: Unknown INFO message code: 0\n",
                             "processMessage: ERROR: Unknown INFO message code: 97\n",
                             "processMessage: ERROR: Unknown INFO message code: 99\n",
                             "processMessage: id=1013 iid=9007\n", "processMessage: id=1002 iid=9008\n"}) {
        EXPECT_EQ(log.count(line), 1) << line;
    }
    EXPECT_EQ(log.count("ERROR"), 3);

    // At a table: the table's lines reach the BottomBox, lobby chat stays in the Lobby.
    pages.clear();
    appState = STATE_TABLE;
    ASSERT_TRUE(server.sendMessages(0, {chat(9101, ChatClass::CHAT, 2, "gg", "Carol"),
                                        chat(9102, ChatClass::TABLE_USER_IN_OUT, 2, "Dave", ""),
                                        chat(9103, ChatClass::CHAT, 0, "lobby line", "Bob")}));
    ASSERT_TRUE(drainUntil([&] { return log.count("iid=9103") == 1; }));
    const std::vector<std::string> table = pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzAddTextToChat(");
    ASSERT_EQ(table.size(), 2u);
    EXPECT_NE(table[0].find("entryId: 9101,"), std::string::npos);
    EXPECT_NE(table[1].find("entryId: 9102,"), std::string::npos);
    lobby = pages.statementsStartingWith(HtmlWindow::Lobby, "inbzAddTextToChat(");
    ASSERT_EQ(lobby.size(), 1u);
    EXPECT_NE(lobby[0].find("entryId: 9103,"), std::string::npos);
}

}  // namespace
