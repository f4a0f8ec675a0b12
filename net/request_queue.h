// The two steps every request sender shares: a message with the next sequence number, and the
// hand-over to the connection handler's outgoing queue.
#pragma once

#include "net/message.h"

// An empty message of this id carrying the connection handler's next sequence number.
Message newRequest(MessageId id);
// Copies the message onto the outgoing queue.
void queueRequest(const Message& message);
