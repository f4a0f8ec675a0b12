#include "client/gamehandler/game_handler.h"

#include "core/log.h"
#include "net/connection_handler.h"
#include "net/message.h"

#include <atomic>

namespace {

std::atomic<MessageProcessor> messageProcessor{nullptr};

}  // namespace

MessageProcessor setMessageProcessor(MessageProcessor processor) {
    return messageProcessor.exchange(processor);
}

GameHandler& getGameHandler() {
    static GameHandler gameHandler;
    return gameHandler;
}

void GameHandler::resetAimingState(bool keep) {}

void GameHandler::processMessageQueue() {
    if (connectionHandler == nullptr) return;
    Message message;
    // Each message leaves the queue before it is handled, so the dispatch runs with no lock held
    // and may itself queue requests; messages arriving meanwhile are handled in this same call.
    while (connectionHandler->takeIncoming(message)) {
        if (MessageProcessor processor = messageProcessor.load()) {
            processor(*this, message);
        } else {
            BZ_LOG(LOG_DEBUG, "processMessageQueue",
                   "No dispatch for message id=" << static_cast<int>(message.id) << " iid=" << message.iid);
        }
    }
}
