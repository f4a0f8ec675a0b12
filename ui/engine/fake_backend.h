// A browser that only records: for the unit tests of the layer and of the interface code built on
// it. It remembers every statement run and every host call per browser, lets a test play the page
// (queries, cancels, navigations, crashes) and paints solid buffers. Events reach the engine in the
// next DoMessageLoopWork().
#pragma once

#include "ui/engine/backend.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace bzweb {

class FakeBackend final : public Backend {
public:
    struct Reply {
        int64_t contextId = 0;
        int64_t requestId = 0;
        bool success = false;
        std::string text;
        int errorCode = 0;
    };
    struct View {
        ViewSetup setup;
        int width = 0;
        int height = 0;
        bool hidden = false;
        bool closed = false;
        std::string url;
        int64_t contextId = 1;  // the current document
        std::vector<std::string> statements;
        std::vector<std::string> hostCalls;  // "resize 800x600", "click 10,20 left down 1 mods=0" ...
        std::vector<Reply> replies;
    };

    // Start fails with this text when it is not empty.
    explicit FakeBackend(std::string startError = {}) : startError_(std::move(startError)) {}

    bool Start(std::string& error) override;
    void Stop() override;

    void CreateView(int viewId, const ViewSetup& setup) override;
    void CloseView(int viewId) override;
    void Navigate(int viewId, const std::string& url) override;
    void LoadString(int viewId, const std::string& html, const std::string& url) override;
    void Evaluate(int viewId, const std::string& code) override;
    void ReplyToQuery(int viewId, int64_t contextId, int64_t requestId, bool success, const std::string& text,
                      int errorCode) override;
    void Resize(int viewId, int width, int height) override;
    void SetHidden(int viewId, bool hidden) override;
    void Invalidate(int viewId) override;
    void MouseMove(int viewId, const MouseEvent& event, bool leave) override;
    void MouseClick(int viewId, const MouseEvent& event, MouseButtonType button, bool up, int clickCount) override;
    void MouseWheel(int viewId, const MouseEvent& event, int deltaX, int deltaY) override;
    void Key(int viewId, const KeyEvent& event) override;
    void InsertText(int viewId, const std::string& utf8) override;
    void Poll(BackendEvents& events) override;

    // What the tests look at (copies, so they stay valid).
    View view(int viewId) const;
    std::vector<int> viewIds() const;
    bool started() const { return started_; }
    bool stopped() const { return stopped_; }

    // Playing the page. Each takes effect in the next poll.
    // The page calls the query function: {"fn":queryFunction,"id":requestId,"request":...}.
    void InjectQuery(int viewId, int64_t requestId, const std::string& request, bool persistent = false,
                     const std::string& queryFunction = "cefQuery");
    void InjectCancel(int viewId, int64_t requestId, const std::string& cancelFunction = "cefQueryCancel");
    void InjectBindingPayload(int viewId, const std::string& payload);
    // The page navigates by itself; the document (and its context) changes.
    void InjectNavigation(int viewId, const std::string& url);
    void InjectCrash(int viewId);
    void InjectDeath(TerminationStatus status);
    // A whole-view paint of one BGRA colour (0xAARRGGBB) at the view's current size.
    void PaintSolid(int viewId, uint32_t argb);

private:
    View* Find(int viewId);
    void Record(int viewId, const std::string& call);
    // A new document at url: the old context ends, a new one starts.
    void Commit(int viewId, const std::string& url, bool byPage);

    std::string startError_;
    bool started_ = false;
    bool stopped_ = false;
    mutable std::mutex mutex_;
    std::map<int, View> views_;
    std::deque<std::function<void(BackendEvents&)>> events_;
};

}  // namespace bzweb
