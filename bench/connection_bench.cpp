// Round trips of a small request and its echo over loopback through the whole enciphered path:
// serialise, pad, encipher, send, the server's decipher and echo, receive, decipher and parse.
#include "client/gamehandler/state_change.h"
#include "client/gamehandler/game_handler.h"
#include "net/connection.h"
#include "net/connection_handler.h"
#include "net/handshake.h"
#include "net/lobby_servers.h"
#include "tools/testserver/test_server.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

namespace {

class EchoCounter : public ConnectionListener {
public:
    bool loggedIn = false;
    int echoes = 0;

    void loginSuccess() override { loggedIn = true; }
    void loginFailed() override {}
    void serverInfo(std::string, std::string, std::string, uint32_t, uint32_t,
                    const std::vector<ServerAddress>&) override {}
    void messageReceived(const Message&) override { ++echoes; }
    void disconnected() override {}
};

TestServerConfig echoServerConfig() {
    TestServerConfig config;
    config.accounts = {{"bench", "secret"}};
    config.echo = true;
    return config;
}

Message smallRequest(uint32_t iid) {
    return Message::initInfo(iid, InfoCode::USER_FLAGS, 0, 7, "", "");
}

// One connection driven directly on the benchmark's thread.
void BM_ConnectionRoundTrip(benchmark::State& state) {
    TestServer server(echoServerConfig());
    if (!server.start()) {
        state.SkipWithError("cannot listen on loopback");
        return;
    }
    EchoCounter listener;
    Connection connection("127.0.0.1", server.port(), "bench", "secret", &listener);
    connection.setKey(STREAM_PASS_PHRASE);
    connection.connect(false, 1000);
    connection.send(Message(MessageId::SERVER_STATUS_REQ, 0));
    for (int step = 0; step < 200 && !listener.loggedIn && !connection.isClosed(); ++step) {
        connection.processReceivedMessages();
    }
    if (!listener.loggedIn) {
        state.SkipWithError("login did not complete");
        return;
    }
    uint32_t iid = 5000;
    for (auto _ : state) {
        const int expected = listener.echoes + 1;
        connection.sendNow(smallRequest(++iid));
        while (listener.echoes < expected && !connection.isClosed()) connection.processReceivedMessages();
        if (listener.echoes < expected) {
            state.SkipWithError("a reply is missing: the connection closed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("round trips");
}
BENCHMARK(BM_ConnectionRoundTrip)->UseRealTime();

// The same through the handler: the outgoing queue, the sender thread, the receiver thread and
// the incoming queue.
void BM_HandlerRoundTrip(benchmark::State& state) {
    TestServer server(echoServerConfig());
    if (!server.start()) {
        state.SkipWithError("cannot listen on loopback");
        return;
    }
    {
        std::lock_guard<std::mutex> lock(lobbyServersMutex);
        lobbyServers = {{"Bench Lobby", "127.0.0.1", server.port(), "", 1, 0, true}};
    }
    ConnectionHandler handler;
    ConnectionHandler* previous = connectionHandler;
    connectionHandler = &handler;
    auto finish = [&](const char* error) {
        if (error) state.SkipWithError(error);
        handler.stopThreads();
        connectionHandler = previous;
        resetLobbyServers(DEFAULT_GAME_SERVER_HOST, DEFAULT_LOBBY_PORT);
    };
    // Every repetition logs in afresh: the lobby state that the one before reached must not pass
    // for this login.
    appState = STATE_LOGIN;
    handler.startThreads();
    handler.connectToServer("Bench Lobby", "bench", "secret", false);
    // The connect runs on a thread of its own, and the login outcome takes effect when the main
    // loop drains the incoming queue: the loop waits for both.
    for (int wait = 0; wait < 2000 && appState.load() != STATE_LOBBY; ++wait) {
        getGameHandler().processMessageQueue();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (appState.load() != STATE_LOBBY) return finish("login did not complete");

    // Takes replies until the echo of iid; the echoes of earlier requests are passed over.
    Message echo;
    auto awaitEcho = [&](uint32_t iid) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (handler.isConnected() && std::chrono::steady_clock::now() < deadline) {
            if (!handler.takeIncoming(echo)) {
                std::this_thread::yield();
            } else if (echo.iid == iid) {
                return true;
            }
        }
        return false;
    };
    // The session's own requests are echoed too; a marker's echo comes after all of theirs.
    const uint32_t marker = handler.nextIid();
    handler.sendMessage(smallRequest(marker));
    if (!awaitEcho(marker)) return finish("no reply after the login");
    for (auto _ : state) {
        const uint32_t iid = handler.nextIid();
        handler.sendMessage(smallRequest(iid));
        if (!awaitEcho(iid)) {
            state.SkipWithError("a reply is missing");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("round trips, one in flight");
    finish(nullptr);
}
BENCHMARK(BM_HandlerRoundTrip)->UseRealTime();

}  // namespace
