#include "net/lobby_servers.h"

#include "core/app_status.h"
#include "core/log.h"
#include "core/text.h"
#include "net/handshake.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

std::vector<LobbyServer> initialLobbyServers(const std::string& host, uint32_t firstPort) {
    std::vector<LobbyServer> servers;
    for (const char* name : {"Players Lounge", "Tournament Lobby", "New Lobby"}) {
        LobbyServer server;
        server.name = name;
        server.address = host;
        server.port = firstPort + static_cast<uint32_t>(servers.size());
        servers.push_back(server);
    }
    return servers;
}

std::vector<LobbyServer> configuredLobbyServers() {
    const char* host = std::getenv("BZ_LOBBY_HOST");
    const char* port = std::getenv("BZ_LOBBY_PORT");
    uint32_t firstPort = DEFAULT_LOBBY_PORT;
    if (port != nullptr) {
        unsigned long value = std::strtoul(port, nullptr, 10);
        if (value > 0 && value < 65534) firstPort = static_cast<uint32_t>(value);
    }
    return initialLobbyServers(host != nullptr && *host != '\0' ? host : DEFAULT_GAME_SERVER_HOST, firstPort);
}

using SteadyClock = std::chrono::steady_clock;

}  // namespace

std::vector<LobbyServer> lobbyServers = configuredLobbyServers();
std::mutex lobbyServersMutex;
std::atomic<bool> lobbyListRequested{false};

void resetLobbyServers(const std::string& host, uint32_t firstPort) {
    std::lock_guard<std::mutex> lock(lobbyServersMutex);
    lobbyServers = initialLobbyServers(host, firstPort);
}

void LobbyStatusListener::serverInfo(std::string, std::string lobbyName, std::string lobbyVersion, uint32_t maxUsers,
                                     uint32_t currentUsers, const std::vector<ServerAddress>& servers) {
    if (replies != nullptr) {
        replies->push_back({lobbyName, address, port, lobbyVersion, maxUsers, currentUsers, true});
        for (const ServerAddress& further : servers) {
            // Known only by address until it answers a query of its own.
            replies->push_back({"", further.address, further.port, "", 0, 0, false});
        }
    }
    answered = true;
}

bool queryLobbyServer(LobbyStatusListener& listener, const std::string& address, uint32_t port,
                      std::vector<LobbyServer>& replies) {
    listener.address = address;
    listener.port = port;
    listener.replies = &replies;
    listener.answered = false;
    listener.finished = false;

    const NetTimings& timings = netTimings();
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timings.queryLimitMs.load());
    {
        Connection connection(address, static_cast<int32_t>(port), "", "", &listener);
        connection.setKey(STREAM_PASS_PHRASE);
        connection.connect(true, timings.queryConnectMs);
        connection.send(Message(MessageId::SERVER_STATUS_REQ, 0));
        // A server that accepts and then neither answers nor closes must not hold the pass: the
        // query ends at its deadline.
        while (!listener.finished) {
            connection.processReceivedMessages();
            connection.flush();
            if (listener.finished) break;
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
            if (left <= 0) {
                BZ_LOG(LOG_INFO, "queryLobbyServer", "Status query timed out: " << address << ":" << port);
                break;
            }
            connection.waitReadable(static_cast<int>(std::min<long long>(left, timings.queryStepMs.load())));
        }
        connection.close();
    }
    listener.replies = nullptr;
    return listener.answered;
}

bool mergeLobbyReplies(std::vector<LobbyServer>& servers, const std::vector<LobbyServer>& replies) {
    bool changed = false;
    for (const LobbyServer& record : replies) {
        auto entry = std::find_if(servers.begin(), servers.end(), [&](const LobbyServer& server) {
            return server.address == record.address && server.port == record.port;
        });
        if (entry == servers.end()) {
            if (servers.size() >= MAX_LOBBY_SERVERS) {
                BZ_LOG(LOG_ERROR, "lobbyPoll",
                       "Lobby server list full, ignoring " << record.address << ":" << record.port);
                continue;
            }
            servers.push_back(record);
            continue;
        }
        if (record.name.empty()) continue;
        if (entry->name != record.name || entry->version != record.version || entry->maxUsers != record.maxUsers ||
            entry->currentUsers != record.currentUsers) {
            changed = true;
        }
        entry->name = record.name;
        entry->version = record.version;
        entry->maxUsers = record.maxUsers;
        entry->currentUsers = record.currentUsers;
    }
    return changed;
}

std::string updateLobbiesScript(const std::vector<LobbyServer>& servers) {
    std::string text = "updateLobbies([";
    bool first = true;
    for (const LobbyServer& server : servers) {
        if (!server.online) continue;
        if (!first) text += ",";
        first = false;
        text += "{name:\"" + escapeJsString(server.name) + "\",version:\"" + escapeJsString(server.version) +
                "\",maxUsers:" + std::to_string(server.maxUsers) +
                ",currentUsers:" + std::to_string(server.currentUsers) + "}";
    }
    if (!first || servers.empty()) return text + "]);";
    // Mends the login form that, with no lobby answering, showed an empty list and never said where none answered.
    text += "],{tried:[";
    for (size_t i = 0; i < servers.size(); ++i) {
        text += (i ? ",\"" : "\"") + escapeJsString(servers[i].address) + ":" + std::to_string(servers[i].port) + "\"";
    }
    text += "]});";
    return text;
}

bool lobbyPollWanted(int& passCounter) {
    const AppState state = appState.load();
    if (state == STATE_LOGIN) return true;
    if (state == STATE_LOBBY && lobbyListRequested) return true;
    return ++passCounter % 6 == 0;
}

bool lobbyPollPass(HtmlWindow loginWindow, bool firstPass) {
    struct Target {
        std::string address;
        uint32_t port;
    };
    std::vector<Target> targets;
    {
        std::lock_guard<std::mutex> lock(lobbyServersMutex);
        for (const LobbyServer& server : lobbyServers) targets.push_back({server.address, server.port});
    }

    std::vector<LobbyServer> replies;
    std::vector<bool> answered;
    LobbyStatusListener listener;
    for (const Target& target : targets) {
        answered.push_back(queryLobbyServer(listener, target.address, target.port, replies));
    }

    std::string script;
    {
        // Entries are only ever appended, so the first targets.size() entries are the ones queried.
        std::lock_guard<std::mutex> lock(lobbyServersMutex);
        // A server that stops answering must leave the list shown, the last one too.
        bool changed = firstPass;
        for (size_t i = 0; i < answered.size() && i < lobbyServers.size(); ++i) {
            LobbyServer& server = lobbyServers[i];
            changed |= server.online != answered[i];
            server.online = answered[i];
            if (answered[i]) {
                // Refilled from the server's own reply record by the merge.
                server.name.clear();
                server.version.clear();
                server.maxUsers = 0;
                server.currentUsers = 0;
            }
        }
        if (mergeLobbyReplies(lobbyServers, replies) || changed) script = updateLobbiesScript(lobbyServers);
    }
    if (script.empty()) return false;
    runJavaScript(loginWindow, script);
    runJavaScript(HtmlWindow::Lobby, script);
    return true;
}

void lobbyPollThread(HtmlWindow loginWindow) {
    int passCounter = 0;
    bool firstPass = true;
    while (appRunning) {
        if (lobbyPollWanted(passCounter)) {
            lobbyPollPass(loginWindow, firstPass);
            firstPass = false;
        }
        // Paused in short slices so that the thread ends soon after the application stops.
        const auto until = SteadyClock::now() + std::chrono::milliseconds(netTimings().pollPeriodMs.load());
        while (appRunning && SteadyClock::now() < until) {
            std::this_thread::sleep_for(std::min<SteadyClock::duration>(std::chrono::milliseconds(50),
                                                                        until - SteadyClock::now()));
        }
    }
}
