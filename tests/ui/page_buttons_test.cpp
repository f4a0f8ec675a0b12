// The page buttons by family: what each name sends, runs in the pages, changes and plays.
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/platform.h"
#include "net/connection_handler.h"
#include "net/lobby_servers.h"
#include "support/captured_log.h"
#include "ui/page_buttons.h"
#include "support/sound_recorder.h"

#include <SDL2/SDL_keycode.h>
#include <gtest/gtest.h>

namespace {

class PageButtonsTest : public ::testing::Test {
protected:
    void SetUp() override {
        previousSink = setPageScriptSink(&pages);
        installPanelButtons();
        handler.userName = "Alice";
        connectionHandler = &handler;
        appState = STATE_LOBBY;
        appRunning = true;
    }
    void TearDown() override {
        connectionHandler = nullptr;
        appState = STATE_STARTUP;
        appRunning = true;
        setPageScriptSink(previousSink);
    }
    void seatInFrame() {
        gh.table.setPlayer(0, gh.findPlayer("Alice"));
        gh.table.setPlayer(1, gh.findPlayer("Bob"));
        appState = STATE_GAME;
    }

    bztest::CapturedLog log;
    RecordingPageScriptSink pages;
    PageScriptSink* previousSink = nullptr;
    bztest::RecordingSoundBank sounds;
    ConnectionHandler handler;
    GameHandler gh;
};

// name, idata1, sdata1 -> requests queued, the log line that names them, statement in a window.
struct Row {
    const char* name;
    int idata1;
    const char* sdata1;
    size_t requests;
    const char* logLine;
    HtmlWindow window;
    const char* statement;
};

TEST_F(PageButtonsTest, RequestsAndStatementsByFamily) {
    const Row rows[] = {
        // game at the table
        {"timeoutProlongTerminate", 0, "", 1, "INFO_CODE_TIMEOUT_PROLONG_DECIDING(1)", HtmlWindow::Lobby, nullptr},
        {"timeoutProlongAbort", 0, "", 1, "INFO_CODE_TIMEOUT_PROLONG_DECIDING(2)", HtmlWindow::Lobby, nullptr},
        {"claimFrame", 0, "", 1, "claimFrame button pressed", HtmlWindow::Lobby, nullptr},
        {"live-aiming-shared-true", 0, "", 1, nullptr, HtmlWindow::Lobby, nullptr},
        // tutorial
        {"open-tutorial", 0, "", 1, "INFO_CODE_ENTER_TUTCH_REQ(1)", HtmlWindow::Lobby, nullptr},
        {"selectTutTopic", 7, "", 1, "INFO_CODE_SELECT_TUTCH_TOPIC(7)", HtmlWindow::Lobby, nullptr},
        {"restartTutorialExercise", 0, "", 2, "INFO_CODE_SELECT_TUTCH_TOPIC(0)", HtmlWindow::Lobby, nullptr},
        {"tut-info", 0, "", 2, nullptr, HtmlWindow::Lobby, nullptr},
        // invitations and host
        {"invites-response-declined", 12, "", 1, "(Declined) for invitation ID=12", HtmlWindow::Lobby, nullptr},
        {"invites-response-ignored", 12, "", 1, "(Ignored) for invitation ID=12", HtmlWindow::Lobby, nullptr},
        {"invites-active", 0, "", 0, nullptr, HtmlWindow::Lobby, "inbzInvitesActive();"},
        {"invites-empty", 0, "", 0, nullptr, HtmlWindow::BottomBox, "inbzInvitesEmpty();"},
        {"i-am-the-host-no", 0, "", 0, nullptr, HtmlWindow::People, "inbzIAmTheHost({ iAmTheHost: false });"},
        // chat control: idata1 picks the page; page texts come back escaped
        {"chatUserAdd", 0, "ann", 0, nullptr, HtmlWindow::Lobby, "inbzChatControl({cmd: 'chatUserAdd',str: 'ann',});"},
        {"chatHistoryAdd", 1, "it's", 0, nullptr, HtmlWindow::BottomBox,
         "inbzChatControl({cmd: 'chatHistoryAdd',str: 'it\\'s',});"},
        // Kred Box, lobby, friends
        {"kbox-collect", 0, "", 1, "INFO_CODE_KRED_BOX_COLLECT", HtmlWindow::Lobby, nullptr},
        {"poll-vote", 2, "", 1, "poll-vote:2", HtmlWindow::Lobby, nullptr},
        {"add-friend", 0, "bob", 1, "add-friend:bob", HtmlWindow::Lobby, nullptr},
        {"remove-friend", 0, "bob", 1, "remove-friend:bob", HtmlWindow::Lobby, nullptr},
        {"block-user", 1, "bob", 1, "block-user:bob,1", HtmlWindow::Lobby, nullptr},
        {"requestBioResults", 0, "bob", 1, nullptr, HtmlWindow::Lobby, nullptr},
        // replay family that main can serve
        {"replay-button-leave", 0, "", 1, "INFO_CODE_EXIT_REPLAY_REQ", HtmlWindow::Lobby, nullptr},
        {"replay-select-top20", 4, "", 1, "Selected Top20 index: 4", HtmlWindow::Lobby, nullptr},
        {"replay-add-to-fav", 0, "s/1'", 1, "Adding to favourites: s/1'", HtmlWindow::Replays,
         "inbzReplayAddToFav({objid: 's/1\\''});"},
        {"replay-update-notes", 0, "a|b|c", 2, nullptr, HtmlWindow::Lobby, nullptr},
        {"replay-update-notes", 0, "abc", 0, nullptr, HtmlWindow::Lobby, nullptr},
        // unknown names do nothing
        {"no-such-button", 3, "x", 0, nullptr, HtmlWindow::Lobby, nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        handler.clearOutgoing();
        pages.clear();
        const int logged = r.logLine != nullptr ? log.count(r.logLine) : 0;
        gh.buttonPress(r.name, r.idata1, r.sdata1);
        EXPECT_EQ(handler.outgoingCount(), r.requests);
        if (r.logLine != nullptr) {
            EXPECT_EQ(log.count(r.logLine), logged + 1);
        }
        if (r.statement != nullptr)
            EXPECT_EQ(pages.statementsFor(r.window), std::vector<std::string>{r.statement});
        else
            EXPECT_TRUE(pages.entries().empty());
    }
}

TEST_F(PageButtonsTest, PasteButtonsPressCtrlVInTheirOwnPage) {
    gh.buttonPress("paste-to-lobby", 0, "");
    gh.buttonPress("paste-to-bb", 0, "");
    EXPECT_EQ(pages.inputs(), (std::vector<RecordingPageScriptSink::InputEntry>{
                                  {HtmlWindow::Lobby, PageInput::Paste}, {HtmlWindow::BottomBox, PageInput::Paste}}));
    EXPECT_TRUE(pages.entries().empty());
}

TEST_F(PageButtonsTest, UndoShotOnlyForTheBetaLobbyPlayer) {
    gh.buttonPress("undo-shot", 0, "");
    EXPECT_EQ(handler.outgoingCount(), 0u);
    EXPECT_TRUE(pages.entries().empty());
    gh.betaLobbyPlayer = true;
    gh.buttonPress("undo-shot", 0, "");
    EXPECT_EQ(handler.outgoingCount(), 1u);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox), std::vector<std::string>{"inbzShotStarted();"});
}

TEST_F(PageButtonsTest, AcceptingAnInvitationByRole) {
    seatInFrame();
    gh.liveStatus->striker = 0;
    gh.liveStatus->gameState = 1;
    gh.buttonPress("invites-response-accepted", 9, "");
    EXPECT_EQ(handler.outgoingCount(), 0u);
    EXPECT_EQ(log.count("cannot accept invitations during an active game"), 1);
    // The page took the invitation off its list when the button was pressed: it is given back.
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Invites),
              std::vector<std::string>{"inbzInviteInfo({id: 9,state: 'Active',});"});

    gh.table.setPlayer(0, gh.findPlayer("Carol"));  // watching: leave the table, then answer
    gh.invitesPanel.visible = true;
    gh.buttonPress("invites-response-accepted", 9, "");
    EXPECT_EQ(handler.outgoingCount(), 2u);
    EXPECT_EQ(log.count("sendExitTableReq"), 1);
    EXPECT_FALSE(gh.invitesPanel.visible);

    handler.clearOutgoing();
    appState = STATE_LOBBY;
    gh.buttonPress("invites-response-accepted", 9, "");
    EXPECT_EQ(handler.outgoingCount(), 1u);
}

TEST_F(PageButtonsTest, LobbyChangeWhileSeatedWaitsForTheLeaveWarning) {
    seatInFrame();
    gh.now = 10.0;
    gh.buttonPress("change-lobby", 0, "North");
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Alerts), std::vector<std::string>{"inbzOpenLeaveWarning();"});
    EXPECT_TRUE(gh.alertsPanel.visible);
    EXPECT_DOUBLE_EQ(gh.alertsPanel.openedAt, 10.2);
    EXPECT_EQ(gh.alertShown, gh.leaveWarningAlert);
    EXPECT_TRUE(handler.lobbyChangePending);
    EXPECT_EQ(handler.outgoingCount(), 0u);

    gh.buttonPress("alert-escape", 0, "");  // cancels the change
    EXPECT_FALSE(handler.lobbyChangePending);
    EXPECT_TRUE(handler.nextServerName.empty());
    EXPECT_FALSE(gh.alertsPanel.visible);

    gh.buttonPress("change-lobby", 0, "North");
    gh.buttonPress("alert-leave-warning-leave", 0, "");  // logs out, the program goes on
    EXPECT_EQ(handler.outgoingCount(), 1u);
    EXPECT_TRUE(appRunning);
    EXPECT_EQ(handler.nextServerName, "North");
}

TEST_F(PageButtonsTest, LeavingWithoutALobbyChangeEndsTheProgram) {
    gh.buttonPress("alert-leave-warning-leave", 0, "");
    EXPECT_EQ(handler.outgoingCount(), 1u);
    EXPECT_FALSE(appRunning);
}

TEST_F(PageButtonsTest, LobbyChangeOutsideAFrameLogsOutAtOnce) {
    lobbyListRequested = true;
    gh.buttonPress("change-lobby", 0, "South");
    EXPECT_EQ(handler.outgoingCount(), 1u);
    EXPECT_FALSE(lobbyListRequested);
    EXPECT_TRUE(handler.lobbyChangePending);
    EXPECT_TRUE(pages.statementsFor(HtmlWindow::Alerts).empty());
}

TEST_F(PageButtonsTest, KredBoxLinksAreNumberedAndReplaced) {
    gh.buttonPress("kbox-opened", 0, "");
    EXPECT_EQ(gh.kredBoxCollectId, "kboxCollectId1");
    EXPECT_TRUE(pages.statementsFor(HtmlWindow::BottomBox).size() == 1);  // the notice only
    pages.clear();
    gh.buttonPress("kbox-opened", 0, "");
    EXPECT_EQ(gh.kredBoxCollectId, "kboxCollectId2");
    const auto bottom = pages.statementsFor(HtmlWindow::BottomBox);
    ASSERT_FALSE(bottom.empty());
    EXPECT_EQ(bottom[0], "var qci = document.getElementById(\"kboxCollectId1\"); if (qci != undefined) { qci.innerHTML = \"\"; }");
    pages.clear();
    gh.kredBoxAmount = 40;
    gh.buttonPress("kbox-collected", 0, "");
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox),
              std::vector<std::string>{"var qci = document.getElementById(\"kboxCollectId2\"); if (qci != undefined) {"
                                       "    qci.innerHTML = \"Collected 40 Kred.\";}"});
    EXPECT_TRUE(gh.kredBoxCollectId.empty());
    pages.clear();
    gh.buttonPress("kbox-collected", 0, "");  // no live link: no statement, still the sound
    EXPECT_TRUE(pages.entries().empty());
    using P = bztest::RecordingSoundBank::Played;
    ASSERT_EQ(sounds.played.size(), 4u);
    EXPECT_EQ(sounds.played[0], (P{SoundKind::Ball, 18, 1.0f}));  // opened in the lobby: full volume
    EXPECT_EQ(sounds.played[3], (P{SoundKind::Ball, 17, 1.0f}));
}

TEST_F(PageButtonsTest, FriendLoginIsSilentForFiveSecondsAfterLogin) {
    gh.loginTime = 100.0;
    gh.now = 104.9;
    gh.buttonPress("friend-login", 0, "bob");
    EXPECT_TRUE(sounds.played.empty());
    EXPECT_TRUE(pages.entries().empty());
    gh.now = 105.0;
    gh.buttonPress("friend-login", 0, "bob");
    EXPECT_EQ(sounds.played.size(), 1u);
    EXPECT_FALSE(pages.entries().empty());
}

TEST_F(PageButtonsTest, ReplaySpeedIsClampedAndWrittenWithSixDigits) {
    gh.buttonPress("select-replay-speed", 0, "");
    EXPECT_DOUBLE_EQ(gh.replayTimeFactor, gh.replaySpeedFactors[0]);
    gh.buttonPress("select-replay-speed", 9, "");
    EXPECT_DOUBLE_EQ(gh.replayTimeFactor, 5.0);
    const auto bottom = pages.statementsFor(HtmlWindow::BottomBox);
    ASSERT_EQ(bottom.size(), 2u);
    EXPECT_NE(bottom[0].find("replaySpeed:1,"), std::string::npos);
    EXPECT_NE(bottom[0].find("replayTimeFactor:0.0599988,"), std::string::npos);
    EXPECT_NE(bottom[1].find("replaySpeed:7,"), std::string::npos);
}

TEST_F(PageButtonsTest, SavingAddsOnlyANamedSharedObjectToTheFavourites) {
    gh.buttonPress("replay-do-save", 0, "[1/22/3/4/5/6]");
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Replays), std::vector<std::string>{"inbzReplayAddToFav({ objid:'s/22.3.4'});"});
    pages.clear();
    gh.buttonPress("replay-do-save", 0, "[1/22/3/4/5/0]");
    EXPECT_TRUE(pages.entries().empty());
    EXPECT_EQ(handler.outgoingCount(), 2u);
}

}  // namespace

namespace {

class ModifierPlatform : public Platform {
public:
    uint16_t mods = 0;
    uint16_t modifierState() override { return mods; }
};

TEST_F(PageButtonsTest, F9ShootsOnlyForThePlayerOnTurnAndOnce) {
    ModifierPlatform keys;
    Platform* previous = setPlatform(&keys);
    constexpr int F9 = SDLK_F9;  // the key SDL reports, not a copy of our constant
    // a spectator, and the lobby: refused
    gh.keyDown(F9, 0, 0);
    EXPECT_EQ(handler.outgoingCount(), 0u);
    seatInFrame();
    gh.liveStatus->playerOn = 1;  // the opponent's turn
    gh.liveStatus->gameState = 1;
    gh.keyDown(F9, 0, 0);
    EXPECT_EQ(handler.outgoingCount(), 0u);
    gh.liveStatus->playerOn = 0;  // own turn: two quick presses send one shot
    gh.keyDown(F9, 0, 0);
    gh.keyDown(F9, 0, 0);
    EXPECT_EQ(handler.outgoingCount(), 1u);
    EXPECT_EQ(log.count("F9 refused"), 3);
    setPlatform(previous);
}

TEST_F(PageButtonsTest, F9ShootsOnlyAlongAClearCueLine) {
    ModifierPlatform keys;
    Platform* previous = setPlatform(&keys);
    constexpr int F9 = SDLK_F9;  // the key SDL reports, not a copy of our constant
    seatInFrame();
    gh.liveStatus->playerOn = 0;
    gh.liveStatus->gameState = 1;
    for (Ball& b : gh.table.balls) b.onTable = false;
    Ball& cue = gh.table.balls[0];
    cue.onTable = true;
    cue.x = 0, cue.z = 0;
    Ball& blocker = gh.table.balls[5];  // right behind the cue ball, where the cue would lie
    blocker.onTable = true;
    blocker.x = -80, blocker.z = 0;
    gh.aim = {0, 50, 0, 0, 0};
    gh.keyDown(F9, 0, 0);
    EXPECT_EQ(handler.outgoingCount(), 0u);
    EXPECT_EQ(log.count("F9 refused: the cue's line is not clear"), 1);
    gh.aim.aimAngle = 180;  // the cue now lies on the open side
    gh.keyDown(F9, 0, 0);
    EXPECT_EQ(handler.outgoingCount(), 1u);
    setPlatform(previous);
}

TEST_F(PageButtonsTest, CtrlKeysStepSettingsAndNormaliseThreeWayValues) {
    ModifierPlatform keys;
    Platform* previous = setPlatform(&keys);
    keys.mods = MOD_CTRL;
    const struct {
        int stored, expected;
    } cases[] = {{0, 1}, {1, 2}, {2, 0}, {-5, 0}, {9, 0}};
    for (const auto& c : cases) {
        gh.gameSettings.qBallSize = c.stored;
        gh.keyDown('q', 0, 0);
        EXPECT_EQ(gh.gameSettings.qBallSize, c.expected);
        EXPECT_EQ(gh.spinWidgetSize, 128 + 64 * c.expected);
        gh.gameSettings.extendedCueBallLine = c.stored;
        gh.keyDown('l', 0, 0);
        EXPECT_EQ(gh.gameSettings.extendedCueBallLine, c.expected);
    }
    gh.keyDown('m', 0, 0);
    EXPECT_TRUE(sounds.all.muted);
    EXPECT_EQ(log.count("Sound OFF"), 1);
    keys.mods = 0;
    gh.keyDown('a', 0, 0);
    EXPECT_TRUE(gh.keysHeld[1]);
    EXPECT_FALSE(gh.keyDown('3', 0, 0));  // plain digit outside a replay does nothing
    setPlatform(previous);
}

}  // namespace
