// The incoming queue is bounded by memory: while the main loop does not drain it, the receiver
// thread stops reading the socket, and nothing is lost once the queue drains.
#include "net/connection_handler.h"

#include "core/app_status.h"
#include "client/gamehandler/game_handler.h"
#include "net_test_support.h"
#include "tools/testserver/test_server.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

using nettest::NetTest;
using nettest::waitUntil;

std::mutex drainedMutex;
std::vector<Message> drained;

void keepMessage(GameHandler&, const Message& message) {
    if (message.id != MessageId::TABLE_EVENT) return;
    std::lock_guard<std::mutex> lock(drainedMutex);
    drained.push_back(message);
}

size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// About 56 KB on the wire: 4,000 events that carry a stamp each.
Message tableEvents(uint32_t iid) {
    Message m(MessageId::TABLE_EVENT, iid);
    TableEvent event(TableEventType::LIVE_AIM_END);
    event.stamp = iid;
    m.events.assign(4000, event);
    return m;
}

class IncomingBoundTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        appState = STATE_LOGIN;
        connectionHandler = &handler;
        drained.clear();
        previousProcessor = setMessageProcessor(keepMessage);
        getGameHandler().prefPath = folder.string() + "/";
        TestServerConfig config;
        config.accounts = {{"Alice", "secret"}};
        server.setConfig(config);
        ASSERT_TRUE(server.start());
        setLobby(0, server.port(), true, "Players Lounge");
    }
    void TearDown() override {
        handler.stopThreads();
        setMessageProcessor(previousProcessor);
        connectionHandler = nullptr;
        server.stop();
        appState = STATE_STARTUP;
        getGameHandler().prefPath.clear();
        drained.clear();
        NetTest::TearDown();
    }

    TestServer server;
    ConnectionHandler handler;
    MessageProcessor previousProcessor = nullptr;
};

TEST_F(IncomingBoundTest, AFullQueuePausesReadingAndLosesNothing) {
    constexpr size_t limit = size_t(4) << 20;
    constexpr uint32_t count = 200;
    handler.incomingByteLimit = limit;
    handler.startThreads();
    handler.connectToServer("Players Lounge", "Alice", "secret", false);
    ASSERT_TRUE(waitUntil([&] { return server.countReceived(MessageId::LOGIN_REQ) == 1; }));

    // The main loop is paused: nobody drains while the server sends 11 MB.
    const size_t heapBefore = heapInUse();
    std::thread sender([&] {
        for (uint32_t iid = 1; iid <= count; ++iid) {
            if (!server.sendMessage(0, tableEvents(iid))) break;
        }
    });
    // A failed check leaves before the join below: stopping the server ends a send blocked on the
    // paused reader, so the thread is joined rather than aborting the whole test program.
    struct JoinSender {
        TestServer& server;
        std::thread& sender;
        ~JoinSender() {
            if (!sender.joinable()) return;
            server.stop();
            sender.join();
        }
    } joinSender{server, sender};
    ASSERT_TRUE(waitUntil([&] { return logCount("reading paused until it is drained") == 1; }, 10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // One receive step may add what a full receive buffer holds on top of the bound.
    EXPECT_LT(handler.incomingBytes(), limit + (size_t(2) << 20));
    EXPECT_LT(handler.incomingCount(), size_t(count / 2));
    EXPECT_LT(heapInUse(), heapBefore + 4 * limit);
    EXPECT_EQ(logCount("reading paused"), 1u);

    // Draining makes room; the receiver goes on where it stopped.
    ASSERT_TRUE(waitUntil(
        [&] {
            getGameHandler().processMessageQueue();
            std::lock_guard<std::mutex> lock(drainedMutex);
            return drained.size() == count;
        },
        20000));
    sender.join();
    for (uint32_t i = 0; i < count; ++i) {
        ASSERT_EQ(drained[i].iid, i + 1);
        ASSERT_EQ(drained[i].events.size(), 4000u);
        EXPECT_EQ(drained[i].events.back().stamp, double(i + 1));
    }
    EXPECT_EQ(handler.incomingBytes(), 0u);
    EXPECT_TRUE(handler.isConnected());
}

}  // namespace
