// The views of the headless browser: making, navigating and closing them, feeding them documents,
// scripts and sizes, and the mouse and keys.
#include "ui/engine/chromium_backend.h"

#include "core/log.h"
#include "ui/engine/chromium_backend_internal.h"
#include "ui/engine/dom_keys.h"
#include "ui/engine/web_string.h"

#include <algorithm>

namespace bzweb {

namespace chromium {

namespace {

constexpr int kHeadlessShellWindowSide = 16;

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

}  // namespace

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
    } else {
        // The headless shell draws a page at the size its emulation gives it; the window's own
        // surface, which nothing shows, would otherwise hold about 2 MB a page in the browser.
        params["width"] = kHeadlessShellWindowSide;
        params["height"] = kHeadlessShellWindowSide;
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
        // The resize's own repaint does not always make it into a frame (in the full browser's
        // windows often, in the headless shell now and then under load); a new screencast starts
        // with a frame at the new size.
        Command(v.session, "Emulation.setDeviceMetricsOverride",
                {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}},
                [this, id](const JsonValue&) {
                    if (View* v = Find(id)) RestartScreencast(*v);
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
    Run(viewId, [this](View& v) { RestartScreencast(v); });
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

}  // namespace chromium

std::unique_ptr<Backend> MakeChromiumBackend(const WebSettings& settings) {
    return std::make_unique<chromium::ChromiumBackend>(settings);
}

}  // namespace bzweb
