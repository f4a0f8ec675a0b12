// The game controller's construction and start-up.
#include "client/gamehandler/game_handler.h"
#include "support/captured_log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// The defaults other code relies on: the values a reader of each group starts from.
TEST(GameHandlerDefaultsTest, EachGroupStartsWithTheValuesItsReadersExpect) {
    GameHandler gh;
    struct Check {
        const char* field;
        double actual;
        double expected;
    } checks[] = {
        {"maxFps", gh.maxFps, 60.0},
        {"measuredFps", gh.measuredFps, 60.0},
        {"chatTextEmpty", double(gh.chatTextEmpty), 1},
        {"bottomBoxCollapsed", double(gh.bottomBoxCollapsed), 0},
        {"ownUserType", double(gh.ownUserType), 0},
        {"leaveWarningAlert", double(gh.leaveWarningAlert), 1},
        {"replays panel", double(gh.replaysPanel.visible), 0},
        {"breakPlayer", double(gh.breakPlayer), -1},
        {"lastFrameWonBy", double(gh.lastFrameWonBy), -1},
        {"fieldOfViewDegrees", gh.fieldOfViewDegrees, 40.0},
        {"camera yaw", gh.camera.yaw, -90.0},
        {"camera position z", gh.camera.position[2], 9.0},
        {"camera speed", gh.camera.movementSpeed, 250.0},
        {"pending concededBy", double(gh.pendingStatus.concededBy), -1},
        {"pending matchConcededBy", double(gh.pendingStatus.matchConcededBy), -1},
        {"viewAzimuth", gh.viewAzimuth, 90.0},
        {"aimAngle", gh.aim.aimAngle, 125.0},
        {"power", gh.aim.power, 160.0},
        {"topSpin", gh.aim.topSpin, 80.0},
        {"sideSpin", gh.aim.sideSpin, 0.0},
        {"elevation", gh.aim.elevation, 0.0},
        {"maxPower", gh.maxPower, 400.0},
        {"minPower", gh.minPower, 3.0},
        {"maxElevation", gh.maxElevation, 70.0},
        {"elevationMargin", gh.elevationMargin, 7.0},
        {"pov distance", gh.povDistances[2], 840.0},
        {"free camera eye x", gh.freeCamera.eye[0], -5400.0},
        {"free camera home yaw", gh.freeCameraHome.yaw, 180.0},
        {"hudColumnX", gh.hudColumnX, 992.0},
        {"pocketTidyTime", gh.pocketTidyTime, -1.0},
        {"spinWidgetSize", double(gh.spinWidgetSize), 192},
        {"spinWidgetPlacement", double(gh.spinWidgetPlacement), 3},
        {"lastStatusSequence", double(gh.lastStatusSequence), 0},
        {"notificationSounds", double(gh.notificationSounds), 1},
        {"replay time factor", gh.replayTimeFactor, 1.0},
        {"slowest replay speed", gh.replaySpeedFactors[0], 0.0599988000239995},
        {"replayMode", double(gh.replayMode), 0},
        {"replayLoopCountdown", double(gh.replayLoopCountdown), 10},
    };
    for (const Check& c : checks) EXPECT_DOUBLE_EQ(c.actual, c.expected) << c.field;

    EXPECT_EQ(gh.arezors, "0000000");
    EXPECT_EQ(gh.emojiStatus, std::string(15, '1') + std::string(8, '0'));
    EXPECT_EQ(gh.cueBall, &gh.table.balls[0]);
    EXPECT_EQ(gh.liveStatus, &gh.table.status);
    EXPECT_EQ(gh.aimLineColours[4], (RgbColour{239, 186, 128}));
    EXPECT_EQ(gh.aimLineColours[9], (RgbColour{128, 0, 128}));
    EXPECT_TRUE(gh.players.empty());
    EXPECT_TRUE(gh.deferredChatMessages.empty());
    // The table is built racked: version 2, type 1.
    int version = 0;
    EXPECT_EQ(gh.table.getVersionAndType(version), 1);
    EXPECT_EQ(version, 2);
}

TEST(GameHandlerTest, TheSingleObjectIsBuiltOnceAndKeepsWhatWasWritten) {
    GameHandler& first = getGameHandler();
    first.gameSettings.ballVolume = 37;
    GameHandler& second = getGameHandler();
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(second.gameSettings.ballVolume, 37);
    first.gameSettings = GameSettings{};
}

std::vector<std::string>& initSteps() {
    static std::vector<std::string> steps;
    return steps;
}

TEST(GameHandlerTest, InitRunsTheRendererStepsInOrderAndHidesTheGhost) {
    bztest::CapturedLog log;
    GameHandler gh;
    gh.basePath = "/base/";
    gh.prefPath = log.folder();
    initSteps().clear();
    InitStepHook previous = setInitStepHook([](GameHandler&, const char* step) { initSteps().push_back(step); });
    gh.init();
    setInitStepHook(previous);

    EXPECT_EQ(initSteps(), (std::vector<std::string>{"glGenVertexArrays", "initShaderProgram", "initBallPositions",
                                                     "updateViewParameters"}));
    for (const char* step : {"init: glGenVertexArrays", "init: initShaderProgram", "init: initBallPositions",
                             "init: updateViewParameters", "init: initText"}) {
        EXPECT_EQ(log.count(step), 1) << step;
    }
    EXPECT_EQ(gh.table.balls[1].id, -1);
    for (int i = 0; i < kBallCount; ++i) {
        if (i != 1) {
            EXPECT_EQ(gh.table.balls[i].id, i);
        }
    }
    // Looking straight down, the camera's up is the table's -z; the look-at up follows the view
    // angles (elevation 0: straight up).
    EXPECT_FLOAT_EQ(gh.camera.pitch, -90.0f);
    EXPECT_FLOAT_EQ(gh.camera.up[2], -1.0f);
    EXPECT_DOUBLE_EQ(gh.lookAtEye[1], 54.61177734);
    EXPECT_NEAR(gh.lookAtUp[0], 0.0, 1e-12);
    EXPECT_NEAR(gh.lookAtUp[1], 1.0, 1e-12);
    EXPECT_NEAR(gh.lookAtUp[2], 0.0, 1e-12);
}

TEST(GameHandlerTest, InitPathsWithBothFoldersSetOnlyLogsThem) {
    bztest::CapturedLog log;
    GameHandler gh;
    gh.basePath = "/opt/bz/";
    gh.prefPath = log.folder();
    gh.initPaths();
    gh.initPaths();
    EXPECT_EQ(gh.basePath, "/opt/bz/");
    EXPECT_EQ(gh.prefPath, log.folder());
    EXPECT_EQ(log.count("initPaths: basepath=/opt/bz/"), 2);
    EXPECT_EQ(log.count("initPaths: prefpath=" + log.folder()), 2);
}

}  // namespace
