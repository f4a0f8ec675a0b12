#include "net/connection_handler.h"

#include "app/app_state.h"
#include "core/log.h"
#include "core/text.h"
#include "net/handshake.h"
#include "net/lobby_servers.h"
#include "ui/page_script.h"

#include <chrono>
#include <utility>

ConnectionHandler* connectionHandler = nullptr;

ConnectionHandler::ConnectionUse::ConnectionUse(ConnectionHandler& handler, bool onlyWhileConnected) : handler(handler) {
    std::lock_guard<std::mutex> lock(handler.connectionMutex);
    if (!handler.connection) return;
    // A closed connection has nothing to read or send; using it would only spin.
    if (onlyWhileConnected && (!handler.connected || handler.connection->isClosed())) return;
    connection = handler.connection;
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
    // A receive step blocked on the socket returns at once once the socket is shut down.
    if (std::shared_ptr<Connection> current = currentConnection()) {
        if (!current->isClosed()) current->close();
    }
    {
        std::lock_guard<std::mutex> lock(threadsMutex);
        if (sender.joinable()) sender.join();
        if (receiver.joinable()) receiver.join();
    }
    withdrawConnection().reset();
}

void ConnectionHandler::connectToServer(const std::string& serverName, const std::string& userName,
                                        const std::string& password, bool rememberMe) {
    this->serverName = serverName;
    this->userName = userName;
    this->password = password;
    this->rememberMe = rememberMe;

    std::string address;
    uint32_t port = 0;
    if (!lookupServer(address, port)) return;
    if (!lobbyChangePending) changeState(STATE_CONNECTING);

    // Destroying the old connection reports disconnected, after the state change above.
    withdrawConnection().reset();

    auto fresh = std::make_shared<Connection>(address, static_cast<int32_t>(port), userName, password, this);
    fresh->setKey(STREAM_PASS_PHRASE);
    connected = true;
    fresh->connect(false, netTimings().loginConnectMs);
    // The status request must go out under the first key. Sent here, before the receiver thread
    // can see the connection, no HELLO can have changed the key yet.
    fresh->send(Message(MessageId::SERVER_STATUS_REQ, 0));
    publishConnection(std::move(fresh));
}

void ConnectionHandler::disconnect() {
    std::shared_ptr<Connection> current = currentConnection();
    if (!current) return;
    current->close();
    // Destruction closes once more and reports the second disconnected.
    withdrawConnection().reset();
}

void ConnectionHandler::publishConnection(std::shared_ptr<Connection> fresh) {
    std::lock_guard<std::mutex> lock(connectionMutex);
    connection = std::move(fresh);
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

bool ConnectionHandler::takeIncoming(Message& message) {
    std::lock_guard<std::mutex> lock(inMutex);
    if (incoming.empty()) return false;
    message = std::move(incoming.front());
    incoming.pop_front();
    return true;
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

void ConnectionHandler::receiverThread() {
    while (running) {
        {
            ConnectionUse current(*this, true);
            if (current) {
                current->processReceivedMessages();
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
    std::lock_guard<std::mutex> lock(inMutex);
    incoming.push_back(message);
    lastIncomingIid = message.iid;
}

void ConnectionHandler::serverInfo(std::string, std::string, std::string, uint32_t, uint32_t,
                                   const std::vector<ServerAddress>&) {}

void ConnectionHandler::loginSuccess() {
    BZ_LOG(LOG_INFO, "loginSuccess", "Connected to server \"" << serverName << "\" as \"" << userName << "\"");
    changeState(STATE_LOBBY);
    runJavaScript(HtmlWindow::Lobby, "inbzInfoUserName({ userName: '" + userName + "'});");
    runJavaScript(HtmlWindow::BottomBox, "inbzInfoUserName({ userName: '" + userName + "'});");
    runJavaScript(HtmlWindow::Lobby,
                  "inbzSetStatus({flags:0});document.getElementById(\"main_chat_entries\").innerHTML = \"\"");
}

void ConnectionHandler::loginFailed() {
    BZ_LOG(LOG_ERROR, "loginFailed", "Login failed for: " << userName);
    // The connection stays open but unread until the next login or a disconnect destroys it.
    connected = false;
    runJavaScript(HtmlWindow::Login, "logout(); loginErrorNotice();");
    changeState(STATE_LOGIN);
    lobbyChangePending = false;
}

void ConnectionHandler::disconnected() {
    BZ_LOG(LOG_ERROR, "disconnected", "Disconnected from server.");
    connected = false;
    logoutPending = false;
    if (!nextServerName.empty()) {
        // The second half of a lobby change: the Login page logs in to the next lobby shortly.
        runJavaScript(HtmlWindow::Login,
                      "setTimeout(    function() {        window.cefQuery({request: JSON.stringify({"
                      "            requestName: 'loginEnterLobby',            servername: '" +
                          escapeJsString(nextServerName) + "',            username: '" + escapeJsString(userName) +
                          "',            password: '" + escapeJsString(password) + "',            rememberme: " +
                          (rememberMe ? "true" : "false") +
                          "            }),            persistent: false,"
                          "            onSuccess: function (response) {},"
                          "            onFailure: function (error_code, error_message) {}        });}, 100);");
        nextServerName.clear();
        return;
    }
    if (lobbyChangePending) {
        lobbyChangePending = false;
        return;
    }
    changeState(STATE_LOGIN);
}
