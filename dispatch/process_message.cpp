#include "dispatch/process_message.h"

#include "client/gamehandler/game_handler.h"
#include "core/log.h"
#include "dispatch/handlers.h"
#include "dispatch/info_routes.h"

namespace {

void deliverChat(GameHandler& gh, const Message& chat) {
    BZ_LOG(LOG_INFO, "processMessage",
           "CHAT_MESSAGE received: text1='" << chat.text1 << "', playerName1='" << chat.playerName1 << "', text2='"
                                            << chat.text2 << "'");
    // The deferrable flag travels in the INFO code field.
    if (chat.infoCode == 1 && gh.isAnyBallMoving()) {
        if (gh.deferredChatMessages.empty()) gh.deferredChatSince = gh.now;
        gh.deferredChatMessages.push_back(chat);
        return;
    }
    gh.displayChatMessage(chat, false);
}

}  // namespace

void installMessageDispatch() {
    setMessageProcessor([](GameHandler& gh, const Message& message) { gh.processMessage(message); });
}

void GameHandler::processMessage(const Message& message) {
    BZ_LOG(LOG_INFO, "processMessage", "id=" << static_cast<int>(message.id) << " iid=" << message.iid);
    switch (message.id) {
        case MessageId::INFO:
            dispatchInfo(*this, message);
            break;
        case MessageId::TABLE_LIST_INFO:
            onTableListInfo(*this, message);
            break;
        case MessageId::USER_LIST_INFO:
            onUserListInfo(*this, message);
            break;
        case MessageId::ENTER_TABLE_INFO:
            onEnterTableInfo(*this, message);
            break;
        case MessageId::EXIT_TABLE_INFO:
            onExitTableInfo(*this, message);
            break;
        case MessageId::PLAY_TABLE_INFO:
        case MessageId::STOP_PLAY_TABLE_INFO:
            onPlayTableInfo(*this, message);
            break;
        case MessageId::TABLE_EVENT:
            onTableEvents(*this, message);
            break;
        case MessageId::CHAT_MESSAGE:
            deliverChat(*this, message);
            break;
        default:
            // The requests' own ids, the login handshake and unknown ids: nothing to do.
            break;
    }
}
