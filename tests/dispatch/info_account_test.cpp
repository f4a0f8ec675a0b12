// Server, lobby and account information: what each code puts into which page and which fields,
// and the checks on list lengths.
#include "dispatch_support.h"

namespace {

using bztest::DispatchTest;

class InfoAccountTest : public DispatchTest {
protected:
    void info(int code, int a, int b, const std::string& textA, const std::string& textB = "",
              std::vector<int32_t> ints = {}, std::vector<std::string> texts = {}) {
        Message m = Message::initInfo(40, code, a, b, textA, textB);
        m.intList = std::move(ints);
        m.textList = std::move(texts);
        gh.processMessage(m);
    }
    std::vector<std::string> all(HtmlWindow w) const { return pages.statementsFor(w); }
};

TEST_F(InfoAccountTest, ServerInfoByListLengths) {
    gh.isTourneyLobby = true;
    gh.premiumPhase = 4;
    gh.showLastLobbyList = true;
    info(1, 0, 0, "", "", {30, 15, 9, 8, 11, 126, 0, 0, 0}, {"Bob's Lounge", "ignored"});
    EXPECT_EQ(all(HtmlWindow::Lobby),
              (std::vector<std::string>{
                  "inbzInfoServerTime({year:2026,month:12,day:8,hour:9,minute:15,second:30,});",
                  "inbzInfoLobbyName({lobbyName:'Bob\\'s Lounge'});",
                  "if (lastLobbyList != '') { updateLobbies(lastLobbyList); }"}));
    EXPECT_FALSE(gh.isTourneyLobby);  // reset without telling the pages
    EXPECT_EQ(gh.premiumPhase, 0);
    EXPECT_EQ(gh.lobbyName, "Bob's Lounge");
    EXPECT_FALSE(gh.showLastLobbyList);

    pages.clear();
    info(1, 0, 0, "", "", {0, 0, 0, 1, 0, 100, 0, 0, 0, 1, 3}, {"Cup", "", "News", "https://x.example/c"});
    EXPECT_TRUE(gh.isTourneyLobby);
    EXPECT_EQ(gh.premiumPhase, 3);
    EXPECT_EQ(all(HtmlWindow::Tasks), std::vector<std::string>{"inbzInfoPremiumPhase({premiumPhase:3});"});
    const std::vector<std::string> lobby = all(HtmlWindow::Lobby);
    ASSERT_EQ(lobby.size(), 6u);
    EXPECT_EQ(lobby[1], "inbzInfoIsTourneyLobby({isTourneyLobby:1});");
    EXPECT_EQ(lobby[4], "inbzInfoLobbyNews({lobbyNews:'News'});");
    EXPECT_EQ(lobby[5], "inbzSetCommunityLink({communityLink:'https://x.example/c'});");

    // Eight integers and one text: the log line only.
    pages.clear();
    info(1, 0, 0, "", "", {1, 2, 3, 4, 5, 6, 7, 8}, {"Other"});
    EXPECT_TRUE(pages.entries().empty());
    EXPECT_EQ(gh.lobbyName, "Cup");
    EXPECT_TRUE(gh.isTourneyLobby);
}

TEST_F(InfoAccountTest, DeleteChatGoesToThePagesItAddresses) {
    gh.table.setId(12);
    struct Case {
        int a, b;
        bool lobby, bottom;
    } cases[] = {{0, 0, true, true}, {0, 5, true, true}, {5, 0, true, false}, {5, 12, false, true}, {5, 13, false, false}};
    for (const Case& c : cases) {
        pages.clear();
        info(2, c.a, c.b, "1,2");
        const std::string s = "inbzDeleteChatEntries({deleteWhat:" + std::to_string(c.a) + ",entries:'1,2',});";
        EXPECT_EQ(all(HtmlWindow::Lobby).size(), c.lobby ? 1u : 0u) << c.a << "/" << c.b;
        EXPECT_EQ(all(HtmlWindow::BottomBox).size(), c.bottom ? 1u : 0u) << c.a << "/" << c.b;
        for (const auto& e : pages.entries()) EXPECT_EQ(e.statement, s);
    }
}

TEST_F(InfoAccountTest, LogoutTopStatsAndFrameResults) {
    info(3, 0, 0, "O'Neil");
    EXPECT_EQ(all(HtmlWindow::People), std::vector<std::string>{"inbzUserExit({userName:'O\\'Neil',});"});
    EXPECT_EQ(gh.players.size(), 1u);

    pages.clear();
    info(5, 2, 0, "", "", {147, 99, 12}, {"Bob", "Carol"});  // the unpaired score is left out
    EXPECT_EQ(all(HtmlWindow::Lobby), std::vector<std::string>{"inbzUpdateTopStats({statsName:'matchwins',data: "
                                                              "[{username:'Bob',score:147},{username:'Carol',score:99},]});"});
    pages.clear();
    info(5, 0, 0, "");
    EXPECT_EQ(all(HtmlWindow::BottomBox), std::vector<std::string>{"inbzUpdateTopStats({statsName:'prohb',data: []});"});
    pages.clear();
    info(5, 4, 0, "", "", {1}, {"x"});
    info(5, -1, 0, "", "", {1}, {"x"});
    EXPECT_TRUE(pages.entries().empty());
    EXPECT_EQ(log.count("TOP_STATS with an unknown list"), 2);

    info(33, 0, 0, "Bob", "", {}, {"1-0", "it's 2"});
    EXPECT_EQ(all(HtmlWindow::BioTut), std::vector<std::string>{"inbzBioResults({username:'Bob',frames: ['1-0','it\\'s 2',]});"});
}

std::vector<std::vector<std::string>> openedBios;

TEST_F(InfoAccountTest, BioDataFillsTheOwnAccountOnlyForTheOwnNick) {
    openedBios.clear();
    GameHandler::BioPanelOpener previous =
        GameHandler::setBioPanelOpener([](GameHandler&, const std::vector<std::string>& bio) { openedBios.push_back(bio); });
    gh.ownBioDataPending = true;
    info(7, 0, 0, "", "", {}, {"Bob", "a", "b", "NZ", "about Bob"});  // another user first: the panel opens
    EXPECT_EQ(openedBios.size(), 1u);
    EXPECT_TRUE(gh.ownBioDataPending);
    info(7, 0, 0, "", "", {}, {"alice", "a", "b"});  // too short: ignored, still armed
    EXPECT_TRUE(gh.ownBioDataPending);
    info(7, 0, 0, "", "", {}, {"ALICE", "a", "b", "Chile", "about me"});
    EXPECT_FALSE(gh.ownBioDataPending);
    EXPECT_EQ(gh.account.country, "Chile");
    EXPECT_EQ(gh.account.aboutMe, "about me");
    EXPECT_EQ(openedBios.size(), 1u);
    info(7, 0, 0, "", "", {}, {"Alice", "a", "b", "X", "Y"});  // later: the own bio in the panel
    EXPECT_EQ(openedBios.size(), 2u);
    EXPECT_EQ(gh.account.country, "Chile");
    info(7, 0, 0, "", "", {}, {});
    EXPECT_EQ(openedBios.size(), 2u);
    EXPECT_EQ(log.count("ERROR"), 2);
    GameHandler::setBioPanelOpener(previous);
}

TEST_F(InfoAccountTest, HeartbeatIsAnsweredOnce) {
    info(24, 7, 0, "");
    EXPECT_EQ(handler.outgoingCount(), 1u);
    EXPECT_EQ(handler.iidCounter.load(), 5001u);
    EXPECT_EQ(log.count("processMessage: HBPING received"), 1);
}

TEST_F(InfoAccountTest, LoginPopups) {
    info(26, 1, 0, "");
    info(26, 2, 0, "");
    info(26, 3, 5000, "Masters", "Sat 20:00", {3600, 77, 2});
    info(26, 3, 5000, "Masters", "Sat", {3600, 77});  // short: ignored
    info(26, 9, 0, "");
    EXPECT_EQ(all(HtmlWindow::Lobby),
              (std::vector<std::string>{"inbzOptionalUpdate();", "inbzTutorialWarningClose();inbzMandatoryUpdate();",
                                        "inbzSpecialMajorTournament({title: 'Masters', prizePot: 5000, secondsLeft: "
                                        "3600, dateTime: 'Sat 20:00', tid: 77, tableType: 2, });"}));
    EXPECT_EQ(log.count("OPEN_LOGIN_POPUP(9) received"), 1);
}

TEST_F(InfoAccountTest, UserPreferencesAndServerUserFlags) {
    gh.account.prefArena = "1";
    info(29, 0, 0, "replayAimProc=\"1\";");
    EXPECT_EQ(gh.account.prefArena, "");
    EXPECT_TRUE(gh.replayAimLinesShow);
    EXPECT_TRUE(gh.replayAimingProcessShow);
    EXPECT_FALSE(gh.replaySkipAimingProcess);
    EXPECT_EQ(all(HtmlWindow::BottomBox),
              std::vector<std::string>{"inbzSetReplayShowAimingProcess({ replayShowAimingProcess:1,})"});
    info(29, 0, 0, "tableType=\"2\";bestOf=\"7\";replayAiming=\"0\";replayAimProc=\"yes\";");
    EXPECT_EQ(gh.account.prefTableType, "2");
    EXPECT_EQ(gh.account.prefBestOf, "7");
    EXPECT_FALSE(gh.replayAimLinesShow);
    EXPECT_FALSE(gh.replayAimingProcessShow);
    EXPECT_TRUE(gh.replaySkipAimingProcess);

    info(34, 6, 0, "");
    info(34, 6, 0, "");
    EXPECT_EQ(gh.serverUserFlags, 6);
    EXPECT_EQ(log.count("ServerUserFlags changed from 0 to 6"), 1);
    EXPECT_EQ(log.count("INFO received: SERVER_USER_FLAGS='6'"), 2);
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::Lobby, "inbzSetUserFlags({userFlags: 6,});").size(), 2u);
}

}  // namespace
