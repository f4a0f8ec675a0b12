// Protocol clients of the local lobby over loopback, as its tests use them: each logs in as a new
// user, keeps every message received and reads what has come while a test waits for a condition; and
// a client's game controller to show what one of them received.
#pragma once

#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "dispatch/process_message.h"
#include "net/connection.h"
#include "net/handshake.h"
#include "support/sound_recorder.h"
#include "tools/testserver/local_lobby.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

namespace bztest {

// Keeps every message a connection receives and reads them by kind.
class MessageLog : public ConnectionListener {
public:
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
        for (const Message& m : messages_)
            if (m.id == id) found.push_back(m);
        return found;
    }
    std::vector<Message> info(InfoCode code) const {
        std::vector<Message> found;
        for (const Message& m : withId(MessageId::INFO))
            if (m.infoCode == static_cast<int32_t>(code)) found.push_back(m);
        return found;
    }
    // The chat lines received that hold a text.
    std::vector<Message> heard(const std::string& text) const {
        std::vector<Message> found;
        for (const Message& m : withId(MessageId::CHAT_MESSAGE))
            if ((m.text1 + m.playerName1 + m.text2 + m.playerName2 + m.text3).find(text) != std::string::npos)
                found.push_back(m);
        return found;
    }

    std::atomic<int> logins{0};

private:
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
};

class Client : public MessageLog {
public:
    Client(uint16_t port, const std::string& name)
        : name(name), connection("127.0.0.1", port, name, LocalLobby::kNewcomerPassword, this) {}

    void send(const Message& m) { connection.send(m); }
    void say(const std::string& text, bool atTable = false) {
        send(Message::initChat(7, atTable ? 1 : 0, ChatClass::CHAT, 0, name, 0, text, "", "", "", ""));
    }
    void ask(InfoCode code, int value, const std::string& text, const std::string& textB = "") {
        send(Message::initInfo(8, code, value, 0, text, textB));
    }

    const std::string name;
    Connection connection;
};

// A client's game controller in the given state, its pages recorded: it shows what the lobby sent.
class Viewer {
public:
    explicit Viewer(AppState state) : previous_(setPageScriptSink(&pages)), processor_(setMessageProcessor(nullptr)) {
        installMessageDispatch();
        appState = state;
    }
    ~Viewer() {
        setMessageProcessor(processor_);
        setPageScriptSink(previous_);
        appState = STATE_STARTUP;
    }
    // The statements that ran in the page and contain the text.
    std::vector<std::string> ran(HtmlWindow window, const std::string& text) const {
        std::vector<std::string> found;
        for (const auto& entry : pages.entries())
            if (entry.window == window && entry.statement.find(text) != std::string::npos)
                found.push_back(entry.statement);
        return found;
    }

    RecordingPageScriptSink pages;
    RecordingSoundBank sounds;
    std::unique_ptr<GameHandler> gh = std::make_unique<GameHandler>();

private:
    PageScriptSink* previous_;
    MessageProcessor processor_;
};

class LobbyClients : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start()); }

    // Reads what has come for every client until the condition holds; generous for a slow machine.
    bool until(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            for (auto& c : clients)
                if (!c->connection.isClosed() && c->connection.waitReadable(1)) c->connection.processReceivedMessages();
        }
        return true;
    }

    // A new client logged in and greeted (the lobby greets on the first word after the login).
    Client& logIn(const std::string& name) {
        clients.push_back(std::make_unique<Client>(server.port(), name));
        Client& c = *clients.back();
        c.connection.setKey(STREAM_PASS_PHRASE);
        c.connection.connect(false, 5000);
        c.send(Message(MessageId::SERVER_STATUS_REQ, 0));
        EXPECT_TRUE(until([&] { return c.logins == 1; })) << name << " did not log in";
        c.ask(InfoCode::VERSION, 0, "0.1");
        EXPECT_TRUE(until([&] { return !c.withId(MessageId::USER_LIST_INFO).empty(); })) << name << " was not greeted";
        return c;
    }

    // Everything the lobby sent before a lobby chat line of the sender has reached every client.
    void settle(Client& sender, const std::string& marker) {
        sender.say(marker);
        ASSERT_TRUE(until([&] {
            return std::all_of(clients.begin(), clients.end(), [&](const auto& c) {
                return c->connection.isClosed() || !c->heard(marker).empty() || c.get() == &sender;
            });
        }));
    }

    LocalLobby lobby{"Players Lounge"};
    TestServer server{lobby.serverConfig()};
    std::vector<std::unique_ptr<Client>> clients;
};

}  // namespace bztest
