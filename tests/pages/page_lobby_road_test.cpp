// What a player meets in the lobby and at the table's pages: the table list kept whole across
// updates of single tables, table names without their options, the line-up offered again in
// practice, each person once in People, the start page's words for a seated player,
// questions that leave the chat input free, a replay that asks nothing and shows neither the live
// table's viewers nor the last table's chat, panels with their fonts ready before they first show,
// one login request per click, a login form's notice that a lobby does not answer gone once it does,
// a bar that keeps nothing of the last session's table, and dialogs that close on their save.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>

#include "pages/page_harness.h"
#include "pages/page_statements.h"

namespace {

using namespace pagetest;

// The page's last paint over black, for people to look at.
void writePng(const TestRenderHandler& page, const std::string& name) {
    std::vector<uint8_t> rgb(size_t(page.paintWidth) * page.paintHeight * 3);
    for (size_t i = 0; i < size_t(page.paintWidth) * page.paintHeight; ++i) {
        const uint8_t* s = page.pixels.data() + i * 4;
        for (int c = 0; c < 3; ++c) rgb[i * 3 + c] = uint8_t(s[2 - c] * s[3] / 255);
    }
    std::filesystem::create_directories(BZ_ARTEFACTS);
    stbi_write_png((std::string(BZ_ARTEFACTS) + "/" + name + ".png").c_str(), page.paintWidth, page.paintHeight, 3,
                   rgb.data(), page.paintWidth * 3);
}

class PageLobbyRoadTest : public PageTest {};

std::string table(int id, const std::string& p1, const std::string& p2, const std::string& viewers,
                  const std::string& name = "") {
    return "{tableId:" + std::to_string(id) + ",tableName:'" + (name.empty() ? "Table " + std::to_string(id) : name) +
           "',tableType:1,gameType:1,gameState:0,bestOf:1,maxPointsBehind:0,maxShotTime:60,privacy:0,arena:0,"
           "framesWon1:0,framesWon2:0,player1:'" + p1 + "',player2:'" + p2 + "',viewers:[" + viewers + "]},";
}

TEST_F(PageLobbyRoadTest, AnUpdateOfOneTableKeepsTheOthers) {
    View& lobby = Open("Lobby");
    ASSERT_EQ(Run(lobby, kUserName + "inbzTableInfo([" + table(1, "", "", "") + table(2, "", "", "") + table(3, "", "", "") + "]);"), "");
    ASSERT_EQ(Run(lobby, "inbzTableInfo([" + table(2, "Ada", "", "") + "]);"), "");
    EXPECT_EQ(Eval(lobby, "document.getElementById('table_count').textContent"), "(3)");
    EXPECT_EQ(Eval(lobby, "document.querySelectorAll('#tables .tbl').length"), 3);
    EXPECT_NE(Eval(lobby, "document.querySelectorAll('#tables .tbl')[1].textContent").get<std::string>().find("Ada"),
              std::string::npos);
}

TEST_F(PageLobbyRoadTest, PeopleListsEachPersonAtTheTableOnce) {
    View& people = Open("People");
    ASSERT_EQ(Run(people, kUserName + "inbzTableInfo([" + table(1, "Ada", "Ada", "'Ada','Cy',") + "]);"), "");
    EXPECT_EQ(Eval(people, "Array.prototype.map.call(document.querySelectorAll('#list .user .nick'), function (e) { return e.textContent; })"),
              Json::parse(R"(["Ada","Cy"])"));
}

TEST_F(PageLobbyRoadTest, ATableNamesOptionsAreNotShownAndPracticeOffersTheLineUpAgain) {
    View& lobby = Open("Lobby");
    ASSERT_EQ(Run(lobby, kUserName + "inbzTableInfo([" + table(1, "", "", "", "(t3l12f)Club Night") +
                             table(2, "", "", "", "(abc") + table(3, "", "", "", "()") + "]);"), "");
    EXPECT_EQ(Eval(lobby, "Array.prototype.map.call(document.querySelectorAll('#tables .tbl .name'), function (e) { return e.textContent; })"),
              Json::parse(R"(["Club Night","(abc","Table 3"])"));

    View& bar = Open("BottomBox");
    const std::string shown = "!document.getElementById('b_lineup').classList.contains('hidden')";
    const struct {
        const char* statements;
        bool shown;
    } cases[] = {
        {"inbzUpdatePlayerNames({player1: 'Ada',player2: 'Ada',});", true},
        {"inbzLineUpNumber({lineUpNumber: 12});", false},
        {"inbzLineUpNumber({lineUpNumber: 10});", true},
        {"inbzUpdatePlayerNames({player1: 'Ada',player2: 'Cy',});", false},
    };
    ASSERT_EQ(Run(bar, kUserName + "inbzEnterTable();"), "");
    for (const auto& c : cases) {
        ASSERT_EQ(Run(bar, c.statements), "");
        EXPECT_EQ(Eval(bar, shown), c.shown) << c.statements;
    }
}

TEST_F(PageLobbyRoadTest, OnlyOneWhoLooksOnIsNextInLine) {
    View& start = Open("StartMatch");
    ASSERT_EQ(Run(start, "asPlayerOnePlayer(false, false, -1, true);"), "");
    EXPECT_EQ(Eval(start, "document.getElementById('text').textContent").get<std::string>().find("next in line"), std::string::npos);
    ASSERT_EQ(Run(start, "asPlayerTwoPlayersNoStart(false, false, -1, true);"), "");
    EXPECT_EQ(Eval(start, "document.getElementById('text').textContent").get<std::string>().find("next in line"), std::string::npos);
    ASSERT_EQ(Run(start, "asViewerTwoPlayers(false, false, -1, true);"), "");
    EXPECT_NE(Eval(start, "document.getElementById('text').textContent").get<std::string>().find("next in line"), std::string::npos);
}

TEST_F(PageLobbyRoadTest, AQuestionLeavesTheChatInputFreeInBothBarSizes) {
    View& bottom = Open("BottomBox");
    // The opponent's foul puts the choice to Ada, on turn.
    std::string foul = GameStatus(0, 31, 7);
    foul.replace(foul.find("foul: 0,"), 8, "foul: 1,");
    ASSERT_EQ(Run(bottom, kUserName + "inbzEnterTable();inbzUpdatePlayerNames({player1: 'Ada',player2: 'Cy',});" + foul), "");
    ASSERT_EQ(Eval(bottom, "document.querySelector('.pp .t').textContent"), "Foul by your opponent.");
    const std::string overlap =
        "(function () { var p = document.querySelector('.pp').getBoundingClientRect(),"
        " i = document.getElementById('chat_input').getBoundingClientRect();"
        " return [p.left < i.right && i.left < p.right && p.top < i.bottom && i.top < p.bottom, p.bottom]; })()";
    for (bool full : {true, false}) {
        SCOPED_TRACE(full ? "full bar" : "short bar");
        ASSERT_EQ(Run(bottom, std::string("inbzSetSize({isFullSize: ") + (full ? "true" : "false") + "});"), "");
        Settle(bottom);
        const Json r = Eval(bottom, overlap);
        ASSERT_TRUE(r.is_array()) << r.dump();
        EXPECT_EQ(r[0], false) << "the question covers the chat input";
        EXPECT_LE(r[1].get<double>(), full ? 280.0 : 130.0) << "the question runs past the bar";
        writePng(*bottom.render, full ? "question-full-bar" : "question-short-bar");
    }
}

// A replay's foul was answered when the frame was played: its watcher is asked nothing.
TEST_F(PageLobbyRoadTest, AReplayAsksNoFoulQuestion) {
    View& bottom = Open("BottomBox");
    std::string foul = GameStatus(0, 31, 7);
    foul.replace(foul.find("foul: 0,"), 8, "foul: 1,");
    ASSERT_EQ(Run(bottom, kUserName + "inbzEnterReplayMode();inbzInfoTableInfo({tableId: 3,tableType: 1});"
                                      "inbzUpdatePlayerNames({player1: 'Ada',player2: 'Cy',});" + foul), "");
    EXPECT_EQ(Eval(bottom, "document.querySelectorAll('.pp').length"), 0);
}

// Watched alone, a replay shows the table it was played at, but neither that table's viewers of
// now nor the chat of the table left before it.
TEST_F(PageLobbyRoadTest, AReplayShowsNoLiveViewersAndNoChatOfTheTableBefore) {
    View& bottom = Open("BottomBox");
    const std::string viewers = "document.getElementById('viewers').textContent";
    const std::string lines = "document.querySelectorAll('#chat > *').length";
    ASSERT_EQ(Run(bottom, kUserName + "inbzEnterTable();" + kTableInfo + "inbzInfoTableInfo({tableId: 3,tableType: 1});" + kChat), "");
    ASSERT_EQ(Eval(bottom, viewers), "Bo's");
    ASSERT_GT(Eval(bottom, lines).get<int>(), 0);
    ASSERT_EQ(Run(bottom, "inbzLobbyViewStarted();inbzEnterReplayMode();inbzInfoTableInfo({tableId: 3,tableType: 1});"
                          "inbzUpdatePlayerNames({player1: 'Ada',player2: 'Cy',});" + kTableInfo), "");
    EXPECT_EQ(Eval(bottom, viewers), "No viewers.");
    EXPECT_EQ(Eval(bottom, lines), 0);
    EXPECT_EQ(Eval(bottom, "document.getElementById('table_title').textContent").get<std::string>().rfind("Table 3", 0), 0u);
}

TEST_F(PageLobbyRoadTest, APanelsFontsAreLoadedBeforeItFirstShows) {
    for (const char* id : {"MatchStats", "People", "GameSettings"}) {
        SCOPED_TRACE(id);
        View& v = Open(id);
        const Json unloaded = Eval(v, "document.fonts.ready.then(function () { return Array.from(document.fonts)"
                                      ".filter(function (f) { return f.status !== 'loaded'; })"
                                      ".map(function (f) { return f.family + ' ' + f.weight; }); })");
        EXPECT_EQ(unloaded, Json::array()) << unloaded.dump();
    }
}

TEST_F(PageLobbyRoadTest, ALoginWithTheKeptCredentialsIsOneRequest) {
    View& login = Open("Login");
    ASSERT_EQ(Run(login, "updateLobbies([{name:\"Players Lounge\",version:\"2.1\",maxUsers:500,currentUsers:42}]);"
                         "setCredentials({username: 'ada', password: 'secret'});loadingDone();"),
              "");
    size_t mark = login.Mark();
    Key(login, 13);
    ASSERT_TRUE(PumpUntil([&] { return !login.Requests(mark).empty(); }));
    PumpFor(300);
    const auto sent = login.Requests(mark);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].value("servername", ""), "Players Lounge");
}

// A notice that no lobby, or the lobby chosen, answers goes once the list shows one that does; the
// notice of a lobby that does not answer stays while only others do, and other notices stay.
TEST_F(PageLobbyRoadTest, ANoticeThatALobbyDoesNotAnswerGoesOnceItAnswers) {
    View& login = Open("Login");
    auto listed = [](const std::string& name) {
        return "updateLobbies([{name:\"" + name + "\",version:\"2.1\",maxUsers:500,currentUsers:42}]);";
    };
    auto notice = [&] { return Eval(login, "document.getElementById('notice').textContent").get<std::string>(); };
    ASSERT_EQ(Run(login, "updateLobbies([],{tried:[\"127.0.0.1:42147\"]});"
                         "setCredentials({username: 'ada', password: 'secret'});loadingDone();"), "");
    Key(login, 13);
    ASSERT_TRUE(PumpUntil([&] { return !notice().empty(); }));
    EXPECT_EQ(notice(), "No lobby is reachable right now. Please try again in a moment.");
    ASSERT_EQ(Run(login, listed("New Lobby")), "");
    EXPECT_EQ(notice(), "");

    struct Case {
        std::string shown;
        std::string thenListed;
        bool stays;
    };
    const std::string gone = "connectionNotice({text:'Players Lounge does not answer right now. Please try again in a "
                             "moment.',lobby:'Players Lounge'});";
    const std::vector<Case> cases = {
        {gone, "New Lobby", true},
        {gone, "Players Lounge", false},
        {"connectionNotice({text:'Connection request when the connection is already alive'});", "Players Lounge", true},
        {"loginErrorNotice();", "Players Lounge", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown + " " + c.thenListed);
        ASSERT_EQ(Run(login, "logout();" + c.shown), "");
        const std::string before = notice();
        ASSERT_FALSE(before.empty());
        EXPECT_EQ(Eval(login, "document.getElementById('login').disabled"), false);
        ASSERT_EQ(Run(login, listed(c.thenListed)), "");
        EXPECT_EQ(notice(), c.stays ? before : "");
    }
}

// The bar of a new login names no table and no player of the session before it.
TEST_F(PageLobbyRoadTest, TheBarOfANewLoginKeepsNothingOfTheLastTable) {
    View& bottom = Open("BottomBox");
    ASSERT_EQ(Run(bottom, kUserName + "inbzEnterTable();inbzInfoTableInfo({tableId: 3,tableType: 1});"
                                      "inbzUpdatePlayerNames({player1: 'Ada',player2: 'Cy',});" + kLoginReset), "");
    EXPECT_EQ(Eval(bottom, "[document.getElementById('table_title').textContent, document.getElementById('name0')"
                           ".textContent, document.getElementById('name1').textContent].join()"), "Table,Free seat,Free seat");
}

TEST_F(PageLobbyRoadTest, EachSettingsSaveClosesItsDialog) {
    View& settings = Open("GameSettings");
    struct Case {
        const char* open;
        const char* save;
        const char* saved;
        const char* closed;
    } cases[] = {
        {"inbzOpenMatchSettings({isHost: 1,difficulty: 1,gameType: 1,matchLength: 3,autoConcedeLimit: 10,arena: 0,shotTimeLimit: 90,});",
         "#m_save", "matchSettingsSave", "matchSettingsClose"},
        {"inbzOpenMyAccount({country:'Wales',aboutMe:'x',prefTableType:'1',prefBestOf:'7',prefMaxPointsBehind:'',prefArena:'0',prefMaxShotTime:'60',});",
         "#a_save", "myAccountSave", "myAccountClose"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.save);
        ASSERT_EQ(Run(settings, c.open), "");
        const size_t mark = settings.Mark();
        ASSERT_TRUE(Click(settings, c.save));
        ASSERT_TRUE(PumpUntil([&] { return settings.Requests(mark).size() >= 2; }));
        const auto sent = settings.Requests(mark);
        EXPECT_EQ(sent[0].value("requestName", ""), c.saved);
        EXPECT_EQ(sent[1].value("requestName", ""), c.closed);
    }
}

}  // namespace
