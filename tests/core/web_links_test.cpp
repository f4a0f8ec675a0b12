#include "core/web_links.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/log.h"
#include "support/captured_log.h"

namespace fs = std::filesystem;

TEST(WebLinksTest, EveryLinkCodeMapsToItsAddress) {
    const std::pair<const char*, const char*> links[] = {
        {"help", "https://www.baizeron.example/play-snooker"},
        {"rankings", "https://www.baizeron.example/snooker-rankings"},
        {"website", "https://www.baizeron.example/"},
        {"forum", "https://forum.baizeron.example/"},
        {"report-a-problem", "https://www.baizeron.example/contact"},
        {"tournaments", "https://www.baizeron.example/snooker-tournaments"},
        {"tutorial-3", "https://www.baizeron.example/play-snooker#tut_3"},
        {"tutorial-", "https://www.baizeron.example/play-snooker#tut_"},
        {"tutorial-cue ball", "https://www.baizeron.example/play-snooker#tut_cue ball"},
        {"download", "https://baizeron.example/download-snooker-game"},
        {"topstats-prohb", "https://baizeron.example/topstats?ts=2"},
        {"topstats-clubhb", "https://baizeron.example/topstats?ts=5"},
        {"topstats-matchwins", "https://baizeron.example/topstats?ts=7"},
        {"topstats-framewins", "https://baizeron.example/topstats?ts=8"},
        {"https://elsewhere.example/a?b=\"c\"", "https://elsewhere.example/a?b=\"c\""},
        {"http://elsewhere.example/", "http://elsewhere.example/"},
    };
    for (const auto& [code, url] : links) EXPECT_EQ(webLinkForCode(code), url) << code;
}

TEST(WebLinksTest, HostsAreReservedExampleNames) {
    for (const char* host : {WebLinks::mainHost, WebLinks::bareDomain, WebLinks::forumHost}) {
        std::string name = host;
        EXPECT_EQ(name.substr(name.size() - 8), ".example") << name;
    }
    EXPECT_EQ(std::string(WebLinks::urlTutorialSuffix), "");
}

TEST(WebLinksTest, AnyOtherCodeIsRefusedWithAnErrorLine) {
    bztest::CapturedLog log("bzweblinks");
    for (const char* code : {"Rankings", "ftp://files.example/", "", "rankings ", "https:/x"}) {
        EXPECT_EQ(webLinkForCode(code), "") << code;
    }
    const std::string text = log.text();
    EXPECT_NE(text.find("lobbyBrowseExternal: ERROR: Invalid urlCode: Rankings\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Invalid urlCode: ftp://files.example/\n"), std::string::npos);
}
