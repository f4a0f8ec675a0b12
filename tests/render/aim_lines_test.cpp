// The aim-line geometry without GL: where a ray meets the cushions, which stretch of the cue ball's
// path is bright, the colours and alphas, the vertex list, and the pass's POV offer.
#include "render/aim_lines.h"

#include "client/gamehandler/game_handler.h"
#include "core/page_script.h"
#include "render/inline_programs.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double X = kCushionHalfX, Z = kCushionHalfZ;

TEST(CushionRayDistanceTest, MeetsTheSideOrEndThatTheAngleAndCrossingAllow) {
    struct Case {
        const char* name;
        double x, z, angle;
        int side;
        double distance;
    };
    const Case cases[] = {
        {"along +x meets the +x end", 0, 0, 0, 2, X},
        {"along -x meets the -x end", 0, 0, 180, 0, X},
        {"-180 is folded to 180", 100, 0, -180, 0, X + 100},
        {"90 meets the +z side, never an end", 0, 0, 90, 1, Z},
        {"-90 meets the -z side", 0, 0, -90, 3, Z},
        {"270 is folded to -90", 0, 100, 270, 3, Z + 100},
        {"450 is folded once, to 90", 0, 0, 450, 1, Z},
        {"a shallow angle meets the end", 0, 0, 10, 2, X / std::cos(10 * M_PI / 180)},
        {"a steep angle meets the side", 0, 0, 60, 1, Z / std::sin(60 * M_PI / 180)},
        {"off centre towards -x, -z", 1000, 500, -135, 3, (500 + Z) * std::sqrt(2.0)},
        {"through the +x,+z corner: the end first", 0, 0, std::atan2(Z, X) * 180 / M_PI, 2, std::hypot(X, Z)},
        {"through the -x,-z corner: the end first", 0, 0, std::atan2(-Z, -X) * 180 / M_PI, 0, std::hypot(X, Z)},
    };
    for (const Case& c : cases) {
        int side = -2;
        const double d = cushionRayDistance(-1, &side, nullptr, nullptr, nullptr, c.x, c.z, c.angle);
        EXPECT_EQ(side, c.side) << c.name;
        EXPECT_NEAR(d, c.distance, 1e-6) << c.name;
    }
}

TEST(CushionRayDistanceTest, NeighbouringSidesGiveTheCornerBetweenThem) {
    struct Case {
        int fromSide;
        double angle;  // from the table centre
        int side, adjacent;
        double cornerX, cornerZ;
    };
    const Case cases[] = {
        {0, 90, 1, 1, -X, Z},    // pair 0, 1: row 1
        {2, 90, 1, 1, X, Z},     // pair 1, 2: row 2
        {3, 0, 2, 1, X, -Z},     // pair 2, 3: row 3
        {0, -90, 3, 1, -X, -Z},  // pair 0, 3: row 0
        {3, 180, 0, 1, -X, -Z},  // pair 3, 0: row 0
        {2, 180, 0, 0, 0, 0},    // opposite ends
        {1, 90, 1, 0, 0, 0},     // the same side
        {-1, 180, 0, 0, 0, 0},   // no side to start from is nobody's neighbour
    };
    for (const Case& c : cases) {
        int side = -2, adjacent = -2;
        double cx = 0, cz = 0;
        cushionRayDistance(c.fromSide, &side, &adjacent, &cx, &cz, 0, 0, c.angle);
        EXPECT_EQ(side, c.side) << c.fromSide << " " << c.angle;
        EXPECT_EQ(adjacent, c.adjacent) << c.fromSide << " " << c.angle;
        EXPECT_EQ(cx, c.cornerX) << c.fromSide << " " << c.angle;
        EXPECT_EQ(cz, c.cornerZ) << c.fromSide << " " << c.angle;
    }
}

TEST(CueBallLineSpanTest, StartAndEndFollowTheExtendedLineSetting) {
    struct Case {
        int mode;
        bool predicted;
        double contact, cushion, start, end;
    };
    const Case cases[] = {
        {1, false, 500, 2000, 2000 - 262.5, 2000},  // no ball: the last stretch, whatever the mode
        {0, false, 500, 2000, 2000 - 262.5, 2000},
        {0, true, 500, 2000, 395, 500},             // up to the contact
        {0, true, 100, 2000, 26.25, 100},           // never inside the cue ball
        {1, true, 500, 2000, 500, 1166},            // on past the contact
        {1, true, 1500, 2000, 1500, 2000},          // cut at the cushion
        {2, true, 500, 2000, 2000 - 262.5, 2000},
        {3, true, 500, 2000, 26.25, 2000},          // any other value: from the ball's edge
        {-1, true, 500, 2000, 26.25, 2000},
    };
    for (const Case& c : cases) {
        const CueLineSpan span = cueBallLineSpan(c.mode, c.predicted, c.contact, c.cushion);
        EXPECT_DOUBLE_EQ(span.start, c.start) << c.mode << " " << c.predicted << " " << c.contact;
        EXPECT_DOUBLE_EQ(span.end, c.end) << c.mode << " " << c.predicted << " " << c.contact;
    }
}

TEST(AimLineColourTest, TheTableEntryOfTheBallHitRedsAndArezorFiveShareEntryOne) {
    GameHandler gh;
    gh.aimLineColours[1] = {255, 0, 0};
    gh.aimLineColours[5] = {0, 0, 255};
    gh.aimLineColours[0] = {255, 255, 255};
    struct Case {
        bool white;
        const char* arezors;
        int ball;
        float r, g, b;
    };
    const Case cases[] = {
        {false, "0000000", 5, 0, 0, 1},  {false, "0000000", 17, 1, 0, 0}, {false, "0000010", 5, 1, 0, 0},
        {false, "0000010", 0, 1, 1, 1},  {true, "0000000", 5, 1, 1, 1},   {false, "0000000", -1, 1, 1, 1},
    };
    for (const Case& c : cases) {
        gh.gameSettings.whiteLines = c.white;
        gh.arezors = c.arezors;
        const LineColour colour = aimLineColour(gh, c.ball);
        EXPECT_FLOAT_EQ(colour.r, c.r) << c.ball << c.arezors;
        EXPECT_FLOAT_EQ(colour.g, c.g) << c.ball << c.arezors;
        EXPECT_FLOAT_EQ(colour.b, c.b) << c.ball << c.arezors;
    }
}

TEST(AimLineAlphasTest, ArezorFourAndTheSettingsChangeOnlyTheirLines) {
    const AimLineAlphas plain = aimLineAlphas(true, true, false);
    EXPECT_FLOAT_EQ(plain.cueLine, 0.4f);
    EXPECT_FLOAT_EQ(plain.cueAfterContact, 0.18f);
    EXPECT_FLOAT_EQ(plain.aimMargin, 0.05f);
    EXPECT_FLOAT_EQ(plain.objectMargin, 0.125f);
    EXPECT_FLOAT_EQ(plain.objectLine, 0.2f);
    EXPECT_FLOAT_EQ(aimLineAlphas(true, false, false).objectLine, 0.1f);
    const AimLineAlphas noMargins = aimLineAlphas(false, true, false);
    EXPECT_EQ(noMargins.aimMargin, 0.0f);
    EXPECT_EQ(noMargins.objectMargin, 0.0f);
    const AimLineAlphas arezor = aimLineAlphas(true, true, true);
    EXPECT_FLOAT_EQ(arezor.cueAfterContact, 1.0e-5f);
    EXPECT_EQ(arezor.aimMargin, 0.0f);
    EXPECT_FLOAT_EQ(arezor.objectLine, 1.1e-5f);
    EXPECT_FLOAT_EQ(arezor.cueLine, 0.4f);
}

// A cue ball at (-1000, 0) aimed along +x at a ball on the centre line, full ball.
GameHandler& straightShot(GameHandler& gh) {
    gh.table.balls[0].x = -1000;
    gh.table.balls[0].z = 0;
    gh.aim.aimAngle = 0;
    gh.aimBallIndex = 0;
    gh.firstHitBall = 7;
    gh.ghostBallX = -52.5;
    gh.ghostBallZ = 0;
    gh.targetBallX = 0;
    gh.targetBallZ = 0;
    gh.objectBallDirection = 0;
    gh.cueTravelDistance = 947.5;
    gh.gameSettings.errorMargins = 0;
    gh.gameSettings.extendedCueBallLine = 0;
    return gh;
}

TEST(AimLineVerticesTest, RibbonsLieOnTheClothWithinTheirHalfWidthOfTheAim) {
    GameHandler gh;
    straightShot(gh);
    std::vector<float> v;
    const size_t n = buildAimLineVertices(gh, ownAimSource(gh), v);
    ASSERT_GT(n, 0u);
    ASSERT_EQ(v.size(), n * kAimVertexFloats);
    EXPECT_EQ(n % 3, 0u);
    double farthestX = -1e9;
    for (size_t i = 0; i < n; ++i) {
        const float* p = &v[i * kAimVertexFloats];
        EXPECT_EQ(p[1], 0.0f);
        // Everything but the ghost ring runs along z = 0.
        const bool ring = std::abs(std::hypot(p[0] + 52.5, p[2]) - kAimBallRadius) < kAimLineHalfWidth + 0.01;
        if (!ring) {
            EXPECT_NEAR(std::abs(p[2]), kAimLineHalfWidth, 1e-3) << i;
        }
        farthestX = std::max(farthestX, double(p[0]));
    }
    // The object ball's path ends where its edge meets the cushion; a full hit leaves no tangent.
    EXPECT_NEAR(farthestX, kCushionHalfX - kAimBallRadius, 1e-2);
}

TEST(AimLineVerticesTest, WithoutAPredictedBallOnlyTheLastStretchAndItsApproachAreDrawn) {
    GameHandler gh;
    straightShot(gh).firstHitBall = -1;
    std::vector<float> v;
    ASSERT_EQ(buildAimLineVertices(gh, ownAimSource(gh), v), 12u);
    // The bright segment: alpha 0.4 from 262.5 before the cushion to the cushion.
    float brightFrom = 1e9f, brightTo = -1e9f;
    for (size_t i = 0; i < 12; ++i) {
        if (v[i * 7 + 6] != 0.4f) continue;
        brightFrom = std::min(brightFrom, v[i * 7]);
        brightTo = std::max(brightTo, v[i * 7]);
    }
    EXPECT_NEAR(brightTo, kCushionHalfX, 1e-2);
    EXPECT_NEAR(brightTo - brightFrom, 262.5, 1e-2);
}

TEST(AimLineVerticesTest, ArezorFourShortensTheObjectBallPath) {
    GameHandler gh;
    straightShot(gh);
    auto farthest = [&] {
        std::vector<float> v;
        const size_t n = buildAimLineVertices(gh, ownAimSource(gh), v);
        float best = -1e9f;
        for (size_t i = 0; i < n; ++i) best = std::max(best, v[i * 7]);
        return best;
    };
    const double full = kCushionHalfX - 2 * kAimBallRadius;  // path length from the ball's edge
    EXPECT_NEAR(farthest(), kAimBallRadius + full, 1e-2);
    gh.arezors = "0000100";
    EXPECT_NEAR(farthest(), kAimBallRadius + std::min(full * 0.66, 1173.48), 1e-2);
}

TEST(AimLineVerticesTest, TheCueBallsPathAfterContactFollowsThePredictedDeflection) {
    GameHandler gh;
    straightShot(gh);
    auto afterContact = [&] {
        std::vector<float> v;
        const size_t n = buildAimLineVertices(gh, ownAimSource(gh), v);
        std::vector<const float*> out;
        for (size_t i = 0; i < n; ++i)
            if (std::abs(v[i * 7 + 6] - 0.18f) < 1e-6f) out.push_back(&v[i * 7]);
        return std::make_pair(std::move(v), out);
    };
    EXPECT_TRUE(afterContact().second.empty()) << "a full hit sends the cue ball nowhere";

    // Whatever the aim angle says, the ribbon follows the prediction: from the ghost's edge at -60
    // degrees to where the ball's edge meets the -z cushion.
    gh.cueBallDeflects = true;
    gh.cueBallDeflection = -60;
    const double ux = 0.5, uz = -std::sqrt(3.0) / 2;
    const double reach = kCushionHalfZ / (std::sqrt(3.0) / 2) - kAimBallRadius;
    const auto [keep, ribbon] = afterContact();
    ASSERT_EQ(ribbon.size(), 6u);
    double nearest = 1e9, farthest = -1e9;
    for (const float* p : ribbon) {
        const double dx = p[0] - gh.ghostBallX, dz = p[2] - gh.ghostBallZ;
        EXPECT_NEAR(std::abs(dx * uz - dz * ux), kAimLineHalfWidth, 1e-3);
        nearest = std::min(nearest, dx * ux + dz * uz);
        farthest = std::max(farthest, dx * ux + dz * uz);
    }
    EXPECT_NEAR(nearest, kAimBallRadius, 1e-3);
    EXPECT_NEAR(farthest, reach, 1e-2);
}

TEST(AimLinePassTest, OffersPovOnlyOnAChangeAndWithdrawsItWhileBallsMove) {
    RecordingPageScriptSink pages;
    PageScriptSink* previous = setPageScriptSink(&pages);
    GameHandler gh;
    InlinePrograms noGl;
    // No GL: the passes below draw nothing (no aim lines are shown), but they decide the offer.
    gh.aimDragMode = 1;
    gh.aimShown = false;
    gh.povModeOffered = true;
    gh.povMode = true;
    drawAimLinePass(gh, noGl, kIdentityMatrix, kIdentityMatrix);
    EXPECT_FALSE(gh.povModeOffered);
    EXPECT_FALSE(gh.povMode);
    drawAimLinePass(gh, noGl, kIdentityMatrix, kIdentityMatrix);
    // Not aiming: the opponent's shown aim governs, even with its lines switched off, but only while
    // his live aim lasts (an aim set before his stroke is not shown after it).
    gh.aimDragMode = 0;
    gh.remoteAimShown = gh.remoteAimReceived = true;
    gh.showLiveAiming = false;
    drawAimLinePass(gh, noGl, kIdentityMatrix, kIdentityMatrix);
    EXPECT_FALSE(gh.povModeOffered);
    gh.remoteAimActive = true;
    drawAimLinePass(gh, noGl, kIdentityMatrix, kIdentityMatrix);
    EXPECT_TRUE(gh.povModeOffered);
    // A moving ball withdraws it.
    gh.table.balls[3].onTable = true;
    gh.table.balls[3].vx = 100;
    drawAimLinePass(gh, noGl, kIdentityMatrix, kIdentityMatrix);
    EXPECT_FALSE(gh.povModeOffered);
    const auto sent = pages.statementsFor(HtmlWindow::BottomBox);
    // Withdrawing the offer left POV mode through its switch, which tells the page.
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0], "inbzSetPOVModeEnabled({isEnabled: false});");
    EXPECT_EQ(sent[1], "inbzSetPOVMode({isOn: false});");
    EXPECT_EQ(sent[2], "inbzSetPOVModeEnabled({isEnabled: true});");
    setPageScriptSink(previous);
}

}  // namespace
