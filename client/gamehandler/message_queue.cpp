#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/login_steps.h"
#include "core/log.h"
#include "net/connection_handler.h"

#include <atomic>

namespace {

std::atomic<MessageProcessor> messageProcessor{nullptr};

}  // namespace

MessageProcessor setMessageProcessor(MessageProcessor processor) { return messageProcessor.exchange(processor); }

void GameHandler::processMessageQueue() {
    if (connectionHandler != nullptr) {
        Message message;
        // Each message leaves the queue before it is handled, so the dispatch runs with no lock
        // held and may itself queue requests; messages arriving meanwhile are handled in this same
        // call, up to the frame's bound, and the rest wait for the next frame in their order.
        // Mends the window frozen for as long as a server kept the queue filled faster than it drained.
        for (int handled = 0; handled < MAX_MESSAGES_PER_FRAME; ++handled) {
            // Mends the memory held statuses took without bound during a long stroke, past the queue's limit.
            if (laterStatuses.size() * sizeof(LaterStatus) >= connectionHandler->incomingByteLimit) break;
            if (!connectionHandler->takeIncoming(message, &gameLoginSteps())) break;
            if (MessageProcessor processor = messageProcessor.load()) {
                processor(*this, message);
            } else {
                BZ_LOG(LOG_DEBUG, "processMessageQueue",
                       "No dispatch for message id=" << static_cast<int>(message.id) << " iid=" << message.iid);
            }
        }
    }
    flushDeferredChatIfDue();
}

bool TableState::isAnyBallMoving() const {
    for (const Ball& ball : table.balls) {
        if (ball.isMoving() || ball.fallingInPocket) return true;
    }
    return false;
}

void GameHandler::flushDeferredChatIfDue() {
    if (deferredChatMessages.empty()) return;
    const bool atRest = !isAnyBallMoving() && !statusPending;
    const bool overdue = now - deferredChatSince >= MAX_CHAT_DEFERRAL_SECONDS;
    if (atRest || overdue) showDeferredChat();
}

void GameHandler::showDeferredChat() {
    // Taken out first: a line shown may lead to more chat being held.
    std::vector<Message> held;
    held.swap(deferredChatMessages);
    for (const Message& chat : held) displayChatMessage(chat, false);
}

void TableState::dropShotLeftovers() {
    deferredChatMessages.clear();
    statusPending = false;
    laterStatuses.clear();
}
