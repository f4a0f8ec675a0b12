// The ConnectionHandler with its two threads against the loopback server: login outcomes, request
// order and numbering, the incoming queue and its drain, lobby changes and teardown.
#include "net/connection_handler.h"

#include "app/app_state.h"
#include "client/gamehandler/game_handler.h"
#include "net_test_support.h"
#include "tools/testserver/test_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace {

using nettest::NetTest;
using nettest::waitUntil;

// Counts the reports while keeping the handler's own behaviour.
class CountingHandler : public ConnectionHandler {
public:
    std::atomic<int> disconnects{0};
    std::atomic<int> successes{0};
    std::atomic<int> failures{0};

    ~CountingHandler() override { stopThreads(); }

    void loginSuccess() override {
        ConnectionHandler::loginSuccess();
        ++successes;
    }
    void loginFailed() override {
        ConnectionHandler::loginFailed();
        ++failures;
    }
    void disconnected() override {
        ConnectionHandler::disconnected();
        ++disconnects;
    }
};

std::mutex drainedMutex;
std::vector<uint32_t> drained;

void recordMessage(GameHandler&, const Message& message) {
    std::lock_guard<std::mutex> lock(drainedMutex);
    drained.push_back(message.iid);
}

Message info(uint32_t iid, int32_t value, const std::string& text = "") {
    return Message::initInfo(iid, InfoCode::SERVER_INFO, value, 0, text, "");
}

class ConnectionHandlerTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        appState = STATE_LOGIN;
        config.accounts = {{"Alice", "secret"}, {"O'Neil", "pw"}};
        connectionHandler = &handler;
        drained.clear();
        previousProcessor = setMessageProcessor(recordMessage);
    }

    void TearDown() override {
        handler.stopThreads();
        setMessageProcessor(previousProcessor);
        connectionHandler = nullptr;
        lounge.stop();
        tournament.stop();
        appState = STATE_STARTUP;
        NetTest::TearDown();
    }

    void startLounge() {
        lounge.setConfig(config);
        ASSERT_TRUE(lounge.start());
        setLobby(0, lounge.port(), true, "Players Lounge");
    }

    // The login request of the Login page, in its order.
    void login(const std::string& user, const std::string& password, bool rememberMe = false,
               const std::string& server = "Players Lounge") {
        handler.clearOutgoing();
        handler.startThreads();
        handler.connectToServer(server, user, password, rememberMe);
    }

    void loginAndWait(const std::string& user = "Alice", const std::string& password = "secret") {
        const int before = handler.successes;
        login(user, password);
        ASSERT_TRUE(waitUntil([&] { return handler.successes == before + 1; }));
    }

    std::vector<std::string> scripts(HtmlWindow window, const std::string& prefix = "") const {
        return pages.statementsStartingWith(window, prefix);
    }

    TestServerConfig config;
    TestServer lounge;
    TestServer tournament;
    CountingHandler handler;
    MessageProcessor previousProcessor = nullptr;
};

TEST_F(ConnectionHandlerTest, LoginEndToEnd) {
    startLounge();
    login("Alice", "secret");
    // The connecting state empties the user lists at once, on the calling thread.
    for (HtmlWindow window : {HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::People, HtmlWindow::BioTut,
                              HtmlWindow::MatchStats, HtmlWindow::Tasks}) {
        EXPECT_EQ(scripts(window, "inbzUserInfo([]);").size(), 1u) << htmlWindowName(window);
    }
    EXPECT_TRUE(handler.isConnected());
    ASSERT_TRUE(waitUntil([&] { return handler.successes == 1; }));
    EXPECT_EQ(appState.load(), STATE_LOBBY);

    const auto records = lounge.received();
    ASSERT_GE(records.size(), 3u);
    EXPECT_EQ(records[0].message.id, MessageId::SERVER_STATUS_REQ);  // under the first key, always
    EXPECT_EQ(records[0].keyStage, 0);
    EXPECT_EQ(lounge.countReceived(MessageId::SERVER_STATUS_REQ), 1u);
    EXPECT_EQ(scripts(HtmlWindow::Lobby, "inbzInfoUserName({ userName: 'Alice'});").size(), 1u);
    EXPECT_EQ(scripts(HtmlWindow::BottomBox, "inbzInfoUserName({ userName: 'Alice'});").size(), 1u);
    EXPECT_EQ(scripts(HtmlWindow::Lobby,
                      "inbzSetStatus({flags:0});document.getElementById(\"main_chat_entries\").innerHTML = \"\"")
                  .size(),
              1u);
    EXPECT_EQ(scripts(HtmlWindow::BottomBox, "inbzLobbyViewStarted();").size(), 1u);
    EXPECT_NE(logText().find("loginSuccess: Connected to server \"Players Lounge\" as \"Alice\""), std::string::npos);
}

TEST_F(ConnectionHandlerTest, MessagesFlowBothWaysInOrder) {
    config.echo = true;
    startLounge();
    loginAndWait();
    constexpr int count = 40;
    for (int i = 0; i < count; ++i) handler.sendMessage(info(handler.nextIid(), i));
    // The server's own messages interleave with the echoes on the way back.
    for (int i = 0; i < count; ++i) ASSERT_TRUE(lounge.sendMessage(0, info(9000 + i, i)));
    ASSERT_TRUE(lounge.waitForMessages(MessageId::INFO, count, 3000));
    const auto sent = lounge.receivedWithId(MessageId::INFO);
    for (int i = 0; i < count; ++i) EXPECT_EQ(sent[i].iid, 5001u + i);
    for (const auto& record : lounge.received()) {
        if (record.message.id == MessageId::INFO) EXPECT_EQ(record.keyStage, 2);
    }

    ASSERT_TRUE(waitUntil([&] { return handler.incomingCount() == 2 * count; }));
    getGameHandler().processMessageQueue();
    EXPECT_EQ(handler.incomingCount(), 0u);
    ASSERT_EQ(drained.size(), 2u * count);
    std::vector<uint32_t> echoes;
    std::vector<uint32_t> own;
    for (uint32_t iid : drained) (iid >= 9000 ? own : echoes).push_back(iid);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(echoes[i], 5001u + i);
        EXPECT_EQ(own[i], 9000u + i);
    }
    EXPECT_EQ(handler.lastIncomingIid, drained.back());
}

TEST_F(ConnectionHandlerTest, SequenceNumbersKeepCountingAcrossLogins) {
    config.echo = true;
    startLounge();
    EXPECT_EQ(handler.nextIid(), 5001u);
    loginAndWait();
    handler.sendMessage(info(handler.nextIid(), 1));
    ASSERT_TRUE(lounge.waitForMessages(MessageId::INFO, 1, 2000));
    handler.disconnect();
    EXPECT_EQ(handler.disconnects, 2);
    loginAndWait();
    handler.sendMessage(info(handler.nextIid(), 2));
    ASSERT_TRUE(lounge.waitForMessages(MessageId::INFO, 2, 2000));
    EXPECT_EQ(lounge.receivedWithId(MessageId::INFO)[1].iid, 5003u);
}

TEST_F(ConnectionHandlerTest, WrongPasswordReturnsToTheLoginForm) {
    startLounge();
    handler.lobbyChangePending = true;
    login("Alice", "wrong");
    ASSERT_TRUE(waitUntil([&] { return handler.failures == 1; }));
    EXPECT_EQ(appState.load(), STATE_LOGIN);
    EXPECT_FALSE(handler.isConnected());
    EXPECT_FALSE(handler.lobbyChangePending);
    EXPECT_EQ(scripts(HtmlWindow::Login, "logout(); loginErrorNotice();").size(), 1u);
    EXPECT_EQ(logCount("loginFailed: ERROR: Login failed for: Alice"), 1u);
    // The refused connection stays open, unread, until a disconnect destroys it.
    ASSERT_TRUE(handler.hasConnection());
    EXPECT_FALSE(handler.currentConnection()->isClosed());
    EXPECT_EQ(handler.disconnects, 0);
    handler.disconnect();
    EXPECT_EQ(handler.disconnects, 2);
    EXPECT_FALSE(handler.hasConnection());
}

TEST_F(ConnectionHandlerTest, ServerClosingEndsTheLogin) {
    startLounge();
    loginAndWait();
    lounge.closeConnection(0);
    ASSERT_TRUE(waitUntil([&] { return handler.disconnects == 1; }));
    EXPECT_EQ(appState.load(), STATE_LOGIN);
    EXPECT_FALSE(handler.isConnected());
    EXPECT_EQ(logCount("disconnected: ERROR: Disconnected from server."), 1u);
    EXPECT_EQ(scripts(HtmlWindow::Login, "focusUserName();").size(), 1u);
}

TEST_F(ConnectionHandlerTest, SilentServerWaitsUntilTheUserDisconnects) {
    config.sendHello = false;
    startLounge();
    login("Alice", "secret");
    ASSERT_TRUE(lounge.waitForAccepted(1, 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(appState.load(), STATE_CONNECTING);
    EXPECT_TRUE(handler.isConnected());
    EXPECT_EQ(handler.disconnects, 0);

    netTimings().receiveTimeoutMs = 10000;  // the close, not the time-out, must end the blocked receive
    const auto start = std::chrono::steady_clock::now();
    handler.disconnect();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(handler.disconnects, 2);
    EXPECT_EQ(appState.load(), STATE_LOGIN);
    EXPECT_TRUE(lounge.waitForClosed(0, 2000));
}

TEST_F(ConnectionHandlerTest, UnknownOrOfflineServerStartsNothing) {
    startLounge();
    setLobby(1, lounge.port(), false, "Tournament Lobby");
    for (const char* name : {"Nowhere", "Tournament Lobby"}) {
        login("Alice", "secret", true, name);
        EXPECT_EQ(handler.serverName, name);
        EXPECT_EQ(handler.userName, "Alice");
        EXPECT_TRUE(handler.rememberMe);
        EXPECT_EQ(appState.load(), STATE_LOGIN);
        EXPECT_FALSE(handler.isConnected());
        EXPECT_FALSE(handler.hasConnection());
    }
    EXPECT_EQ(lounge.acceptedCount(), 0);
    EXPECT_TRUE(pages.entries().empty());
}

TEST_F(ConnectionHandlerTest, RequestsWithoutAConnectionAreDiscarded) {
    startLounge();
    handler.startThreads();
    handler.startThreads();  // a second call starts nothing
    handler.sendMessage(info(handler.nextIid(), 1));
    ASSERT_TRUE(waitUntil([&] { return handler.outgoingCount() == 0; }));
    loginAndWait();
    handler.sendMessage(info(handler.nextIid(), 2));
    ASSERT_TRUE(lounge.waitForMessages(MessageId::INFO, 1, 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto infos = lounge.receivedWithId(MessageId::INFO);
    ASSERT_EQ(infos.size(), 1u);
    EXPECT_EQ(infos[0].valueA, 2);
}

TEST_F(ConnectionHandlerTest, OversizedRequestDoesNotHoldBackTheLogout) {
    config.closeOnLogout = false;
    startLounge();
    loginAndWait();
    Message huge = info(handler.nextIid(), 1, std::string(70000, 'z'));
    const int32_t size = huge.getBuffer().writeLength;
    handler.sendMessage(huge);
    handler.sendMessage(Message(MessageId::LOGOUT_REQ, handler.nextIid()));
    ASSERT_TRUE(lounge.waitForMessages(MessageId::LOGOUT_REQ, 1, 2000));
    EXPECT_EQ(lounge.countReceived(MessageId::INFO), 0u);
    EXPECT_EQ(logCount("Message too large to send, dropped: id=1000 size=" + std::to_string(size)), 1u);
}

TEST_F(ConnectionHandlerTest, LobbyChangeByDeadlineLogsInToTheNextLobby) {
    config.closeOnLogout = false;
    startLounge();
    loginAndWait("O'Neil", "pw");
    pages.clear();
    handler.nextServerName = "Tournament Lobby";
    handler.lobbyChangePending = true;
    handler.sendMessage(Message(MessageId::LOGOUT_REQ, handler.nextIid()));
    handler.logoutPending = true;
    ASSERT_TRUE(lounge.waitForMessages(MessageId::LOGOUT_REQ, 1, 2000));
    // The deadline passes: the main loop disconnects, which reports twice.
    handler.logoutPending = false;
    handler.disconnect();
    EXPECT_EQ(handler.disconnects, 2);
    const auto relogin = scripts(HtmlWindow::Login, "setTimeout(");
    ASSERT_EQ(relogin.size(), 1u);
    EXPECT_EQ(relogin[0],
              "setTimeout(    function() {        window.cefQuery({request: JSON.stringify({"
              "            requestName: 'loginEnterLobby',            servername: 'Tournament Lobby',"
              "            username: 'O\\'Neil',            password: 'pw',            rememberme: false"
              "            }),            persistent: false,            onSuccess: function (response) {},"
              "            onFailure: function (error_code, error_message) {}        });}, 100);");
    EXPECT_TRUE(handler.nextServerName.empty());
    EXPECT_FALSE(handler.lobbyChangePending);  // cleared by the second report
    EXPECT_EQ(appState.load(), STATE_LOBBY);   // the re-login moves it on
}

TEST_F(ConnectionHandlerTest, LobbyChangeAfterTheServerClosesKeepsThePendingFlag) {
    startLounge();
    config.lobbyName = "Tournament Lobby";
    tournament.setConfig(config);
    ASSERT_TRUE(tournament.start());
    setLobby(1, tournament.port(), true, "Tournament Lobby");
    loginAndWait();
    handler.nextServerName = "Tournament Lobby";
    handler.lobbyChangePending = true;
    handler.sendMessage(Message(MessageId::LOGOUT_REQ, handler.nextIid()));
    ASSERT_TRUE(waitUntil([&] { return handler.disconnects == 1; }));
    EXPECT_TRUE(handler.lobbyChangePending);
    EXPECT_TRUE(handler.nextServerName.empty());
    EXPECT_EQ(appState.load(), STATE_LOBBY);

    // The page's re-login 100 ms later: the flag keeps the state as it is, and destroying the old
    // connection reports once more, which clears the flag.
    pages.clear();
    const int before = handler.successes;
    login("Alice", "secret", false, "Tournament Lobby");
    EXPECT_TRUE(scripts(HtmlWindow::Lobby, "inbzUserInfo([]);").empty());
    EXPECT_EQ(handler.disconnects, 2);
    EXPECT_FALSE(handler.lobbyChangePending);
    ASSERT_TRUE(waitUntil([&] { return handler.successes == before + 1; }));
    EXPECT_EQ(tournament.acceptedCount(), 1);
}

TEST_F(ConnectionHandlerTest, DrainHandlesMessagesThatArriveMeanwhile) {
    getGameHandler().processMessageQueue();  // an empty queue returns at once
    EXPECT_TRUE(drained.empty());
    handler.messageReceived(info(1, 1));
    handler.messageReceived(info(2, 2));
    handler.messageReceived(info(3, 3));
    setMessageProcessor([](GameHandler&, const Message& message) {
        recordMessage(getGameHandler(), message);
        if (message.iid == 2) connectionHandler->messageReceived(info(4, 4));
    });
    getGameHandler().processMessageQueue();
    EXPECT_EQ(drained, (std::vector<uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(handler.lastIncomingIid, 4u);
}

}  // namespace
