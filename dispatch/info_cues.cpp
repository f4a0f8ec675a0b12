// The cue store and the Kred Box.
#include "dispatch/handlers.h"
#include "dispatch/info_routes.h"

void onInfoKredBoxInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoCueKredInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoCurrentCueInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoCueListInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoCueUsed(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoCuePurchased(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoCuePartsFused(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoHtmlFile(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoCueUrlInfo(GameHandler&, const Message& message) { logInfoReceived(message); }
