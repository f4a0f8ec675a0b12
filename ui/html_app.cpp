#include "ui/html_app.h"

#include "ui/query_dispatcher.h"

using namespace bzweb;

const MessageRouterConfig& htmlRouterConfig() {
    static const MessageRouterConfig config{"cefQuery", "cefQueryCancel"};
    return config;
}

void HtmlRenderProcessHandler::OnWebKitInitialized() { router_ = MessageRouterRendererSide::Create(config_); }

void HtmlRenderProcessHandler::OnContextCreated(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame) {
    if (router_) router_->OnContextCreated(browser, frame);
}

void HtmlRenderProcessHandler::OnContextReleased(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame) {
    if (router_) router_->OnContextReleased(browser, frame);
}

HtmlApp::HtmlApp(const MessageRouterConfig& config)
    : renderProcessHandler_(new HtmlRenderProcessHandler(config)), browserProcessHandler_(new HtmlBrowserProcessHandler) {}

bool HtmlQueryHandler::OnQuery(RefPtr<WebBrowser>, RefPtr<WebFrame>, int64_t, const std::string& request, bool,
                               RefPtr<QueryCallback> callback) {
    callback->Success(dispatchHtmlQuery(request, getHtmlRequests()));
    return true;
}

HtmlClient::HtmlClient(RefPtr<HtmlRenderHandler> renderHandler, const MessageRouterConfig& config)
    : renderHandler_(std::move(renderHandler)), contextMenuHandler_(new HtmlContextMenuHandler), config_(config) {}

HtmlClient::~HtmlClient() {
    if (router_ && queryHandler_) router_->RemoveHandler(queryHandler_.get());
}

bool HtmlClient::OnProcessMessageReceived(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame, ProcessId sourceProcess,
                                          RefPtr<ProcessMessage> message) {
    return router_ && router_->OnProcessMessageReceived(browser, frame, sourceProcess, message);
}

void HtmlClient::OnAfterCreated(RefPtr<WebBrowser>) {
    if (router_) return;
    router_ = MessageRouterBrowserSide::Create(config_);
    queryHandler_ = std::make_unique<HtmlQueryHandler>();
    router_->AddHandler(queryHandler_.get(), false);
}

void HtmlClient::OnBeforeClose(RefPtr<WebBrowser> browser) {
    if (!router_) return;
    router_->OnBeforeClose(browser);
    router_->RemoveHandler(queryHandler_.get());
    queryHandler_.reset();
    router_ = nullptr;
}

bool HtmlClient::OnBeforeBrowse(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame, const std::string&, bool, bool) {
    if (router_) router_->OnBeforeBrowse(browser, frame);
    return false;
}

void HtmlClient::OnRenderProcessTerminated(RefPtr<WebBrowser> browser, TerminationStatus) {
    if (router_) router_->OnRenderProcessTerminated(browser);
}
