// The one way every part of the client calls into an HTML page: a JavaScript statement run in the
// main frame of one window, or the few inputs no statement can give. The browser bridge installs
// the sink that hands them to the engine; until then, and in tests, another sink (or none) takes them.
#pragma once

#include <mutex>
#include <string>
#include <vector>

enum class HtmlWindow : int {
    Login,
    Lobby,
    StartMatch,
    CoinToss,
    BottomBox,
    TopBox,
    GameSettings,
    BioTut,
    People,
    Invites,
    Tasks,
    MatchStats,
    CueStore,
    Alerts,
    Replays,
};

inline constexpr int HTML_WINDOW_COUNT = 15;

// "Login", "Lobby", ...; "?" for a value outside the fifteen.
const char* htmlWindowName(HtmlWindow window);

// Input a page receives as if from the user, where a script could not act for it.
enum class PageInput : int {
    Paste,         // Ctrl+V pressed and released: the clipboard goes into the focused field
    PointerReset,  // the pointer moved to the page's corner, which ends any hover state
};

// Receives every statement. Called from any thread (the receiver and lobby-poll threads included),
// so an implementation must be thread-safe and must not wait for the page.
class PageScriptSink {
public:
    virtual ~PageScriptSink() = default;
    virtual void runJavaScript(HtmlWindow window, const std::string& statement) = 0;
    // Main thread only; a sink without a browser drops it.
    virtual void sendInput(HtmlWindow window, PageInput input) {}
};

// Hands the statement to the installed sink; without one it is dropped. No result, no failure.
void runJavaScript(HtmlWindow window, const std::string& statement);
// Hands the input to the installed sink, as runJavaScript does.
void sendPageInput(HtmlWindow window, PageInput input);

// Installs a sink (nullptr: drop statements) and returns the previous one. The caller keeps the
// sink alive until it has been replaced and no thread can still be inside it.
PageScriptSink* setPageScriptSink(PageScriptSink* sink);

// Keeps every statement and every input in arrival order, for tests and diagnostics.
class RecordingPageScriptSink : public PageScriptSink {
public:
    struct Entry {
        HtmlWindow window;
        std::string statement;
    };
    struct InputEntry {
        HtmlWindow window;
        PageInput input;
        bool operator==(const InputEntry&) const = default;
    };

    void runJavaScript(HtmlWindow window, const std::string& statement) override;
    void sendInput(HtmlWindow window, PageInput input) override;

    std::vector<Entry> entries() const;
    std::vector<InputEntry> inputs() const;
    std::vector<std::string> statementsFor(HtmlWindow window) const;
    // Statements of one window that begin with the prefix.
    std::vector<std::string> statementsStartingWith(HtmlWindow window, const std::string& prefix) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    std::vector<InputEntry> inputs_;
};
