#include "client/gamehandler/game_handler.h"
#include "core/page_script.h"

#include <gtest/gtest.h>

namespace {

class PanelsTest : public ::testing::Test {
protected:
    void SetUp() override { previousSink = setPageScriptSink(&pages); }
    void TearDown() override { setPageScriptSink(previousSink); }

    GameHandler gh;
    RecordingPageScriptSink pages;
    PageScriptSink* previousSink = nullptr;
};

TEST_F(PanelsTest, OpenersSetTheirSlotAndSendTheirCall) {
    struct Case {
        const char* what;
        void (*open)(GameHandler&);
        PanelSlot GameHandler::*slot;
        HtmlWindow window;
        std::vector<std::string> sent;
    } cases[] = {
        {"tutorial", [](GameHandler& g) { g.openTut(16); }, &GameHandler::bioTutPanel, HtmlWindow::BioTut, {"inbzOpenTut({topic:16});"}},
        {"controls", [](GameHandler& g) { g.openCtr(); }, &GameHandler::bioTutPanel, HtmlWindow::BioTut, {"inbzOpenCtr();"}},
        {"commands", [](GameHandler& g) { g.openArezor(); }, &GameHandler::bioTutPanel, HtmlWindow::BioTut, {"inbzOpenArezor();"}},
        {"videos", [](GameHandler& g) { g.openVideos(); }, &GameHandler::bioTutPanel, HtmlWindow::BioTut, {"inbzOpenVideos();"}},
        {"invites", [](GameHandler& g) { g.openInvites(); }, &GameHandler::invitesPanel, HtmlWindow::Invites, {}},
        {"tasks", [](GameHandler& g) { g.openTasks(); }, &GameHandler::tasksPanel, HtmlWindow::Tasks, {}},
        {"line-up", [](GameHandler& g) { g.openLineUp(); }, &GameHandler::lineUpPanel, HtmlWindow::MatchStats, {"inbzOpenLineUp();"}},
        {"match stats from the server", [](GameHandler& g) { g.openMatchStats(1); }, &GameHandler::lineUpPanel,
         HtmlWindow::MatchStats, {"inbzOpenMatchStats({idx:1});"}},
        {"cue store", [](GameHandler& g) { g.openCueStore(); }, &GameHandler::cueStorePanel, HtmlWindow::CueStore, {}},
    };
    for (const Case& c : cases) {
        GameHandler g;
        g.now = 4.0;
        pages.clear();
        c.open(g);
        EXPECT_TRUE((g.*c.slot).visible) << c.what;
        EXPECT_DOUBLE_EQ((g.*c.slot).openedAt, 4.6) << c.what;
        EXPECT_EQ(pages.statementsFor(c.window), c.sent) << c.what;
    }
}

TEST_F(PanelsTest, ASecondTutorialRestartsTheDelay) {
    gh.now = 1.0;
    gh.openTut(1);
    gh.now = 1.3;
    gh.openTut(2);
    EXPECT_DOUBLE_EQ(gh.bioTutPanel.openedAt, 1.9);
}

TEST_F(PanelsTest, MinimisedMatchStatsOpenInTheBottomBar) {
    gh.matchStatsMinimized = true;
    gh.openMatchStats(0);
    EXPECT_FALSE(gh.lineUpPanel.visible);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox), std::vector<std::string>{"inbzOpenMatchStatsDiv();"});
    EXPECT_TRUE(pages.statementsFor(HtmlWindow::MatchStats).empty());
    gh.openMatchStats(1);
    EXPECT_TRUE(gh.lineUpPanel.visible);
    gh.closeMatchStats();
    EXPECT_FALSE(gh.lineUpPanel.visible);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::MatchStats).back(), "inbzCloseMatchStats();");
}

TEST_F(PanelsTest, BioKeepsTheBitsOfTheSameUser) {
    gh.openBio({"ann", "likes snooker"});
    EXPECT_EQ(gh.bioUserBits, -1);
    gh.bioUserBits = 5;
    gh.openBio({"ann", "still"});
    EXPECT_EQ(gh.bioUserBits, 5);
    gh.openBio({"o'brien\\", "line one\nline two"});
    EXPECT_EQ(gh.bioUserBits, -1);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BioTut).back(), "inbzOpenBio(['o\\'brien\\\\','line one\\nline two',]);");
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Lobby).back(), "inbzGetUserInfo({userName:'o\\'brien\\\\'});");
    pages.clear();
    gh.openBio({});
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BioTut), std::vector<std::string>{"inbzOpenBio([]);"});
}

TEST_F(PanelsTest, ClosingTasksHidesTheLobbyMask) {
    gh.openTasks();
    gh.closeTasks();
    EXPECT_FALSE(gh.tasksPanel.visible);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Lobby),
              (std::vector<std::string>{"$('.lmask').show();", "$('.lmask').hide();"}));
}

}  // namespace

TEST(ReplaysPanelTest, OpensAtOncePausesAPlayingReplayAndSendsTheSwitches) {
    RecordingPageScriptSink pages;
    PageScriptSink* previous = setPageScriptSink(&pages);
    GameHandler g;
    g.now = 7.0;
    g.replayAimLinesShow = true;
    g.openReplays();
    EXPECT_TRUE(g.replaysPanel.visible);
    EXPECT_DOUBLE_EQ(g.replaysPanel.openedAt, 7.0);
    EXPECT_FALSE(g.replayPaused);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Replays),
              (std::vector<std::string>{"inbzSetReplaySettings({ aimLinesShow:true,aimingProcessShow:false,})"}));

    g.replayMode = true;
    g.replayPlaying = true;
    g.openReplays();
    EXPECT_TRUE(g.replayPaused);
    setPageScriptSink(previous);
}
