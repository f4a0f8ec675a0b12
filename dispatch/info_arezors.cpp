// Arezor powers and the emoji status.
#include "dispatch/handlers.h"
#include "dispatch/info_routes.h"

void onInfoArezorCommands(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoArezor(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoUserEmojis(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoArezorWaitingList(GameHandler&, const Message& message) { logInfoReceived(message); }
