// Server, lobby and account information.
#include "dispatch/handlers.h"
#include "dispatch/info_routes.h"

void onInfoServerInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoDeleteChat(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoLogout(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoTopStats(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoBioData(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoHbping(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoOpenLoginPopup(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoUserPreferences(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoFrameResultsData(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoServerUserFlags(GameHandler&, const Message& message) { logInfoReceived(message); }
