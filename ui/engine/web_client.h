// The interfaces through which the program plugs into the engine: the application object, the
// per-browser client and its handlers. Every operation that a derived class does not override keeps
// the default written here (a getter that returns none, a callback that does nothing or returns
// false). In the program's process every callback runs on the main thread inside DoMessageLoopWork(),
// except OnScheduleMessagePumpWork.
#pragma once

#include "ui/engine/ref_counted.h"
#include "ui/engine/web_browser.h"
#include "ui/engine/web_json.h"
#include "ui/engine/web_types.h"

#include <string>
#include <vector>

namespace bzweb {

// A message between the page side and the program side (the message router's queries).
class ProcessMessage : public virtual RefCounted {
public:
    static RefPtr<ProcessMessage> Create(const std::string& name) { return RefPtr<ProcessMessage>(new ProcessMessage(name)); }
    const std::string& GetName() const { return name_; }
    JsonValue& GetArgumentList() { return args_; }
    const JsonValue& GetArgumentList() const { return args_; }

private:
    explicit ProcessMessage(std::string name) : name_(std::move(name)), args_(JsonValue::object()) {}
    std::string name_;
    JsonValue args_;
};

class BrowserProcessHandler : public virtual RefCounted {
public:
    // The engine has work for the next pump (a page answered, a frame is ready). Called from the
    // engine's own threads too; the caller may ignore it and pump once per frame.
    virtual void OnScheduleMessagePumpWork(int64_t delayMs) {}
};

// The page side. Pages run in the browser's own processes; the engine calls these on the main thread
// when it starts and when a page's main script context comes or goes.
class RenderProcessHandler : public virtual RefCounted {
public:
    virtual void OnWebKitInitialized() {}
    virtual void OnContextCreated(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame) {}
    virtual void OnContextReleased(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame) {}
};

class WebApp : public virtual RefCounted {
public:
    virtual RefPtr<BrowserProcessHandler> GetBrowserProcessHandler() { return nullptr; }
    virtual RefPtr<RenderProcessHandler> GetRenderProcessHandler() { return nullptr; }
};

class RenderHandler : public virtual RefCounted {
public:
    // The view's size (x and y are not used): asked when the browser is created and after WasResized.
    virtual void GetViewRect(RefPtr<WebBrowser> browser, Rect& rect) = 0;
    // The whole view as width x height BGRA pixels, 4 bytes each, top row first, rows packed, with
    // straight (not premultiplied) alpha; 0 where the page draws nothing. dirtyRects is the whole view.
    virtual void OnPaint(RefPtr<WebBrowser> browser, PaintElementType type, const std::vector<Rect>& dirtyRects,
                         const void* buffer, int width, int height) = 0;
};

class LifeSpanHandler : public virtual RefCounted {
public:
    // The browser exists; CreateBrowserSync calls it before it returns.
    virtual void OnAfterCreated(RefPtr<WebBrowser> browser) {}
    // A close that was not forced asks first; false lets the browser close.
    virtual bool DoClose(RefPtr<WebBrowser> browser) { return false; }
    // Last call for the browser; the engine releases the client afterwards.
    virtual void OnBeforeClose(RefPtr<WebBrowser> browser) {}
};

class RequestHandler : public virtual RefCounted {
public:
    // Before the main frame navigates. true cancels a navigation that the program started (LoadURL,
    // LoadString, the first page); a navigation that the page started itself is reported as it begins
    // and cannot be held back.
    virtual bool OnBeforeBrowse(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame, const std::string& url,
                                bool userGesture, bool isRedirect) {
        return false;
    }
    // The page's renderer, or the whole browser behind it, has ended.
    virtual void OnRenderProcessTerminated(RefPtr<WebBrowser> browser, TerminationStatus status) {}
};

// The entries of a context menu. Menus are never shown off screen; a handler sees what would be in it.
class MenuModel {
public:
    explicit MenuModel(std::vector<std::string> labels) : labels_(std::move(labels)) {}
    bool Clear() {
        labels_.clear();
        return true;
    }
    size_t GetCount() const { return labels_.size(); }
    const std::vector<std::string>& Labels() const { return labels_; }

private:
    std::vector<std::string> labels_;
};

class ContextMenuHandler : public virtual RefCounted {
public:
    // A right click the page did not handle itself.
    virtual void OnBeforeContextMenu(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame, MenuModel& model) {}
};

class WebClient : public virtual RefCounted {
public:
    virtual RefPtr<ContextMenuHandler> GetContextMenuHandler() { return nullptr; }
    virtual RefPtr<LifeSpanHandler> GetLifeSpanHandler() { return nullptr; }
    virtual RefPtr<RenderHandler> GetRenderHandler() { return nullptr; }
    virtual RefPtr<RequestHandler> GetRequestHandler() { return nullptr; }
    // Messages from the page side; true when handled (the message router's queries come this way).
    virtual bool OnProcessMessageReceived(RefPtr<WebBrowser> browser, RefPtr<WebFrame> frame, ProcessId sourceProcess,
                                          RefPtr<ProcessMessage> message) {
        return false;
    }
};

}  // namespace bzweb
