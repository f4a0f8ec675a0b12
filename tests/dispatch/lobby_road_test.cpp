// Server messages of the lobby road that hand over to other parts of the client: the start buttons
// after the seats change, the beta-lobby test after the server names the lobby, the one tutorial
// action flag, the one account record, and panels that the server opens stopping the aim.
#include "dispatch_support.h"
#include "support/platform_recorder.h"

namespace {

using bztest::DispatchTest;

class LobbyRoadTest : public DispatchTest {
protected:
    bztest::RecordingPlatform platform;
};

TEST_F(LobbyRoadTest, NewSeatsRefreshTheStartButtons) {
    appState = STATE_TABLE;
    Message seats(MessageId::PLAY_TABLE_INFO, 20);
    seats.player1 = "Alice";
    gh.processMessage(seats);
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::StartMatch, "asPlayerOnePlayer(").size(), 1u);
    seats.id = MessageId::STOP_PLAY_TABLE_INFO;
    seats.player1 = "Bob";
    gh.processMessage(seats);
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::StartMatch, "asViewerZeroOrOnePlayer(").size(), 1u);
}

TEST_F(LobbyRoadTest, TheBetaLobbyIsTheOneTheServerNames) {
    Player alice{"Alice"};
    gh.table.seats[0] = &alice;
    gh.liveStatus->gameState = 1;
    Message server = Message::initInfo(30, InfoCode::SERVER_INFO, 0, 0, "", "");
    server.textList = {"Beta Development Lobby", "x"};
    gh.processMessage(server);
    EXPECT_TRUE(gh.betaLobbyPlayer);
    server.textList = {"Players Lounge", "x"};
    gh.processMessage(server);
    EXPECT_FALSE(gh.betaLobbyPlayer);
    gh.table.seats[0] = nullptr;
}

TEST_F(LobbyRoadTest, ANewTutorialTopicClearsTheActionTheShotReports) {
    gh.tutorialActionDone = true;
    gh.processMessage(Message::initInfo(31, InfoCode::TUTCH_TOPIC_INFO, 13, 0, "", ""));
    EXPECT_FALSE(gh.tutorialActionDone);
}

TEST_F(LobbyRoadTest, TheOwnBioFillsTheRecordTheAccountPanelShowsAndSaves) {
    gh.ownBioDataPending = true;
    Message bio = Message::initInfo(32, InfoCode::BIO_DATA, 0, 0, "", "");
    bio.textList = {"Alice", "", "", "Chile", "about me"};
    gh.processMessage(bio);
    gh.openMyAccount();
    const auto shown = pages.statementsFor(HtmlWindow::GameSettings);
    ASSERT_FALSE(shown.empty());
    EXPECT_NE(shown.back().find("Chile"), std::string::npos) << shown.back();
    EXPECT_NE(shown.back().find("about me"), std::string::npos) << shown.back();
    gh.saveMyAccount({"NL", "new text", "1", "5", "20", "0", "60"});
    EXPECT_EQ(gh.account.country, "NL");
    EXPECT_EQ(gh.account.aboutMe, "new text");
}

TEST_F(LobbyRoadTest, PanelsTheServerOpensStopTheAimAsTheirOwnOpenersDo) {
    struct Case {
        const char* what;
        Message message;
        PanelSlot GameHandler::*panel;
    };
    Message invite = Message::initInfo(33, InfoCode::INVITE_INFO, 5, 0, "Bob", "");
    invite.intList = {1, 1, 1, 3, 60, 10, 1500, 2, 0};
    const Case cases[] = {
        {"invitation", invite, &GameHandler::invitesPanel},
        {"match statistics", Message::initInfo(34, InfoCode::INFO_CODE_MATCH_STATS_DATA, 9, 2, "", ""),
         &GameHandler::lineUpPanel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gh.aimShown = true;
        gh.aimDragMode = 1;
        gh.powerDrag = 1;
        gh.processMessage(c.message);
        EXPECT_TRUE((gh.*c.panel).visible);
        EXPECT_FALSE(gh.aimShown);
        EXPECT_EQ(gh.aimDragMode, 0);
        EXPECT_EQ(gh.powerDrag, 0);
    }
}

}  // namespace
