#include "ui/engine/chromium_backend.h"

#include "core/log.h"
#include "ui/engine/devtools_pipe.h"
#include "ui/engine/dom_keys.h"
#include "ui/engine/frame_decoder.h"
#include "ui/engine/web_string.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <unordered_map>

namespace bzweb {

namespace fs = std::filesystem;

namespace {

constexpr const char* kHeadlessShell = "/usr/lib/chromium/chromium-headless-shell";

// The text of a small system file, or "" when it cannot be read.
std::string ReadSmallFile(const char* path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    return text;
}
constexpr const char* kChromium = "/usr/lib/chromium/chromium";
constexpr const char* kProfilePrefix = "bzweb-";

int CdpModifiers(uint32_t m) {
    return ((m & EVENTFLAG_ALT_DOWN) ? 1 : 0) | ((m & EVENTFLAG_CONTROL_DOWN) ? 2 : 0) |
           ((m & EVENTFLAG_COMMAND_DOWN) ? 4 : 0) | ((m & EVENTFLAG_SHIFT_DOWN) ? 8 : 0);
}

int CdpButtons(uint32_t m) {
    return ((m & EVENTFLAG_LEFT_MOUSE_BUTTON) ? 1 : 0) | ((m & EVENTFLAG_RIGHT_MOUSE_BUTTON) ? 2 : 0) |
           ((m & EVENTFLAG_MIDDLE_MOUSE_BUTTON) ? 4 : 0);
}

const char* ButtonName(MouseButtonType b) {
    switch (b) {
    case MBT_LEFT: return "left";
    case MBT_MIDDLE: return "middle";
    case MBT_RIGHT: return "right";
    }
    return "none";
}

int ButtonBit(MouseButtonType b) { return b == MBT_LEFT ? 1 : b == MBT_RIGHT ? 2 : 4; }

// The button a move reports: the first one held.
const char* HeldButton(uint32_t m) {
    if (m & EVENTFLAG_LEFT_MOUSE_BUTTON) return "left";
    if (m & EVENTFLAG_MIDDLE_MOUSE_BUTTON) return "middle";
    if (m & EVENTFLAG_RIGHT_MOUSE_BUTTON) return "right";
    return "none";
}

bool Printable(char16_t c) { return c >= 0x20 && c != 0x7F && c != 0xFFFF && (c < 0xD800 || c > 0xDFFF); }

std::string StripFragment(const std::string& url) { return url.substr(0, url.find('#')); }

// Fetch patterns treat * and ? as wildcards and backslash as the escape.
std::string EscapePattern(const std::string& url) {
    std::string out;
    for (char c : url) {
        if (c == '*' || c == '?' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// Fields of the browser's messages, read without trusting their shape: a missing field, or one of
// another type, gives an empty value instead of an exception.
const JsonValue& Field(const JsonValue& object, const char* key) {
    static const JsonValue kNone;
    if (!object.is_object()) return kNone;
    auto it = object.find(key);
    return it == object.end() ? kNone : *it;
}

std::string Str(const JsonValue& object, const char* key) {
    const JsonValue& v = Field(object, key);
    return v.is_string() ? v.get<std::string>() : std::string();
}

int64_t Int(const JsonValue& object, const char* key) {
    const JsonValue& v = Field(object, key);
    return v.is_number_integer() ? v.get<int64_t>() : 0;
}

bool Bool(const JsonValue& object, const char* key) {
    const JsonValue& v = Field(object, key);
    return v.is_boolean() && v.get<bool>();
}

std::string ErrorText(const JsonValue& reply) {
    const JsonValue& e = Field(reply, "error");
    if (e.is_null()) return {};
    std::string text = Str(e, "message");
    return text.empty() ? std::string("error") : text;
}

// Profile folders of earlier runs whose program is gone (a crash leaves them behind).
void RemoveStaleProfiles(const fs::path& base) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(base, ec)) {
        std::string name = entry.path().filename().string();
        if (name.rfind(kProfilePrefix, 0) != 0 || !entry.is_directory(ec)) continue;
        long pid = std::strtol(name.c_str() + 6, nullptr, 10);
        if (pid <= 0 || pid == getpid()) continue;
        if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) fs::remove_all(entry.path(), ec);
    }
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
    void NavigateNow(View& v, const std::string& url);
    void HandleEvent(BackendEvents& events, const JsonValue& msg);
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

bool ChromiumBackend::Start(std::string& error) {
    binary_ = FindBrowserBinary(settings_);
    if (binary_.empty()) {
        error = settings_.browserPath.empty()
                    ? std::string("no headless browser installed (looked for ") + kHeadlessShell + " and " + kChromium +
                          "; Debian packages chromium-headless-shell or chromium)"
                    : "the browser " + settings_.browserPath + " is not an executable file";
        return false;
    }
    newHeadless_ = fs::path(binary_).filename().string().find("headless") == std::string::npos;

    fs::path base = settings_.cachePath;
    if (base.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp && *tmp ? tmp : "/tmp";
    }
    RemoveStaleProfiles(base);
    std::string pattern = (base / (std::string(kProfilePrefix) + std::to_string(getpid()) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) {
        error = "cannot make a profile folder under " + base.string() + ": " + std::strerror(errno);
        return false;
    }
    profile_ = pattern;
    if (const char* dir = std::getenv("BZ_PAGE_TEXT_DIR"); dir && *dir) pageTextDir_ = dir;

    // The pages show what the server sends: the browser keeps its sandbox wherever it can have it.
    const std::string sandboxless = SandboxlessReason(geteuid(), ReadSmallFile("/proc/sys/kernel/unprivileged_userns_clone"),
                                                      ReadSmallFile("/proc/sys/user/max_user_namespaces"));
    static std::atomic<bool> sandboxlessLogged{false};
    if (!sandboxless.empty() && !sandboxlessLogged.exchange(true))
        BZ_LOG(LOG_INFO, "ChromiumBackend", "the browser runs without its sandbox: " << sandboxless);

    std::vector<std::string> args = {
        "--headless", "--disable-gpu", "--disable-quic", "--no-first-run",
        "--no-default-browser-check", "--disable-background-networking", "--disable-component-update",
        "--disable-sync", "--disable-extensions", "--disable-default-apps", "--mute-audio", "--password-store=basic",
        // Every page is shown or about to be: none may be slowed down as a background tab.
        "--disable-background-timer-throttling", "--disable-renderer-backgrounding",
        "--disable-backgrounding-occluded-windows",
        // All pages are file:// pages: one renderer for all of them instead of one each.
        "--process-per-site",
        // No network: names do not resolve and anything but loopback goes to a closed local port.
        "--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE localhost", "--proxy-server=127.0.0.1:9",
        "--remote-debugging-pipe", "--user-data-dir=" + profile_.string(),
        // Memory: the compositing (in software, the GPU being off) and the network service run in
        // the browser process instead of two processes of their own.
        "--in-process-gpu", "--enable-features=NetworkServiceInProcess2"};
    if (!sandboxless.empty()) {
        args.insert(args.begin() + 1, "--no-sandbox");
        // Without the sandbox the zygote processes that prepare sandboxed children are not needed.
        args.push_back("--no-zygote");
    }

    int fd = -1;
    if (!process_.Spawn(binary_, args, settings_.browserLogFile, fd, error)) {
        Stop();
        return false;
    }
    started_ = true;
    decoder_ = std::make_unique<FrameDecoderPool>(settings_.decoderThreads, [this] {
        if (wake_) wake_();
    });
    DevToolsPipe::Callbacks callbacks;
    callbacks.onFrame = [this](const std::string& session, std::string message, size_t offset, size_t length) {
        decoder_->Submit(session, std::move(message), offset, length);
    };
    callbacks.onClosed = [this] {
        // A browser that stopped reading is hung: it gets no time to end by itself (the pipe has said why).
        bool hung = pipe_.overflowed();
        deathStatus_ = process_.Reap(hung ? 0 : 2000);
        if (!hung) BZ_LOG(LOG_ERROR, "DevToolsPipe", "the browser closed its pipe (" << process_.exitText() << ")");
        deathKnown_ = true;
    };
    callbacks.onMessages = [this] {
        if (wake_) wake_();
    };
    if (!pipe_.Start(fd, std::move(callbacks), error)) {
        Stop();
        return false;
    }

    std::string version;
    bool answered = false;
    Command("", "Browser.getVersion", JsonValue::object(), [&](const JsonValue& r) {
        answered = true;
        version = Str(Field(r, "result"), "product");
        if (version.empty()) version = "?";
    });
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(settings_.startTimeoutMs);
    while (!answered) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || pipe_.closed()) break;
        pipe_.WaitForMessages(static_cast<int>(left.count()));
        std::vector<JsonValue> msgs;
        pipe_.TakeMessages(msgs);
        for (auto& m : msgs) {
            auto id = m.find("id");
            if (id == m.end() || !id->is_number_integer()) continue;
            auto it = replies_.find(id->get<int64_t>());
            if (it == replies_.end()) continue;
            ReplyFn fn = std::move(it->second);
            replies_.erase(it);
            fn(m);
        }
    }
    if (!answered) {
        if (pipe_.closed()) {
            while (!deathKnown_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            error = binary_ + " ended at start (" + process_.exitText() + ")";
        } else {
            error = binary_ + " did not answer within " + std::to_string(settings_.startTimeoutMs) + " ms";
        }
        Stop();
        return false;
    }
    BZ_LOG(LOG_INFO, "Initialize", "browser " << version << " (" << binary_ << ", pid " << process_.pid() << ")");
    return true;
}

void ChromiumBackend::Stop() {
    if (stopped_) return;
    stopped_ = true;
    pipe_.Stop();  // closing our end makes the browser quit by itself
    decoder_.reset();
    if (started_) process_.Reap(2000);
    if (!profile_.empty()) {
        std::error_code ec;
        fs::remove_all(profile_, ec);
    }
    replies_.clear();
    views_.clear();
    sessions_.clear();
    failedViews_.clear();
}

void ChromiumBackend::Command(const std::string& session, const char* method, JsonValue params, ReplyFn onReply) {
    if (stopped_ || pipe_.closed()) return;
    int64_t id = pipe_.NextId();
    JsonValue msg = {{"id", id}, {"method", method}, {"params", std::move(params)}};
    if (!session.empty()) msg["sessionId"] = session;
    if (onReply) replies_[id] = std::move(onReply);
    pipe_.Send(WriteJson(msg));
}

void ChromiumBackend::Run(int viewId, std::function<void(View&)> op) {
    View* v = Find(viewId);
    if (!v || v->failed) return;
    FlushMove(*v);
    if (v->ready && v->blockers == 0 && v->staged.empty()) {
        op(*v);
    } else {
        v->staged.push_back(std::move(op));
    }
}

void ChromiumBackend::Flush(View& v) {
    while (v.ready && v.blockers == 0 && !v.staged.empty()) {
        auto op = std::move(v.staged.front());
        v.staged.pop_front();
        op(v);
    }
}

void ChromiumBackend::FlushMove(View& v) {
    if (!v.pendingMove) return;
    MouseEvent e = *v.pendingMove;
    v.pendingMove.reset();
    uint32_t m = e.modifiers;
    Command(v.session, "Input.dispatchMouseEvent",
            {{"type", "mouseMoved"}, {"x", e.x}, {"y", e.y}, {"modifiers", CdpModifiers(m)}, {"button", HeldButton(m)},
             {"buttons", CdpButtons(m)}});
}

void ChromiumBackend::CreateView(int viewId, const ViewSetup& setup) {
    View& v = views_[viewId];
    v.id = viewId;
    v.width = setup.width;
    v.height = setup.height;
    v.everyNthFrame = setup.everyNthFrame;
    JsonValue params = {{"url", "about:blank"}};
    if (newHeadless_) {
        // Tabs of one window are not all painted there; each view needs a window of its own.
        params["newWindow"] = true;
        params["width"] = setup.width;
        params["height"] = setup.height;
    }
    Command("", "Target.createTarget", std::move(params), [this, viewId, setup](const JsonValue& r) {
        std::string targetId = Str(Field(r, "result"), "targetId");
        if (targetId.empty()) {
            BZ_LOG(LOG_ERROR, "CreateView", "browser " << viewId << " has no page: " << ErrorText(r));
            SetupFailed(viewId);
            return;
        }
        View* v = Find(viewId);
        if (!v) {  // closed before it existed
            Command("", "Target.closeTarget", {{"targetId", targetId}});
            return;
        }
        v->targetId = targetId;
        Command("", "Target.attachToTarget", {{"targetId", targetId}, {"flatten", true}},
                [this, viewId, setup](const JsonValue& r) {
                    View* v = Find(viewId);
                    std::string session = Str(Field(r, "result"), "sessionId");
                    if (!v || session.empty()) {
                        if (v) BZ_LOG(LOG_ERROR, "CreateView", "cannot attach to browser " << viewId << ": " << ErrorText(r));
                        SetupFailed(viewId);
                        return;
                    }
                    v->session = session;
                    sessions_[session] = viewId;
                    if (decoder_) decoder_->SetViewSize(session, v->width, v->height);
                    // The binding and the page script must be in place before the first document starts.
                    auto left = std::make_shared<int>(7);
                    std::string url = setup.url;
                    ReplyFn step = [this, viewId, left, url](const JsonValue& r) {
                        if (std::string e = ErrorText(r); !e.empty()) BZ_LOG(LOG_ERROR, "CreateView", "set-up step failed: " << e);
                        if (--*left == 0) SetupDone(viewId, url);
                    };
                    Command(session, "Page.enable", JsonValue::object(), step);
                    Command(session, "Runtime.enable", JsonValue::object(), step);
                    Command(session, "Emulation.setDeviceMetricsOverride",
                            {{"width", v->width}, {"height", v->height}, {"deviceScaleFactor", 1}, {"mobile", false}}, step);
                    Command(session, "Emulation.setDefaultBackgroundColorOverride",
                            {{"color", {{"r", 0}, {"g", 0}, {"b", 0}, {"a", 0}}}}, step);
                    // Each page keeps its own focus, as if it were the active window.
                    Command(session, "Emulation.setFocusEmulationEnabled", {{"enabled", true}}, step);
                    Command(session, "Runtime.addBinding", {{"name", kPageBindingName}}, step);
                    Command(session, "Page.addScriptToEvaluateOnNewDocument", {{"source", setup.pageScript}}, step);
                });
    });
}

void ChromiumBackend::SetupDone(int viewId, const std::string& url) {
    View* v = Find(viewId);
    if (!v) return;
    v->ready = true;
    if (!url.empty()) NavigateNow(*v, url);
    Flush(*v);
}

void ChromiumBackend::SetupFailed(int viewId) {
    View* v = Find(viewId);
    if (!v || v->failed) return;
    v->failed = true;
    v->staged.clear();
    v->pendingMove.reset();
    if (!v->targetId.empty()) {  // made but not reachable: no use keeping it in the browser
        Command("", "Target.closeTarget", {{"targetId", v->targetId}});
        v->targetId.clear();
    }
    failedViews_.push_back(viewId);
}

void ChromiumBackend::NavigateNow(View& v, const std::string& url) {
    int id = v.id;
    Command(v.session, "Page.navigate", {{"url", url}}, [this, id, url](const JsonValue& r) {
        std::string e = ErrorText(r);
        if (e.empty()) e = Str(Field(r, "result"), "errorText");
        if (!e.empty()) BZ_LOG(LOG_ERROR, "Navigate", url << ": " << e);
        // The answer comes as the new document takes over.
        View* v = Find(id);
        if (v && !v->navigated) {
            v->navigated = true;
            if (!v->hidden) StartScreencast(*v);
        }
    });
}

void ChromiumBackend::CloseView(int viewId) {
    View* v = Find(viewId);
    if (!v) return;
    if (!v->targetId.empty()) Command("", "Target.closeTarget", {{"targetId", v->targetId}});
    if (!v->session.empty()) {
        sessions_.erase(v->session);
        if (decoder_) decoder_->Forget(v->session);
    }
    views_.erase(viewId);
}

void ChromiumBackend::Navigate(int viewId, const std::string& url) {
    Run(viewId, [this, url](View& v) { NavigateNow(v, url); });
}

void ChromiumBackend::LoadString(int viewId, const std::string& html, const std::string& url) {
    // The text is served as the response for url itself, so the document has that URL and its
    // relative links resolve against it.
    Run(viewId, [this, html, url](View& v) {
        v.pendingDocs[StripFragment(url)] = html;
        JsonValue patterns = JsonValue::array();
        for (const auto& [docUrl, text] : v.pendingDocs) {
            patterns.push_back({{"urlPattern", EscapePattern(docUrl)}, {"requestStage", "Request"}});
        }
        ++v.blockers;
        int id = v.id;
        Command(v.session, "Fetch.enable", {{"patterns", patterns}}, [this, id, url](const JsonValue& r) {
            View* v = Find(id);
            if (!v) return;
            if (std::string e = ErrorText(r); !e.empty()) BZ_LOG(LOG_ERROR, "LoadString", "interception failed: " << e);
            NavigateNow(*v, url);
            --v->blockers;
            Flush(*v);
        });
    });
}

void ChromiumBackend::FetchPaused(View& v, const JsonValue& params) {
    std::string requestId = Str(params, "requestId");
    std::string url = Str(Field(params, "request"), "url");
    auto it = v.pendingDocs.find(StripFragment(url));
    if (it == v.pendingDocs.end()) {
        Command(v.session, "Fetch.continueRequest", {{"requestId", requestId}});
        return;
    }
    Command(v.session, "Fetch.fulfillRequest",
            {{"requestId", requestId},
             {"responseCode", 200},
             {"responseHeaders", JsonValue::array({{{"name", "Content-Type"}, {"value", "text/html; charset=utf-8"}}})},
             {"body", EncodeBase64(it->second)}});
    v.pendingDocs.erase(it);
    if (v.pendingDocs.empty()) Command(v.session, "Fetch.disable", JsonValue::object());
}

void ChromiumBackend::Evaluate(int viewId, const std::string& code) {
    Run(viewId, [this, code](View& v) {
        int id = v.id;
        // void 0 at the end: the statement's value is not wanted, and an object would stay alive in the
        // browser as a remote reference.
        Command(v.session, "Runtime.evaluate", {{"expression", code + "\n;void 0"}}, [id](const JsonValue& r) {
            if (std::string e = ErrorText(r); !e.empty()) {
                BZ_LOG(LOG_ERROR, "ExecuteJavaScript", "browser " << id << ": " << e);
                return;
            }
            const JsonValue& d = Field(Field(r, "result"), "exceptionDetails");
            if (d.is_null()) return;
            std::string what = Str(Field(d, "exception"), "description");
            BZ_LOG(LOG_ERROR, "ExecuteJavaScript", "browser " << id << ": " << (what.empty() ? Str(d, "text") : what));
        });
    });
}

void ChromiumBackend::ReplyToQuery(int viewId, int64_t contextId, int64_t requestId, bool success,
                                   const std::string& text, int errorCode) {
    Run(viewId, [=, this](View& v) {
        std::string expr = std::string("window.") + kPageReplyFunction + " && " + kPageReplyFunction + "(" +
                           std::to_string(requestId) + "," + (success ? "true" : "false") + "," +
                           WriteJson(JsonValue(text)) + "," + std::to_string(errorCode) + ")";
        // Into the document that asked; if it has gone meanwhile the answer has nobody to go to.
        Command(v.session, "Runtime.evaluate", {{"expression", expr}, {"contextId", contextId}});
    });
}

void ChromiumBackend::Resize(int viewId, int width, int height) {
    Run(viewId, [this, width, height](View& v) {
        v.width = width;
        v.height = height;
        if (decoder_ && !v.session.empty()) decoder_->SetViewSize(v.session, width, height);
        int id = v.id;
        // In the full browser's windows the resize's own repaint does not always make it into a
        // frame; a new screencast starts with a frame at the new size. The headless shell needs none.
        Command(v.session, "Emulation.setDeviceMetricsOverride",
                {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}},
                [this, id](const JsonValue&) {
                    View* v = Find(id);
                    if (!v || v->hidden || !newHeadless_) return;
                    StopScreencast(*v);
                    StartScreencast(*v);
                });
    });
}

void ChromiumBackend::SetHidden(int viewId, bool hidden) {
    Run(viewId, [this, hidden](View& v) {
        if (v.hidden == hidden) return;
        v.hidden = hidden;
        // A hidden view sends no frames at all; showing it again starts with a fresh one.
        if (hidden) StopScreencast(v);
        else StartScreencast(v);
    });
}

void ChromiumBackend::Invalidate(int viewId) {
    // A new screencast starts with a frame of the view as it is.
    Run(viewId, [this](View& v) {
        if (v.hidden) return;
        StopScreencast(v);
        StartScreencast(v);
    });
}

void ChromiumBackend::MouseMove(int viewId, const MouseEvent& event, bool) {
    View* v = Find(viewId);
    if (!v || v->failed) return;
    if (v->ready && v->blockers == 0 && v->staged.empty()) {
        v->pendingMove = event;
    } else {
        v->staged.push_back([this, event](View& v) {
            v.pendingMove = event;
            FlushMove(v);
        });
    }
}

void ChromiumBackend::MouseClick(int viewId, const MouseEvent& e, MouseButtonType button, bool up, int clickCount) {
    Run(viewId, [=, this](View& v) {
        int buttons = CdpButtons(e.modifiers);
        buttons = up ? (buttons & ~ButtonBit(button)) : (buttons | ButtonBit(button));
        Command(v.session, "Input.dispatchMouseEvent",
                {{"type", up ? "mouseReleased" : "mousePressed"},
                 {"x", e.x},
                 {"y", e.y},
                 {"modifiers", CdpModifiers(e.modifiers)},
                 {"button", ButtonName(button)},
                 {"buttons", buttons},
                 {"clickCount", std::max(1, clickCount)}});
    });
}

void ChromiumBackend::MouseWheel(int viewId, const MouseEvent& e, int deltaX, int deltaY) {
    Run(viewId, [=, this](View& v) {
        // Positive deltaY here scrolls up; in the page's wheel event positive scrolls down.
        Command(v.session, "Input.dispatchMouseEvent",
                {{"type", "mouseWheel"},
                 {"x", e.x},
                 {"y", e.y},
                 {"modifiers", CdpModifiers(e.modifiers)},
                 {"deltaX", -deltaX},
                 {"deltaY", -deltaY}});
    });
}

void ChromiumBackend::Key(int viewId, const KeyEvent& e) {
    Run(viewId, [this, e](View& v) {
        JsonValue p = {{"modifiers", CdpModifiers(e.modifiers)},
                       {"windowsVirtualKeyCode", e.windowsKeyCode},
                       {"nativeVirtualKeyCode", e.nativeKeyCode},
                       {"isSystemKey", e.isSystemKey}};
        bool keypad = (e.modifiers & EVENTFLAG_IS_KEY_PAD) != 0;
        if (keypad) {
            p["isKeypad"] = true;
            p["location"] = 3;
        }
        if (e.type == KEYEVENT_CHAR) {
            std::u16string units;
            char16_t c = e.character;
            if (c >= 0xD800 && c <= 0xDBFF) {  // the first half of a pair: wait for the second
                v.highSurrogate = c;
                return;
            }
            if (c >= 0xDC00 && c <= 0xDFFF) {
                if (!v.highSurrogate) return;
                units = {v.highSurrogate, c};
            } else {
                units = {c};
            }
            v.highSurrogate = 0;
            std::string text = Utf16ToUtf8(units);
            p["type"] = "char";
            p["text"] = text;
            p["unmodifiedText"] = text;
            p["key"] = text;
        } else {
            DomKey dk = DomKeyFor(e.windowsKeyCode, keypad);
            p["type"] = e.type == KEYEVENT_KEYUP ? "keyUp" : "rawKeyDown";
            p["key"] = Printable(e.character) ? Utf16ToUtf8(std::u16string(1, e.character)) : dk.key;
            if (!dk.code.empty()) p["code"] = dk.code;
        }
        Command(v.session, "Input.dispatchKeyEvent", std::move(p));
    });
}

void ChromiumBackend::InsertText(int viewId, const std::string& utf8) {
    Run(viewId, [this, utf8](View& v) { Command(v.session, "Input.insertText", {{"text", utf8}}); });
}

void ChromiumBackend::Poll(BackendEvents& events) {
    messages_.clear();
    pipe_.TakeMessages(messages_);
    for (auto& m : messages_) {
        auto id = m.find("id");
        if (id != m.end() && id->is_number_integer()) {
            auto it = replies_.find(id->get<int64_t>());
            if (it == replies_.end()) continue;
            ReplyFn fn = std::move(it->second);
            replies_.erase(it);
            fn(m);
            continue;
        }
        HandleEvent(events, m);
    }
    // A view that never came up ends as one whose page died.
    for (int id : failedViews_) {
        if (View* v = Find(id)) Crashed(events, *v);
    }
    failedViews_.clear();

    if (decoder_) {
        frames_.clear();
        decoder_->TakeReady(frames_);
        for (auto& f : frames_) {
            auto s = sessions_.find(f.session);
            View* v = s == sessions_.end() ? nullptr : Find(s->second);
            if (v && !v->hidden) {
                ++v->framesSinceNavigation;
                events.OnViewPainted(v->id, f.pixels.data(), f.width, f.height);
            }
            decoder_->Recycle(std::move(f.pixels));
        }
    }

    auto now = std::chrono::steady_clock::now();
    if (!pageTextDir_.empty() && now >= nextPageTexts_) {
        nextPageTexts_ = now + std::chrono::milliseconds(500);
        WritePageTexts();
    }
    for (auto& [id, v] : views_) {
        FlushMove(v);
        if (v.firstPaintCheck && now >= *v.firstPaintCheck) {
            v.firstPaintCheck.reset();
            if (!v.hidden && v.framesSinceNavigation == 0) {
                StopScreencast(v);
                StartScreencast(v);
            }
        }
    }

    if (deathKnown_ && !deathReported_) {
        deathReported_ = true;
        events.OnBackendDied(deathStatus_);
    }
}

// What every page shows, for a test that drives the program from outside: <page file name>.txt holds
// the page's visible text, <page file name>.controls the page's size ("W H #viewport") and then one
// line per visible control with its centre in page pixels, its id and its text. Files are replaced whole, so a reader never sees half of one.
void ChromiumBackend::WritePageTexts() {
    static const std::pair<const char*, const char*> kProbes[] = {
        {".txt", "document.body ? document.body.innerText : ''"},
        {".controls",
         "innerWidth + ' ' + innerHeight + ' #viewport\\n' +"
         "Array.from(document.querySelectorAll('button,input,a,[data-press]')).map(function (e) {"
         " var r = e.getBoundingClientRect();"
         " if (r.width <= 0 || r.height <= 0 || getComputedStyle(e).visibility === 'hidden') return '';"
         " return Math.round(r.left + r.width / 2) + ' ' + Math.round(r.top + r.height / 2) + ' ' + (e.id || '-') +"
         " ' ' + (e.innerText || e.value || e.title || '').replace(/\\s+/g, ' ').trim();"
         "}).filter(Boolean).join('\\n')"}};
    for (auto& [id, v] : views_) {
        if (v.session.empty() || v.url.empty() || v.failed) continue;
        const std::string name = fs::path(v.url.substr(0, v.url.find_first_of("?#"))).stem().string();
        if (name.empty()) continue;
        for (const auto& [suffix, expression] : kProbes) {
            Command(v.session, "Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}},
                    [file = pageTextDir_ / (name + suffix)](const JsonValue& r) {
                        const JsonValue& value = Field(Field(Field(r, "result"), "result"), "value");
                        if (!value.is_string()) return;
                        fs::path part = file;
                        part += ".part";
                        std::ofstream(part, std::ios::binary) << value.get<std::string>() << '\n';
                        std::error_code ec;
                        fs::rename(part, file, ec);
                    });
        }
    }
}

void ChromiumBackend::HandleEvent(BackendEvents& events, const JsonValue& msg) {
    const std::string method = Str(msg, "method");
    const JsonValue& params = Field(msg, "params");
    if (method == "Target.detachedFromTarget") {
        // Detached without our closing it: the page is gone.
        auto s = sessions_.find(Str(params, "sessionId"));
        if (s != sessions_.end()) {
            if (View* v = Find(s->second)) Crashed(events, *v);
        }
        return;
    }
    auto s = sessions_.find(Str(msg, "sessionId"));
    View* v = s == sessions_.end() ? nullptr : Find(s->second);
    if (!v) return;

    if (method == "Runtime.bindingCalled") {
        if (Str(params, "name") == kPageBindingName) {
            events.OnBindingCalled(v->id, Int(params, "executionContextId"), Str(params, "payload"));
        }
    } else if (method == "Runtime.executionContextCreated") {
        const JsonValue& ctx = Field(params, "context");
        const JsonValue& aux = Field(ctx, "auxData");
        if (Bool(aux, "isDefault") && Str(aux, "frameId") == v->targetId) {
            v->mainContext = Int(ctx, "id");
            events.OnContextCreated(v->id, v->mainContext);
        }
    } else if (method == "Runtime.executionContextDestroyed") {
        if (v->mainContext && Int(params, "executionContextId") == v->mainContext) {
            events.OnContextDestroyed(v->id, v->mainContext);
            v->mainContext = 0;
        }
    } else if (method == "Runtime.executionContextsCleared") {
        if (v->mainContext) events.OnContextDestroyed(v->id, v->mainContext);
        v->mainContext = 0;
    } else if (method == "Page.frameNavigated") {
        const JsonValue& frame = Field(params, "frame");
        if (frame.is_object() && !frame.contains("parentId")) {
            v->framesSinceNavigation = 0;
            v->url = Str(frame, "url");
            events.OnUrlChanged(v->id, Str(frame, "url") + Str(frame, "urlFragment"));
        }
    } else if (method == "Page.loadEventFired") {
        // A page whose first paint the screencast missed would stay blank until it changes; that has
        // been seen only for the first page of a view. Frames are decoded meanwhile, so look a little later.
        if (!v->loadedOnce) {
            v->loadedOnce = true;
            v->firstPaintCheck = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        }
    } else if (method == "Page.navigatedWithinDocument") {
        if (Str(params, "frameId") == v->targetId) events.OnUrlChanged(v->id, Str(params, "url"));
    } else if (method == "Page.frameRequestedNavigation") {
        if (Str(params, "frameId") == v->targetId) {
            events.OnNavigationRequested(v->id, Str(params, "url"));
        }
    } else if (method == "Page.javascriptDialogOpening") {
        // Nobody could answer a dialog off screen, and the page would wait for ever: alerts and
        // leave-page questions are accepted, confirm and prompt declined.
        std::string type = Str(params, "type");
        BZ_LOG(LOG_INFO, "JavaScriptDialog", "browser " << v->id << " " << type << ": " << Str(params, "message"));
        Command(v->session, "Page.handleJavaScriptDialog", {{"accept", type != "confirm" && type != "prompt"}});
    } else if (method == "Fetch.requestPaused") {
        FetchPaused(*v, params);
    } else if (method == "Inspector.targetCrashed") {
        Crashed(events, *v);
    } else if (method == "Runtime.exceptionThrown") {
        if (logWanted(LOG_DEBUG)) {
            const JsonValue& d = Field(params, "exceptionDetails");
            std::string what = Str(Field(d, "exception"), "description");
            BZ_LOG(LOG_DEBUG, "PageError", "browser " << v->id << ": " << (what.empty() ? Str(d, "text") : what));
        }
    } else if (method == "Runtime.consoleAPICalled") {
        if (const JsonValue& args = Field(params, "args"); logWanted(LOG_DEBUG) && args.is_array()) {
            std::string text;
            for (const auto& a : args) {
                if (!text.empty()) text += ' ';
                if (a.is_object() && a.contains("value")) {
                    const JsonValue& value = a["value"];
                    text += value.is_string() ? value.get<std::string>() : WriteJson(value);
                } else {
                    text += Str(a, "description");
                }
            }
            BZ_LOG(LOG_DEBUG, "PageConsole", "browser " << v->id << ": " << text);
        }
    }
}

}  // namespace

std::string FindBrowserBinary(const WebSettings& settings) {
    if (!settings.browserPath.empty()) return access(settings.browserPath.c_str(), X_OK) == 0 ? settings.browserPath : "";
    for (const char* p : {kHeadlessShell, kChromium}) {
        if (access(p, X_OK) == 0) return p;
    }
    return "";
}

std::string SandboxlessReason(unsigned effectiveUid, const std::string& usernsCloneFlag, const std::string& maxUserNamespaces) {
    auto firstWord = [](const std::string& text) { return text.substr(0, text.find_first_of(" \t\r\n")); };
    if (effectiveUid == 0) return "the client runs as root";
    if (firstWord(usernsCloneFlag) == "0" || firstWord(maxUserNamespaces) == "0")
        return "the system allows no user namespaces for it";
    return "";
}

std::unique_ptr<Backend> MakeChromiumBackend(const WebSettings& settings) {
    return std::make_unique<ChromiumBackend>(settings);
}

}  // namespace bzweb
