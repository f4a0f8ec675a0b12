#include "ui/engine/web_engine.h"

#include "core/log.h"
#include "ui/engine/backend.h"
#include "ui/engine/chromium_backend.h"
#include "ui/engine/engine_internal.h"
#include "ui/engine/web_browser.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace bzweb {

class WebEngineAccess {
public:
    static RefPtr<WebBrowser> NewBrowser(int id, RefPtr<WebClient> client) {
        return RefPtr<WebBrowser>(new WebBrowser(id, std::move(client)));
    }
    static RefPtr<WebClient> Client(const WebBrowser& b) {
        std::lock_guard<std::mutex> lock(b.mutex_);
        return b.client_;
    }
    static RefPtr<WebClient> TakeClient(WebBrowser& b) {
        std::lock_guard<std::mutex> lock(b.mutex_);
        return std::move(b.client_);
    }
    static void SetUrl(WebFrame& f, const std::string& url) {
        std::lock_guard<std::mutex> lock(f.mutex_);
        f.url_ = url;
    }
};

namespace {

class Engine;
using EngineOp = std::function<void(Engine&)>;

// The running engine and the operations queued for it. The pointer is set and cleared on the main
// thread; other threads only queue operations, under the lock.
std::mutex gMutex;
Engine* gEngine = nullptr;

class Engine final : public BackendEvents {
public:
    Engine(const WebSettings& settings, RefPtr<WebApp> app, std::unique_ptr<Backend> backend)
        : settings_(settings), app_(std::move(app)), backend_(std::move(backend)), mainThread_(std::this_thread::get_id()) {
        if (app_) {
            pumpHandler_ = app_->GetBrowserProcessHandler();
            renderHandler_ = app_->GetRenderProcessHandler();
        }
    }

    bool Start(std::string& error) {
        // The page side comes first, so that the browsers made afterwards get its page functions.
        if (renderHandler_) renderHandler_->OnWebKitInitialized();
        RefPtr<BrowserProcessHandler> handler = pumpHandler_;
        backend_->SetWakeUp([handler] {
            if (handler) handler->OnScheduleMessagePumpWork(0);
        });
        return backend_->Start(error);
    }

    void Stop() {
        std::vector<int> ids;
        for (auto& [id, view] : views_) ids.push_back(id);
        for (int id : ids) CloseView(id);
        backend_->Stop();
    }

    bool OnMainThread() const { return std::this_thread::get_id() == mainThread_; }

    // Called with gMutex held.
    void EnqueueLocked(EngineOp op) { ops_.push_back(std::move(op)); }

    void Pump() {
        ++busy_;
        RunQueued();
        backend_->Poll(*this);
        RunQueued();
        --busy_;
    }

    // Runs what is queued now, unless the engine is already at work further up the stack (the pump,
    // a queued operation, a paint): it takes the new operations in turn.
    void RunQueuedOutsidePump() {
        if (busy_ > 0) return;
        ++busy_;
        RunQueued();
        --busy_;
    }

    // Page pixels decoded since the last pump, handed to their render handlers now.
    void TakePaints() {
        if (busy_ > 0) return;
        ++busy_;
        backend_->PollPaints(*this);
        --busy_;
    }

    RefPtr<WebBrowser> CreateBrowser(RefPtr<WebClient> client, const std::string& url, const BrowserSettings& settings) {
        int id = nextBrowserId_++;
        RefPtr<WebBrowser> browser = WebEngineAccess::NewBrowser(id, client);
        views_[id].browser = browser;
        if (RefPtr<LifeSpanHandler> life = client ? client->GetLifeSpanHandler() : nullptr) life->OnAfterCreated(browser);

        ViewSetup setup;
        Rect rect = ViewRect(*browser);
        setup.width = rect.width;
        setup.height = rect.height;
        if (!url.empty() && !BeforeBrowse(*browser, url)) setup.url = url;
        setup.pageScript = BuildPageScript();
        int rate = std::clamp(settings.windowlessFrameRate, 1, 60);
        setup.everyNthFrame = std::max(1, static_cast<int>(std::lround(60.0 / rate)));
        BZ_LOG(LOG_INFO, "CreateBrowserSync", "browser " << id << " " << setup.width << "x" << setup.height << " " << url);
        backend_->CreateView(id, setup);
        return browser;
    }

    // Runs op for a browser that is still open, during the pump.
    void ForBrowser(int id, const std::function<void(WebBrowser&)>& op) {
        auto it = views_.find(id);
        if (it == views_.end()) return;
        if (!backendAlive_) {
            if (!reportedDeadUse_) {
                BZ_LOG(LOG_ERROR, "WebBrowser", "the browser has ended; requests to its pages are dropped");
                reportedDeadUse_ = true;
            }
            return;
        }
        op(*it->second.browser);
    }

    Backend& backend() { return *backend_; }
    const WebSettings& settings() const { return settings_; }
    bool IsHidden(int id) const {
        auto it = views_.find(id);
        return it != views_.end() && it->second.hidden;
    }
    void SetHidden(int id, bool hidden) {
        auto it = views_.find(id);
        if (it != views_.end()) it->second.hidden = hidden;
    }

    Rect ViewRect(WebBrowser& browser) {
        Rect rect{0, 0, 1, 1};
        RefPtr<WebClient> client = WebEngineAccess::Client(browser);
        if (RefPtr<RenderHandler> render = client ? client->GetRenderHandler() : nullptr) {
            render->GetViewRect(RefPtr<WebBrowser>(&browser), rect);
        }
        rect.width = std::clamp(rect.width, 1, 16384);
        rect.height = std::clamp(rect.height, 1, 16384);
        return rect;
    }

    // The program's own navigations: true when the request handler holds it back.
    bool BeforeBrowse(WebBrowser& browser, const std::string& url) {
        RefPtr<WebClient> client = WebEngineAccess::Client(browser);
        RefPtr<RequestHandler> request = client ? client->GetRequestHandler() : nullptr;
        if (!request) return false;
        bool cancel = request->OnBeforeBrowse(RefPtr<WebBrowser>(&browser), browser.GetMainFrame(), url, false, false);
        if (cancel) BZ_LOG(LOG_INFO, "OnBeforeBrowse", "navigation to " << url << " cancelled");
        return cancel;
    }

    void CloseView(int id) {
        auto it = views_.find(id);
        if (it == views_.end()) return;
        RefPtr<WebBrowser> browser = it->second.browser;
        views_.erase(it);
        backend_->CloseView(id);
        RefPtr<WebClient> client = WebEngineAccess::TakeClient(*browser);
        if (RefPtr<LifeSpanHandler> life = client ? client->GetLifeSpanHandler() : nullptr) life->OnBeforeClose(browser);
    }

    // BackendEvents
    void OnViewPainted(int viewId, const uint8_t* bgra, int width, int height) override {
        WebBrowser* b = Find(viewId);
        if (!b || IsHidden(viewId)) return;
        RefPtr<WebClient> client = WebEngineAccess::Client(*b);
        RefPtr<RenderHandler> render = client ? client->GetRenderHandler() : nullptr;
        if (!render) return;
        std::vector<Rect> dirty{Rect{0, 0, width, height}};
        render->OnPaint(RefPtr<WebBrowser>(b), PET_VIEW, dirty, bgra, width, height);
    }

    void OnBindingCalled(int viewId, int64_t contextId, const std::string& payload) override {
        WebBrowser* b = Find(viewId);
        if (!b) return;
        std::optional<JsonValue> msg = ParseJson(payload);
        if (!msg || !msg->is_object()) {
            BZ_LOG(LOG_ERROR, "OnBindingCalled", "malformed message from page " << viewId);
            return;
        }
        RefPtr<WebClient> client = WebEngineAccess::Client(*b);
        if (!client) return;
        RefPtr<WebBrowser> browser(b);
        // A page can call the binding itself: the menu flag counts only as a real boolean.
        if (auto menuFlag = msg->find("menu"); menuFlag != msg->end() && menuFlag->is_boolean() && menuFlag->get<bool>()) {
            if (RefPtr<ContextMenuHandler> menu = client->GetContextMenuHandler()) {
                MenuModel model({"Back", "Forward", "Reload"});
                menu->OnBeforeContextMenu(browser, b->GetMainFrame(), model);
            }
            return;
        }
        auto fn = msg->find("fn");
        auto id = msg->find("id");
        if (fn == msg->end() || !fn->is_string() || id == msg->end() || !id->is_number_integer()) {
            BZ_LOG(LOG_ERROR, "OnBindingCalled", "message without function or id from page " << viewId);
            return;
        }
        RefPtr<ProcessMessage> message = ProcessMessage::Create(fn->get<std::string>());
        JsonValue& args = message->GetArgumentList();
        args["context"] = contextId;
        args["id"] = id->get<int64_t>();
        if (auto r = msg->find("request"); r != msg->end()) args["request"] = *r;
        if (auto p = msg->find("persistent"); p != msg->end()) args["persistent"] = *p;
        if (!client->OnProcessMessageReceived(browser, b->GetMainFrame(), ProcessId::Renderer, message)) {
            BZ_LOG(LOG_DEBUG, "OnBindingCalled", "page " << viewId << ": nobody took " << message->GetName());
        }
    }

    void OnContextCreated(int viewId, int64_t) override {
        WebBrowser* b = Find(viewId);
        if (b && renderHandler_) renderHandler_->OnContextCreated(RefPtr<WebBrowser>(b), b->GetMainFrame());
    }

    void OnContextDestroyed(int viewId, int64_t) override {
        WebBrowser* b = Find(viewId);
        if (b && renderHandler_) renderHandler_->OnContextReleased(RefPtr<WebBrowser>(b), b->GetMainFrame());
    }

    void OnNavigationRequested(int viewId, const std::string& url) override {
        WebBrowser* b = Find(viewId);
        if (!b) return;
        RefPtr<WebClient> client = WebEngineAccess::Client(*b);
        RefPtr<RequestHandler> request = client ? client->GetRequestHandler() : nullptr;
        if (request && request->OnBeforeBrowse(RefPtr<WebBrowser>(b), b->GetMainFrame(), url, false, false)) {
            BZ_LOG(LOG_INFO, "OnBeforeBrowse", "the page's own navigation to " << url << " cannot be held back");
        }
    }

    void OnUrlChanged(int viewId, const std::string& url) override {
        if (WebBrowser* b = Find(viewId)) WebEngineAccess::SetUrl(*b->GetMainFrame(), url);
    }

    void OnViewCrashed(int viewId) override {
        if (WebBrowser* b = Find(viewId)) {
            BZ_LOG(LOG_ERROR, "OnRenderProcessTerminated", "the renderer of browser " << viewId << " has ended");
            Terminated(*b, TerminationStatus::Crashed);
        }
    }

    void OnBackendDied(TerminationStatus status) override {
        if (!backendAlive_) return;
        backendAlive_ = false;
        BZ_LOG(LOG_ERROR, "OnRenderProcessTerminated", "the browser process has ended (status " << static_cast<int>(status) << ")");
        std::vector<RefPtr<WebBrowser>> browsers;
        for (auto& [id, view] : views_) browsers.push_back(view.browser);
        for (auto& b : browsers) Terminated(*b, status);
    }

private:
    struct View {
        RefPtr<WebBrowser> browser;
        bool hidden = false;
    };

    WebBrowser* Find(int id) {
        auto it = views_.find(id);
        return it == views_.end() ? nullptr : it->second.browser.get();
    }

    void Terminated(WebBrowser& b, TerminationStatus status) {
        RefPtr<WebClient> client = WebEngineAccess::Client(b);
        if (RefPtr<RequestHandler> request = client ? client->GetRequestHandler() : nullptr) {
            request->OnRenderProcessTerminated(RefPtr<WebBrowser>(&b), status);
        }
    }

    void RunQueued() {
        // Operations may queue more (a query handler runs a statement); a few rounds take those too.
        for (int round = 0; round < 8; ++round) {
            std::vector<EngineOp> ops;
            {
                std::lock_guard<std::mutex> lock(gMutex);
                ops.swap(ops_);
            }
            if (ops.empty()) return;
            for (auto& op : ops) op(*this);
        }
    }

    WebSettings settings_;
    RefPtr<WebApp> app_;
    RefPtr<BrowserProcessHandler> pumpHandler_;
    RefPtr<RenderProcessHandler> renderHandler_;
    std::unique_ptr<Backend> backend_;
    std::thread::id mainThread_;
    std::vector<EngineOp> ops_;  // guarded by gMutex
    std::map<int, View> views_;
    int nextBrowserId_ = 1;
    bool backendAlive_ = true;
    bool reportedDeadUse_ = false;
    int busy_ = 0;  // the pump, queued operations or paints are running
};

// Queues op for the engine; false when none runs.
bool Post(EngineOp op) {
    std::lock_guard<std::mutex> lock(gMutex);
    if (!gEngine) return false;
    gEngine->EnqueueLocked(std::move(op));
    return true;
}

bool PostForBrowser(int id, std::function<void(Engine&, WebBrowser&)> op) {
    return Post([id, op = std::move(op)](Engine& e) { e.ForBrowser(id, [&](WebBrowser& b) { op(e, b); }); });
}

bool StartEngine(const WebSettings& settings, RefPtr<WebApp> app, std::unique_ptr<Backend> backend, std::string* error) {
    std::string why;
    if (gEngine) {
        why = "the browser engine is already running";
    } else if (!settings.windowlessRenderingEnabled) {
        why = "only windowless rendering is supported";
    } else {
        auto engine = std::make_unique<Engine>(settings, std::move(app), std::move(backend));
        {
            std::lock_guard<std::mutex> lock(gMutex);
            gEngine = engine.get();
        }
        if (engine->Start(why)) {
            engine.release();
            BZ_LOG(LOG_INFO, "Initialize", "browser engine started");
            return true;
        }
        {
            std::lock_guard<std::mutex> lock(gMutex);
            gEngine = nullptr;
        }
        engine->Stop();
    }
    BZ_LOG(LOG_ERROR, "Initialize", "browser engine failed: " << why);
    if (error) *error = why;
    return false;
}

bool IsKeyPaste(const KeyEvent& e) {
    return (e.type == KEYEVENT_KEYDOWN || e.type == KEYEVENT_RAWKEYDOWN) && e.windowsKeyCode == 'V' &&
           (e.modifiers & EVENTFLAG_CONTROL_DOWN) && !(e.modifiers & EVENTFLAG_ALT_DOWN);
}

}  // namespace

// ---- engine functions

int ExecuteProcess(const MainArgs&, RefPtr<WebApp>) { return -1; }

bool Initialize(const MainArgs&, const WebSettings& settings, RefPtr<WebApp> app, std::string* error) {
    return StartEngine(settings, std::move(app), MakeChromiumBackend(settings), error);
}

bool InitializeWithBackend(const WebSettings& settings, RefPtr<WebApp> app, std::unique_ptr<Backend> backend,
                           std::string* error) {
    return StartEngine(settings, std::move(app), std::move(backend), error);
}

void DoMessageLoopWork() {
    if (gEngine && gEngine->OnMainThread()) gEngine->Pump();
}

void TakePagePaints() {
    if (gEngine && gEngine->OnMainThread()) gEngine->TakePaints();
}

void Shutdown() {
    Engine* engine = gEngine;
    if (!engine) return;
    if (!engine->OnMainThread()) {
        BZ_LOG(LOG_ERROR, "Shutdown", "called off the main thread; ignored");
        return;
    }
    engine->Stop();
    {
        std::lock_guard<std::mutex> lock(gMutex);
        gEngine = nullptr;
    }
    delete engine;
    BZ_LOG(LOG_INFO, "Shutdown", "browser engine stopped");
}

bool IsInitialized() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gEngine != nullptr;
}

Backend* CurrentBackend() { return gEngine ? &gEngine->backend() : nullptr; }

namespace detail {

void PostQueryReply(int browserId, int64_t contextId, int64_t requestId, bool success, std::string text, int errorCode) {
    PostForBrowser(browserId, [=, text = std::move(text)](Engine& e, WebBrowser&) {
        e.backend().ReplyToQuery(browserId, contextId, requestId, success, text, errorCode);
    });
}

}  // namespace detail

// ---- browsers

WebBrowser::WebBrowser(int id, RefPtr<WebClient> client)
    : id_(id), frame_(new WebFrame(id)), host_(new WebBrowserHost(id)), client_(std::move(client)) {
    frame_->browser_ = this;
    host_->browser_ = this;
}

WebBrowser::~WebBrowser() {
    {
        std::lock_guard<std::mutex> lock(frame_->mutex_);
        frame_->browser_ = nullptr;
    }
    std::lock_guard<std::mutex> lock(host_->mutex_);
    host_->browser_ = nullptr;
}

RefPtr<WebBrowser> WebFrame::GetBrowser() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return RefPtr<WebBrowser>(browser_);
}

std::string WebFrame::GetURL() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return url_;
}

void WebFrame::LoadString(const std::string& html, const std::string& url) {
    PostForBrowser(browserId_, [html, url](Engine& e, WebBrowser& b) {
        if (url.empty()) {
            BZ_LOG(LOG_ERROR, "LoadString", "no URL for the page of browser " << b.GetIdentifier());
            return;
        }
        if (!e.BeforeBrowse(b, url)) e.backend().LoadString(b.GetIdentifier(), html, url);
    });
}

void WebFrame::LoadURL(const std::string& url) {
    PostForBrowser(browserId_, [url](Engine& e, WebBrowser& b) {
        if (!e.BeforeBrowse(b, url)) e.backend().Navigate(b.GetIdentifier(), url);
    });
}

void WebFrame::ExecuteJavaScript(const std::string& code, const std::string&, int) {
    PostForBrowser(browserId_, [code](Engine& e, WebBrowser& b) { e.backend().Evaluate(b.GetIdentifier(), code); });
    // On the main thread the statement goes to the browser now, after what was queued before it: a
    // page change waits for no pump. Other threads' statements wait for the main thread's next turn.
    if (Engine* engine = gEngine; engine != nullptr && engine->OnMainThread()) engine->RunQueuedOutsidePump();
}

RefPtr<WebBrowser> WebBrowserHost::CreateBrowserSync(const WindowInfo& windowInfo, RefPtr<WebClient> client,
                                                     const std::string& url, const BrowserSettings& settings) {
    Engine* engine = gEngine;
    if (!engine || !engine->OnMainThread()) {
        BZ_LOG(LOG_ERROR, "CreateBrowserSync", (engine ? "not on the main thread" : "the browser engine is not running"));
        return nullptr;
    }
    if (!windowInfo.windowless) {
        BZ_LOG(LOG_ERROR, "CreateBrowserSync", "only windowless browsers exist");
        return nullptr;
    }
    return engine->CreateBrowser(std::move(client), url, settings);
}

RefPtr<WebBrowser> WebBrowserHost::GetBrowser() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return RefPtr<WebBrowser>(browser_);
}

RefPtr<WebClient> WebBrowserHost::GetClient() const {
    RefPtr<WebBrowser> b = GetBrowser();
    return b ? WebEngineAccess::Client(*b) : nullptr;
}

void WebBrowserHost::CloseBrowser(bool forceClose) {
    int id = browserId_;
    Post([id, forceClose](Engine& e) {
        bool held = false;
        e.ForBrowser(id, [&](WebBrowser& b) {
            RefPtr<WebClient> client = WebEngineAccess::Client(b);
            RefPtr<LifeSpanHandler> life = client ? client->GetLifeSpanHandler() : nullptr;
            held = !forceClose && life && life->DoClose(RefPtr<WebBrowser>(&b));
        });
        // Closing also works after the browser process has ended.
        if (!held) e.CloseView(id);
    });
}

void WebBrowserHost::WasResized() {
    PostForBrowser(browserId_, [](Engine& e, WebBrowser& b) {
        Rect r = e.ViewRect(b);
        e.backend().Resize(b.GetIdentifier(), r.width, r.height);
    });
}

void WebBrowserHost::WasHidden(bool hidden) {
    PostForBrowser(browserId_, [hidden](Engine& e, WebBrowser& b) {
        e.SetHidden(b.GetIdentifier(), hidden);
        e.backend().SetHidden(b.GetIdentifier(), hidden);
    });
}

void WebBrowserHost::Invalidate(PaintElementType type) {
    if (type != PET_VIEW) return;
    PostForBrowser(browserId_, [](Engine& e, WebBrowser& b) {
        if (!e.IsHidden(b.GetIdentifier())) e.backend().Invalidate(b.GetIdentifier());
    });
}

void WebBrowserHost::SendKeyEvent(const KeyEvent& event) {
    PostForBrowser(browserId_, [event](Engine& e, WebBrowser& b) {
        if (IsKeyPaste(event) && e.settings().clipboardText) {
            std::string text = e.settings().clipboardText();
            if (!text.empty()) e.backend().InsertText(b.GetIdentifier(), text);
            return;
        }
        e.backend().Key(b.GetIdentifier(), event);
    });
}

void WebBrowserHost::SendMouseClickEvent(const MouseEvent& event, MouseButtonType type, bool mouseUp, int clickCount) {
    PostForBrowser(browserId_, [=](Engine& e, WebBrowser& b) {
        e.backend().MouseClick(b.GetIdentifier(), event, type, mouseUp, clickCount);
    });
}

void WebBrowserHost::SendMouseMoveEvent(const MouseEvent& event, bool mouseLeave) {
    PostForBrowser(browserId_, [=](Engine& e, WebBrowser& b) { e.backend().MouseMove(b.GetIdentifier(), event, mouseLeave); });
}

void WebBrowserHost::SendMouseWheelEvent(const MouseEvent& event, int deltaX, int deltaY) {
    PostForBrowser(browserId_, [=](Engine& e, WebBrowser& b) {
        e.backend().MouseWheel(b.GetIdentifier(), event, deltaX, deltaY);
    });
}

}  // namespace bzweb
