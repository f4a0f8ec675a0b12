// INFO codes that change the game controller, the panels, the log or the keyboard queue, not only pages.
#include "client/gamehandler/state_change.h"
#include "core/log.h"
#include "dispatch/kred_box.h"
#include "dispatch_support.h"
#include "support/platform_recorder.h"
#include "support/spawn_recorder.h"

#include <string>
#include <vector>

namespace {

using bztest::DispatchTest;

Message info(int code, int a = 0, int b = 0, std::string textA = "", std::string textB = "", std::vector<int32_t> ints = {}) {
    Message m = Message::initInfo(40, code, a, b, textA, textB);
    m.intList = std::move(ints);
    return m;
}

constexpr int kEscape = 27;
constexpr int kF2 = 0x4000003B;

class ArezorTest : public DispatchTest {
protected:
    void SetUp() override {
        DispatchTest::SetUp();
        gh.table.setPlayer(0, &me);
        gh.table.setPlayer(1, &shown);
        gh.liveStatus->players[0] = &me;
        gh.liveStatus->players[1] = &shown;
        gh.liveStatus->gameState = 1;
        gh.now = 100.0;
        appState = STATE_GAME;
    }
    std::vector<std::string> announcements() const {
        return pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzAddTextToChat(");
    }
    Player me{"Alice"};
    Player shown{"Bob", 0x40};
    bztest::RecordingPlatform platform;
};

TEST_F(ArezorTest, FirstPowerChangesAreAnnouncedOnlyWhereTheyAreShown) {
    struct Row {
        const char* arezors;
        int gameState;
        uint16_t opponentType;
        const char* chat;    // the announcement's text, or "" for none
        const char* notice;  // the seated user's notice, or "" for none
        bool sound;
    } rows[] = {
        {"0000100000", 1, 0x40, "Arezor activated: Short Aiming Line (5 shots)", "Arezor: Short Aiming Line", true},
        {"0000110000", 1, 0x40, "", "", false},   // the first power stays power 4
        {"0000000000", 1, 0x40, "Arezor deactivated", "Arezor deactivated", false},
        {"1000000000", 0, 0x40, "", "", false},   // no frame in play
        {"0000000000", 1, 0x00, "", "", false},   // no seat shows its powers
    };
    for (const Row& row : rows) {
        pages.clear();
        sounds.played.clear();
        gh.liveStatus->gameState = row.gameState;
        shown.userType = row.opponentType;
        const int notices = log.count("Notice text: ");
        gh.processMessage(info(48, 9, 0, row.arezors));
        EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox).front(),
                  std::string("inbzSetArezor({dp:'") + row.arezors + "'});");
        const std::vector<std::string> chat = announcements();
        ASSERT_EQ(chat.size(), row.chat[0] != 0 ? 1u : 0u) << row.arezors;
        if (!chat.empty()) {
            EXPECT_NE(chat[0].find(std::string("text1: '") + row.chat + "'"), std::string::npos) << chat[0];
        }
        EXPECT_EQ(log.count("Notice text: "), notices + (row.notice[0] != 0 ? 1 : 0)) << row.arezors;
        if (row.notice[0] != 0) {
            EXPECT_EQ(log.count(std::string("Notice text: ") + row.notice + "\n"), 1);
        }
        EXPECT_EQ(sounds.played.size(), row.sound ? 1u : 0u) << row.arezors;
        if (row.sound) {
            EXPECT_EQ(sounds.played[0].clip, sounds.arezorClip);
        }
    }
    EXPECT_EQ(gh.arezorsValue, 9);
    EXPECT_TRUE(platform.calls.empty());
}

TEST_F(ArezorTest, ForcedPowerAndTheReversedViewKeys) {
    gh.aim.power = 10.0;
    gh.processMessage(info(48, 0, 0, "0010000"));
    EXPECT_DOUBLE_EQ(gh.aim.power, 0.5 * gh.maxPower);
    EXPECT_TRUE(platform.calls.empty());

    gh.processMessage(info(48, 0, 0, "0000001"));
    EXPECT_EQ(platform.calls, (std::vector<std::string>{"key:" + std::to_string(kEscape), "key:" + std::to_string(kF2)}));
    EXPECT_DOUBLE_EQ(gh.lastPresetKeyTime, 80.0);
    gh.processMessage(info(48, 0, 0, "1000001"));  // power 6 stays on
    EXPECT_EQ(platform.calls.size(), 2u);
    gh.processMessage(info(48, 0, 0, "0"));  // and goes off
    EXPECT_EQ(platform.calls.size(), 4u);

    // A user whose powers are shown to all has none in effect: nothing forced, no view change.
    gh.ownUserType = 0x40;
    gh.aim.power = 10.0;
    gh.processMessage(info(48, 0, 0, "0001001"));
    EXPECT_DOUBLE_EQ(gh.aim.power, 10.0);
    EXPECT_EQ(platform.calls.size(), 4u);
}

TEST_F(DispatchTest, InvitationOpensThePanelUnlessTheUserPlays) {
    Player me{"Alice"};
    Player bob{"Bob"};
    gh.table.setPlayer(0, &me);
    gh.table.setPlayer(1, &bob);
    gh.liveStatus->gameState = 1;
    const std::vector<int32_t> nine = {3, 1, 2, 5, 60, 10, 1500, 7, 0};
    const std::string js = "inbzInviteInfo({id: 11,inviter: 'O\\'Neil',state: 'Active',table: 3,gameType: 1,tableType: 2,"
                           "bestOf: 5,maxShotTime: 60,rank: 10,rating: 1500,form: 7,userType: 0,});";
    struct Row {
        AppState state;
        bool beta;
        bool opens;
    } rows[] = {{STATE_GAME, false, false}, {STATE_GAME, true, true}, {STATE_LOBBY, false, true}};
    for (const Row& row : rows) {
        pages.clear();
        gh.invitesPanel = {};
        appState = row.state;
        gh.betaLobbyPlayer = row.beta;
        gh.processMessage(info(30, 11, 0, "O'Neil", "", nine));
        EXPECT_EQ(gh.invitesPanel.visible, row.opens);
        EXPECT_EQ(pages.statementsFor(HtmlWindow::Invites), std::vector<std::string>{js});
        EXPECT_EQ(pages.statementsFor(HtmlWindow::Lobby),
                  std::vector<std::string>{"inbzNewPmOrInviteFrom({nick: 'O\\'Neil'});"});
    }
}

TEST_F(DispatchTest, TutorialTopicsMarksStatusAndResults) {
    appState = STATE_LOBBY;
    gh.betaLobbyPlayer = true;
    gh.processMessage(info(12, 0));
    EXPECT_FALSE(gh.inTutorial);
    gh.processMessage(info(12, 1));
    EXPECT_TRUE(gh.inTutorial);
    EXPECT_FALSE(gh.betaLobbyPlayer);
    EXPECT_EQ(appState.load(), STATE_TABLE);

    for (int topic : {3, 4, 3, 8, 6}) gh.processMessage(info(16, topic));
    ASSERT_EQ(gh.tutorialMarks.size(), 3u);  // 3, 4 and 6; the second 3 adds nothing
    EXPECT_EQ(gh.tutorialMarks[0], (TutorialMark{12.0f, -710.0f, 312.0f, -410.0f, 0}));
    EXPECT_EQ(gh.tutorialMarks[2], (TutorialMark{1339.5f, -936.63f, 1832.13f, 936.63f, 1}));
    EXPECT_EQ(gh.tutorialTopic, 6);
    EXPECT_TRUE(gh.bioTutPanel.visible);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BioTut).back(), "inbzOpenTut({topic:6});");
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox).back(), "inbzStartTutorialTopic({topic: 6,});");

    // Once per login, and only when nothing was passed in a normal lobby.
    const auto warnings = [&] { return pages.statementsStartingWith(HtmlWindow::Lobby, "inbzTutorialWarning").size(); };
    gh.processMessage(info(17, 0, 0, "0100"));
    gh.processMessage(info(17, 0, 0, "0000"));
    EXPECT_EQ(warnings(), 0u);
    gh.tutorialWarningPending = true;
    gh.isTourneyLobby = true;
    gh.processMessage(info(17, 0, 0, "0000"));
    EXPECT_EQ(warnings(), 0u);
    gh.isTourneyLobby = false;
    gh.tutorialWarningPending = true;
    gh.processMessage(info(17, 0, 0, "0'0"));
    EXPECT_EQ(warnings(), 0u);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox).back(), "inbzSetTutorialStatus({tutStatusString: '0\\'0',});");
    gh.tutorialWarningPending = true;
    gh.processMessage(info(17, 0, 0, ""));
    EXPECT_EQ(warnings(), 1u);

    gh.now = 50.0;
    handler.lastIncomingIid = 7;  // 7 mod 3 picks the second clip
    gh.processMessage(info(21));
    gh.tutorialTopic = 16;
    gh.processMessage(info(21));
    gh.processMessage(info(22));
    EXPECT_EQ(pages.statementsFor(HtmlWindow::CoinToss),
              (std::vector<std::string>{"inbzTutResult({passed:true});", "inbzTutResult({passed:true});",
                                        "inbzTutResult({passed:false});"}));
    EXPECT_TRUE(gh.tutResultPanel.visible);
    EXPECT_DOUBLE_EQ(gh.tutResultPanel.openedAt, 50.6);
    ASSERT_EQ(sounds.played.size(), 2u);
    EXPECT_EQ(sounds.played[0].clip, sounds.tutorialPassClip2);
    EXPECT_EQ(sounds.played[1].clip, sounds.tutorialTopic16PassClip);
    EXPECT_EQ(gh.tutorialMarks.size(), 3u);

    gh.processMessage(info(20));
    EXPECT_TRUE(gh.tutorialMarks.empty());
    EXPECT_EQ(gh.tutorialTopic, 0);
    EXPECT_TRUE(gh.inTutorial);
    gh.processMessage(info(14));
    EXPECT_EQ(appState.load(), STATE_LOBBY);
    // Each end of the topic (two passes, a failure, the cancel, leaving) reaches the Tutorial window too.
    const std::vector<std::string> bio = pages.statementsFor(HtmlWindow::BioTut);
    EXPECT_EQ(std::vector<std::string>(bio.end() - 5, bio.end()), std::vector<std::string>(5, "inbzStopTutorialTopic();"));
}

TEST_F(DispatchTest, CurrentCuesAndStoreSounds) {
    gh.processMessage(info(52, 4, 9, "", "-Bob"));
    EXPECT_EQ(gh.findPlayer("Bob")->currentCue, 9);
    gh.processMessage(info(52, 5, 6, "Ann", ""));
    EXPECT_EQ(gh.findPlayer("Ann")->currentCue, 5);
    EXPECT_EQ(gh.findPlayer("Bob")->currentCue, 9);
    for (int code : {54, 55, 56}) gh.processMessage(info(code, 1));
    ASSERT_EQ(sounds.played.size(), 3u);
    EXPECT_EQ(sounds.played[0].clip, sounds.cueUsedClip);
    EXPECT_EQ(sounds.played[1].clip, sounds.cuePurchasedClip);
    EXPECT_EQ(sounds.played[2].clip, sounds.cuePartsFusedClip);
    EXPECT_EQ(sounds.played[0].kind, SoundKind::Ball);
}

TEST_F(DispatchTest, KredBoxLinkLivesFromOpeningToCollection) {
    appState = STATE_TABLE;
    kredBoxCollected(gh);  // no live link: only the sound
    EXPECT_TRUE(pages.entries().empty());
    kredBoxOpened(gh);
    kredBoxOpened(gh);
    const std::vector<std::string> bottom = pages.statementsFor(HtmlWindow::BottomBox);
    ASSERT_EQ(bottom.size(), 3u);
    EXPECT_NE(bottom[0].find("<span id=\\\"kboxCollectId1\\\">"), std::string::npos) << bottom[0];
    EXPECT_EQ(bottom[1], "var qci = document.getElementById(\"kboxCollectId1\"); if (qci != undefined) { qci.innerHTML = \"\"; }");
    EXPECT_NE(bottom[2].find("kboxCollectId2"), std::string::npos);
    EXPECT_NE(bottom[2].find("sendButtonPress(\\'kbox-collect\\')"), std::string::npos) << bottom[2];
    EXPECT_TRUE(pages.statementsFor(HtmlWindow::Lobby).empty());  // table chat only

    gh.processMessage(info(36, 300, 0));
    pages.clear();
    kredBoxCollected(gh);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox),
              std::vector<std::string>{"var qci = document.getElementById(\"kboxCollectId2\"); if (qci != undefined) {"
                                       "    qci.innerHTML = \"Collected 300 Kred.\";}"});
    EXPECT_TRUE(gh.kredBoxCollectId.empty());
    const std::vector<bztest::RecordingSoundBank::Played> expected = {
        {SoundKind::Ball, 17, 1.0f}, {SoundKind::Ball, 18, 0.1f}, {SoundKind::Ball, 18, 0.1f}, {SoundKind::Ball, 17, 1.0f}};
    EXPECT_EQ(sounds.played.size(), 4u);
    for (size_t i = 0; i < sounds.played.size() && i < 4; ++i) {
        EXPECT_EQ(sounds.played[i].clip, expected[i].clip);
        EXPECT_NEAR(sounds.played[i].volume, expected[i].volume * sounds.played[0].volume, 1e-6);
    }
}

TEST_F(DispatchTest, ReplayPartsJoinAndStartWithTheLast) {
    gh.replaysPanel.visible = true;
    gh.processMessage(info(65, 2, 1, "AB", "1,2", {77, 0, -3, 4, 1, 0}));
    gh.processMessage(info(65, 9, 0, "CD", "x", {1, 1, 1, 1, 1, 1}));
    EXPECT_TRUE(gh.replaysPanel.visible);
    gh.processMessage(info(65, 9, 2, "EF"));
    EXPECT_EQ(gh.replayText, "ABCDEF");
    EXPECT_EQ(gh.replayKind, 2);
    EXPECT_EQ(gh.replayMarkedShots, "1,2");
    EXPECT_EQ(gh.replayMatchId, 77);
    EXPECT_EQ(gh.replayFrameNumber, 1);
    EXPECT_EQ(gh.replayStartShot, 1);
    EXPECT_EQ(gh.replayFrameCount, 4);
    EXPECT_FALSE(gh.replaysPanel.visible);
    // The replay player's own statements follow these two.
    const std::vector<std::string> bottomFirst = pages.statementsFor(HtmlWindow::BottomBox);
    ASSERT_GE(bottomFirst.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(bottomFirst.begin(), bottomFirst.begin() + 2),
              (std::vector<std::string>{"inbzSetReplayLinesEnabled([true,false]);", "inbzEnterReplayMode();"}));

    pages.clear();
    gh.processMessage(info(65, 1, 3, "Z"));
    EXPECT_EQ(gh.replayText, "Z");
    EXPECT_EQ(gh.replayMatchId, 0);
    // The replay player's own statements follow these two.
    const std::vector<std::string> bottomSecond = pages.statementsFor(HtmlWindow::BottomBox);
    ASSERT_GE(bottomSecond.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(bottomSecond.begin(), bottomSecond.begin() + 2),
              (std::vector<std::string>{"inbzSetReplayLinesEnabled([false,false]);", "inbzEnterReplayMode();"}));
}

TEST_F(DispatchTest, LeavingAReplayAndMarkedShots) {
    appState = STATE_GAME;
    gh.replayMode = true;
    gh.processMessage(info(67, -1));
    EXPECT_TRUE(gh.replayMode);
    EXPECT_EQ(log.count("Notice text: Sorry, no free practice table found. Try again later."), 1);
    gh.processMessage(info(67, 5));
    EXPECT_FALSE(gh.replayMode);
    EXPECT_TRUE(gh.replayTableSettingsPending);
    EXPECT_EQ(appState.load(), STATE_GAME);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox), std::vector<std::string>{"inbzLobbyViewStarted();"});
    gh.processMessage(info(67, 0));
    EXPECT_FALSE(gh.replayTableSettingsPending);
    EXPECT_EQ(appState.load(), STATE_LOBBY);

    gh.replayMode = true;
    gh.replayMatchId = 8;
    gh.replayFrameNumber = 2;
    pages.clear();
    for (const char* shots : {"1);alert(1", "1.5", "--1", "1,,2"}) gh.processMessage(info(80, 8, 2, shots));
    gh.processMessage(info(80, 8, 3, "4"));  // another frame
    EXPECT_TRUE(pages.entries().empty());
    gh.processMessage(info(80, 8, 2, " 3, -4 ,12"));
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox), std::vector<std::string>{"inbzSetReplayMarkedShots([3,-4,12]);"});
    EXPECT_EQ(log.count("ERROR: Not a list of integers, not shown: marked shots"), 4);
}

TEST_F(DispatchTest, SaveDialogAndReplaySettings) {
    gh.replaySavePlayer = 1;
    gh.processMessage(info(73, 5, 6, "it's", "", {2, 14, 3, 0, 0, 1}));
    gh.processMessage(info(73, 5, 6, "", "", {2, 14, 3, 1, 0, 1}));
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox),
              (std::vector<std::string>{
                  "inbzReplayOpenSave({obj:5,match_id:6,frame_number:2,shot_number:14,player_on:1,keywords:3,"
                  "notes:'it\\'s',finalized:1,});",
                  "inbzReplayOpenSave({obj:5,match_id:6,frame_number:2,shot_number:14,player_on:0,keywords:3,"
                  "notes:'',finalized:1,});"}));
    EXPECT_TRUE(gh.replaySaveDialogOpen);
    gh.processMessage(info(77, 0, 7));
    EXPECT_FALSE(gh.replayAimLinesShow);
    EXPECT_TRUE(gh.replayAimingProcessShow);
}

TEST_F(DispatchTest, MatchStatsDataOpensItsPanel) {
    gh.now = 3.0;
    gh.processMessage(info(45, 1, 2));
    EXPECT_TRUE(gh.lineUpPanel.visible);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::MatchStats),
              (std::vector<std::string>{"inbzUpdateMatchStats({ forCurrentMatch: false,match_id: 1,match_state: 2,idata: [],"
                                        "sdata: [],});",
                                        "inbzOpenMatchStats({idx:1});"}));
    pages.clear();
    gh.processMessage(info(46, 1, 2));
    EXPECT_EQ(pages.statementsFor(HtmlWindow::MatchStats).back(), "inbzUpdateCurrentMatchStats();");
}

TEST_F(DispatchTest, OpenUrlReachesOnlyTheOpenerAndOnlyForWebAddresses) {
    bztest::SpawnRecorder spawns;
    for (const char* url : {"file:///etc/passwd", "javascript:alert(1)", "http://x/'; rm -rf ~", "http://x/\"a",
                            "https://x/$(touch y)", "http://x/`id`", "http://x/a\n", "ftp://host/", " http://x/"}) {
        gh.processMessage(info(96, 0, 0, url));
    }
    EXPECT_TRUE(bztest::SpawnRecorder::spawned().empty());
    gh.processMessage(info(96, 0, 0, "https://example.org/a?b=c&d=%27e%27#f"));
    ASSERT_EQ(bztest::SpawnRecorder::spawned().size(), 1u);
    EXPECT_EQ(bztest::SpawnRecorder::spawned()[0],
              (std::vector<std::string>{"xdg-open", "https://example.org/a?b=c&d=%27e%27#f"}));
    EXPECT_EQ(log.count("ERROR: Refused to open '"), 9);
    EXPECT_TRUE(pages.entries().empty());
}

TEST_F(DispatchTest, LogControlConfiguresClampsAndRefuses) {
    const LogConfig before = logConfig();
    gh.processMessage(info(81, 1, -1, "", "", {120, -1, -1}));
    LogConfig now = logConfig();
    EXPECT_EQ(now.maxDurationSeconds, 120);
    EXPECT_EQ(now.maxLineLength, before.maxLineLength);
    EXPECT_EQ(now.maxFileSize, before.maxFileSize);
    EXPECT_EQ(now.levelMask, before.levelMask);
    EXPECT_EQ(now.enabled, 1);

    gh.processMessage(info(81, 1, 0xFF, "", "", {-1, 2000000000, 2000000000}));
    now = logConfig();
    EXPECT_EQ(now.levelMask, 0xFFu);
    EXPECT_EQ(now.maxLineLength, 16 * 1024);
    EXPECT_EQ(now.maxFileSize, 16 * 1024 * 1024);
    EXPECT_EQ(now.maxDurationSeconds, 120);

    gh.processMessage(info(81, 1, 0xFFFF, "", "", {300}));  // only the first value given
    EXPECT_EQ(logConfig().maxDurationSeconds, 300);
    EXPECT_EQ(logConfig().maxFileSize, 16 * 1024 * 1024);

    for (int action : {4, 0, 6}) gh.processMessage(info(81, action));
    EXPECT_EQ(log.count("ERROR: Invalid BZLOG action code: 4"), 1);
    EXPECT_EQ(log.count("ERROR: Invalid BZLOG action code: "), 3);
}

}  // namespace
