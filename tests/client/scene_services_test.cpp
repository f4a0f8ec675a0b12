// The bottom bar's popup events (size changes and the two foul answers) and the cue pulse across
// power changes.
#include "client/gamehandler/game_handler.h"
#include "net/request_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace {

struct Resize {
    bool fromToggle, fullSize;
    bool operator==(const Resize&) const = default;
};
std::vector<Resize> resizes;

class PopupEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        resizes.clear();
        previous = GameHandler::setBottomBoxSizer([](bool t, bool f) { resizes.push_back({t, f}); });
    }
    void TearDown() override { GameHandler::setBottomBoxSizer(previous); }

    GameHandler::BottomBoxSizer previous = nullptr;
    GameHandler gh;
};

TEST_F(PopupEventsTest, OpeningAndClosingAPopupResizesTheBarByItsFourFlags) {
    struct Row {
        const char* what;
        bool collapsed, userCollapsed, fullSize, userFullSize;
        const char* event;
        const char* popup;
        std::optional<Resize> expected;
    };
    const Row rows[] = {
        {"line-up unfolds a folded bar at full size", true, false, false, false, "opened", "lineup", Resize{false, true}},
        {"line-up leaves an open bar alone", false, false, false, false, "opened", "lineup", std::nullopt},
        {"a popup unfolds a folded bar at its size", true, false, false, true, "opened", "chat", Resize{false, false}},
        {"a popup grows a short bar", false, false, false, false, "opened", "chat", Resize{false, true}},
        {"a popup leaves a full bar alone", false, false, true, false, "opened", "chat", std::nullopt},
        {"closing folds again what the user folded", false, true, true, true, "closed", "", Resize{true, true}},
        {"closing gives back the user's short size", false, false, true, false, "closed", "", Resize{true, false}},
        {"closing at the user's size keeps it", false, false, true, true, "closed", "", std::nullopt},
        {"closing a folded bar the user folded keeps it", true, true, true, true, "closed", "", std::nullopt},
        {"an unknown event is ignored", true, true, false, true, "moved", "chat", std::nullopt},
    };
    for (const Row& r : rows) {
        resizes.clear();
        gh.bottomBoxCollapsed = r.collapsed;
        gh.bottomBoxUserCollapsed = r.userCollapsed;
        gh.bottomBoxFullSize = r.fullSize;
        gh.bottomBoxUserFullSize = r.userFullSize;
        gh.onHtmlWindowEvent(r.event, r.popup);
        std::vector<Resize> expected;
        if (r.expected) expected.push_back(*r.expected);
        EXPECT_EQ(resizes, expected) << r.what;
    }
}

TEST_F(PopupEventsTest, TheFoulChoicesSendRetakeAndPlayOn) {
    RequestCapture capture;
    ASSERT_TRUE(capture.start());
    gh.in3DView = true;  // with no aim in progress, the Escape the choice passes on leaves the 3D view
    gh.onHtmlWindowEvent("pressedFoulOpponentRetake", "");
    EXPECT_FALSE(gh.in3DView);
    gh.onHtmlWindowEvent("pressedFoulOpponentPlayOn", "");
    const std::vector<ByteVector> sent = capture.receive(2);
    capture.stop();
    ASSERT_EQ(sent.size(), 2u);
    const TableEventType expected[2] = {TableEventType::FOUL_RETAKE, TableEventType::FOUL_PLAY_ON};
    for (int i = 0; i < 2; ++i) {
        const Message m = parseBytes(sent[i]);
        EXPECT_EQ(m.id, MessageId::TABLE_EVENT);
        ASSERT_EQ(m.events.size(), 1u);
        EXPECT_EQ(m.events[0].type, expected[i]);
    }
    EXPECT_TRUE(resizes.empty());
}

TEST(ShotPowerPulseTest, APowerChangeKeepsThePulsePhaseAndTheSamePowerKeepsTheOffset) {
    GameHandler gh;
    gh.aim.power = 100;
    gh.now = 1234.567;
    for (double power : {100.0, 350.0, 12.5, 400.0, 400.0}) {
        const double before = gh.pulsePhase(gh.now);
        const double offset = gh.pulsePhaseOffset;
        const double old = gh.aim.power;
        EXPECT_EQ(gh.setShotPower(power), power);
        // The same phase, up to a whole turn.
        const double jump = gh.pulsePhase(gh.now) - before;
        EXPECT_NEAR(jump - std::round(jump), 0.0, 1e-9) << power;
        EXPECT_GE(gh.pulsePhaseOffset, 0.0);
        EXPECT_LT(gh.pulsePhaseOffset, 1.0);
        if (power == old) {
            EXPECT_EQ(gh.pulsePhaseOffset, offset) << "unchanged power, unchanged offset";
        }
        gh.now += 0.37;
    }
    // A faster pulse from here on: a quarter of a second later the phase has moved by the new rate.
    const double at = gh.pulsePhase(gh.now);
    gh.setShotPower(200);
    const double period = 360.0 / ((4 * 200.0 / gh.maxPower + 3) * 60);
    const double later = gh.pulsePhase(gh.now + 0.25) - at;
    EXPECT_NEAR(later - std::floor(later), std::fmod(0.25 / period, 1.0), 1e-9);
}

}  // namespace
