// The query dispatcher over the whole request vocabulary: each name reaches its own request method
// with the keys read by type, and every query, known or not, well-formed or not, gets {"result":0}.
#include "ui/query_dispatcher.h"

#include "client/gamehandler/game_handler.h"
#include "support/captured_log.h"
#include "ui/engine/web_json.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace {

std::string join() { return ""; }
template <class T, class... Rest>
std::string join(const T& first, const Rest&... rest) {
    std::ostringstream out;
    out << first;
    ((out << "," << rest), ...);
    return out.str();
}

// Records each call as "name(arg,arg,...)" instead of acting on it.
class RecordingRequests : public HtmlRequests {
public:
    std::vector<std::string> calls;
    template <class... A>
    void rec(const char* name, const A&... args) {
        calls.push_back(std::string(name) + "(" + join(args...) + ")");
    }

    void titleBarMoveWindow() override { rec("titleBarMoveWindow"); }
    void titleBarMinimize() override { rec("titleBarMinimize"); }
    void titleBarMaximize() override { rec("titleBarMaximize"); }
    void titleBarClose() override { rec("titleBarClose"); }
    void loginForgotDetails() override { rec("loginForgotDetails"); }
    void loginRegister() override { rec("loginRegister"); }
    void loginPlayOffline() override { rec("loginPlayOffline"); }
    void loginUpdate() override { rec("loginUpdate"); }
    void loginEnterLobby(const std::string& s, const std::string& u, const std::string& p, bool r) override {
        rec("loginEnterLobby", s, u, p, r);
    }
    void lobbyPlayTable(int t) override { rec("lobbyPlayTable", t); }
    void lobbyWatchTable(int t) override { rec("lobbyWatchTable", t); }
    void lobbyAvailability(const std::string& a) override { rec("lobbyAvailability", a); }
    void lobbySendChatText(const std::string& t) override { rec("lobbySendChatText", t); }
    void lobbyLogout() override { rec("lobbyLogout"); }
    void lobbyOpenGameSettings() override { rec("lobbyOpenGameSettings"); }
    void lobbyOpenMyAccount() override { rec("lobbyOpenMyAccount"); }
    void lobbyOpenPlayerBio(const std::string& u) override { rec("lobbyOpenPlayerBio", u); }
    void lobbyBrowseExternal(const std::string& c) override { rec("lobbyBrowseExternal", c); }
    void startMatchStart() override { rec("startMatchStart"); }
    void startMatchStartSingle() override { rec("startMatchStartSingle"); }
    void startMatchUnstart() override { rec("startMatchUnstart"); }
    void startMatchJoin() override { rec("startMatchJoin"); }
    void startMatchWatch() override { rec("startMatchWatch"); }
    void startMatchLeaveTable() override { rec("startMatchLeaveTable"); }
    void coinTossIWillStart(bool b) override { rec("coinTossIWillStart", b); }
    void buttonPress(const std::string& n, int i, const std::string& s) override { rec("buttonPress", n, i, s); }
    void bottomBoxToggle(bool b) override { rec("bottomBoxToggle", b); }
    void bottomBoxLeaveTable() override { rec("bottomBoxLeaveTable"); }
    void bottomBoxViewMode(const std::string& r, const std::string& v) override { rec("bottomBoxViewMode", r, v); }
    void bottomBoxViewModePOV() override { rec("bottomBoxViewModePOV"); }
    void bottomBoxOpenPeople() override { rec("bottomBoxOpenPeople"); }
    void bottomBoxSendChatText(const std::string& t) override { rec("bottomBoxSendChatText", t); }
    void bottomBoxChatTextIsEmpty(bool b) override { rec("bottomBoxChatTextIsEmpty", b); }
    void bottomBoxAvailability(const std::string& a) override { rec("bottomBoxAvailability", a); }
    void bottomBoxOpenGameSettings() override { rec("bottomBoxOpenGameSettings"); }
    void bottomBoxOpenMatchSettings() override { rec("bottomBoxOpenMatchSettings"); }
    void bottomBoxConcede() override { rec("bottomBoxConcede"); }
    void bottomBoxPopup(const std::string& e, const std::string& w) override { rec("bottomBoxPopup", e, w); }
    void bottomBoxRerackConfirmed() override { rec("bottomBoxRerackConfirmed"); }
    void bottomBoxRerackAccepted() override { rec("bottomBoxRerackAccepted"); }
    void bottomBoxRerackDeclined() override { rec("bottomBoxRerackDeclined"); }
    void bottomBoxAbortMatchConfirmed() override { rec("bottomBoxAbortMatchConfirmed"); }
    void bottomBoxAbortMatchAccepted() override { rec("bottomBoxAbortMatchAccepted"); }
    void bottomBoxAbortMatchDeclined() override { rec("bottomBoxAbortMatchDeclined"); }
    void bottomBoxChangePrivacy(int p) override { rec("bottomBoxChangePrivacy", p); }
    void gameSettingsClose() override { rec("gameSettingsClose"); }
    void gameSettingsReset() override { rec("gameSettingsReset"); }
    void gameSettingsSave(GameSettings s) override {
        saved = s;
        rec("gameSettingsSave", s.ballVolume, s.fps, s.lobbyWidth);
    }
    void matchSettingsClose() override { rec("matchSettingsClose"); }
    void matchSettingsReset() override { rec("matchSettingsReset"); }
    void matchSettingsSave(const MatchSettings& m) override {
        rec("matchSettingsSave", m.difficulty, m.gameType, m.matchLength, m.autoConcedeLimit, m.arena, m.shotTimeLimit);
    }
    void myAccountClose() override { rec("myAccountClose"); }
    void myAccountSave(const AccountRecord& a) override {
        rec("myAccountSave", a.country, a.aboutMe, a.prefTableType, a.prefBestOf, a.prefMaxPointsBehind, a.prefArena,
            a.prefMaxShotTime);
    }
    void bioClose() override { rec("bioClose"); }
    void peopleWhisper(const std::string& u) override { rec("peopleWhisper", u); }
    void peopleClose() override { rec("peopleClose"); }
    void genericHtmlStarted(const std::string& h) override { rec("genericHtmlStarted", h); }

    GameSettings saved;
};

struct Case {
    const char* query;
    const char* call;
};

// One row per request name, in dispatch order, with every key the request reads.
const Case kTable[] = {
    {R"({"requestName":"titleBarMoveWindow"})", "titleBarMoveWindow()"},
    {R"({"requestName":"titleBarMinimize"})", "titleBarMinimize()"},
    {R"({"requestName":"titleBarMaximize"})", "titleBarMaximize()"},
    {R"({"requestName":"titleBarClose"})", "titleBarClose()"},
    {R"({"requestName":"loginForgotDetails"})", "loginForgotDetails()"},
    {R"({"requestName":"loginRegister"})", "loginRegister()"},
    {R"({"requestName":"loginPlayOffline"})", "loginPlayOffline()"},
    {R"({"requestName":"loginUpdate"})", "loginUpdate()"},
    {R"({"requestName":"loginEnterLobby","servername":"Main","username":"ann","password":"pw","rememberme":true})",
     "loginEnterLobby(Main,ann,pw,1)"},
    {R"({"requestName":"lobbyPlayTable","tablenumber":12})", "lobbyPlayTable(12)"},
    {R"({"requestName":"lobbyWatchTable","tablenumber":-3})", "lobbyWatchTable(-3)"},
    {R"({"requestName":"lobbyAvailability","availCode":"away"})", "lobbyAvailability(away)"},
    {R"({"requestName":"lobbySendChatText","chatText":"hi all"})", "lobbySendChatText(hi all)"},
    {R"({"requestName":"lobbyLogout"})", "lobbyLogout()"},
    {R"({"requestName":"lobbyOpenGameSettings"})", "lobbyOpenGameSettings()"},
    {R"({"requestName":"lobbyOpenMyAccount"})", "lobbyOpenMyAccount()"},
    {R"({"requestName":"lobbyOpenPlayerBio","userName":"bob"})", "lobbyOpenPlayerBio(bob)"},
    {R"({"requestName":"lobbyBrowseExternal","urlCode":"forum"})", "lobbyBrowseExternal(forum)"},
    {R"({"requestName":"startMatchStart"})", "startMatchStart()"},
    {R"({"requestName":"startMatchStartSingle"})", "startMatchStartSingle()"},
    {R"({"requestName":"startMatchUnstart"})", "startMatchUnstart()"},
    {R"({"requestName":"startMatchJoin"})", "startMatchJoin()"},
    {R"({"requestName":"startMatchWatch"})", "startMatchWatch()"},
    {R"({"requestName":"startMatchLeaveTable"})", "startMatchLeaveTable()"},
    {R"({"requestName":"coinTossIWillStart","iWillStart":true})", "coinTossIWillStart(1)"},
    {R"({"requestName":"buttonPress","buttonInfo":"user-info","idata1":4,"sdata1":"eve"})", "buttonPress(user-info,4,eve)"},
    {R"({"requestName":"bottomBoxToggle","isFullSize":false})", "bottomBoxToggle(0)"},
    {R"({"requestName":"bottomBoxLeaveTable"})", "bottomBoxLeaveTable()"},
    {R"({"requestName":"bottomBoxViewMode","role":"player","viewMode":"t"})", "bottomBoxViewMode(player,t)"},
    {R"({"requestName":"bottomBoxViewModePOV"})", "bottomBoxViewModePOV()"},
    {R"({"requestName":"bottomBoxOpenPeople"})", "bottomBoxOpenPeople()"},
    {R"({"requestName":"bottomBoxSendChatText","chatText":"gg"})", "bottomBoxSendChatText(gg)"},
    {R"({"requestName":"bottomBoxChatTextIsEmpty","isEmpty":true})", "bottomBoxChatTextIsEmpty(1)"},
    {R"({"requestName":"bottomBoxAvailability","availCode":"dnd"})", "bottomBoxAvailability(dnd)"},
    {R"({"requestName":"bottomBoxOpenGameSettings"})", "bottomBoxOpenGameSettings()"},
    {R"({"requestName":"bottomBoxOpenMatchSettings"})", "bottomBoxOpenMatchSettings()"},
    {R"({"requestName":"bottomBoxConcede"})", "bottomBoxConcede()"},
    {R"({"requestName":"bottomBoxPopup","event":"foul","what":"retake"})", "bottomBoxPopup(foul,retake)"},
    {R"({"requestName":"bottomBoxRerackConfirmed"})", "bottomBoxRerackConfirmed()"},
    {R"({"requestName":"bottomBoxRerackAccepted"})", "bottomBoxRerackAccepted()"},
    {R"({"requestName":"bottomBoxRerackDeclined"})", "bottomBoxRerackDeclined()"},
    {R"({"requestName":"bottomBoxAbortMatchConfirmed"})", "bottomBoxAbortMatchConfirmed()"},
    {R"({"requestName":"bottomBoxAbortMatchAccepted"})", "bottomBoxAbortMatchAccepted()"},
    {R"({"requestName":"bottomBoxAbortMatchDeclined"})", "bottomBoxAbortMatchDeclined()"},
    {R"({"requestName":"bottomBoxChangePrivacy","privacy":2})", "bottomBoxChangePrivacy(2)"},
    {R"({"requestName":"gameSettingsClose"})", "gameSettingsClose()"},
    {R"({"requestName":"gameSettingsReset"})", "gameSettingsReset()"},
    {R"({"requestName":"gameSettingsSave","ballVolume":40,"fps":59.94,"lobbyWidth":2})", "gameSettingsSave(40,59.94,2)"},
    {R"({"requestName":"matchSettingsClose"})", "matchSettingsClose()"},
    {R"({"requestName":"matchSettingsReset"})", "matchSettingsReset()"},
    {R"({"requestName":"matchSettingsSave","difficulty":1,"gameType":2,"matchLength":3,"autoConcedeLimit":4,"arena":5,"shotTimeLimit":6})",
     "matchSettingsSave(1,2,3,4,5,6)"},
    {R"({"requestName":"myAccountClose"})", "myAccountClose()"},
    {R"({"requestName":"myAccountSave","country":"GB","aboutMe":"me","prefTableType":"1","prefBestOf":"3","prefMaxPointsBehind":"40","prefArena":"2","prefMaxShotTime":"60"})",
     "myAccountSave(GB,me,1,3,40,2,60)"},
    {R"({"requestName":"bottomBoxOpenPlayerBio","userName":"bob"})", "lobbyOpenPlayerBio(bob)"},
    {R"({"requestName":"bioClose"})", "bioClose()"},
    {R"({"requestName":"peopleWhisper","username":"zed"})", "peopleWhisper(zed)"},
    {R"({"requestName":"peopleClose"})", "peopleClose()"},
    {R"({"requestName":"genericHtmlStarted","htmlId":"Lobby"})", "genericHtmlStarted(Lobby)"},
};

TEST(QueryDispatcher, EveryRequestNameReachesItsMethodWithItsKeysAndIsAnswered) {
    ASSERT_EQ(std::size(kTable), 58u);
    std::set<std::string> names;
    for (const Case& c : kTable) {
        SCOPED_TRACE(c.query);
        RecordingRequests r;
        EXPECT_EQ(dispatchHtmlQuery(c.query, r), "{\"result\":0}");
        EXPECT_EQ(r.calls, std::vector<std::string>{c.call});
        names.insert(bzweb::ParseJson(c.query)->at("requestName").get<std::string>());
    }
    // The table above covers every name the dispatcher knows, each once.
    EXPECT_EQ(names.size(), 58u);
    const std::vector<std::string> known = htmlRequestNames();
    EXPECT_EQ(std::set<std::string>(known.begin(), known.end()), names);
}

TEST(QueryDispatcher, MissingOrMistypedKeysReadAsEmptyZeroOrFalse) {
    const Case cases[] = {
        {R"({"requestName":"lobbyPlayTable"})", "lobbyPlayTable(0)"},
        {R"({"requestName":"lobbyPlayTable","tablenumber":"7"})", "lobbyPlayTable(0)"},
        {R"({"requestName":"lobbyPlayTable","tablenumber":7.5})", "lobbyPlayTable(0)"},
        {R"({"requestName":"lobbyPlayTable","tablenumber":99999999999})", "lobbyPlayTable(0)"},
        {R"({"requestName":"coinTossIWillStart","iWillStart":1})", "coinTossIWillStart(0)"},
        {R"({"requestName":"peopleWhisper","username":42})", "peopleWhisper()"},
        {R"({"requestName":"loginEnterLobby","servername":null})", "loginEnterLobby(,,,0)"},
        {R"({"requestName":"peopleClose","unrelated":[1,2]})", "peopleClose()"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        RecordingRequests r;
        EXPECT_EQ(dispatchHtmlQuery(c.query, r), "{\"result\":0}");
        EXPECT_EQ(r.calls, std::vector<std::string>{c.call});
    }
}

TEST(QueryDispatcher, ButtonPressReadsIdata1AndSdata1OnlyForTheButtonsThatCarryThem) {
    const Case cases[] = {
        {R"({"requestName":"buttonPress","buttonInfo":"poll-vote","idata1":3,"sdata1":"x"})", "buttonPress(poll-vote,3,)"},
        {R"({"requestName":"buttonPress","buttonInfo":"add-friend","idata1":3,"sdata1":"x"})", "buttonPress(add-friend,0,x)"},
        {R"({"requestName":"buttonPress","buttonInfo":"user-info","idata1":3,"sdata1":"x"})", "buttonPress(user-info,3,x)"},
        {R"({"requestName":"buttonPress","buttonInfo":"exit-game","idata1":3,"sdata1":"x"})", "buttonPress(exit-game,0,)"},
        {R"({"requestName":"buttonPress","buttonInfo":"chatUserAdd","idata1":9,"sdata1":"ann"})", "buttonPress(chatUserAdd,9,ann)"},
        {R"({"requestName":"buttonPress"})", "buttonPress(,0,)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        RecordingRequests r;
        dispatchHtmlQuery(c.query, r);
        EXPECT_EQ(r.calls, std::vector<std::string>{c.call});
    }
}

TEST(QueryDispatcher, UnknownNamesAndMalformedQueriesReachNoHandlerAndAreStillAnswered) {
    bztest::CapturedLog log("bzquery");
    const char* queries[] = {
        R"({"requestName":"PeopleClose"})",       // letter case differs
        R"({"requestName":"peopleclose"})",
        R"({"requestName":""})",
        R"({"requestName":7})",                   // not a string: the empty name
        R"({"tablenumber":3})",                   // no name
        R"(["requestName","peopleClose"])",       // not an object
        R"("peopleClose")",
        R"(42)",
        R"(null)",
        R"({"requestName":"peopleClose")",        // cut short
        "",
        "\xff\xfe",
    };
    for (const char* q : queries) {
        SCOPED_TRACE(q);
        RecordingRequests r;
        EXPECT_EQ(dispatchHtmlQuery(q, r), "{\"result\":0}");
        EXPECT_TRUE(r.calls.empty());
    }
    EXPECT_EQ(log.count("ERROR: Invalid requestName: PeopleClose"), 1);
    EXPECT_EQ(log.count("Invalid requestName: "), 5);
    EXPECT_EQ(log.count("ERROR: request is not a JSON object"), 7);
}

TEST(QueryDispatcher, QueriesThatAreNotJsonObjectsAreLoggedWithTheirValuesMasked) {
    bztest::CapturedLog log("bzquery");
    const char* queries[] = {
        R"({"requestName":"loginEnterLobby","username":"ann","password":"s3cret-pw")",  // cut short
        R"({"requestName":"loginEnterLobby","password":"s3cret-pw",,})",
        R"(["s3cret-pw"])",
        "password=s3cret-pw",
        R"({"password":"s3cret-pw\"still)",
    };
    for (const char* q : queries) {
        RecordingRequests r;
        dispatchHtmlQuery(q, r);
    }
    EXPECT_EQ(log.count("s3cret"), 0);
    EXPECT_EQ(log.count(R"(request: "{"requestName":*****,"username":*****,"password":*****")"), 1);
}

TEST(QueryDispatcher, GameSettingsSaveKeepsWhatThePageLeavesOutOrMistypes) {
    GameSettings current;
    current.ballVolume = 55;
    current.unkeyedSetting = 1;
    current.crowdVolume = 70;
    getGameHandler().gameSettings = current;
    RecordingRequests r;
    dispatchHtmlQuery(R"({"requestName":"gameSettingsSave","fps":59.94,"refereeVolume":12,"crowdVolume":"9",)"
                      R"("unkeyedSetting":5,"vsync":0,"ballSounds":4294967296})",
                      r);
    EXPECT_FLOAT_EQ(r.saved.fps, 59.94f);
    EXPECT_EQ(r.saved.refereeVolume, 12);
    EXPECT_EQ(r.saved.vsync, 0);
    EXPECT_EQ(r.saved.ballVolume, 55);     // absent
    EXPECT_EQ(r.saved.crowdVolume, 70);    // a string, not a number
    EXPECT_EQ(r.saved.ballSounds, current.ballSounds);  // does not fit
    EXPECT_EQ(r.saved.unkeyedSetting, 1);  // never the page's
    getGameHandler().gameSettings = GameSettings{};
}

}  // namespace
