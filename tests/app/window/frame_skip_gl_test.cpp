// A frame that is not drawn leaves the window as a full redraw would draw it, and every change a
// player must see at once draws the next frame: the real table scene of the built archive with a page
// overlay over it, in a window under software GL with antialiasing.
#include "app/frame_composition.h"
#include "app/shell_globals.h"
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/archive.h"
#include "render/inline_programs.h"
#include "render/scene.h"
#include "render/scene_pass.h"
#include "render/scene_picture.h"
#include "ui/html_windows.h"
#include "support/built_scene.h"
#include "support/gl_window.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Last: the X headers define names (None, Bool) that the test framework's headers use.
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

constexpr int kW = 1024, kH = 647;

class FrameSkipGlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_NO_FATAL_FAILURE(bztest::openGlWindow({"skip", kW, kH, true, 4}, window, context));
        SDL_GL_SetSwapInterval(0);
        bztest::loadBuiltScene();
        std::filesystem::create_directories(BZ_ARTEFACT_DIR);
    }
    static void TearDownTestSuite() {
        bztest::closeGlWindow(window, context);
    }

    void SetUp() override {
        windowWidth = renderWidth = kW;
        windowHeight = renderHeight = kH;
        gh.gameSettings = GameSettings{};
        gh.initBallPositions();
        gh.setViewport(kW, kH, kW, kH, 0, 280);
        gh.setOverheadCamera();
        appState = STATE_TABLE;
        in.appState = STATE_TABLE;
        in.startMatchHidden = true;
        page = bzweb::RefPtr<HtmlRenderHandler>(
            new HtmlRenderHandler(kW, kH, 280, htmlWindowInfo(HtmlWindow::BottomBox).layout));
        paintPage(0x80204060);
        composer.watchPicture(
            [this] {
                const ScenePicture scene = scenePicture(gh);
                return PictureState{scene.animating, scene.key};
            },
            [this](const OverlayPlan&) {
                const OverlayPicture o = overlayPicture({page.get()});
                return PictureState{o.newPixels, o.key};
            });
    }

    void paintPage(uint32_t bgra) {
        const OverlayRect r = page->rect();
        std::vector<uint32_t> pixels(size_t(r.width) * r.height, bgra);
        page->OnPaint(nullptr, bzweb::PET_VIEW, {}, pixels.data(), r.width, r.height);
    }
    // A frame as the loop runs it: swapped when drawn.
    bool frame(bool mustDraw = false) {
        gh.now += 1.0 / 30;
        const bool drew = composer.compose(gh, in, mustDraw);
        if (drew) SDL_GL_SwapWindow(window);
        return drew;
    }
    // What the window shows on the display, as RGB rows from the top.
    static std::vector<unsigned char> shown() {
        glFinish();
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return {};
        XSync(info.info.x11.display, False);
        XImage* image = XGetImage(info.info.x11.display, info.info.x11.window, 0, 0, kW, kH, AllPlanes, ZPixmap);
        if (image == nullptr) return {};
        std::vector<unsigned char> rgb;
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                rgb.push_back((p >> 16) & 0xff);
                rgb.push_back((p >> 8) & 0xff);
                rgb.push_back(p & 0xff);
            }
        }
        XDestroyImage(image);
        return rgb;
    }
    static void save(const std::vector<unsigned char>& rgb, const char* name) {
        stbi_write_png((std::string(BZ_ARTEFACT_DIR) + "/" + name).c_str(), kW, kH, 3, rgb.data(), kW * 3);
    }

    static inline SDL_Window* window = nullptr;
    static inline SDL_GLContext context = nullptr;
    GameHandler& gh = getGameHandler();
    OverlayInputs in;
    bzweb::RefPtr<HtmlRenderHandler> page;
    std::vector<HtmlWindow> repaints;
    FrameComposer composer{[this] { renderScene(gh); }, [this](const OverlayPlan&) { page->render(); },
                           [this](HtmlWindow window) { repaints.push_back(window); }};
};

// An idle window is still asked for a whole repaint every 67th frame, kept frames counted: the way
// back from a paint the engine lost.
TEST_F(FrameSkipGlTest, KeptFramesCountTowardsTheWholeRepaint) {
    ASSERT_TRUE(frame(true));
    int kept = 0;
    for (int i = 1; i < 66; ++i) kept += frame() ? 0 : 1;
    EXPECT_EQ(kept, 65);
    EXPECT_TRUE(repaints.empty());
    EXPECT_FALSE(frame());
    // The plan of the table state without its StartMatch page.
    EXPECT_EQ(repaints, (std::vector<HtmlWindow>{HtmlWindow::BottomBox, HtmlWindow::TopBox}));
}

TEST_F(FrameSkipGlTest, AFrameNotDrawnLeavesTheWindowAsAFullRedrawDrawsIt) {
    ASSERT_TRUE(frame(true));
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(frame()) << "pass " << i;
    const std::vector<unsigned char> kept = shown();
    ASSERT_EQ(kept.size(), size_t(kW) * kH * 3) << "no picture of the window";
    save(kept, "frame_kept.png");
    ASSERT_TRUE(frame(true));  // the full redraw, swapped
    const std::vector<unsigned char> redrawn = shown();
    save(redrawn, "frame_redrawn.png");
    EXPECT_TRUE(kept == redrawn) << "the window kept another picture than a full redraw draws";
}

TEST_F(FrameSkipGlTest, EveryChangeAPlayerSeesDrawsTheNextFrame) {
    struct Change {
        const char* what;
        std::function<void()> make, undo;
    };
    const Change changes[] = {
        {"a page repaint", [this] { paintPage(0xff00ff00); }, [this] { paintPage(0x80204060); }},
        {"a stroke's ball rolling", [this] { gh.table.balls[0].vx = 500; }, [this] { gh.table.balls[0].vx = 0; }},
        {"a ball placed", [this] { gh.table.balls[0].x += 40; }, [this] { gh.table.balls[0].x -= 40; }},
        {"the opponent's live aim", [this] { gh.remoteAimAnimating = true; }, [this] { gh.remoteAimAnimating = false; }},
        {"the camera", [this] { gh.camera.position[1] += 300; }, [this] { gh.camera.position[1] -= 300; }},
        {"a dialog due", [this] { gh.peoplePanel = {true, gh.now}; }, [this] { gh.peoplePanel = {}; }},
        {"the window's size", [] { windowHeight -= 1; }, [] { windowHeight += 1; }},
    };
    for (const Change& c : changes) {
        ASSERT_TRUE(frame(true));
        ASSERT_FALSE(frame()) << "settled before " << c.what;
        c.make();
        EXPECT_TRUE(frame()) << c.what;
        c.undo();
    }
}

}  // namespace
