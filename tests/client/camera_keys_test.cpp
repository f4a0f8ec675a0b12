// The camera keys of the game view: the F2 preset cycle with its ten-second rule, and the other keys
// with their conditions, through keyDown as the frame loop calls it.
#include "client/gamehandler/game_handler.h"
#include "core/platform.h"
#include "support/platform_recorder.h"
#include "support/table_view.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

namespace {

constexpr int KEY_ESCAPE = SDLK_ESCAPE;
constexpr int KEY_SPACE = SDLK_SPACE;
constexpr int KEY_F2 = SDLK_F2;
constexpr int KEY_F4 = SDLK_F4;
constexpr int KEY_F11 = SDLK_F11;

class CameraKeysTest : public ::testing::Test {
public:  // the table rows' checks read the recorders
    void SetUp() override {
        bztest::seatMeOnTurn(gh);
        gh.setViewport(1000, 500, 1000, 500, 0, 0);
        gh.now = 1000;
    }
    void press(int key, uint16_t mods = 0) {
        platform.modifiers = mods;
        gh.keyDown(key, 0, 0);
        platform.modifiers = 0;
    }
    bool called(const std::string& call) const {
        return std::find(platform.calls.begin(), platform.calls.end(), call) != platform.calls.end();
    }
    bool statementRun(const std::string& statement) const {
        const auto all = seam.pages.statementsFor(HtmlWindow::BottomBox);
        return std::find(all.begin(), all.end(), statement) != all.end();
    }

    bztest::RecordingPlatform platform;
    bztest::OwnUserSeam seam;
    GameHandler gh;
};

// F2 steps through the five presets while pressed within 10 s of the last press; after a pause it
// starts again from the whole-table view, and a "t" view of the user's role always gives preset 0.
TEST_F(CameraKeysTest, F2CyclesThePresetsWithTheTenSecondRule) {
    struct Row {
        const char* name;
        int preset;
        double secondsSinceLast;
        bool shift, roleFlag;
        int expect;
    };
    const Row rows[] = {
        {"steps on", 2, 5, false, false, 3},
        {"wraps round", 4, 5, false, false, 0},
        {"shift steps back from 0", 0, 5, true, false, 4},
        {"shift steps back", 3, 9.9, true, false, 2},
        {"after a pause back to 0", 3, 11, false, false, 0},
        {"after a pause from 0 steps on", 0, 11, false, false, 1},
        {"no preset on: 0", -1, 5, false, false, 0},
        {"role flag: always 0", 2, 5, false, true, 0},
    };
    for (const Row& r : rows) {
        gh.cameraPreset = r.preset;
        gh.lastPresetKeyTime = gh.now - r.secondsSinceLast;
        gh.playerViewMode = r.roleFlag;
        press(KEY_F2, r.shift ? MOD_SHIFT : 0);
        EXPECT_EQ(gh.cameraPreset, r.expect) << r.name;
        EXPECT_DOUBLE_EQ(gh.lastPresetKeyTime, gh.now) << r.name;
        EXPECT_FALSE(gh.playerViewMode) << r.name;  // F2 clears the overview view
        gh.now += 20;
    }
    EXPECT_TRUE(statementRun("inbzSetView({role: 'p',view: '22',});"));
}

TEST_F(CameraKeysTest, F2LeavesTheFreeViewAndIsIgnoredInFirstPersonOrBetweenFrames) {
    gh.enter3DView();
    gh.cameraPreset = 3;
    gh.lastPresetKeyTime = gh.now - 1;
    press(KEY_F2);
    EXPECT_FALSE(gh.in3DView);
    EXPECT_EQ(gh.cameraPreset, 0);  // none after the 3D view: the whole table

    gh.povMode = true;
    press(KEY_F2);
    EXPECT_EQ(gh.cameraPreset, 0);
    gh.povMode = false;
    gh.liveStatus->gameState = 0;
    gh.lastPresetKeyTime = gh.now - 1;
    press(KEY_F2);
    EXPECT_EQ(gh.cameraPreset, 0);
}

TEST_F(CameraKeysTest, CameraKeysTable) {
    struct Row {
        const char* name;
        int key;
        uint16_t mods;
        std::function<void(GameHandler&)> setup;
        std::function<bool(const GameHandler&, const CameraKeysTest&)> check;
    };
    auto none = [](GameHandler&) {};
    const Row rows[] = {
        {"Escape leaves the 3D view without an aim and keeps the preset", KEY_ESCAPE, 0,
         [](GameHandler& g) {
             g.cameraPreset = 2;
             g.enter3DView();
         },
         [](const GameHandler& g, const CameraKeysTest&) { return !g.in3DView && g.cameraPreset == 2; }},
        {"Escape ends a pointing aim and puts the pointer back", KEY_ESCAPE, 0,
         [](GameHandler& g) {
             g.pointAiming = 1;
             g.aimShown = true;
             g.pointerReturnX = 500;
             g.pointerReturnY = 250;
         },
         [](const GameHandler& g, const CameraKeysTest& t) {
             return g.pointAiming == 0 && !g.aimShown && t.called("warp:500,250") && t.called("cursor:1");
         }},
        {"Escape leaves the aim alone while the power bar is dragged", KEY_ESCAPE, 0,
         [](GameHandler& g) {
             g.pointAiming = 1;
             g.powerDrag = 1;
         },
         [](const GameHandler& g, const CameraKeysTest&) { return g.pointAiming == 1; }},
        {"Space with a pointing aim and an empty chat: first person", KEY_SPACE, 0,
         [](GameHandler& g) { g.pointAiming = 1; },
         [](const GameHandler& g, const CameraKeysTest& t) {
             return g.povMode && t.statementRun("inbzSetPOVMode({isOn: true});");
         }},
        {"Space while typing in the chat does nothing", KEY_SPACE, 0,
         [](GameHandler& g) {
             g.pointAiming = 1;
             g.chatTextEmpty = false;
         },
         [](const GameHandler& g, const CameraKeysTest&) { return !g.povMode; }},
        {"Ctrl+Space while typing: first person", KEY_SPACE, MOD_CTRL,
         [](GameHandler& g) {
             g.pointAiming = 1;
             g.chatTextEmpty = false;
         },
         [](const GameHandler& g, const CameraKeysTest&) { return g.povMode; }},
        {"Space in first person: back to a shown pointing aim", KEY_SPACE, 0,
         [](GameHandler& g) {
             g.pointAiming = 1;
             g.switchPOVMode();
             g.dragX = 12;
         },
         [](const GameHandler& g, const CameraKeysTest&) {
             return !g.povMode && g.pointAiming == 1 && g.aimShown && g.aimDragMode == 0 && g.savedDragX == 12;
         }},
        {"F4 for a player: the player's overview view", KEY_F4, 0, none,
         [](const GameHandler& g, const CameraKeysTest&) { return g.playerViewMode && !g.spectatorViewMode; }},
        {"F4 in a replay: the spectator's overview view", KEY_F4, 0, [](GameHandler& g) { g.replayMode = true; },
         [](const GameHandler& g, const CameraKeysTest&) { return g.spectatorViewMode && !g.playerViewMode; }},
        {"F11 goes to desktop full screen", KEY_F11, 0, none,
         [](const GameHandler& g, const CameraKeysTest& t) {
             return g.fullScreen && g.gameSettings.displayMode == 1 &&
                    t.called("fullscreen:" + std::to_string(static_cast<int>(FullscreenMode::Desktop)));
         }},
        {"Shift+F11 goes to the 1280 x 720 mode", KEY_F11, MOD_SHIFT, none,
         [](const GameHandler& g, const CameraKeysTest& t) {
             return g.fullScreen && t.called("fullscreen:" + std::to_string(static_cast<int>(FullscreenMode::Exclusive)));
         }},
        {"F11 in full screen goes back to the window", KEY_F11, 0, [](GameHandler& g) { g.fullScreen = true; },
         [](const GameHandler& g, const CameraKeysTest& t) {
             return !g.fullScreen && g.gameSettings.displayMode == 0 &&
                    t.called("fullscreen:" + std::to_string(static_cast<int>(FullscreenMode::Windowed)));
         }},
        {"Ctrl+F leaves the overview for the 3D view", 'f', MOD_CTRL,
         [](GameHandler& g) {
             g.enterOverviewCamera();
             g.tutorialTopic = 14;
         },
         [](const GameHandler& g, const CameraKeysTest&) {
             return g.in3DView && !g.inOverview && g.tutorialActionDone && g.lookAtEye[0] == -5400;
         }},
        {"Ctrl+F in the 3D view goes back to the preset", 'f', MOD_CTRL, [](GameHandler& g) { g.enter3DView(); },
         [](const GameHandler& g, const CameraKeysTest&) { return !g.in3DView && g.viewAzimuth == 90; }},
        {"Ctrl+Shift+F puts the free camera home", 'f', MOD_CTRL | MOD_SHIFT,
         [](GameHandler& g) {
             g.enter3DView();
             g.freeCamera.eye[0] = -100;
         },
         [](const GameHandler& g, const CameraKeysTest&) { return g.in3DView && g.lookAtEye[0] == -5400; }},
        {"Ctrl+D asks for the layout again", 'd', MOD_CTRL, none,
         [](const GameHandler& g, const CameraKeysTest&) { return g.bottomBoxLayoutRequest == 1; }},
        {"Ctrl+Shift+D asks for the other size", 'd', MOD_CTRL | MOD_SHIFT, none,
         [](const GameHandler& g, const CameraKeysTest&) { return g.bottomBoxLayoutRequest == 2; }},
        {"d in first person moves the target right", 'd', 0,
         [](GameHandler& g) {
             g.pointAiming = 1;
             g.switchPOVMode();
         },
         [](const GameHandler& g, const CameraKeysTest&) {
             return g.povSideStep == 26.25 && g.povSideStepTime == g.now && g.keysHeld[3];
         }},
        {"Ctrl+B turns the break display on with a running break", 'b', MOD_CTRL,
         [](GameHandler& g) {
             g.gameSettings.ballsPotted = 0;
             g.liveStatus->breakScore = 12;
             g.liveStatus->frameScore[0] = 20;
         },
         [](const GameHandler& g, const CameraKeysTest& t) {
             const auto all = t.seam.pages.statementsFor(HtmlWindow::TopBox);
             const bool shown = std::any_of(all.begin(), all.end(), [](const std::string& s) {
                 return s.find("showBreak: 1") != std::string::npos;
             });
             return g.gameSettings.ballsPotted == 1 && shown;
         }},
    };
    for (const Row& r : rows) {
        GameHandler g;
        g.table.seats[0] = g.findPlayer("Alice");
        g.table.seats[1] = g.findPlayer("Bob");
        g.liveStatus->gameState = 1;
        g.liveStatus->playerOn = 0;
        g.setViewport(1000, 500, 1000, 500, 0, 0);
        g.now = 1000;
        platform.calls.clear();
        seam.pages.clear();
        r.setup(g);
        platform.modifiers = r.mods;
        g.keyDown(r.key, 0, 0);
        platform.modifiers = 0;
        EXPECT_TRUE(r.check(g, *this)) << r.name;
    }
}

}  // namespace
