// Start of play, foul answers, concessions, reracks and aborts.
#include "dispatch/handlers.h"

void onStartInfoEvent(GameHandler&, const TableEvent&) {}
void onFoulAnswerEvent(GameHandler&, const TableEvent&) {}
void onFrameConcededEvent(GameHandler&, const TableEvent&) {}
void onRerackOrAbortEvent(GameHandler&, const TableEvent&) {}
void onUnhandledTableEvent(GameHandler&, const TableEvent&) {}
