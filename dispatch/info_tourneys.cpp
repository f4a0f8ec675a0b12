// Tournaments.
#include "dispatch/handlers.h"
#include "dispatch/info_routes.h"

void onInfoTourneyInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoTourneyEnded(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoUpcomingTourneyInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoUpcomingTourneyCount(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoUserId(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoRecentTourneyWinners(GameHandler&, const Message& message) { logInfoReceived(message); }
