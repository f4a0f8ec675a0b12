// The headless browser backend's parts, shared by its files: the process and its start
// (chromium_process.cpp), the views and their input (chromium_backend.cpp), and the pipe's replies
// and events (chromium_events.cpp).
#pragma once

#include "ui/engine/backend.h"
#include "ui/engine/devtools_pipe.h"
#include "ui/engine/frame_decoder.h"
#include "ui/engine/web_json.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace bzweb::chromium {

namespace fs = std::filesystem;

// Fields of the browser's messages, read without trusting their shape: a missing field, or one of
// another type, gives an empty value instead of an exception.
inline const JsonValue& Field(const JsonValue& object, const char* key) {
    static const JsonValue kNone;
    if (!object.is_object()) return kNone;
    auto it = object.find(key);
    return it == object.end() ? kNone : *it;
}

inline std::string Str(const JsonValue& object, const char* key) {
    const JsonValue& v = Field(object, key);
    return v.is_string() ? v.get<std::string>() : std::string();
}

inline int64_t Int(const JsonValue& object, const char* key) {
    const JsonValue& v = Field(object, key);
    return v.is_number_integer() ? v.get<int64_t>() : 0;
}

inline bool Bool(const JsonValue& object, const char* key) {
    const JsonValue& v = Field(object, key);
    return v.is_boolean() && v.get<bool>();
}

inline std::string ErrorText(const JsonValue& reply) {
    const JsonValue& e = Field(reply, "error");
    if (e.is_null()) return {};
    std::string text = Str(e, "message");
    return text.empty() ? std::string("error") : text;
}

class ChromiumBackend final : public Backend {
public:
    explicit ChromiumBackend(const WebSettings& settings) : settings_(settings) {}
    ~ChromiumBackend() override { Stop(); }

    bool Start(std::string& error) override;
    void Stop() override;
    void SetWakeUp(std::function<void()> wakeUp) override { wake_ = std::move(wakeUp); }
    int ProcessId() const override { return process_.pid(); }

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
    void PollPaints(BackendEvents& events) override;

private:
    using ReplyFn = std::function<void(const JsonValue&)>;
    struct View {
        int id = 0;
        std::string targetId;  // also the main frame's id
        std::string session;
        int width = 1;
        int height = 1;
        int everyNthFrame = 1;
        bool ready = false;  // set up, first page on its way
        int blockers = 0;    // replies that later operations must wait for
        bool hidden = false;
        bool crashed = false;
        bool failed = false;  // its page could not be made or reached: everything asked of it is dropped
        // Frames start as the first page takes over. Measured: a screencast begun on the initial blank
        // document, or on a page that has finished loading, keeps 8 to 12 MiB per view more in the
        // browser for good than one begun while the first page is on its way.
        bool navigated = false;
        bool loadedOnce = false;
        std::optional<std::chrono::steady_clock::time_point> firstPaintCheck;
        int framesSinceNavigation = 0;
        int64_t mainContext = 0;
        std::deque<std::function<void(View&)>> staged;
        std::map<std::string, std::string> pendingDocs;  // LoadString texts by URL
        std::optional<MouseEvent> pendingMove;           // moves are coalesced to one per pump
        char16_t highSurrogate = 0;
        std::string url;  // of the main frame's document
    };

    View* Find(int viewId) {
        auto it = views_.find(viewId);
        return it == views_.end() ? nullptr : &it->second;
    }
    void Command(const std::string& session, const char* method, JsonValue params, ReplyFn onReply = {});
    // Runs op now, or after what the view is still waiting for, in order.
    void Run(int viewId, std::function<void(View&)> op);
    void Flush(View& v);
    void FlushMove(View& v);
    void SetupDone(int viewId, const std::string& url);
    void SetupFailed(int viewId);
    void StartScreencast(View& v) {
        if (!v.navigated) return;
        Command(v.session, "Page.startScreencast", {{"format", "png"}, {"everyNthFrame", v.everyNthFrame}});
    }
    void StopScreencast(View& v) { Command(v.session, "Page.stopScreencast", JsonValue::object()); }
    // A new screencast starts with a frame of the view as it is; a hidden view sends none.
    void RestartScreencast(View& v) {
        if (v.hidden) return;
        StopScreencast(v);
        StartScreencast(v);
    }
    void NavigateNow(View& v, const std::string& url);
    // Start's steps.
    bool MakeProfile(std::string& error);
    bool ConnectPipe(int fd, std::string& error);
    bool AwaitVersion(std::string& version);
    // Hands a reply to whoever waits for it; false when the message is no reply but an event.
    bool DeliverReply(const JsonValue& msg);
    void HandleEvent(BackendEvents& events, const JsonValue& msg);
    void OnRuntimeEvent(BackendEvents& events, View& v, const std::string& method, const JsonValue& params);
    void OnPageEvent(BackendEvents& events, View& v, const std::string& method, const JsonValue& params);
    void WritePageTexts();
    void FetchPaused(View& v, const JsonValue& params);
    void Crashed(BackendEvents& events, View& v) {
        if (v.crashed) return;
        v.crashed = true;
        events.OnViewCrashed(v.id);
    }

    WebSettings settings_;
    std::string binary_;
    bool newHeadless_ = false;
    fs::path profile_;
    BrowserProcess process_;
    std::unique_ptr<FrameDecoderPool> decoder_;
    DevToolsPipe pipe_;
    std::function<void()> wake_;
    bool started_ = false;
    bool stopped_ = false;

    std::atomic<bool> deathKnown_{false};
    TerminationStatus deathStatus_ = TerminationStatus::AbnormalTermination;
    bool deathReported_ = false;

    std::unordered_map<int64_t, ReplyFn> replies_;
    std::map<int, View> views_;
    std::unordered_map<std::string, int> sessions_;
    std::vector<JsonValue> messages_;
    std::vector<DecodedFrame> frames_;
    std::vector<int> failedViews_;  // to report as ended in the next Poll
    // Where a test outside the program reads what the pages show (BZ_PAGE_TEXT_DIR); empty: never.
    fs::path pageTextDir_;
    std::chrono::steady_clock::time_point nextPageTexts_;
};

}  // namespace bzweb::chromium
