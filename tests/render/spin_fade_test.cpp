// The spin widget's fade after a stroke: how long it lasts by the stroke's power, and when it is
// not under way at all.
#include "render/hud.h"

#include <gtest/gtest.h>

namespace {

TEST(SpinWidgetFade, LastsShorterTheHarderTheStroke) {
    GameHandler& gh = getGameHandler();
    gh.maxPower = 400;
    gh.cueStrokeOn = true;
    gh.cueStrokeEndTime = 50'000;
    struct Case {
        double power;
        int clockMs;
        double fade;  // -1: none
    };
    for (const Case& c : {Case{0, 49'999, -1}, Case{0, 50'000, 0}, Case{0, 50'100, 0.5}, Case{0, 50'200, -1},
                          Case{400, 50'050, 0.5}, Case{400, 50'100, -1}, Case{200, 50'075, 0.5}}) {
        gh.aim.power = c.power;
        gh.gameClockMs = c.clockMs;
        EXPECT_NEAR(spinWidgetFade(gh), c.fade, 1e-9) << c.power << " at " << c.clockMs;
    }
    gh.gameClockMs = 50'050;
    gh.cueStrokeOn = false;  // no stroke shown
    EXPECT_EQ(spinWidgetFade(gh), -1);
    gh.cueStrokeOn = true;
    gh.cueStrokeEndTime = 0;  // no shot yet
    EXPECT_EQ(spinWidgetFade(gh), -1);
    gh.cueStrokeOn = false;
    gh.aim.power = 0;
    gh.gameClockMs = 0;
}

}  // namespace
