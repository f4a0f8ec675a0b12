// The one way every part of the client calls into an HTML page: a JavaScript statement run in the
// main frame of one window. The browser bridge installs the sink that hands statements to the
// engine; until then, and in tests, another sink (or none) takes them.
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

// Receives every statement. Called from any thread (the receiver and lobby-poll threads included),
// so an implementation must be thread-safe and must not wait for the page.
class PageScriptSink {
public:
    virtual ~PageScriptSink() = default;
    virtual void runJavaScript(HtmlWindow window, const std::string& statement) = 0;
};

// Hands the statement to the installed sink; without one it is dropped. No result, no failure.
void runJavaScript(HtmlWindow window, const std::string& statement);

// Installs a sink (nullptr: drop statements) and returns the previous one. The caller keeps the
// sink alive until it has been replaced and no thread can still be inside it.
PageScriptSink* setPageScriptSink(PageScriptSink* sink);

// Keeps every statement in arrival order, for tests and diagnostics.
class RecordingPageScriptSink : public PageScriptSink {
public:
    struct Entry {
        HtmlWindow window;
        std::string statement;
    };

    void runJavaScript(HtmlWindow window, const std::string& statement) override;

    std::vector<Entry> entries() const;
    std::vector<std::string> statementsFor(HtmlWindow window) const;
    // Statements of one window that begin with the prefix.
    std::vector<std::string> statementsStartingWith(HtmlWindow window, const std::string& prefix) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};
