// Match statistics and records.
#include "dispatch/handlers.h"
#include "dispatch/info_routes.h"

void onInfoMatchStatsData(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoMatchStatsInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoRecordsData(GameHandler&, const Message& message) { logInfoReceived(message); }
