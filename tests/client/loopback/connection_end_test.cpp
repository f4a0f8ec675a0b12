// A connection that ends, at whatever stage of a login or a session, brings the player back to the
// login form, ready for the next login: the Login page is told that the login is over (so that its
// button works again), and the next login from the page goes through at once.
#include "support/captured_log.h"
#include "support/loopback_session.h"
#include "support/sound_recorder.h"

#include "dispatch/kred_box.h"
#include "net/net_test_support.h"
#include "ui/login_requests.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Generous: every wait ends on its event.
constexpr int kPatienceMs = 30000;

class ConnectionEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        config.accounts = {{"Alice", "secret"}};
        ASSERT_TRUE(session.start(config, log.folder() + "/"));
        handler.startThreads();
    }

    // The main loop's drain until the condition holds.
    bool drainUntil(const std::function<bool()>& condition) {
        return nettest::waitUntil(
            [&] {
                getGameHandler().processMessageQueue();
                return condition();
            },
            kPatienceMs);
    }

    bool received(int connection, MessageId id) const {
        for (const TestServer::Received& r : server.received()) {
            if (r.connection == connection && r.message.id == id) return true;
        }
        return false;
    }

    static void pointLobbyAt(uint16_t port) {
        std::lock_guard<std::mutex> lock(lobbyServersMutex);
        lobbyServers[0].port = port;
    }

    // What the last poll found of the lounge.
    static void loungeAnswers(bool online) {
        std::lock_guard<std::mutex> lock(lobbyServersMutex);
        lobbyServers[0].online = online;
    }

    bool loginToLobby() {
        loginEnterLobby("Players Lounge", "Alice", "secret", false);
        return drainUntil([] { return appState.load() == STATE_LOBBY; });
    }

    std::vector<std::string> loginPage() const { return session.pages.statementsStartingWith(HtmlWindow::Login, ""); }

    bztest::CapturedLog log;
    bztest::RecordingSoundBank sounds;
    bztest::LoopbackSession session;
    TestServer& server = session.server;
    ConnectionHandler& handler = session.handler;
    TestServerConfig config;
};

TEST_F(ConnectionEndTest, EveryStageEndsAtTheLoginFormReadyForTheNextLogin) {
    struct Stage {
        const char* name;
        // The login was still under way: the form is told that the lobby did not answer it.
        bool duringLogin;
        // How the server (or the lobby list) differs from the ordinary one for this stage.
        std::function<void(TestServerConfig&)> prepare;
        // Brings the login on connection `index` to the stage, then ends the connection there.
        std::function<void(int index)> reachAndEnd;
    };
    const auto closeWhen = [this](int index, MessageId id) {
        ASSERT_TRUE(server.waitUntil([&] { return received(index, id); }, kPatienceMs));
        server.closeConnection(index);
    };
    const std::vector<Stage> stages = {
        {"the connect refused", true, [](TestServerConfig&) { pointLobbyAt(nettest::closedLoopbackPort()); },
         [](int) {}},
        {"before HELLO", true, [](TestServerConfig& c) { c.sendHello = false; },
         [&](int index) { closeWhen(index, MessageId::SERVER_STATUS_REQ); }},
        {"after HELLO", true, [](TestServerConfig& c) { c.stallAfterHello = true; },
         [&](int index) { closeWhen(index, MessageId::HELLO_REPLY); }},
        {"after the challenge", true, [](TestServerConfig& c) { c.stallAfterHello = true; },
         [&](int index) {
             ASSERT_TRUE(server.waitUntil([&] { return received(index, MessageId::HELLO_REPLY); }, kPatienceMs));
             Message challenge(MessageId::LOGIN_CHALLENGE, 7);
             challenge.salt = config.challenge;
             ASSERT_TRUE(server.sendMessage(index, challenge));
             closeWhen(index, MessageId::LOGIN_REQ);
         }},
        {"in the lobby", false, [](TestServerConfig&) {},
         [&](int index) {
             ASSERT_TRUE(drainUntil([] { return appState.load() == STATE_LOBBY; }));
             server.closeConnection(index);
         }},
        {"at a table", false, [](TestServerConfig&) {},
         [&](int index) {
             ASSERT_TRUE(drainUntil([] { return appState.load() == STATE_LOBBY; }));
             Message enter(MessageId::ENTER_TABLE_INFO);
             enter.userName = "Alice";
             ASSERT_TRUE(server.sendMessage(index, enter));
             ASSERT_TRUE(drainUntil([] { return isTableState(appState.load()); }));
             server.closeConnection(index);
         }},
    };
    const std::string tryAgain =
        "connectionNotice({text:'Players Lounge does not answer right now. Please try again in a moment.',"
        "lobby:'Players Lounge'});";
    const uint16_t port = server.port();
    for (const Stage& stage : stages) {
        SCOPED_TRACE(stage.name);
        TestServerConfig staged = config;
        stage.prepare(staged);
        server.setConfig(staged);
        const int index = server.acceptedCount();
        session.pages.clear();
        loginEnterLobby("Players Lounge", "Alice", "secret", false);
        stage.reachAndEnd(index);
        ASSERT_TRUE(drainUntil([&] { return !handler.isConnected() && appState.load() == STATE_LOGIN; }));
        // The form is set back (its button usable), then the user-name field takes the focus; a
        // login that ended before its answer says so.
        std::vector<std::string> expected = {"logout();", "focusUserName();"};
        if (stage.duringLogin) expected.push_back(tryAgain);
        EXPECT_EQ(loginPage(), expected);

        // The next login from the page goes through; the form that started it is left busy.
        server.setConfig(config);
        pointLobbyAt(port);
        session.pages.clear();
        const size_t loginsBefore = server.countReceived(MessageId::LOGIN_REQ);
        loginEnterLobby("Players Lounge", "Alice", "secret", false);
        ASSERT_TRUE(drainUntil([] { return appState.load() == STATE_LOBBY; }));
        EXPECT_EQ(server.countReceived(MessageId::LOGIN_REQ), loginsBefore + 1);
        EXPECT_TRUE(loginPage().empty()) << loginPage().front();

        // The player logs out (the logout's deadline passed) for the next stage.
        handler.disconnect();
        ASSERT_TRUE(drainUntil([] { return appState.load() == STATE_LOGIN; }));
    }
}

// The Login page's answer to a login that did not reach the lounge.
const char kTryAgain[] =
    "connectionNotice({text:'Players Lounge does not answer right now. Please try again in a moment.',"
    "lobby:'Players Lounge'});";

// The lounge stopped answering after the form listed it: the login is answered at once with a notice
// that tells the player to try again (and goes from the form once the lounge is listed again), and
// the form takes the next login. At the end of a lobby change the player is brought to the form.
TEST_F(ConnectionEndTest, ALoginToALobbyThatNoLongerAnswersIsAnsweredTryAgain) {
    const std::string notice = kTryAgain;
    struct Case {
        const char* name;
        bool lobbyChange;
        std::vector<std::string> loginPage;
    };
    const std::vector<Case> cases = {
        {"at the login form", false, {notice}},
        {"at the end of a lobby change", true, {"logout();", "focusUserName();", notice}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.lobbyChange) {
            ASSERT_TRUE(loginToLobby());
            handler.nextServerName = "Players Lounge";
            handler.lobbyChangePending = true;
            handler.disconnect();
            ASSERT_TRUE(drainUntil([&] { return !handler.lobbyChangePending; }));
            ASSERT_EQ(appState.load(), STATE_LOBBY);
        }
        loungeAnswers(false);
        session.pages.clear();
        const size_t accepted = server.acceptedCount();
        loginEnterLobby("Players Lounge", "Alice", "secret", false);
        EXPECT_EQ(loginPage(), c.loginPage);
        EXPECT_EQ(appState.load(), STATE_LOGIN);
        EXPECT_FALSE(handler.isConnected());
        EXPECT_FALSE(handler.lobbyChangePending);

        loungeAnswers(true);
        ASSERT_TRUE(loginToLobby());
        EXPECT_EQ(server.acceptedCount(), accepted + 1);
        handler.disconnect();
        ASSERT_TRUE(drainUntil([] { return appState.load() == STATE_LOGIN; }));
    }
}

// The lounge stops under the player and starts again on its port. A press while the list still
// shows it, before or after it listens again, or once the list no longer does, either logs in or
// tells the player to try again; the next press once it answers again logs in.
TEST_F(ConnectionEndTest, APressAsTheLostLobbyComesBackLogsInOrSaysWhyNot) {
    const std::string notice = kTryAgain;
    struct Case {
        const char* name;
        bool listening;  // the lounge listens again when the player presses
        bool listed;     // the last poll found it answering
        std::vector<std::string> loginPage;  // empty: the press logs in
    };
    const std::vector<Case> cases = {
        {"not yet listening, still listed", false, true, {"logout();", "focusUserName();", notice}},
        {"listening, still listed", true, true, {}},
        {"not yet listening, no longer listed", false, false, {notice}},
        {"listening, not yet listed again", true, false, {notice}},
    };
    const uint16_t port = server.port();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(loginToLobby());
        server.stop();
        ASSERT_TRUE(drainUntil([] { return appState.load() == STATE_LOGIN; }));
        if (c.listening) ASSERT_TRUE(server.start(port));
        loungeAnswers(c.listed);
        session.pages.clear();
        loginEnterLobby("Players Lounge", "Alice", "secret", false);
        if (c.loginPage.empty()) {
            EXPECT_TRUE(drainUntil([] { return appState.load() == STATE_LOBBY; }));
        } else {
            ASSERT_TRUE(drainUntil([&] { return !handler.isConnected() && appState.load() == STATE_LOGIN; }));
            EXPECT_EQ(loginPage(), c.loginPage);
            if (!c.listening) ASSERT_TRUE(server.start(port));
            loungeAnswers(true);
            EXPECT_TRUE(loginToLobby());
        }
        handler.disconnect();
        ASSERT_TRUE(drainUntil([] { return appState.load() == STATE_LOGIN; }));
    }
}

// A session that ends forgets itself in the pages, and their timers and links go with it (the Kred
// Box countdown, the shot clocks, the chat's collect link); a box that opens as it ends opens nothing.
TEST_F(ConnectionEndTest, NothingOfALostSessionActsAtTheLoginForm) {
    const int index = server.acceptedCount();
    ASSERT_TRUE(loginToLobby());
    ASSERT_TRUE(server.sendMessage(index, Message::initInfo(0, InfoCode::KRED_BOX_INFO, 50, 70, "", "")));
    ASSERT_TRUE(drainUntil([&] { return getGameHandler().kredBoxAmount == 50; }));
    session.pages.clear();
    server.closeConnection(index);
    ASSERT_TRUE(drainUntil([] { return appState.load() == STATE_LOGIN; }));
    for (HtmlWindow window : {HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::People}) {
        EXPECT_EQ(session.pages.statementsStartingWith(window, "inbzLoginReset();").size(), 1u);
    }
    EXPECT_EQ(getGameHandler().kredBoxAmount, 0);

    session.pages.clear();
    kredBoxOpened(getGameHandler());
    EXPECT_TRUE(session.pages.entries().empty());
    EXPECT_TRUE(sounds.played.empty());
    EXPECT_TRUE(getGameHandler().kredBoxCollectId.empty());
}

}  // namespace
