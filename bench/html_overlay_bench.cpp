// The HTML overlays as the player sees them: a page statement until its pixels are on the window
// (runJavaScript, paint, decode, upload, draw, read back), pumped as fast as possible and through
// the client's own frame loop at 30 frames a second, the per-frame cost of drawing fifteen overlays,
// and the browser's memory with every window shown against only the drawn ones shown.
// Needs a display (run under tools/with_display.sh) and the headless browser; skips without them.
#include "app/frame_composition.h"
#include "app/frame_loop.h"
#include "app/shell_globals.h"
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/archive.h"
#include "core/page_script.h"
#include "ui/engine/backend.h"
#include "ui/engine/chromium_backend.h"
#include "ui/engine/web_engine.h"
#include "ui/html_app.h"
#include "ui/html_windows.h"

#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace bzweb;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kW = 1024, kH = 647;

// A window with a GL 3.3 core context, as the client has.
class GlWindow {
public:
    GlWindow() {
        if (SDL_Init(SDL_INIT_VIDEO) != 0) return;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        window_ = SDL_CreateWindow("bench", 0, 0, kW, kH, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
        if (window_) context_ = SDL_GL_CreateContext(window_);
        if (!context_) return;
        SDL_GL_SetSwapInterval(0);
        glewExperimental = GL_TRUE;
        ok_ = glewInit() == GLEW_OK;
        glGetError();
        // The page program reads the shader prelude from the built archive.
        ArchiveIndex::instance().setBaseFolder(BZ_APP_DIR);
    }
    ~GlWindow() {
        if (context_) SDL_GL_DeleteContext(context_);
        if (window_) SDL_DestroyWindow(window_);
        SDL_Quit();
    }
    bool ok() const { return ok_; }
    SDL_Window* window() const { return window_; }

private:
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    bool ok_ = false;
};

// Panels, a 30-row table, shadows and a translucent bar, like the heavier interface pages; #box
// changes colour for the latency measurement.
std::string InterfacePage(int n) {
    std::ostringstream s;
    s << "<!DOCTYPE html><html><head><style>body{margin:0;background:transparent;font:12px sans-serif;color:#eee}"
         ".p{position:absolute;background:rgba(20,30,40,.85);border-radius:10px;box-shadow:0 4px 14px rgba(0,0,0,.6)}"
         "#box{position:absolute;left:40px;top:5px;width:80px;height:25px;background:rgb(255,0,0)}</style></head><body>"
         "<div class='p' style='left:10px;top:70px;width:560px;height:440px'><table>";
    for (int r = 0; r < 30; ++r) s << "<tr><td>" << r << "</td><td>Player " << (r * 7 + n) % 97 << "</td><td>" << 900 + r * 31 << "</td></tr>";
    s << "</table></div><div class='p' style='left:600px;top:70px;width:400px;height:300px'>Window " << n
      << "</div><div id='box'></div></body></html>";
    return s.str();
}

// One window and context for the whole run: the overlays' shared GL program lives in the first
// context that draws them.
GlWindow& sharedGl() {
    static GlWindow* window = new GlWindow;
    return *window;
}

struct BrowserSession {
    GlWindow& gl = sharedGl();
    std::filesystem::path folder;
    bool ok = false;

    explicit BrowserSession(int windows) {
        if (!gl.ok() || FindBrowserBinary(WebSettings{}).empty()) return;
        folder = std::filesystem::temp_directory_path() / ("bzoverlay-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        WebSettings settings;
        settings.cachePath = folder.string();
        if (!Initialize(MainArgs{}, settings, RefPtr<WebApp>(new HtmlApp(htmlRouterConfig())))) return;
        HtmlRenderHandler::resetSharedSizes(kW, kH, 280);
        for (int i = 0; i < windows; ++i) {
            const HtmlWindowInfo& info = htmlWindowTable()[i];
            if (!createHtmlWindow(info.window, folder.string() + "/", kW, kH, 280)) return;
            htmlBrowser(info.window)->GetMainFrame()->LoadString(InterfacePage(i), "file:///nonexistent/" + std::string(info.page));
        }
        installHtmlPageScriptSink();
        ok = Pump([&] {
            for (int i = 0; i < windows; ++i) {
                RefPtr<HtmlRenderHandler> render = htmlRenderHandler(htmlWindowTable()[i].window);
                std::vector<uint8_t> px = render->pixels();
                const size_t at = (size_t(10) * render->rect().width + 80) * 4 + 3;
                if (px.size() <= at || px[at] != 255) return false;  // #box painted
            }
            return true;
        }, 60000);
    }
    ~BrowserSession() {
        destroyHtmlWindows();
        Shutdown();
        std::error_code ec;
        if (!folder.empty()) std::filesystem::remove_all(folder, ec);
    }

    static bool Pump(const std::function<bool()>& done, int timeoutMs, int sleepUs = 500) {
        auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < end) {
            DoMessageLoopWork();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::microseconds(sleepUs));
        }
        return false;
    }
};

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Sum of the proportional set sizes of a process group, in MiB.
double GroupPssMiB(pid_t group) {
    long kib = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (getpgid(std::stoi(pid)) != group) continue;
        std::ifstream rollup(entry.path() / "smaps_rollup");
        for (std::string line; std::getline(rollup, line);) {
            if (line.rfind("Pss:", 0) == 0) kib += std::stol(line.substr(4));
        }
    }
    return kib / 1024.0;
}

// A statement changes the page; timed until the window's pixel shows it. Every frame pumps the
// engine and draws the overlay, as the frame loop does.
void BM_StatementToPixels(benchmark::State& state) {
    BrowserSession session(1);
    if (!session.ok) {
        for (auto _ : state) {
        }
        state.SkipWithError("no display, GL 3.3 or headless browser");
        return;
    }
    std::vector<double> ms;
    for (auto _ : state) {
        for (int i = 0; i < 30; ++i) {
            const bool blue = i % 2 == 0;
            const auto t0 = Clock::now();
            runJavaScript(HtmlWindow::Login, std::string("document.getElementById('box').style.background='") +
                                                 (blue ? "rgb(0,0,255)" : "rgb(255,0,0)") + "';");
            const bool seen = BrowserSession::Pump([&] {
                glViewport(0, 0, kW, kH);
                glClear(GL_COLOR_BUFFER_BIT);
                drawHtmlOverlays({HtmlWindow::Login});
                uint8_t p[4];
                glReadPixels(80, kH - 1 - 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
                return blue ? p[2] == 255 && p[0] == 0 : p[0] == 255 && p[2] == 0;
            }, 3000, 200);
            if (!seen) {
                state.SkipWithError("the change never reached the window");
                return;
            }
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            BrowserSession::Pump([] { return false; }, 30);
        }
    }
    state.counters["median_ms"] = Median(ms);
    std::sort(ms.begin(), ms.end());
    state.counters["p95_ms"] = ms[ms.size() * 95 / 100];
}
BENCHMARK(BM_StatementToPixels)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same change through the client's frame loop at 30 frames a second: the statement is run where a
// server message's handler runs it (after the pump), the loop draws, pumps, paces and swaps as the
// client does, and each drawn frame is read back. Counted until the first picture that shows the
// change, and until the swap that puts it on the window.
class LatencyLoop : public ShellNeighbours {
public:
    bool drawFrame(bool mustDraw) override {
        OverlayInputs in;
        in.appState = appState;
        in.now = getGameHandler().now;
        const bool drew = composer_.compose(getGameHandler(), in, mustDraw);
        if (drew && issued && !seen) {
            uint8_t p[4];
            glReadPixels(80, kH - 1 - 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
            if (blue ? p[2] == 255 && p[0] == 0 : p[0] == 255 && p[2] == 0) {
                seen = true;
                drawnMs = std::chrono::duration<double, std::milli>(Clock::now() - issuedAt).count();
            }
        }
        return drew;
    }
    // Where the loop handles server messages: the statement goes out from there, a few frames after
    // the last change was seen, so the phases of the two vary.
    void actOnPageFlags(bool) override {
        if (issued || ++passesSinceSeen_ < 3 + changes % 4) return;
        blue = changes % 2 == 0;
        ++changes;
        issued = true;
        seen = false;
        issuedAt = Clock::now();
        runJavaScript(HtmlWindow::Login, std::string("document.getElementById('box').style.background='") +
                                             (blue ? "rgb(0,0,255)" : "rgb(255,0,0)") + "';");
    }
    // After the swap of a frame that showed the change.
    void swapped(std::vector<double>& toPicture, std::vector<double>& toSwap) {
        if (!issued || !seen) return;
        toPicture.push_back(drawnMs);
        toSwap.push_back(std::chrono::duration<double, std::milli>(Clock::now() - issuedAt).count());
        issued = false;
        passesSinceSeen_ = 0;
    }
    int changes = 0;

private:
    FrameComposer composer_ = [] {
        FrameComposer c([] {}, [](const OverlayPlan& plan) { drawHtmlOverlays(plan.order, plan.upcoming); },
                        [](HtmlWindow window) { refreshHtmlWindow(window); });
        c.watchPicture([] { return PictureState{}; }, [](const OverlayPlan& plan) {
            const OverlayPicture o = htmlOverlayPicture(plan.order);
            return PictureState{o.newPixels, o.key};
        });
        return c;
    }();
    bool issued = false, seen = false, blue = false;
    Clock::time_point issuedAt;
    double drawnMs = 0;
    int passesSinceSeen_ = 0;
};

void BM_StatementToPixelsThroughLoop(benchmark::State& state) {
    BrowserSession session(1);
    if (!session.ok) {
        for (auto _ : state) {
        }
        state.SkipWithError("no display, GL 3.3 or headless browser");
        return;
    }
    GameHandler& gh = getGameHandler();
    gh.gameSettings.vsync = 0;
    gh.maxFps = 30;
    gh.fpsChanged = true;
    appState = STATE_LOGIN;
    appRunning = true;
    resourcesLoaded = true;
    windowWidth = renderWidth = kW;
    windowHeight = renderHeight = kH;
    mainWindow = session.gl.window();
    LatencyLoop neighbours;
    MonotonicPacingClock clock;
    FrameLoop loop(neighbours, clock);
    loop.prepare(SDL_GetTicks());
    std::vector<double> toPicture, toSwap;
    for (auto _ : state) {
        const auto end = Clock::now() + std::chrono::seconds(120);
        while (toSwap.size() < 40 && Clock::now() < end && loop.runFrame()) neighbours.swapped(toPicture, toSwap);
    }
    mainWindow = nullptr;
    if (toSwap.size() < 40) {
        state.SkipWithError("the changes did not reach the window");
        return;
    }
    state.counters["median_ms"] = Median(toPicture);
    std::sort(toPicture.begin(), toPicture.end());
    state.counters["p95_ms"] = toPicture[toPicture.size() * 95 / 100];
    state.counters["to_swap_median_ms"] = Median(toSwap);
    state.counters["frames_drawn_pct"] = 100.0 * double(loop.framesDrawn()) / double(std::max<uint64_t>(loop.framesRun(), 1));
}
BENCHMARK(BM_StatementToPixelsThroughLoop)->Iterations(1)->Unit(benchmark::kMillisecond);

// Fifteen overlays drawn in one frame (GL only, no browser): arg 1 when every page painted since
// the last frame (fifteen uploads), 0 when none did (draws only).
void BM_DrawFifteenOverlays(benchmark::State& state) {
    GlWindow& gl = sharedGl();
    if (!gl.ok()) {
        for (auto _ : state) {
        }
        state.SkipWithError("no display or GL 3.3");
        return;
    }
    HtmlRenderHandler::resetSharedSizes(kW, kH, 280);
    std::vector<RefPtr<HtmlRenderHandler>> handlers;
    std::vector<std::vector<uint8_t>> frames;
    for (const HtmlWindowInfo& info : htmlWindowTable()) {
        handlers.emplace_back(new HtmlRenderHandler(kW, kH, 280, info.layout));
        const OverlayRect r = handlers.back()->rect();
        frames.emplace_back(size_t(r.width) * r.height * 4, uint8_t(0x80));
    }
    const bool repaint = state.range(0) != 0;
    for (auto& h : handlers) {
        h->OnPaint(nullptr, PET_VIEW, {}, frames[&h - handlers.data()].data(), h->rect().width, h->rect().height);
        h->render();
    }
    glFinish();
    for (auto _ : state) {
        glViewport(0, 0, kW, kH);
        glClear(GL_COLOR_BUFFER_BIT);
        for (size_t i = 0; i < handlers.size(); ++i) {
            if (repaint) {
                handlers[i]->OnPaint(nullptr, PET_VIEW, {}, frames[i].data(), handlers[i]->rect().width,
                                     handlers[i]->rect().height);
            }
            handlers[i]->render();
        }
        glFinish();
    }
    state.counters["uploads_per_frame"] = repaint ? 15 : 0;
}
BENCHMARK(BM_DrawFifteenOverlays)->ArgName("all_painted")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Fifteen windows with their pages loaded: the browser's memory with all of them shown, and with
// only the two that the lobby draws shown (the others hidden as the frame hides undrawn windows).
void BM_FifteenWindowsMemory(benchmark::State& state) {
    BrowserSession session(HTML_WINDOW_COUNT);
    if (!session.ok) {
        for (auto _ : state) {
        }
        state.SkipWithError("no display, GL 3.3 or headless browser");
        return;
    }
    const bool hideUndrawn = state.range(0) != 0;
    if (hideUndrawn) showOnlyHtmlWindows({HtmlWindow::Lobby, HtmlWindow::TopBox});
    BrowserSession::Pump([] { return false; }, 3000, 16667);  // settle
    double pss = 0;
    for (auto _ : state) pss = GroupPssMiB(CurrentBackend()->ProcessId());
    state.counters["browser_pss_MiB"] = pss;
}
BENCHMARK(BM_FifteenWindowsMemory)->ArgName("hide_undrawn")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
