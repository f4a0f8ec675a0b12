#include "core/page_script.h"

#include <atomic>

namespace {

std::atomic<PageScriptSink*> currentSink{nullptr};

const char* const windowNames[HTML_WINDOW_COUNT] = {
    "Login",  "Lobby",  "StartMatch", "CoinToss",   "BottomBox", "TopBox",  "GameSettings", "BioTut",
    "People", "Invites", "Tasks",     "MatchStats", "CueStore",  "Alerts", "Replays",
};

}  // namespace

const char* htmlWindowName(HtmlWindow window) {
    int index = static_cast<int>(window);
    return index >= 0 && index < HTML_WINDOW_COUNT ? windowNames[index] : "?";
}

void runJavaScript(HtmlWindow window, const std::string& statement) {
    if (PageScriptSink* sink = currentSink.load()) {
        sink->runJavaScript(window, statement);
    }
}

void sendPageInput(HtmlWindow window, PageInput input) {
    if (PageScriptSink* sink = currentSink.load()) {
        sink->sendInput(window, input);
    }
}

PageScriptSink* setPageScriptSink(PageScriptSink* sink) {
    return currentSink.exchange(sink);
}

void RecordingPageScriptSink::runJavaScript(HtmlWindow window, const std::string& statement) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back({window, statement});
}

void RecordingPageScriptSink::sendInput(HtmlWindow window, PageInput input) {
    std::lock_guard<std::mutex> lock(mutex_);
    inputs_.push_back({window, input});
}

std::vector<RecordingPageScriptSink::Entry> RecordingPageScriptSink::entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
}

std::vector<RecordingPageScriptSink::InputEntry> RecordingPageScriptSink::inputs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return inputs_;
}

std::vector<std::string> RecordingPageScriptSink::statementsFor(HtmlWindow window) const {
    return statementsStartingWith(window, "");
}

std::vector<std::string> RecordingPageScriptSink::statementsStartingWith(HtmlWindow window,
                                                                         const std::string& prefix) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> found;
    for (const Entry& entry : entries_) {
        if (entry.window == window && entry.statement.compare(0, prefix.size(), prefix) == 0) {
            found.push_back(entry.statement);
        }
    }
    return found;
}

void RecordingPageScriptSink::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
    inputs_.clear();
}
