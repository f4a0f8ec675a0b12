#include "dispatch/info_routes.h"

#include "core/log.h"
#include "dispatch/handlers.h"

#include <array>

namespace {

// Every code with a handler, in code order, with its name as the log writes it.
const InfoRoute kRoutes[] = {
    {1, "SERVER_INFO", onInfoServerInfo},
    {2, "DELETE_CHAT", onInfoDeleteChat},
    {3, "LOGOUT", onInfoLogout},
    {5, "TOP_STATS", onInfoTopStats},
    {7, "BIO_DATA", onInfoBioData},
    {12, "ENTER_TUTCH_INFO", onInfoEnterTutchInfo},
    {14, "EXIT_TUTCH_INFO", onInfoExitTutchInfo},
    {16, "TUTCH_TOPIC_INFO", onInfoTutchTopicInfo},
    {17, "TUTCH_STATUS_INFO", onInfoTutchStatusInfo},
    {20, "TUTCH_TOPIC_CANCELLED", onInfoTutchTopicCancelled},
    {21, "TUTCH_TOPIC_PASSED", onInfoTutchTopicPassed},
    {22, "TUTCH_TOPIC_FAILED", onInfoTutchTopicFailed},
    {24, "HBPING", onInfoHbping},
    {26, "OPEN_LOGIN_POPUP", onInfoOpenLoginPopup},
    {27, "USER_DC", onInfoUserDc},
    {28, "DC_TIMER_STOP", onInfoDcTimerStop},
    {29, "USER_PREFERENCES", onInfoUserPreferences},
    {30, "INVITE_INFO", onInfoInviteInfo},
    {33, "FRAME_RESULTS_DATA", onInfoFrameResultsData},
    {34, "SERVER_USER_FLAGS", onInfoServerUserFlags},
    {35, "TASK_INFO", onInfoTaskInfo},
    {36, "KRED_BOX_INFO", onInfoKredBoxInfo},
    {38, "TOURNEY_INFO", onInfoTourneyInfo},
    {39, "TOURNEY_ENDED", onInfoTourneyEnded},
    {40, "UPCOMING_TOURNEY_INFO", onInfoUpcomingTourneyInfo},
    {41, "UPCOMING_TOURNEY_COUNT", onInfoUpcomingTourneyCount},
    {42, "USER_ID", onInfoUserId},
    {43, "RECENT_TOURNEY_WINNERS", onInfoRecentTourneyWinners},
    {45, "INFO_CODE_MATCH_STATS_DATA", onInfoMatchStatsData},
    {46, "MATCH_STATS_INFO", onInfoMatchStatsInfo},
    {47, "INFO_CODE_AREZOR_COMMANDS", onInfoArezorCommands},
    {48, "AREZOR", onInfoArezor},
    {49, "INFO_CODE_USER_EMOJIS", onInfoUserEmojis},
    {50, "INFO_CODE_AREZOR_WAITING_LIST", onInfoArezorWaitingList},
    {51, "INFO_CODE_CUE_KRED_INFO", onInfoCueKredInfo},
    {52, "INFO_CODE_CURRENT_CUE_INFO", onInfoCurrentCueInfo},
    {53, "INFO_CODE_CUE_LIST_INFO", onInfoCueListInfo},
    {54, "INFO_CODE_CUE_USED", onInfoCueUsed},
    {55, "INFO_CODE_CUE_PURCHASED", onInfoCuePurchased},
    {56, "INFO_CODE_CUE_PARTS_FUSED", onInfoCuePartsFused},
    {57, "INFO_CODE_HTML_FILE", onInfoHtmlFile},
    {59, "INFO_CODE_CUE_URL_INFO", onInfoCueUrlInfo},
    {63, "RECORDS_DATA", onInfoRecordsData},
    {65, "REPLAY_INFO", onInfoReplayInfo},
    {67, "EXIT_REPLAY_INFO", onInfoExitReplayInfo},
    {69, "INFO_CODE_REPLAY_SEARCH_DATA", onInfoReplaySearchData},
    {70, "INFO_CODE_REPLAY_TOP20_INFO", onInfoReplayTop20Info},
    {71, "INFO_CODE_REPLAY_FAV_IDS_INFO", onInfoReplayFavIdsInfo},
    {73, "INFO_CODE_REPLAY_FETCH_FAVPUB_DATA", onInfoReplayFetchFavpubData},
    {77, "INFO_CODE_REPLAY_SETTINGS_INFO", onInfoReplaySettingsInfo},
    {80, "REPLAY_MARKED_SHOTS", onInfoReplayMarkedShots},
    {81, "INFO_CODE_BZLOG", onInfoBzlog},
    {82, "INFO_CODE_POLL_DATA", onInfoPollData},
    {85, "INFO_CODE_VIDEO_INFO", onInfoVideoInfo},
    {86, "USER_INFO", onInfoUserInfo},
    {87, "MUTED_USERS", onInfoMutedUsers},
    {88, "FRIENDS", onInfoFriends},
    {89, "LOBBY_NAMES", onInfoLobbyNames},
    {92, "BIO_DATA_USER_TYPE", onInfoBioDataUserType},
    {96, "OPEN_URL", onInfoOpenUrl},
    {98, "DAILY_STATS", onInfoDailyStats},
};

// Code -> route, for the codes 0..MAX_INFO_CODE.
const std::array<const InfoRoute*, MAX_INFO_CODE + 1>& routeTable() {
    static const std::array<const InfoRoute*, MAX_INFO_CODE + 1> table = [] {
        std::array<const InfoRoute*, MAX_INFO_CODE + 1> built{};
        for (const InfoRoute& route : kRoutes) built[route.code] = &route;
        return built;
    }();
    return table;
}

}  // namespace

const InfoRoute* findInfoRoute(int32_t code) {
    if (code < 0 || code > MAX_INFO_CODE) return nullptr;
    return routeTable()[code];
}

int infoRouteCount() { return static_cast<int>(sizeof(kRoutes) / sizeof(kRoutes[0])); }

void logInfoReceived(const Message& message) {
    const InfoRoute* route = findInfoRoute(message.infoCode);
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: " << (route != nullptr ? route->name : "?"));
}

void dispatchInfo(GameHandler& gh, const Message& message) {
    if (const InfoRoute* route = findInfoRoute(message.infoCode)) {
        route->handler(gh, message);
        return;
    }
    BZ_LOG(LOG_ERROR, "processMessage", "Unknown INFO message code: " << message.infoCode);
}
