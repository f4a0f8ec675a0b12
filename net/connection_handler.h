// The client's one link to the game server it is logged into: the login connection, a sender
// thread that moves requests from the outgoing queue into it, a receiver thread that runs its
// receive step, and the incoming queue that the main loop drains.
#pragma once

#include "net/connection.h"
#include "net/message.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// A step of a login's course that must run on the main thread, in order with the received
// messages: the application state, the game controller, the pages and the preferences file belong
// to the main thread, and a step applied ahead of the messages queued before it would act on a
// login that has already moved on.
enum class LoginStep : uint8_t {
    None,          // the entry is a received message
    Connecting,    // a login has started: the connecting state
    Succeeded,     // the server accepted the login
    Failed,        // the server refused it
    Disconnected,  // the connection was closed, for whatever reason
    TimedOut,      // the server did not answer the login in time (the connection's end follows)
};

class ConnectionHandler;

// The main thread's half of the login steps: what a login's course does to the application state,
// the game controller and the pages. The layer above the connection provides it and hands it to
// takeIncoming; the connection itself only queues the steps.
class LoginStepHandler {
public:
    virtual ~LoginStepHandler() = default;
    // A login has started.
    virtual void loginConnecting(ConnectionHandler& handler) = 0;
    // The server accepted the current login.
    virtual void loginCompleted(ConnectionHandler& handler) = 0;
    // The server refused the login of failedUser; current is false when a newer login has started.
    virtual void loginRefused(ConnectionHandler& handler, const std::string& failedUser, bool current) = 0;
    // A connection ended, for whatever reason (the end of a replaced one included).
    virtual void connectionEnded(ConnectionHandler& handler) = 0;
    // The current login's server did not answer in time; its connection has been closed.
    virtual void loginTimedOut(ConnectionHandler& handler) {}
};

class ConnectionHandler : public ConnectionListener {
public:
    // The current login, as the login form gave it. Written by connectToServer and read by the
    // login steps, both on the main thread.
    std::string serverName;
    std::string userName;
    std::string password;
    bool rememberMe = false;
    // The lobby to log into once the pending logout has completed; empty when no change is under way.
    // Main thread only.
    std::string nextServerName;
    std::atomic<bool> lobbyChangePending{false};
    // Set by the logout request; the main loop disconnects once logoutDeadline (seconds of the
    // game clock) has passed.
    std::atomic<bool> logoutPending{false};
    std::atomic<double> logoutDeadline{0.0};
    // A login connection is in use: the threads read and send only while it is set.
    std::atomic<bool> connected{false};
    // Every request of the run takes the next value; the first is 5001. Never reset.
    std::atomic<uint64_t> iidCounter{5000};
    // The iid of the newest message put on the incoming queue.
    std::atomic<uint32_t> lastIncomingIid{0};
    // The threads loop while it is set. The product never clears it; tests do, to join them.
    std::atomic<bool> running{true};
    // Counts the logins that reached a server (connectToServer past the lookup). A login outcome
    // applied after a newer login has started belongs to a replaced connection.
    std::atomic<uint64_t> loginSerial{0};
    // About how much memory the received messages on the incoming queue may take. While they take
    // more, the receiver thread reads nothing from the socket: the server's further bytes wait in
    // TCP, and nothing is dropped.
    std::atomic<size_t> incomingByteLimit{size_t(64) << 20};

    ConnectionHandler();
    // Stops and joins the threads and drops the connection (tests; the product never destroys it).
    ~ConnectionHandler() override;
    ConnectionHandler(const ConnectionHandler&) = delete;
    ConnectionHandler& operator=(const ConnectionHandler&) = delete;

    // Starts the sender and then the receiver thread, each only once.
    void startThreads();
    bool isConnected() const { return connected.load(); }

    // Starts a login: finds the server among the online lobby servers, destroys the previous
    // connection (its report queued first), queues the connecting state (unless a lobby change is
    // under way) and returns. A thread of its own then looks the host up and connects, with a
    // time-out, and sends the status request under the first key before either of the other
    // threads can see the connection; a failure is reported as disconnected. An unknown or offline
    // server name stops the login before anything changes but the four values, and returns false: the
    // caller tells the player. Main thread.
    bool connectToServer(const std::string& serverName, const std::string& userName, const std::string& password,
                         bool rememberMe);
    // Closes and destroys the connection, reporting disconnected twice; a connect still under way
    // ends the same way, at once. Main thread.
    void disconnect();
    // Discards every queued request.
    void clearOutgoing();
    // The one way to send a request: copies it onto the outgoing queue and wakes the sender thread.
    void sendMessage(const Message& message);
    // The next request sequence number; one atomic step, so no two requests share one.
    uint32_t nextIid() { return static_cast<uint32_t>(++iidCounter); }
    // The first online lobby server named serverName: its address and port.
    bool lookupServer(std::string& address, uint32_t& port) const;

    // Takes the oldest received message off the incoming queue; false when it is empty. The login
    // steps queued ahead of it are handed to steps on the way (dropped without one), on the calling
    // thread, which must be the main thread. The dispatch runs with no lock held, so it may queue
    // requests.
    bool takeIncoming(Message& message, LoginStepHandler* steps = nullptr);

    // Listener operations. They run on the reporting thread (loginSuccess and loginFailed on the
    // receiver thread, disconnected on the thread that closed the connection), change only the
    // flags the threads read, and queue the rest as a LoginStep for the main thread.
    void loginSuccess() override;
    void loginFailed() override;
    void serverInfo(std::string statusText, std::string lobbyName, std::string lobbyVersion, uint32_t maxUsers,
                    uint32_t currentUsers, const std::vector<ServerAddress>& servers) override;
    void messageReceived(const Message& message) override;
    void disconnected() override;

    // Clears running, ends a connect under way, wakes and joins the threads, then destroys the
    // connection. Tests call it (the destructor does too) so that no thread outlives them.
    void stopThreads();

    // Views for tests and diagnostics.
    bool hasConnection() const;
    std::shared_ptr<Connection> currentConnection() const;
    size_t outgoingCount() const;
    size_t incomingCount() const;
    size_t incomingBytes() const;

private:
    // A thread's hold on the current connection for one step; the connection is destroyed only
    // once no step holds it.
    class ConnectionUse {
    public:
        ConnectionUse(ConnectionHandler& handler, bool onlyWhileConnected);
        ~ConnectionUse();
        ConnectionUse(const ConnectionUse&) = delete;
        ConnectionUse& operator=(const ConnectionUse&) = delete;
        Connection* operator->() const { return connection.get(); }
        explicit operator bool() const { return connection != nullptr; }
        Connection* get() const { return connection.get(); }
        // The login that created the connection.
        uint64_t serial() const { return serial_; }

    private:
        ConnectionHandler& handler;
        std::shared_ptr<Connection> connection;
        uint64_t serial_ = 0;
    };

    struct IncomingItem {
        LoginStep step = LoginStep::None;
        Message message;
        // For an outcome: the login it belongs to, and the user that login named (when known).
        uint64_t serial = 0;
        std::string userName;
        size_t bytes = 0;  // the message's footprint
    };

    void senderThread();
    void receiverThread();
    // Waits a while for the main loop to make room on the incoming queue; false when it is still full.
    bool roomForIncoming();
    void queueStep(LoginStep step, uint64_t serial = 0, std::string userName = {});
    void applyStep(const IncomingItem& item, LoginStepHandler* steps);
    // The connect thread's body: the login's connection, once connected, becomes the current one,
    // unless the login has been given up meanwhile.
    void connectLogin(std::shared_ptr<Connection> fresh, uint64_t serial);
    // Ends the connect under way, if any, with closes reports, and lets its connection go without
    // a further word. False when none was under way.
    bool abandonConnect(int closes);
    void publishConnection(std::shared_ptr<Connection> connection, uint64_t serial);
    // Takes the connection out of the handler and waits until no thread step holds it.
    std::shared_ptr<Connection> withdrawConnection();

    mutable std::mutex outMutex;
    std::condition_variable outCond;
    std::deque<Message> outgoing;

    mutable std::mutex inMutex;
    std::deque<IncomingItem> incoming;
    std::condition_variable incomingDrained;
    size_t incomingBytesHeld = 0;
    bool incomingPaused = false;

    mutable std::mutex connectionMutex;
    std::condition_variable connectionCond;
    std::shared_ptr<Connection> connection;
    uint64_t connectionSerial = 0;
    int connectionUsers = 0;

    // The connection of the login whose connect is under way; its connect thread publishes it only
    // while it is still here.
    std::mutex connectMutex;
    std::shared_ptr<Connection> connecting;

    std::mutex threadsMutex;
    std::thread sender;
    std::thread receiver;
    std::thread connector;  // the newest login's connect thread
};

// Created once by main and kept for the whole run; every request sender reaches it here.
extern ConnectionHandler* connectionHandler;
