#include "core/web_links.h"

#include "core/log.h"

namespace {

struct LinkCode {
    const char* code;
    const char* url;
};

// Walked in order; the tutorial codes come between "tournaments" and "download".
constexpr LinkCode kLeadingCodes[] = {
    {"help", WebLinks::urlHelp},
    {"rankings", WebLinks::urlRankings},
    {"website", WebLinks::urlHome},
    {"forum", WebLinks::urlForum},
    {"report-a-problem", WebLinks::urlContact},
    {"tournaments", WebLinks::urlTournaments},
};

constexpr LinkCode kTrailingCodes[] = {
    {"download", WebLinks::urlDownload},
    {"topstats-prohb", WebLinks::urlTopStatsProHb},
    {"topstats-clubhb", WebLinks::urlTopStatsClubHb},
    {"topstats-matchwins", WebLinks::urlTopStatsMatchWins},
    {"topstats-framewins", WebLinks::urlTopStatsFrameWins},
};

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::string webLinkForCode(const std::string& urlCode) {
    for (const LinkCode& link : kLeadingCodes) {
        if (urlCode == link.code) return link.url;
    }
    const std::string tutorial = "tutorial-";
    if (startsWith(urlCode, tutorial)) {
        return WebLinks::urlTutorialPrefix + urlCode.substr(tutorial.size()) + WebLinks::urlTutorialSuffix;
    }
    for (const LinkCode& link : kTrailingCodes) {
        if (urlCode == link.code) return link.url;
    }
    // A listed word always maps through the table above, so this test comes last.
    if (startsWith(urlCode, "https://") || startsWith(urlCode, "http://")) return urlCode;
    BZ_LOG(LOG_ERROR, "lobbyBrowseExternal", "Invalid urlCode: " << urlCode);
    return "";
}
