#include "net/connection_handler.h"

#include "core/log.h"
#include "net/handshake.h"
#include "net/lobby_servers.h"

#include <chrono>
#include <utility>

ConnectionHandler* connectionHandler = nullptr;

namespace {

// The connection whose receive step runs on this thread, and its login: the outcomes it reports
// name that login, not whichever one the handler holds by the time they are applied.
thread_local const Connection* readingConnection = nullptr;
thread_local uint64_t readingSerial = 0;

}  // namespace

ConnectionHandler::ConnectionUse::ConnectionUse(ConnectionHandler& handler, bool onlyWhileConnected) : handler(handler) {
    std::lock_guard<std::mutex> lock(handler.connectionMutex);
    if (!handler.connection) return;
    // A closed connection has nothing to read or send; using it would only spin.
    if (onlyWhileConnected && (!handler.connected || handler.connection->isClosed())) return;
    connection = handler.connection;
    serial_ = handler.connectionSerial;
    ++handler.connectionUsers;
}

ConnectionHandler::ConnectionUse::~ConnectionUse() {
    if (!connection) return;
    connection.reset();
    std::lock_guard<std::mutex> lock(handler.connectionMutex);
    --handler.connectionUsers;
    handler.connectionCond.notify_all();
}

ConnectionHandler::ConnectionHandler() = default;

ConnectionHandler::~ConnectionHandler() {
    stopThreads();
}

void ConnectionHandler::startThreads() {
    std::lock_guard<std::mutex> lock(threadsMutex);
    if (!sender.joinable()) sender = std::thread(&ConnectionHandler::senderThread, this);
    if (!receiver.joinable()) receiver = std::thread(&ConnectionHandler::receiverThread, this);
}

void ConnectionHandler::stopThreads() {
    running = false;
    {
        std::lock_guard<std::mutex> lock(outMutex);
        outCond.notify_all();
    }
    {
        std::lock_guard<std::mutex> lock(connectionMutex);
        connectionCond.notify_all();
    }
    abandonConnect(1);
    // A receive step blocked on the socket returns at once once the socket is shut down.
    if (std::shared_ptr<Connection> current = currentConnection()) {
        if (!current->isClosed()) current->close();
    }
    {
        std::lock_guard<std::mutex> lock(threadsMutex);
        if (sender.joinable()) sender.join();
        if (receiver.joinable()) receiver.join();
        if (connector.joinable()) connector.join();
    }
    withdrawConnection().reset();
}

bool ConnectionHandler::connectToServer(const std::string& serverName, const std::string& userName,
                                        const std::string& password, bool rememberMe) {
    this->serverName = serverName;
    this->userName = userName;
    this->password = password;
    this->rememberMe = rememberMe;

    std::string address;
    uint32_t port = 0;
    if (!lookupServer(address, port)) return false;
    const uint64_t serial = ++loginSerial;
    // Read before the old connection's report: a re-login of a lobby change keeps the state.
    const bool enterConnectingState = !lobbyChangePending;

    // The old connection goes first, still connecting or not, and its report is queued ahead of
    // the connecting state, so that the end of a refused login cannot send the new one back to the
    // login form.
    abandonConnect(1);
    withdrawConnection().reset();
    if (enterConnectingState) queueStep(LoginStep::Connecting);

    auto fresh = std::make_shared<Connection>(address, static_cast<int32_t>(port), userName, password, this);
    fresh->setKey(STREAM_PASS_PHRASE);
    connected = true;
    {
        std::lock_guard<std::mutex> lock(connectMutex);
        connecting = fresh;
    }
    // The lookup and the connect may take seconds, which the window must not wait for. The thread
    // of the login before, given up above, ends within moments; the new one joins it, so that one
    // handle is all that stopThreads has to join.
    std::lock_guard<std::mutex> lock(threadsMutex);
    std::thread previous = std::move(connector);
    connector = std::thread([this, fresh = std::move(fresh), serial, previous = std::move(previous)]() mutable {
        if (previous.joinable()) previous.join();
        connectLogin(std::move(fresh), serial);
    });
    return true;
}

void ConnectionHandler::connectLogin(std::shared_ptr<Connection> fresh, uint64_t serial) {
    fresh->connect(false, netTimings().loginConnectMs);
    std::lock_guard<std::mutex> lock(connectMutex);
    // Given up meanwhile: whoever gave it up has reported its end and silenced it.
    if (connecting != fresh) return;
    connecting.reset();
    // The status request must go out under the first key. Sent here, before the receiver thread
    // can see the connection, no HELLO can have changed the key yet. A failed connect is published
    // all the same, closed, so that its destruction reports like any other connection's.
    fresh->send(Message(MessageId::SERVER_STATUS_REQ, 0));
    publishConnection(std::move(fresh), serial);
}

bool ConnectionHandler::abandonConnect(int closes) {
    std::shared_ptr<Connection> given;
    {
        std::lock_guard<std::mutex> lock(connectMutex);
        given = std::move(connecting);
        connecting.reset();
    }
    if (!given) return false;
    // Each close reports, as the closes of a connection that had been made would; the connect
    // thread, woken by the first, lets it go without a word.
    for (int i = 0; i < closes; ++i) given->close();
    given->silence();
    return true;
}

void ConnectionHandler::disconnect() {
    // A connect under way ends as a made connection does here: closed, then destroyed.
    if (abandonConnect(2)) return;
    std::shared_ptr<Connection> current = currentConnection();
    if (!current) return;
    current->close();
    // Destruction closes once more and reports the second disconnected.
    withdrawConnection().reset();
}

void ConnectionHandler::publishConnection(std::shared_ptr<Connection> fresh, uint64_t serial) {
    std::lock_guard<std::mutex> lock(connectionMutex);
    connection = std::move(fresh);
    connectionSerial = serial;
    connectionCond.notify_all();
}

std::shared_ptr<Connection> ConnectionHandler::withdrawConnection() {
    std::unique_lock<std::mutex> lock(connectionMutex);
    std::shared_ptr<Connection> old = std::move(connection);
    connection.reset();
    connectionCond.wait(lock, [this] { return connectionUsers == 0; });
    return old;
}

bool ConnectionHandler::hasConnection() const {
    std::lock_guard<std::mutex> lock(connectionMutex);
    return connection != nullptr;
}

std::shared_ptr<Connection> ConnectionHandler::currentConnection() const {
    std::lock_guard<std::mutex> lock(connectionMutex);
    return connection;
}

void ConnectionHandler::clearOutgoing() {
    std::lock_guard<std::mutex> lock(outMutex);
    outgoing.clear();
}

void ConnectionHandler::sendMessage(const Message& message) {
    {
        std::lock_guard<std::mutex> lock(outMutex);
        outgoing.push_back(message);
    }
    outCond.notify_one();
}

size_t ConnectionHandler::outgoingCount() const {
    std::lock_guard<std::mutex> lock(outMutex);
    return outgoing.size();
}

size_t ConnectionHandler::incomingCount() const {
    std::lock_guard<std::mutex> lock(inMutex);
    return incoming.size();
}

size_t ConnectionHandler::incomingBytes() const {
    std::lock_guard<std::mutex> lock(inMutex);
    return incomingBytesHeld;
}

bool ConnectionHandler::lookupServer(std::string& address, uint32_t& port) const {
    std::lock_guard<std::mutex> lock(lobbyServersMutex);
    for (const LobbyServer& server : lobbyServers) {
        if (server.online && server.name == serverName) {
            address = server.address;
            port = server.port;
            return true;
        }
    }
    return false;
}

bool ConnectionHandler::takeIncoming(Message& message, LoginStepHandler* steps) {
    for (;;) {
        IncomingItem item;
        {
            std::lock_guard<std::mutex> lock(inMutex);
            if (incoming.empty()) return false;
            item = std::move(incoming.front());
            incoming.pop_front();
            incomingBytesHeld -= item.bytes;
            if (incomingBytesHeld < incomingByteLimit) incomingDrained.notify_all();
        }
        if (item.step == LoginStep::None) {
            message = std::move(item.message);
            return true;
        }
        // Applied with no lock held: a step sends requests and may start a new login.
        applyStep(item, steps);
    }
}

void ConnectionHandler::queueStep(LoginStep step, uint64_t serial, std::string user) {
    std::lock_guard<std::mutex> lock(inMutex);
    incoming.push_back(IncomingItem{step, Message(), serial, std::move(user)});
}

void ConnectionHandler::applyStep(const IncomingItem& item, LoginStepHandler* steps) {
    if (steps == nullptr) {
        BZ_LOG(LOG_DEBUG, "takeIncoming", "No handler for login step " << static_cast<int>(item.step));
        return;
    }
    // A newer login has started since this outcome was reported.
    const bool current = item.serial == loginSerial;
    switch (item.step) {
        case LoginStep::Connecting:
            steps->loginConnecting(*this);
            break;
        case LoginStep::Succeeded:
            if (current) {
                steps->loginCompleted(*this);
            } else {
                BZ_LOG(LOG_INFO, "loginSuccess", "Ignored: the login has been replaced");
            }
            break;
        case LoginStep::Failed:
            steps->loginRefused(*this, item.userName.empty() ? userName : item.userName, current);
            break;
        case LoginStep::Disconnected:
            // Whichever connection ended: the end of a replaced one is what clears a lobby
            // change's flag when its re-login has already started.
            steps->connectionEnded(*this);
            break;
        case LoginStep::TimedOut:
            if (current) steps->loginTimedOut(*this);
            break;
        case LoginStep::None:
            break;
    }
}

void ConnectionHandler::senderThread() {
    while (running) {
        {
            ConnectionUse current(*this, true);
            if (current) {
                current->fillSendBuffer();
                current->flush();
            }
        }
        std::unique_lock<std::mutex> lock(outMutex);
        if (running && outgoing.empty()) {
            outCond.wait_for(lock, std::chrono::milliseconds(netTimings().senderWaitMs.load()),
                             [this] { return !running || !outgoing.empty(); });
        }
        if (outgoing.empty()) continue;
        // Handed over whether or not a login is running; without a connection they are discarded.
        ConnectionUse current(*this, false);
        while (!outgoing.empty()) {
            if (current) current->queueMessage(outgoing.front());
            outgoing.pop_front();
        }
    }
}

bool ConnectionHandler::roomForIncoming() {
    std::unique_lock<std::mutex> lock(inMutex);
    auto room = [this] { return incomingBytesHeld < incomingByteLimit; };
    if (!room() && !incomingPaused) {
        incomingPaused = true;
        BZ_LOG(LOG_ERROR, "receiver",
               "Incoming queue full (" << incomingBytesHeld << " bytes): reading paused until it is drained");
    }
    incomingDrained.wait_for(lock, std::chrono::milliseconds(netTimings().receiverIdleMs.load()),
                             [&] { return !running || room(); });
    if (!room()) return false;
    incomingPaused = false;
    return true;
}

void ConnectionHandler::receiverThread() {
    while (running) {
        if (!roomForIncoming()) continue;
        {
            ConnectionUse current(*this, true);
            if (current) {
                readingConnection = current.get();
                readingSerial = current.serial();
                current->processReceivedMessages();
                readingConnection = nullptr;
                readingSerial = 0;
                continue;
            }
        }
        // No login connection to read (none yet, still connecting, or ended): wait for one
        // instead of spinning.
        std::unique_lock<std::mutex> lock(connectionMutex);
        connectionCond.wait_for(lock, std::chrono::milliseconds(netTimings().receiverIdleMs.load()), [this] {
            return !running || (connected && connection && !connection->isClosed());
        });
    }
}

void ConnectionHandler::messageReceived(const Message& message) {
    const size_t bytes = message.footprint();
    std::lock_guard<std::mutex> lock(inMutex);
    incoming.push_back(IncomingItem{LoginStep::None, message, 0, {}, bytes});
    incomingBytesHeld += bytes;
    lastIncomingIid = message.iid;
}

void ConnectionHandler::serverInfo(std::string, std::string, std::string, uint32_t, uint32_t,
                                   const std::vector<ServerAddress>&) {}

void ConnectionHandler::loginSuccess() {
    queueStep(LoginStep::Succeeded, readingConnection ? readingSerial : loginSerial.load());
}

void ConnectionHandler::loginFailed() {
    // The receiver thread stops reading the refused connection at once; it stays open but unread
    // until the next login or a disconnect destroys it.
    connected = false;
    if (readingConnection != nullptr) {
        queueStep(LoginStep::Failed, readingSerial, readingConnection->userName);
    } else {
        queueStep(LoginStep::Failed, loginSerial.load());
    }
}

void ConnectionHandler::disconnected() {
    connected = false;
    logoutPending = false;
    queueStep(LoginStep::Disconnected);
    // After the end, so that the login form's notice is the last thing the player sees.
    if (readingConnection != nullptr && readingConnection->handshakeTimedOut()) {
        queueStep(LoginStep::TimedOut, readingSerial);
    }
}
