// Replays.
#include "dispatch/handlers.h"
#include "dispatch/info_routes.h"

// The parts of a replay reach the game controller, which starts the replay with the last one.
void onInfoReplayInfo(GameHandler& gh, const Message& message) {
    logInfoReceived(message);
    gh.receiveReplayPart(message);
}

void onInfoExitReplayInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoReplaySearchData(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoReplayTop20Info(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoReplayFavIdsInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoReplayFetchFavpubData(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoReplaySettingsInfo(GameHandler&, const Message& message) { logInfoReceived(message); }
