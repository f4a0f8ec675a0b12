#include "net/connection.h"

#include "core/log.h"
#include "net/handshake.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>

void NetTimings::restoreDefaults() {
    const NetTimings defaults;
    loginConnectMs = defaults.loginConnectMs.load();
    receiveTimeoutMs = defaults.receiveTimeoutMs.load();
    senderWaitMs = defaults.senderWaitMs.load();
    receiverIdleMs = defaults.receiverIdleMs.load();
    queryConnectMs = defaults.queryConnectMs.load();
    queryLimitMs = defaults.queryLimitMs.load();
    queryStepMs = defaults.queryStepMs.load();
    pollPeriodMs = defaults.pollPeriodMs.load();
    handshakeMs = defaults.handshakeMs.load();
    receiveSettleMs = defaults.receiveSettleMs.load();
}

NetTimings& netTimings() {
    static NetTimings timings;
    return timings;
}

namespace {

using SteadyClock = std::chrono::steady_clock;

// How often a connect under way looks whether a close from another thread has ended it.
constexpr int kEndedCheckMs = 20;

bool systemHostLookup(const std::string& host, sockaddr_in& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* results = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &results) != 0 || results == nullptr) return false;
    std::memcpy(&address, results->ai_addr, sizeof(address));
    freeaddrinfo(results);
    return true;
}

std::atomic<HostLookup> hostLookup{systemHostLookup};

// getaddrinfo is safe to call from several threads at once (the lobby poll and the login connect
// may resolve together), unlike the old lookup with its shared static result. It has no time limit
// of its own: it runs on a thread of its own, and the caller waits for it only until the deadline.
// A late answer is dropped with the thread, and so is one that comes after ended was set.
bool resolveIPv4(const std::string& host, sockaddr_in& address, SteadyClock::time_point deadline,
                 const std::atomic<bool>& ended) {
    // An address literal needs no lookup.
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) == 1) {
        address.sin_family = AF_INET;
        return true;
    }
    struct Lookup {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool found = false;
        sockaddr_in address{};
    };
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host, find = hostLookup.load()] {
        sockaddr_in found{};
        const bool ok = find(host, found);
        std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->address = found;
        lookup->found = ok;
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(lookup->mutex);
    while (!lookup->finished) {
        if (ended) return false;
        const auto now = SteadyClock::now();
        if (now >= deadline) {
            BZ_LOG(LOG_ERROR, "connect", "Error: No answer from the host name lookup in time: " << host);
            return false;
        }
        lookup->done.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(kEndedCheckMs)));
    }
    address = lookup->address;
    return lookup->found;
}

bool setNonBlocking(int fd, bool nonBlocking) {
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0) return false;
    flags = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(fd, F_SETFL, flags) == 0;
}

int millisecondsLeft(SteadyClock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// A connect in progress on a non-blocking socket, waited for with a deadline so that an address
// that never answers cannot hold its caller for the system's minutes-long TCP time-out.
bool finishConnect(int fd, SteadyClock::time_point deadline, const std::atomic<bool>& ended) {
    for (;;) {
        if (ended) return false;
        const int left = millisecondsLeft(deadline);
        pollfd waiting{fd, POLLOUT, 0};
        int ready = ::poll(&waiting, 1, std::min(left, kEndedCheckMs));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0 && left > kEndedCheckMs) continue;
        if (ready <= 0) return false;
        int error = 0;
        socklen_t length = sizeof(error);
        return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
}

}  // namespace

HostLookup setHostLookup(HostLookup lookup) { return hostLookup.exchange(lookup ? lookup : systemHostLookup); }

Connection::Connection(std::string host, int32_t port, std::string userName, std::string password,
                       ConnectionListener* listener)
    : host(std::move(host)),
      port(port),
      userName(std::move(userName)),
      password(std::move(password)),
      listener(listener),
      cipher("") {}

Connection::~Connection() {
    close();
    int fd = socketFd.exchange(-1);
    if (fd >= 0) ::close(fd);
}

void Connection::connect(bool nonBlocking, int timeoutMs) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    // A close from another thread has ended the connect, and has reported.
    auto fail = [this] {
        if (!ended) close();
    };
    sockaddr_in address{};
    if (!resolveIPv4(host, address, deadline, ended)) {
        if (!ended) BZ_LOG(LOG_ERROR, "connect", "Error: Unknown host: " << host);
        fail();
        return;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        BZ_LOG(LOG_ERROR, "connect", "Error: Could not open socket");
        fail();
        return;
    }
    socketFd = fd;
    address.sin_port = htons(static_cast<uint16_t>(port));
    bool connectedNow = setNonBlocking(fd, true);
    if (connectedNow) {
        int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        connectedNow = result == 0 || (errno == EINPROGRESS && finishConnect(fd, deadline, ended));
    }
    if (connectedNow && !nonBlocking) {
        timeval timeout{};
        const int receiveMs = netTimings().receiveTimeoutMs;
        timeout.tv_sec = receiveMs / 1000;
        timeout.tv_usec = (receiveMs % 1000) * 1000;
        connectedNow = setNonBlocking(fd, false) &&
                       setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout)) == 0;
    }
    if (!connectedNow) {
        fail();
        return;
    }
    if (!nonBlocking) {
        awaitingLogin = true;
        loginDeadline = SteadyClock::now() + std::chrono::milliseconds(netTimings().handshakeMs.load());
    }
    // Under the lock that every close takes: a close that came meanwhile is never undone.
    std::lock_guard<std::mutex> lock(sendMutex);
    if (!ended) closed = false;
}

void Connection::close() {
    ended = true;
    closed = true;
    // Wakes a receive or send that is blocked on the socket in another thread, before the send
    // lock is taken: a send that waits for room holds that lock.
    int fd = socketFd.load();
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
    {
        std::lock_guard<std::mutex> lock(sendMutex);
        closeLocked();
    }
    reportDisconnected();
}

void Connection::silence() {
    std::lock_guard<std::mutex> lock(reportMutex);
    silenced = true;
}

void Connection::reportDisconnected() {
    std::lock_guard<std::mutex> lock(reportMutex);
    if (!silenced) listener->disconnected();
}

void Connection::closeLocked() {
    ended = true;
    closed = true;
    int fd = socketFd.load();
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
    outgoing.clear();
    filled = 0;
    enciphered = 0;
}

void Connection::reportCloses(int count) {
    for (int i = 0; i < count; ++i) reportDisconnected();
}

void Connection::setKey(const std::string& keyText) {
    std::lock_guard<std::mutex> lock(sendMutex);
    cipher.setKey(keyText);
}

void Connection::queueMessage(const Message& message) {
    std::lock_guard<std::mutex> lock(sendMutex);
    if (!closed) outgoing.push_back(message);
}

void Connection::fillSendBuffer() {
    int closes;
    {
        std::lock_guard<std::mutex> lock(sendMutex);
        fillLocked();
        closes = std::exchange(closesInsideLock, 0);
    }
    reportCloses(closes);
}

void Connection::flush() {
    int closes;
    {
        std::lock_guard<std::mutex> lock(sendMutex);
        flushLocked();
        closes = std::exchange(closesInsideLock, 0);
    }
    reportCloses(closes);
}

void Connection::sendNow(const Message& message) {
    int closes;
    {
        std::lock_guard<std::mutex> lock(sendMutex);
        if (!closed) outgoing.push_back(message);
        fillLocked();
        flushLocked();
        closes = std::exchange(closesInsideLock, 0);
    }
    reportCloses(closes);
}

void Connection::send(const Message& message) {
    if (!closed) sendNow(message);
}

void Connection::fillLocked() {
    if (closed) return;
    while (!outgoing.empty()) {
        Message& next = outgoing.front();
        const Buffer& bytes = next.getBuffer(MESSAGE_BLOCK_SIZE);
        const int32_t length = bytes.writeLength;
        if (length > CONNECTION_BUFFER_SIZE) {
            // It could never fit, and waiting at the head of the queue would hold back every later
            // request, the logout included.
            BZ_LOG(LOG_ERROR, "fillSendBuffer",
                   "Error: Message too large to send, dropped: id=" << static_cast<int>(next.id) << " size=" << length);
            outgoing.pop_front();
            continue;
        }
        if (filled + length > CONNECTION_BUFFER_SIZE) break;  // waits until a send has made room
        std::memcpy(sendBuffer + filled, bytes.writeData, static_cast<size_t>(length));
        filled += length;
        outgoing.pop_front();
    }
    while (enciphered + MESSAGE_BLOCK_SIZE <= filled) {
        cipher.encryptBlock(sendBuffer + enciphered);
        enciphered += MESSAGE_BLOCK_SIZE;
    }
}

void Connection::flushLocked() {
    while (!closed && enciphered > 0) {
        // MSG_NOSIGNAL: a peer that has gone makes the send fail instead of ending the process.
        ssize_t sent = ::send(socketFd.load(), sendBuffer, static_cast<size_t>(enciphered), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            // When another thread has closed the connection (its shutdown is what failed this
            // send), that close reports; a second report would end a lobby change's re-login.
            if (errno != EAGAIN && errno != EWOULDBLOCK && !closed) {
                // A close from inside a send operation runs under the lock it holds; it is
                // reported once the lock has been released.
                closeLocked();
                ++closesInsideLock;
            }
            return;
        }
        const auto n = static_cast<int32_t>(sent);
        std::memmove(sendBuffer, sendBuffer + n, static_cast<size_t>(filled - n));
        filled -= n;
        enciphered -= n;
        fillLocked();
    }
}

int32_t Connection::pendingSendBytes() const {
    std::lock_guard<std::mutex> lock(sendMutex);
    return filled;
}

size_t Connection::queuedMessageCount() const {
    std::lock_guard<std::mutex> lock(sendMutex);
    return outgoing.size();
}

bool Connection::waitReadable(int timeoutMs) const {
    int fd = socketFd.load();
    if (fd < 0) return false;
    pollfd waiting{fd, POLLIN, 0};
    return ::poll(&waiting, 1, timeoutMs) > 0;
}

void Connection::processReceivedMessages() {
    // A server that accepts the connection but never finishes the login would hold it for good.
    if (!closed && awaitingLogin && SteadyClock::now() >= loginDeadline) {
        BZ_LOG(LOG_ERROR, "processReceivedMessages", "Error: The server did not answer the login in time");
        awaitingLogin = false;
        timedOut = true;
        close();
        return;
    }
    if (!closed) {
        // A header whose length says more than its body came would keep a whole message waiting
        // for bytes that need not come: once the stream pauses, what is there is parsed.
        if (untriedBytesWaiting() && !waitReadable(netTimings().receiveSettleMs.load())) {
            if (parseReceived(true)) actOnParsed();
            return;
        }
        switch (receiveOnce()) {
            case ReceiveOutcome::NothingYet:
            case ReceiveOutcome::Refused:
                return;
            case ReceiveOutcome::Data:
                decipherReceived();
                if (!parseReceived(false)) return;
                break;
            case ReceiveOutcome::Ended:
                break;
        }
    }
    actOnParsed();
}

Connection::ReceiveOutcome Connection::receiveOnce() {
    if (received == CONNECTION_BUFFER_SIZE) {
        BZ_LOG(LOG_ERROR, "processReceivedMessages", "Error: Receive buffer full without a complete message");
        close();
        return ReceiveOutcome::Ended;
    }
    for (;;) {
        ssize_t n = ::recv(socketFd.load(), receiveBuffer + received, static_cast<size_t>(CONNECTION_BUFFER_SIZE - received), 0);
        if (n > 0) {
            received += static_cast<int32_t>(n);
            return ReceiveOutcome::Data;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return ReceiveOutcome::NothingYet;
        // The end of the stream or a broken connection. When another thread has closed the
        // connection (its shutdown is what ended this receive), that close has reported already.
        if (closed) return ReceiveOutcome::Ended;
        // The messages that came whole before the end are still delivered; an invalid one has closed.
        if (untriedBytesWaiting() && !parseReceived(true)) return ReceiveOutcome::Refused;
        close();
        return ReceiveOutcome::Ended;
    }
}

void Connection::decipherReceived() {
    // A trailing part-block waits for its remaining bytes.
    while (deciphered + MESSAGE_BLOCK_SIZE <= received) {
        cipher.decryptBlock(receiveBuffer + deciphered);
        deciphered += MESSAGE_BLOCK_SIZE;
    }
}

bool Connection::parseReceived(bool whenPaused) {
    // version u16, length u32, id u16, iid u32
    constexpr int32_t headerSize = 12;
    // The whole messages of this step; their bytes leave the buffer in one move at the end.
    int32_t taken = 0;
    for (;;) {
        const uint8_t* at = receiveBuffer + taken;
        const int32_t available = deciphered - taken;
        if (retryAt == 0) {
            if (available < headerSize) break;
            // The header alone first: a wrong version or id is refused whatever follows.
            Buffer header(at, headerSize, MESSAGE_BLOCK_SIZE);
            ++parses;
            if (Message(header).invalid) return refuseReceived();
            // Mends the trickling message parsed again from its start at every receive (quadratic):
            // the length only says when its body may be all there. Where it ends, only the body
            // says, and a length that is wrong is no error.
            const uint32_t length =
                (uint32_t(at[2]) << 24) | (uint32_t(at[3]) << 16) | (uint32_t(at[4]) << 8) | uint32_t(at[5]);
            retryAt = static_cast<int32_t>(
                std::clamp<uint32_t>(length, uint32_t(MESSAGE_BLOCK_SIZE), uint32_t(CONNECTION_BUFFER_SIZE)));
            triedAt = 0;
        }
        if (available < retryAt && !(whenPaused && available > triedAt)) break;
        Buffer reader(at, available, MESSAGE_BLOCK_SIZE);
        ++parses;
        Message message(reader);
        if (message.invalid) return refuseReceived();
        if (message.id == MessageId{}) {
            // Not all there yet (the length said too little): the next try waits until the bytes
            // have doubled or the stream pauses, which keeps the parsing linear in the bytes.
            triedAt = available;
            retryAt = std::max(retryAt, std::min(2 * available, CONNECTION_BUFFER_SIZE));
            break;
        }
        retryAt = 0;
        triedAt = 0;
        taken += message.consumed;
        parsed.push_back(std::move(message));
    }
    if (taken > 0) {
        std::memmove(receiveBuffer, receiveBuffer + taken, static_cast<size_t>(received - taken));
        received -= taken;
        deciphered -= taken;
    }
    return true;
}

bool Connection::refuseReceived() {
    BZ_LOG(LOG_ERROR, "processReceivedMessages", "Error: Invalid message received");
    close();
    return false;
}

void Connection::actOnParsed() {
    while (!parsed.empty()) {
        Message message = std::move(parsed.front());
        parsed.pop_front();
        switch (message.id) {
            case MessageId::HELLO:
                actOnHello(message);
                break;
            case MessageId::LOGIN_CHALLENGE:
                actOnChallenge(message);
                break;
            case MessageId::LOGIN_OK:
                awaitingLogin = false;
                actOnLoginOk();
                break;
            case MessageId::LOGIN_FAILED:
                awaitingLogin = false;
                listener->loginFailed();
                break;
            case MessageId::SERVER_STATUS:
                listener->serverInfo(message.statusText, message.lobbyName, message.lobbyVersion, message.maxUsers,
                                     message.currentUsers, message.servers);
                break;
            default:
                listener->messageReceived(message);
                break;
        }
    }
}

void Connection::replyUnderLock(const std::string* newKeyText, const Message* reply) {
    int closes;
    {
        std::lock_guard<std::mutex> lock(sendMutex);
        if (newKeyText != nullptr) cipher.setKey(*newKeyText);
        if (reply != nullptr && !closed) {
            outgoing.push_back(*reply);
            fillLocked();
            flushLocked();
        }
        closes = std::exchange(closesInsideLock, 0);
    }
    reportCloses(closes);
}

Connection::LoginSecrets Connection::loginSecrets() const {
    std::lock_guard<std::mutex> lock(secretsMutex);
    return {salt, challengeResponse};
}

void Connection::actOnHello(const Message& hello) {
    sid = hello.sid;
    {
        std::lock_guard<std::mutex> lock(secretsMutex);
        salt = hello.salt;
    }
    Message reply(MessageId::HELLO_REPLY, hello.iid);
    reply.nick = "*" + userName;
    const std::string keyText = helloKeyText(salt);
    replyUnderLock(&keyText, &reply);
}

void Connection::actOnChallenge(const Message& challenge) {
    if (userName.empty()) {
        Message reply(MessageId::NO_LOGIN, challenge.iid);
        replyUnderLock(nullptr, &reply);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(secretsMutex);
        challengeResponse = challengeResponseFor(challenge.salt, password);
    }
    Message reply(MessageId::LOGIN_REQ, challenge.iid);
    reply.nick = "*" + userName;
    reply.pwd = passwordDigest(salt, userName, challengeResponse);
    replyUnderLock(nullptr, &reply);
}

void Connection::actOnLoginOk() {
    const std::string keyText = loginKeyText(salt, userName, challengeResponse);
    replyUnderLock(&keyText, nullptr);
    listener->loginSuccess();
}
