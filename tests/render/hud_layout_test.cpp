// The aiming HUD's numbers without GL: the column's x, the bar layout the mouse shares, the digit
// texts and their placement, the widget's placement cases and snapping, and the widget quads.
#include "render/hud.h"

#include "render/aim_lines.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

GameHandler& sized(GameHandler& gh, int w, int h, double column) {
    gh.viewport[2] = w;
    gh.viewport[3] = h;
    gh.hudColumnX = column;
    return gh;
}

TEST(HudColumnTest, TheRightmostCornerInFrontOfTheCameraCappedAtTheRightEdge) {
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // x' = x / 4000, w = 1: the corners project to 1000 +- 1904.5 / 4000 * 1000.
    float scale[16] = {1.0f / 4000, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_NEAR(hudColumnX(scale, identity, 2000, 800), 1000 + 1904.5 / 4000 * 1000, 1e-3);
    // Unscaled the corners fall far right: capped 32 pixels from the edge.
    EXPECT_EQ(hudColumnX(identity, identity, 2000, 800), 2000 - 32);
    // w = z: only corners with z >= 0.1 count. Here the +z corners are in front, x / z = 1904.5 / 1009.
    float perspective[16] = {0.1f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0};
    EXPECT_NEAR(hudColumnX(perspective, identity, 1000, 800), (0.1 * 1904.5 / 1009 + 1) / 2 * 1000, 1e-2);
    // w = 0 everywhere: no corner in front of the camera.
    float behind[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0};
    EXPECT_EQ(hudColumnX(behind, identity, 1000, 800), 1000 - 32);
}

TEST(PowerBarLayoutTest, TheColumnSplitsThreeQuartersPowerAndTheRestElevation) {
    GameHandler gh;
    sized(gh, 1200, 800, 1000.7);
    gh.maxPower = 400;
    gh.maxElevation = 70;
    gh.aim.power = 200;
    gh.aim.elevation = 35;
    const GameHandler::PowerBarLayout l = gh.getPowerBarLayout();
    const int expected[11] = {1000, 24, 1031, 24 + int(0.75 * (775 - 24)), 24 + int(0.75 * 751 * 0.5), 775,
                              1011, 24 + int(0.75 * 751) + 24, 1020, 751, 0};
    const int got[11] = {l.barLeft,  l.barBottom,      l.barRight, l.powerTop,    l.powerKnobY,   l.barTop,
                         l.knobLeft, l.elevationBottom, l.knobRight, l.elevationTop, l.elevationKnobY};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(got[i], expected[i]) << i;
    EXPECT_EQ(l.elevationKnobY, l.elevationBottom + (l.elevationTop - l.elevationBottom) / 2);
    // A zero maximum leaves the knobs at the bottom instead of dividing by zero.
    gh.maxPower = 0;
    gh.maxElevation = 0;
    EXPECT_EQ(gh.getPowerBarLayout().powerKnobY, 24);
    EXPECT_EQ(gh.getPowerBarLayout().elevationKnobY, gh.getPowerBarLayout().elevationBottom);
}

TEST(HudDigitsTest, TextsAndTheirShiftsByLength) {
    struct Case {
        double power;
        std::string text;
        int shift;
    };
    // Of a maximum of 400: 0.4 % still shows 1 (moved 10), 45 % moved 5, 100 % not at all.
    for (const Case& c : {Case{1.6, "1", 10}, Case{0, "1", 10}, Case{180, "45", 5}, Case{400, "100", 0}}) {
        const std::string text = powerText(c.power, 400);
        EXPECT_EQ(text, c.text) << c.power;
        EXPECT_EQ(powerTextX(100, text.size()), 70 + c.shift) << c.power;
    }
    for (const Case& c : {Case{5.9, "5?", 5}, Case{45, "45?", 0}, Case{-3, "-3?", 0}}) {
        const std::string text = elevationText(c.power);
        EXPECT_EQ(text, c.text) << c.power;
        EXPECT_EQ(elevationTextX(100, text.size()), 71 + c.shift) << c.power;
    }
}

TEST(HudDigitsTest, OnlyDigitsHaveTheirOwnGlyphEverythingElseTheEleventh) {
    for (char c = '0'; c <= '9'; ++c) EXPECT_EQ(digitGlyph(c), c - '0');
    for (char c : {'?', '-', ':', ';', '/', ' ', 'A', '\0', char(200)}) EXPECT_EQ(digitGlyph(c), 10) << int(c);
    std::vector<float> quads;
    appendTextQuads("7?", 100, 200, 1000, 1000, quads);
    ASSERT_EQ(quads.size(), 2u * 6 * 4);
    // '7' spans u 70/110..80/110; the second character starts 10 pixels on, 9 wide, 13 tall.
    EXPECT_FLOAT_EQ(quads[2], 70.0f / 110);
    EXPECT_FLOAT_EQ(quads[6], 80.0f / 110);
    EXPECT_FLOAT_EQ(quads[24 + 2], 100.0f / 110);
    EXPECT_FLOAT_EQ(quads[24], 2 * 110.0f / 1000 - 1);
    EXPECT_FLOAT_EQ(quads[24 + 4], 2 * 119.0f / 1000 - 1);
    EXPECT_FLOAT_EQ(quads[24 + 9], 2 * 213.0f / 1000 - 1);
}

TEST(QBallWidgetPlacementTest, EachCaseAnchorsTheWidget) {
    GameHandler gh;
    sized(gh, 1200, 800, 1000);
    gh.spinWidgetSize = 100;
    gh.spinWidgetOffsetX = 20;
    gh.spinWidgetOffsetY = 30;
    const int expected[6][2] = {{20, 670}, {20, 30}, {880, 670}, {880, 30}, {1080, 670}, {1080, 30}};
    for (int k = 0; k < 6; ++k) {
        gh.spinWidgetPlacement = k;
        int x = -1, y = -1, s = -1;
        gh.getQBallWidgetPlacement(x, y, s);
        EXPECT_EQ(x, expected[k][0]) << k;
        EXPECT_EQ(y, expected[k][1]) << k;
        EXPECT_EQ(s, 100);
    }
    gh.spinWidgetPlacement = 6;
    int x = -1, y = -2, s = -3;
    gh.getQBallWidgetPlacement(x, y, s);
    EXPECT_EQ(x, -1);
    EXPECT_EQ(y, -2);
    EXPECT_EQ(s, -3);
}

TEST(QBallWidgetPlacementTest, ADropSnapsToTheNearestAnchorAndComesBackWhereItWasDropped) {
    struct Case {
        int x, y;
        int placement, offsetX, offsetY;
    };
    const Case cases[] = {
        {950, 100, 5, 150, 100},  // over the column: the right edge
        {960, 600, 4, 140, 100},
        {600, 100, 3, 300, 100},  // right half of the table: against the column
        {600, 600, 2, 300, 100},
        {100, 100, 1, 100, 100},  // left half: the left edge
        {100, 600, 0, 100, 100},
        {400, 350, 0, 400, 350},  // a centre at half the height is not below it
    };
    for (const Case& c : cases) {
        GameHandler gh;
        sized(gh, 1200, 800, 1000);
        gh.spinWidgetSize = 100;
        gh.placeQBallWidget(c.x, c.y);
        EXPECT_EQ(gh.spinWidgetPlacement, c.placement) << c.x << "," << c.y;
        EXPECT_EQ(gh.spinWidgetOffsetX, c.offsetX) << c.x << "," << c.y;
        int x = 0, y = 0, s = 0;
        gh.getQBallWidgetPlacement(x, y, s);
        EXPECT_EQ(x, c.x) << c.x << "," << c.y;
        EXPECT_EQ(y, c.y) << c.x << "," << c.y;
    }
}

// In a small window the default place lies over the D: a press on the cue ball there (and the
// pointer put back on it after a drag) would land on the widget and play the shot. The widget gives
// way to the cue ball; elsewhere it keeps its place.
TEST(QBallWidgetPlacementTest, TheWidgetKeepsClearOfTheCueBallInTheD) {
    GameHandler gh;
    gh.setViewport(1024, 647, 1024, 647, 0, 100);
    gh.setCameraPreset(GameHandler::PRESET_OVERHEAD);
    float view[16];
    gh.viewMatrix(view);
    updateHudColumnX(gh, gh.projection, view);
    // The ball's centre in window pixels, as the mouse handlers get them.
    auto pixel = [&](double x, double z, int& wx, int& wy) {
        const double p[4] = {x, 26.25, z, 1};
        double e[4] = {}, c[4] = {};
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k) e[r] += view[4 * k + r] * p[k];
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k) c[r] += gh.projection[4 * k + r] * e[k];
        wx = static_cast<int>((c[0] / c[3] + 1) / 2 * gh.viewport[2]);
        wy = gh.windowHeight - 1 - gh.viewport[1] - static_cast<int>((c[1] / c[3] + 1) / 2 * gh.viewport[3]);
    };
    const TableParams& params = *gh.table.params;
    const double baulk = 0.5 * params[36] - params[77];
    Ball& cue = gh.table.balls[BALL_WHITE];
    cue.onTable = true;
    int defaultX = 0, defaultY = 0, s = 0;
    cue.x = -1000, cue.z = 0;  // at the far end: the default place
    gh.getQBallWidgetPlacement(defaultX, defaultY, s);
    EXPECT_EQ(defaultX, static_cast<int>(gh.hudColumnX) - 80 - 192);
    EXPECT_EQ(defaultY, 80);
    int covered = 0;
    for (double dx : {5.0, 60.0, 150.0, 250.0}) {
        for (double z : {-250.0, -150.0, -60.0, 0.0, 60.0, 150.0, 250.0}) {
            cue.x = baulk + dx, cue.z = z;
            if (!isInD(gh.table, cue.x, cue.z)) continue;
            int wx = 0, wy = 0, x = 0, y = 0;
            pixel(cue.x, cue.z, wx, wy);
            gh.getQBallWidgetPlacement(x, y, s);
            covered += std::hypot(defaultX + s / 2.0 - wx, gh.windowHeight - 1 - gh.viewport[1] - defaultY - s / 2.0 - wy) <
                       s / 2.0 + 10;
            // Neither the ball's centre nor its edge hits the widget.
            for (int ex : {-8, 0, 8})
                EXPECT_FALSE(gh.setSpinFromSelector(wx + ex, wy, false)) << cue.x << "," << cue.z << " " << ex;
            EXPECT_GE(x, 0);
            EXPECT_LE(x + s, gh.viewport[2]);
        }
    }
    EXPECT_GT(covered, 0);  // the default place did cover part of the D
}

TEST(QBallWidgetQuadsTest, TheBallShrinksAboutItsCentreAndTheMarkerFollowsTheTip) {
    auto px = [](float ndc, int size) { return (ndc + 1) / 2 * size; };
    QBallQuads q = qBallWidgetQuads(100, 100, 200, 0.5f, 1.0f, 0.0f, false, 1000, 1000);
    EXPECT_FLOAT_EQ(px(q.ball[0], 1000), 150);  // left
    EXPECT_FLOAT_EQ(px(q.ball[2], 1000), 250);  // right
    ASSERT_EQ(q.marker.size(), 12u);
    // Centre 200 + 0.78125 * 100, half size 10 pixels.
    EXPECT_FLOAT_EQ(px(q.marker[0], 1000), 278.125f - 10);
    EXPECT_FLOAT_EQ(px(q.marker[2], 1000), 278.125f + 10);
    q = qBallWidgetQuads(100, 100, 200, 1, 0, -1, true, 1000, 1000);
    EXPECT_FLOAT_EQ(px(q.marker[1], 1000), 200 - 78.125f - 15.625f);
    EXPECT_TRUE(qBallWidgetQuads(0, 0, 200, 1, 1.2f, 0, false, 1000, 1000).marker.empty());
    EXPECT_TRUE(qBallWidgetQuads(0, 0, 200, 1, 2, 2, false, 1000, 1000).marker.empty());
    EXPECT_EQ(qBallWidgetQuads(0, 0, 200, 1, 1.1f, -1.1f, false, 1000, 1000).marker.size(), 12u);
}

TEST(HudBarVerticesTest, FiftyFourVerticesAtHalfDepthInTheirColours) {
    GameHandler gh;
    sized(gh, 1200, 800, 1000);
    gh.aim.power = 200;
    const std::vector<float> v = hudBarVertices(gh.getPowerBarLayout(), 0, 1200, 800);
    ASSERT_EQ(v.size(), kHudVertexCount * kAimVertexFloats);
    for (size_t i = 0; i < kHudVertexCount; ++i) EXPECT_EQ(v[i * 7 + 2], 0.5f);
    EXPECT_FLOAT_EQ(v[3], 0.4f);                 // the upper panel
    EXPECT_FLOAT_EQ(v[18 * 7 + 4], 0.69803923f);  // the fill's green at the bottom
    EXPECT_FLOAT_EQ(v[30 * 7 + 3], 0.0f);         // the outline in black
    // The level knob is 24 pixels long and lies flat.
    const float* knob = &v[(18 + 12 + 9 + 5) * 7];
    EXPECT_NEAR((knob[7] - knob[0]) / 2 * 1200, 24, 1e-3);
    EXPECT_NEAR(knob[8], knob[1], 1e-6);
}

}  // namespace
