// What the engine needs of a browser implementation: the headless browser behind the DevTools pipe,
// or the recording fake that the unit tests use. Everything here runs on the engine's main thread.
#pragma once

#include "ui/engine/ref_counted.h"
#include "ui/engine/web_client.h"
#include "ui/engine/web_types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace bzweb {

// The binding through which the page script reaches the program.
inline constexpr const char* kPageBindingName = "__bzwebQuery";
// The page script's function that delivers answers to queries.
inline constexpr const char* kPageReplyFunction = "__bzwebReply";

struct ViewSetup {
    int width = 1;
    int height = 1;
    std::string url;         // first page; empty: stays blank
    std::string pageScript;  // runs at the start of every document, before the page's own scripts
    int everyNthFrame = 1;   // paint at most every n-th of the browser's 60 frames per second
};

class BackendEvents {
public:
    virtual ~BackendEvents() = default;
    virtual void OnViewPainted(int viewId, const uint8_t* bgra, int width, int height) = 0;
    virtual void OnBindingCalled(int viewId, int64_t contextId, const std::string& payload) = 0;
    virtual void OnContextCreated(int viewId, int64_t contextId) = 0;
    virtual void OnContextDestroyed(int viewId, int64_t contextId) = 0;
    virtual void OnNavigationRequested(int viewId, const std::string& url) = 0;
    virtual void OnUrlChanged(int viewId, const std::string& url) = 0;
    virtual void OnViewCrashed(int viewId) = 0;
    virtual void OnBackendDied(TerminationStatus status) = 0;
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual bool Start(std::string& error) = 0;
    virtual void Stop() = 0;
    // Called from the backend's own threads when Poll would find work.
    virtual void SetWakeUp(std::function<void()> wakeUp) {}

    virtual void CreateView(int viewId, const ViewSetup& setup) = 0;
    virtual void CloseView(int viewId) = 0;
    virtual void Navigate(int viewId, const std::string& url) = 0;
    virtual void LoadString(int viewId, const std::string& html, const std::string& url) = 0;
    virtual void Evaluate(int viewId, const std::string& code) = 0;
    virtual void ReplyToQuery(int viewId, int64_t contextId, int64_t requestId, bool success,
                              const std::string& text, int errorCode) = 0;
    virtual void Resize(int viewId, int width, int height) = 0;
    virtual void SetHidden(int viewId, bool hidden) = 0;
    virtual void Invalidate(int viewId) = 0;
    virtual void MouseMove(int viewId, const MouseEvent& event, bool leave) = 0;
    virtual void MouseClick(int viewId, const MouseEvent& event, MouseButtonType button, bool up, int clickCount) = 0;
    virtual void MouseWheel(int viewId, const MouseEvent& event, int deltaX, int deltaY) = 0;
    virtual void Key(int viewId, const KeyEvent& event) = 0;
    virtual void InsertText(int viewId, const std::string& utf8) = 0;

    // Delivers what has arrived since the last call; never blocks.
    virtual void Poll(BackendEvents& events) = 0;
    // Delivers only the page pixels that have arrived (OnViewPainted); never blocks.
    virtual void PollPaints(BackendEvents& events) {}
    // The browser's process id, 0 when there is none.
    virtual int ProcessId() const { return 0; }
};

// Starts the engine on a given backend (the unit tests' fake).
bool InitializeWithBackend(const WebSettings& settings, RefPtr<WebApp> app, std::unique_ptr<Backend> backend,
                           std::string* error = nullptr);
// The running engine's backend, or null.
Backend* CurrentBackend();

// The script that every document of a browser gets: the page functions of each renderer-side router
// created so far, and the report of unhandled right clicks.
std::string BuildPageScript();

}  // namespace bzweb
