// A windowless browser: one page rendered off screen, its main frame and the host through which
// the program resizes, shows, hides and repaints it and sends it input.
//
// Every operation here may be called from any thread. It is queued and carried out in order during
// the next DoMessageLoopWork() on the main thread (or at the end of the current one when called from
// inside it), so a statement run from the connection thread and a click from the main thread reach
// the page in the order they were made. Method names follow the engine interface that the interface
// code was written against.
#pragma once

#include "ui/engine/ref_counted.h"
#include "ui/engine/web_types.h"

#include <mutex>
#include <string>

namespace bzweb {

class WebBrowser;
class WebClient;

class WebFrame : public virtual RefCounted {
public:
    // Shows the HTML text as the document at url (relative links resolve against url; no file need
    // exist there).
    void LoadString(const std::string& html, const std::string& url);
    void LoadURL(const std::string& url);
    // Runs a statement in the page; nothing comes back. A statement that throws is only logged.
    void ExecuteJavaScript(const std::string& code, const std::string& scriptUrl, int startLine);
    // The URL of the current document ("about:blank" before the first one).
    std::string GetURL() const;
    bool IsMain() const { return true; }
    // Null once the browser is gone.
    RefPtr<WebBrowser> GetBrowser() const;

private:
    friend class WebBrowser;
    friend class WebEngineAccess;
    explicit WebFrame(int browserId) : browserId_(browserId) {}

    const int browserId_;
    mutable std::mutex mutex_;
    std::string url_ = "about:blank";
    WebBrowser* browser_ = nullptr;  // cleared when the browser goes
};

class WebBrowserHost : public virtual RefCounted {
public:
    // Creates a windowless browser on url at once; the page itself comes up asynchronously, and
    // everything asked of it meanwhile waits for it. Null when the engine is not running.
    static RefPtr<WebBrowser> CreateBrowserSync(const WindowInfo& windowInfo, RefPtr<WebClient> client,
                                                const std::string& url, const BrowserSettings& settings);

    RefPtr<WebBrowser> GetBrowser() const;
    RefPtr<WebClient> GetClient() const;
    void CloseBrowser(bool forceClose);

    // The engine asks the render handler's GetViewRect for the new size.
    void WasResized();
    // A hidden browser does not paint; showing it again paints it at once.
    void WasHidden(bool hidden);
    // Repaints the whole view even if nothing changed.
    void Invalidate(PaintElementType type);

    void SendKeyEvent(const KeyEvent& event);
    void SendMouseClickEvent(const MouseEvent& event, MouseButtonType type, bool mouseUp, int clickCount);
    void SendMouseMoveEvent(const MouseEvent& event, bool mouseLeave);
    // Positive deltaY scrolls up, as a wheel turned away from the user.
    void SendMouseWheelEvent(const MouseEvent& event, int deltaX, int deltaY);

private:
    friend class WebBrowser;
    friend class WebEngineAccess;
    explicit WebBrowserHost(int browserId) : browserId_(browserId) {}

    const int browserId_;
    mutable std::mutex mutex_;
    WebBrowser* browser_ = nullptr;
};

class WebBrowser : public virtual RefCounted {
public:
    RefPtr<WebBrowserHost> GetHost() const { return host_; }
    RefPtr<WebFrame> GetMainFrame() const { return frame_; }
    int GetIdentifier() const { return id_; }
    bool IsSame(const RefPtr<WebBrowser>& other) const { return other && other->id_ == id_; }

private:
    friend class WebEngineAccess;
    friend class WebBrowserHost;
    WebBrowser(int id, RefPtr<WebClient> client);
    ~WebBrowser() override;

    const int id_;
    RefPtr<WebFrame> frame_;
    RefPtr<WebBrowserHost> host_;
    mutable std::mutex mutex_;
    RefPtr<WebClient> client_;  // released when the browser closes
};

}  // namespace bzweb
