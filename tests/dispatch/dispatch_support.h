// A game controller of its own with the page, sound and log recorders around it and a connection
// handler that names the logged-in user, for the dispatch tests.
#pragma once

#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "net/connection_handler.h"
#include "support/captured_log.h"
#include "support/sound_recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace bztest {

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        previousSink = setPageScriptSink(&pages);
        handler.userName = "Alice";
        connectionHandler = &handler;
        appState = STATE_LOBBY;
    }
    void TearDown() override {
        connectionHandler = nullptr;
        appState = STATE_STARTUP;
        setPageScriptSink(previousSink);
    }

    static Message chat(ChatClass kind, int tableId, const std::string& text1, const std::string& sender = "Bob",
                        int deferrable = 0, uint32_t iid = 77) {
        return Message::initChat(iid, 1, kind, deferrable, sender, tableId, text1, "", "", "", "");
    }

    size_t chatLines(HtmlWindow window) const {
        return pages.statementsStartingWith(window, "inbzAddTextToChat(").size();
    }

    // The log's lines without their time stamps.
    std::vector<std::string> logLines() const {
        std::vector<std::string> lines;
        const std::string text = log.text();
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(start, end - start);
            const size_t at = line.find(": ");
            lines.push_back(at == std::string::npos ? line : line.substr(at + 2));
            start = end + 1;
        }
        return lines;
    }

    CapturedLog log;
    RecordingPageScriptSink pages;
    PageScriptSink* previousSink = nullptr;
    RecordingSoundBank sounds;
    ConnectionHandler handler;
    GameHandler gh;
};

}  // namespace bztest
