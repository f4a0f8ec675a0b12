// The INFO switch: which handler takes each INFO code. Codes without a handler (0, the gaps, codes
// above 98, negative ones) take the fallback: one ERROR line, nothing else.
#pragma once

#include "client/gamehandler/game_handler.h"
#include "net/message.h"

#include <cstdint>

using InfoHandler = void (*)(GameHandler& gh, const Message& message);

struct InfoRoute {
    int32_t code;
    const char* name;  // as the log writes it: "INFO received: " + name
    InfoHandler handler;
};

// The route of a code, nullptr when the code has no handler.
const InfoRoute* findInfoRoute(int32_t code);
int infoRouteCount();

// Routes one INFO message, or writes the fallback line.
void dispatchInfo(GameHandler& gh, const Message& message);

// "INFO received: " and the code's name, at the information level: the line of a handler that
// does nothing more yet.
void logInfoReceived(const Message& message);
