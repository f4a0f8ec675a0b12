// An aiming frame under software GL: the aim lines along their projected path and the HUD column's
// colours read back, and the frame kept as a picture.
#include <GL/glew.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "gl_fixture.h"
#include "render/aim_lines.h"
#include "render/gl_check.h"
#include "render/hud.h"
#include "render/inline_programs.h"
#include "render/texture_loader.h"

namespace {

constexpr int kWidth = 1600, kHeight = 900;
// Table to screen, seen from above: x -> across (shifted so the column has room), z -> up.
const float kView[16] = {1.0f / 2200, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f / 1200, 0, 0, 200.0f / 2200, 0, 0, 1};
const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
const unsigned char kCloth[4] = {20, 90, 40, 255};

int screenX(double x) { return static_cast<int>(((x + 200) / 2200 + 1) / 2 * kWidth); }
int screenY(double z) { return static_cast<int>((z / 1200 + 1) / 2 * kHeight); }

class AimHudGlTest : public bztest::GlFixture {
protected:
    void SetUp() override {
        GlFixture::SetUp();
        packAt(shaderMembers());
        programs.init();
        bindTarget(kWidth, kHeight, true);
        textures = {loadHud("spin_ball.png", {240, 240, 240, 255}), loadHud("tip_clear.png", {220, 30, 30, 255}),
                    loadHud("tip_blocked.png", {30, 30, 30, 255}), loadHud("digits.png", {255, 255, 255, 255})};
        gh.viewport[2] = kWidth;
        gh.viewport[3] = kHeight;
        // A cut on the blue: cue ball at (-1000, -200), aim at +10 degrees.
        gh.table.balls[0].onTable = true;
        gh.table.balls[0].x = -1000;
        gh.table.balls[0].z = -200;
        gh.aim = AimParameters{10, 240, 30, -40, 20};
        gh.aimBallIndex = 0;
        gh.firstHitBall = 5;
        gh.cueTravelDistance = 900;
        gh.ghostBallX = -1000 + 900 * std::cos(10 * M_PI / 180);
        gh.ghostBallZ = -200 + 900 * std::sin(10 * M_PI / 180);
        gh.objectBallDirection = 35;
        gh.targetBallX = gh.ghostBallX + 52.5 * std::cos(35 * M_PI / 180);
        gh.targetBallZ = gh.ghostBallZ + 52.5 * std::sin(35 * M_PI / 180);
        gh.cueBallDeflects = true;
        gh.cueBallDeflection = -55;
        gh.gameSettings.extendedCueBallLine = 0;
        gh.gameSettings.errorMargins = 1;
        gh.aimError = 1.5;
        gh.objectBallError = 2;
        gh.aimDragMode = 1;
        gh.aimShown = true;
        gh.spinWidgetPlacement = 3;
    }

    // The generated HUD image, or a plain square of the colour when it is not at hand.
    static unsigned loadHud(const char* name, std::array<unsigned char, 4> colour) {
        unsigned id = 0;
        glGenTextures(1, &id);
        glBindTexture(GL_TEXTURE_2D, id);
        int w = 0, h = 0, n = 0;
        unsigned char* pixels = stbi_load((std::string(BZ_HUD_IMAGES_DIR) + "/" + name).c_str(), &w, &h, &n, 4);
        if (pixels) {
            uploadRgbaTexture(pixels, w, h, GL_LINEAR);
            stbi_image_free(pixels);
        } else {
            std::vector<unsigned char> plain(16 * 16 * 4);
            for (size_t i = 0; i < plain.size(); ++i) plain[i] = colour[i % 4];
            uploadRgbaTexture(plain.data(), 16, 16, GL_LINEAR);
        }
        return id;
    }

    std::vector<unsigned char> drawFrame() {
        glClearColor(kCloth[0] / 255.0f, kCloth[1] / 255.0f, kCloth[2] / 255.0f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawAimLinePass(gh, programs, kIdentity, kView);
        drawAimingHud(gh, programs, textures, kIdentity, kView);
        EXPECT_EQ(glCheckError(nullptr, 0), 0u);
        return readTarget(kWidth, kHeight);
    }

    static const unsigned char* at(const std::vector<unsigned char>& p, int x, int y) {
        return &p[(size_t(y) * kWidth + size_t(x)) * 4];
    }

    GameHandler gh;
    InlinePrograms programs;
    HudTextures textures;
};

TEST_F(AimHudGlTest, TheLinesShowAlongTheirPathsInTheBallsColourAndNowhereBeside) {
    const std::vector<unsigned char> frame = drawFrame();
    // Along the cue ball's bright stretch (the last 105 before the contact) and the object ball's
    // path: blue laid over the cloth. Sixty pixels beside them: cloth.
    auto alongAim = [&](double d, double angle, double fromX, double fromZ, int side) {
        const double a = angle * M_PI / 180;
        const double x = fromX + d * std::cos(a) - side * 160 * std::sin(a), z = fromZ + d * std::sin(a) + side * 160 * std::cos(a);
        return at(frame, screenX(x), screenY(z));
    };
    for (double d : {820.0, 850.0, 880.0}) {
        const unsigned char* on = alongAim(d, 10, -1000, -200, 0);
        EXPECT_GT(on[2], kCloth[2] + 60) << d;
        EXPECT_LT(on[1], kCloth[1]) << d;
        const unsigned char* beside = alongAim(d, 10, -1000, -200, 1);
        EXPECT_EQ(beside[2], kCloth[2]) << d;
    }
    for (double d : {200.0, 500.0, 800.0}) {
        const unsigned char* on = alongAim(d, 35, gh.targetBallX, gh.targetBallZ, 0);
        EXPECT_GT(on[2], kCloth[2] + 20) << d;
    }
    // The cue ball's path from the contact, fainter, along the predicted deflection.
    for (double d : {150.0, 300.0, 450.0}) {
        const double a = -55 * M_PI / 180;
        const int cx = screenX(gh.ghostBallX + d * std::cos(a)), cy = screenY(gh.ghostBallZ + d * std::sin(a));
        int bluest = 0;  // the ribbon is two pixels wide: the best of the pixels around its centre
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) bluest = std::max(bluest, int(at(frame, cx + dx, cy + dy)[2]));
        EXPECT_GT(bluest, kCloth[2] + 20) << d;
        EXPECT_EQ(alongAim(d, -55, gh.ghostBallX, gh.ghostBallZ, 1)[2], kCloth[2]) << d;
    }
}

TEST_F(AimHudGlTest, TheColumnShowsItsPanelFillTrackAndOutline) {
    const std::vector<unsigned char> frame = drawFrame();
    const GameHandler::PowerBarLayout l = gh.getPowerBarLayout();
    // The column stands right of the table's right rail corners.
    EXPECT_EQ(l.barLeft, int((( (1904.5 + 200) / 2200) + 1) / 2 * kWidth));
    struct Spot {
        const char* name;
        int x, y;
        int r, g, b;
    };
    const int empty = int(0.3 * 221 + 0.7 * kCloth[0] + 0.5);
    const Spot spots[] = {
        {"upper panel", l.barLeft + 3, (l.powerTop + l.barTop) / 2, 102, 112, 135},
        {"elevation track", l.knobLeft + 5, l.elevationTop + 4, 154, 168, 192},
        {"green fill at the bottom", l.barLeft + 3, l.barBottom + 2, 45, 178, 0},
        {"empty power above the knob", l.barLeft + 3, l.powerKnobY + 8, empty, -1, -1},
        {"left outline", l.barLeft, (l.barBottom + l.powerKnobY) / 2, 0, 0, 0},
        {"outline across at the knob", l.barLeft + 16, l.powerKnobY, 0, 0, 0},
    };
    for (const Spot& s : spots) {
        const unsigned char* p = at(frame, s.x, s.y);
        EXPECT_NEAR(p[0], s.r, 4) << s.name;
        if (s.g >= 0) {
            EXPECT_NEAR(p[1], s.g, 4) << s.name;
        }
        if (s.b >= 0) {
            EXPECT_NEAR(p[2], s.b, 4) << s.name;
        }
    }
    // Above the knob the fill is cut away: no green there.
    EXPECT_LT(at(frame, l.barLeft + 3, l.powerKnobY + 8)[1], 150);
}

// The opponent aims at 31 % while the viewer's own power is 60 %: the column is filled to his.
TEST_F(AimHudGlTest, TheOpponentsAimShowsHisPowerInTheColumn) {
    gh.aimDragMode = 0;
    gh.aimShown = false;
    gh.showLiveAiming = true;
    gh.remoteAimActive = gh.remoteAimReceived = gh.remoteAimShown = true;
    gh.remoteAim = AimParameters{10, 124, 0, 0, 0};
    const std::vector<unsigned char> frame = drawFrame();
    const GameHandler::PowerBarLayout own = gh.getPowerBarLayout();
    const int knob = own.barBottom + int(0.31 * (own.powerTop - own.barBottom));
    EXPECT_GT(at(frame, own.barLeft + 3, knob - 6)[1], 150) << "no fill below his power";
    EXPECT_LT(at(frame, own.barLeft + 3, (knob + own.powerKnobY) / 2)[1], 150) << "filled up to the own power";
}

TEST_F(AimHudGlTest, NothingIsDrawnWhileABallMovesAndTheAimingFrameIsKept) {
    const std::vector<unsigned char> frame = drawFrame();
    std::filesystem::create_directories(BZ_ARTEFACTS_DIR);
    stbi_flip_vertically_on_write(1);
    EXPECT_TRUE(stbi_write_png(BZ_ARTEFACTS_DIR "/aiming_frame.png", kWidth, kHeight, 4, frame.data(), kWidth * 4));
    stbi_flip_vertically_on_write(0);
    gh.table.balls[0].vx = 10;
    const std::vector<unsigned char> moving = drawFrame();
    for (size_t i = 0; i < moving.size(); i += 4) ASSERT_EQ(moving[i + 1], kCloth[1]) << i / 4;
}

}  // namespace
