// How the program plugs into the browser engine: the application object given to the engine at
// start-up, and the per-window client with its router, query handler and handlers. The router's
// query function is "cefQuery", its cancel function "cefQueryCancel"; both sides use one record.
#pragma once

#include "ui/engine/message_router.h"
#include "ui/engine/web_client.h"
#include "ui/html_render_handler.h"

#include <memory>

// The one router configuration of the program.
const bzweb::MessageRouterConfig& htmlRouterConfig();

class HtmlRenderProcessHandler : public bzweb::RenderProcessHandler {
public:
    explicit HtmlRenderProcessHandler(const bzweb::MessageRouterConfig& config) : config_(config) {}
    void OnWebKitInitialized() override;
    void OnContextCreated(bzweb::RefPtr<bzweb::WebBrowser> browser, bzweb::RefPtr<bzweb::WebFrame> frame) override;
    void OnContextReleased(bzweb::RefPtr<bzweb::WebBrowser> browser, bzweb::RefPtr<bzweb::WebFrame> frame) override;

private:
    const bzweb::MessageRouterConfig& config_;
    bzweb::RefPtr<bzweb::MessageRouterRendererSide> router_;
};

// The frame loop pumps the engine itself once per frame, so its requests for pump work are ignored.
class HtmlBrowserProcessHandler : public bzweb::BrowserProcessHandler {
public:
    void OnScheduleMessagePumpWork(int64_t) override {}
};

class HtmlApp : public bzweb::WebApp {
public:
    explicit HtmlApp(const bzweb::MessageRouterConfig& config);
    bzweb::RefPtr<bzweb::BrowserProcessHandler> GetBrowserProcessHandler() override { return browserProcessHandler_; }
    bzweb::RefPtr<bzweb::RenderProcessHandler> GetRenderProcessHandler() override { return renderProcessHandler_; }

private:
    bzweb::RefPtr<HtmlRenderProcessHandler> renderProcessHandler_;
    bzweb::RefPtr<HtmlBrowserProcessHandler> browserProcessHandler_;
};

// A page never shows a context menu.
class HtmlContextMenuHandler : public bzweb::ContextMenuHandler {
public:
    void OnBeforeContextMenu(bzweb::RefPtr<bzweb::WebBrowser>, bzweb::RefPtr<bzweb::WebFrame>,
                             bzweb::MenuModel& model) override {
        model.Clear();
    }
};

// Every page request of one window enters here and goes to the query dispatcher.
class HtmlQueryHandler : public bzweb::MessageRouterBrowserSide::Handler {
public:
    bool OnQuery(bzweb::RefPtr<bzweb::WebBrowser> browser, bzweb::RefPtr<bzweb::WebFrame> frame, int64_t queryId,
                 const std::string& request, bool persistent, bzweb::RefPtr<bzweb::QueryCallback> callback) override;
    void OnQueryCanceled(bzweb::RefPtr<bzweb::WebBrowser>, bzweb::RefPtr<bzweb::WebFrame>, int64_t) override {}
};

class HtmlClient : public bzweb::WebClient, public bzweb::LifeSpanHandler, public bzweb::RequestHandler {
public:
    HtmlClient(bzweb::RefPtr<HtmlRenderHandler> renderHandler, const bzweb::MessageRouterConfig& config);
    ~HtmlClient() override;

    bzweb::RefPtr<bzweb::ContextMenuHandler> GetContextMenuHandler() override { return contextMenuHandler_; }
    bzweb::RefPtr<bzweb::LifeSpanHandler> GetLifeSpanHandler() override { return this; }
    bzweb::RefPtr<bzweb::RenderHandler> GetRenderHandler() override { return renderHandler_; }
    bzweb::RefPtr<bzweb::RequestHandler> GetRequestHandler() override { return this; }
    bool OnProcessMessageReceived(bzweb::RefPtr<bzweb::WebBrowser> browser, bzweb::RefPtr<bzweb::WebFrame> frame,
                                  bzweb::ProcessId sourceProcess, bzweb::RefPtr<bzweb::ProcessMessage> message) override;

    void OnAfterCreated(bzweb::RefPtr<bzweb::WebBrowser> browser) override;
    void OnBeforeClose(bzweb::RefPtr<bzweb::WebBrowser> browser) override;

    bool OnBeforeBrowse(bzweb::RefPtr<bzweb::WebBrowser> browser, bzweb::RefPtr<bzweb::WebFrame> frame,
                        const std::string& url, bool userGesture, bool isRedirect) override;
    void OnRenderProcessTerminated(bzweb::RefPtr<bzweb::WebBrowser> browser, bzweb::TerminationStatus status) override;

    bzweb::RefPtr<HtmlRenderHandler> renderHandler() const { return renderHandler_; }

private:
    bzweb::RefPtr<HtmlRenderHandler> renderHandler_;
    bzweb::RefPtr<HtmlContextMenuHandler> contextMenuHandler_;
    const bzweb::MessageRouterConfig& config_;
    bzweb::RefPtr<bzweb::MessageRouterBrowserSide> router_;
    std::unique_ptr<HtmlQueryHandler> queryHandler_;
};
