// The lobby page with long lists, in the headless browser and loaded from the built archive as the
// client loads it: a statement until the page's next frame arrives (and the statement's own script
// time in the page) for a user list, a table list, a single table update and a chat line.
//
// Run with BZ_LOBBY_BEFORE=<folder holding an earlier lobby.html and bz.js> (bench/lobby_page_figures.sh
// makes one from a revision) and each benchmark measures that page too, in the same browser and
// alternating with the current one, so both columns meet the same machine load.
#include "core/archive.h"
#include "tests/ui/web_test_support.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace webtest;
using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kW = 1024, kH = 647;

std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string ArchiveText(const std::string& path) {
    BZFile member(path);
    const char* data = nullptr;
    uint64_t n = member.data(&data);
    return member.isOpen() ? std::string(data, n) : std::string();
}

// The earlier page with its own shared script inlined, so that it does not load today's bz.js.
std::string BeforePage() {
    const char* dir = std::getenv("BZ_LOBBY_BEFORE");
    if (!dir || !*dir) return {};
    std::string page = ReadFile(std::filesystem::path(dir) / "lobby.html");
    std::string script = ReadFile(std::filesystem::path(dir) / "bz.js");
    const std::string link = "<script src=\"bz.js\"></script>";
    size_t at = page.find(link);
    if (page.empty() || script.empty() || at == std::string::npos) return {};
    return page.replace(at, link.size(), "<script>\n" + script + "\n</script>");
}

// Users u0 … u<n-1>; variant v changes every rating, so that the rows in view change.
std::string Users(int n, int v) {
    std::string s = "inbzUserInfo([";
    s.reserve(size_t(n) * 160);
    for (int i = 0; i < n; ++i) {
        s += "{userName:'u" + std::to_string(i) + "',userType:0,rating:" + std::to_string(1200 + (i * 37 + v * 11) % 900) +
             ",rank:" + std::to_string(i + 1) + ",flags:" + std::to_string(i % 7 == 0 ? 1 : 0) +
             ",form:0.5,num_max_p:0,num_max_c:0,hb_p:" + std::to_string((i * 13) % 147) + ",hb_c:0,inReplayMode:0,},";
    }
    return s + "]);";
}

std::string Table(int id, int v, const std::string& p2) {
    return "{tableId:" + std::to_string(id) + ",tableName:'Table " + std::to_string(id) + "',tableType:" + std::to_string(id % 3) +
           ",gameType:1,gameState:" + std::to_string(id % 2) + ",bestOf:" + std::to_string(1 + 2 * ((id + v) % 4)) +
           ",maxPointsBehind:0,maxShotTime:60,privacy:0,arena:0,framesWon1:" + std::to_string(v % 3) + ",framesWon2:0,player1:'u" +
           std::to_string(2 * id) + "',player2:'" + p2 + "',viewers:['u" + std::to_string(2 * id + 1) + "',]},";
}

// Tables 1 … n, seating users 2..2n+1; variant v changes the scores and lengths.
std::string Tables(int n, int v) {
    std::string s = "inbzTableInfo([";
    for (int t = 1; t <= n; ++t) s += Table(t, v, "");
    return s + "]);";
}

std::string ChatLine(int id) {
    return "inbzAddTextToChat({entryId: " + std::to_string(id) + ",chatClass: 0,sender: 'u" + std::to_string(id % 50) +
           "',text1: 'line " + std::to_string(id) + " about the <b>last</b> frame',playerName1: '',text2: '',playerName2: '',text3: '',});";
}

struct Page {
    RefPtr<TestRenderHandler> render;
    RefPtr<TestClient> client;
    RefPtr<WebBrowser> browser;
    int probe = 0;
};

struct Result {
    double frameMs = 0;   // statement sent until the next frame is in
    double scriptMs = 0;  // the statement's own script time in the page
    int userListMutations = 0;
};

class Session {
public:
    Session() {
        if (access("/usr/bin/chromium-headless-shell", X_OK) != 0 && access("/usr/bin/chromium", X_OK) != 0) return;
        folder_ = std::filesystem::temp_directory_path() / ("bzlobby-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder_);
        ArchiveIndex::instance().setBaseFolder(std::string(BZ_APP_DIR) + "/");
        WebSettings settings;
        settings.cachePath = folder_.string();
        if (!Initialize(MainArgs{}, settings, RefPtr<WebApp>(new TestApp(config_)))) return;
        initialized_ = true;
        std::string now = ArchiveText("res/lobby.html");
        if (now.empty() || !Open(now)) return;
        std::string before = BeforePage();
        if (!before.empty() && !Open(before)) return;
        ok = true;
    }
    ~Session() {
        pages_.clear();
        if (initialized_) Shutdown();
        ArchiveIndex::instance().setBaseFolder("");
        std::error_code ec;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
    }

    bool ok = false;
    size_t count() const { return pages_.size(); }

    // Runs the statement in page i and waits for its next frame.
    bool Measure(size_t i, const std::string& statement, Result& r) {
        Page& p = *pages_[i];
        const int n = ++p.probe;
        const std::string code =
            "(function () { var users = document.getElementById('users'), seen = new MutationObserver(function () {});"
            " seen.observe(users, {childList: true, subtree: true, characterData: true, attributes: true});"
            " var t0 = performance.now();\n" + statement +
            "\n;var ms = performance.now() - t0, touched = seen.takeRecords().length; seen.disconnect();"
            " window.cefQuery({request: JSON.stringify({probe: " + std::to_string(n) + ", ms: ms, touched: touched})}); })();";
        const int paints = p.render->paints;
        const size_t mark = p.client->handler->queries.size();
        const auto t0 = Clock::now();
        p.browser->GetMainFrame()->ExecuteJavaScript(code, "", 0);
        Json answer;
        bool framed = PumpUntil([&] {
            if (answer.is_null()) answer = Probe(p, mark, n);
            return !answer.is_null() && p.render->paints > paints;
        }, 20000);
        if (!framed) return false;
        r.frameMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        r.scriptMs = answer.value("ms", 0.0);
        r.userListMutations = answer.value("touched", 0);
        PumpFor(250);  // let the page fall idle again
        return true;
    }

    // Runs a statement and lets the page draw it, unmeasured.
    bool Prepare(const std::string& statement) {
        for (size_t i = 0; i < pages_.size(); ++i) {
            Result ignored;
            if (!Measure(i, statement + ";document.getElementById('version').textContent = 'prepared " +
                                std::to_string(pages_[i]->probe) + "';", ignored)) {
                return false;
            }
        }
        return true;
    }

private:
    bool Open(const std::string& text) {
        auto p = std::make_unique<Page>();
        p->render = RefPtr<TestRenderHandler>(new TestRenderHandler(kW, kH));
        p->client = RefPtr<TestClient>(new TestClient(p->render, config_));
        const std::string url = "file://" + std::string(BZ_APP_DIR) + "/res/";
        p->browser = WebBrowserHost::CreateBrowserSync(WindowInfo{}, p->client, url + "vidoda0.html", BrowserSettings{60});
        if (!p->browser) return false;
        p->browser->GetMainFrame()->LoadString(text, url + "lobby.html");
        Page& page = *p;
        pages_.push_back(std::move(p));
        bool started = PumpUntil([&] {
            for (const auto& q : page.client->handler->queries) {
                if (q.request.find("genericHtmlStarted") != std::string::npos) return true;
            }
            return false;
        }, 20000);
        PumpFor(500);  // fonts
        return started;
    }

    static Json Probe(Page& p, size_t from, int n) {
        const auto& q = p.client->handler->queries;
        for (size_t i = from; i < q.size(); ++i) {
            Json j = Json::parse(q[i].request, nullptr, false);
            if (j.is_object() && j.value("probe", 0) == n) return j;
        }
        return Json();
    }

    const MessageRouterConfig config_{"cefQuery", "cefQueryCancel"};
    std::filesystem::path folder_;
    bool initialized_ = false;
    std::vector<std::unique_ptr<Page>> pages_;
};

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Measures statement(k) for k = 0 … rounds-1 in every page, the pages taking turns, and reports
// the medians as now_* and, with an earlier page, before_*.
void Report(benchmark::State& state, Session& s, int rounds, const std::function<std::string(int)>& statement) {
    std::vector<std::vector<double>> frame(s.count()), script(s.count()), touched(s.count());
    for (auto _ : state) {
        for (int k = 0; k < rounds; ++k) {
            for (size_t i = 0; i < s.count(); ++i) {
                Result r;
                if (!s.Measure(i, statement(k), r)) {
                    state.SkipWithError("the page drew no frame after the statement");
                    return;
                }
                frame[i].push_back(r.frameMs);
                script[i].push_back(r.scriptMs);
                touched[i].push_back(r.userListMutations);
            }
        }
    }
    const char* names[] = {"now", "before"};
    for (size_t i = 0; i < s.count(); ++i) {
        state.counters[std::string(names[i]) + "_frame_ms"] = Median(frame[i]);
        state.counters[std::string(names[i]) + "_script_ms"] = Median(script[i]);
        state.counters[std::string(names[i]) + "_user_list_changes"] = Median(touched[i]);
    }
}

bool Skip(benchmark::State& state, Session& s) {
    if (s.ok) return false;
    for (auto _ : state) {
    }
    state.SkipWithError("no headless browser, or the lobby page did not start");
    return true;
}

// A whole user list of range(0) users replaces the last one.
void BM_UserList(benchmark::State& state) {
    Session s;
    if (Skip(state, s)) return;
    const int n = static_cast<int>(state.range(0));
    if (!s.Prepare("inbzInfoUserName({ userName: 'u3'});" + Users(n, 99))) return state.SkipWithError("no start");
    Report(state, s, 5, [&](int k) { return Users(n, k); });
}
BENCHMARK(BM_UserList)->ArgName("users")->Arg(1000)->Arg(5000)->Iterations(1)->Unit(benchmark::kMillisecond);

// For scale: a statement as long as a list of range(0) users or range(1) tables that only changes
// one text (the list call is parsed but not run), i.e. what carrying and parsing the statement and
// making a frame cost alone.
void BM_StatementAlone(benchmark::State& state) {
    Session s;
    if (Skip(state, s)) return;
    const int users = static_cast<int>(state.range(0)), tables = static_cast<int>(state.range(1));
    if (!s.Prepare("inbzInfoUserName({ userName: 'u3'});")) return state.SkipWithError("no start");
    Report(state, s, 5, [&](int k) {
        return "if (window.bzNever) { " + (users ? Users(users, k) : Tables(tables, k)) +
               " } document.getElementById('version').textContent = 'v" + std::to_string(k) + "';";
    });
}
BENCHMARK(BM_StatementAlone)
    ->ArgNames({"users", "tables"})
    ->Args({1000, 0})
    ->Args({5000, 0})
    ->Args({0, 1000})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// A whole table list of 1,000 tables with range(0) users listed.
void BM_TableList(benchmark::State& state) {
    Session s;
    if (Skip(state, s)) return;
    const int users = static_cast<int>(state.range(0));
    if (!s.Prepare("inbzInfoUserName({ userName: 'u3'});" + Users(users, 0) + Tables(1000, 99))) return state.SkipWithError("no start");
    Report(state, s, 5, [&](int k) { return Tables(1000, k); });
}
BENCHMARK(BM_TableList)->ArgName("users")->Arg(0)->Arg(5000)->Iterations(1)->Unit(benchmark::kMillisecond);

// One table in view changes (a user far down the list sits down and gets up again), with 5,000
// users and 1,000 tables listed: user_list_changes counts the user list's DOM changes.
void BM_TableUpdate(benchmark::State& state) {
    Session s;
    if (Skip(state, s)) return;
    if (!s.Prepare("inbzInfoUserName({ userName: 'u3'});" + Users(5000, 0) + Tables(1000, 0))) return state.SkipWithError("no start");
    Report(state, s, 7, [&](int k) { return "inbzTableInfo([" + Table(1, k, k % 2 ? "" : "u4999") + "]);"; });
}
BENCHMARK(BM_TableUpdate)->Iterations(1)->Unit(benchmark::kMillisecond);

// One chat line, with 5,000 users and 1,000 tables listed and the chat already holding 100 lines.
void BM_ChatLine(benchmark::State& state) {
    Session s;
    if (Skip(state, s)) return;
    std::string chat;
    for (int i = 0; i < 100; ++i) chat += ChatLine(i);
    if (!s.Prepare("inbzInfoUserName({ userName: 'u3'});" + Users(5000, 0) + Tables(1000, 0) + chat)) return state.SkipWithError("no start");
    Report(state, s, 9, [&](int k) { return ChatLine(1000 + k); });
}
BENCHMARK(BM_ChatLine)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
