// The handlers the dispatch routes to, one per message id and one per INFO code that has one. Each
// file of the dispatch holds one group; a handler not built yet only logs that its message arrived.
// Main thread only; a handler never fails towards the dispatch.
#pragma once

#include "client/gamehandler/game_handler.h"
#include "net/message.h"

// Message ids (table_list.cpp, table_entry.cpp, table_events.cpp).
void onTableListInfo(GameHandler& gh, const Message& message);   // 1001
void onUserListInfo(GameHandler& gh, const Message& message);    // 1003
void onEnterTableInfo(GameHandler& gh, const Message& message);  // 1005
void onExitTableInfo(GameHandler& gh, const Message& message);   // 1007
// PLAY_TABLE_INFO and STOP_PLAY_TABLE_INFO alike.
void onPlayTableInfo(GameHandler& gh, const Message& message);   // 1009, 1011
void onTableEvents(GameHandler& gh, const Message& message);     // 1014

// The table events that start play, answer a foul, concede a frame, or ask for a rerack or an abort
// (table_events_start.cpp); the loop of onTableEvents hands each such event here, in order.
void onStartInfoEvent(GameHandler& gh, const TableEvent& event);      // START_INFO
void onFoulAnswerEvent(GameHandler& gh, const TableEvent& event);     // FOUL_PLAY_ON, FOUL_RETAKE
void onFrameConcededEvent(GameHandler& gh, const TableEvent& event);  // FRAME_CONCEDED
void onRerackOrAbortEvent(GameHandler& gh, const TableEvent& event);  // RERACK_*, ABORT_*
// An event type that no handler takes.
void onUnhandledTableEvent(GameHandler& gh, const TableEvent& event);

// INFO codes.
// Server, lobby and account information. (info_account.cpp)
void onInfoServerInfo(GameHandler& gh, const Message& message);  // 1
void onInfoDeleteChat(GameHandler& gh, const Message& message);  // 2
void onInfoLogout(GameHandler& gh, const Message& message);  // 3
void onInfoTopStats(GameHandler& gh, const Message& message);  // 5
void onInfoBioData(GameHandler& gh, const Message& message);  // 7
void onInfoHbping(GameHandler& gh, const Message& message);  // 24
void onInfoOpenLoginPopup(GameHandler& gh, const Message& message);  // 26
void onInfoUserPreferences(GameHandler& gh, const Message& message);  // 29
void onInfoFrameResultsData(GameHandler& gh, const Message& message);  // 33
void onInfoServerUserFlags(GameHandler& gh, const Message& message);  // 34

// Server-run tutorials. (info_tutorials.cpp)
void onInfoEnterTutchInfo(GameHandler& gh, const Message& message);  // 12
void onInfoExitTutchInfo(GameHandler& gh, const Message& message);  // 14
void onInfoTutchTopicInfo(GameHandler& gh, const Message& message);  // 16
void onInfoTutchStatusInfo(GameHandler& gh, const Message& message);  // 17
void onInfoTutchTopicCancelled(GameHandler& gh, const Message& message);  // 20
void onInfoTutchTopicPassed(GameHandler& gh, const Message& message);  // 21
void onInfoTutchTopicFailed(GameHandler& gh, const Message& message);  // 22

// Disconnects, invitations and tasks. (info_social.cpp)
void onInfoUserDc(GameHandler& gh, const Message& message);  // 27
void onInfoDcTimerStop(GameHandler& gh, const Message& message);  // 28
void onInfoInviteInfo(GameHandler& gh, const Message& message);  // 30
void onInfoTaskInfo(GameHandler& gh, const Message& message);  // 35

// Arezor powers and the emoji status. (info_arezors.cpp)
void onInfoArezorCommands(GameHandler& gh, const Message& message);  // 47
void onInfoArezor(GameHandler& gh, const Message& message);  // 48
void onInfoUserEmojis(GameHandler& gh, const Message& message);  // 49
void onInfoArezorWaitingList(GameHandler& gh, const Message& message);  // 50

// The cue store and the Kred Box. (info_cues.cpp)
void onInfoKredBoxInfo(GameHandler& gh, const Message& message);  // 36
void onInfoCueKredInfo(GameHandler& gh, const Message& message);  // 51
void onInfoCurrentCueInfo(GameHandler& gh, const Message& message);  // 52
void onInfoCueListInfo(GameHandler& gh, const Message& message);  // 53
void onInfoCueUsed(GameHandler& gh, const Message& message);  // 54
void onInfoCuePurchased(GameHandler& gh, const Message& message);  // 55
void onInfoCuePartsFused(GameHandler& gh, const Message& message);  // 56
void onInfoHtmlFile(GameHandler& gh, const Message& message);  // 57
void onInfoCueUrlInfo(GameHandler& gh, const Message& message);  // 59

// Tournaments. (info_tourneys.cpp)
void onInfoTourneyInfo(GameHandler& gh, const Message& message);  // 38
void onInfoTourneyEnded(GameHandler& gh, const Message& message);  // 39
void onInfoUpcomingTourneyInfo(GameHandler& gh, const Message& message);  // 40
void onInfoUpcomingTourneyCount(GameHandler& gh, const Message& message);  // 41
void onInfoUserId(GameHandler& gh, const Message& message);  // 42
void onInfoRecentTourneyWinners(GameHandler& gh, const Message& message);  // 43

// Match statistics and records. (info_stats.cpp)
void onInfoMatchStatsData(GameHandler& gh, const Message& message);  // 45
void onInfoMatchStatsInfo(GameHandler& gh, const Message& message);  // 46
void onInfoRecordsData(GameHandler& gh, const Message& message);  // 63

// Replays. (info_replays.cpp)
void onInfoReplayInfo(GameHandler& gh, const Message& message);  // 65
void onInfoExitReplayInfo(GameHandler& gh, const Message& message);  // 67
void onInfoReplaySearchData(GameHandler& gh, const Message& message);  // 69
void onInfoReplayTop20Info(GameHandler& gh, const Message& message);  // 70
void onInfoReplayFavIdsInfo(GameHandler& gh, const Message& message);  // 71
void onInfoReplayFetchFavpubData(GameHandler& gh, const Message& message);  // 73
void onInfoReplaySettingsInfo(GameHandler& gh, const Message& message);  // 77

// Replay marks, the remote log, polls, videos, user lists, friends, lobby names, links and daily statistics. (info_more.cpp)
void onInfoReplayMarkedShots(GameHandler& gh, const Message& message);  // 80
void onInfoBzlog(GameHandler& gh, const Message& message);  // 81
void onInfoPollData(GameHandler& gh, const Message& message);  // 82
void onInfoVideoInfo(GameHandler& gh, const Message& message);  // 85
void onInfoUserInfo(GameHandler& gh, const Message& message);  // 86
void onInfoMutedUsers(GameHandler& gh, const Message& message);  // 87
void onInfoFriends(GameHandler& gh, const Message& message);  // 88
void onInfoLobbyNames(GameHandler& gh, const Message& message);  // 89
void onInfoBioDataUserType(GameHandler& gh, const Message& message);  // 92
void onInfoOpenUrl(GameHandler& gh, const Message& message);  // 96
void onInfoDailyStats(GameHandler& gh, const Message& message);  // 98
