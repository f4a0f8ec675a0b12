#include "ui/html_windows.h"

#include "core/archive.h"
#include "core/log.h"
#include "ui/html_app.h"
#include "ui/html_requests.h"

#include <mutex>

using namespace bzweb;

namespace {

constexpr float kTopBoxHeight = 0.059464816f;
constexpr float kTopBoxBottom = 0.94053519f;

const std::array<HtmlWindowInfo, HTML_WINDOW_COUNT> kWindows = {{
    {HtmlWindow::Login, "Login", "res/main-login.html", {1, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
    {HtmlWindow::Lobby, "Lobby", "res/lobby.html", {1, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
    {HtmlWindow::StartMatch, "StartMatch", "res/start-match.html", {0, 620, 0, 306, 0, 0.5f, -310, 0.5f, -153, 0.5f}},
    {HtmlWindow::CoinToss, "CoinToss", "res/coin-toss-all-in-one.html", {0, 350, 0, 380, 0, 0.5f, -175, 0.5f, -190, 0.5f}},
    {HtmlWindow::BottomBox, "BottomBox", "res/bottom-box-all-in-one.html", {1, 0, 0, 280, 0, 0, 0, 0, -280, 1}},
    {HtmlWindow::TopBox, "TopBox", "res/top-box.html", {1, 0, kTopBoxHeight, 0, 0, 0, 0, kTopBoxBottom, 0, 0}},
    {HtmlWindow::GameSettings, "GameSettings", "res/game-settings-all-in-one.html", {0, 600, 0, 550, 0, 0.5f, -300, 0.5f, -275, 0}},
    {HtmlWindow::BioTut, "BioTut", "res/bio-tut.html", {0, 980, 0, 630, 0, 0.5f, -490, 0.5f, -315, 0}},
    {HtmlWindow::People, "People", "res/people.html", {0, 432, 0, 542, 0, 0.5f, -216, 0.5f, -271, 0}},
    {HtmlWindow::Invites, "Invites", "res/invitations.html", {0, 370, 0, 500, 0, 0.5f, -185, 0.5f, -250, 0}},
    {HtmlWindow::Tasks, "Tasks", "res/tasks.html", {0, 440, 0, 600, 0, 0.5f, -220, 0.5f, -300, 0}},
    {HtmlWindow::MatchStats, "MatchStats", "res/match-stats.html", {0, 600, 0, 550, 0, 0.5f, -300, 0.5f, -275, 0}},
    {HtmlWindow::CueStore, "CueStore", "res/cuestore.html", {0, 980, 0, 630, 0, 0.5f, -490, 0.5f, -315, 0}},
    {HtmlWindow::Alerts, "Alerts", "res/alerts.html", {0, 440, 0, 490, 0, 0.5f, -220, 0.5f, -245, 0}},
    {HtmlWindow::Replays, "Replays", "res/replays.html", {0, 980, 0, 630, 0, 0.5f, -490, 0.5f, -315, 0}},
}};

struct WindowSlot {
    RefPtr<WebBrowser> browser;
    RefPtr<HtmlRenderHandler> render;
    bool shown = true;  // a new browser is visible
};

// Written on the main thread at creation and destruction; the statement sink reads the browsers
// from any thread, under the lock. Never destroyed: a thread may still run a statement while the
// process exits.
struct Windows {
    std::mutex mutex;
    std::array<WindowSlot, HTML_WINDOW_COUNT> slots;
};
Windows& windows() {
    static Windows* all = new Windows;
    return *all;
}

int indexOf(HtmlWindow window) {
    const int i = static_cast<int>(window);
    return i >= 0 && i < HTML_WINDOW_COUNT ? i : -1;
}

// Statements go to the window's main frame; the engine queues them to its next pump in call order.
class HtmlPageScriptSink : public PageScriptSink {
public:
    void runJavaScript(HtmlWindow window, const std::string& statement) override {
        RefPtr<WebBrowser> browser = htmlBrowser(window);
        if (!browser) return;
        RefPtr<WebFrame> frame = browser->GetMainFrame();
        frame->ExecuteJavaScript(statement, frame->GetURL(), 0);
    }

    void sendInput(HtmlWindow window, PageInput input) override {
        RefPtr<WebBrowser> browser = htmlBrowser(window);
        if (!browser) return;
        switch (input) {
            case PageInput::Paste: {
                KeyEvent key;
                key.modifiers = EVENTFLAG_CONTROL_DOWN;
                key.windowsKeyCode = 86;
                key.nativeKeyCode = 86;
                key.character = u'v';
                key.unmodifiedCharacter = u'v';
                for (KeyEventType type : {KEYEVENT_KEYDOWN, KEYEVENT_KEYUP}) {
                    key.type = type;
                    browser->GetHost()->SendKeyEvent(key);
                }
                break;
            }
            case PageInput::PointerReset:
                browser->GetHost()->SendMouseMoveEvent(MouseEvent{}, false);
                break;
        }
    }
};

HtmlPageScriptSink gSink;

void setShown(WindowSlot& slot, bool shown) {
    if (!slot.browser || slot.shown == shown) return;
    slot.shown = shown;
    slot.browser->GetHost()->WasHidden(!shown);
    if (shown) slot.browser->GetHost()->Invalidate(PET_VIEW);
}

}  // namespace

const std::array<HtmlWindowInfo, HTML_WINDOW_COUNT>& htmlWindowTable() { return kWindows; }

const HtmlWindowInfo& htmlWindowInfo(HtmlWindow window) {
    const int i = indexOf(window);
    return kWindows[i < 0 ? 0 : i];
}

bool createHtmlWindow(HtmlWindow window, const std::string& basePath, int windowWidth, int windowHeight,
                      int bottomAreaHeight) {
    const int i = indexOf(window);
    if (i < 0) return false;
    RefPtr<HtmlRenderHandler> render(
        new HtmlRenderHandler(windowWidth, windowHeight, bottomAreaHeight, kWindows[i].layout));
    RefPtr<HtmlClient> client(new HtmlClient(render, htmlRouterConfig()));
    WindowInfo info;
    info.SetAsWindowless(0);
    RefPtr<WebBrowser> browser = WebBrowserHost::CreateBrowserSync(info, client, "file://" + basePath + kBootstrapPage,
                                                                   BrowserSettings{60});
    if (!browser) {
        BZ_LOG(LOG_ERROR, "createHtmlWindow", "no browser for " << kWindows[i].name);
        return false;
    }
    std::lock_guard<std::mutex> lock(windows().mutex);
    windows().slots[i] = WindowSlot{browser, render, true};
    return true;
}

int createHtmlWindows(const std::string& basePath, int bottomAreaHeight, int64_t nowMs) {
    int created = 0;
    std::vector<PendingHtml> pages;
    for (const HtmlWindowInfo& info : kWindows) {
        if (!createHtmlWindow(info.window, basePath, 1024, 647, bottomAreaHeight)) continue;
        ++created;
        BZFile file(info.page);
        const char* data = nullptr;
        const uint64_t length = file.isOpen() ? file.data(&data) : ~uint64_t(0);
        if (length == ~uint64_t(0)) {
            // Waiting for a page that cannot come would stop every page after it.
            BZ_LOG(LOG_ERROR, "createHtmlWindows", "page " << info.page << " of " << info.name
                                                         << " is not in the archive; the window stays blank");
            continue;
        }
        pages.push_back(PendingHtml{info.name, htmlBrowser(info.window), std::string(data, size_t(length)),
                                    "file://" + basePath + info.page});
    }
    installHtmlPageScriptSink();
    getHtmlRequests().queuePages(std::move(pages), nowMs);
    return created;
}

void installHtmlPageScriptSink() { setPageScriptSink(&gSink); }

void destroyHtmlWindows() {
    PageScriptSink* previous = setPageScriptSink(nullptr);
    if (previous != &gSink) setPageScriptSink(previous);
    std::array<WindowSlot, HTML_WINDOW_COUNT> old;
    {
        std::lock_guard<std::mutex> lock(windows().mutex);
        old.swap(windows().slots);
    }
    for (WindowSlot& slot : old) {
        if (slot.browser) slot.browser->GetHost()->CloseBrowser(true);
    }
}

RefPtr<WebBrowser> htmlBrowser(HtmlWindow window) {
    const int i = indexOf(window);
    if (i < 0) return nullptr;
    std::lock_guard<std::mutex> lock(windows().mutex);
    return windows().slots[i].browser;
}

RefPtr<HtmlRenderHandler> htmlRenderHandler(HtmlWindow window) {
    const int i = indexOf(window);
    if (i < 0) return nullptr;
    std::lock_guard<std::mutex> lock(windows().mutex);
    return windows().slots[i].render;
}

void showOnlyHtmlWindows(const std::vector<HtmlWindow>& shown) {
    std::array<bool, HTML_WINDOW_COUNT> wanted{};
    for (HtmlWindow window : shown) {
        if (indexOf(window) >= 0) wanted[indexOf(window)] = true;
    }
    for (int i = 0; i < HTML_WINDOW_COUNT; ++i) setShown(windows().slots[i], wanted[i]);
}

void drawHtmlOverlays(const std::vector<HtmlWindow>& order, const std::vector<HtmlWindow>& upcoming) {
    if (upcoming.empty()) {
        showOnlyHtmlWindows(order);
    } else {
        std::vector<HtmlWindow> shown = order;
        shown.insert(shown.end(), upcoming.begin(), upcoming.end());
        showOnlyHtmlWindows(shown);
    }
    for (HtmlWindow window : order) {
        const int i = indexOf(window);
        if (i >= 0 && windows().slots[i].render) windows().slots[i].render->render();
    }
}

OverlayPicture htmlOverlayPicture(const std::vector<HtmlWindow>& order) {
    std::vector<const HtmlRenderHandler*> handlers;
    for (HtmlWindow window : order) {
        const int i = indexOf(window);
        if (i >= 0) handlers.push_back(windows().slots[i].render.get());
    }
    return overlayPicture(handlers);
}

void refreshHtmlWindow(HtmlWindow window) {
    const int i = indexOf(window);
    if (i < 0 || !windows().slots[i].browser) return;
    windows().slots[i].shown = true;
    windows().slots[i].browser->GetHost()->WasHidden(false);
    windows().slots[i].browser->GetHost()->Invalidate(PET_VIEW);
}

bool htmlWindowShown(HtmlWindow window) {
    const int i = indexOf(window);
    return i >= 0 && windows().slots[i].browser && windows().slots[i].shown;
}

void resizeHtmlWindow(HtmlWindow window, int windowWidth, int windowHeight, int bottomAreaHeight) {
    const int i = indexOf(window);
    if (i < 0 || !windows().slots[i].render) return;
    const OverlayRect before = windows().slots[i].render->rect();
    windows().slots[i].render->resize(windowWidth, windowHeight, bottomAreaHeight);
    const OverlayRect after = windows().slots[i].render->rect();
    if (windows().slots[i].browser && (before.width != after.width || before.height != after.height)) {
        windows().slots[i].browser->GetHost()->WasResized();
    }
}

void resizeHtmlWindows(int windowWidth, int windowHeight, int bottomAreaHeight) {
    // Every rectangle first, then every browser in creation order: a page that asks for its view
    // while the others are told finds the new size already.
    for (const WindowSlot& slot : windows().slots) {
        if (slot.render) slot.render->resize(windowWidth, windowHeight, bottomAreaHeight);
    }
    for (const WindowSlot& slot : windows().slots) {
        if (slot.browser) slot.browser->GetHost()->WasResized();
    }
}

bool isMouseOverHtmlWindow(HtmlWindow window, int px, int py) {
    RefPtr<HtmlRenderHandler> render = htmlRenderHandler(window);
    return render && render->isMouseOver(px, py);
}
