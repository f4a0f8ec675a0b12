// The layer against the real headless browser. Each test starts its own browser under a fresh profile
// in a temporary folder and stops it; every wait has its own deadline.
#include "ui/engine/backend.h"
#include "ui/engine/chromium_backend.h"
#include "support/captured_log.h"
#include "web_test_support.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;
using namespace webtest;

namespace {

const MessageRouterConfig kConfig{"cefQuery", "cefQueryCancel"};

bool ProcessGroupAlive(pid_t pgid) { return kill(-pgid, 0) == 0; }

class ChromiumEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(access("/usr/bin/chromium", X_OK), 0) << "chromium is not installed (Debian package chromium)";
        folder_ = fs::temp_directory_path() / ("bzweb-test-" + std::to_string(getpid()) + "-" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }

    void TearDown() override {
        Shutdown();
        std::error_code ec;
        if (!folder_.empty()) fs::remove_all(folder_, ec);
    }

    bool Start(WebSettings settings = {}) {
        settings.cachePath = folder_.string();
        // Lets a run try the other browser binary (the full chromium in its new headless mode).
        if (const char* browser = std::getenv("BZWEB_TEST_BROWSER")) settings.browserPath = browser;
        app_ = RefPtr<TestApp>(new TestApp(kConfig));
        std::string error;
        bool ok = Initialize(MainArgs{}, settings, app_, &error);
        EXPECT_TRUE(ok) << error;
        return ok;
    }

    struct Page {
        RefPtr<TestRenderHandler> render;
        RefPtr<TestClient> client;
        RefPtr<WebBrowser> browser;
    };

    Page Open(int w, int h) {
        Page p;
        p.render = RefPtr<TestRenderHandler>(new TestRenderHandler(w, h));
        p.client = RefPtr<TestClient>(new TestClient(p.render, kConfig));
        p.browser = WebBrowserHost::CreateBrowserSync(WindowInfo{}, p.client, "", BrowserSettings{60});
        EXPECT_TRUE(p.browser);
        return p;
    }

    // The profile folder that the engine made under our folder.
    int ProfileFolders() const {
        int n = 0;
        for (const auto& e : fs::directory_iterator(folder_)) n += e.path().filename().string().rfind("bzweb-", 0) == 0;
        return n;
    }

    fs::path folder_;
    RefPtr<TestApp> app_;
};

const char* kBoxPage = R"(<!DOCTYPE html><html><head><style>
html, body { margin: 0; background: transparent; }
#box { position: absolute; left: 20px; top: 30px; width: 60px; height: 40px; background: rgb(255, 0, 0); }
#glass { position: absolute; left: 120px; top: 30px; width: 40px; height: 40px; background: rgba(200, 100, 50, 0.5); }
</style></head><body><div id="box"></div><div id="glass"></div><script>
window.addEventListener('load', function () {
  cefQuery({request: '{"requestName":"hello","n":1}', persistent: false,
            onSuccess: function (r) { cefQuery({request: 'reply:' + r}); },
            onFailure: function (c, m) { cefQuery({request: 'failed:' + c}); }});
});
</script></body></html>)";

const char* kOtherPage = R"(<!DOCTYPE html><html><body style="background: transparent">
<script>cefQuery({request: 'from-b'});</script></body></html>)";

TEST_F(ChromiumEngineTest, PaintsAnswersQueriesRunsStatementsAndResizes) {
    ASSERT_TRUE(Start());
    Page a = Open(320, 200);
    Page b = Open(200, 100);
    a.browser->GetMainFrame()->LoadString(kBoxPage, "file:///nonexistent/res/box.html");
    b.browser->GetMainFrame()->LoadString(kOtherPage, "file:///nonexistent/res/other.html");

    // Each query reaches its own browser's handler only, with the exact text, and the page's
    // onSuccess receives the answer.
    ASSERT_TRUE(PumpUntil([&] { return a.client->handler->HasRequest("reply:{\"result\":0}") && b.client->handler->HasRequest("from-b"); }));
    ASSERT_EQ(a.client->handler->queries.size(), 2u);
    EXPECT_EQ(a.client->handler->queries[0].request, "{\"requestName\":\"hello\",\"n\":1}");
    EXPECT_EQ(a.client->handler->queries[0].browserId, a.browser->GetIdentifier());
    EXPECT_FALSE(a.client->handler->queries[0].persistent);
    ASSERT_EQ(b.client->handler->queries.size(), 1u);
    EXPECT_EQ(b.client->handler->queries[0].browserId, b.browser->GetIdentifier());
    EXPECT_EQ(a.browser->GetMainFrame()->GetURL(), "file:///nonexistent/res/box.html");

    // Transparent where nothing is drawn, the box's colour inside it, straight alpha in the glass.
    ASSERT_TRUE(PumpUntil([&] { return a.render->paints > 0 && a.render->Pixel(30, 40)[3] == 255; }));
    EXPECT_EQ(a.render->paintWidth, 320);
    EXPECT_EQ(a.render->paintHeight, 200);
    EXPECT_EQ(a.render->lastType, PET_VIEW);
    EXPECT_EQ(a.render->Pixel(5, 5), (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(a.render->Pixel(300, 190), (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(a.render->Pixel(30, 40), (std::array<int, 4>{0, 0, 255, 255}));
    EXPECT_EQ(a.render->Pixel(79, 69), (std::array<int, 4>{0, 0, 255, 255}));
    auto glass = a.render->Pixel(140, 50);
    EXPECT_NEAR(glass[0], 50, 3);
    EXPECT_NEAR(glass[1], 100, 3);
    EXPECT_NEAR(glass[2], 200, 3);
    EXPECT_NEAR(glass[3], 128, 1);

    // A statement queued from another thread changes the page, and a new paint follows.
    int paintsBefore = a.render->paints;
    RefPtr<WebFrame> frame = a.browser->GetMainFrame();
    std::thread other([frame] {
        frame->ExecuteJavaScript("document.getElementById('box').style.background = 'rgb(0, 0, 255)';"
                                 "cefQuery({request: 'changed'});",
                                 frame->GetURL(), 0);
    });
    other.join();
    ASSERT_TRUE(PumpUntil([&] { return a.render->paints > paintsBefore && a.render->Pixel(30, 40)[0] == 255; }));
    EXPECT_EQ(a.render->Pixel(30, 40), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_TRUE(a.client->handler->HasRequest("changed"));
    EXPECT_FALSE(b.client->handler->HasRequest("changed"));

    // From the main thread a statement reaches the browser at once, and its new pixels reach the
    // handler from the decoders without a pump.
    paintsBefore = a.render->paints;
    frame->ExecuteJavaScript("document.getElementById('box').style.background = 'rgb(0, 0, 254)';", "", 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (a.render->Pixel(30, 40)[0] != 254 && std::chrono::steady_clock::now() < deadline) {
        TakePagePaints();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(a.render->Pixel(30, 40), (std::array<int, 4>{254, 0, 0, 255}));
    frame->ExecuteJavaScript("document.getElementById('box').style.background = 'rgb(0, 0, 255)';", "", 0);
    ASSERT_TRUE(PumpUntil([&] { return a.render->Pixel(30, 40)[0] == 255; }));

    // A statement that throws is only logged; the page goes on.
    frame->ExecuteJavaScript("throw new Error('on purpose');", "", 0);
    frame->ExecuteJavaScript("cefQuery({request: 'still-alive'});", "", 0);
    ASSERT_TRUE(PumpUntil([&] { return a.client->handler->HasRequest("still-alive"); }));

    // A resize repaints at the new size.
    a.render->width = 400;
    a.render->height = 250;
    a.browser->GetHost()->WasResized();
    // Under load a frame at the new size can come before the repainted one: the page's colour follows.
    ASSERT_TRUE(PumpUntil([&] {
        return a.render->paintWidth == 400 && a.render->paintHeight == 250 &&
               a.render->Pixel(30, 40) == std::array<int, 4>{255, 0, 0, 255};
    })) << a.render->paintWidth << "x" << a.render->paintHeight << " after " << a.render->paints;

    // Invalidate paints an unchanged page again; a hidden page does not paint until shown.
    paintsBefore = a.render->paints;
    a.browser->GetHost()->Invalidate(PET_VIEW);
    ASSERT_TRUE(PumpUntil([&] { return a.render->paints > paintsBefore; }));
    a.browser->GetHost()->WasHidden(true);
    PumpFor(100);
    paintsBefore = a.render->paints;
    frame->ExecuteJavaScript("document.getElementById('box').style.background = 'rgb(0, 255, 0)';", "", 0);
    PumpFor(300);
    EXPECT_EQ(a.render->paints, paintsBefore);
    a.browser->GetHost()->WasHidden(false);
    ASSERT_TRUE(PumpUntil([&] { return a.render->paints > paintsBefore && a.render->Pixel(30, 40)[1] == 255; }));

    pid_t pid = CurrentBackend()->ProcessId();
    ASSERT_GT(pid, 0);
    EXPECT_EQ(ProfileFolders(), 1);
    Shutdown();
    EXPECT_EQ(a.client->closed, 1);
    EXPECT_EQ(b.client->closed, 1);
    // The helpers, killed with the group, are collected by the system a moment later.
    EXPECT_TRUE(PumpUntil([&] { return !ProcessGroupAlive(pid); }, 5000));
    EXPECT_EQ(ProfileFolders(), 0);
}

const char* kInputPage = R"(<!DOCTYPE html><html><head><style>
body { margin: 0; }
#button { position: absolute; left: 10px; top: 10px; width: 100px; height: 40px; }
#field { position: absolute; left: 10px; top: 80px; width: 200px; height: 30px; }
#scroller { position: absolute; left: 250px; top: 10px; width: 100px; height: 100px; }
</style></head><body>
<button id="button">Press</button><input id="field" type="text"><div id="scroller"></div>
<script>
function tell(text) { cefQuery({request: text}); }
document.getElementById('button').addEventListener('click', function (e) { tell('click:' + e.clientX + ',' + e.clientY); });
var field = document.getElementById('field');
field.addEventListener('input', function () { tell('value:' + field.value); });
field.addEventListener('keydown', function (e) { tell('keydown:' + e.key + ':' + e.keyCode + ':' + e.shiftKey); });
document.getElementById('scroller').addEventListener('wheel', function (e) { tell('wheel:' + e.deltaY); });
document.addEventListener('mousemove', function (e) { window.lastMove = e.clientX + ',' + e.clientY; });
document.addEventListener('mousedown', function (e) { if (e.button === 2) tell('right:' + window.lastMove); });
</script></body></html>)";

KeyEvent MakeKey(KeyEventType type, int code, char16_t ch, uint32_t mods) {
    KeyEvent e;
    e.type = type;
    e.windowsKeyCode = code;
    e.nativeKeyCode = code;
    e.character = ch;
    e.unmodifiedCharacter = ch;
    e.modifiers = mods;
    return e;
}

TEST_F(ChromiumEngineTest, ClicksKeysTextPasteAndWheelArriveAsThePageExpects) {
    WebSettings settings;
    settings.clipboardText = [] { return std::string(" pasted"); };
    ASSERT_TRUE(Start(settings));
    Page p = Open(400, 200);
    p.browser->GetMainFrame()->LoadString(kInputPage, "file:///nonexistent/res/input.html");
    ASSERT_TRUE(PumpUntil([&] { return p.render->paints > 0 && p.client->created == 1; }));
    PumpFor(200);
    RefPtr<WebBrowserHost> host = p.browser->GetHost();
    TestQueryHandler& h = *p.client->handler;

    // A click on the button.
    host->SendMouseMoveEvent(MouseEvent{40, 25, 0}, false);
    host->SendMouseClickEvent(MouseEvent{40, 25, 0}, MBT_LEFT, false, 1);
    host->SendMouseClickEvent(MouseEvent{40, 25, 0}, MBT_LEFT, true, 1);
    ASSERT_TRUE(PumpUntil([&] { return h.HasRequest("click:40,25"); }));

    // Focus the field, type Shift+h and i as key down, char and key up, then text input in and
    // beyond the basic plane (a surrogate pair), then Backspace.
    host->SendMouseClickEvent(MouseEvent{50, 95, 0}, MBT_LEFT, false, 1);
    host->SendMouseClickEvent(MouseEvent{50, 95, 0}, MBT_LEFT, true, 1);
    host->SendKeyEvent(MakeKey(KEYEVENT_KEYDOWN, 'H', u'H', EVENTFLAG_SHIFT_DOWN));
    host->SendKeyEvent(MakeKey(KEYEVENT_CHAR, 'H', u'H', EVENTFLAG_SHIFT_DOWN));
    host->SendKeyEvent(MakeKey(KEYEVENT_KEYUP, 'H', u'H', EVENTFLAG_SHIFT_DOWN));
    host->SendKeyEvent(MakeKey(KEYEVENT_KEYDOWN, 'I', u'i', 0));
    host->SendKeyEvent(MakeKey(KEYEVENT_CHAR, 'I', u'i', 0));
    host->SendKeyEvent(MakeKey(KEYEVENT_KEYUP, 'I', u'i', 0));
    for (char16_t u : std::u16string(u"\u00e9\u2713\U0001F600")) host->SendKeyEvent(MakeKey(KEYEVENT_CHAR, u, u, 0));
    ASSERT_TRUE(PumpUntil([&] { return h.HasRequest("value:Hi\u00e9\u2713\U0001F600"); }));
    EXPECT_TRUE(h.HasRequest("keydown:H:72:true"));
    EXPECT_TRUE(h.HasRequest("keydown:i:73:false"));
    host->SendKeyEvent(MakeKey(KEYEVENT_KEYDOWN, 8, 0xFFFF, 0));
    host->SendKeyEvent(MakeKey(KEYEVENT_KEYUP, 8, 0xFFFF, 0));
    ASSERT_TRUE(PumpUntil([&] { return h.Last() == "value:Hi\u00e9\u2713"; })) << h.Last();
    EXPECT_TRUE(h.HasRequest("keydown:Backspace:8:false"));

    // Ctrl+V as the paste buttons send it: the clipboard's text goes into the field.
    host->SendKeyEvent(MakeKey(KEYEVENT_KEYDOWN, 86, u'v', EVENTFLAG_CONTROL_DOWN));
    host->SendKeyEvent(MakeKey(KEYEVENT_KEYUP, 86, u'v', EVENTFLAG_CONTROL_DOWN));
    ASSERT_TRUE(PumpUntil([&] { return h.HasRequest("value:Hi\u00e9\u2713 pasted"); })) << h.Last();

    // One wheel notch away from the user scrolls up: a negative deltaY in the page.
    host->SendMouseMoveEvent(MouseEvent{300, 50, 0}, false);
    host->SendMouseWheelEvent(MouseEvent{300, 50, 0}, 0, 60);
    ASSERT_TRUE(PumpUntil([&] { return h.HasRequest("wheel:-60"); }));

    // Moves are coalesced, the last one counts; a right click the page leaves alone asks for a menu.
    for (int x = 100; x <= 150; x += 10) host->SendMouseMoveEvent(MouseEvent{x, 150, 0}, false);
    host->SendMouseClickEvent(MouseEvent{150, 150, 0}, MBT_RIGHT, false, 1);
    host->SendMouseClickEvent(MouseEvent{150, 150, 0}, MBT_RIGHT, true, 1);
    ASSERT_TRUE(PumpUntil([&] { return h.HasRequest("right:150,150") && p.client->menus == 1; }));
}

TEST_F(ChromiumEngineTest, AKilledBrowserIsReportedAndTheClientGoesOn) {
    ASSERT_TRUE(Start());
    Page a = Open(100, 100);
    Page b = Open(100, 100);
    a.browser->GetMainFrame()->LoadString("<html><body><script>cefQuery({request:'up'});</script></body></html>",
                                          "file:///nonexistent/a.html");
    ASSERT_TRUE(PumpUntil([&] { return a.client->handler->HasRequest("up"); }));

    pid_t pid = CurrentBackend()->ProcessId();
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    ASSERT_TRUE(PumpUntil([&] { return !a.client->terminated.empty() && !b.client->terminated.empty(); }));
    EXPECT_EQ(a.client->terminated[0], TerminationStatus::Killed);
    EXPECT_EQ(b.client->terminated.size(), 1u);
    // Its helper processes go too.
    EXPECT_TRUE(PumpUntil([&] { return !ProcessGroupAlive(pid); }, 5000));

    // Later requests are dropped without harm.
    a.browser->GetMainFrame()->ExecuteJavaScript("cefQuery({request:'never'});", "", 0);
    a.browser->GetHost()->WasResized();
    a.browser->GetHost()->SendMouseClickEvent(MouseEvent{1, 1, 0}, MBT_LEFT, false, 1);
    PumpFor(50);
    EXPECT_FALSE(a.client->handler->HasRequest("never"));
    auto start = std::chrono::steady_clock::now();
    Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(ProfileFolders(), 0);
}

TEST(ChromiumEngineStartTest, AChildThatCannotStartFailsInitialisationWithAReason) {
    fs::path folder = fs::temp_directory_path() / ("bzweb-start-" + std::to_string(getpid()));
    fs::create_directories(folder);
    RefPtr<WebApp> app(new WebApp);
    std::string error;

    WebSettings missing;
    missing.cachePath = folder.string();
    missing.browserPath = (folder / "no-such-browser").string();
    EXPECT_FALSE(Initialize(MainArgs{}, missing, app, &error));
    EXPECT_NE(error.find("no-such-browser"), std::string::npos) << error;
    EXPECT_FALSE(IsInitialized());

    // A child that ends at once.
    WebSettings failing = missing;
    failing.browserPath = "/bin/false";
    error.clear();
    EXPECT_FALSE(Initialize(MainArgs{}, failing, app, &error));
    EXPECT_NE(error.find("ended at start (exit status 1)"), std::string::npos) << error;

    // A child that never answers is given up after the start time-out and ended.
    fs::path script = folder / "silent.sh";
    std::ofstream(script) << "#!/bin/sh\nexec sleep 30\n";
    fs::permissions(script, fs::perms::owner_all);
    WebSettings silent = missing;
    silent.browserPath = script.string();
    silent.startTimeoutMs = 300;
    error.clear();
    EXPECT_FALSE(Initialize(MainArgs{}, silent, app, &error));
    EXPECT_NE(error.find("did not answer within 300 ms"), std::string::npos) << error;
    EXPECT_FALSE(IsInitialized());

    // No profile folder is left behind by any of them.
    int left = 0;
    for (const auto& e : fs::directory_iterator(folder)) left += e.path().filename().string().rfind("bzweb-", 0) == 0;
    EXPECT_EQ(left, 0);
    fs::remove_all(folder);
}

TEST(ChromiumEngineStartTest, TheBrowserKeepsItsSandboxUnlessItCannotHaveItAndSaysSoOnce) {
    struct Case {
        unsigned uid;
        const char* usernsClone;
        const char* maxNamespaces;
        bool sandboxed;
    } cases[] = {
        {1000, "", "63000\n", true},      // a Debian kernel without the switch
        {1000, "1\n", "63000\n", true},
        {1000, "0\n", "63000\n", false},  // unprivileged namespaces switched off
        {1000, "1\n", "0\n", false},
        {0, "1\n", "63000\n", false},      // the sandbox refuses root
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SandboxlessReason(c.uid, c.usernsClone, c.maxNamespaces).empty(), c.sandboxed)
            << c.uid << " " << c.usernsClone << " " << c.maxNamespaces;
    }

    // What the real start passes, seen through a stand-in that writes its arguments and ends.
    bztest::CapturedLog log("bzsandbox");
    fs::path folder = log.dir();
    fs::path script = folder / "args.sh";
    std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done >> " << (folder / "args.txt").string() << "\nexit 1\n";
    fs::permissions(script, fs::perms::owner_all);
    RefPtr<WebApp> app(new WebApp);
    WebSettings settings;
    settings.cachePath = folder.string();
    settings.browserPath = script.string();
    std::string error;
    for (int i = 0; i < 2; ++i) EXPECT_FALSE(Initialize(MainArgs{}, settings, app, &error));
    std::ifstream in(folder / "args.txt");
    int withoutSandbox = 0;
    for (std::string line; std::getline(in, line);) withoutSandbox += line == "--no-sandbox";
    const bool root = geteuid() == 0;
    if (root) {
        EXPECT_EQ(withoutSandbox, 2);
    }
    EXPECT_LE(log.count("the browser runs without its sandbox"), 1);
    if (!root && SandboxlessReason(geteuid(), "", "1").empty()) {
        EXPECT_EQ(withoutSandbox, 0);
    }
}

// Stand-in browsers on the pipe: the common part reads the commands, gives each to the script's
// own branches (an if/elsif chain on $method) and answers any other with an empty result.
const char* kStandInHead = R"PL(#!/usr/bin/perl
use strict;
open(my $in, "<&=3") or exit 1;
open(my $out, ">&=4") or exit 1;
binmode $in; binmode $out;
select($out); $| = 1;
$/ = "\0";
sub send_all { print $out join("\0", @_) . "\0"; }
my $S = '"sessionId":"S1"';
my $created = 0;
my $closed = 'open';
while (my $m = <$in>) {
  chomp $m;
  my ($id) = $m =~ /^\{"id":(\d+)/;
  my ($method) = $m =~ /"method":"([^"]+)"/;
  next unless defined $id;
  )PL";
const char* kStandInTail = R"PL( else {
    send_all(qq({"id":$id,"result":{}}));
  }
}
)PL";

std::string StandInScript(const std::string& branches) { return kStandInHead + branches + kStandInTail; }

// A stand-in that names itself at start-up and then runs the given further branches.
std::string StandInBrowser(const std::string& branches) {
    return StandInScript(R"PL(if ($method eq 'Browser.getVersion') {
    send_all(qq({"id":$id,"result":{"product":"stand-in"}}));
  } )PL" + branches);
}

struct StandInRun {
    explicit StandInRun(const std::string& script) {
        folder = fs::temp_directory_path() / ("bzweb-standin-" + std::to_string(getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::path path = folder / "browser.pl";
        std::ofstream(path) << script;
        fs::permissions(path, fs::perms::owner_all);
        settings.cachePath = folder.string();
        settings.browserPath = path.string();
        settings.startTimeoutMs = 5000;
    }
    ~StandInRun() {
        Shutdown();
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    struct View {
        RefPtr<TestRenderHandler> render;
        RefPtr<TestClient> client;
        RefPtr<WebBrowser> browser;
    };
    View Open(const std::string& url = "") {
        View p;
        p.render = RefPtr<TestRenderHandler>(new TestRenderHandler(100, 100));
        p.client = RefPtr<TestClient>(new TestClient(p.render, kConfig));
        p.browser = WebBrowserHost::CreateBrowserSync(WindowInfo{}, p.client, url, BrowserSettings{60});
        EXPECT_TRUE(p.browser);
        return p;
    }
    fs::path folder;
    WebSettings settings;
    RefPtr<TestApp> app{new TestApp(kConfig)};
};

// Answers every command, then sends replies and events of the wrong shape (numbers for texts,
// arrays for objects); none of them may take the client down.
const char* kHostileBranches = R"PL(if ($method eq 'Browser.getVersion') {
    send_all(qq({"id":$id,"result":{"product":5}}), '[1,2]', '"text"', '{"id":"x"}', '{"id":99999,"result":1}',
             '{"method":5}', '{"method":"Target.detachedFromTarget","params":3}',
             '{"method":"Target.detachedFromTarget","params":{"sessionId":7}}');
  } elsif ($method eq 'Target.createTarget') {
    send_all(qq({"id":$id,"result":{"targetId":"T1"}}));
  } elsif ($method eq 'Target.attachToTarget') {
    send_all(qq({"id":$id,"result":{"sessionId":"S1"}}));
  } elsif ($method eq 'Page.enable') {
    send_all(qq({"id":$id,"error":{"message":5}}));
  } elsif ($method eq 'Runtime.enable') {
    send_all(qq({"id":$id,"error":7}));
  } elsif ($method eq 'Page.navigate') {
    send_all(qq({"id":$id,"result":{"errorText":5}}),
      qq({"method":"Runtime.bindingCalled",$S,"params":{"name":5,"payload":[1]}}),
      qq({"method":"Runtime.bindingCalled",$S,"params":{"name":"__bzwebQuery","executionContextId":"x","payload":{}}}),
      qq({"method":"Runtime.bindingCalled",$S,"params":"x"}),
      qq({"method":"Runtime.executionContextCreated",$S,"params":{"context":{"id":"x","auxData":{"isDefault":"yes","frameId":1}}}}),
      qq({"method":"Runtime.executionContextCreated",$S,"params":{"context":5}}),
      qq({"method":"Runtime.executionContextDestroyed",$S,"params":{"executionContextId":"x"}}),
      qq({"method":"Runtime.executionContextsCleared",$S,"params":null}),
      qq({"method":"Page.frameNavigated",$S,"params":{"frame":{"url":5,"urlFragment":[]}}}),
      qq({"method":"Page.frameNavigated",$S,"params":[]}),
      qq({"method":"Page.navigatedWithinDocument",$S,"params":{"frameId":"T1","url":[1]}}),
      qq({"method":"Page.frameRequestedNavigation",$S,"params":{"frameId":"T1","url":{}}}),
      qq({"method":"Page.javascriptDialogOpening",$S,"params":{"type":1,"message":null}}),
      qq({"method":"Fetch.requestPaused",$S,"params":{"requestId":1,"request":"x"}}),
      qq({"method":"Runtime.exceptionThrown",$S,"params":{"exceptionDetails":{"exception":3,"text":4}}}),
      qq({"method":"Runtime.consoleAPICalled",$S,"params":{"args":[1,{"description":2},{"value":null}]}}),
      qq({"method":"Page.screencastFrame","params":{"data":"AAAA","sessionId":"x"},$S}),
      qq({"method":"Page.screencastFrame","params":{"data":"!!","sessionId":1},$S}),
      qq({"method":"Page.loadEventFired",$S,"params":5}),
      qq({"method":"Runtime.bindingCalled",$S,"params":{"name":"__bzwebQuery","executionContextId":3,"payload":"{\\"menu\\":\\"x\\"}"}}),
      qq({"method":"Runtime.bindingCalled",$S,"params":{"name":"__bzwebQuery","executionContextId":3,"payload":"{\\"fn\\":\\"cefQuery\\",\\"id\\":1,\\"request\\":\\"alive\\"}"}}));
  } elsif ($method eq 'Runtime.evaluate') {
    send_all(qq({"id":$id,"result":{"exceptionDetails":{"exception":{"description":5},"text":6}}}));
    if ($m =~ /marker/) {
      send_all(qq({"method":"Runtime.bindingCalled",$S,"params":{"name":"__bzwebQuery","executionContextId":3,"payload":"{\\"fn\\":\\"cefQuery\\",\\"id\\":2,\\"request\\":\\"done\\"}"}}));
    }
  })PL";

TEST(ChromiumEngineStartTest, MessagesOfTheWrongShapeFromTheBrowserAreDroppedWithoutHarm) {
    StandInRun run(StandInScript(kHostileBranches));
    std::string error;
    ASSERT_TRUE(Initialize(MainArgs{}, run.settings, run.app, &error)) << error;
    {
        auto view = run.Open("file:///nonexistent/a.html");
        ASSERT_TRUE(view.browser);
        TestClient& client = *view.client;
        ASSERT_TRUE(PumpUntil([&] { return client.handler->HasRequest("alive"); }, 10000));
        view.browser->GetMainFrame()->ExecuteJavaScript("marker()", "", 0);
        ASSERT_TRUE(PumpUntil([&] { return client.handler->HasRequest("done"); }, 10000));
        EXPECT_EQ(client.handler->queries.size(), 2u);
        EXPECT_EQ(client.menus, 0);
        EXPECT_TRUE(client.terminated.empty());
    }
    Shutdown();
    int left = 0;
    for (const auto& e : fs::directory_iterator(run.folder))
        left += e.path().filename().string().rfind("bzweb-", 0) == 0;
    EXPECT_EQ(left, 0);
}

// The first page cannot be made, the second cannot be reached; the third works.
const char* kFailingTargets = R"PL(elsif ($method eq 'Target.createTarget') {
    $created++;
    if ($created == 1) { send_all(qq({"id":$id,"error":{"message":"no page"}})); }
    else { send_all(qq({"id":$id,"result":{"targetId":"T$created"}})); }
  } elsif ($method eq 'Target.attachToTarget') {
    if ($m =~ /"T2"/) { send_all(qq({"id":$id,"error":{"message":"gone"}})); }
    else { send_all(qq({"id":$id,"result":{"sessionId":"S3"}})); }
  } elsif ($method eq 'Target.closeTarget') {
    $closed = 'closed' if $m =~ /"T2"/;
    send_all(qq({"id":$id,"result":{}}));
  } elsif ($method eq 'Runtime.evaluate') {
    send_all(qq({"id":$id,"result":{}}));
    if ($m =~ /never/) { $closed = 'leaked'; }
    if ($m =~ /marker/) {
      send_all(qq({"method":"Runtime.bindingCalled","sessionId":"S3","params":{"name":"__bzwebQuery","executionContextId":3,"payload":"{\\"fn\\":\\"cefQuery\\",\\"id\\":1,\\"request\\":\\"T2 $closed\\"}"}}));
    }
  })PL";

TEST(ChromiumEngineStartTest, AViewWhosePageCannotBeMadeOrReachedEndsOnceAndDropsWhatItIsAsked) {
    StandInRun run(StandInBrowser(kFailingTargets));
    std::string error;
    ASSERT_TRUE(Initialize(MainArgs{}, run.settings, run.app, &error)) << error;
    auto noPage = run.Open();
    auto unreachable = run.Open();
    auto good = run.Open();
    // Asked before and after the failure: all of it is dropped.
    noPage.browser->GetMainFrame()->ExecuteJavaScript("never()", "", 0);
    unreachable.browser->GetMainFrame()->ExecuteJavaScript("never()", "", 0);
    ASSERT_TRUE(PumpUntil([&] { return !noPage.client->terminated.empty() && !unreachable.client->terminated.empty(); }, 10000));
    for (auto* p : {&noPage, &unreachable}) {
        p->browser->GetMainFrame()->ExecuteJavaScript("never()", "", 0);
        p->browser->GetHost()->SendMouseMoveEvent(MouseEvent{1, 1, 0}, false);
        p->browser->GetHost()->SendMouseClickEvent(MouseEvent{1, 1, 0}, MBT_LEFT, false, 1);
        p->browser->GetHost()->SendKeyEvent(MakeKey(KEYEVENT_CHAR, 'A', u'a', 0));
        p->browser->GetHost()->WasResized();
    }
    // The reachable page answers in order after all of that, and the unreachable one was closed.
    good.browser->GetMainFrame()->ExecuteJavaScript("marker()", "", 0);
    ASSERT_TRUE(PumpUntil([&] { return good.client->handler && !good.client->handler->queries.empty(); }, 10000));
    EXPECT_EQ(good.client->handler->Last(), "T2 closed");
    EXPECT_EQ(noPage.client->terminated, std::vector<TerminationStatus>{TerminationStatus::Crashed});
    EXPECT_EQ(unreachable.client->terminated, std::vector<TerminationStatus>{TerminationStatus::Crashed});
    EXPECT_TRUE(good.client->terminated.empty());
}

// Answers the set-up, then hangs at the first statement and reads no more.
const char* kHangingBrowser = R"PL(elsif ($method eq 'Target.createTarget') {
    send_all(qq({"id":$id,"result":{"targetId":"T1"}}));
  } elsif ($method eq 'Target.attachToTarget') {
    send_all(qq({"id":$id,"result":{"sessionId":"S1"}}));
  } elsif ($method eq 'Runtime.evaluate') {
    sleep 600;
  })PL";

TEST(ChromiumEngineStartTest, ABrowserThatStopsReadingIsStoppedAndReportedOnceItsCommandsPileUp) {
    StandInRun run(StandInBrowser(kHangingBrowser));
    bztest::CapturedLog log("bzweb-hung");
    std::string error;
    ASSERT_TRUE(Initialize(MainArgs{}, run.settings, run.app, &error)) << error;
    pid_t pid = CurrentBackend()->ProcessId();
    ASSERT_GT(pid, 0);
    auto p = run.Open();
    RefPtr<WebFrame> frame = p.browser->GetMainFrame();
    frame->ExecuteJavaScript("stall()", "", 0);
    // Well past the limit on unread commands, whatever the socket itself holds.
    const std::string big = "var s = '" + std::string(size_t(4) << 20, 'x') + "';";
    for (int i = 0; i < 24; ++i) frame->ExecuteJavaScript(big, "", 0);
    ASSERT_TRUE(PumpUntil([&] { return !p.client->terminated.empty(); }));
    EXPECT_EQ(p.client->terminated, std::vector<TerminationStatus>{TerminationStatus::Killed});
    EXPECT_TRUE(PumpUntil([&] { return !ProcessGroupAlive(pid); }, 5000));
    // Later requests are dropped.
    frame->ExecuteJavaScript(big, "", 0);
    PumpFor(50);
    EXPECT_EQ(p.client->terminated.size(), 1u);
    EXPECT_EQ(log.count("taken as hung"), 1) << log.text();
    EXPECT_EQ(log.count("closed its pipe"), 0) << log.text();
}

}  // namespace
