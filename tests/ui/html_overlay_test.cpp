// Window layout, the negative-size rule, the pixel buffer across resizes and paints, and the hit
// test of the overlay render handler (no GL needed: nothing is drawn here).
#include "ui/html_render_handler.h"
#include "ui/html_windows.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <fstream>

namespace {

struct LayoutCase {
    HtmlWindow window;
    int windowWidth, windowHeight, bottom;
    OverlayRect expected;  // x, y, width, height
};

TEST(HtmlOverlayLayout, RectanglesFollowTheWindowAndTheBottomArea) {
    const LayoutCase cases[] = {
        {HtmlWindow::Login, 1024, 647, 280, {0, 0, 1024, 647}},
        {HtmlWindow::Lobby, 1024, 647, 280, {0, 0, 1024, 647}},
        {HtmlWindow::StartMatch, 1024, 647, 280, {202, 310, 620, 306}},
        {HtmlWindow::CoinToss, 1024, 647, 280, {337, 273, 350, 380}},
        {HtmlWindow::BottomBox, 1024, 647, 280, {0, 0, 1024, 280}},
        {HtmlWindow::TopBox, 1024, 647, 280, {0, 608, 1024, 38}},
        {HtmlWindow::GameSettings, 1024, 647, 280, {212, 48, 600, 550}},
        {HtmlWindow::BioTut, 1024, 647, 280, {22, 8, 980, 630}},
        {HtmlWindow::People, 1024, 647, 280, {296, 52, 432, 542}},
        {HtmlWindow::Invites, 1024, 647, 280, {327, 73, 370, 500}},
        {HtmlWindow::Tasks, 1024, 647, 280, {292, 23, 440, 600}},
        {HtmlWindow::MatchStats, 1024, 647, 280, {212, 48, 600, 550}},
        {HtmlWindow::CueStore, 1024, 647, 280, {22, 8, 980, 630}},
        {HtmlWindow::Alerts, 1024, 647, 280, {292, 78, 440, 490}},
        {HtmlWindow::Replays, 1024, 647, 280, {22, 8, 980, 630}},
        // A short bottom bar: the bottom box slides below the window, the start panel moves down.
        {HtmlWindow::BottomBox, 1024, 647, 130, {0, -150, 1024, 280}},
        {HtmlWindow::StartMatch, 1024, 647, 130, {202, 235, 620, 306}},
        {HtmlWindow::GameSettings, 1024, 647, 130, {212, 48, 600, 550}},
        // Odd sizes truncate toward zero, also below zero.
        {HtmlWindow::CoinToss, 1021, 647, 31, {335, 149, 350, 380}},
        {HtmlWindow::CoinToss, 1021, 351, 0, {335, -14, 350, 380}},
        {HtmlWindow::BioTut, 900, 600, 280, {-40, -15, 980, 630}},
        {HtmlWindow::TopBox, 1920, 1080, 280, {0, 1015, 1920, 64}},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(htmlWindowName(c.window) + std::string(" ") + std::to_string(c.windowWidth) + "x" +
                     std::to_string(c.windowHeight) + " Hb " + std::to_string(c.bottom));
        EXPECT_EQ(computeOverlayRect(htmlWindowInfo(c.window).layout, c.windowWidth, c.windowHeight, c.bottom), c.expected);
    }
}

class OverlayHandlerTest : public ::testing::Test {
protected:
    void SetUp() override { HtmlRenderHandler::resetSharedSizes(1024, 647, 280); }
    void TearDown() override { HtmlRenderHandler::resetSharedSizes(1024, 647, 280); }

    static bzweb::RefPtr<HtmlRenderHandler> make(HtmlWindow w, int ww = -1, int wh = -1, int hb = -1) {
        return bzweb::RefPtr<HtmlRenderHandler>(new HtmlRenderHandler(ww, wh, hb, htmlWindowInfo(w).layout));
    }
    static std::vector<uint8_t> solid(const OverlayRect& r, uint8_t value) {
        return std::vector<uint8_t>(size_t(r.width) * r.height * 4, value);
    }
    static void paint(HtmlRenderHandler& h, const std::vector<uint8_t>& px, int w, int hgt,
                      bzweb::PaintElementType type = bzweb::PET_VIEW) {
        h.OnPaint(nullptr, type, {}, px.data(), w, hgt);
    }
};

TEST_F(OverlayHandlerTest, ANegativeSizeTakesTheLastOneGivenToAnyWindow) {
    auto start = make(HtmlWindow::StartMatch, 1200, 800, 130);
    auto coin = make(HtmlWindow::CoinToss);  // all from StartMatch's call
    EXPECT_EQ(coin->rect(), computeOverlayRect(htmlWindowInfo(HtmlWindow::CoinToss).layout, 1200, 800, 130));
    auto bottom = make(HtmlWindow::BottomBox, -1, -1, 280);
    start->resize(-1, -1, -1);  // the bottom box gave the last bottom height
    EXPECT_EQ(start->rect(), computeOverlayRect(htmlWindowInfo(HtmlWindow::StartMatch).layout, 1200, 800, 280));
    bzweb::Rect view;
    start->GetViewRect(nullptr, view);
    EXPECT_EQ(view.width, 620);
    EXPECT_EQ(view.height, 306);
}

TEST_F(OverlayHandlerTest, AMoveKeepsThePixelsANewSizeClearsThem) {
    auto bottom = make(HtmlWindow::BottomBox, 1024, 647, 280);
    OverlayRect r = bottom->rect();
    paint(*bottom, solid(r, 0x7f), r.width, r.height);
    bottom->resize(-1, -1, 130);  // moves only
    EXPECT_EQ(bottom->rect().y, -150);
    EXPECT_EQ(bottom->pixels(), solid(r, 0x7f));

    bottom->resize(1280, 720, -1);  // wider: transparent black until the page paints again
    r = bottom->rect();
    EXPECT_EQ(r.width, 1280);
    EXPECT_EQ(bottom->pixels(), solid(r, 0));
}

TEST_F(OverlayHandlerTest, OnlyWholeViewPaintsOfTheCurrentSizeReachThePixels) {
    auto start = make(HtmlWindow::StartMatch, 1024, 647, 280);
    OverlayRect r = start->rect();
    paint(*start, solid(r, 0x11), r.width, r.height);
    // A popup of the same size must not overwrite the page.
    paint(*start, solid(r, 0x22), r.width, r.height, bzweb::PET_POPUP);
    EXPECT_EQ(start->pixels(), solid(r, 0x11));

    start->resize(1044, -1, -1);  // still 620 wide: every dialog has a fixed size
    paint(*start, solid(r, 0x33), r.width, r.height);
    EXPECT_EQ(start->pixels(), solid(r, 0x33));

    // A paint still at the old size after the view changed size is dropped.
    auto bottom = make(HtmlWindow::BottomBox, 1024, 647, 280);
    bottom->resize(1044, -1, -1);
    std::vector<uint8_t> old(size_t(1024) * 280 * 4, 0x44);
    paint(*bottom, old, 1024, 280);
    EXPECT_EQ(bottom->pixels(), solid(bottom->rect(), 0));
    paint(*bottom, old, 1024, 281);
    paint(*bottom, old, 1044, 280 - 1);
    EXPECT_EQ(bottom->pixels(), solid(bottom->rect(), 0));
}

// The resident pages of this process, in bytes.
size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t total = 0, resident = 0;
    statm >> total >> resident;
    return resident * size_t(sysconf(_SC_PAGESIZE));
}

TEST_F(OverlayHandlerTest, PixelsCostMemoryOnlyOncePainted) {
    // Sixteen whole-window pages (42 MB of pixels) that never painted, as most windows are hidden.
    std::vector<bzweb::RefPtr<HtmlRenderHandler>> windows;
    const size_t before = residentBytes();
    for (int i = 0; i < 16; ++i) windows.push_back(make(HtmlWindow::Lobby, 1280, 800, 280));
    const size_t grown = residentBytes() - before;
    EXPECT_LT(grown, size_t(4) << 20) << "resident growth for pixels never painted";
    OverlayRect r = windows[0]->rect();
    EXPECT_EQ(windows[0]->pixels(), solid(r, 0));
    paint(*windows[0], solid(r, 0x5a), r.width, r.height);
    EXPECT_EQ(windows[0]->pixels(), solid(r, 0x5a));
    EXPECT_EQ(windows[1]->pixels(), solid(r, 0));
}

TEST_F(OverlayHandlerTest, AWindowShrunkToNothingHoldsNoPixelsAndTakesNoPaint) {
    auto login = make(HtmlWindow::Login, 0, 0, 280);
    EXPECT_EQ(login->rect().width, 0);
    EXPECT_TRUE(login->pixels().empty());
    uint8_t one[4] = {1, 2, 3, 4};
    login->OnPaint(nullptr, bzweb::PET_VIEW, {}, one, 0, 0);
    login->OnPaint(nullptr, bzweb::PET_VIEW, {}, nullptr, 0, 0);
    EXPECT_TRUE(login->pixels().empty());
}

TEST_F(OverlayHandlerTest, HitTestIsHalfOpenInTopDownCoordinates) {
    // StartMatch at 1024 x 647: x 202..821, top edge 647 - 310 - 306 = 31, bottom edge 337 (outside).
    auto start = make(HtmlWindow::StartMatch, 1024, 647, 280);
    struct Hit {
        int px, py;
        bool over;
    };
    const Hit hits[] = {
        {202, 31, true},  {821, 336, true}, {201, 100, false}, {822, 100, false},
        {500, 30, false}, {500, 337, false}, {500, 200, true},
    };
    for (const Hit& h : hits) {
        SCOPED_TRACE(std::to_string(h.px) + "," + std::to_string(h.py));
        EXPECT_EQ(start->isMouseOver(h.px, h.py), h.over);
    }
    // The bottom box below the window edge: only its top Hb rows are on screen.
    auto bottom = make(HtmlWindow::BottomBox, 1024, 647, 130);
    EXPECT_TRUE(bottom->isMouseOver(0, 517));
    EXPECT_FALSE(bottom->isMouseOver(0, 516));
    EXPECT_TRUE(bottom->isMouseOver(1023, 646));
    EXPECT_FALSE(bottom->isMouseOver(1024, 600));
}

}  // namespace
