#include "net/request_queue.h"

#include "net/connection_handler.h"

Message newRequest(MessageId id) { return Message(id, connectionHandler->nextIid()); }

void queueRequest(const Message& message) { connectionHandler->sendMessage(message); }
