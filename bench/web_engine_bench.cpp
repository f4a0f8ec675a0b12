// The browser-engine layer against the real headless browser: page change to paint latency, frame
// rate of an animating page, statement round trip, idle CPU and memory with fifteen pages, and the
// cost of decoding one full screencast frame (the decoder as used, against libspng and stb_image).
// Each benchmark runs its measurement once and reports it in its counters.
#include "ui/engine/backend.h"
#include "ui/engine/chromium_backend.h"
#include "ui/engine/devtools_pipe.h"
#include "ui/engine/frame_decoder.h"
#include "ui/engine/message_router.h"
#include "ui/engine/web_engine.h"

#include <benchmark/benchmark.h>
#include <spng.h>

#include <dirent.h>
#include <unistd.h>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace bzweb;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kW = 1024, kH = 647;

// A scoreboard with 40 rows, a chat, a HUD bar, gradients, shadows, rounded corners and translucent
// panels, like the heavier interface pages; #box toggles colour for the latency test.
std::string SimplePage() {
    return "<!DOCTYPE html><html><body style='margin:0;background:transparent;font:14px sans-serif'>"
           "<div style='position:absolute;left:20px;top:20px;width:300px;height:120px;background:#234;color:#fff'>"
           "A dialog<br><button>OK</button><input type=text></div><div id='box' style='position:absolute;left:900px;"
           "top:20px;width:80px;height:40px;background:rgb(255,0,0)'></div></body></html>";
}

std::string HeavyPage(bool animate) {
    std::ostringstream s;
    s << "<!DOCTYPE html><html><head><style>"
         "body{margin:0;background:transparent;font:12px sans-serif;color:#eee}"
         ".panel{position:absolute;background:rgba(20,30,40,.82);border-radius:12px;box-shadow:0 4px 16px rgba(0,0,0,.6)}"
         ".grad{background:linear-gradient(rgba(50,70,90,.9),rgba(10,20,30,.7))}"
         "table{border-collapse:collapse;width:100%}td{padding:1px 6px;border-bottom:1px solid rgba(255,255,255,.15)}"
         "#box{position:absolute;left:900px;top:20px;width:80px;height:40px;background:rgb(255,0,0)}"
         "#mover{position:absolute;top:560px;width:60px;height:30px;border-radius:8px;background:rgba(255,200,0,.8);"
         "box-shadow:0 0 12px #fa0;animation:m 2s linear infinite alternate}"
         "@keyframes m{from{left:0}to{left:960px}}"
         "</style></head><body>"
         "<div class='panel grad' style='left:10px;top:10px;width:600px;height:560px'><table>";
    for (int r = 0; r < 40; ++r) {
        s << "<tr><td>" << r + 1 << "</td><td>Player number " << r * 7 % 97 << "</td><td>" << 1000 + r * 37
          << "</td><td>" << r % 9 << " - " << (r * 3) % 9 << "</td><td>Table " << r % 12 << "</td></tr>";
    }
    s << "</table></div><div class='panel' style='left:620px;top:80px;width:390px;height:460px;overflow:hidden'>";
    for (int c = 0; c < 30; ++c) s << "<div><b>nick" << c << ":</b> a chat line about the last frame number " << c << "</div>";
    s << "</div><div class='panel grad' style='left:0;top:600px;width:1024px;height:47px'>HUD: break 47, "
         "points 63 - 12, reds 9</div><div id='box'></div>";
    if (animate) s << "<div id='mover'></div>";
    s << "</body></html>";
    return s.str();
}

class Render : public RenderHandler {
public:
    void GetViewRect(RefPtr<WebBrowser>, Rect& r) override { r = Rect{0, 0, kW, kH}; }
    void OnPaint(RefPtr<WebBrowser>, PaintElementType, const std::vector<Rect>&, const void* buffer, int w, int h) override {
        ++paints;
        if (w == kW && h == kH) {
            const uint8_t* p = static_cast<const uint8_t*>(buffer) + (size_t(40) * w + 940) * 4;
            boxBlue = p[0];
        }
        lastPaint = Clock::now();
    }
    int paints = 0;
    int boxBlue = -1;
    Clock::time_point lastPaint;
};

class Handler : public MessageRouterBrowserSide::Handler {
public:
    bool OnQuery(RefPtr<WebBrowser>, RefPtr<WebFrame>, int64_t, const std::string& request, bool,
                 RefPtr<QueryCallback> cb) override {
        ++count;
        last = request;
        cb->Success("{\"result\":0}");
        return true;
    }
    int count = 0;
    std::string last;
};

class Client : public WebClient, public LifeSpanHandler {
public:
    Client() : render(new Render) {}
    RefPtr<RenderHandler> GetRenderHandler() override { return render; }
    RefPtr<LifeSpanHandler> GetLifeSpanHandler() override { return this; }
    bool OnProcessMessageReceived(RefPtr<WebBrowser> b, RefPtr<WebFrame> f, ProcessId p, RefPtr<ProcessMessage> m) override {
        return router->OnProcessMessageReceived(b, f, p, m);
    }
    void OnAfterCreated(RefPtr<WebBrowser>) override {
        router = MessageRouterBrowserSide::Create(MessageRouterConfig{});
        router->AddHandler(&handler, false);
    }
    void OnBeforeClose(RefPtr<WebBrowser> b) override {
        router->OnBeforeClose(b);
        router->RemoveHandler(&handler);
        router.reset();
    }
    RefPtr<Render> render;
    RefPtr<MessageRouterBrowserSide> router;
    Handler handler;
};

class App : public WebApp, public RenderProcessHandler {
public:
    RefPtr<RenderProcessHandler> GetRenderProcessHandler() override { return this; }
    void OnWebKitInitialized() override { router = MessageRouterRendererSide::Create(MessageRouterConfig{}); }
    RefPtr<MessageRouterRendererSide> router;
};

template <class Pred>
bool Pump(Pred pred, int timeoutMs, int pumpEveryUs = 500) {
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
        DoMessageLoopWork();
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::microseconds(pumpEveryUs));
    }
    return false;
}

struct Session {
    RefPtr<App> app;
    std::vector<RefPtr<Client>> clients;
    std::vector<RefPtr<WebBrowser>> browsers;
    bool ok = false;

    explicit Session(int pages, bool animate, bool simple = false) {
        app = RefPtr<App>(new App);
        std::string error;
        if (!Initialize(MainArgs{}, WebSettings{}, app, &error)) return;
        for (int i = 0; i < pages; ++i) {
            clients.emplace_back(new Client);
            browsers.push_back(WebBrowserHost::CreateBrowserSync(WindowInfo{}, clients.back(), "", BrowserSettings{60}));
            browsers.back()->GetMainFrame()->LoadString((simple ? SimplePage() : HeavyPage(animate && i == 0)) +
                                                            "<script>cefQuery({request:'started'})</script>",
                                                        "file:///nonexistent/res/page" + std::to_string(i) + ".html");
        }
        ok = Pump([&] {
            for (auto& c : clients) {
                if (c->handler.count == 0 || c->render->paints == 0) return false;
            }
            return true;
        }, 20000);
    }
    ~Session() {
        browsers.clear();
        Shutdown();
    }
};

double Percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(q * (v.size() - 1) + 0.5))];
}

// CPU ticks of the process group (the browser and its helpers) and of this process.
long GroupTicks(pid_t pgid, bool withSelf) {
    long ticks = 0;
    DIR* d = opendir("/proc");
    if (!d) return 0;
    while (dirent* e = readdir(d)) {
        pid_t pid = static_cast<pid_t>(atoi(e->d_name));
        if (pid <= 0) continue;
        std::ifstream f("/proc/" + std::string(e->d_name) + "/stat");
        std::string line;
        std::getline(f, line);
        size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        std::string state;
        long ppid, pgrp, session, tty, tpgid, flags, minflt, cminflt, majflt, cmajflt, utime, stime;
        rest >> state >> ppid >> pgrp >> session >> tty >> tpgid >> flags >> minflt >> cminflt >> majflt >> cmajflt >> utime >> stime;
        if (pgrp == pgid || (withSelf && pid == getpid())) ticks += utime + stime;
    }
    closedir(d);
    return ticks;
}

long GroupPssKiB(pid_t pgid) {
    long kib = 0;
    DIR* d = opendir("/proc");
    if (!d) return 0;
    while (dirent* e = readdir(d)) {
        if (atoi(e->d_name) <= 0) continue;
        std::ifstream st("/proc/" + std::string(e->d_name) + "/stat");
        std::string line;
        std::getline(st, line);
        size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        std::string state;
        long ppid, pgrp;
        rest >> state >> ppid >> pgrp;
        if (pgrp != pgid) continue;
        std::ifstream sm("/proc/" + std::string(e->d_name) + "/smaps_rollup");
        while (std::getline(sm, line)) {
            if (line.rfind("Pss:", 0) == 0) kib += atol(line.c_str() + 4);
        }
    }
    closedir(d);
    return kib;
}

// Cpu use in percent of one core over ms milliseconds while pumping at 60 Hz.
double CpuPercent(pid_t pgid, bool withSelf, int ms, int* paintsOut = nullptr, Render* render = nullptr) {
    long t0 = GroupTicks(pgid, withSelf);
    int p0 = render ? render->paints : 0;
    auto start = Clock::now();
    Pump([] { return false; }, ms, 16667);
    double secs = std::chrono::duration<double>(Clock::now() - start).count();
    long t1 = GroupTicks(pgid, withSelf);
    if (paintsOut && render) *paintsOut = render->paints - p0;
    return 100.0 * (t1 - t0) / sysconf(_SC_CLK_TCK) / secs;
}

bool BrowserMissing(benchmark::State& state) {
    if (!FindBrowserBinary(WebSettings{}).empty()) return false;
    for (auto _ : state) {
    }
    state.SkipWithError("no headless browser installed");
    return true;
}

// Page change (a statement sets a colour) until the new pixels are in the paint callback.
void BM_ChangeToPaintLatency(benchmark::State& state) {
    if (BrowserMissing(state)) return;
    const int pumpEveryUs = static_cast<int>(state.range(0));
    Session s(1, false);
    if (!s.ok) {
        state.SkipWithError("the browser did not start");
        return;
    }
    Render& r = *s.clients[0]->render;
    std::vector<double> ms;
    for (auto _ : state) {
        for (int i = 0; i < 30; ++i) {
            bool blue = i % 2 == 0;
            auto t0 = Clock::now();
            s.browsers[0]->GetMainFrame()->ExecuteJavaScript(
                std::string("document.getElementById('box').style.background='") + (blue ? "rgb(0,0,255)" : "rgb(255,0,0)") + "'",
                "", 0);
            if (!Pump([&] { return r.boxBlue == (blue ? 255 : 0); }, 3000, pumpEveryUs)) {
                state.SkipWithError("no paint after a change");
                return;
            }
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            Pump([] { return false; }, 30, pumpEveryUs);
        }
    }
    state.counters["median_ms"] = Percentile(ms, 0.5);
    state.counters["p95_ms"] = Percentile(ms, 0.95);
}
BENCHMARK(BM_ChangeToPaintLatency)->Arg(500)->Arg(16667)->Iterations(1)->Unit(benchmark::kMillisecond);

// One page with a running animation: paints per second, and CPU of the browser and of this process.
void BM_AnimatingPage(benchmark::State& state) {
    if (BrowserMissing(state)) return;
    Session s(1, true);
    if (!s.ok) {
        state.SkipWithError("the browser did not start");
        return;
    }
    pid_t pgid = CurrentBackend()->ProcessId();
    int paints = 0;
    double total = 0, browser = 0;
    for (auto _ : state) {
        long c0 = GroupTicks(pgid, false), a0 = GroupTicks(pgid, true);
        auto start = Clock::now();
        int p0 = s.clients[0]->render->paints;
        Pump([] { return false; }, 3000, 16667);
        double secs = std::chrono::duration<double>(Clock::now() - start).count();
        paints = s.clients[0]->render->paints - p0;
        browser = 100.0 * (GroupTicks(pgid, false) - c0) / sysconf(_SC_CLK_TCK) / secs;
        total = 100.0 * (GroupTicks(pgid, true) - a0) / sysconf(_SC_CLK_TCK) / secs;
        state.counters["frames_per_s"] = paints / secs;
    }
    state.counters["browser_cpu_pct"] = browser;
    state.counters["client_cpu_pct"] = total - browser;
}
BENCHMARK(BM_AnimatingPage)->Iterations(1)->Unit(benchmark::kMillisecond);

// A statement that calls cefQuery, until the query handler has it.
void BM_StatementRoundTrip(benchmark::State& state) {
    if (BrowserMissing(state)) return;
    Session s(1, false);
    if (!s.ok) {
        state.SkipWithError("the browser did not start");
        return;
    }
    Handler& h = s.clients[0]->handler;
    std::vector<double> ms;
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i) {
            int before = h.count;
            auto t0 = Clock::now();
            s.browsers[0]->GetMainFrame()->ExecuteJavaScript("cefQuery({request:'ping'})", "", 0);
            if (!Pump([&] { return h.count > before; }, 3000, 50)) {
                state.SkipWithError("no answer");
                return;
            }
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        }
    }
    state.counters["median_ms"] = Percentile(ms, 0.5);
    state.counters["p95_ms"] = Percentile(ms, 0.95);
}
BENCHMARK(BM_StatementRoundTrip)->Iterations(1)->Unit(benchmark::kMillisecond);

// Fifteen heavy pages loaded and idle: CPU of everything, and the browser's memory (PSS, so pages
// shared between its processes count once).
void BM_FifteenIdlePages(benchmark::State& state) {
    if (BrowserMissing(state)) return;
    auto t0 = Clock::now();
    Session s(15, false, state.range(0) == 0);
    if (!s.ok) {
        state.SkipWithError("the browser did not start");
        return;
    }
    double loadMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    // Only two shown: the others are hidden as the frame composition would hide undrawn windows.
    if (state.range(1)) {
        for (size_t i = 2; i < s.browsers.size(); ++i) s.browsers[i]->GetHost()->WasHidden(true);
    }
    pid_t pgid = CurrentBackend()->ProcessId();
    Pump([] { return false; }, 1000, 16667);  // settle
    double cpu = 0;
    for (auto _ : state) cpu = CpuPercent(pgid, true, 4000);
    state.counters["start_and_load_ms"] = loadMs;
    state.counters["idle_cpu_pct"] = cpu;
    state.counters["browser_pss_MiB"] = GroupPssKiB(pgid) / 1024.0;
}
BENCHMARK(BM_FifteenIdlePages)
    ->ArgNames({"heavy", "hidden13"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// ---- decoding one real screencast frame of the heavy page

// Takes one screencast frame straight off the pipe, as the engine receives it.
std::string CaptureFrame() {
    static std::string frame;
    if (!frame.empty()) return frame;
    std::string binary = FindBrowserBinary(WebSettings{});
    fs::path profile = fs::temp_directory_path() / ("bzweb-bench-" + std::to_string(getpid()));
    fs::create_directories(profile);
    fs::path page = profile / "heavy.html";
    std::ofstream(page) << HeavyPage(false);

    BrowserProcess process;
    DevToolsPipe pipe;
    int fd = -1;
    std::string error;
    std::vector<std::string> args = {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--remote-debugging-pipe",
                                     "--user-data-dir=" + profile.string()};
    if (!process.Spawn(binary, args, "", fd, error)) return {};
    std::mutex m;
    std::string captured;
    DevToolsPipe::Callbacks cb;
    cb.onFrame = [&](const std::string&, std::string msg, size_t off, size_t len) {
        std::lock_guard<std::mutex> lock(m);
        if (captured.empty()) captured = msg.substr(off, len);
    };
    if (!pipe.Start(fd, cb, error)) return {};
    auto call = [&](const std::string& session, const std::string& method, JsonValue params) -> JsonValue {
        int64_t id = pipe.NextId();
        JsonValue msg = {{"id", id}, {"method", method}, {"params", params}};
        if (!session.empty()) msg["sessionId"] = session;
        pipe.Send(msg.dump());
        auto end = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < end) {
            pipe.WaitForMessages(100);
            std::vector<JsonValue> in;
            pipe.TakeMessages(in);
            for (auto& r : in) {
                if (r.value("id", int64_t(0)) == id) return r;
            }
        }
        return {};
    };
    JsonValue t = call("", "Target.createTarget", {{"url", "about:blank"}});
    std::string target = t["result"].value("targetId", "");
    JsonValue a = call("", "Target.attachToTarget", {{"targetId", target}, {"flatten", true}});
    std::string session = a["result"].value("sessionId", "");
    call(session, "Page.enable", JsonValue::object());
    call(session, "Emulation.setDeviceMetricsOverride", {{"width", kW}, {"height", kH}, {"deviceScaleFactor", 1}, {"mobile", false}});
    call(session, "Emulation.setDefaultBackgroundColorOverride", {{"color", {{"r", 0}, {"g", 0}, {"b", 0}, {"a", 0}}}});
    call(session, "Page.navigate", {{"url", "file://" + page.string()}});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    call(session, "Page.startScreencast", {{"format", "png"}});
    auto end = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < end) {
        {
            std::lock_guard<std::mutex> lock(m);
            if (!captured.empty()) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pipe.Stop();
    process.Reap(2000);
    fs::remove_all(profile);
    frame = captured;
    return frame;
}

void BM_DecodeFrame(benchmark::State& state) {
    if (BrowserMissing(state)) return;
    std::string b64 = CaptureFrame();
    std::vector<uint8_t> png;
    if (b64.empty() || !DecodeBase64(b64, png)) {
        state.SkipWithError("no frame captured");
        return;
    }
    const int which = static_cast<int>(state.range(0));
    std::vector<uint8_t> bgra, rgba;
    int w = 0, h = 0;
    for (auto _ : state) {
        if (which == 0) {
            benchmark::DoNotOptimize(DecodeBase64(b64, png));
        } else if (which == 1) {
            DecodePngToBgra(png.data(), png.size(), true, bgra, w, h);
        } else if (which == 3) {
            std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> ctx(spng_ctx_new(0), spng_ctx_free);
            spng_set_crc_action(ctx.get(), SPNG_CRC_USE, SPNG_CRC_USE);
            spng_set_png_buffer(ctx.get(), png.data(), png.size());
            size_t size = 0;
            spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size);
            rgba.resize(size);
            bgra.resize(size);
            spng_decode_image(ctx.get(), rgba.data(), rgba.size(), SPNG_FMT_RGBA8, 0);
            RgbaToBgra(rgba.data(), bgra.data(), size / 4, true);
        } else {
            int comp = 0;
            unsigned char* rgba = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &w, &h, &comp, 4);
            bgra.resize(size_t(w) * h * 4);
            RgbaToBgra(rgba, bgra.data(), size_t(w) * h, true);
            stbi_image_free(rgba);
        }
        benchmark::ClobberMemory();
    }
    state.counters["png_KiB"] = png.size() / 1024.0;
    const char* labels[] = {"base64", "DecodePngToBgra", "stb_image+swizzle", "libspng+swizzle"};
    state.SetLabel(labels[which]);
}
BENCHMARK(BM_DecodeFrame)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace
