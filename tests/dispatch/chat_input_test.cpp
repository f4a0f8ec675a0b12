// The chat input: each slash command in the chain, in order, and what it does instead of (or as
// well as) sending the text; physics values kept; the replay warning; respotting.
#include "core/text.h"
#include "dispatch_support.h"
#include "physics/params.h"

#include <cmath>
#include <limits>

namespace {

using bztest::DispatchTest;

class ChatInputTest : public DispatchTest {
protected:
    void SetUp() override {
        DispatchTest::SetUp();
        saved = *gh.table.params;  // the records are shared by every table of the process
    }
    void TearDown() override {
        *gh.table.params = saved;
        DispatchTest::TearDown();
    }
    std::vector<std::string> notices() const {
        std::vector<std::string> out;
        for (const std::string& s : pages.statementsStartingWith(HtmlWindow::Lobby, "inbzAddTextToChat(")) {
            const size_t at = s.find("text1: '") + 8;
            out.push_back(s.substr(at, s.find("',playerName1") - at));
        }
        return out;
    }
    TableParams saved;
};

constexpr double KEEP = std::numeric_limits<double>::quiet_NaN();

TEST_F(ChatInputTest, EachCommandInOrder) {
    struct Case {
        const char* text;
        size_t sent;         // messages queued for the server
        int param;           // table constant written, -1 none
        double value;        // its value afterwards (KEEP: unchanged)
        const char* notice;  // start of the local notice, "" for none
        const char* status;  // Lobby presence statement, "" for none
    } cases[] = {
        {"/fps 30", 0, -1, 0, "", ""},
        {"good game /fps 30", 0, -1, 0, "", ""},  // anywhere in the text
        {"/away", 1, -1, 0, "", "inbzSetStatus({flags:1});"},
        {"/away now", 1, -1, 0, "", ""},
        {"  /dnd  ", 1, -1, 0, "", "inbzSetStatus({flags:2});"},
        {"/active", 1, -1, 0, "", "inbzSetStatus({flags:0});"},
        {"/here", 1, -1, 0, "", "inbzSetStatus({flags:0});"},
        {"/murolling 0.02", 1, 8, 0.02, "", ""},
        {"/maxbackspin 0.4", 1, 2, 0.4, "", ""},
        {"/maxsidespin 0.05", 1, 3, KEEP, "", ""},
        {"/maxsidespin 0.6", 1, 3, 0.6, "", ""},
        {"/abtime -3", 1, 105, KEEP, "", ""},
        {"/abtime x", 1, 105, 0, "", ""},  // no number reads as 0
        {"/abtime 1e999", 1, 105, KEEP, "", ""},
        {"/abtime 250", 1, 105, 250, "", ""},
        {"/abellimit 0", 1, 106, KEEP, "", ""},
        {"/abellimit 12", 1, 106, 12, "", ""},
        {"/abminpower 40", 1, 107, 40, "", ""},
        {"/psrfactor 0.8", 1, 110, 0.8, "", ""},
        {"/psrtime 0.2", 1, 108, 0.2, "", ""},
        {"/psrdistance 5000", 1, 109, 5000, "", ""},
        {"/psrdistance 60", 1, 109, 60, "", ""},
        {"/cbsidethrow 1.2", 1, 16, 1.2, "", ""},
        {"/cbloss 0.2", 1, 23, 0.2, "", ""},
        {"/cblossz 0.3", 1, 111, 0.3, "", ""},
        {"/cbsquare 0.05", 1, 15, 0.05, "", ""},
        {"/sideerrorreduction 0.1", 1, 34, 0.1, "", ""},
        {"/cbtopspinreduction 0.9", 1, 20, 0.9, "", ""},
        {"/cbbackspinreduction 0.6", 1, 21, 0.6, "", ""},
        {"/errorawkward 0.3", 1, 29, 0.3, "", ""},
        {"/errorthinwidth 0", 1, 112, KEEP, "", ""},
        {"/errorthinwidth 40", 1, 112, 40, "", ""},
        {"/errorthinamount 0.5", 1, 113, 0.5, "", ""},
        {"/del", 0, -1, 0, "\"Click balls to remove\" mode is OFF", ""},
        {"/delete", 0, -1, 0, "\"Click balls to remove\" mode is OFF", ""},
        {"/3", 0, -1, 0, "", ""},   // not a beta-lobby player: nothing
        {"/15", 0, -1, 0, "", ""},  // the ball digit starts the text
        {"/single", 1, -1, 0, "", ""},  // the server's own commands pass through
        {"hello", 1, -1, 0, "", ""},
    };
    for (const Case& c : cases) {
        pages.clear();
        const TableParams before = *gh.table.params;
        const size_t queued = handler.outgoingCount();
        gh.sendChatText(c.text, true, false);
        EXPECT_EQ(handler.outgoingCount() - queued, c.sent) << c.text;
        for (int i = 0; i < kTableParamCount; ++i) {
            if (i == c.param && !std::isnan(c.value)) {
                EXPECT_DOUBLE_EQ((*gh.table.params)[i], c.value) << c.text;
            } else if (i != 73) {
                EXPECT_EQ((*gh.table.params)[i], before[i]) << c.text << " [" << i << "]";
            }
        }
        const std::vector<std::string> shown = notices();
        if (*c.notice != '\0') {
            ASSERT_EQ(shown.size(), 1u) << c.text;
            EXPECT_EQ(shown[0].rfind(escapeJsString(c.notice), 0), 0u) << shown[0];
        } else {
            EXPECT_TRUE(shown.empty()) << c.text;
        }
        const std::vector<std::string> status = pages.statementsStartingWith(HtmlWindow::Lobby, "inbzSetStatus");
        EXPECT_EQ(status.size(), *c.status != '\0' ? 1u : 0u) << c.text;
        if (!status.empty()) {
            EXPECT_EQ(status[0], c.status);
        }
    }
    EXPECT_DOUBLE_EQ((*gh.table.params)[73], 9810 * 0.02);
}

TEST_F(ChatInputTest, FrameRateLimit) {
    const std::pair<const char*, double> cases[] = {
        {"/fps 30", 30}, {"/maxfps 0.5", 60}, {"/fps 144.5 please", 144.5}, {"/fps fast", 60}, {"/maxfps 1e400", HUGE_VAL}};
    for (auto [text, fps] : cases) {
        gh.maxFps = 10;
        gh.fpsChanged = false;
        gh.sendChatText(text, false, false);
        EXPECT_EQ(gh.maxFps, fps) << text;
        EXPECT_TRUE(gh.fpsChanged) << text;
    }
    EXPECT_EQ(handler.outgoingCount(), 0u);
}

TEST_F(ChatInputTest, LobbyChangeLogsOutForTheNamedServer) {
    gh.sendChatText("/change-lobby  Beta Development Lobby", true, false);
    EXPECT_EQ(handler.nextServerName, "Beta Development Lobby");
    EXPECT_TRUE(handler.lobbyChangePending.load());
    EXPECT_TRUE(handler.logoutPending.load());
    EXPECT_EQ(handler.outgoingCount(), 1u);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Login), std::vector<std::string>{"logout();"});
}

TEST_F(ChatInputTest, ReplaysAskFirstAndAreRefusedDuringOwnGame) {
    Player* me = gh.findPlayer("Alice");
    gh.table.setPlayer(0, me);
    gh.table.setPlayer(1, gh.findPlayer("Bob"));
    appState = STATE_GAME;
    gh.sendChatText("/replay shot 12", false, false);
    EXPECT_EQ(handler.outgoingCount(), 0u);
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzAddTextToChat(").size(), 1u);
    EXPECT_FALSE(gh.alertsPanel.visible);

    appState = STATE_LOBBY;
    gh.now = 50.0;
    gh.alertShown = 3;
    gh.sendChatText("/replay shot 12", true, false);
    EXPECT_EQ(handler.outgoingCount(), 0u);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Alerts), std::vector<std::string>{"inbzOpenReplayWarning();"});
    EXPECT_TRUE(gh.alertsPanel.visible);
    EXPECT_DOUBLE_EQ(gh.alertsPanel.openedAt, 50.2);
    EXPECT_EQ(gh.alertShown, gh.leaveWarningAlert);
    EXPECT_EQ(gh.pendingReplayCommand, "/replay shot 12");

    gh.sendChatText(gh.pendingReplayCommand, false, true);
    EXPECT_EQ(handler.outgoingCount(), 1u);
    gh.replayMode = true;
    gh.sendChatText("/replay next", false, false);
    EXPECT_EQ(handler.outgoingCount(), 2u);
}

TEST_F(ChatInputTest, BetaLobbyPlayersPutBallsBack) {
    gh.betaLobbyPlayer = true;
    Ball* balls = gh.table.balls;
    balls[BALL_PINK].onTable = false;
    balls[BALL_PINK].x = 9999;
    gh.sendChatText("/6", false, false);
    EXPECT_TRUE(balls[BALL_PINK].onTable);
    EXPECT_DOUBLE_EQ(balls[BALL_PINK].x, balls[BALL_PINK].spotX);
    EXPECT_EQ(handler.outgoingCount(), 1u);  // the new place, as BALL_PLACED

    gh.sendChatText("/1", false, false);  // every red on the table: nothing
    EXPECT_EQ(handler.outgoingCount(), 1u);
    balls[14].onTable = false;
    balls[17].onTable = false;
    gh.sendChatText(" /1 ", false, false);
    EXPECT_TRUE(balls[14].onTable);
    EXPECT_FALSE(balls[17].onTable);
    EXPECT_EQ(handler.outgoingCount(), 2u);
    gh.sendChatText("/15", false, false);  // ball 1 again, not chat
    EXPECT_TRUE(balls[17].onTable);
    EXPECT_EQ(handler.outgoingCount(), 3u);

    gh.sendChatText("/del", false, false);
    EXPECT_TRUE(gh.clickToRemoveMode);
    gh.sendChatText("/del", false, false);
    EXPECT_FALSE(gh.clickToRemoveMode);
    EXPECT_EQ(notices(), (std::vector<std::string>{"\\\"Click balls to remove\\\" mode is ON",
                                                   "\\\"Click balls to remove\\\" mode is OFF"}));
}

}  // namespace
