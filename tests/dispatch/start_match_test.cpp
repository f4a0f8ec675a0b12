// The StartMatch page's buttons by the user's role at the table, and the single-player start.
#include "dispatch_support.h"

namespace {

using bztest::DispatchTest;

TEST_F(DispatchTest, StartMatchButtonsByRole) {
    Player* me = gh.findPlayer("Alice");
    Player* bob = gh.findPlayer("Bob");
    Player* carol = gh.findPlayer("Carol");
    struct Case {
        Player* seat0;
        Player* seat1;
        uint16_t startInfo;
        int striker;
        int mode;
        bool firstViewer, flagT, tourney;
        int value;
        const char* expected;
    } cases[] = {
        {me, nullptr, 0, -1, 0, false, false, false, -1, "asPlayerOnePlayer(false,false,-1,false);"},
        {nullptr, me, 0, -1, 2, true, true, true, 4, "asPlayerOnePlayer(true,true,4,true);"},
        {bob, me, 1, 1, 0, false, false, false, -1, "asPlayerTwoPlayersStarted(false,false,-1,false);"},
        {bob, me, 1, 0, 0, false, false, false, -1, "asPlayerTwoPlayersNoStart(false,false,-1,false);"},
        {me, bob, 2, 0, 0, false, false, false, -1, "asPlayerTwoPlayersNoStart(false,false,-1,false);"},
        {me, bob, 0, 0, 0, false, false, false, -1, "asPlayerTwoPlayersNoStart(false,false,-1,false);"},
        {me, bob, 3, 0, 0, false, false, false, -1, "asViewerTwoPlayers(false,false,-1,false);"},
        {bob, carol, 1, 0, 0, false, false, false, 2, "asViewerTwoPlayers(false,false,2,false);"},
        {nullptr, nullptr, 0, -1, 2, false, false, false, -1, "asViewerZeroOrOnePlayer(true, false,false,-1,false);"},
        {bob, nullptr, 0, -1, 2, true, false, false, -1, "asViewerZeroOrOnePlayer(false, false,false,-1,true);"},
        {nullptr, bob, 0, -1, 2, true, true, false, 3, "asViewerZeroOrOnePlayer(true, false,true,3,true);"},
        {bob, nullptr, 0, -1, 1, false, true, false, -1, "asViewerZeroOrOnePlayer(false, false,true,-1,false);"},
    };
    for (const Case& c : cases) {
        pages.clear();
        gh.table.setPlayer(0, c.seat0);
        gh.table.setPlayer(1, c.seat1);
        gh.liveStatus->startInfo = c.startInfo;
        gh.liveStatus->striker = c.striker;
        gh.table.setTableMode(c.mode);
        gh.ownUserFirstViewer = c.firstViewer;
        gh.tableNameFlagT = c.flagT;
        gh.isTourneyLobby = c.tourney;
        gh.updateStartMatchButtons(c.value);
        EXPECT_EQ(pages.statementsFor(HtmlWindow::StartMatch), std::vector<std::string>{c.expected});
    }
    EXPECT_EQ(log.count("updateStartMatchButtons: 'asPlayerOnePlayer(false,false,-1,false);'"), 1);
}

TEST_F(DispatchTest, SingleStartIsTheServersChatCommand) {
    gh.sendStartSingleReq();
    EXPECT_EQ(handler.outgoingCount(), 1u);
    EXPECT_EQ(log.count("sendChatText: '/single'"), 1);
}

}  // namespace
