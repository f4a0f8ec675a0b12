// The off-screen set of the scaling modes under software GL: built, used, deleted and rebuilt, the
// scene resolved and stretched over the window.
#include "app/frame_composition.h"
#include "app/shell_globals.h"
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/archive.h"
#include "support/gl_window.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

namespace {

class OffscreenGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(bztest::openGlWindow({"offscreen", 256, 128}, window, context));
        ArchiveIndex::instance().setBaseFolder(BZ_APP_DIR);
        windowWidth = 256;
        windowHeight = 128;
        gh.viewport[0] = gh.viewport[1] = 0;
        gh.viewport[2] = 256;
        gh.viewport[3] = 128;
        in.appState = STATE_TABLE;
        in.startMatchHidden = true;
    }
    void TearDown() override {
        bztest::closeGlWindow(window, context);
        resetShellGlobals();
        gh.gameSettings = GameSettings{};
    }
    // The window's pixel at (x, y), bottom-up.
    std::array<int, 3> pixel(int x, int y) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        unsigned char c[4] = {};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, c);
        return {c[0], c[1], c[2]};
    }

    GameHandler& gh = getGameHandler();
    OverlayInputs in;
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    int scenes = 0, overlayFrames = 0;
    // The scene: red, into whatever target is bound.
    FrameComposer composer{[this] {
                               ++scenes;
                               glClearColor(1, 0, 0, 1);
                               glClear(GL_COLOR_BUFFER_BIT);
                           },
                           [this](const OverlayPlan&) { ++overlayFrames; }, [](HtmlWindow) {}};
};

TEST_F(OffscreenGlTest, TheSetIsBuiltPerModeDeletedWithoutScalingAndTheSceneReachesTheWindow) {
    gh.gameSettings.scalingMode = 1;
    gh.gameSettings.antiAliasing = 64;  // beyond any driver: clamped, never an incomplete target
    gh.gameSettings.resolutionLimit = 128;
    // The 3D viewport covers the render size (the layout of the scaling modes).
    gh.viewport[2] = 1294;
    gh.viewport[3] = 647;
    composer.compose(gh, in);
    ASSERT_TRUE(composer.offscreen().present());
    EXPECT_GE(composer.offscreen().samples, 1);
    EXPECT_EQ(renderHeight, 647);  // the height floor of the rule
    EXPECT_EQ(renderWidth, 1294);
    EXPECT_EQ(pixel(10, 10), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(pixel(250, 120), (std::array<int, 3>{255, 0, 0}));  // stretched over the whole window

    // A resize gives the same objects new storage.
    const unsigned framebuffer = composer.offscreen().sceneFramebuffer;
    windowWidth = 200;
    composer.windowResized(gh);
    EXPECT_EQ(composer.offscreen().sceneFramebuffer, framebuffer);

    gh.gameSettings.scalingMode = 0;
    composer.compose(gh, in);
    EXPECT_FALSE(composer.offscreen().present());
    EXPECT_EQ(renderWidth, windowWidth);
    EXPECT_EQ(pixel(10, 10), (std::array<int, 3>{255, 0, 0}));

    gh.gameSettings.scalingMode = 2;
    composer.compose(gh, in);
    EXPECT_TRUE(composer.offscreen().present());
    EXPECT_EQ(pixel(100, 60), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(scenes, 3);
    EXPECT_EQ(overlayFrames, 3);
}

TEST_F(OffscreenGlTest, OutsideTheTableNoSceneIsDrawnAndTheWindowIsBlack) {
    gh.gameSettings.scalingMode = 1;
    in.appState = STATE_LOBBY;
    composer.compose(gh, in);
    EXPECT_TRUE(composer.offscreen().present());  // kept allocated
    EXPECT_EQ(scenes, 0);
    EXPECT_EQ(pixel(10, 10), (std::array<int, 3>{0, 0, 0}));
}

}  // namespace
