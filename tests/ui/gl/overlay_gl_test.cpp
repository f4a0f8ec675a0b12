// A real page through the whole bridge: loaded by the start-up list into the headless browser, its
// start reported by the page's own query (whose answer the page sees), its pixels uploaded and drawn
// over a cleared scene at the place the layout gives, read back with glReadPixels.
#include "core/archive.h"
#include "ui/engine/chromium_backend.h"
#include "ui/engine/web_engine.h"
#include "ui/html_app.h"
#include "ui/html_requests.h"
#include "ui/html_windows.h"
#include "ui/web_test_support.h"
#include "support/gl_window.h"

#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;
using namespace bzweb;

// The display's libraries (the desktop bus behind SDL, the GL driver) keep allocations past exit
// that a leak check would blame on this test; the bridge's own code is leak-checked in the tests
// on the fake browser.
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }

namespace {

constexpr int kW = 1024, kH = 647;
// The scene colour the overlay is blended over.
constexpr int kSceneR = 51, kSceneG = 102, kSceneB = 153;

// 620 x 306 like the StartMatch window: an opaque red block at the top left, a half-transparent
// blue block in the bottom-right corner (up to the page's edge), a block that turns green when the
// page's query is answered with {"result":0}; the rest is transparent.
const char* kPage = R"(<!DOCTYPE html><html><head><style>
html,body{margin:0;background:transparent;overflow:hidden}
div{position:absolute}
#red{left:0;top:0;width:100px;height:50px;background:rgb(255,0,0)}
#blue{left:520px;top:256px;width:100px;height:50px;background:rgba(0,0,255,0.5)}
#ok{left:300px;top:100px;width:60px;height:40px;background:rgb(0,0,0)}
</style></head><body><div id="red"></div><div id="blue"></div><div id="ok"></div><script>
window.cefQuery({request: JSON.stringify({requestName: 'titleBarMaximize'}), persistent: false,
                 onSuccess: function (response) {}, onFailure: function (code, message) {}});
window.cefQuery({request: JSON.stringify({requestName: 'genericHtmlStarted', htmlId: 'StartMatch'}), persistent: false,
                 onSuccess: function (response) {
                   if (response === '{"result":0}') document.getElementById('ok').style.background = 'rgb(0,255,0)';
                 },
                 onFailure: function (code, message) {}});
</script></body></html>)";

class OverlayGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(FindBrowserBinary(WebSettings{}).empty())
            << "no headless browser installed (Debian packages chromium-headless-shell, chromium)";
        ASSERT_NO_FATAL_FAILURE(bztest::openGlWindow({"overlay", kW, kH, true, 0, 24}, window_, context_));
        // The page program reads the shader prelude from the built archive.
        ArchiveIndex::instance().setBaseFolder(BZ_APP_DIR);

        folder_ = fs::temp_directory_path() / ("bzoverlay-" + std::to_string(getpid()));
        fs::create_directories(folder_ / "res");
        WebSettings settings;
        settings.cachePath = folder_.string();
        std::string error;
        ASSERT_TRUE(Initialize(MainArgs{}, settings, RefPtr<WebApp>(new HtmlApp(htmlRouterConfig())), &error)) << error;
        HtmlRenderHandler::resetSharedSizes(kW, kH, 280);
    }

    void TearDown() override {
        destroyHtmlWindows();
        Shutdown();
        bztest::closeGlWindow(window_, context_);
        std::error_code ec;
        if (!folder_.empty()) fs::remove_all(folder_, ec);
    }

    // The colour at (x, y) from the window's top-left corner.
    static std::array<int, 3> readPixel(int x, int yTop) {
        uint8_t p[4] = {0, 0, 0, 0};
        glReadPixels(x, kH - 1 - yTop, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2]};
    }

    void saveScreenshot(const std::string& name) {
#ifdef BZ_ARTEFACTS
        std::vector<uint8_t> rgba(size_t(kW) * kH * 4);
        glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        stbi_flip_vertically_on_write(1);
        fs::create_directories(BZ_ARTEFACTS);
        stbi_write_png((std::string(BZ_ARTEFACTS) + "/" + name).c_str(), kW, kH, 4, rgba.data(), kW * 4);
#endif
    }

    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    fs::path folder_;
};

void expectNear(const std::array<int, 3>& got, const std::array<int, 3>& want, const char* what) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 3) << what << " channel " << i;
}

TEST_F(OverlayGlTest, APageIsLoadedStartsAndIsDrawnBlendedAtItsPlace) {
    const std::string base = folder_.string() + "/";
    ASSERT_TRUE(createHtmlWindow(HtmlWindow::StartMatch, base, kW, kH, 280));
    HtmlRequests& requests = getHtmlRequests();
    requests.queuePages({PendingHtml{"StartMatch", htmlBrowser(HtmlWindow::StartMatch), kPage,
                                     "file://" + base + "res/start-match.html"}},
                        0);
    ASSERT_EQ(requests.stepPageStartup(HtmlRequests::kFirstPageDelayMs), PageStartupStep::Loaded);

    // The page's own query removed it from the list, and the answer reached its onSuccess.
    RefPtr<HtmlRenderHandler> render = htmlRenderHandler(HtmlWindow::StartMatch);
    const OverlayRect r = render->rect();
    ASSERT_EQ(r, (OverlayRect{202, 310, 620, 306}));
    ASSERT_TRUE(webtest::PumpUntil([&] {
        std::vector<uint8_t> px = render->pixels();
        const uint8_t* ok = px.data() + (size_t(120) * r.width + 330) * 4;  // BGRA
        return requests.pendingHtmls.empty() && ok[1] == 255 && ok[2] == 0 && ok[3] == 255;
    })) << "the page did not start, or its answer never arrived";
    EXPECT_TRUE(requests.htmlStarted);
    EXPECT_TRUE(requests.maximizeRequested);

    glViewport(0, 0, kW, kH);
    glClearColor(kSceneR / 255.0f, kSceneG / 255.0f, kSceneB / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawHtmlOverlays({HtmlWindow::StartMatch});
    glFinish();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(render->uploadCount(), 1);
    saveScreenshot("overlay_start_match.png");

    // The rectangle's top-left corner is at (202, 647 - 310 - 306 = 31) from the window's top left.
    const int left = 202, top = 31;
    const std::array<int, 3> scene = {kSceneR, kSceneG, kSceneB};
    // Half blue over the scene, with straight alpha 128/255.
    const double a = 128 / 255.0;
    const std::array<int, 3> halfBlue = {int(kSceneR * (1 - a) + 0.5), int(kSceneG * (1 - a) + 0.5),
                                         int(255 * a + kSceneB * (1 - a) + 0.5)};
    expectNear(readPixel(left, top), {255, 0, 0}, "red corner");
    expectNear(readPixel(left + 99, top + 49), {255, 0, 0}, "red block's last pixel");
    expectNear(readPixel(left + 100, top + 49), scene, "transparent page beside the red block");
    expectNear(readPixel(left - 1, top), scene, "left of the window");
    expectNear(readPixel(left, top - 1), scene, "above the window");
    expectNear(readPixel(left + 330, top + 120), {0, 255, 0}, "answered block");
    expectNear(readPixel(left + 619, top + 305), halfBlue, "half-transparent block at the corner");
    expectNear(readPixel(left + 520, top + 256), halfBlue, "half-transparent block's first pixel");
    expectNear(readPixel(left + 620, top + 305), scene, "right of the window");
    expectNear(readPixel(left + 619, top + 306), scene, "below the window");
    expectNear(readPixel(left + 519, top + 280), scene, "beside the half-transparent block");

    // Nothing painted since: the next frame draws the same pixels without another upload.
    glClear(GL_COLOR_BUFFER_BIT);
    drawHtmlOverlays({HtmlWindow::StartMatch});
    glFinish();
    EXPECT_EQ(render->uploadCount(), 1);
    expectNear(readPixel(left, top), {255, 0, 0}, "red corner, second frame");
}

}  // namespace
