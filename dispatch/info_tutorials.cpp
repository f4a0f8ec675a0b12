// Server-run tutorials.
#include "dispatch/handlers.h"
#include "dispatch/info_routes.h"

void onInfoEnterTutchInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoExitTutchInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoTutchTopicInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoTutchStatusInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoTutchTopicCancelled(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoTutchTopicPassed(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoTutchTopicFailed(GameHandler&, const Message& message) { logInfoReceived(message); }
