// A client shaped like the interface code's: a render handler that keeps the last paint, and a client
// that builds its message router and query handler when its browser is created and drops them when it
// closes. The handler records every query and answers with a fixed text.
#pragma once

#include "ui/engine/message_router.h"
#include "ui/engine/web_browser.h"
#include "ui/engine/web_client.h"
#include "ui/engine/web_engine.h"

#include <array>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace webtest {

using namespace bzweb;

class TestRenderHandler : public RenderHandler {
public:
    TestRenderHandler(int w, int h) : width(w), height(h) {}
    void GetViewRect(RefPtr<WebBrowser>, Rect& rect) override {
        ++viewRectCalls;
        rect = Rect{0, 0, width, height};
    }
    void OnPaint(RefPtr<WebBrowser>, PaintElementType type, const std::vector<Rect>& dirty, const void* buffer, int w,
                 int h) override {
        ++paints;
        paintWidth = w;
        paintHeight = h;
        lastType = type;
        dirtyRects = dirty;
        pixels.assign(static_cast<const uint8_t*>(buffer), static_cast<const uint8_t*>(buffer) + size_t(w) * h * 4);
    }
    // B, G, R, A at (x, y) of the last paint.
    std::array<int, 4> Pixel(int x, int y) const {
        const uint8_t* p = pixels.data() + (size_t(y) * paintWidth + x) * 4;
        return {p[0], p[1], p[2], p[3]};
    }

    int width;
    int height;
    int viewRectCalls = 0;
    int paints = 0;
    int paintWidth = 0;
    int paintHeight = 0;
    PaintElementType lastType = PET_POPUP;
    std::vector<Rect> dirtyRects;
    std::vector<uint8_t> pixels;
};

struct QueryRecord {
    int browserId;
    int64_t queryId;
    std::string request;
    bool persistent;
    RefPtr<QueryCallback> callback;
};

class TestQueryHandler : public MessageRouterBrowserSide::Handler {
public:
    bool OnQuery(RefPtr<WebBrowser> browser, RefPtr<WebFrame>, int64_t queryId, const std::string& request,
                 bool persistent, RefPtr<QueryCallback> callback) override {
        queries.push_back({browser->GetIdentifier(), queryId, request, persistent, callback});
        if (!take) return false;
        if (answer) callback->Success(answerText);
        return true;
    }
    void OnQueryCanceled(RefPtr<WebBrowser>, RefPtr<WebFrame>, int64_t queryId) override { canceled.push_back(queryId); }

    bool HasRequest(const std::string& r) const {
        for (const auto& q : queries) {
            if (q.request == r) return true;
        }
        return false;
    }

    std::string Last() const { return queries.empty() ? std::string() : queries.back().request; }

    bool take = true;    // OnQuery's result
    bool answer = true;  // answer at once
    std::string answerText = "{\"result\":0}";
    std::vector<QueryRecord> queries;
    std::vector<int64_t> canceled;
};

class TestClient : public WebClient, public LifeSpanHandler, public RequestHandler, public ContextMenuHandler {
public:
    TestClient(RefPtr<TestRenderHandler> render, const MessageRouterConfig& config) : render_(render), config_(config) {}

    RefPtr<LifeSpanHandler> GetLifeSpanHandler() override { return this; }
    RefPtr<RequestHandler> GetRequestHandler() override { return this; }
    RefPtr<RenderHandler> GetRenderHandler() override { return render_; }
    RefPtr<ContextMenuHandler> GetContextMenuHandler() override { return this; }

    bool OnProcessMessageReceived(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame, ProcessId source,
                                  RefPtr<ProcessMessage> message) override {
        return router && router->OnProcessMessageReceived(browser, frame, source, message);
    }
    void OnAfterCreated(RefPtr<WebBrowser> browser) override {
        ++created;
        if (!router) {
            router = MessageRouterBrowserSide::Create(config_);
            handler = std::make_unique<TestQueryHandler>();
            router->AddHandler(handler.get(), false);
        }
    }
    bool DoClose(RefPtr<WebBrowser>) override { return holdClose; }
    void OnBeforeClose(RefPtr<WebBrowser> browser) override {
        ++closed;
        if (router) {
            router->OnBeforeClose(browser);
            router->RemoveHandler(handler.get());
            lastHandler = std::move(handler);
            router.reset();
        }
    }
    bool OnBeforeBrowse(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame, const std::string& url, bool, bool) override {
        browsed.push_back(url);
        if (router) router->OnBeforeBrowse(browser, frame);
        return cancelNavigation;
    }
    void OnRenderProcessTerminated(RefPtr<WebBrowser> browser, TerminationStatus status) override {
        terminated.push_back(status);
        if (router) router->OnRenderProcessTerminated(browser);
    }
    void OnBeforeContextMenu(RefPtr<WebBrowser>, RefPtr<WebFrame>, MenuModel& model) override {
        ++menus;
        model.Clear();
    }

    RefPtr<TestRenderHandler> render_;
    MessageRouterConfig config_;
    RefPtr<MessageRouterBrowserSide> router;
    std::unique_ptr<TestQueryHandler> handler;
    std::unique_ptr<TestQueryHandler> lastHandler;  // kept after close, for the checks
    int created = 0;
    int closed = 0;
    int menus = 0;
    bool holdClose = false;
    bool cancelNavigation = false;
    std::vector<std::string> browsed;
    std::vector<TerminationStatus> terminated;
};

// An app that creates the page side of the router when the engine starts, as the program does.
class TestRenderProcess : public RenderProcessHandler {
public:
    explicit TestRenderProcess(const MessageRouterConfig& config) : config_(config) {}
    void OnWebKitInitialized() override { router = MessageRouterRendererSide::Create(config_); }
    void OnContextCreated(RefPtr<WebBrowser>, RefPtr<WebFrame>) override { ++contexts; }
    void OnContextReleased(RefPtr<WebBrowser>, RefPtr<WebFrame>) override { ++released; }
    MessageRouterConfig config_;
    RefPtr<MessageRouterRendererSide> router;
    int contexts = 0;
    int released = 0;
};

class TestApp : public WebApp {
public:
    explicit TestApp(const MessageRouterConfig& config) : render(new TestRenderProcess(config)) {}
    RefPtr<RenderProcessHandler> GetRenderProcessHandler() override { return render; }
    RefPtr<TestRenderProcess> render;
};

// Pumps the engine until pred holds or the time is up. The ceiling is generous: the sanitizer
// build beside the other test trees took over 20 s to start a page.
inline bool PumpUntil(const std::function<bool()>& pred, int timeoutMs = 120000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        DoMessageLoopWork();
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

inline void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

}  // namespace webtest
