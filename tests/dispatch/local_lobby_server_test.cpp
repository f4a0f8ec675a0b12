// Two clients in the local lobby: new names become accounts on their first login, each sees the
// tables and both users, and lobby chat reaches the other under the sender's logged-in name.
#include "client/gamehandler/game_handler.h"
#include "net/handshake.h"
#include "support/captured_log.h"
#include "support/loopback_session.h"
#include "tools/testserver/local_lobby.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class MessageLog : public ConnectionListener {
public:
    std::atomic<int> logins{0};
    void loginSuccess() override { ++logins; }
    void loginFailed() override {}
    void serverInfo(std::string, std::string, std::string, uint32_t, uint32_t, const std::vector<ServerAddress>&) override {}
    void messageReceived(const Message& message) override {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(message);
    }
    void disconnected() override {}
    std::vector<Message> withId(MessageId id) const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<Message> found;
        for (const Message& m : messages_) {
            if (m.id == id) found.push_back(m);
        }
        return found;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
};

bool pump(Connection& connection, bztest::LoopbackSession& session, const std::function<bool()>& condition) {
    return session.drainUntil([&] {
        connection.processReceivedMessages();
        connection.flush();
        return condition();
    });
}

bool listsUser(const Message& users, const std::string& name) {
    return std::any_of(users.users.begin(), users.users.end(), [&](const UserListEntry& u) { return u.userName == name; });
}

TEST(LocalLobbyServerTest, TwoNewcomersSeeTablesUsersAndEachOthersChat) {
    bztest::CapturedLog log;
    LocalLobby lobby("Players Lounge");
    bztest::LoopbackSession alice;
    ASSERT_TRUE(alice.start(lobby.serverConfig(), log.folder()));
    ASSERT_TRUE(alice.login("alice", LocalLobby::kNewcomerPassword));

    MessageLog bobSees;
    Connection bob("127.0.0.1", alice.server.port(), "bob", LocalLobby::kNewcomerPassword, &bobSees);
    bob.setKey(STREAM_PASS_PHRASE);
    bob.connect(false, 1000);
    bob.send(Message(MessageId::SERVER_STATUS_REQ, 0));
    ASSERT_TRUE(pump(bob, alice, [&] { return bobSees.logins == 1; }));
    bob.send(Message::initInfo(1, InfoCode::VERSION, 0, 0, "0.1", ""));
    ASSERT_TRUE(pump(bob, alice, [&] { return !bobSees.withId(MessageId::USER_LIST_INFO).empty(); }));
    const std::vector<Message> tables = bobSees.withId(MessageId::TABLE_LIST_INFO);
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(tables[0].tables.size(), 4u);
    const Message users = bobSees.withId(MessageId::USER_LIST_INFO).back();
    EXPECT_TRUE(listsUser(users, "alice") && listsUser(users, "bob"));
    ASSERT_TRUE(alice.drainUntil([&] { return !alice.pages.statementsStartingWith(HtmlWindow::Lobby, "inbzUserInfo").empty(); }));
    EXPECT_NE(alice.pages.statementsStartingWith(HtmlWindow::Lobby, "inbzUserInfo").back().find("bob"), std::string::npos);

    getGameHandler().sendChatText("hello bob", true, false);
    ASSERT_TRUE(pump(bob, alice, [&] { return !bobSees.withId(MessageId::CHAT_MESSAGE).empty(); }));
    const Message heard = bobSees.withId(MessageId::CHAT_MESSAGE)[0];
    EXPECT_EQ(heard.sender, "alice");
    EXPECT_EQ(heard.text1, "hello bob");

    // A claimed sender is replaced by the logged-in name.
    bob.send(Message::initChat(77, 0, ChatClass::CHAT, 0, "mallory", 0, "hi alice", "", "", "", ""));
    auto aliceHeard = [&] {
        for (const auto& entry : alice.pages.entries()) {
            if (entry.statement.find("hi alice") != std::string::npos) return entry.statement;
        }
        return std::string();
    };
    ASSERT_TRUE(alice.drainUntil([&] { return !aliceHeard().empty(); }));
    EXPECT_NE(aliceHeard().find("bob"), std::string::npos);
    EXPECT_EQ(aliceHeard().find("mallory"), std::string::npos);
    bob.close();
}

}  // namespace
