// Every page, loaded as the client loads it, reports its start once, defines every function the client
// calls and takes every statement the client sends without a script error.
#include "page_harness.h"
#include "page_statements.h"

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace pagetest {
namespace {

// The page functions a page's statements call: every inbz name plus the other names the client uses.
std::set<std::string> FunctionsCalled(const std::vector<std::string>& statements) {
    static const std::set<std::string> others = {"focusUserName", "logout", "loginErrorNotice", "connectionNotice", "setCredentials",
                                                 "updateLobbies", "loadingDone", "asPlayerTwoPlayersStarted",
                                                 "asPlayerTwoPlayersNoStart", "asViewerTwoPlayers", "asPlayerOnePlayer",
                                                 "asViewerZeroOrOnePlayer", "refreshPlayerControls", "sendButtonPress",
                                                 "focusChat", "$"};
    std::set<std::string> names;
    std::regex call(R"(([A-Za-z_$][A-Za-z0-9_]*)\s*\()");
    for (const std::string& s : statements) {
        for (std::sregex_iterator it(s.begin(), s.end(), call), end; it != end; ++it) {
            std::string n = (*it)[1];
            if (n.rfind("inbz", 0) == 0 || others.count(n)) names.insert(n);
        }
    }
    return names;
}

class PageContractTest : public PageTest {};

// The README's "How to play": its first line, then each bullet as [title, text] split at its first
// ": ", lines joined and the bold marks dropped.
Json HowToPlay() {
    std::ifstream in(std::string(BZ_SOURCE_DIR) + "/README.md");
    std::stringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    const size_t from = text.find("## How to play\n");
    if (from == std::string::npos) return Json();
    std::istringstream section(text.substr(from, text.find("\n## ", from + 1) - from));
    std::string line, intro;
    std::vector<std::string> bullets;
    std::getline(section, line);
    while (std::getline(section, line)) {
        if (line.rfind("- ", 0) == 0) bullets.push_back(line.substr(2));
        else if (!line.empty() && !bullets.empty()) bullets.back() += " " + line.substr(line.find_first_not_of(' '));
        else if (!line.empty() && intro.empty()) intro = line;
    }
    Json rows = Json::array();
    for (std::string b : bullets) {
        b = std::regex_replace(b, std::regex(R"(\*\*)"), "");
        const size_t colon = b.find(": ");
        rows.push_back(Json::array({b.substr(0, colon), b.substr(colon + 2)}));
    }
    return Json::array({intro, rows});
}

TEST_F(PageContractTest, TheControlsPanelListsWhatTheReadmeSaysHowToPlay) {
    View& bio = Open("BioTut");
    ASSERT_EQ(Run(bio, "inbzOpenCtr();"), "");
    const Json readme = HowToPlay();
    ASSERT_TRUE(readme.is_array() && readme[1].size() >= 5) << readme.dump();
    EXPECT_EQ(Eval(bio, "[document.getElementById('ctr_intro').textContent, Array.from(document.querySelectorAll('#ctr_rows tr'))"
                        ".map(function (r) { return Array.from(r.cells).map(function (c) { return c.textContent; }); })]"),
              readme);
}

TEST_F(PageContractTest, EveryPageStartsOnceDefinesItsFunctionsAndTakesTheClientsStatements) {
    // All fifteen at once, in the client's order, as the start-up loads them.
    for (const PageInfo& p : Pages()) Open(p.htmlId);
    PumpFor(300);
    for (auto& vp : views_) {
        View& v = *vp;
        SCOPED_TRACE(v.info.htmlId);
        EXPECT_EQ(Started(v), 1);
        const auto& statements = ContractStatements().at(v.info.htmlId);
        for (const std::string& name : FunctionsCalled(statements)) {
            EXPECT_EQ(Eval(v, "typeof window['" + name + "']"), "function") << name;
        }
        for (const std::string& s : statements) EXPECT_EQ(Run(v, s), "") << s;
        // Nothing the statements did may navigate the page away or report a second start.
        PumpFor(100);
        EXPECT_EQ(Started(v), 1);
        EXPECT_EQ(v.browser->GetMainFrame()->GetURL(), Url(v.info.path));
    }
}

TEST_F(PageContractTest, AStatementThatFailsInOneCallLeavesTheCallsJoinedAfterItWorking) {
    // Values of the wrong shape reach the page from the server; the next call of the same statement
    // must still run, so no page function may throw.
    View& lobby = Open("Lobby");
    EXPECT_NE(Run(lobby, "inbzNoSuchFunction();"), "");
    EXPECT_NE(Run(lobby, "inbzUserInfo([);"), "");
    EXPECT_EQ(Run(lobby, "inbzTableInfo(null);inbzUserInfo('x');inbzUpdatePoll(5);inbzAddTextToChat();"
                         "inbzChatControl({cmd: 'chatHistoryAdd',str: 'after',});"), "");
    EXPECT_EQ(Eval(lobby, "document.getElementById('main_chat_entries').textContent.indexOf('after') >= 0"), true);
    View& bottom = Open("BottomBox");
    EXPECT_EQ(Run(bottom, "inbzUpdateGameStatus('x');inbzSetReplayBreaks({});inbzStartShotTimer({player: 7,timerSeconds: 5,});"
                          "inbzUpdatePlayerNames({player1: 'Ada',player2: 'Cy',});"), "");
    EXPECT_EQ(Eval(bottom, "document.getElementById('name1').textContent"), "Cy");
}

TEST_F(PageContractTest, APageWhoseScriptBreaksOffStillReportsItsStartSoTheNextWindowsLoad) {
    std::string text = ArchiveText("res/tasks.html");
    size_t at = text.find("bz.closer(");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 10, "bz.nothing(");
    View& v = OpenText("Tasks", text);
    PumpFor(300);
    EXPECT_EQ(Started(v), 1);
    EXPECT_EQ(Eval(v, "bz.errors.length > 0"), true);
}

TEST_F(PageContractTest, PagesAreTransparentOutsideTheirContentAndLoadNothingFromTheNetwork) {
    View& alerts = Open("Alerts");
    View& top = Open("TopBox");
    View& dialog = Open("Tasks");
    Settle(alerts);
    Settle(top);
    Settle(dialog);
    // A closed alert draws nothing; an empty top bar draws nothing; a dialog's rounded corner is clear.
    EXPECT_EQ(alerts.render->Pixel(220, 245)[3], 0);
    EXPECT_EQ(top.render->Pixel(512, 19)[3], 0);
    EXPECT_EQ(dialog.render->Pixel(0, 0)[3], 0);
    EXPECT_GT(dialog.render->Pixel(220, 300)[3], 200);

    // Every link of every page points beside the pages, and the style, script and fonts load from there.
    for (const PageInfo& p : Pages()) {
        View& v = p.htmlId == std::string("Alerts") ? alerts : p.htmlId == std::string("TopBox") ? top
                : p.htmlId == std::string("Tasks") ? dialog : Open(p.htmlId);
        SCOPED_TRACE(p.htmlId);
        Json urls = Eval(v, "Array.prototype.map.call(document.querySelectorAll('[src],[href]'), function (e) { return e.src || e.href; })");
        ASSERT_TRUE(urls.is_array());
        for (const Json& u : urls) EXPECT_EQ(u.get<std::string>().rfind("file://" + std::string(BZ_APP_DIR) + "/res/", 0), 0u) << u;
        EXPECT_EQ(Eval(v, "getComputedStyle(document.body).fontFamily.indexOf('BzSans') >= 0 && typeof bz"), "object");
        EXPECT_EQ(Eval(v, "Promise.all([document.fonts.load('13px BzSans'), document.fonts.load('13px BzIcons')])"
                          ".then(function (f) { return f[0].length + f[1].length; })"), 2);
    }
}

TEST_F(PageContractTest, NumbersAndTimesAreWrittenForPeople) {
    View& v = Open("TopBox");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"bz.fmtInt(1234567)", "1,234,567"}, {"bz.fmtInt(-45)", "\u2212" "45"}, {"bz.fmtInt('x')", "0"},
        {"bz.fmtSeconds(0)", "0:00"}, {"bz.fmtSeconds(75)", "1:15"}, {"bz.fmtSeconds(3725)", "1:02:05"},
        {"bz.fmtSeconds(-3)", "0:00"}, {"bz.fmtMs(612000)", "10:12"}, {"bz.fmtCountdown(125)", "2:05"},
        {"bz.fmtCountdown(7300)", "2 h 01 min"}, {"bz.fmtCountdown(90000)", "1 d 1 h"},
        {"bz.plural(1, 'frame')", "1 frame"}, {"bz.plural(3, 'frame')", "3 frames"}, {"bz.plural(1200, 'player')", "1,200 players"},
    };
    for (const auto& [expression, text] : cases) EXPECT_EQ(Eval(v, expression), text) << expression;
    // The top bar's frame rate is a whole number and disappears at 0.
    EXPECT_EQ(Run(v, "inbzSetFps({fps:59.6667});"), "");
    EXPECT_EQ(Eval(v, "document.getElementById('fps').textContent"), "60 fps");
    EXPECT_EQ(Run(v, "inbzSetFps({fps:0});"), "");
    EXPECT_EQ(Eval(v, "document.getElementById('fps').classList.contains('hidden')"), true);
}

TEST_F(PageContractTest, TheStartUpMembersLieAtTheirArchivePositions) {
    const ArchiveIndex& index = ArchiveIndex::instance();
    for (size_t i = 0; i < Pages().size(); ++i) {
        EXPECT_EQ(index.nameAt(25 + i), index.digestName(Pages()[i].path)) << Pages()[i].path;
    }
    EXPECT_EQ(index.nameAt(65), index.digestName("res/vidoda0.html"));
    EXPECT_EQ(index.nameAt(66), index.digestName("res/bz.js"));
    // The bootstrap page is a file beside the program and runs no script.
    std::string boot = ArchiveText("res/vidoda0.html");
    EXPECT_NE(boot.find("transparent"), std::string::npos);
    EXPECT_EQ(boot.find("<script"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(std::string(BZ_APP_DIR) + "/res/vidoda0.html"));
}

}  // namespace
}  // namespace pagetest
