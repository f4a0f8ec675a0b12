// The per-frame drain of the connection's incoming queue.
#include "client/gamehandler/game_handler.h"
#include "net/connection_handler.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint32_t>& seen() {
    static std::vector<uint32_t> iids;
    return iids;
}

class MessageQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        connectionHandler = &handler;
        seen().clear();
        previous = setMessageProcessor([](GameHandler&, const Message& message) { seen().push_back(message.iid); });
    }
    void TearDown() override {
        setMessageProcessor(previous);
        connectionHandler = nullptr;
    }

    ConnectionHandler handler;
    GameHandler gh;
    MessageProcessor previous = nullptr;
};

TEST_F(MessageQueueTest, AFrameHandlesABoundedNumberAndTheRestFollowInOrder) {
    const uint32_t total = 2 * MAX_MESSAGES_PER_FRAME + 7;
    for (uint32_t i = 1; i <= total; ++i) handler.messageReceived(Message(MessageId::CHAT_MESSAGE, i));

    gh.processMessageQueue();
    EXPECT_EQ(seen().size(), size_t(MAX_MESSAGES_PER_FRAME));
    EXPECT_EQ(handler.incomingCount(), size_t(total - MAX_MESSAGES_PER_FRAME));
    gh.processMessageQueue();
    gh.processMessageQueue();
    gh.processMessageQueue();  // nothing left: returns at once
    ASSERT_EQ(seen().size(), size_t(total));
    for (uint32_t i = 0; i < total; ++i) ASSERT_EQ(seen()[i], i + 1);
}

TEST_F(MessageQueueTest, WithoutAConnectionHandlerTheDrainDoesNothing) {
    connectionHandler = nullptr;
    gh.processMessageQueue();
    EXPECT_TRUE(seen().empty());
}

}  // namespace
