// One TCP connection to a game or lobby server: the socket, the enciphered message stream in both
// directions with its fixed buffers, and the client's side of the login exchange.
#pragma once

#include "core/cipher.h"
#include "net/message.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

// The waits of the connection code. The defaults are the product's; tests shorten them. Set them
// before the threads that read them start.
struct NetTimings {
    std::atomic<int> loginConnectMs{5000};     // the login's TCP connect
    std::atomic<int> receiveTimeoutMs{1000};   // one receive on the login connection
    std::atomic<int> senderWaitMs{3000};       // the sender thread's wait for requests
    std::atomic<int> receiverIdleMs{1000};     // the receiver thread's wait while no login connection runs
    std::atomic<int> queryConnectMs{2000};     // a status query's TCP connect
    std::atomic<int> queryLimitMs{3000};       // a whole status query
    std::atomic<int> queryStepMs{100};         // the status query's wait for data between receive steps
    std::atomic<int> pollPeriodMs{5000};       // the pause between two lobby-poll passes
    std::atomic<int> handshakeMs{15000};       // the login connection's HELLO to login answer
    std::atomic<int> receiveSettleMs{50};      // a pause in the stream after which the bytes there are parsed

    void restoreDefaults();
};

NetTimings& netTimings();

struct sockaddr_in;
// The host-name lookup (getaddrinfo, IPv4, first address); tests put a slow one in its place.
// Returns the one it replaces; null restores the system's.
using HostLookup = bool (*)(const std::string& host, sockaddr_in& address);
HostLookup setHostLookup(HostLookup lookup);

// What a connection reports to its owner. The first four run on the thread of the receive step;
// disconnected runs on whichever thread closes the connection, once per close, and must not call
// back into the connection that reports.
class ConnectionListener {
public:
    virtual ~ConnectionListener() = default;
    virtual void loginSuccess() = 0;
    virtual void loginFailed() = 0;
    virtual void serverInfo(std::string statusText, std::string lobbyName, std::string lobbyVersion, uint32_t maxUsers,
                            uint32_t currentUsers, const std::vector<ServerAddress>& servers) = 0;
    virtual void messageReceived(const Message& message) = 0;
    virtual void disconnected() = 0;
};

inline constexpr int32_t CONNECTION_BUFFER_SIZE = 65536;

class Connection {
public:
    const std::string host;  // host name or dotted IPv4 address
    const int32_t port;      // its low 16 bits are used
    const std::string userName;
    const std::string password;

    // Closed until connect succeeds. The listener is not owned and must outlive the connection. The cipher starts from the empty key text; the owner keys it
    // with the stream pass phrase before connecting.
    Connection(std::string host, int32_t port, std::string userName, std::string password, ConnectionListener* listener);
    // Closes (reporting disconnected once more) and frees the socket. No thread may still be inside.
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Resolves the host (IPv4, first address) and connects, the two within timeoutMs. nonBlocking
    // keeps the socket non-blocking (status query); otherwise it becomes blocking with the receive
    // time-out of netTimings (login connection), and the server must answer the login within
    // netTimings' handshake time. Any failure closes the connection. A close from another thread
    // ends it within a few milliseconds, and that close is the only report.
    void connect(bool nonBlocking, int timeoutMs);
    // Marks the connection closed for ever, shuts the socket down so that a blocked receive or send
    // returns, and reports disconnected. The descriptor itself is released at destruction, when no
    // thread can be using it any more.
    void close();
    bool isClosed() const { return closed.load(); }
    // From now on its closes, its destruction's included, report nothing; a report under way on
    // another thread has ended when it returns. For a connection its owner has given up on.
    void silence();
    // The login connection was closed because the server did not finish the login in time.
    bool handshakeTimedOut() const { return timedOut.load(); }

    // Replaces the stream key for every block enciphered or deciphered from now on.
    void setKey(const std::string& keyText);

    // The send side; the operations are serialised by the send lock.
    void queueMessage(const Message& message);  // dropped when closed
    void fillSendBuffer();                      // serialises queued messages and enciphers them
    void flush();                               // sends the enciphered bytes
    void sendNow(const Message& message);       // queue, fill and flush at once
    void send(const Message& message);          // sendNow while open, nothing when closed

    // One receive step: one read from the socket, decipher, parse, act on every complete message.
    // One thread at a time; it never holds the send lock while it waits for data.
    void processReceivedMessages();

    // Waits up to timeoutMs for bytes to read or the end of the stream; false when nothing came.
    bool waitReadable(int timeoutMs) const;

    // Read-only views for tests and diagnostics.
    std::string sessionId() const { return sid; }
    // The salt and the challenge answer of the latest login, copied together under their lock: the
    // receive step rewrites them on every HELLO and LOGIN_CHALLENGE while other threads read them.
    struct LoginSecrets {
        std::string salt;
        std::string challengeResponse;
    };
    LoginSecrets loginSecrets() const;
    std::string sessionSalt() const { return loginSecrets().salt; }
    std::string loginChallengeResponse() const { return loginSecrets().challengeResponse; }
    int32_t pendingSendBytes() const;
    size_t queuedMessageCount() const;
    // How many times received bytes were handed to the message parser.
    uint64_t parsePasses() const { return parses.load(); }

private:
    // Refused: the stream ended after an invalid message, which has closed the connection.
    enum class ReceiveOutcome { Data, NothingYet, Ended, Refused };

    ReceiveOutcome receiveOnce();
    void decipherReceived();
    // false when an invalid message closed the connection. whenPaused: the stream has stopped for
    // now, so bytes that came since the last try are parsed whatever the header's length says.
    bool parseReceived(bool whenPaused);
    // The first message in the buffer has bytes that no parse has seen yet.
    bool untriedBytesWaiting() const { return retryAt > 0 && deciphered > triedAt; }
    bool refuseReceived();  // logs the invalid message, closes, and returns false
    void actOnParsed();
    void actOnHello(const Message& hello);
    void actOnChallenge(const Message& challenge);
    void actOnLoginOk();
    // Changes the key (when given) and sends the reply (when open) under one hold of the send lock.
    void replyUnderLock(const std::string* newKeyText, const Message* reply);

    void closeLocked();
    void fillLocked();
    void flushLocked();
    // Reports the closes that happened while the send lock was held, after it has been released.
    void reportCloses(int count);
    void reportDisconnected();

    ConnectionListener* listener;
    std::mutex reportMutex;
    bool silenced = false;  // guarded by reportMutex
    std::atomic<int> socketFd{-1};
    std::atomic<bool> closed{true};
    // Set by every close: unlike closed, it is false while the connect is under way.
    std::atomic<bool> ended{false};
    std::atomic<bool> timedOut{false};
    // Set by connect for a login connection, then owned by the thread of the receive step.
    bool awaitingLogin = false;
    std::chrono::steady_clock::time_point loginDeadline;

    // Owned by the thread of the receive step; salt and challengeResponse are written under
    // secretsMutex, which readers on other threads take.
    std::string sid;
    std::string salt;
    std::string challengeResponse;
    mutable std::mutex secretsMutex;
    uint8_t receiveBuffer[CONNECTION_BUFFER_SIZE];
    int32_t received = 0;
    int32_t deciphered = 0;
    // Of the first message in the buffer: how many of its bytes must be there before its parse is
    // tried again (0 before its header has been looked at), and how many there were at the last try.
    int32_t retryAt = 0;
    int32_t triedAt = 0;
    std::deque<Message> parsed;
    std::atomic<uint64_t> parses{0};

    // Guarded by sendMutex (the cipher's key changes too, because the send side enciphers with it).
    mutable std::mutex sendMutex;
    int closesInsideLock = 0;
    uint8_t sendBuffer[CONNECTION_BUFFER_SIZE];
    int32_t filled = 0;
    int32_t enciphered = 0;
    std::deque<Message> outgoing;
    Cipher cipher;
};
