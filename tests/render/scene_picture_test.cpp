// When the table scene counts as unchanged: nothing a player sees may change without the digest
// changing, and what moves by itself must count as animated.
#include "render/scene_picture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct Change {
    const char* what;
    std::function<void(GameHandler&)> make, undo;
};

TEST(ScenePicture, TheSameStateKeepsItsDigestAndEverythingShownChangesIt) {
    GameHandler& gh = getGameHandler();
    gh.initBallPositions();
    const ScenePicture rest = scenePicture(gh);
    ASSERT_FALSE(rest.animating);
    EXPECT_EQ(scenePicture(gh).key, rest.key);
    const Change changes[] = {
        {"a ball moved", [](GameHandler& g) { g.table.balls[2].x += 0.5; }, [](GameHandler& g) { g.table.balls[2].x -= 0.5; }},
        {"a ball potted", [](GameHandler& g) { g.table.balls[7].onTable = false; },
         [](GameHandler& g) { g.table.balls[7].onTable = true; }},
        {"the camera moved", [](GameHandler& g) { g.camera.position[1] += 1; }, [](GameHandler& g) { g.camera.position[1] -= 1; }},
        {"the viewport", [](GameHandler& g) { g.viewport[3] += 10; }, [](GameHandler& g) { g.viewport[3] -= 10; }},
        {"the aim turned", [](GameHandler& g) { g.aim.aimAngle += 0.1; }, [](GameHandler& g) { g.aim.aimAngle -= 0.1; }},
        {"the opponent's aim", [](GameHandler& g) { g.remoteAim.power += 1; }, [](GameHandler& g) { g.remoteAim.power -= 1; }},
        {"a setting", [](GameHandler& g) { g.gameSettings.thickLines ^= 1; }, [](GameHandler& g) { g.gameSettings.thickLines ^= 1; }},
        {"the turn", [](GameHandler& g) { g.liveStatus->playerOn ^= 1; }, [](GameHandler& g) { g.liveStatus->playerOn ^= 1; }},
        {"a tutorial mark", [](GameHandler& g) { g.tutorialMarks.push_back({0, 0, 100, 100, 1}); },
         [](GameHandler& g) { g.tutorialMarks.clear(); }},
    };
    for (const Change& c : changes) {
        c.make(gh);
        EXPECT_NE(scenePicture(gh).key, rest.key) << c.what;
        c.undo(gh);
        EXPECT_EQ(scenePicture(gh).key, rest.key) << c.what << " undone";
    }
}

TEST(ScenePicture, WhatMovesByItselfCountsAsAnimated) {
    GameHandler& gh = getGameHandler();
    gh.initBallPositions();
    ASSERT_FALSE(scenePicture(gh).animating);
    const Change changes[] = {
        {"a rolling ball", [](GameHandler& g) { g.table.balls[0].vx = 100; }, [](GameHandler& g) { g.table.balls[0].vx = 0; }},
        {"the cue's stroke", [](GameHandler& g) { g.cueStrokeOn = true; }, [](GameHandler& g) { g.cueStrokeOn = false; }},
        {"the opponent's aim easing", [](GameHandler& g) { g.remoteAimAnimating = true; },
         [](GameHandler& g) { g.remoteAimAnimating = false; }},
        {"a replay playing", [](GameHandler& g) { g.replayMode = g.replayPlaying = true; },
         [](GameHandler& g) { g.replayMode = g.replayPlaying = false; }},
        {"the nominated ball's pulse", [](GameHandler& g) { g.liveStatus->nominatedBall = 7; },
         [](GameHandler& g) { g.liveStatus->nominatedBall = 0; }},
        {"a touching ball's fading mark", [](GameHandler& g) { g.liveStatus->touchingBalls = {10}; },
         [](GameHandler& g) { g.liveStatus->touchingBalls.clear(); }},
    };
    for (const Change& c : changes) {
        c.make(gh);
        EXPECT_TRUE(scenePicture(gh).animating) << c.what;
        c.undo(gh);
        EXPECT_FALSE(scenePicture(gh).animating) << c.what << " undone";
    }
}

}  // namespace
