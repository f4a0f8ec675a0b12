// Users entering and leaving tables, and the seats.
#include "dispatch/handlers.h"

void onEnterTableInfo(GameHandler&, const Message&) {}

void onExitTableInfo(GameHandler&, const Message&) {}

void onPlayTableInfo(GameHandler&, const Message&) {}
