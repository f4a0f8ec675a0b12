// The message router: pages call the query function ("cefQuery" by default) with a request text and
// callbacks, the program's handlers answer through a QueryCallback, and the answer reaches the
// callbacks of the page that asked. Main thread only.
//
// Page side, in every document:
//   var id = cefQuery({request: "text", persistent: false,
//                      onSuccess: function(response) {}, onFailure: function(code, message) {}});
//   cefQueryCancel(id);
#pragma once

#include "ui/engine/ref_counted.h"
#include "ui/engine/web_client.h"
#include "ui/engine/web_types.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bzweb {

class MessageRouterBrowserSide;

// Answers one query. A query that is not persistent takes exactly one answer; a persistent one takes
// any number of successes until a failure or a cancel ends it. Answers to an ended query are dropped.
class QueryCallback : public virtual RefCounted {
public:
    void Success(const std::string& response);
    void Failure(int errorCode, const std::string& errorMessage);

private:
    friend class MessageRouterBrowserSide;
    QueryCallback(RefPtr<MessageRouterBrowserSide> router, int64_t queryId) : router_(std::move(router)), queryId_(queryId) {}
    RefPtr<MessageRouterBrowserSide> router_;
    const int64_t queryId_;
};

class MessageRouterBrowserSide : public virtual RefCounted {
public:
    class Handler {
    public:
        virtual ~Handler() = default;
        // true: the handler takes the query and answers it through callback (now or later).
        virtual bool OnQuery(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame, int64_t queryId,
                             const std::string& request, bool persistent, RefPtr<QueryCallback> callback) {
            return false;
        }
        // The page cancelled the query, or it ended with its page, its browser or its handler.
        virtual void OnQueryCanceled(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame, int64_t queryId) {}
    };

    static RefPtr<MessageRouterBrowserSide> Create(const MessageRouterConfig& config);

    // Handlers are asked in order until one takes the query; a query nobody takes fails with -1.
    bool AddHandler(Handler* handler, bool first);
    // Pending queries of the handler are cancelled: the handler hears OnQueryCanceled and the page's
    // onFailure gets -1.
    bool RemoveHandler(Handler* handler);
    // Pending queries of this router for a browser (null: all) and a handler (null: all).
    int GetPendingCount(const RefPtr<WebBrowser>& browser, Handler* handler) const;

    // The client passes these on from its own callbacks.
    void OnBeforeClose(RefPtr<WebBrowser> browser);
    void OnRenderProcessTerminated(RefPtr<WebBrowser> browser);
    void OnBeforeBrowse(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame);
    bool OnProcessMessageReceived(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame, ProcessId sourceProcess,
                                  RefPtr<ProcessMessage> message);

    const MessageRouterConfig& config() const { return config_; }

private:
    friend class QueryCallback;
    struct Query {
        RefPtr<WebBrowser> browser;
        RefPtr<WebFrame> frame;
        int64_t contextId = 0;  // the page document that asked
        int64_t requestId = 0;  // the page's own number for it
        bool persistent = false;
        Handler* handler = nullptr;  // null while the handlers are being asked
    };

    explicit MessageRouterBrowserSide(const MessageRouterConfig& config) : config_(config) {}
    void Answer(int64_t queryId, bool success, const std::string& text, int code);
    // Ends queries matching pred; their handlers hear OnQueryCanceled, and the page gets onFailure
    // when notifyPage is set (its document is still there).
    template <class Pred>
    void CancelWhere(Pred pred, bool notifyPage);
    void HandleQuery(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame, const JsonValue& args);
    void HandleCancel(const RefPtr<WebBrowser>& browser, const JsonValue& args);

    MessageRouterConfig config_;
    std::vector<Handler*> handlers_;
    std::map<int64_t, Query> queries_;
    int64_t nextQueryId_ = 1;
};

// The page side of a router. While it exists, every document loaded afterwards gets its two page
// functions. The program creates it from OnWebKitInitialized with the same configuration as the
// browser side.
class MessageRouterRendererSide : public virtual RefCounted {
public:
    static RefPtr<MessageRouterRendererSide> Create(const MessageRouterConfig& config);
    // The functions are installed by the page itself as each document starts; nothing to do here.
    void OnContextCreated(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame) {}
    void OnContextReleased(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame) {}
    const MessageRouterConfig& config() const { return config_; }

private:
    explicit MessageRouterRendererSide(const MessageRouterConfig& config);
    ~MessageRouterRendererSide() override;
    MessageRouterConfig config_;
};

}  // namespace bzweb
