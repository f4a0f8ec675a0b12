// The ConnectionHandler with its two threads against the loopback server: login outcomes and the
// start of play, request order and numbering, the incoming queue and its drain, lobby changes and
// teardown.
#include "net/connection_handler.h"

#include "client/gamehandler/state_change.h"
#include "client/gamehandler/game_handler.h"
#include "core/prefs.h"
#include "net/handshake.h"
#include "net_test_support.h"
#include "tools/testserver/test_server.h"
#include "ui/html_requests.h"
#include "ui/login_requests.h"
#include "ui/page_input.h"
#include "ui/query_dispatcher.h"

#include <gtest/gtest.h>

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <regex>
#include <thread>

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

class NullListener : public ConnectionListener {
public:
    void loginSuccess() override {}
    void loginFailed() override {}
    void serverInfo(std::string, std::string, std::string, uint32_t, uint32_t, const std::vector<ServerAddress>&) override {}
    void messageReceived(const Message&) override {}
    void disconnected() override {}
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

// The requests of the test itself, without those of the start of play.
std::vector<Message> ownInfos(const TestServer& server) {
    std::vector<Message> own;
    for (const Message& m : server.receivedWithId(MessageId::INFO)) {
        if (m.infoCode == static_cast<int32_t>(InfoCode::SERVER_INFO)) own.push_back(m);
    }
    return own;
}

// What every login sends once the server has accepted it.
constexpr size_t kSessionRequests = 5;

// A host lookup that answers 127.0.0.1 only while released. At its end it releases every lookup it
// still holds and waits for them, so that none outlives the test.
class HeldLookup {
public:
    HeldLookup() : previous(setHostLookup(&HeldLookup::lookup)) {}
    ~HeldLookup() {
        release();
        std::unique_lock<std::mutex> lock(gate().mutex);
        gate().changed.wait(lock, [] { return gate().answered == gate().asked; });
        gate().open = false;
        gate().asked = gate().answered = 0;
        setHostLookup(previous);
    }
    void hold() { set(false); }
    void release() { set(true); }
    int asked() const { return count(&Gate::asked); }
    int answered() const { return count(&Gate::answered); }

private:
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        int asked = 0;
        int answered = 0;
    };
    static Gate& gate() {
        static Gate instance;
        return instance;
    }
    static bool lookup(const std::string&, sockaddr_in& address) {
        std::unique_lock<std::mutex> lock(gate().mutex);
        ++gate().asked;
        gate().changed.notify_all();
        gate().changed.wait(lock, [] { return gate().open; });
        ++gate().answered;
        gate().changed.notify_all();
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return true;
    }
    static void set(bool open) {
        std::lock_guard<std::mutex> lock(gate().mutex);
        gate().open = open;
        gate().changed.notify_all();
    }
    int count(int Gate::*field) const {
        std::lock_guard<std::mutex> lock(gate().mutex);
        return gate().*field;
    }

    HostLookup previous;
};

class ConnectionHandlerTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        appState = STATE_LOGIN;
        config.accounts = {{"Alice", "secret"}, {"O'Neil", "pw"}};
        connectionHandler = &handler;
        drained.clear();
        previousProcessor = setMessageProcessor(recordMessage);
        getGameHandler().prefPath = folder.string() + "/";
    }

    void TearDown() override {
        handler.stopThreads();
        setMessageProcessor(previousProcessor);
        connectionHandler = nullptr;
        lounge.stop();
        tournament.stop();
        appState = STATE_STARTUP;
        getGameHandler().prefPath.clear();
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

    // The main loop's drain: received messages and the login steps, in their order.
    static void drain() { getGameHandler().processMessageQueue(); }

    // A login that the server accepts, with its start of play applied and on the wire.
    void loginAndWait(const std::string& user = "Alice", const std::string& password = "secret",
                      TestServer* server = nullptr, const std::string& lobby = "Players Lounge") {
        TestServer& target = server ? *server : lounge;
        const int before = handler.successes;
        const size_t infosBefore = target.countReceived(MessageId::INFO);
        login(user, password, false, lobby);
        ASSERT_TRUE(waitUntil([&] { return handler.successes == before + 1; }));
        drain();
        ASSERT_EQ(appState.load(), STATE_LOBBY);
        ASSERT_TRUE(target.waitForMessages(MessageId::INFO, infosBefore + kSessionRequests, 3000));
    }

    // With sendChallenge off the server holds its challenge until the test sends it, so the
    // connecting state can be seen before the login can possibly succeed.
    void releaseChallenge(TestServer& server, int connection) {
        ASSERT_TRUE(waitUntil([&] {
            for (const auto& record : server.received()) {
                if (record.connection == connection && record.message.id == MessageId::HELLO_REPLY) return true;
            }
            return false;
        }));
        Message challenge(MessageId::LOGIN_CHALLENGE, 77);
        challenge.salt = config.challenge;
        ASSERT_TRUE(server.sendMessage(connection, challenge));
    }

    std::string storedParam(const std::string& name) const { return loadParamPrefs(folder.string() + "/", name); }

    // The lobby entry names its server by a host name, which only a lookup turns into an address.
    static void reachByName(size_t index) {
        std::lock_guard<std::mutex> lock(lobbyServersMutex);
        lobbyServers[index].address = "lounge.test";
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

TEST_F(ConnectionHandlerTest, AfterALoginTheLogHoldsNoSecret) {
    const std::string password = "Zq7#wX";
    config.accounts = {{"Alice", password}};
    startLounge();
    // The password typed into the login form, key by key and as text, as the frame loop hands it on.
    for (SDL_Keycode key : {SDLK_z, SDLK_q, SDLK_7, SDLK_3, SDLK_w, SDLK_x}) {
        SDL_Event event{};
        event.key.keysym.sym = key;
        for (uint32_t type : {SDL_KEYDOWN, SDL_KEYUP}) {
            event.type = type;
            if (type == SDL_KEYDOWN) getGameHandler().keyDown(key, 0, 0);
            handleKeyEvent(nullptr, event);
        }
    }
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    std::snprintf(text.text.text, sizeof(text.text.text), "%s", password.c_str());
    handleKeyEvent(nullptr, text);
    // The page's requests: remember the credentials, log in, and later show the saved ones.
    const std::string query = R"({"requestName":"loginEnterLobby","username":"Alice","password":"Zq7#wX","rememberme":true,"servername":)";
    dispatchHtmlQuery(query + R"(""})", getHtmlRequests());
    dispatchHtmlQuery(query + R"("Players Lounge"})", getHtmlRequests());
    ASSERT_TRUE(waitUntil([&] { return handler.successes == 1; }));
    drain();
    ASSERT_EQ(appState.load(), STATE_LOBBY);
    dispatchHtmlQuery(query + R"("-"})", getHtmlRequests());
    ASSERT_FALSE(scripts(HtmlWindow::Login, "setCredentials(").empty());

    const Connection::LoginSecrets secrets = handler.currentConnection()->loginSecrets();
    ASSERT_FALSE(secrets.challengeResponse.empty());
    const std::string written = logText();
    for (const std::string& secret :
         {password, secrets.challengeResponse, passwordDigest(secrets.salt, "Alice", secrets.challengeResponse)}) {
        EXPECT_EQ(written.find(secret), std::string::npos) << secret;
    }
    // Nor which keys were typed; the lines themselves are there.
    EXPECT_FALSE(std::regex_search(written, std::regex("(CHARACTER: |keysym.sym=|key_code=|Key event: key=)[0-9]")));
    EXPECT_EQ(logCount("TEXTINPUT CHARACTER: *****"), password.size());
    EXPECT_EQ(logCount("Key event: key=*****"), 6u);
}

TEST_F(ConnectionHandlerTest, LoginEndToEnd) {
    ASSERT_TRUE(saveParamPrefs(folder.string() + "/", "userList", "bob"));
    ASSERT_TRUE(saveParamPrefs(folder.string() + "/", "failedUserList", "eve:2,"));
    config.sendChallenge = false;
    startLounge();
    loginEnterLobby("Players Lounge", "Alice", "secret", false);
    EXPECT_TRUE(handler.isConnected());
    // Nothing of the login's course happens before the main loop drains the queue.
    EXPECT_TRUE(pages.entries().empty());
    EXPECT_EQ(appState.load(), STATE_LOGIN);
    drain();
    EXPECT_EQ(appState.load(), STATE_CONNECTING);
    releaseChallenge(lounge, 0);
    ASSERT_TRUE(waitUntil([&] { return handler.successes == 1; }));
    EXPECT_EQ(appState.load(), STATE_CONNECTING);
    drain();
    EXPECT_EQ(appState.load(), STATE_LOBBY);

    // The start of play, then the user flags, each with the next sequence number of the run.
    ASSERT_TRUE(lounge.waitForMessages(MessageId::INFO, kSessionRequests, 3000));
    const auto records = lounge.received();
    ASSERT_GE(records.size(), 1 + kSessionRequests);
    EXPECT_EQ(records[0].message.id, MessageId::SERVER_STATUS_REQ);  // under the first key, always
    EXPECT_EQ(records[0].keyStage, 0);
    EXPECT_EQ(lounge.countReceived(MessageId::SERVER_STATUS_REQ), 1u);
    const auto infos = lounge.receivedWithId(MessageId::INFO);
    ASSERT_EQ(infos.size(), kSessionRequests);
    const InfoCode order[] = {InfoCode::INTERFACE_ADDRESSES, InfoCode::VERSION, InfoCode::LOGIN_USER_LIST,
                              InfoCode::BIO_DATA_REQ, InfoCode::USER_FLAGS};
    for (size_t i = 0; i < kSessionRequests; ++i) {
        EXPECT_EQ(infos[i].infoCode, static_cast<int32_t>(order[i])) << i;
        EXPECT_EQ(infos[i].iid, 5001u + i) << i;
    }
    EXPECT_EQ(infos[0].textList.size() % 2, 0u);
    EXPECT_EQ(infos[1].textA, "0.1.777");
    EXPECT_EQ(infos[2].textA, "bob Alice");
    EXPECT_EQ(infos[2].textB, "eve:2,");
    EXPECT_EQ(infos[3].textA, "Alice");
    EXPECT_EQ(infos[4].valueA, 0);
    EXPECT_EQ(infos[4].valueB, 7);
    EXPECT_EQ(storedParam("userList"), "bob Alice");
    EXPECT_FALSE(handler.lobbyChangePending);
    EXPECT_TRUE(getGameHandler().ownBioDataPending);
    EXPECT_EQ(handler.userName, "Alice");
    EXPECT_EQ(handler.serverName, "Players Lounge");

    using W = HtmlWindow;
    const std::vector<std::pair<W, std::string>> expected = {
        {W::Lobby, "inbzUserInfo([]);"},
        {W::BottomBox, "inbzUserInfo([]);"},
        {W::People, "inbzUserInfo([]);"},
        {W::BioTut, "inbzUserInfo([]);"},
        {W::MatchStats, "inbzUserInfo([]);"},
        {W::Tasks, "inbzUserInfo([]);"},
        {W::Lobby, "inbzLoginReset();"},
        {W::BottomBox, "inbzLoginReset();"},
        {W::People, "inbzLoginReset();"},
        {W::Lobby, "inbzSetVersion({version:\"0.1.777\",});"},
        {W::Invites, "inbzInviteReset();"},
        {W::BottomBox, "inbzInvitesEmpty();"},
        {W::Lobby, "inbzInvitesEmpty();"},
        {W::BottomBox, "inbzSetShowLiveAimingIfAvailable({ enabled:true });"},
        {W::Replays, "inbzCleanUpAtStart();"},
        {W::Lobby, "inbzSetLobbyWidth({lobbyWidth:" + std::to_string(getGameHandler().gameSettings.lobbyWidth) + "});"},
        {W::Lobby, "document.getElementById('chat_text_input_id').focus();"},
        {W::BottomBox, "inbzLobbyViewStarted();"},
        {W::TopBox, "if (typeof inbzShowBreak !== 'undefined') { inbzShowBreak({showBreak: 0}); }"},
        {W::TopBox, "if (typeof inbzShowBallOn !== 'undefined') { inbzShowBallOn({showBallOn: 0}); }"},
        {W::Lobby, "inbzInfoUserName({ userName: 'Alice'});"},
        {W::BottomBox, "inbzInfoUserName({ userName: 'Alice'});"},
        {W::Lobby, "inbzSetStatus({flags:0});document.getElementById(\"main_chat_entries\").innerHTML = \"\""},
    };
    const auto entries = pages.entries();
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i].window, expected[i].first) << i;
        EXPECT_EQ(entries[i].statement, expected[i].second) << i;
    }
    EXPECT_NE(logText().find("loginSuccess: Connected to server \"Players Lounge\" as \"Alice\""), std::string::npos);
}

TEST_F(ConnectionHandlerTest, LoginStepsWaitForTheMainThreadInOrderWithMessages) {
    appState = STATE_CONNECTING;
    std::vector<std::pair<uint32_t, AppState>> seen;
    static std::vector<std::pair<uint32_t, AppState>>* seenBy = nullptr;
    seenBy = &seen;
    setMessageProcessor([](GameHandler&, const Message& message) { seenBy->push_back({message.iid, appState.load()}); });
    // Reported from another thread, as the receiver thread does.
    std::thread receiver([&] {
        handler.messageReceived(info(1, 1));
        handler.loginSuccess();
        handler.messageReceived(info(2, 2));
        handler.disconnected();
        handler.messageReceived(info(3, 3));
    });
    receiver.join();
    EXPECT_EQ(appState.load(), STATE_CONNECTING);
    EXPECT_TRUE(pages.entries().empty());
    EXPECT_EQ(handler.outgoingCount(), 0u);
    EXPECT_FALSE(handler.isConnected());  // the threads' own flag changes at once

    drain();
    EXPECT_EQ(seen, (std::vector<std::pair<uint32_t, AppState>>{
                        {1, STATE_CONNECTING}, {2, STATE_LOBBY}, {3, STATE_LOGIN}}));
    EXPECT_EQ(handler.outgoingCount(), kSessionRequests);
    EXPECT_EQ(handler.incomingCount(), 0u);
}

TEST_F(ConnectionHandlerTest, MessagesFlowBothWaysInOrder) {
    config.echo = true;
    startLounge();
    loginAndWait();
    // The echoes of the start of play come back first (the login's drain may have taken some);
    // they are not this test's.
    ASSERT_TRUE(waitUntil([&] { return drained.size() + handler.incomingCount() == kSessionRequests; }));
    drain();
    drained.clear();

    constexpr int count = 40;
    const uint32_t first = static_cast<uint32_t>(handler.iidCounter + 1);
    for (int i = 0; i < count; ++i) handler.sendMessage(info(handler.nextIid(), i));
    // The server's own messages interleave with the echoes on the way back.
    for (int i = 0; i < count; ++i) ASSERT_TRUE(lounge.sendMessage(0, info(9000 + i, i)));
    ASSERT_TRUE(lounge.waitForMessages(MessageId::INFO, kSessionRequests + count, 3000));
    const auto sent = ownInfos(lounge);
    ASSERT_EQ(sent.size(), size_t(count));
    for (int i = 0; i < count; ++i) EXPECT_EQ(sent[i].iid, first + i);
    for (const auto& record : lounge.received()) {
        if (record.message.id == MessageId::INFO) {
            EXPECT_EQ(record.keyStage, 2);
        }
    }

    ASSERT_TRUE(waitUntil([&] { return handler.incomingCount() == 2 * count; }));
    drain();
    EXPECT_EQ(handler.incomingCount(), 0u);
    ASSERT_EQ(drained.size(), 2u * count);
    std::vector<uint32_t> echoes;
    std::vector<uint32_t> own;
    for (uint32_t iid : drained) (iid >= 9000 ? own : echoes).push_back(iid);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(echoes[i], first + i);
        EXPECT_EQ(own[i], 9000u + i);
    }
    EXPECT_EQ(handler.lastIncomingIid, drained.back());
}

TEST_F(ConnectionHandlerTest, SequenceNumbersKeepCountingAcrossLogins) {
    startLounge();
    EXPECT_EQ(handler.nextIid(), 5001u);
    loginAndWait();
    handler.sendMessage(info(handler.nextIid(), 1));
    ASSERT_TRUE(lounge.waitForMessages(MessageId::INFO, kSessionRequests + 1, 2000));
    handler.disconnect();
    EXPECT_EQ(handler.disconnects, 2);
    drain();
    EXPECT_EQ(appState.load(), STATE_LOGIN);
    loginAndWait();
    handler.sendMessage(info(handler.nextIid(), 2));
    ASSERT_TRUE(lounge.waitForMessages(MessageId::INFO, 2 * kSessionRequests + 2, 2000));
    const auto infos = lounge.receivedWithId(MessageId::INFO);
    for (size_t i = 0; i < infos.size(); ++i) EXPECT_EQ(infos[i].iid, 5002u + i) << i;
    // A second login of the same user leaves the list as it was.
    EXPECT_EQ(storedParam("userList"), "Alice");
}

TEST_F(ConnectionHandlerTest, WrongPasswordReturnsToTheLoginForm) {
    ASSERT_TRUE(saveParamPrefs(folder.string() + "/", "failedUserList", "Alice:1,bob:1,"));
    startLounge();
    handler.lobbyChangePending = true;
    login("Alice", "wrong");
    ASSERT_TRUE(waitUntil([&] { return handler.failures == 1; }));
    EXPECT_FALSE(handler.isConnected());
    EXPECT_TRUE(handler.lobbyChangePending);  // the rest waits for the main thread
    drain();
    EXPECT_EQ(appState.load(), STATE_LOGIN);
    EXPECT_FALSE(handler.lobbyChangePending);
    EXPECT_EQ(scripts(HtmlWindow::Login, "logout(); loginErrorNotice();").size(), 1u);
    EXPECT_EQ(logCount("loginFailed: ERROR: Login failed for: Alice"), 1u);
    // The failure is counted, and the latest failure's entry moves to the end.
    EXPECT_EQ(storedParam("failedUserList"), "bob:1,Alice:2,");
    EXPECT_EQ(lounge.countReceived(MessageId::INFO), 0u);
    // The refused connection stays open, unread, until a disconnect destroys it.
    ASSERT_TRUE(handler.hasConnection());
    EXPECT_FALSE(handler.currentConnection()->isClosed());
    EXPECT_EQ(handler.disconnects, 0);
    handler.disconnect();
    EXPECT_EQ(handler.disconnects, 2);
    EXPECT_FALSE(handler.hasConnection());
    drain();
    EXPECT_EQ(appState.load(), STATE_LOGIN);
}

TEST_F(ConnectionHandlerTest, RetryAfterARefusedLoginStaysConnecting) {
    startLounge();
    config.sendHello = false;  // the retry's server stays silent, so the login stays in progress
    tournament.setConfig(config);
    ASSERT_TRUE(tournament.start());
    setLobby(1, tournament.port(), true, "Tournament Lobby");
    // First the user sees the refusal before trying again; then the retry comes before the main
    // loop has applied the refusal, which then only counts it for the name that was refused.
    for (const char* refused : {"Alice", "O'Neil"}) {
        SCOPED_TRACE(refused);
        const bool drainBetween = std::string(refused) == "Alice";
        const int failuresBefore = handler.failures;
        login(refused, "wrong");
        ASSERT_TRUE(waitUntil([&] { return handler.failures == failuresBefore + 1; }));
        if (drainBetween) drain();
        // The refused connection's end must not undo the new login.
        loginEnterLobby("Tournament Lobby", "Alice", "secret", false);
        drain();
        EXPECT_EQ(appState.load(), STATE_CONNECTING);
        EXPECT_TRUE(handler.isConnected());
        handler.disconnect();
        drain();
        EXPECT_EQ(appState.load(), STATE_LOGIN);
    }
    EXPECT_EQ(storedParam("failedUserList"), "Alice:1,O'Neil:1,");
    EXPECT_EQ(scripts(HtmlWindow::Login, "logout(); loginErrorNotice();").size(), 1u);
    EXPECT_EQ(logCount("loginFailed: ERROR: Login failed for: O'Neil"), 1u);
}

// A server that accepts the connection and then says nothing: the login ends after the handshake's
// time, the form says so and takes the next login.
TEST_F(ConnectionHandlerTest, ALoginWithoutAnAnswerEndsAndTheFormTakesTheNext) {
    netTimings().handshakeMs = 300;
    config.sendHello = false;
    startLounge();
    loginEnterLobby("Players Lounge", "Alice", "secret", false);
    drain();
    EXPECT_EQ(appState.load(), STATE_CONNECTING);
    ASSERT_TRUE(waitUntil([&] { return handler.disconnects >= 1; }));
    drain();
    EXPECT_EQ(appState.load(), STATE_LOGIN);
    EXPECT_FALSE(handler.isConnected());
    EXPECT_EQ(scripts(HtmlWindow::Login, "connectionNotice("),
              std::vector<std::string>{"connectionNotice({text:'No answer from Players Lounge: the connection was closed. Please try again.'});"});
    loginEnterLobby("Players Lounge", "Alice", "secret", false);
    drain();
    EXPECT_EQ(appState.load(), STATE_CONNECTING);
    EXPECT_TRUE(handler.isConnected());

    // While it runs, a second login is refused on the form, where the player is.
    loginEnterLobby("Players Lounge", "Alice", "secret", false);
    EXPECT_EQ(scripts(HtmlWindow::Login, "connectionNotice({text:'Connection request").size(), 1u);
}

// A lookup that does not answer holds the login no longer than a connect that does not.
TEST(ConnectionLookup, ASlowLookupIsBoundedLikeTheConnect) {
    const HostLookup previous = setHostLookup([](const std::string&, sockaddr_in&) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        return false;
    });
    netTimings().loginConnectMs = 200;
    NullListener listener;
    Connection connection("lobby.invalid", 1, "Alice", "pw", &listener);
    const auto start = std::chrono::steady_clock::now();
    connection.connect(false, netTimings().loginConnectMs);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_TRUE(connection.isClosed());
    netTimings().restoreDefaults();
    setHostLookup(previous);
}

// The lookup runs off the main thread: the login request returns while the name server is silent.
TEST_F(ConnectionHandlerTest, ASlowLookupHoldsNeitherTheWindowNorANewerLogin) {
    using Clock = std::chrono::steady_clock;
    netTimings().loginConnectMs = 10000;  // only the test ends a lookup
    startLounge();
    tournament.setConfig(config);
    ASSERT_TRUE(tournament.start());
    setLobby(1, tournament.port(), true, "Tournament Lobby");
    reachByName(0);
    HeldLookup held;

    const auto start = Clock::now();
    loginEnterLobby("Players Lounge", "Alice", "secret", false);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_TRUE(handler.isConnected());
    drain();
    EXPECT_EQ(appState.load(), STATE_CONNECTING);
    ASSERT_TRUE(waitUntil([&] { return held.asked() == 1; }));
    held.release();
    ASSERT_TRUE(waitUntil([&] { return handler.successes == 1; }));
    drain();
    EXPECT_EQ(appState.load(), STATE_LOBBY);
    handler.disconnect();
    drain();

    // A newer login while the first still looks its server up wins; the late answer is dropped.
    held.hold();
    const int disconnectsBefore = handler.disconnects;
    login("Alice", "secret");
    ASSERT_TRUE(waitUntil([&] { return held.asked() == 2; }));
    login("Alice", "secret", false, "Tournament Lobby");
    EXPECT_EQ(handler.disconnects, disconnectsBefore + 1);  // the given-up login's end, queued first
    ASSERT_TRUE(waitUntil([&] { return handler.successes == 2; }));
    drain();
    EXPECT_EQ(appState.load(), STATE_LOBBY);
    const std::shared_ptr<Connection> winner = handler.currentConnection();
    held.release();
    ASSERT_TRUE(waitUntil([&] { return held.answered() == 2; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    drain();
    EXPECT_EQ(handler.currentConnection(), winner);
    EXPECT_TRUE(handler.isConnected());
    EXPECT_EQ(handler.disconnects, disconnectsBefore + 1);
    EXPECT_EQ(appState.load(), STATE_LOBBY);
    EXPECT_EQ(lounge.acceptedCount(), 1);
}

// A logout or a quit while the lookup is silent ends the login at once, reporting as it would
// for a connection that had been made.
TEST_F(ConnectionHandlerTest, ALoginStillLookingUpEndsAtOnce) {
    using Clock = std::chrono::steady_clock;
    netTimings().loginConnectMs = 10000;
    startLounge();
    reachByName(0);
    HeldLookup held;
    login("Alice", "secret");
    ASSERT_TRUE(waitUntil([&] { return held.asked() == 1; }));
    auto start = Clock::now();
    handler.disconnect();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(handler.disconnects, 2);
    EXPECT_FALSE(handler.isConnected());
    drain();
    EXPECT_EQ(appState.load(), STATE_LOGIN);

    login("Alice", "secret");
    ASSERT_TRUE(waitUntil([&] { return held.asked() == 2; }));
    start = Clock::now();
    handler.stopThreads();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_FALSE(handler.hasConnection());
    EXPECT_EQ(lounge.acceptedCount(), 0);
}

TEST_F(ConnectionHandlerTest, SuccessOfAReplacedLoginIsIgnored) {
    config.sendChallenge = false;
    startLounge();
    handler.loginSuccess();  // reported for the login before the next one
    loginEnterLobby("Players Lounge", "Alice", "secret", false);
    drain();
    EXPECT_EQ(appState.load(), STATE_CONNECTING);
    EXPECT_EQ(handler.outgoingCount(), 0u);
    EXPECT_TRUE(scripts(HtmlWindow::Lobby, "inbzLoginReset();").empty());
    releaseChallenge(lounge, 0);
    ASSERT_TRUE(waitUntil([&] { return handler.successes == 2; }));
    drain();
    EXPECT_EQ(appState.load(), STATE_LOBBY);
    EXPECT_EQ(scripts(HtmlWindow::Lobby, "inbzLoginReset();").size(), 1u);
}

TEST_F(ConnectionHandlerTest, ServerClosingEndsTheLogin) {
    startLounge();
    loginAndWait();
    lounge.closeConnection(0);
    ASSERT_TRUE(waitUntil([&] { return handler.disconnects == 1; }));
    EXPECT_FALSE(handler.isConnected());
    drain();
    EXPECT_EQ(appState.load(), STATE_LOGIN);
    EXPECT_EQ(logCount("disconnected: ERROR: Disconnected from server."), 1u);
    EXPECT_EQ(scripts(HtmlWindow::Login, "focusUserName();").size(), 1u);
}

TEST_F(ConnectionHandlerTest, SilentServerWaitsUntilTheUserDisconnects) {
    config.sendHello = false;
    startLounge();
    login("Alice", "secret");
    ASSERT_TRUE(lounge.waitForAccepted(1, 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    drain();
    EXPECT_EQ(appState.load(), STATE_CONNECTING);
    EXPECT_TRUE(handler.isConnected());
    EXPECT_EQ(handler.disconnects, 0);

    netTimings().receiveTimeoutMs = 10000;  // the close, not the time-out, must end the blocked receive
    const auto start = std::chrono::steady_clock::now();
    handler.disconnect();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(handler.disconnects, 2);
    drain();
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
        EXPECT_EQ(handler.incomingCount(), 0u);
        EXPECT_EQ(appState.load(), STATE_LOGIN);
        EXPECT_FALSE(handler.isConnected());
        EXPECT_FALSE(handler.hasConnection());
    }
    EXPECT_EQ(lounge.acceptedCount(), 0);
    EXPECT_TRUE(pages.entries().empty());
}

TEST_F(ConnectionHandlerTest, LoginRequestRefusedWhileConnected) {
    startLounge();
    loginAndWait();
    pages.clear();
    loginEnterLobby("Players Lounge", "Alice", "secret", false);
    drain();
    EXPECT_EQ(lounge.acceptedCount(), 1);
    EXPECT_EQ(appState.load(), STATE_LOBBY);
    // Only the notice of the refusal reaches the pages.
    for (const RecordingPageScriptSink::Entry& entry : pages.entries()) {
        EXPECT_NE(entry.statement.find(kAlreadyConnectedNotice), std::string::npos) << entry.statement;
    }
}

TEST_F(ConnectionHandlerTest, RequestsWithoutAConnectionAreDiscarded) {
    startLounge();
    handler.startThreads();
    handler.startThreads();  // a second call starts nothing
    handler.sendMessage(info(handler.nextIid(), 1));
    ASSERT_TRUE(waitUntil([&] { return handler.outgoingCount() == 0; }));
    loginAndWait();
    handler.sendMessage(info(handler.nextIid(), 2));
    ASSERT_TRUE(lounge.waitForMessages(MessageId::INFO, kSessionRequests + 1, 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto infos = ownInfos(lounge);
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
    EXPECT_TRUE(ownInfos(lounge).empty());
    EXPECT_EQ(logCount("Message too large to send, dropped: id=1000 size=" + std::to_string(size)), 1u);
}

TEST_F(ConnectionHandlerTest, LobbyChangeByDeadlineLogsInToTheNextLobby) {
    config.closeOnLogout = false;
    startLounge();
    config.lobbyName = "Tournament Lobby";
    config.sendChallenge = false;
    tournament.setConfig(config);
    ASSERT_TRUE(tournament.start());
    setLobby(1, tournament.port(), true, "Tournament Lobby");
    loginAndWait("O'Neil", "pw");
    // The own name reaches the pages escaped like every other text.
    EXPECT_EQ(scripts(HtmlWindow::Lobby, "inbzInfoUserName({ userName: 'O\\'Neil'});").size(), 1u);
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
    drain();
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

    // The page's request, a tenth of a second later, completes the change.
    loginEnterLobby("Tournament Lobby", "O'Neil", "pw", false);
    drain();
    EXPECT_EQ(appState.load(), STATE_CONNECTING);
    releaseChallenge(tournament, 0);
    ASSERT_TRUE(waitUntil([&] { return handler.successes == 2; }));
    drain();
    EXPECT_EQ(appState.load(), STATE_LOBBY);
    EXPECT_EQ(handler.serverName, "Tournament Lobby");
    ASSERT_TRUE(tournament.waitForMessages(MessageId::INFO, kSessionRequests, 3000));
    EXPECT_EQ(tournament.receivedWithId(MessageId::INFO)[3].textA, "O'Neil");
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
    drain();
    EXPECT_TRUE(handler.lobbyChangePending);
    EXPECT_TRUE(handler.nextServerName.empty());
    EXPECT_EQ(appState.load(), STATE_LOBBY);

    // The page's re-login 100 ms later: the flag keeps the state as it is, and destroying the old
    // connection reports once more, which clears the flag.
    pages.clear();
    login("Alice", "secret", false, "Tournament Lobby");
    EXPECT_EQ(handler.disconnects, 2);
    drain();
    EXPECT_TRUE(scripts(HtmlWindow::Lobby, "inbzUserInfo([]);").empty());
    EXPECT_FALSE(handler.lobbyChangePending);
    EXPECT_EQ(appState.load(), STATE_LOBBY);
    ASSERT_TRUE(waitUntil([&] { return handler.successes == 2; }));
    drain();
    EXPECT_EQ(tournament.acceptedCount(), 1);
    ASSERT_TRUE(tournament.waitForMessages(MessageId::INFO, kSessionRequests, 3000));
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
