// Replay marks, the remote log, polls, videos, user lists, friends, lobby names, links and daily statistics.
#include "dispatch/handlers.h"
#include "dispatch/info_routes.h"

void onInfoReplayMarkedShots(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoBzlog(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoPollData(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoVideoInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoUserInfo(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoMutedUsers(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoFriends(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoLobbyNames(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoBioDataUserType(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoOpenUrl(GameHandler&, const Message& message) { logInfoReceived(message); }

void onInfoDailyStats(GameHandler&, const Message& message) { logInfoReceived(message); }
