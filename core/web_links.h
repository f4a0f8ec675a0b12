// The addresses of the game's web site that the client opens in the desktop browser.
#pragma once

#include <string>

// The site's three hosts: its main host, its bare domain and its forum host.
#define BZ_WEB_MAIN_HOST "www.baizeron.example"
#define BZ_WEB_BARE_DOMAIN "baizeron.example"
#define BZ_WEB_FORUM_HOST "forum.baizeron.example"

namespace WebLinks {

inline constexpr char mainHost[] = BZ_WEB_MAIN_HOST;
inline constexpr char bareDomain[] = BZ_WEB_BARE_DOMAIN;
inline constexpr char forumHost[] = BZ_WEB_FORUM_HOST;

inline constexpr char urlRankings[] = "https://" BZ_WEB_MAIN_HOST "/snooker-rankings";
inline constexpr char urlHome[] = "https://" BZ_WEB_MAIN_HOST "/";
inline constexpr char urlForum[] = "https://" BZ_WEB_FORUM_HOST "/";
inline constexpr char urlContact[] = "https://" BZ_WEB_MAIN_HOST "/contact";
inline constexpr char urlTournaments[] = "https://" BZ_WEB_MAIN_HOST "/snooker-tournaments";
// A tutorial's address is the prefix, the topic and the suffix.
inline constexpr char urlTutorialPrefix[] = "https://" BZ_WEB_MAIN_HOST "/play-snooker#tut_";
inline constexpr char urlTutorialSuffix[] = "";
inline constexpr char urlDownload[] = "https://" BZ_WEB_BARE_DOMAIN "/download-snooker-game";
inline constexpr char urlTopStatsProHb[] = "https://" BZ_WEB_BARE_DOMAIN "/topstats?ts=2";
inline constexpr char urlTopStatsClubHb[] = "https://" BZ_WEB_BARE_DOMAIN "/topstats?ts=5";
inline constexpr char urlTopStatsMatchWins[] = "https://" BZ_WEB_BARE_DOMAIN "/topstats?ts=7";
inline constexpr char urlTopStatsFrameWins[] = "https://" BZ_WEB_BARE_DOMAIN "/topstats?ts=8";
// "help" opens this page, which has no constant of its own in the list above.
inline constexpr char urlHelp[] = "https://" BZ_WEB_MAIN_HOST "/play-snooker";

}  // namespace WebLinks

// The address for a page's link code: a listed code, "tutorial-" and a topic, or an http(s) address
// as it stands. Any other code gives the empty text and the error line "Invalid urlCode: " + code.
std::string webLinkForCode(const std::string& urlCode);
