// Captures the requests exactly as they leave the client: a loopback listener that the connection
// handler logs into, which deciphers the stream under the first key (it never sends HELLO, so the
// key never changes) and cuts it into whole messages.
#pragma once

#include "core/cipher.h"
#include "net/connection_handler.h"
#include "net/handshake.h"
#include "net/lobby_servers.h"
#include "wire_bytes.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class RequestCapture {
public:
    static constexpr const char* LOBBY = "Loopback";

    RequestCapture() : cipher(STREAM_PASS_PHRASE) {
        listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        ::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(listenFd, 1);
        ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }

    ~RequestCapture() { stop(); }

    // A fresh handler (sequence numbers from 5001) logged into this listener; the status request
    // that every login sends first is taken off the stream.
    bool start() {
        netTimings().receiveTimeoutMs = 50;
        netTimings().senderWaitMs = 100;
        netTimings().receiverIdleMs = 20;
        resetLobbyServers("127.0.0.1", port);
        {
            std::lock_guard<std::mutex> lock(lobbyServersMutex);
            lobbyServers[0].name = LOBBY;
            lobbyServers[0].online = true;
        }
        handler = std::make_unique<ConnectionHandler>();
        connectionHandler = handler.get();
        handler->startThreads();
        handler->connectToServer(LOBBY, "me", "secret", false);
        // Ceilings of four times what a quiet machine needs, for a loaded, shared one.
        if (!waitReadable(listenFd, 12000)) return false;
        clientFd = ::accept(listenFd, nullptr, nullptr);
        const std::vector<ByteVector> status = receive(1);
        if (status.size() != 1 || parseBytes(status[0]).id != MessageId::SERVER_STATUS_REQ) return false;
        // The connect thread sends the status request before it hands the connection over; a request
        // queued before that would find no connection to go out on.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(12);
        while (!handler->hasConnection()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    void stop() {
        if (handler) handler->stopThreads();
        handler.reset();
        connectionHandler = nullptr;
        if (clientFd >= 0) ::close(clientFd);
        if (listenFd >= 0) ::close(listenFd);
        clientFd = listenFd = -1;
        resetLobbyServers(DEFAULT_GAME_SERVER_HOST, DEFAULT_LOBBY_PORT);
        netTimings().restoreDefaults();
    }

    // The next count whole messages, deciphered; fewer when they do not arrive in time.
    std::vector<ByteVector> receive(size_t count, int timeoutMs = 3000) {
        std::vector<ByteVector> messages;
        while (messages.size() < count) {
            if (takeMessage(messages)) continue;
            if (!waitReadable(clientFd, timeoutMs)) break;
            uint8_t chunk[4096];
            const ssize_t got = ::recv(clientFd, chunk, sizeof(chunk), 0);
            if (got <= 0) break;
            enciphered.insert(enciphered.end(), chunk, chunk + got);
            decipherBlocks();
        }
        return messages;
    }

    std::unique_ptr<ConnectionHandler> handler;

private:
    static bool waitReadable(int fd, int timeoutMs) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, timeoutMs) == 1;
    }

    void decipherBlocks() {
        size_t whole = enciphered.size() / 16 * 16;
        for (size_t at = 0; at < whole; at += 16) cipher.decryptBlock(&enciphered[at]);
        plain.insert(plain.end(), enciphered.begin(), enciphered.begin() + whole);
        enciphered.erase(enciphered.begin(), enciphered.begin() + whole);
    }

    bool takeMessage(std::vector<ByteVector>& messages) {
        if (plain.empty()) return false;
        Buffer reader(plain.data(), static_cast<int32_t>(plain.size()), 16);
        const Message m(reader);
        if (m.parseResult() != ParseResult::Complete) return false;
        messages.emplace_back(plain.begin(), plain.begin() + m.consumed);
        plain.erase(plain.begin(), plain.begin() + m.consumed);
        return true;
    }

    Cipher cipher;
    int listenFd = -1;
    int clientFd = -1;
    uint16_t port = 0;
    ByteVector enciphered;
    ByteVector plain;
};
