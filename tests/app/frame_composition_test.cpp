// The frame's composition rules without GL: which overlays each state draws in which order, the
// dialogs' opening times, the render size of the scaling modes, the repaint of every 67th draw and
// the clamped sample count.
#include "app/frame_composition.h"
#include "core/app_status.h"

#include <gtest/gtest.h>

namespace {

using W = HtmlWindow;

class FrameCompositionTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (PanelSlot* slot : {&gh.gameSettingsPanel, &gh.matchSettingsPanel, &gh.myAccountPanel, &gh.bioTutPanel,
                                &gh.peoplePanel, &gh.invitesPanel, &gh.tasksPanel, &gh.lineUpPanel,
                                &gh.cueStorePanel, &gh.alertsPanel, &gh.replaysPanel}) {
            *slot = PanelSlot{};
        }
        gh.tutResultPanel = PanelSlot{};
        gh.coinTossOpenTime = 0;
        in.now = 100;
    }
    std::vector<W> order(int state) {
        in.appState = state;
        return planOverlays(gh, in).order;
    }
    GameHandler& gh = getGameHandler();
    OverlayInputs in;
};

TEST_F(FrameCompositionTest, EachStateDrawsItsFixedWindowsInOrder) {
    EXPECT_EQ(order(STATE_STARTUP), std::vector<W>{W::Login});
    EXPECT_EQ(order(STATE_CONNECTING), std::vector<W>{W::Login});
    EXPECT_EQ(order(STATE_LOBBY), (std::vector<W>{W::Lobby, W::TopBox}));
    EXPECT_EQ(order(STATE_TABLE), (std::vector<W>{W::StartMatch, W::BottomBox, W::TopBox}));
    gh.coinTossOpenTime = 99;
    EXPECT_EQ(order(STATE_COIN_TOSS), (std::vector<W>{W::BottomBox, W::TopBox, W::CoinToss}));
    EXPECT_EQ(order(STATE_GAME), (std::vector<W>{W::BottomBox, W::TopBox}));
    for (bool* flag : {&in.inTutorial, &in.replayMode, &in.startMatchHidden}) {
        *flag = true;
        EXPECT_EQ(order(STATE_TABLE), (std::vector<W>{W::BottomBox, W::TopBox}));
        *flag = false;
    }
}

TEST_F(FrameCompositionTest, ADialogWaitsForItsOpeningTimeAndIsKeptLiveMeanwhile) {
    gh.coinTossOpenTime = 100.6;  // entered at 100
    in.appState = STATE_COIN_TOSS;
    OverlayPlan plan = planOverlays(gh, in);
    EXPECT_EQ(plan.order, (std::vector<W>{W::BottomBox, W::TopBox}));
    EXPECT_EQ(plan.upcoming, std::vector<W>{W::CoinToss});
    in.now = 100.6;
    EXPECT_EQ(order(STATE_COIN_TOSS), (std::vector<W>{W::BottomBox, W::TopBox, W::CoinToss}));

    // Every dialog, due, in the table state's order.
    for (PanelSlot* slot : {&gh.peoplePanel, &gh.invitesPanel, &gh.gameSettingsPanel, &gh.tasksPanel, &gh.lineUpPanel,
                            &gh.cueStorePanel, &gh.replaysPanel, &gh.alertsPanel}) {
        *slot = PanelSlot{true, 50};
    }
    gh.tutResultPanel = PanelSlot{true, 50};
    EXPECT_EQ(order(STATE_TABLE),
              (std::vector<W>{W::StartMatch, W::BottomBox, W::TopBox, W::People, W::Invites, W::GameSettings, W::Tasks,
                              W::MatchStats, W::CueStore, W::Replays, W::Alerts, W::CoinToss}));
}

TEST_F(FrameCompositionTest, TheSettingsWindowServesItsPanelsBeforeTheBioWindow) {
    gh.bioTutPanel = PanelSlot{true, 0};
    gh.matchSettingsPanel = PanelSlot{true, 200};  // visible, not yet due: the bio is drawn
    EXPECT_EQ(order(STATE_TABLE), (std::vector<W>{W::StartMatch, W::BottomBox, W::TopBox, W::BioTut}));
    gh.matchSettingsPanel = PanelSlot{};
    gh.myAccountPanel = PanelSlot{true, 0};
    for (int state : {STATE_LOBBY, STATE_TABLE, STATE_COIN_TOSS}) {
        const std::vector<W> drawn = order(state);
        EXPECT_NE(std::find(drawn.begin(), drawn.end(), W::GameSettings), drawn.end()) << state;
        EXPECT_EQ(std::find(drawn.begin(), drawn.end(), W::BioTut), drawn.end()) << state;
    }
    // The account panel does not show in play: the bio does.
    EXPECT_EQ(order(STATE_GAME), (std::vector<W>{W::BottomBox, W::TopBox, W::BioTut}));
}

TEST_F(FrameCompositionTest, RenderSizeFollowsTheResolutionLimit) {
    struct Case {
        int w, h, mode, limit, rw, rh;
    };
    const Case cases[] = {{1920, 1080, 1, 1280, 1280, 720}, {1920, 1080, 1, 800, 1150, 647},
                          {1024, 647, 1, 640, 1024, 647},   {1920, 1080, 2, 1920, 1920, 1080},
                          {1920, 1080, 0, 800, 1920, 1080}, {1920, 1080, 2, 2560, 1920, 1080}};
    for (const Case& c : cases) {
        const RenderSize size = renderSizeFor(c.w, c.h, c.mode, c.limit);
        EXPECT_EQ(size.width, c.rw) << c.w << "x" << c.h << " limit " << c.limit;
        EXPECT_EQ(size.height, c.rh) << c.w << "x" << c.h << " limit " << c.limit;
    }
}

TEST_F(FrameCompositionTest, EverySixtySeventhDrawPerStateAsksForARepaint) {
    OverlayRefreshCounter counter;
    std::vector<int> repaints;
    for (int draw = 1; draw <= 134; ++draw) {
        if (counter.countDraw(STATE_TABLE, W::TopBox)) repaints.push_back(draw);
        if (draw <= 66) {
            EXPECT_FALSE(counter.countDraw(STATE_GAME, W::TopBox));  // counted apart
        }
    }
    EXPECT_EQ(repaints, (std::vector<int>{67, 134}));
    EXPECT_TRUE(counter.countDraw(STATE_GAME, W::TopBox));
    EXPECT_FALSE(counter.countDraw(9, W::TopBox));  // an unknown state counts nothing
}

TEST_F(FrameCompositionTest, SampleCountIsClampedToWhatTheDriverOffers) {
    EXPECT_EQ(clampSampleCount(8, 4, 8, 8), 4);
    EXPECT_EQ(clampSampleCount(8, 8, 2, 8), 2);
    EXPECT_EQ(clampSampleCount(0, 4, 4, 4), 1);
    EXPECT_EQ(clampSampleCount(4, 0, 0, 0), 4);  // a driver that reports nothing is not trusted to 0
}

}  // namespace
