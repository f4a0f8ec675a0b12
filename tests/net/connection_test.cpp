// One Connection driven step by step against the loopback server: the handshake and its keys, the
// enciphered stream in both directions, and every injected fault.
#include "net/connection.h"
#include "net/handshake.h"
#include "net_test_support.h"
#include "tools/testserver/local_lobby.h"
#include "tools/testserver/test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

using nettest::NetTest;
using nettest::waitUntil;

class RecordingListener : public ConnectionListener {
public:
    std::atomic<int> successes{0};
    std::atomic<int> failures{0};
    std::atomic<int> statusReplies{0};
    std::atomic<int> disconnects{0};

    void loginSuccess() override { ++successes; }
    void loginFailed() override { ++failures; }
    void serverInfo(std::string, std::string lobbyName, std::string, uint32_t, uint32_t,
                    const std::vector<ServerAddress>&) override {
        std::lock_guard<std::mutex> lock(mutex);
        lastLobbyName = lobbyName;
        ++statusReplies;
    }
    void messageReceived(const Message& message) override {
        std::lock_guard<std::mutex> lock(mutex);
        messages.push_back(message);
    }
    void disconnected() override { ++disconnects; }

    std::vector<Message> received() const {
        std::lock_guard<std::mutex> lock(mutex);
        return messages;
    }
    std::string lobbyName() const {
        std::lock_guard<std::mutex> lock(mutex);
        return lastLobbyName;
    }

private:
    mutable std::mutex mutex;
    std::vector<Message> messages;
    std::string lastLobbyName;
};

Message info(uint32_t iid, int32_t value, const std::string& text = "") {
    return Message::initInfo(iid, InfoCode::SERVER_INFO, value, 0, text, "");
}

class ConnectionTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        config.accounts = {{"Alice", "secret"}};
    }

    void TearDown() override {
        server.stop();
        NetTest::TearDown();
    }

    void startServer() {
        server.setConfig(config);
        ASSERT_TRUE(server.start());
    }

    // A login connection as the handler opens it: first key, connect, status request.
    std::unique_ptr<Connection> open(const std::string& user, const std::string& password, bool nonBlocking = false) {
        auto connection = std::make_unique<Connection>("127.0.0.1", server.port(), user, password, &listener);
        connection->setKey(STREAM_PASS_PHRASE);
        connection->connect(nonBlocking, 1000);
        connection->send(Message(MessageId::SERVER_STATUS_REQ, 0));
        return connection;
    }

    // Runs receive steps until the condition holds.
    static bool pump(Connection& connection, const std::function<bool()>& condition, int timeoutMs = 3000) {
        return waitUntil(
            [&] {
                if (condition()) return true;
                connection.processReceivedMessages();
                connection.flush();
                return condition();
            },
            timeoutMs);
    }

    std::unique_ptr<Connection> loggedIn() {
        const int before = listener.successes;
        auto connection = open("Alice", "secret");
        EXPECT_TRUE(pump(*connection, [&] { return listener.successes == before + 1; }));
        return connection;
    }

    TestServerConfig config;
    TestServer server;
    RecordingListener listener;
};

TEST(Handshake, DigestsAndKeyTexts) {
    EXPECT_EQ(lowerAscii("AbC-\xC3\x84z"), "abc-\xC3\x84z");  // bytes outside A to Z stay as they are
    const std::string response = challengeResponseFor("chal", "pw");
    EXPECT_EQ(response.size(), 64u);
    const std::string digest = passwordDigest("salt", "Alice", response);
    EXPECT_EQ(digest.size(), 20u);
    EXPECT_EQ(digest.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(digest, passwordDigest("salt", "alice", response));
    EXPECT_EQ(helloKeyText("s4lt"), "s4ltMarcipanfuj");
    EXPECT_EQ(loginKeyText("s4lt", "ALICE", "r"), "s4ltalicer");
}

TEST_F(ConnectionTest, LoginRunsThroughAllThreeKeys) {
    startServer();
    auto connection = loggedIn();
    EXPECT_EQ(connection->sessionId(), "0123456789");
    EXPECT_EQ(connection->sessionSalt(), "s4lt");
    EXPECT_EQ(listener.statusReplies, 1);
    EXPECT_EQ(listener.lobbyName(), "Players Lounge");

    connection->sendNow(info(5001, 7));
    ASSERT_TRUE(server.waitForMessages(MessageId::INFO, 1, 2000));

    const auto records = server.received();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].message.id, MessageId::SERVER_STATUS_REQ);
    EXPECT_EQ(records[0].keyStage, 0);
    EXPECT_EQ(records[1].message.id, MessageId::HELLO_REPLY);
    EXPECT_EQ(records[1].keyStage, 1);
    EXPECT_EQ(records[1].message.nick, "*Alice");  // the name keeps its case; digests and key use it lowered
    EXPECT_EQ(records[1].message.iid, 100u);       // a reply carries the iid of what it answers
    EXPECT_EQ(records[2].message.id, MessageId::LOGIN_REQ);
    EXPECT_EQ(records[2].keyStage, 1);
    EXPECT_EQ(records[2].message.iid, 102u);
    EXPECT_EQ(records[2].message.pwd,
              passwordDigest("s4lt", "alice", challengeResponseFor(config.challenge, "secret")));
    EXPECT_EQ(records[3].keyStage, 2);
    EXPECT_EQ(records[3].message.valueA, 7);
    EXPECT_EQ(listener.disconnects, 0);
}

// The log upload reads the login secrets on the main thread while the receive step writes them.
TEST_F(ConnectionTest, LoginSecretsAreReadWhileTheReceiveStepWritesThem) {
    startServer();
    auto connection = open("Alice", "secret");
    std::atomic<bool> done{false};
    std::thread receiver([&] {
        pump(*connection, [&] { return listener.successes == 1; });
        done = true;
    });
    Connection::LoginSecrets seen;
    while (!done) seen = connection->loginSecrets();
    receiver.join();
    seen = connection->loginSecrets();
    EXPECT_EQ(seen.salt, "s4lt");
    EXPECT_EQ(seen.challengeResponse, challengeResponseFor(config.challenge, "secret"));
}

TEST_F(ConnectionTest, WrongPasswordReportsFailureAndStaysOpen) {
    startServer();
    auto connection = open("Alice", "wrong");
    ASSERT_TRUE(pump(*connection, [&] { return listener.failures == 1; }));
    EXPECT_EQ(listener.successes, 0);
    EXPECT_FALSE(connection->isClosed());
    EXPECT_EQ(listener.disconnects, 0);
}

TEST_F(ConnectionTest, EmptyUserDeclinesTheLogin) {
    startServer();
    auto connection = open("", "", true);
    ASSERT_TRUE(pump(*connection, [&] { return listener.disconnects == 1; }));
    EXPECT_EQ(listener.statusReplies, 1);
    ASSERT_EQ(server.countReceived(MessageId::NO_LOGIN), 1u);
    EXPECT_EQ(server.receivedWithId(MessageId::HELLO_REPLY).at(0).nick, "*");
    EXPECT_EQ(server.countReceived(MessageId::LOGIN_REQ), 0u);
    EXPECT_TRUE(connection->loginChallengeResponse().empty());
    connection.reset();
    EXPECT_EQ(listener.disconnects, 2);  // destruction closes and reports once more
}

TEST_F(ConnectionTest, MessagesSplitIntoSingleBytesArrive) {
    config.splitWrites = true;
    startServer();
    auto connection = loggedIn();
    ASSERT_TRUE(server.sendMessages(0, {info(1, 1, "first"), info(2, 2, "second")}));
    ASSERT_TRUE(pump(*connection, [&] { return listener.received().size() == 2; }));
    EXPECT_EQ(listener.received()[0].textA, "first");
    EXPECT_EQ(listener.received()[1].textA, "second");
}

TEST_F(ConnectionTest, SeveralMessagesInOneWriteArriveInOrder) {
    startServer();
    auto connection = loggedIn();
    ASSERT_TRUE(server.sendMessages(0, {info(11, 1), info(12, 2), info(13, 3)}));
    ASSERT_TRUE(pump(*connection, [&] { return listener.received().size() == 3; }));
    const auto messages = listener.received();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(messages[i].iid, 11u + i);
}

TEST_F(ConnectionTest, InvalidMessagesCloseTheConnection) {
    startServer();
    Message badVersion = info(2, 2);
    badVersion.version = 2;
    Message unknownId(static_cast<MessageId>(1016), 3);
    for (Message* bad : {&badVersion, &unknownId}) {
        // Each invalid message ends its connection, so each case logs in afresh.
        RecordingListener fresh;
        auto connection = std::make_unique<Connection>("127.0.0.1", server.port(), "Alice", "secret", &fresh);
        connection->setKey(STREAM_PASS_PHRASE);
        connection->connect(false, 1000);
        connection->send(Message(MessageId::SERVER_STATUS_REQ, 0));
        ASSERT_TRUE(pump(*connection, [&] { return fresh.successes == 1; }));
        // A valid message in the same write is not delivered: the step that meets the invalid one
        // returns at once.
        ASSERT_TRUE(server.sendMessages(server.acceptedCount() - 1, {info(1, 1), *bad}));
        ASSERT_TRUE(pump(*connection, [&] { return fresh.disconnects == 1; }));
        EXPECT_TRUE(fresh.received().empty());
        connection.reset();
        EXPECT_EQ(fresh.disconnects, 2);
    }
    EXPECT_EQ(logCount("processReceivedMessages: ERROR: Error: Invalid message received"), 2u);
}

TEST_F(ConnectionTest, HelloWithAShortSessionIdIsInvalid) {
    config.sid = "123456789";
    startServer();
    auto connection = open("Alice", "secret");
    ASSERT_TRUE(pump(*connection, [&] { return listener.disconnects == 1; }));
    EXPECT_TRUE(connection->sessionId().empty());
    EXPECT_EQ(server.countReceived(MessageId::HELLO_REPLY), 0u);
    EXPECT_EQ(logCount("Error: Invalid message received"), 1u);
}

TEST_F(ConnectionTest, PeerClosingMidMessageReportsOnce) {
    startServer();
    auto connection = loggedIn();
    ASSERT_TRUE(server.sendPartialThenClose(0, info(1, 1, "cut short"), 20));
    ASSERT_TRUE(pump(*connection, [&] { return listener.disconnects == 1; }));
    for (int i = 0; i < 3; ++i) connection->processReceivedMessages();
    EXPECT_EQ(listener.disconnects, 1);
    EXPECT_TRUE(listener.received().empty());
}

TEST_F(ConnectionTest, SilentServerLeavesTheStepAtItsTimeOut) {
    config.sendHello = false;
    startServer();
    auto connection = open("Alice", "secret");
    const auto start = std::chrono::steady_clock::now();
    connection->processReceivedMessages();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_FALSE(connection->isClosed());
    EXPECT_EQ(listener.disconnects, 0);
    EXPECT_TRUE(connection->sessionId().empty());
}

TEST_F(ConnectionTest, OversizedIncomingMessageClosesTheConnection) {
    startServer();
    auto connection = loggedIn();
    ASSERT_TRUE(server.sendMessage(0, info(1, 1, std::string(70000, 'x'))));
    ASSERT_TRUE(pump(*connection, [&] { return listener.disconnects == 1; }));
    EXPECT_TRUE(listener.received().empty());
    EXPECT_EQ(logCount("Error: Receive buffer full without a complete message"), 1u);
}

TEST_F(ConnectionTest, OversizedOutgoingMessageIsDroppedAndTheRestKeepOrder) {
    startServer();
    auto connection = loggedIn();
    Message huge = info(2, 2, std::string(70000, 'x'));
    const int32_t hugeSize = huge.getBuffer().writeLength;
    connection->queueMessage(info(1, 1));
    connection->queueMessage(huge);
    connection->queueMessage(info(3, 3));
    connection->fillSendBuffer();
    connection->flush();
    ASSERT_TRUE(server.waitForMessages(MessageId::INFO, 2, 2000));
    const auto infos = server.receivedWithId(MessageId::INFO);
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_EQ(infos[0].iid, 1u);
    EXPECT_EQ(infos[1].iid, 3u);
    EXPECT_EQ(logCount("fillSendBuffer: ERROR: Error: Message too large to send, dropped: id=1000 size=" +
                       std::to_string(hugeSize)),
              1u);
    EXPECT_FALSE(connection->isClosed());
}

TEST_F(ConnectionTest, MessageWithoutRoomWaitsAtTheHeadOfTheQueue) {
    config.echo = false;
    startServer();
    auto connection = loggedIn();
    // Two of these do not fit the send buffer together; the second waits until the first is sent.
    const std::string text(40000, 'y');
    connection->queueMessage(info(1, 1, text));
    connection->queueMessage(info(2, 2, text));
    connection->queueMessage(info(3, 3));
    connection->fillSendBuffer();
    EXPECT_EQ(connection->queuedMessageCount(), 2u);
    EXPECT_GT(connection->pendingSendBytes(), 40000);
    connection->flush();
    ASSERT_TRUE(server.waitForMessages(MessageId::INFO, 3, 3000));
    const auto infos = server.receivedWithId(MessageId::INFO);
    for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(infos[i].iid, i + 1);
}

TEST_F(ConnectionTest, ClosedConnectionDropsWhatItIsGiven) {
    startServer();
    auto connection = loggedIn();
    connection->close();
    EXPECT_EQ(listener.disconnects, 1);
    connection->queueMessage(info(1, 1));
    connection->send(info(2, 2));
    connection->fillSendBuffer();
    connection->flush();
    EXPECT_EQ(connection->queuedMessageCount(), 0u);
    EXPECT_EQ(connection->pendingSendBytes(), 0);
    connection->processReceivedMessages();
    EXPECT_EQ(listener.disconnects, 1);
    connection.reset();
    EXPECT_EQ(listener.disconnects, 2);
    EXPECT_EQ(server.countReceived(MessageId::INFO), 0u);
}

TEST_F(ConnectionTest, RefusedOrNeverMadeConnectionsReportOnClose) {
    {
        Connection never("127.0.0.1", 1, "Alice", "secret", &listener);
    }
    EXPECT_EQ(listener.disconnects, 1);  // only its destruction reports

    Connection refused("127.0.0.1", nettest::closedLoopbackPort(), "Alice", "secret", &listener);
    refused.connect(false, 1000);
    EXPECT_TRUE(refused.isClosed());
    EXPECT_EQ(listener.disconnects, 2);
    EXPECT_EQ(logCount("Error: Unknown host"), 0u);

    // An empty name fails the lookup without asking any name server.
    Connection nameless("", 42147, "Alice", "secret", &listener);
    nameless.connect(false, 1000);
    EXPECT_TRUE(nameless.isClosed());
    EXPECT_EQ(listener.disconnects, 3);
    EXPECT_EQ(logCount("connect: ERROR: Error: Unknown host: \n"), 1u);
}

TEST_F(ConnectionTest, ConnectGivesUpAtItsTimeOut) {
    // A listener whose accept queue is full drops further connection attempts without an answer.
    sockaddr_in address{};
    const int backlogFd = nettest::listenOnLoopback(address, 0);
    ASSERT_GE(backlogFd, 0);
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        fillers.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    Connection stuck("127.0.0.1", ntohs(address.sin_port), "Alice", "secret", &listener);
    const auto start = std::chrono::steady_clock::now();
    stuck.connect(false, 200);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(stuck.isClosed());
    EXPECT_EQ(listener.disconnects, 1);
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    for (int fd : fillers) ::close(fd);
    ::close(backlogFd);
}

TEST_F(ConnectionTest, CloseFromAnotherThreadEndsABlockedReceive) {
    netTimings().receiveTimeoutMs = 10000;
    startServer();
    auto connection = loggedIn();
    std::atomic<bool> returned{false};
    std::thread receiver([&] {
        connection->processReceivedMessages();
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned);
    connection->close();
    EXPECT_TRUE(waitUntil([&] { return returned.load(); }, 2000));
    receiver.join();
    EXPECT_EQ(listener.disconnects, 1);  // the woken receive does not report the close again
}

TEST_F(ConnectionTest, CloseFromAnotherThreadEndsABlockedSendAndReportsOnce) {
    // A peer that accepts and never reads, with a small window, so that sending soon blocks.
    sockaddr_in address{};
    const int listenFd = nettest::listenOnLoopback(address, 1, 4096);
    ASSERT_GE(listenFd, 0);

    Connection connection("127.0.0.1", ntohs(address.sin_port), "", "", &listener);
    connection.setKey(STREAM_PASS_PHRASE);
    connection.connect(false, 1000);
    ASSERT_FALSE(connection.isClosed());
    int peerFd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    ASSERT_GE(peerFd, 0);

    // Small messages: the send that finds the buffer full has moved none of its bytes yet, so
    // the close makes it fail instead of returning a part.
    constexpr int total = 1000000;
    std::atomic<int> sent{0};
    std::thread sender([&] {
        for (int i = 0; i < total && !connection.isClosed(); ++i) {
            connection.sendNow(info(static_cast<uint32_t>(i), i));
            ++sent;
        }
    });
    // Blocked once the count stops moving for a while.
    int last = -1;
    ASSERT_TRUE(waitUntil(
        [&] {
            const int now = sent;
            if (now == last) return true;
            last = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            return false;
        },
        20000));
    ASSERT_LT(sent.load(), total) << "the sends never blocked";
    connection.close();
    sender.join();
    // The send that the close interrupted fails, but the close has reported already.
    EXPECT_EQ(listener.disconnects, 1);
    ::close(peerFd);
    ::close(listenFd);
}

}  // namespace

namespace {

// The enciphered bytes of a table-event message that says it is `total` bytes long and never ends:
// ball removals one after the other, and no END event.
std::vector<uint8_t> unendingTableEvents(size_t total) {
    Message empty(MessageId::TABLE_EVENT, 7);
    const Buffer& framed = empty.getBuffer(MESSAGE_BLOCK_SIZE);
    std::vector<uint8_t> head(framed.writeData, framed.writeData + framed.writeLength);
    while (!head.empty() && head.back() == 0xFF) head.pop_back();  // the padding
    Buffer endOnly;
    writeTableEvents(endOnly, {});
    head.resize(head.size() - size_t(endOnly.writeLength));
    Buffer many;
    writeTableEvents(many, std::vector<TableEvent>(64, TableEvent(TableEventType::BALL_REMOVED)));
    const std::vector<uint8_t> events(many.writeData, many.writeData + many.writeLength - endOnly.writeLength);
    std::vector<uint8_t> bytes = head;
    while (bytes.size() < total) bytes.insert(bytes.end(), events.begin(), events.end());
    bytes.resize(total / MESSAGE_BLOCK_SIZE * MESSAGE_BLOCK_SIZE);
    const uint32_t said = uint32_t(bytes.size());
    for (int i = 0; i < 4; ++i) bytes[2 + i] = uint8_t(said >> (24 - 8 * i));
    const Cipher cipher(STREAM_PASS_PHRASE);
    for (size_t at = 0; at < bytes.size(); at += MESSAGE_BLOCK_SIZE) cipher.encryptBlock(bytes.data() + at);
    return bytes;
}

}  // namespace

// One peer streams a 20 MiB message that never ends: the lobby closes that connection as soon as
// the message is longer than any client may send, and logs in another user meanwhile.
TEST_F(ConnectionTest, AnUnendingMessageIsCutOffAndHoldsNoOtherLogin) {
    LocalLobby lobby("Players Lounge");
    config = lobby.serverConfig();
    startServer();
    const std::vector<uint8_t> flood = unendingTableEvents(20u << 20);

    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(server.port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    timeval timeout{0, 200000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    std::atomic<size_t> sent{0};
    std::atomic<bool> cutOff{false};
    std::atomic<bool> stop{false};
    std::thread flooder([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!stop && std::chrono::steady_clock::now() < deadline) {
            const size_t at = sent;
            if (at == flood.size()) {
                // All of it went out: the lobby must still close the connection, or it never will.
                char byte;
                const ssize_t got = ::recv(fd, &byte, 1, MSG_DONTWAIT);
                if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            const ssize_t n = ::send(fd, flood.data() + at, std::min<size_t>(65536, flood.size() - at), MSG_NOSIGNAL);
            if (n > 0) sent += size_t(n);
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) break;
        }
        cutOff = !stop && std::chrono::steady_clock::now() < deadline;
    });
    // The login starts while the message is under way (or already refused).
    waitUntil([&] { return sent >= (1u << 20) || cutOff; }, 20000);

    const auto begin = std::chrono::steady_clock::now();
    auto connection = open("Alice", LocalLobby::kNewcomerPassword);
    const bool loggedIn = pump(*connection, [&] { return listener.successes == 1; }, 10000);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::printf("login beside the unending message took %.3f s; %zu bytes of it had been sent\n", seconds, size_t(sent));
    RecordProperty("login_ms", static_cast<int>(seconds * 1000));
    EXPECT_TRUE(loggedIn) << "waited 10 s for Alice's login beside the unending message";

    const bool closed = waitUntil([&] { return cutOff.load(); }, 20000);
    stop = true;
    flooder.join();
    ::close(fd);
    EXPECT_TRUE(closed) << "the lobby did not close the connection of the unending message; "
                        << sent << " bytes were sent";
    EXPECT_LT(sent.load(), flood.size()) << "the lobby read the whole 20 MiB message";
    server.stop();  // its thread answers through the lobby, which goes out of scope here
}
