// The table scene from the built archive's real models: the start view, a shot in flight, the
// tutorial marks, the cue shadow on a rail and the overview camera, read back at the projected ball
// positions and kept as screenshots.
#include "client/gamehandler/game_handler.h"
#include "core/archive.h"
#include "render/aim_lines.h"
#include "render/inline_programs.h"
#include "render/scene.h"
#include "render/scene_pass.h"
#include "support/built_scene.h"
#include "support/gl_window.h"
#include "support/table_view.h"

#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kW = 1024, kH = 647;

struct Rgb {
    int r, g, b;
};

class TableSceneTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_NO_FATAL_FAILURE(bztest::openGlWindow({"scene", kW, kH}, window, context));
        bztest::loadBuiltScene();
        std::filesystem::create_directories(BZ_ARTEFACTS_DIR);
    }
    static void TearDownTestSuite() {
        bztest::closeGlWindow(window, context);
    }

    void SetUp() override {
        gh.initBallPositions();
        gh.setViewport(kW, kH, kW, kH, 0, 0);
        gh.setOverheadCamera();
        target();
    }

    void target() {
        if (fbo != 0) return;
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        unsigned colour = 0, depth = 0;
        glGenRenderbuffers(1, &colour);
        glBindRenderbuffer(GL_RENDERBUFFER, colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kW, kH);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        glGenRenderbuffers(1, &depth);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, kW, kH);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
        ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), unsigned(GL_FRAMEBUFFER_COMPLETE));
    }

    void draw(const char* screenshot) {
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glViewport(0, 0, kW, kH);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        renderScene(gh);
        pixels.assign(size_t(kW) * kH * 4, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        std::vector<unsigned char> flipped(pixels.size());
        for (int y = 0; y < kH; ++y) {
            std::copy_n(&pixels[size_t(kH - 1 - y) * kW * 4], kW * 4, &flipped[size_t(y) * kW * 4]);
        }
        // The window shows colour only: blended shadows leave alpha below 1, which a viewer would
        // show as lighter.
        for (size_t i = 3; i < flipped.size(); i += 4) flipped[i] = 255;
        stbi_write_png((std::string(BZ_ARTEFACTS_DIR) + "/" + screenshot).c_str(), kW, kH, 4, flipped.data(), kW * 4);
    }

    // The pixel (bottom-up rows) at which a table point appears.
    void project(double x, double y, double z, int& px, int& py) {
        float view[16];
        gh.viewMatrix(view);
        auto mul = [](const float* m, const float in[4], float out[4]) {
            for (int r = 0; r < 4; ++r) out[r] = m[r] * in[0] + m[4 + r] * in[1] + m[8 + r] * in[2] + m[12 + r] * in[3];
        };
        const float p[4] = {float(x), float(y), float(z), 1};
        float eye[4], clip[4];
        mul(view, p, eye);
        mul(gh.projection, eye, clip);
        px = gh.viewport[0] + int((clip[0] / clip[3] + 1) / 2 * gh.viewport[2]);
        py = gh.viewport[1] + int((clip[1] / clip[3] + 1) / 2 * gh.viewport[3]);
    }

    Rgb at(double x, double z) {
        int px = 0, py = 0;
        project(x, 26.25, z, px, py);
        EXPECT_TRUE(px >= 0 && px < kW && py >= 0 && py < kH) << px << "," << py;
        px = std::clamp(px, 0, kW - 1);
        py = std::clamp(py, 0, kH - 1);
        const unsigned char* c = &pixels[(size_t(py) * kW + px) * 4];
        return {c[0], c[1], c[2]};
    }
    Rgb ballColour(int id) { return at(gh.table.balls[id].x, gh.table.balls[id].z); }

    static bool cloth(Rgb c) { return c.g > c.r + 20 && c.g > c.b + 10; }

    static inline SDL_Window* window = nullptr;
    static inline SDL_GLContext context = nullptr;
    static inline unsigned fbo = 0;
    GameHandler& gh = getGameHandler();
    std::vector<unsigned char> pixels;
};

TEST_F(TableSceneTest, StartViewShowsGreenClothAndEachBallInItsColourAtItsSpot) {
    draw("start_view.png");
    for (double x : {-1200.0, -300.0, 600.0, 1400.0}) {
        for (double z : {-600.0, 600.0}) EXPECT_TRUE(cloth(at(x, z))) << x << "," << z;
    }
    const Rgb white = ballColour(BALL_WHITE), black = ballColour(BALL_BLACK), blue = ballColour(BALL_BLUE);
    const Rgb pink = ballColour(BALL_PINK), yellow = ballColour(BALL_YELLOW), green = ballColour(BALL_GREEN);
    const Rgb brown = ballColour(BALL_BROWN), red = ballColour(BALL_FIRST_RED);
    EXPECT_GT(std::min({white.r, white.g, white.b}), 150);
    EXPECT_LT(std::max({black.r, black.g, black.b}), 120);  // a highlight sits on the top
    EXPECT_GT(blue.b, blue.r + 40);
    EXPECT_GT(pink.r, pink.g + 30);
    EXPECT_GT(pink.b, pink.g);
    EXPECT_GT(std::min(yellow.r, yellow.g), yellow.b + 60);
    EXPECT_GT(green.g, green.r);
    EXPECT_GT(brown.r, brown.b);
    EXPECT_LT(brown.r, 200);
    EXPECT_GT(red.r, red.g + 60);
    EXPECT_GT(red.r, red.b + 60);
}

// The ball in hand's shadow pulses under the cue ball on the own turn, and on through a stroke, more
// slowly while the shot is sent.
TEST_F(TableSceneTest, TheBallInHandShadowPulsesSlowerWhileTheShotIsSent) {
    bztest::OwnUserSeam seam;
    bztest::seatMeOnTurn(gh);
    gh.liveStatus->ballInHand = true;
    const Ball& cue = gh.table.balls[BALL_WHITE];
    const struct {
        double now;
        bool sent;
        double period;
    } cases[] = {{100.2, false, 0.87}, {100.2, true, 1.017}, {50.45, true, 1.017}, {50.45, false, 0.87}};
    for (const auto& c : cases) {
        gh.now = c.now;
        gh.shotSentWaiting = c.sent;
        gh.ballMarkerFrom = c.sent ? gh.now + 86400000 : 0;  // as a stroke leaves it
        draw(c.sent ? "ball_in_hand_sent.png" : "ball_in_hand.png");
        const std::vector<float>& v = inlinePrograms().ballShadow.clientArray;
        ASSERT_FALSE(v.empty());
        const double phase = c.now / c.period - std::floor(c.now / c.period);
        const double expected = 36.75 + 6.5625 * std::sin(2 * std::numbers::pi * phase);
        EXPECT_NEAR(static_cast<float>(cue.x) - v[0], expected, 0.01) << c.now << (c.sent ? " sent" : "");
    }
    gh.shotSentWaiting = false;
    gh.ballMarkerFrom = 0;
    gh.liveStatus->ballInHand = false;
}

TEST_F(TableSceneTest, AShotInFlightMovesTheCueBallOffItsSpot) {
    const double startX = gh.table.balls[BALL_WHITE].x, startZ = gh.table.balls[BALL_WHITE].z;
    gh.table.applyStroke(BALL_WHITE, true, nullptr, 180, 0, 0, 0, 250, 1);
    gh.shotStepper.start();
    gh.shotStepper.stepFrame(0.25);
    ASSERT_TRUE(gh.isAnyBallMoving());
    draw("mid_shot.png");
    EXPECT_LT(gh.table.balls[BALL_WHITE].x, startX - 200);
    EXPECT_TRUE(cloth(at(startX, startZ))) << "the spot the cue ball left shows cloth";
    const Rgb white = ballColour(BALL_WHITE);
    EXPECT_GT(std::min({white.r, white.g, white.b}), 150);
    gh.shotStepper.stop();
}

TEST_F(TableSceneTest, AimingDrawsTheCueBehindTheCueBallAlongTheAim) {
    gh.aim.aimAngle = -90;  // across the table, towards -z
    gh.aim.elevation = 0;
    gh.aimBallIndex = BALL_WHITE;
    const Ball& cue = gh.table.balls[BALL_WHITE];
    // While dragging, and once the drag has set the aim (pointing), the cue stays on show; a
    // captured mouse alone (a camera drag) shows none.
    const struct {
        const char* what;
        int drag, point;
        bool captured, cueShown;
    } cases[] = {{"dragging", 1, 0, true, true}, {"aim set", 0, 1, false, true}, {"camera drag", 0, 0, true, false}};
    for (const auto& c : cases) {
        gh.aimDragMode = c.drag;
        gh.pointAiming = c.point;
        gh.mouseCaptured = c.captured;
        draw(c.drag ? "aiming.png" : c.point ? "aim_set.png" : "camera_drag.png");
        EXPECT_EQ(!cloth(at(cue.x, cue.z + 500)), c.cueShown) << c.what << ": the cue lies behind the ball";
        EXPECT_TRUE(cloth(at(cue.x, cue.z - 500))) << c.what << ": and not in front of it";
    }
    gh.aimDragMode = gh.pointAiming = 0;
    gh.mouseCaptured = false;
}

TEST_F(TableSceneTest, ACutShowsTheCueBallsPathFromTheContactOnItsOwnSide) {
    // The white cuts the blue so that the blue leaves at -150 degrees: the white runs on at 120.
    Ball& white = gh.table.balls[BALL_WHITE];
    white.x = 700;
    white.z = 300;
    const double gx = 52.5 * std::cos(M_PI / 6), gz = 52.5 * std::sin(M_PI / 6);
    gh.aim.aimAngle = std::atan2(gz - white.z, gx - white.x) * 180 / M_PI;
    gh.aim.elevation = 0;
    gh.aimBallIndex = BALL_WHITE;
    gh.updateAim(BALL_WHITE);
    ASSERT_EQ(gh.firstHitBall, BALL_BLUE);
    ASSERT_TRUE(gh.cueBallDeflects);
    EXPECT_NEAR(gh.cueBallDeflection, 120, 1e-6);
    gh.pointAiming = 1;
    gh.aimShown = true;
    // The aiming overlays are wired in by the application; here the aim lines alone.
    const ScenePassHook before = setAimLinePass([](GameHandler& handler, const Mat4& projection, const Mat4& view) {
        drawAimLinePass(handler, inlinePrograms(), projection.data(), view.data());
    });
    draw("aim_cut.png");
    setAimLinePass(before);
    // The ribbon is a pixel or two wide: the bluest pixel about each point along a path.
    auto bluest = [&](double angle, double d) {
        int px = 0, py = 0, best = -255;
        const double a = angle * M_PI / 180;
        project(gx + d * std::cos(a), 0, gz + d * std::sin(a), px, py);
        for (int y = py - 2; y <= py + 2; ++y)
            for (int x = px - 2; x <= px + 2; ++x) {
                const unsigned char* c = &pixels[(size_t(std::clamp(y, 0, kH - 1)) * kW + std::clamp(x, 0, kW - 1)) * 4];
                best = std::max(best, c[2] - c[1]);
            }
        return best;
    };
    const Rgb ghost = at(gx, gz);
    EXPECT_GT(std::min({ghost.r, ghost.g, ghost.b}), 100) << "the ghost ball stands at the contact";
    for (double d : {200.0, 400.0, 600.0}) {
        EXPECT_GT(bluest(120, d), -20) << d << ": the cue ball's path";
        EXPECT_LT(bluest(-60, d), -40) << d << ": nothing on the far side";
    }
    // Once the aim is put away, a camera drag shows no ghost ball though the prediction is kept.
    gh.pointAiming = 0;
    gh.aimShown = false;
    gh.mouseCaptured = true;
    draw("aim_put_away.png");
    EXPECT_TRUE(cloth(at(gx, gz)));
    gh.mouseCaptured = false;
    gh.initBallPositions();
}

TEST_F(TableSceneTest, TutorialMarksLieOnTheBedUnderTheBalls) {
    draw("without_marks.png");
    const Rgb bare = at(-900, -300), blueBare = ballColour(BALL_BLUE);
    // Mark A around an empty patch, mark B (given from its far corners) under the blue ball.
    gh.tutorialMarks = {{-1100, -500, -700, -100, 0}, {200, 200, -200, -200, 1}};
    draw("tutorial_marks.png");
    gh.tutorialMarks.clear();
    const Rgb marked = at(-900, -300);
    EXPECT_GT(std::abs(marked.r - bare.r) + std::abs(marked.g - bare.g) + std::abs(marked.b - bare.b), 40)
        << "mark A shows on the cloth";
    const Rgb underBlue = at(0, 120);
    EXPECT_GT(underBlue.r, underBlue.g) << "mark B is reddish and shows although given back to front";
    const Rgb blue = ballColour(BALL_BLUE);
    EXPECT_EQ(blue.b, blueBare.b) << "the ball is drawn over the mark";
}

TEST_F(TableSceneTest, TheCueShadowFallsOnTheRailPastTheBed) {
    Ball& cue = gh.table.balls[BALL_WHITE];
    const double savedX = cue.x, savedZ = cue.z;
    cue.x = -600;
    cue.z = 820;  // against the +z cushion; aiming towards -z puts the cue over the rail
    gh.aim.aimAngle = -90;
    gh.aim.elevation = 0;
    gh.aim.power = 40;
    gh.aimBallIndex = BALL_WHITE;
    Scene& scene = getScene();
    Model* main = scene.cueMainModel;
    Model* tip = scene.cueTipModel;
    draw("rail_without_cue.png");
    const Rgb rail = at(-600, 960), railAside = at(-600 + 80, 960);
    gh.aimDragMode = 1;
    draw("cue_over_rail.png");
    // Without the cue in the way the shadow itself shows on the rail.
    scene.cueMainModel = scene.cueTipModel = nullptr;
    draw("cue_shadow_on_rail.png");
    scene.cueMainModel = main;
    scene.cueTipModel = tip;
    gh.aimDragMode = 0;
    cue.x = savedX;
    cue.z = savedZ;
    const Rgb shaded = at(-600, 960), aside = at(-600 + 80, 960);
    EXPECT_LT(shaded.r + shaded.g + shaded.b, rail.r + rail.g + rail.b - 30) << "the rail under the cue is darker";
    EXPECT_NEAR(aside.r + aside.g + aside.b, railAside.r + railAside.g + railAside.b, 6) << "beside it, not";
}

TEST_F(TableSceneTest, OverviewCameraDrawsThePerspectiveTableWithLegs) {
    gh.inOverview = true;
    gh.updateFieldOfView(gh.viewport[2], gh.viewport[3]);
    const double eye[3] = {0, 9000, 12000}, target[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    std::copy(eye, eye + 3, gh.lookAtEye);
    std::copy(target, target + 3, gh.lookAtTarget);
    std::copy(up, up + 3, gh.lookAtUp);
    gh.applyLookAt();
    draw("overview.png");
    gh.inOverview = false;
    EXPECT_TRUE(gh.perspectiveProjection);
    EXPECT_TRUE(cloth(at(-600, 0)));
    EXPECT_GT(std::min({ballColour(BALL_WHITE).r, ballColour(BALL_WHITE).g}), 150);
    EXPECT_GT(ballColour(BALL_FIRST_RED).r, ballColour(BALL_FIRST_RED).g + 60);
}

TEST_F(TableSceneTest, BetweenFramesTheFixedOverviewLooksDownTheTableFromBeyondItsEnd) {
    gh.liveStatus->gameState = 0;
    gh.selectCameraSet();
    ASSERT_TRUE(gh.inOverview);
    draw("overview_between_frames.png");
    EXPECT_TRUE(cloth(at(0, 300)));
    EXPECT_TRUE(cloth(at(1200, -300)));
    EXPECT_GT(ballColour(BALL_BLUE).b, ballColour(BALL_BLUE).r + 40);
    gh.liveStatus->gameState = 1;
    gh.selectCameraSet();  // no overview view chosen: the frame in play leaves it
    EXPECT_FALSE(gh.inOverview);
}

TEST_F(TableSceneTest, FirstPersonLooksAlongTheAimFromBehindTheCueBall) {
    const double eyeBefore = gh.lookAtEye[1];
    gh.aim.aimAngle = gh.remoteAim.aimAngle = 180;  // towards the blue, the pink and the black
    gh.aimBallIndex = gh.remoteAimBall = BALL_WHITE;
    gh.pointAiming = 1;
    gh.switchPOVMode();
    ASSERT_TRUE(gh.povMode);
    draw("first_person.png");
    EXPECT_TRUE(gh.perspectiveProjection);
    // Low along the table the balls are lit from above and dark at their centres: only cloth or
    // not is told apart here.
    for (int ball : {BALL_YELLOW, BALL_BROWN, BALL_GREEN, BALL_BLUE}) EXPECT_FALSE(cloth(ballColour(ball))) << ball;
    EXPECT_TRUE(cloth(at(800, 200)));
    gh.switchPOVMode();
    gh.pointAiming = gh.aimDragMode = 0;
    gh.mouseCaptured = false;
    EXPECT_FALSE(gh.povMode);
    EXPECT_DOUBLE_EQ(gh.lookAtEye[1], eyeBefore);
}

}  // namespace
