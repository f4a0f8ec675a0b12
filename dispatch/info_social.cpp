// Disconnects, invitations and tasks.
#include "dispatch/handlers.h"
#include "dispatch/info_routes.h"

void onInfoUserDc(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoDcTimerStop(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoInviteInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoTaskInfo(GameHandler&, const Message& message) { logInfoReceived(message); }
