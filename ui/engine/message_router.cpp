#include "ui/engine/message_router.h"

#include "core/log.h"
#include "ui/engine/engine_internal.h"
#include "ui/engine/web_browser.h"

#include <algorithm>

namespace bzweb {

namespace {

constexpr int kCanceledCode = -1;
constexpr const char* kCanceledText = "The query has been canceled";
constexpr const char* kUnhandledText = "The query was not handled";

bool SameBrowser(const RefPtr<WebBrowser>& a, const RefPtr<WebBrowser>& b) { return a && b && a->IsSame(b); }

}  // namespace

void QueryCallback::Success(const std::string& response) { router_->Answer(queryId_, true, response, 0); }

void QueryCallback::Failure(int errorCode, const std::string& errorMessage) {
    router_->Answer(queryId_, false, errorMessage, errorCode);
}

RefPtr<MessageRouterBrowserSide> MessageRouterBrowserSide::Create(const MessageRouterConfig& config) {
    return RefPtr<MessageRouterBrowserSide>(new MessageRouterBrowserSide(config));
}

bool MessageRouterBrowserSide::AddHandler(Handler* handler, bool first) {
    if (!handler || std::find(handlers_.begin(), handlers_.end(), handler) != handlers_.end()) return false;
    handlers_.insert(first ? handlers_.begin() : handlers_.end(), handler);
    return true;
}

bool MessageRouterBrowserSide::RemoveHandler(Handler* handler) {
    auto it = std::find(handlers_.begin(), handlers_.end(), handler);
    if (it == handlers_.end()) return false;
    CancelWhere([handler](const Query& q) { return q.handler == handler; }, true);
    // The handler may have been removed again from its own OnQueryCanceled.
    handlers_.erase(std::remove(handlers_.begin(), handlers_.end(), handler), handlers_.end());
    return true;
}

int MessageRouterBrowserSide::GetPendingCount(const RefPtr<WebBrowser>& browser, Handler* handler) const {
    int n = 0;
    for (const auto& [id, q] : queries_) {
        if ((!browser || SameBrowser(q.browser, browser)) && (!handler || q.handler == handler)) ++n;
    }
    return n;
}

void MessageRouterBrowserSide::OnBeforeClose(RefPtr<WebBrowser> browser) {
    CancelWhere([&](const Query& q) { return SameBrowser(q.browser, browser); }, false);
}

void MessageRouterBrowserSide::OnRenderProcessTerminated(RefPtr<WebBrowser> browser) {
    CancelWhere([&](const Query& q) { return SameBrowser(q.browser, browser); }, false);
}

void MessageRouterBrowserSide::OnBeforeBrowse(RefPtr<WebBrowser> browser, RefPtr<WebFrame>) {
    // The document that asked is going away; nobody is left to answer.
    CancelWhere([&](const Query& q) { return SameBrowser(q.browser, browser); }, false);
}

bool MessageRouterBrowserSide::OnProcessMessageReceived(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame, ProcessId,
                                                        RefPtr<ProcessMessage> message) {
    if (!browser || !message) return false;
    const std::string& name = message->GetName();
    if (name == config_.jsQueryFunction) {
        HandleQuery(std::move(browser), std::move(frame), message->GetArgumentList());
        return true;
    }
    if (name == config_.jsCancelFunction) {
        HandleCancel(browser, message->GetArgumentList());
        return true;
    }
    return false;
}

void MessageRouterBrowserSide::HandleQuery(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame, const JsonValue& args) {
    auto request = args.find("request");
    auto context = args.find("context");
    auto requestId = args.find("id");
    if (request == args.end() || !request->is_string() || context == args.end() || !context->is_number_integer() ||
        requestId == args.end() || !requestId->is_number_integer()) {
        BZ_LOG(LOG_ERROR, "OnQuery", "malformed query from browser " << browser->GetIdentifier());
        return;
    }
    auto persistentIt = args.find("persistent");
    bool persistent = persistentIt != args.end() && persistentIt->is_boolean() && persistentIt->get<bool>();

    int64_t queryId = nextQueryId_++;
    const int64_t ctx = context->get<int64_t>();
    const int64_t req = requestId->get<int64_t>();
    Query& q = queries_[queryId];
    q.browser = browser;
    q.frame = frame;
    q.contextId = ctx;
    q.requestId = req;
    q.persistent = persistent;
    const std::string& text = request->get_ref<const std::string&>();

    RefPtr<QueryCallback> callback(new QueryCallback(RefPtr<MessageRouterBrowserSide>(this), queryId));
    std::vector<Handler*> handlers = handlers_;  // a handler may add or remove handlers while asked
    for (Handler* h : handlers) {
        if (std::find(handlers_.begin(), handlers_.end(), h) == handlers_.end()) continue;
        auto it = queries_.find(queryId);
        if (it == queries_.end()) return;  // already answered
        it->second.handler = h;
        if (h->OnQuery(browser, frame, queryId, text, persistent, callback)) return;
        it = queries_.find(queryId);
        if (it == queries_.end()) return;
        it->second.handler = nullptr;
    }
    if (queries_.erase(queryId) != 0) {
        detail::PostQueryReply(browser->GetIdentifier(), ctx, req, false, kUnhandledText, kCanceledCode);
    }
}

void MessageRouterBrowserSide::HandleCancel(const RefPtr<WebBrowser>& browser, const JsonValue& args) {
    auto context = args.find("context");
    auto requestId = args.find("id");
    if (context == args.end() || !context->is_number_integer() || requestId == args.end() ||
        !requestId->is_number_integer()) {
        return;
    }
    int64_t ctx = context->get<int64_t>();
    int64_t req = requestId->get<int64_t>();
    CancelWhere([&](const Query& q) { return SameBrowser(q.browser, browser) && q.contextId == ctx && q.requestId == req; },
                false);
}

void MessageRouterBrowserSide::Answer(int64_t queryId, bool success, const std::string& text, int code) {
    auto it = queries_.find(queryId);
    if (it == queries_.end()) {
        BZ_LOG(LOG_DEBUG, "QueryCallback", "answer to ended query " << queryId << " dropped");
        return;
    }
    const Query& q = it->second;
    detail::PostQueryReply(q.browser->GetIdentifier(), q.contextId, q.requestId, success, text, code);
    if (!success || !q.persistent) queries_.erase(it);
}

template <class Pred>
void MessageRouterBrowserSide::CancelWhere(Pred pred, bool notifyPage) {
    std::vector<std::pair<int64_t, Query>> ended;
    for (auto it = queries_.begin(); it != queries_.end();) {
        if (pred(it->second)) {
            ended.emplace_back(it->first, std::move(it->second));
            it = queries_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& [id, q] : ended) {
        if (q.handler) q.handler->OnQueryCanceled(q.browser, q.frame, id);
        if (notifyPage) {
            detail::PostQueryReply(q.browser->GetIdentifier(), q.contextId, q.requestId, false, kCanceledText, kCanceledCode);
        }
    }
}

}  // namespace bzweb
