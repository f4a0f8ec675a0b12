#include "client/gamehandler/game_handler.h"
#include "client/panels/game_settings_apply.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "support/platform_recorder.h"
#include "support/settings_window_recorder.h"
#include "support/sound_recorder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

namespace {

class SaveGameSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("bz_settings_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
        gh.prefPath = folder.string() + "/";
        previousSink = setPageScriptSink(&pages);
        appState = STATE_LOBBY;
    }
    void TearDown() override {
        setPageScriptSink(previousSink);
        appState = STATE_STARTUP;
        std::filesystem::remove_all(folder);
    }

    std::filesystem::path folder;
    GameHandler gh;
    RecordingPageScriptSink pages;
    PageScriptSink* previousSink = nullptr;
    bztest::RecordingSettingsWindow window;
    bztest::RecordingPlatform platform;
    bztest::RecordingSoundBank bank;
};

TEST_F(SaveGameSettingsTest, OnlyADisplayGroupChangeAnnouncesOneResize) {
    struct Case {
        const char* what;
        void (*change)(GameSettings&);
        int resizes;
    } cases[] = {
        {"the same record", [](GameSettings&) {}, 0},
        {"vsync", [](GameSettings& s) { s.vsync = 0; }, 1},
        {"arena", [](GameSettings& s) { s.arena = 1; }, 1},
        {"fps and lights together", [](GameSettings& s) { s.fps = 75; s.lightSources = 1; }, 1},
        {"resolution limit", [](GameSettings& s) { s.resolutionLimit = 1280; }, 1},
        {"a sound switch", [](GameSettings& s) { s.ballSounds = 0; }, 0},
        {"display mode", [](GameSettings& s) { s.displayMode = 1; }, 0},
    };
    for (const Case& c : cases) {
        gh.gameSettings = GameSettings{};
        window.resizes = 0;
        GameSettings s = gh.gameSettings;
        c.change(s);
        gh.saveGameSettings(s);
        EXPECT_EQ(window.resizes, c.resizes) << c.what;
    }
    // The record itself, as the start-up passes it.
    window.resizes = 0;
    gh.saveGameSettings(gh.gameSettings);
    EXPECT_EQ(window.resizes, 0);
}

TEST_F(SaveGameSettingsTest, SavingTheSameRecordStillAppliesEverything) {
    gh.saveGameSettings(gh.gameSettings);
    EXPECT_EQ(window.intervals, std::vector<int>{1});
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox),
              std::vector<std::string>{"if (typeof inbzSetShowLiveAimingIcons !== 'undefined') { "
                                       "inbzSetShowLiveAimingIcons({ enabled:true }); }"});
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Lobby),
              std::vector<std::string>{"if (typeof inbzSetLobbyWidth !== 'undefined') {    inbzSetLobbyWidth({"
                                       "        lobbyWidth:1    });}"});
    EXPECT_EQ(pages.statementsFor(HtmlWindow::TopBox).size(), 2u);
}

TEST_F(SaveGameSettingsTest, FrameRateTarget) {
    struct Case {
        float fps;
        double target;
    } cases[] = {{144.0f, 144.0}, {0.0f, 60.0}, {0.5f, 60.0}, {NAN, 60.0}, {-3.0f, 60.0}, {59.94f, double(59.94f)}, {1e9f, 1000.0}};
    for (const Case& c : cases) {
        gh.maxFps = 60.0;
        gh.fpsChanged = false;
        GameSettings s;
        s.fps = c.fps;
        gh.saveGameSettings(s);
        EXPECT_EQ(gh.maxFps, c.target) << c.fps;
        EXPECT_EQ(gh.fpsChanged, c.target != 60.0) << c.fps;
        EXPECT_TRUE(std::isfinite(gh.gameSettings.fps)) << c.fps;
    }
}

TEST_F(SaveGameSettingsTest, FullScreenOnlyOnAChange) {
    GameSettings s;
    s.displayMode = 1;
    gh.saveGameSettings(s);
    gh.saveGameSettings(s);
    s.displayMode = 0;
    gh.saveGameSettings(s);
    EXPECT_EQ(platform.calls, (std::vector<std::string>{"fullscreen:1", "fullscreen:0"}));
    EXPECT_FALSE(gh.fullScreen);
}

TEST_F(SaveGameSettingsTest, LightingAndCueBallReachTheScene) {
    struct Case {
        int lightSources, cueBallDesign;
        std::pair<bool, int> scene;
    } cases[] = {{1, 0, {true, 0}}, {0, 1, {false, 1}}, {2, 2, {false, 1}}, {1, -1, {true, 1}}};
    for (const Case& c : cases) {
        window.scenes.clear();
        GameSettings s;
        s.lightSources = c.lightSources;
        s.cueBallDesign = c.cueBallDesign;
        gh.saveGameSettings(s);
        EXPECT_EQ(window.scenes, (std::vector<std::pair<bool, int>>{c.scene})) << c.lightSources << "," << c.cueBallDesign;
    }
}

TEST_F(SaveGameSettingsTest, SpinWidgetSize) {
    const std::pair<int, int> cases[] = {{0, 128}, {1, 192}, {2, 256}, {5, 192}, {-1, 192}};
    for (const auto& [qBallSize, size] : cases) {
        GameSettings s;
        s.qBallSize = qBallSize;
        gh.saveGameSettings(s);
        EXPECT_EQ(gh.spinWidgetSize, size) << qBallSize;
    }
}

TEST_F(SaveGameSettingsTest, SoundSwitchesAndVolumesReachTheBank) {
    GameSettings s;
    s.allSounds = 0;
    s.ballVolume = 55;
    s.refereeSounds = 0;
    s.crowdVolume = 250;  // out of range: clamped before it is stored
    s.friendSounds = 0;
    gh.saveGameSettings(s);
    EXPECT_TRUE(bank.all.muted);
    EXPECT_FALSE(bank.ball.muted);
    EXPECT_FLOAT_EQ(bank.ball.volume, 0.55f);
    EXPECT_TRUE(bank.referee.muted);
    EXPECT_FLOAT_EQ(bank.referee.volume, 1.0f);
    EXPECT_FLOAT_EQ(bank.crowd.volume, 1.0f);
    EXPECT_EQ(gh.gameSettings.crowdVolume, 100);
    EXPECT_TRUE(bank.friendMuted);
    s.ballVolume = -20;
    gh.saveGameSettings(s);
    EXPECT_FLOAT_EQ(bank.ball.volume, 0.0f);
}

TEST_F(SaveGameSettingsTest, ThePreferencesFileHoldsTheClampedRecord) {
    GameSettings s;
    s.ballVolume = 40;
    s.refereeVolume = 900;
    s.fps = 120;
    gh.saveGameSettings(s);
    GameSettings loaded;
    loaded.ballVolume = 0;
    bool missing = true;
    ASSERT_TRUE(loadGameSettings(gh.prefPath, loaded, missing));
    EXPECT_EQ(loaded.ballVolume, 40);
    EXPECT_EQ(loaded.refereeVolume, 100);
    EXPECT_EQ(loaded.fps, 120.0f);
}

TEST_F(SaveGameSettingsTest, TopBoxDisplaysOnlyInAFrame) {
    struct Case {
        const char* what;
        AppState state;
        int gameState, breakScore, playerOnScore, ballsPotted, ballOn;
        bool showBreak, showBallOn;
    } cases[] = {
        {"in a frame", STATE_GAME, 1, 12, 20, 1, 1, true, true},
        {"outside the game state", STATE_TABLE, 1, 12, 20, 1, 1, false, false},
        {"no frame in play", STATE_GAME, 0, 12, 20, 1, 1, false, false},
        {"no break yet", STATE_GAME, 1, 0, 20, 1, 1, false, true},
        {"break above the frame score", STATE_GAME, 1, 30, 20, 1, 1, false, true},
        {"switched off", STATE_GAME, 1, 12, 20, 0, 0, false, false},
    };
    for (const Case& c : cases) {
        pages.clear();
        appState = c.state;
        gh.table.status.gameState = c.gameState;
        gh.table.status.breakScore = c.breakScore;
        gh.table.status.playerOn = 1;
        gh.table.status.frameScore[1] = c.playerOnScore;
        GameSettings s;
        s.ballsPotted = c.ballsPotted;
        s.ballOn = c.ballOn;
        gh.saveGameSettings(s);
        const auto top = pages.statementsFor(HtmlWindow::TopBox);
        ASSERT_EQ(top.size(), 2u) << c.what;
        EXPECT_NE(top[0].find(std::string("showBreak: ") + (c.showBreak ? "1" : "0")), std::string::npos) << c.what;
        EXPECT_NE(top[1].find(std::string("showBallOn: ") + (c.showBallOn ? "1" : "0")), std::string::npos) << c.what;
    }
}

TEST_F(SaveGameSettingsTest, ResetSavesTheResetRecordAndReopens) {
    gh.gameSettings.ballVolume = 10;
    gh.gameSettings.lobbyWidth = 3;
    gh.gameSettingsPanel.visible = true;
    gh.gameSettingsPanel.openedAt = 1.0;
    gh.now = 5.0;
    gh.resetGameSettings();
    EXPECT_EQ(gh.gameSettings.ballVolume, 100);
    EXPECT_EQ(gh.gameSettings.lobbyWidth, 1);
    // Already open: the panel is not delayed again.
    EXPECT_EQ(gh.gameSettingsPanel.openedAt, 1.0);
    const auto sent = pages.statementsFor(HtmlWindow::GameSettings);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].rfind("inbzOpenGameSettings({cueBallDesign: 1,ghostCueBall: 1,", 0), 0u);
    EXPECT_NE(sent[0].find(",fps: 30,"), std::string::npos);
    EXPECT_NE(sent[0].find("lobbyWidth: 1,qballTipSizeScaled: 0,});"), std::string::npos);
}

TEST(OpenGameSettingsStatement, WritesEveryKeyedSlotInOrder) {
    GameSettings s;
    s.fps = 59.94f;
    s.unkeyedSetting = 77;
    const std::string text = openGameSettingsStatement(s);
    EXPECT_NE(text.find("vsync: 1,fps: 59.94,antiAliasing: 4,"), std::string::npos);
    EXPECT_EQ(text.find("77"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), ':'), 41);
}

}  // namespace
