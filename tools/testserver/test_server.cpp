#include "tools/testserver/test_server.h"

#include "net/connection.h"
#include "net/handshake.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int32_t kHeaderSize = 12;  // version u16, length u32, id u16, iid u32

}  // namespace

struct TestServer::Peer {
    int index = 0;
    int fd = -1;
    bool open = true;
    Cipher rx{STREAM_PASS_PHRASE};
    Cipher tx{STREAM_PASS_PHRASE};
    int rxStage = 0;
    std::vector<uint8_t> in;
    size_t deciphered = 0;
    size_t announced = 0;  // the length of the message being read, from its header; 0 before it
    bool helloSent = false;
    bool helloReplied = false;
    bool statusRequested = false;
    std::string salt;
    std::string user;  // set once logged in
    uint32_t nextIid = 100;
};

TestServer::TestServer(TestServerConfig config) : config_(std::move(config)) {}

TestServer::~TestServer() {
    stop();
}

bool TestServer::start(uint16_t port) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return false;
    int yes = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof(address);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(wakeFds_, O_CLOEXEC | O_NONBLOCK) != 0) {
        stop();
        return false;
    }
    port_ = ntohs(address.sin_port);
    stopping_ = false;
    thread_ = std::thread(&TestServer::run, this);
    return true;
}

void TestServer::stop() {
    stopping_ = true;
    {
        // A write blocked on a peer that does not read returns once its socket is shut down.
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& peer : peers_) {
            if (peer->fd >= 0) ::shutdown(peer->fd, SHUT_RDWR);
        }
    }
    wake();
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& peer : peers_) {
        if (peer->fd >= 0) ::close(peer->fd);
        peer->fd = -1;
        peer->open = false;
    }
    auto release = [](int& fd) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    };
    release(listenFd_);
    release(wakeFds_[0]);
    release(wakeFds_[1]);
    changed_.notify_all();
}

TestServerConfig TestServer::config() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return config_;
}

void TestServer::setConfig(const TestServerConfig& config) {
    std::lock_guard<std::mutex> lock(mutex_);
    config_ = config;
}

std::vector<TestServer::Received> TestServer::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

std::vector<Message> TestServer::receivedWithId(MessageId id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Message> found;
    for (const Received& record : received_) {
        if (record.message.id == id) found.push_back(record.message);
    }
    return found;
}

size_t TestServer::countReceived(MessageId id) const {
    return receivedWithId(id).size();
}

int TestServer::invalidCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return invalid_;
}

int TestServer::acceptedCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(peers_.size());
}

int TestServer::openCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    int count = 0;
    for (const auto& peer : peers_) count += peer->open ? 1 : 0;
    return count;
}

bool TestServer::isOpen(int connection) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connection >= 0 && connection < static_cast<int>(peers_.size()) && peers_[connection]->open;
}

bool TestServer::waitUntil(const std::function<bool()>& condition, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + 4 * std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(5));
    }
}

bool TestServer::waitForMessages(MessageId id, size_t count, int timeoutMs) const {
    return waitUntil([&] { return countReceived(id) >= count; }, timeoutMs);
}

bool TestServer::waitForAccepted(int count, int timeoutMs) const {
    return waitUntil([&] { return acceptedCount() >= count; }, timeoutMs);
}

bool TestServer::waitForClosed(int connection, int timeoutMs) const {
    return waitUntil([&] { return connection < acceptedCount() && !isOpen(connection); }, timeoutMs);
}

bool TestServer::sendMessage(int connection, Message message) {
    std::lock_guard<std::mutex> lock(mutex_);
    Peer* peer = findLocked(connection);
    return peer != nullptr && sendLocked(*peer, message);
}

bool TestServer::sendMessages(int connection, std::vector<Message> messages) {
    std::lock_guard<std::mutex> lock(mutex_);
    Peer* peer = findLocked(connection);
    if (peer == nullptr) return false;
    std::vector<uint8_t> bytes;
    for (Message& message : messages) {
        const Buffer& serialised = message.getBuffer(MESSAGE_BLOCK_SIZE);
        bytes.insert(bytes.end(), serialised.writeData, serialised.writeData + serialised.writeLength);
    }
    return writeLocked(*peer, std::move(bytes));
}

bool TestServer::sendPlainBytes(int connection, std::vector<uint8_t> bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    Peer* peer = findLocked(connection);
    return peer != nullptr && writeLocked(*peer, std::move(bytes));
}

bool TestServer::sendPartialThenClose(int connection, Message message, size_t byteCount) {
    std::lock_guard<std::mutex> lock(mutex_);
    Peer* peer = findLocked(connection);
    if (peer == nullptr) return false;
    const Buffer& serialised = message.getBuffer(MESSAGE_BLOCK_SIZE);
    std::vector<uint8_t> bytes(serialised.writeData, serialised.writeData + serialised.writeLength);
    bool written = writeLocked(*peer, std::move(bytes), byteCount);
    closePeerLocked(*peer);
    return written;
}

void TestServer::closeConnection(int connection) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Peer* peer = findLocked(connection)) closePeerLocked(*peer);
}

TestServer::Peer* TestServer::findLocked(int connection) {
    if (connection < 0 || connection >= static_cast<int>(peers_.size())) return nullptr;
    Peer* peer = peers_[connection].get();
    return peer->open ? peer : nullptr;
}

void TestServer::wake() {
    if (wakeFds_[1] >= 0) {
        char byte = 1;
        [[maybe_unused]] ssize_t ignored = ::write(wakeFds_[1], &byte, 1);
    }
}

void TestServer::notifyChange() {
    changed_.notify_all();
}

void TestServer::closePeerLocked(Peer& peer) {
    if (!peer.open) return;
    peer.open = false;
    if (!peer.user.empty()) runHookLocked(peer, Message(MessageId::LOGOUT_REQ));
    // The descriptor is released by the server thread, which may be polling it right now.
    ::shutdown(peer.fd, SHUT_RDWR);
    wake();
    notifyChange();
}

void TestServer::runHookLocked(Peer& peer, const Message& message) {
    if (!config_.sessionHook) return;
    for (OutgoingMessage& out : config_.sessionHook(peer.index, peer.user, message)) {
        if (out.delayMs > 0) {
            delayed_.push_back({std::chrono::steady_clock::now() + std::chrono::milliseconds(out.delayMs), out.connection,
                                std::move(out.message)});
        } else if (Peer* target = findLocked(out.connection)) {
            sendLocked(*target, out.message);
        }
    }
}

int TestServer::sendDueLocked() {
    const auto now = std::chrono::steady_clock::now();
    auto next = std::chrono::steady_clock::time_point::max();
    std::vector<Delayed> waiting;
    for (Delayed& d : delayed_) {
        if (d.due > now) {
            next = std::min(next, d.due);
            waiting.push_back(std::move(d));
        } else if (Peer* target = findLocked(d.connection)) {
            sendLocked(*target, d.message);
        }
    }
    delayed_ = std::move(waiting);
    if (delayed_.empty()) return -1;
    // Rounded up, so that the wait never wakes just before the message is due.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(next - now).count());
}

bool TestServer::writeLocked(Peer& peer, std::vector<uint8_t> plain, size_t limit) {
    if (!peer.open) return false;
    for (size_t at = 0; at + MESSAGE_BLOCK_SIZE <= plain.size(); at += MESSAGE_BLOCK_SIZE) {
        peer.tx.encryptBlock(plain.data() + at);
    }
    const size_t total = std::min(limit, plain.size());
    const size_t piece = config_.splitWrites ? 1 : total;
    for (size_t at = 0; at < total;) {
        ssize_t sent = ::send(peer.fd, plain.data() + at, std::min(piece, total - at), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        at += static_cast<size_t>(sent);
        if (config_.splitWrites && at < total) std::this_thread::sleep_for(std::chrono::microseconds(config_.splitDelayMicros));
    }
    return true;
}

bool TestServer::sendLocked(Peer& peer, Message& message) {
    const Buffer& serialised = message.getBuffer(MESSAGE_BLOCK_SIZE);
    return writeLocked(peer, std::vector<uint8_t>(serialised.writeData, serialised.writeData + serialised.writeLength));
}

void TestServer::run() {
    std::vector<pollfd> waiting;
    std::vector<int> owners;  // peer index per entry, -1 for the wake pipe and the listening socket
    while (!stopping_) {
        waiting.clear();
        owners.clear();
        waiting.push_back({wakeFds_[0], POLLIN, 0});
        owners.push_back(-1);
        waiting.push_back({listenFd_, POLLIN, 0});
        owners.push_back(-1);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (auto& peer : peers_) {
                if (!peer->open && peer->fd >= 0) {
                    ::close(peer->fd);
                    peer->fd = -1;
                }
                if (peer->open) {
                    waiting.push_back({peer->fd, POLLIN, 0});
                    owners.push_back(peer->index);
                }
            }
        }
        int timeoutMs = -1;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            timeoutMs = sendDueLocked();
        }
        if (::poll(waiting.data(), waiting.size(), timeoutMs) < 0 && errno != EINTR) break;
        if (waiting[0].revents != 0) {
            char drain[64];
            while (::read(wakeFds_[0], drain, sizeof(drain)) > 0) {
            }
        }
        if (stopping_) break;
        if (waiting[1].revents & POLLIN) acceptPeer();
        for (size_t i = 2; i < waiting.size(); ++i) {
            if (waiting[i].revents == 0) continue;
            std::lock_guard<std::mutex> lock(mutex_);
            Peer& peer = *peers_[owners[i]];
            if (peer.open) readPeer(peer);
        }
    }
}

void TestServer::acceptPeer() {
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof(yes));
    // A client that stops reading must not hold a write (and with it the server) for ever.
    timeval sendTimeout{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof(sendTimeout));
    std::lock_guard<std::mutex> lock(mutex_);
    auto peer = std::make_unique<Peer>();
    peer->index = static_cast<int>(peers_.size());
    peer->fd = fd;
    peer->salt = config_.salt;
    Peer& added = *peer;
    peers_.push_back(std::move(peer));
    if (config_.sendHello) {
        Message hello(MessageId::HELLO, added.nextIid++);
        hello.sid = config_.sid;
        hello.salt = added.salt;
        sendLocked(added, hello);
        added.tx.setKey(helloKeyText(added.salt));
        added.helloSent = true;
    }
    notifyChange();
}

void TestServer::readPeer(Peer& peer) {
    uint8_t chunk[16384];
    ssize_t n = ::recv(peer.fd, chunk, sizeof(chunk), MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n <= 0) {
        closePeerLocked(peer);
        return;
    }
    peer.in.insert(peer.in.end(), chunk, chunk + n);
    // Blocks are deciphered one at a time, because the client changes its key between two
    // messages: the blocks after a key-changing message need the next key. The header's length says
    // where a message ends, so its body is deciphered and parsed once, when all of it is there.
    while (peer.open) {
        if (peer.announced == 0) {
            if (peer.deciphered == 0) {
                if (peer.in.size() < size_t(MESSAGE_BLOCK_SIZE)) return;
                peer.rx.decryptBlock(peer.in.data());
                peer.deciphered = MESSAGE_BLOCK_SIZE;
            }
            Buffer header(peer.in.data(), kHeaderSize, MESSAGE_BLOCK_SIZE);
            const uint8_t* at = peer.in.data();
            const uint32_t length = (uint32_t(at[2]) << 24) | (uint32_t(at[3]) << 16) | (uint32_t(at[4]) << 8) | uint32_t(at[5]);
            // No client sends more than its peer can take in: a longer message is a hostile one.
            if (Message(header).invalid || length < uint32_t(MESSAGE_BLOCK_SIZE) || length % MESSAGE_BLOCK_SIZE != 0 ||
                length > uint32_t(CONNECTION_BUFFER_SIZE)) {
                ++invalid_;
                closePeerLocked(peer);
                return;
            }
            peer.announced = length;
        }
        while (peer.deciphered < peer.announced && peer.deciphered + MESSAGE_BLOCK_SIZE <= peer.in.size()) {
            peer.rx.decryptBlock(peer.in.data() + peer.deciphered);
            peer.deciphered += MESSAGE_BLOCK_SIZE;
        }
        if (peer.deciphered < peer.announced) return;
        Buffer reader(peer.in.data(), static_cast<int32_t>(peer.announced), MESSAGE_BLOCK_SIZE);
        Message message(reader);
        if (message.invalid || message.id == MessageId{} || size_t(message.consumed) != peer.announced) {
            ++invalid_;
            closePeerLocked(peer);
            return;
        }
        peer.in.erase(peer.in.begin(), peer.in.begin() + std::ptrdiff_t(peer.announced));
        peer.deciphered = 0;
        peer.announced = 0;
        handle(peer, message);
    }
}

uint32_t TestServer::sendToAll(Message message) {
    std::lock_guard<std::mutex> lock(mutex_);
    return sendToAllLocked(message);
}

uint32_t TestServer::sendToAllLocked(Message& message) {
    const uint32_t iid = ++sharedIid_;
    for (auto& peer : peers_) {
        if (!peer->open || peer->rxStage != 2) continue;
        Message copy(message);
        copy.iid = iid;
        copy.serialize(MESSAGE_BLOCK_SIZE);  // a copy may carry the bytes of its original
        sendLocked(*peer, copy);
    }
    return iid;
}

void TestServer::sendStatusLocked(Peer& peer) {
    Message status(MessageId::SERVER_STATUS, peer.nextIid++);
    status.statusText = config_.statusText;
    status.lobbyName = config_.lobbyName;
    status.lobbyVersion = config_.lobbyVersion;
    status.maxUsers = config_.maxUsers;
    status.currentUsers = config_.currentUsersNow ? config_.currentUsersNow() : config_.currentUsers;
    status.servers = config_.furtherServers;
    sendLocked(peer, status);
}

// Checks the login against the accounts (a newcomer gets one when newcomers are let in) and, when
// it passes, switches both directions to the login's key.
void TestServer::loginLocked(Peer& peer, const Message& request) {
    const std::string user = request.nick.empty() ? "" : request.nick.substr(1);
    auto account = config_.accounts.find(user);
    const bool newcomer = account == config_.accounts.end() && !config_.newcomerPassword.empty() && !user.empty();
    std::string response;
    bool accepted = false;
    if (account != config_.accounts.end() || newcomer) {
        response = challengeResponseFor(config_.challenge, newcomer ? config_.newcomerPassword : account->second);
        accepted = request.pwd == passwordDigest(peer.salt, user, response);
    }
    if (accepted && newcomer) config_.accounts[user] = config_.newcomerPassword;
    Message outcome(accepted ? MessageId::LOGIN_OK : MessageId::LOGIN_FAILED, peer.nextIid++);
    sendLocked(peer, outcome);
    if (!accepted) return;
    const std::string keyText = loginKeyText(peer.salt, user, response);
    peer.tx.setKey(keyText);
    peer.rx.setKey(keyText);
    peer.rxStage = 2;
    peer.user = user;
    runHookLocked(peer, Message(MessageId::LOGIN_OK));
}

void TestServer::otherMessageLocked(Peer& peer, const Message& message) {
    if (peer.rxStage == 2) runHookLocked(peer, message);
    if (config_.echo && static_cast<uint16_t>(message.id) >= 1000) {
        Message echo(message);
        sendLocked(peer, echo);
    }
}

void TestServer::handle(Peer& peer, Message& message) {
    received_.push_back({peer.index, peer.rxStage, message});
    notifyChange();
    // The client sends exactly one message, the status request, under the first key.
    if (peer.rxStage == 0 && peer.helloSent) {
        peer.rx.setKey(helloKeyText(peer.salt));
        peer.rxStage = 1;
    }
    const bool answering = !config_.stallAfterHello;
    switch (message.id) {
        case MessageId::SERVER_STATUS_REQ:
            peer.statusRequested = true;
            // Nothing may follow HELLO before its reply: the client deciphers on arrival.
            if (answering && peer.helloReplied && config_.answerStatus) sendStatusLocked(peer);
            break;
        case MessageId::HELLO_REPLY:
            peer.helloReplied = true;
            if (!answering) break;
            if (peer.statusRequested && config_.answerStatus) sendStatusLocked(peer);
            if (config_.sendChallenge) {
                Message challenge(MessageId::LOGIN_CHALLENGE, peer.nextIid++);
                challenge.salt = config_.challenge;
                sendLocked(peer, challenge);
            }
            break;
        case MessageId::LOGIN_REQ:
            if (answering) loginLocked(peer, message);
            break;
        case MessageId::NO_LOGIN:
            if (config_.closeAfterNoLogin) closePeerLocked(peer);
            break;
        case MessageId::LOGOUT_REQ:
            if (config_.closeOnLogout) closePeerLocked(peer);
            break;
        case MessageId::TABLE_EVENT: {
            if (!config_.tableRelay) {
                otherMessageLocked(peer, message);
                break;
            }
            Message relayed(message);
            sendToAllLocked(relayed);
            for (const TableEvent& e : message.events) {
                if (e.type != TableEventType::SHOT || !config_.shotResult) continue;
                Message result(MessageId::TABLE_EVENT);
                result.events = config_.shotResult(e);
                if (!result.events.empty()) sendToAllLocked(result);
            }
            break;
        }
        default:
            otherMessageLocked(peer, message);
            break;
    }
}
