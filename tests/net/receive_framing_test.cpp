// How received bytes become messages: a message ends where its body does. The header's length only
// says when to parse, so a large message that trickles in is parsed once, when all of it is there,
// and a wrong length neither cuts a message nor ends the connection.
#include "core/cipher.h"
#include "net/connection.h"
#include "net/handshake.h"
#include "net_test_support.h"
#include "wire_bytes.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using nettest::NetTest;

class CountingListener : public ConnectionListener {
public:
    std::vector<Message> messages;
    int disconnects = 0;
    void loginSuccess() override {}
    void loginFailed() override {}
    void serverInfo(std::string, std::string, std::string, uint32_t, uint32_t, const std::vector<ServerAddress>&) override {}
    void messageReceived(const Message& message) override { messages.push_back(message); }
    void disconnected() override { ++disconnects; }
};

// A connection to a bare loopback peer that the test writes enciphered bytes into.
class ReceiveTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        open();
    }
    void open() {
        sockaddr_in address{};
        listenFd = nettest::listenOnLoopback(address);
        ASSERT_GE(listenFd, 0);
        connection = std::make_unique<Connection>("127.0.0.1", ntohs(address.sin_port), "", "", &listener);
        connection->setKey(STREAM_PASS_PHRASE);
        connection->connect(false, 1000);
        peerFd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        ASSERT_GE(peerFd, 0);
    }
    void TearDown() override {
        shut();
        NetTest::TearDown();
    }
    void shut() {
        connection.reset();
        if (peerFd >= 0) ::close(peerFd);
        ::close(listenFd);
        listener.messages.clear();
        listener.disconnects = 0;
    }

    std::vector<uint8_t> enciphered(Message message) {
        const Buffer& b = message.getBuffer();
        std::vector<uint8_t> bytes(b.writeData, b.writeData + b.writeLength);
        for (size_t at = 0; at + MESSAGE_BLOCK_SIZE <= bytes.size(); at += MESSAGE_BLOCK_SIZE) cipher.encryptBlock(&bytes[at]);
        return bytes;
    }
    // The message with another length in its header, enciphered as the stream would be.
    ByteVector withLength(const Message& message, uint32_t length) {
        ByteVector bytes = serialized(message);
        for (int i = 0; i < 4; ++i) bytes[2 + i] = static_cast<uint8_t>(length >> (24 - 8 * i));
        for (size_t at = 0; at < bytes.size(); at += MESSAGE_BLOCK_SIZE) cipher.encryptBlock(&bytes[at]);
        return bytes;
    }
    // Writes the bytes in pieces and runs one receive step after each.
    void trickle(const std::vector<uint8_t>& bytes, size_t piece) {
        for (size_t at = 0; at < bytes.size(); at += piece) {
            const size_t n = std::min(piece, bytes.size() - at);
            ASSERT_EQ(::send(peerFd, bytes.data() + at, n, MSG_NOSIGNAL), ssize_t(n));
            connection->processReceivedMessages();
        }
    }

    CountingListener listener;
    Cipher cipher{STREAM_PASS_PHRASE};
    int listenFd = -1;
    int peerFd = -1;
    std::unique_ptr<Connection> connection;
};

Message bigTableEvent(uint32_t iid) {
    Message m(MessageId::TABLE_EVENT, iid);
    TableEvent tick(TableEventType::LIVE_AIM_END);
    tick.stamp = 1.5;
    m.events.assign(4600, tick);  // 14 bytes each on the wire: about 64 KB in all
    return m;
}

TEST_F(ReceiveTest, AMessageArriving16BytesAtATimeIsParsedOnce) {
    const std::vector<uint8_t> bytes = enciphered(bigTableEvent(7));
    ASSERT_GT(bytes.size(), 64000u);
    ASSERT_LE(bytes.size(), size_t(CONNECTION_BUFFER_SIZE));
    trickle(bytes, 16);
    ASSERT_EQ(listener.messages.size(), 1u);
    EXPECT_EQ(listener.messages[0].events.size(), 4600u);
    EXPECT_EQ(listener.disconnects, 0);
    // A header that has just arrived may be looked at on its own; the body is parsed once.
    EXPECT_LE(connection->parsePasses(), 2u);
}

TEST_F(ReceiveTest, AFullBufferOfSmallMessagesParsesEachOnce) {
    std::vector<uint8_t> bytes;
    for (uint32_t iid = 1; iid <= 4096; ++iid) {
        Message small(MessageId::EXIT_TABLE_REQ, iid);  // 16 bytes: header and table id
        const std::vector<uint8_t> one = enciphered(small);
        ASSERT_EQ(one.size(), 16u);
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    ASSERT_EQ(::send(peerFd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    for (int step = 0; step < 100 && listener.messages.size() < 4096; ++step) connection->processReceivedMessages();
    ASSERT_EQ(listener.messages.size(), 4096u);
    EXPECT_EQ(listener.messages.back().iid, 4096u);
    EXPECT_EQ(connection->parsePasses(), 2u * 4096);  // its header, then the whole message
}

TEST_F(ReceiveTest, AWrongHeaderLengthNeitherCutsMessagesNorEndsTheConnection) {
    std::vector<Message> sent = {Message::initInfo(1, InfoCode::SERVER_INFO, 1, 0, "first", ""),
                                 Message(MessageId::EXIT_TABLE_REQ, 2),  // 16 bytes
                                 Message::initInfo(3, InfoCode::SERVER_INFO, 3, 0, std::string(300, 'x') + "end", "")};
    // Every header gets the same wrong length.
    auto stream = [&](uint32_t length) {
        ByteVector bytes;
        for (const Message& m : sent) {
            const ByteVector one = withLength(m, length);
            bytes.insert(bytes.end(), one.begin(), one.end());
        }
        return bytes;
    };
    struct Case {
        uint32_t length;
        size_t piece;
        const char* why;
    };
    for (const Case& c : {Case{32, 4096, "shorter, in one write"}, Case{32, 16, "shorter, 16 bytes at a time"},
                          Case{80, 4096, "longer, in one write"}, Case{80, 16, "longer, 16 bytes at a time"},
                          Case{40, 4096, "not whole blocks"}, Case{0, 16, "empty"},
                          Case{0xFFFFFFFF, 4096, "beyond the receive buffer"}}) {
        SCOPED_TRACE(c.why);
        shut();
        open();
        trickle(stream(c.length), c.piece);
        // The last message is followed by nothing: the pause in the stream is what delivers it.
        for (int step = 0; step < 20 && listener.messages.size() < sent.size(); ++step) connection->processReceivedMessages();
        ASSERT_EQ(listener.messages.size(), sent.size());
        for (size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(listener.messages[i].id, sent[i].id);
            EXPECT_EQ(listener.messages[i].iid, sent[i].iid);
            EXPECT_EQ(listener.messages[i].textA, sent[i].textA);
        }
        EXPECT_EQ(listener.disconnects, 0);
        EXPECT_FALSE(connection->isClosed());
    }
    EXPECT_EQ(logCount("Error: Invalid message received"), 0u);
}

TEST_F(ReceiveTest, AMessageWhoseLengthSaysMoreIsDeliveredWhenTheStreamEndsAfterIt) {
    trickle(withLength(Message::initInfo(5, InfoCode::SERVER_INFO, 5, 0, "last", ""), 4096), 4096);
    ASSERT_EQ(::shutdown(peerFd, SHUT_WR), 0);
    for (int step = 0; step < 20 && listener.disconnects == 0; ++step) connection->processReceivedMessages();
    ASSERT_EQ(listener.messages.size(), 1u);
    EXPECT_EQ(listener.messages[0].textA, "last");
    EXPECT_EQ(listener.disconnects, 1);
}

}  // namespace
