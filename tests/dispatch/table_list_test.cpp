// The table list and the user list: the lobby pages' calls, the own table set up from its record,
// and the own user record (spelling, title, user type).
#include "dispatch/table_list.h"

#include "dispatch_support.h"
#include "support/platform_recorder.h"

namespace {

using bztest::DispatchTest;

TEST(TableNameOptionsTest, OptionPrefixes) {
    struct Case {
        const char* name;
        const char* shown;
        bool t, f;
        int tNumber, lineUp;
    } cases[] = {
        {"(t3l12f)Club Night", "Club Night", true, true, 3, 12},
        {"(t)X", "X", true, false, -1, 0},
        {"(abc", "(abc", false, false, -1, 0},  // never closed: shown whole
        {"(tl7", "(tl7", true, false, -1, 7},   // flags read before the end still count
        {"()", "", false, false, -1, 0},
        {"()Open", "Open", false, false, -1, 0},
        {"Plain table", "Plain table", false, false, -1, 0},
        {"(", "(", false, false, -1, 0},
        {"(l)(t9)Y", "(t9)Y", false, false, -1, 0},  // l without digits; the first ")" ends the options
        {"(x t42 y)Z", "Z", true, false, 42, 0},
        {"", "", false, false, -1, 0},
    };
    for (const Case& c : cases) {
        const TableNameOptions o = parseTableNameOptions(c.name);
        EXPECT_EQ(o.shownName, c.shown) << c.name;
        EXPECT_EQ(o.flagT, c.t) << c.name;
        EXPECT_EQ(o.flagF, c.f) << c.name;
        EXPECT_EQ(o.tNumber, c.tNumber) << c.name;
        EXPECT_EQ(o.lineUpNumber, c.lineUp) << c.name;
    }
}

class TableListTest : public DispatchTest {
protected:
    static TableListEntry entry(int id, const std::string& name, std::vector<std::string> viewers,
                                const std::string& p1 = "", const std::string& p2 = "") {
        TableListEntry t;
        t.tableId = id;
        t.tableName = name;
        t.tableType = 2;
        t.gameType = 1;
        t.bestOf = 5;
        t.gameState = 0;
        t.maxPointsBehind = -1;
        t.maxShotTime = 60;
        t.privacy = 2;
        t.arena = 1;
        t.framesWon1 = 1;
        t.framesWon2 = 2;
        t.player1 = p1;
        t.player2 = p2;
        t.viewers = std::move(viewers);
        return t;
    }
    void tables(std::vector<TableListEntry> list) {
        Message m(MessageId::TABLE_LIST_INFO, 10);
        m.tables = std::move(list);
        gh.processMessage(m);
    }
    void users(std::vector<UserListEntry> list) {
        Message m(MessageId::USER_LIST_INFO, 11);
        m.users = std::move(list);
        gh.processMessage(m);
    }
};

TEST_F(TableListTest, TheListReachesThreePagesAndANickWithAnApostropheIsEscaped) {
    tables({entry(7, "Room's", {"O'Neil", "Bob"}, "Carol", "")});
    const std::string expected =
        "inbzTableInfo([{tableId:7,tableName:'Room\\'s',tableType:2,gameType:1,gameState:0,bestOf:5,"
        "maxPointsBehind:-1,maxShotTime:60,privacy:2,arena:1,framesWon1:1,framesWon2:2,player1:'Carol',"
        "player2:'',viewers:['O\\'Neil','Bob',]},]);";
    for (HtmlWindow w : {HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::People}) {
        EXPECT_EQ(pages.statementsFor(w), std::vector<std::string>{expected});
    }
    EXPECT_EQ(gh.table.getId(), 0);  // not the own table

    pages.clear();
    tables({});
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Lobby), std::vector<std::string>{"inbzTableInfo([]);"});
}

TEST_F(TableListTest, TheOwnTableFollowsItsRecord) {
    gh.lineUpNumber = 5;
    tables({entry(3, "Other", {"Bob"}), entry(9, "(t3l12f)Club Night", {"Alice", "Bob"}, "Carol", "Dave")});
    EXPECT_EQ(gh.table.getId(), 9);
    EXPECT_EQ(gh.table.getName(), "Club Night");
    EXPECT_TRUE(gh.tableNameFlagT);
    EXPECT_TRUE(gh.tableNameFlagF);
    EXPECT_EQ(gh.lineUpNumber, 12);
    EXPECT_EQ(gh.table.tableType, 2);
    EXPECT_EQ(gh.table.getTableMode(), 2);
    EXPECT_EQ(gh.table.arena, 1);
    EXPECT_EQ(gh.liveStatus->bestOf, 5);
    EXPECT_EQ(gh.liveStatus->maxPointsBehind, -1);
    EXPECT_EQ(gh.liveStatus->framesWon[1], 2);
    ASSERT_NE(gh.table.getPlayer(0), nullptr);
    ASSERT_NE(gh.table.getPlayer(1), nullptr);
    EXPECT_TRUE(gh.ownUserFirstViewer);
    EXPECT_EQ(gh.table.getPeopleCount(), 2);  // the viewers

    const std::vector<std::string> bottom = pages.statementsFor(HtmlWindow::BottomBox);
    ASSERT_EQ(bottom.size(), 3u);
    EXPECT_EQ(bottom[0],
              "inbzInfoTableInfo({tableId: 9,tableType: 2});inbzUpdatePlayerNames({player1: 'Carol',player2: 'Dave',});");
    EXPECT_EQ(bottom[1], "inbzLineUpNumber({lineUpNumber: 12});");
    // A viewer at a full table: the table number of the name reaches the page.
    EXPECT_EQ(pages.statementsFor(HtmlWindow::StartMatch),
              std::vector<std::string>{"asViewerTwoPlayers(false,true,3,true);"});

    // The same line-up again: no line-up call; a plain name clears the options.
    pages.clear();
    tables({entry(9, "(l12)Club", {"Bob", "Alice"})});
    EXPECT_TRUE(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzLineUpNumber").empty());
    EXPECT_FALSE(gh.ownUserFirstViewer);
    EXPECT_FALSE(gh.tableNameFlagT);
    EXPECT_EQ(gh.table.getPlayer(0), nullptr);
    EXPECT_EQ(gh.table.getPeopleCount(), 2);
    pages.clear();
    tables({entry(9, "Club", {"Alice"})});
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzLineUpNumber"),
              std::vector<std::string>{"inbzLineUpNumber({lineUpNumber: 0});"});
}

TEST_F(TableListTest, AfterALineUpTableThePageHoldsTheLineUpTheClientHolds) {
    tables({entry(4, "(l12)Drill", {"Alice"}, "Alice", "Alice")});
    ASSERT_EQ(gh.lineUpNumber, 12);
    Message exit(MessageId::EXIT_TABLE_INFO, 12);
    exit.userName = "Alice";
    gh.processMessage(exit);
    EXPECT_EQ(gh.lineUpNumber, 0);
    tables({entry(5, "Plain", {"Alice"}, "Alice", "Alice")});
    // The last line-up statement the page got is the client's 0.
    const std::vector<std::string> lineUps = pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzLineUpNumber");
    ASSERT_FALSE(lineUps.empty());
    EXPECT_EQ(lineUps.back(), "inbzLineUpNumber({lineUpNumber: 0});");
    EXPECT_EQ(lineUps.size(), 2u);
}

TEST_F(TableListTest, OnePlayerInBothSeatsAndTheOwnNickIsCaseSensitive) {
    tables({entry(4, "Solo", {"Alice"}, "Carol", "Carol")});
    ASSERT_NE(gh.table.getPlayer(0), nullptr);
    EXPECT_EQ(gh.table.getPlayer(0), gh.table.getPlayer(1));

    tables({entry(5, "Elsewhere", {"alice"})});
    EXPECT_EQ(gh.table.getId(), 4);

    gh.replayMode = true;
    tables({entry(6, "Replay", {"Alice"})});
    EXPECT_EQ(gh.table.getId(), 4);
}

TEST_F(TableListTest, UserRecordsAreSplitAndOnlyTheOwnLobbyIsListed) {
    gh.lobbyName = "Main";
    users({{"Bob|1.25|3|4|97|80|1|Main", 0x40, 1500, 12, 9},
           {"Carol|0.5|1|2|3|4", 1, 1300, 40, 0},       // six fields: not in replay mode, own lobby
           {"Dave|x|y|2|3|4|0|Beta", 2, 1100, 70, 1},  // another lobby: registry only
           {"Eve", 3, 4294967295u & 0x7fffffff, 0, 0}});
    const std::string expected =
        "inbzUserInfo([{userName:'Bob',userType:64,rating:1500,rank:12,flags:9,form:1.25,num_max_p:3,num_max_c:4,"
        "hb_p:97,hb_c:80,inReplayMode:1,},"
        "{userName:'Carol',userType:1,rating:1300,rank:40,flags:0,form:0.5,num_max_p:1,num_max_c:2,hb_p:3,hb_c:4,"
        "inReplayMode:0,},"
        "{userName:'Eve',userType:3,rating:2147483647,rank:0,flags:0,form:0,num_max_p:0,num_max_c:0,hb_p:0,hb_c:0,"
        "inReplayMode:0,},]);";
    for (HtmlWindow w : {HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::People, HtmlWindow::BioTut,
                         HtmlWindow::MatchStats, HtmlWindow::Tasks}) {
        EXPECT_EQ(pages.statementsFor(w), std::vector<std::string>{expected}) << static_cast<int>(w);
    }
    EXPECT_EQ(gh.findPlayer("Dave")->rating, 1100u);
    EXPECT_EQ(gh.findPlayer("Bob")->userType, 0x40);
    EXPECT_EQ(log.count("USER_LIST_INFO: Dave|x|y|2|3|4|0|Beta"), 1);
}

TEST_F(TableListTest, TheOwnRecordRenamesOncePerLoginAndSetsTitleAndType) {
    bztest::RecordingPlatform platform;
    users({{"ALICE|1|0|0|0|0", 0x41, 1234, 56, 0}});
    EXPECT_EQ(handler.userName, "ALICE");
    EXPECT_TRUE(gh.ownUserNameConfirmed);
    EXPECT_EQ(gh.ownUserType, 0x41);
    EXPECT_EQ(log.count("Updating own user name from \"Alice\" to \"ALICE\""), 1);
    for (HtmlWindow w : {HtmlWindow::Lobby, HtmlWindow::People, HtmlWindow::Tasks}) {
        EXPECT_EQ(pages.statementsStartingWith(w, "inbzInfoUserName"),
                  std::vector<std::string>{"inbzInfoUserName({ userName: 'ALICE'});"});
    }
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Replays),
              std::vector<std::string>{"inbzSetMyPlayerType({ myPlayerType: 65});"});
    EXPECT_EQ(platform.calls, std::vector<std::string>{"title:Baizeron    User: ALICE | Rank: 56 | Rating: 1234"});

    // Later records: title and type follow, the name stays; a rank above 999999 is not shown.
    pages.clear();
    users({{"alice|1|0|0|0|0", 0, 1250, 1000000, 0}});
    EXPECT_EQ(handler.userName, "ALICE");
    EXPECT_TRUE(pages.statementsStartingWith(HtmlWindow::Lobby, "inbzInfoUserName").empty());
    EXPECT_EQ(platform.calls.back(), "title:Baizeron    User: alice | Rating: 1250");
    EXPECT_EQ(gh.ownUserType, 0);
}

TEST_F(TableListTest, UsersWhoLeftAreForgottenUnlessTheOwnTableHoldsThem) {
    gh.lobbyName = "Main";
    tables({entry(9, "Club", {"Alice", "Carol"}, "Bob", "")});
    Player* bob = gh.table.getPlayer(0);
    Player* carol = gh.table.getPerson(1);
    Player* eve = gh.findPlayer("Eve");
    gh.liveStatus->players[1] = eve;  // a frame's player who is in no seat now
    users({{"Alice", 0, 1, 1, 0}, {"Bob", 0, 1500, 3, 0}, {"Carol", 0, 1, 1, 0}, {"Dave|1|0|0|0|0|0|Beta", 0, 1, 1, 0}});
    users({{"Alice", 0, 1, 1, 0}, {"Frank", 0, 1, 1, 0}});

    EXPECT_EQ(gh.players.lookup("Dave"), nullptr);  // left another lobby
    EXPECT_EQ(gh.players.lookup("Bob"), bob);
    EXPECT_EQ(gh.players.lookup("Carol"), carol);
    EXPECT_EQ(gh.players.lookup("Eve"), eve);
    EXPECT_EQ(bob->rating, 1500u);
    EXPECT_EQ(gh.players.size(), 5u);

    // An empty list forgets nobody; once the table lets them go, the next list does.
    users({});
    EXPECT_NE(gh.players.lookup("Frank"), nullptr);
    gh.liveStatus->players[1] = nullptr;
    tables({entry(9, "Club", {"Alice"})});
    users({{"Alice", 0, 1, 1, 0}});
    EXPECT_EQ(gh.players.size(), 1u);
    EXPECT_EQ(gh.table.heldPlayers(), (std::vector<const Player*>{gh.findPlayer("Alice"), nullptr, nullptr,
                                                                   nullptr, nullptr}));
}

TEST_F(TableListTest, AnOwnNickWithAnApostropheIsEscapedInTheRename) {
    handler.userName = "o'brien";
    users({{"O'Brien", 0, 1, 1, 0}});
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::BioTut, "inbzInfoUserName"),
              std::vector<std::string>{"inbzInfoUserName({ userName: 'O\\'Brien'});"});
}

}  // namespace
