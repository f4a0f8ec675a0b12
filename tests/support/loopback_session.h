// A client logged in at the loopback test server, for end-to-end tests: short network timings, the
// recording page sink, the message dispatch installed, the lobby list pointing at the server and the
// global connection handler set; all put back on destruction. The test server library must be linked.
#pragma once

#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "dispatch/process_message.h"
#include "net/connection_handler.h"
#include "net/lobby_servers.h"
#include "tools/testserver/test_server.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace bztest {

class LoopbackSession {
public:
    // Starts the server with the config (and the given preference folder for the game controller);
    // false when it cannot listen.
    bool start(const TestServerConfig& config, const std::string& prefFolder) {
        NetTimings& timings = netTimings();
        timings.loginConnectMs = 1000;
        timings.receiveTimeoutMs = 50;
        timings.senderWaitMs = 100;
        timings.receiverIdleMs = 20;
        previousSink_ = setPageScriptSink(&pages);
        previousProcessor_ = setMessageProcessor(nullptr);
        installMessageDispatch();
        appState = STATE_LOGIN;
        getGameHandler().prefPath = prefFolder;
        server.setConfig(config);
        if (!server.start()) return false;
        resetLobbyServers("127.0.0.1", server.port());
        {
            std::lock_guard<std::mutex> lock(lobbyServersMutex);
            lobbyServers[0].online = true;
        }
        connectionHandler = &handler;
        started_ = true;
        return true;
    }

    ~LoopbackSession() {
        if (!started_) return;
        handler.stopThreads();
        connectionHandler = nullptr;
        server.stop();
        setMessageProcessor(previousProcessor_);
        setPageScriptSink(previousSink_);
        appState = STATE_STARTUP;
        getGameHandler().prefPath.clear();
        resetLobbyServers(DEFAULT_GAME_SERVER_HOST, DEFAULT_LOBBY_PORT);
        netTimings().restoreDefaults();
    }

    // Runs the main loop's drain until the condition holds, or twelve seconds pass: four times what
    // a quiet machine needs at most, for a loaded, shared one.
    bool drainUntil(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(12);
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            getGameHandler().processMessageQueue();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    // Logs in and waits for the lobby; the pages recorded so far are dropped.
    bool login(const std::string& user, const std::string& password) {
        handler.startThreads();
        handler.connectToServer(lobbyServers[0].name, user, password, false);
        const bool inLobby = drainUntil([] { return appState.load() == STATE_LOBBY; });
        pages.clear();
        return inLobby;
    }

    RecordingPageScriptSink pages;
    TestServer server;
    ConnectionHandler handler;

private:
    bool started_ = false;
    PageScriptSink* previousSink_ = nullptr;
    MessageProcessor previousProcessor_ = nullptr;
};

}  // namespace bztest
