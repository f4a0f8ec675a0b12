// What comes back over the browser's pipe: replies to our commands, the pages' events, decoded
// frames, and the page texts written for a test driving the program from outside.
#include "core/log.h"
#include "ui/engine/chromium_backend_internal.h"

#include <fstream>

namespace bzweb::chromium {

namespace {

// A console call's arguments as one line: their values, or their descriptions for objects.
std::string ConsoleText(const JsonValue& args) {
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
    return text;
}

}  // namespace

void ChromiumBackend::Poll(BackendEvents& events) {
    messages_.clear();
    pipe_.TakeMessages(messages_);
    for (auto& m : messages_)
        if (!DeliverReply(m)) HandleEvent(events, m);
    // A view that never came up ends as one whose page died.
    for (int id : failedViews_) {
        if (View* v = Find(id)) Crashed(events, *v);
    }
    failedViews_.clear();

    PollPaints(events);

    auto now = std::chrono::steady_clock::now();
    if (!pageTextDir_.empty() && now >= nextPageTexts_) {
        nextPageTexts_ = now + std::chrono::milliseconds(500);
        WritePageTexts();
    }
    for (auto& [id, v] : views_) {
        FlushMove(v);
        if (v.firstPaintCheck && now >= *v.firstPaintCheck) {
            v.firstPaintCheck.reset();
            if (v.framesSinceNavigation == 0) RestartScreencast(v);
        }
    }

    if (deathKnown_ && !deathReported_) {
        deathReported_ = true;
        events.OnBackendDied(deathStatus_);
    }
}

void ChromiumBackend::PollPaints(BackendEvents& events) {
    if (!decoder_) return;
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

// What every page shows, for a test that drives the program from outside: <page file name>.txt holds
// the page's visible text, <page file name>.controls the page's size ("W H #viewport") and then one
// line per visible control with its centre in page pixels, its id and its text. Files are replaced
// whole, so a reader never sees half of one.
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

bool ChromiumBackend::DeliverReply(const JsonValue& msg) {
    auto id = msg.find("id");
    if (id == msg.end() || !id->is_number_integer()) return false;
    auto it = replies_.find(id->get<int64_t>());
    if (it == replies_.end()) return true;
    ReplyFn fn = std::move(it->second);
    replies_.erase(it);
    fn(msg);
    return true;
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

    if (method.rfind("Runtime.", 0) == 0) {
        OnRuntimeEvent(events, *v, method, params);
    } else if (method.rfind("Page.", 0) == 0) {
        OnPageEvent(events, *v, method, params);
    } else if (method == "Fetch.requestPaused") {
        FetchPaused(*v, params);
    } else if (method == "Inspector.targetCrashed") {
        Crashed(events, *v);
    }
}

void ChromiumBackend::OnRuntimeEvent(BackendEvents& events, View& v, const std::string& method,
                                     const JsonValue& params) {
    if (method == "Runtime.bindingCalled") {
        if (Str(params, "name") == kPageBindingName) {
            events.OnBindingCalled(v.id, Int(params, "executionContextId"), Str(params, "payload"));
        }
    } else if (method == "Runtime.executionContextCreated") {
        const JsonValue& ctx = Field(params, "context");
        const JsonValue& aux = Field(ctx, "auxData");
        if (Bool(aux, "isDefault") && Str(aux, "frameId") == v.targetId) {
            v.mainContext = Int(ctx, "id");
            events.OnContextCreated(v.id, v.mainContext);
        }
    } else if (method == "Runtime.executionContextDestroyed") {
        if (v.mainContext && Int(params, "executionContextId") == v.mainContext) {
            events.OnContextDestroyed(v.id, v.mainContext);
            v.mainContext = 0;
        }
    } else if (method == "Runtime.executionContextsCleared") {
        if (v.mainContext) events.OnContextDestroyed(v.id, v.mainContext);
        v.mainContext = 0;
    } else if (method == "Runtime.exceptionThrown") {
        if (logWanted(LOG_DEBUG)) {
            const JsonValue& d = Field(params, "exceptionDetails");
            std::string what = Str(Field(d, "exception"), "description");
            BZ_LOG(LOG_DEBUG, "PageError", "browser " << v.id << ": " << (what.empty() ? Str(d, "text") : what));
        }
    } else if (method == "Runtime.consoleAPICalled") {
        if (const JsonValue& args = Field(params, "args"); logWanted(LOG_DEBUG) && args.is_array())
            BZ_LOG(LOG_DEBUG, "PageConsole", "browser " << v.id << ": " << ConsoleText(args));
    }
}

void ChromiumBackend::OnPageEvent(BackendEvents& events, View& v, const std::string& method, const JsonValue& params) {
    if (method == "Page.frameNavigated") {
        const JsonValue& frame = Field(params, "frame");
        if (frame.is_object() && !frame.contains("parentId")) {
            v.framesSinceNavigation = 0;
            v.url = Str(frame, "url");
            events.OnUrlChanged(v.id, Str(frame, "url") + Str(frame, "urlFragment"));
        }
    } else if (method == "Page.loadEventFired") {
        // A page whose first paint the screencast missed would stay blank until it changes; that has
        // been seen only for the first page of a view. Frames are decoded meanwhile, so look a little later.
        if (!v.loadedOnce) {
            v.loadedOnce = true;
            v.firstPaintCheck = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        }
    } else if (method == "Page.navigatedWithinDocument") {
        if (Str(params, "frameId") == v.targetId) events.OnUrlChanged(v.id, Str(params, "url"));
    } else if (method == "Page.frameRequestedNavigation") {
        if (Str(params, "frameId") == v.targetId) {
            events.OnNavigationRequested(v.id, Str(params, "url"));
        }
    } else if (method == "Page.javascriptDialogOpening") {
        // Nobody could answer a dialog off screen, and the page would wait for ever: alerts and
        // leave-page questions are accepted, confirm and prompt declined.
        std::string type = Str(params, "type");
        BZ_LOG(LOG_INFO, "JavaScriptDialog", "browser " << v.id << " " << type << ": " << Str(params, "message"));
        Command(v.session, "Page.handleJavaScriptDialog", {{"accept", type != "confirm" && type != "prompt"}});
    }
}

}  // namespace bzweb::chromium
