// Loads the client's pages into the real headless browser the way the client does: each window starts
// on the bootstrap page, then the page text read from the built resource archive is loaded under
// file://<program folder>/res/<page>, so its links resolve to the files the build put there.
// Statements run as the client runs them; requests arrive at a recording query handler.
#pragma once

#include "core/archive.h"
#include "core/page_script.h"
#include "ui/web_test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace pagetest {

using namespace webtest;
using Json = nlohmann::json;

struct PageInfo {
    const char* htmlId;
    const char* path;
    int width;  // at a 1024 x 647 window
    int height;
};

// The fifteen windows in the client's creation order with their sizes.
inline const std::vector<PageInfo>& Pages() {
    static const std::vector<PageInfo> pages = {
        {"Login", "res/main-login.html", 1024, 647},
        {"Lobby", "res/lobby.html", 1024, 647},
        {"StartMatch", "res/start-match.html", 620, 306},
        {"CoinToss", "res/coin-toss-all-in-one.html", 350, 380},
        {"BottomBox", "res/bottom-box-all-in-one.html", 1024, 280},
        {"TopBox", "res/top-box.html", 1024, 38},
        {"GameSettings", "res/game-settings-all-in-one.html", 600, 550},
        {"BioTut", "res/bio-tut.html", 980, 630},
        {"People", "res/people.html", 432, 542},
        {"Invites", "res/invitations.html", 370, 500},
        {"Tasks", "res/tasks.html", 440, 600},
        {"MatchStats", "res/match-stats.html", 600, 550},
        {"CueStore", "res/cuestore.html", 980, 630},
        {"Alerts", "res/alerts.html", 440, 490},
        {"Replays", "res/replays.html", 980, 630},
    };
    return pages;
}

inline const PageInfo& PageById(const std::string& id) {
    for (const PageInfo& p : Pages()) {
        if (id == p.htmlId) return p;
    }
    throw std::runtime_error("no page " + id);
}

// A request as the client's query handler parses it; null when the text is not a JSON object.
inline Json ParseRequest(const std::string& text) {
    Json j = Json::parse(text, nullptr, false);
    return j.is_object() ? j : Json();
}

// Equal values of equal JSON kinds: 1 and 1.0 differ, true and 1 differ.
inline bool SameTyped(const Json& a, const Json& b) {
    auto kind = [](const Json& j) {
        if (j.is_number_integer()) return 1;  // signed and unsigned alike
        if (j.is_number_float()) return 2;
        return 10 + static_cast<int>(j.type());
    };
    if (kind(a) != kind(b)) return false;
    if (a.is_object()) {
        if (a.size() != b.size()) return false;
        for (auto it = a.begin(); it != a.end(); ++it) {
            if (!b.contains(it.key()) || !SameTyped(it.value(), b.at(it.key()))) return false;
        }
        return true;
    }
    if (a.is_array()) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i) {
            if (!SameTyped(a[i], b[i])) return false;
        }
        return true;
    }
    return a == b;
}

struct View {
    PageInfo info;
    RefPtr<TestRenderHandler> render;
    RefPtr<TestClient> client;
    RefPtr<WebBrowser> browser;

    TestQueryHandler& queries() { return *client->handler; }
    // The page's own requests (those with a requestName), in order.
    std::vector<Json> Requests(size_t from = 0) {
        std::vector<Json> out;
        const auto& q = client->handler->queries;
        for (size_t i = from; i < q.size(); ++i) {
            Json j = ParseRequest(q[i].request);
            if (j.is_object() && j.contains("requestName")) out.push_back(j);
        }
        return out;
    }
    size_t Mark() const { return client->handler->queries.size(); }
};

class PageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(access("/usr/bin/chromium-headless-shell", X_OK) == 0 || access("/usr/bin/chromium", X_OK) == 0)
            << "no headless browser installed (Debian packages chromium-headless-shell, chromium)";
        folder_ = std::filesystem::temp_directory_path() /
                  ("bzpages-" + std::to_string(getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        ArchiveIndex::instance().setBaseFolder(std::string(BZ_APP_DIR) + "/");
        WebSettings settings;
        settings.cachePath = folder_.string();
        app_ = RefPtr<TestApp>(new TestApp(config_));
        std::string error;
        ASSERT_TRUE(Initialize(MainArgs{}, settings, app_, &error)) << error;
    }

    void TearDown() override {
        Shutdown();
        ArchiveIndex::instance().setBaseFolder("");
        std::error_code ec;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
    }

    static std::string Url(const std::string& path) { return "file://" + std::string(BZ_APP_DIR) + "/" + path; }

    static std::string ArchiveText(const std::string& path) {
        BZFile member(path);
        const char* data = nullptr;
        uint64_t n = member.data(&data);
        if (!member.isOpen()) return std::string();
        return std::string(data, n);
    }

    // Creates the window on the bootstrap page, loads its page and waits for its start report.
    View& Open(const std::string& htmlId, int width = 0, int height = 0) { return OpenText(htmlId, ArchiveText(PageById(htmlId).path), width, height); }

    // The same with a page text of the test's own.
    View& OpenText(const std::string& htmlId, const std::string& text, int width = 0, int height = 0) {
        const PageInfo& info = PageById(htmlId);
        auto v = std::make_unique<View>();
        v->info = info;
        v->render = RefPtr<TestRenderHandler>(new TestRenderHandler(width ? width : info.width, height ? height : info.height));
        v->client = RefPtr<TestClient>(new TestClient(v->render, config_));
        v->browser = WebBrowserHost::CreateBrowserSync(WindowInfo{}, v->client, Url("res/vidoda0.html"), BrowserSettings{60});
        EXPECT_TRUE(v->browser) << htmlId;
        EXPECT_FALSE(text.empty()) << info.path << " is not in the archive";
        v->browser->GetMainFrame()->LoadString(text, Url(info.path));
        views_.push_back(std::move(v));
        View& view = *views_.back();
        EXPECT_TRUE(PumpUntil([&] { return Started(view) > 0; })) << htmlId << " never reported its start";
        return view;
    }

    // How many start reports the page sent for its own window name.
    static int Started(View& v) {
        int n = 0;
        for (const Json& r : v.Requests()) {
            n += r.value("requestName", "") == "genericHtmlStarted" && r.value("htmlId", "") == v.info.htmlId;
        }
        return n;
    }

    // Runs a statement as the client does and says what went wrong: "" when it ran, the page logged
    // no error and nothing threw; otherwise the error.
    std::string Run(View& v, const std::string& statement) {
        int n = ++probe_;
        std::string code = "try {\n" + statement +
                           "\n;window.cefQuery({request: JSON.stringify({probe: " + std::to_string(n) +
                           ", errors: window.bz ? bz.errors.splice(0) : []})});\n} catch (e) { window.cefQuery({request: "
                           "JSON.stringify({probe: " + std::to_string(n) + ", thrown: String(e)})}); }";
        v.browser->GetMainFrame()->ExecuteJavaScript(code, v.browser->GetMainFrame()->GetURL(), 0);
        // Scripts run in order: this one answers after the statement's own answer, or alone when the
        // statement did not parse, so no wait sits out the ceiling for an answer that cannot come.
        v.browser->GetMainFrame()->ExecuteJavaScript(
            "window.cefQuery({request: JSON.stringify({probe: " + std::to_string(n) + ", unparsed: true})});", "", 0);
        Json answer;
        bool got = WaitProbe(v, n, answer);
        if (!got) return "no answer: the page never finished the statement";
        if (answer.contains("unparsed")) return "the statement does not parse";
        if (answer.contains("thrown")) return "threw " + answer["thrown"].get<std::string>();
        if (!answer["errors"].empty()) return "page errors " + answer["errors"].dump();
        return "";
    }

    // The value of a page expression (a promise is waited for), through the page's JSON.
    Json Eval(View& v, const std::string& expression) {
        int n = ++probe_;
        std::string code = "Promise.resolve(" + expression + ").then(function (value) { window.cefQuery({request: "
                           "JSON.stringify({probe: " + std::to_string(n) + ", value: value})}); });";
        v.browser->GetMainFrame()->ExecuteJavaScript(code, "", 0);
        Json answer;
        if (!WaitProbe(v, n, answer)) return Json("no answer");
        return answer.value("value", Json());
    }

    // Runs, in order, the recorded statements that went to the window; false when one did not run.
    bool RunEach(View& v, HtmlWindow window, const std::vector<RecordingPageScriptSink::Entry>& entries) {
        bool ran = true;
        for (const auto& e : entries) {
            if (e.window != window) continue;
            const std::string error = Run(v, e.statement);
            EXPECT_EQ(error, "") << e.statement;
            ran = ran && error.empty();
        }
        return ran;
    }

    // Waits for the page's answer to probe n; as long as any wait, since a page under the sanitizers on a
    // busy machine can take seconds to answer.
    static bool WaitProbe(View& v, int n, Json& answer) {
        return PumpUntil([&] {
            for (const auto& q : v.queries().queries) {
                Json j = ParseRequest(q.request);
                if (j.is_object() && j.value("probe", 0) == n) {
                    answer = j;
                    return true;
                }
            }
            return false;
        });
    }

    // Waits until the page has drawn what it was last told and the frame has arrived.
    void Settle(View& v) {
        int n = ++probe_;
        v.browser->GetMainFrame()->ExecuteJavaScript(
            "requestAnimationFrame(function () { requestAnimationFrame(function () { window.cefQuery({request: "
            "JSON.stringify({probe: " + std::to_string(n) + "})}); }); });", "", 0);
        Json answer;
        WaitProbe(v, n, answer);
        // An idle page sends no frames: ask for a fresh one of what is drawn now. A busy browser now
        // and then sends none for the new screencast: ask again, each time waiting twice as long.
        const int before = v.render->paints;
        auto nextAsk = std::chrono::steady_clock::now();
        std::chrono::milliseconds patience(1000);
        PumpUntil([&] {
            if (v.render->paints > before) return true;
            if (std::chrono::steady_clock::now() >= nextAsk) {
                v.browser->GetHost()->Invalidate(PET_VIEW);
                nextAsk = std::chrono::steady_clock::now() + patience;
                patience *= 2;
            }
            return false;
        });
        PumpFor(150);
    }

    // Clicks the middle of the first element the selector finds (scrolled into its list first), with the
    // real mouse, where the next frame shows it (a list may scroll at its next frame). False when the
    // element is missing or has no size (hidden). Returns once the page has handled the button's
    // release (and so the click): the mouse and the probes reach the page on separate roads.
    bool Click(View& v, const std::string& selector) {
        Json r = Eval(v, "new Promise(function (done) { requestAnimationFrame(function () { var e = document.querySelector(" +
                             Json(selector).dump() + "); if (!e) return done(null); e.scrollIntoView({block: 'nearest'}); "
                             "var b = e.getBoundingClientRect(); "
                             "if (window.bzTestUps === undefined) { window.bzTestUps = 0; "
                             "window.addEventListener('mouseup', function () { window.bzTestUps++; }, true); } "
                             "done(b.width > 0 && b.height > 0 ? [b.left + b.width / 2, b.top + b.height / 2, window.bzTestUps] : null); }); })");
        if (!r.is_array()) return false;
        int x = static_cast<int>(r[0].get<double>()), y = static_cast<int>(r[1].get<double>());
        const int ups = r[2].get<int>();
        RefPtr<WebBrowserHost> host = v.browser->GetHost();
        host->SendMouseMoveEvent(MouseEvent{x, y, 0}, false);
        host->SendMouseClickEvent(MouseEvent{x, y, 0}, MBT_LEFT, false, 1);
        host->SendMouseClickEvent(MouseEvent{x, y, 0}, MBT_LEFT, true, 1);
        // A click that leaves the page (or one the page swallows) is not waited for past a few seconds.
        PumpUntil([&] {
            const Json now = Eval(v, "window.bzTestUps");
            return !now.is_number() || now.get<int>() > ups;
        }, 5000);
        PumpFor(60);
        return true;
    }

    static void Key(View& v, int code, char16_t ch = 0, uint32_t mods = 0) {
        KeyEvent e;
        e.windowsKeyCode = code;
        e.nativeKeyCode = code;
        e.modifiers = mods;
        e.character = ch;
        e.unmodifiedCharacter = ch;
        e.type = KEYEVENT_RAWKEYDOWN;
        v.browser->GetHost()->SendKeyEvent(e);
        if (ch >= 32) {
            e.type = KEYEVENT_CHAR;
            v.browser->GetHost()->SendKeyEvent(e);
        }
        e.type = KEYEVENT_KEYUP;
        v.browser->GetHost()->SendKeyEvent(e);
    }

    static void Type(View& v, const std::u16string& text) {
        for (char16_t c : text) {
            KeyEvent e;
            e.type = KEYEVENT_CHAR;
            e.character = e.unmodifiedCharacter = c;
            e.windowsKeyCode = c;
            v.browser->GetHost()->SendKeyEvent(e);
        }
    }

    // The first request named name since mark, or null.
    static Json Sent(View& v, size_t mark, const std::string& name) {
        for (const Json& r : v.Requests(mark)) {
            if (r.value("requestName", "") == name) return r;
        }
        return Json();
    }

    const MessageRouterConfig config_{"cefQuery", "cefQueryCancel"};
    std::filesystem::path folder_;
    RefPtr<TestApp> app_;
    std::vector<std::unique_ptr<View>> views_;
    int probe_ = 0;
};

}  // namespace pagetest
