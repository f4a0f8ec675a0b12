// A small game server on 127.0.0.1 that speaks the server side of the protocol: HELLO, the three
// stream keys, the status answer, the login challenge and its outcome. It records every message it
// receives and offers hooks to send anything and to inject faults, for the connection tests, the
// benchmark and local trials of the client.
#pragma once

#include "core/cipher.h"
#include "net/message.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A message for one connection, produced by a session hook; with a delay it goes out that many
// milliseconds later (what a server tells once the balls of a stroke have come to rest).
struct OutgoingMessage {
    int connection;
    Message message;
    int delayMs = 0;
};

// Called on the server thread for every message after a login (with a bare LOGIN_OK message right
// after the login itself and a bare LOGOUT_REQ when the connection ends); the messages it returns
// are sent in order.
using SessionHook = std::function<std::vector<OutgoingMessage>(int connection, const std::string& user,
                                                               const Message& message)>;

struct TestServerConfig {
    std::string sid = "0123456789";  // sent as it is, so a test can make it the wrong length
    std::string salt = "s4lt";
    std::string challenge = "challenge-1";
    // SERVER_STATUS body.
    std::string statusText = "ok";
    std::string lobbyName = "Players Lounge";
    std::string lobbyVersion = "2.1";
    uint32_t maxUsers = 500;
    uint32_t currentUsers = 42;
    // When set, the count of the status answer is asked for at every answer (on the server thread).
    std::function<uint32_t()> currentUsersNow;
    std::vector<ServerAddress> furtherServers;
    // user name (as typed, case kept) -> password; a login of any other name fails.
    std::map<std::string, std::string> accounts;
    // Non-empty: an unknown name logs in with this password and becomes an account.
    std::string newcomerPassword;
    SessionHook sessionHook;

    bool sendHello = true;          // false: accept and never say a word
    bool stallAfterHello = false;   // answer nothing after HELLO
    bool answerStatus = true;       // answer SERVER_STATUS_REQ (after HELLO_REPLY)
    bool sendChallenge = true;      // send LOGIN_CHALLENGE after HELLO_REPLY
    bool closeAfterNoLogin = true;  // the lobby poll's query ends when the server closes
    bool closeOnLogout = true;      // LOGOUT_REQ ends the connection
    bool echo = false;              // send every message with id 1000 and up straight back
    // The table relay: every TABLE_EVENT is sent to every logged-in connection, the sender included,
    // under one sequence number for all; after a SHOT, shotResult (when set) gives the events of the
    // stroke's outcome (a GAME_STATUS), relayed the same way.
    bool tableRelay = false;
    std::function<std::vector<TableEvent>(const TableEvent& shot)> shotResult;
    bool splitWrites = false;       // write every byte on its own
    int splitDelayMicros = 300;     // pause between two single-byte writes
};

class TestServer {
public:
    struct Received {
        int connection;    // 0 for the first accepted connection, then 1, 2, ...
        int keyStage;      // 0 first key, 1 after HELLO, 2 after LOGIN_OK: the key it arrived under
        Message message;
    };

    explicit TestServer(TestServerConfig config = {});
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // Listens on 127.0.0.1 (port 0: an ephemeral one) and starts the server thread.
    bool start(uint16_t port = 0);
    // Closes every connection and the listening socket and joins the thread.
    void stop();
    uint16_t port() const { return port_; }

    TestServerConfig config() const;
    void setConfig(const TestServerConfig& config);

    // Everything received, in arrival order.
    std::vector<Received> received() const;
    std::vector<Message> receivedWithId(MessageId id) const;
    size_t countReceived(MessageId id) const;
    // Messages that did not parse (the connection was closed after each).
    int invalidCount() const;
    int acceptedCount() const;
    int openCount() const;
    bool isOpen(int connection) const;

    // Polls the condition until it holds or the time is up; true when it held. timeoutMs is what a
    // quiet machine needs at most: the ceiling is four times that, for a loaded, shared one.
    bool waitUntil(const std::function<bool()>& condition, int timeoutMs) const;
    bool waitForMessages(MessageId id, size_t count, int timeoutMs) const;
    bool waitForAccepted(int count, int timeoutMs) const;
    bool waitForClosed(int connection, int timeoutMs) const;

    // Hooks. Each enciphers under the connection's current sending key; false when the connection
    // is not open.
    bool sendMessage(int connection, Message message);
    // Several messages in one write.
    bool sendMessages(int connection, std::vector<Message> messages);
    // Already serialised bytes (a multiple of 16 is enciphered; a trailing part goes out as it is).
    bool sendPlainBytes(int connection, std::vector<uint8_t> bytes);
    // The first byteCount bytes of the enciphered message, then the connection is closed.
    bool sendPartialThenClose(int connection, Message message, size_t byteCount);
    void closeConnection(int connection);
    // One message to every logged-in connection under one sequence number (returned): what a table
    // tells all its clients.
    uint32_t sendToAll(Message message);

private:
    struct Peer;

    void run();
    void acceptPeer();
    void readPeer(Peer& peer);
    void handle(Peer& peer, Message& message);
    void sendStatusLocked(Peer& peer);
    void loginLocked(Peer& peer, const Message& request);
    // What the server does with a message it has no answer of its own for.
    void otherMessageLocked(Peer& peer, const Message& message);
    void closePeerLocked(Peer& peer);
    void runHookLocked(Peer& peer, const Message& message);
    // Sends the delayed messages that are due; the milliseconds until the next one, -1 none.
    int sendDueLocked();
    bool writeLocked(Peer& peer, std::vector<uint8_t> plain, size_t limit = SIZE_MAX);
    bool sendLocked(Peer& peer, Message& message);
    Peer* findLocked(int connection);
    void wake();
    void notifyChange();
    uint32_t sendToAllLocked(Message& message);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    TestServerConfig config_;
    std::vector<std::unique_ptr<Peer>> peers_;
    std::vector<Received> received_;
    int invalid_ = 0;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    uint16_t port_ = 0;
    struct Delayed {
        std::chrono::steady_clock::time_point due;
        int connection;
        Message message;
    };
    std::vector<Delayed> delayed_;  // in the order the hook gave them
    // Sequence numbers of what goes to every client alike, above those of single answers.
    uint32_t sharedIid_ = 100000;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
