// The Login page's loginEnterLobby against the loopback test server: each branch of the server
// name, the lobby it logs in to, a refused login, a second login while one is in use, and the
// password kept out of the log.
#include "ui/login_requests.h"

#include "core/prefs.h"
#include "ui/html_requests.h"
#include "ui/query_dispatcher.h"
#include "support/captured_log.h"
#include "support/loopback_session.h"

#include <gtest/gtest.h>

namespace {

class LoginRequests : public ::testing::Test {
protected:
    void SetUp() override {
        config.accounts = {{"Alice", "secret"}};
        ASSERT_TRUE(session.start(config, log.folder()));
    }
    bool drainUntilState(AppState state) {
        return session.drainUntil([state] { return appState.load() == state; });
    }

    bztest::CapturedLog log{"login-requests"};
    TestServerConfig config;
    bztest::LoopbackSession session;
};

TEST_F(LoginRequests, NamedOnlineLobbyLogsIn) {
    loginEnterLobby("Players Lounge", "Alice", "secret", false);
    ASSERT_TRUE(drainUntilState(STATE_LOBBY));
    EXPECT_TRUE(session.handler.isConnected());
    EXPECT_GE(session.server.countReceived(MessageId::SERVER_STATUS_REQ), 1u);
    EXPECT_EQ(log.count("loginEnterLobby: Players Lounge Alice ***** 0"), 1);
}

TEST_F(LoginRequests, WrongPasswordAndUnknownNameGoBackToTheLoginForm) {
    for (const char* user : {"Alice", "Mallory"}) {
        SCOPED_TRACE(user);
        session.pages.clear();
        loginEnterLobby("Players Lounge", user, "wrong", false);
        ASSERT_TRUE(session.drainUntil([this] {
            return !session.pages.statementsStartingWith(HtmlWindow::Login, "logout(); loginErrorNotice();").empty();
        }));
        ASSERT_TRUE(drainUntilState(STATE_LOGIN));
        ASSERT_TRUE(session.drainUntil([this] { return !session.handler.isConnected(); }));
    }
}

TEST_F(LoginRequests, OfflineOrUnknownLobbyOpensNoConnection) {
    {
        std::lock_guard<std::mutex> lock(lobbyServersMutex);
        lobbyServers[1].online = false;
    }
    loginEnterLobby("Tournament Lobby", "Alice", "secret", false);
    loginEnterLobby("No Such Lobby", "Alice", "secret", false);
    // Let anything queued arrive.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    session.drainUntil([until] { return std::chrono::steady_clock::now() >= until; });
    EXPECT_FALSE(session.handler.isConnected());
    EXPECT_EQ(session.server.countReceived(MessageId::SERVER_STATUS_REQ), 0u);
    EXPECT_EQ(appState.load(), STATE_LOGIN);
}

TEST_F(LoginRequests, ASecondLoginWhileConnectedIsRefusedWithANotice) {
    ASSERT_TRUE(session.login("Alice", "secret"));
    const size_t statusRequests = session.server.countReceived(MessageId::SERVER_STATUS_REQ);
    loginEnterLobby("Players Lounge", "Alice", "secret", false);
    EXPECT_EQ(log.count(std::string("loginEnterLobby: ") + kAlreadyConnectedNotice), 1);
    // Shown to the player as a chat line of the client's own, not only logged.
    bool shown = false;
    for (HtmlWindow window : {HtmlWindow::Lobby, HtmlWindow::BottomBox}) {
        for (const std::string& statement : session.pages.statementsFor(window)) {
            shown = shown || statement.find(kAlreadyConnectedNotice) != std::string::npos;
        }
    }
    EXPECT_TRUE(shown);
    EXPECT_EQ(session.server.countReceived(MessageId::SERVER_STATUS_REQ), statusRequests);
    EXPECT_EQ(appState.load(), STATE_LOBBY);
}

TEST_F(LoginRequests, CredentialsAreStoredShownAndForgottenWithoutTouchingTheConnection) {
    // As the page sends it: the request's own log line masks the password too.
    dispatchHtmlQuery(R"({"requestName":"loginEnterLobby","servername":"","username":"Alice",)"
                      R"("password":"pa'ss\\word","rememberme":true})",
                      getHtmlRequests());
    loginEnterLobby("", "Bob", "", false);  // another user's forget keeps Alice's
    loginEnterLobby("-", "", "", false);
    const std::vector<std::string> shown = session.pages.statementsStartingWith(HtmlWindow::Login, "setCredentials");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("pa\\'ss\\\\word"), std::string::npos);
    loginEnterLobby("", "Alice", "", false);
    session.pages.clear();
    loginEnterLobby("-", "", "", false);
    EXPECT_EQ(session.pages.statementsStartingWith(HtmlWindow::Login, "setCredentials").at(0).find("ss\\\\word"),
              std::string::npos);
    EXPECT_FALSE(session.handler.isConnected());
    // The password is in no log line, however it came in.
    EXPECT_EQ(log.text().find("pa'ss"), std::string::npos);
    EXPECT_EQ(log.count("\"password\":\"*****\""), 1);
    EXPECT_EQ(log.count("loginEnterLobby:  Alice ***** 1"), 1);
}

}  // namespace
