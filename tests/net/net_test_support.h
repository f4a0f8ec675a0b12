// Shared set-up of the connection tests: short waits, a recorded log and page scripts, the lobby
// list pointed at loopback test servers, and a count of open descriptors to catch leaks.
#pragma once

#include "core/log.h"
#include "net/connection.h"
#include "net/lobby_servers.h"
#include "core/page_script.h"
#include "support/captured_log.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace nettest {

inline int openDescriptorCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) ++count;
        closedir(dir);
    }
    return count;
}

// Polls until the condition holds; false once the time is up. timeoutMs is what a quiet machine
// needs at most: the wait ends on the condition, so the ceiling is four times that, for a loaded,
// shared machine (a sanitizer tree beside other test runs).
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 3000) {
    const auto deadline = std::chrono::steady_clock::now() + 4 * std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline void useFastTimings() {
    NetTimings& timings = netTimings();
    timings.loginConnectMs = 1000;
    timings.receiveTimeoutMs = 50;
    timings.senderWaitMs = 100;
    timings.receiverIdleMs = 20;
    timings.queryConnectMs = 500;
    timings.queryLimitMs = 400;
    timings.queryStepMs = 10;
    timings.pollPeriodMs = 20;
}

// Every test gets short waits, its own log file and page recorder, and is checked for leaked
// descriptors at its end.
class NetTest : public ::testing::Test {
protected:
    void SetUp() override {
        useFastTimings();
        previousSink = setPageScriptSink(&pages);
        descriptorsAtStart = openDescriptorCount();
    }

    void TearDown() override {
        EXPECT_TRUE(waitUntil([&] { return openDescriptorCount() <= descriptorsAtStart; }, 2000))
            << "descriptors leaked: " << openDescriptorCount() - descriptorsAtStart;
        setPageScriptSink(previousSink);
        netTimings().restoreDefaults();
        resetLobbyServers(DEFAULT_GAME_SERVER_HOST, DEFAULT_LOBBY_PORT);
    }

    std::string logText() const { return log.text(); }
    size_t logCount(const std::string& needle) const { return size_t(log.count(needle)); }

    // Points the three lobby entries at loopback ports and marks them as the poll would.
    static void setLobby(size_t index, uint16_t port, bool online, const std::string& name = "") {
        std::lock_guard<std::mutex> lock(lobbyServersMutex);
        while (lobbyServers.size() <= index) lobbyServers.push_back({});
        LobbyServer& server = lobbyServers[index];
        if (!name.empty()) server.name = name;
        server.address = "127.0.0.1";
        server.port = port;
        server.online = online;
    }

    static std::vector<LobbyServer> lobbySnapshot() {
        std::lock_guard<std::mutex> lock(lobbyServersMutex);
        return lobbyServers;
    }

    bztest::CapturedLog log{"bznet"};
    const std::filesystem::path& folder = log.dir();
    RecordingPageScriptSink pages;
    PageScriptSink* previousSink = nullptr;
    int descriptorsAtStart = 0;
};

// A socket listening on 127.0.0.1 at a port of the system's choice; `address` gets that address.
// A receive buffer size other than 0 is set before the listen, so accepted sockets take it.
inline int listenOnLoopback(sockaddr_in& address, int backlog = 1, int receiveBuffer = 0) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof(receiveBuffer));
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(fd, backlog) != 0) {
        ::close(fd);
        return -1;
    }
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return fd;
}

// A port on which nothing listens: bound once, then released.
inline uint16_t closedLoopbackPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

}  // namespace nettest
