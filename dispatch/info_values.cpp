#include "dispatch/info_values.h"

#include "client/gamehandler/game_handler.h"
#include "core/log.h"
#include "core/text.h"

#include <nlohmann/json.hpp>

#include <cctype>

int32_t intAt(const std::vector<int32_t>& list, size_t index, int32_t fallback) {
    return index < list.size() ? list[index] : fallback;
}

const std::string& textAt(const std::vector<std::string>& list, size_t index) {
    static const std::string empty;
    return index < list.size() ? list[index] : empty;
}

bool jsonValue(const std::string& text, const char* what, std::string& out) {
    const nlohmann::json value = nlohmann::json::parse(text, nullptr, false);
    if (value.is_discarded()) {
        BZ_LOG(LOG_ERROR, "processMessage", "Not one JSON value, not shown: " << what);
        return false;
    }
    // Invalid UTF-8 inside a string becomes U+FFFD rather than an exception.
    out = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return true;
}

void runWithJsonValue(HtmlWindow window, const char* function, const std::string& text, const char* what,
                      bool sendingLine) {
    std::string value;
    if (!jsonValue(text, what, value)) return;
    const std::string js = std::string(function) + "(" + value + ");";
    if (sendingLine) logSendingToJs(js);
    runJavaScript(window, js);
}

bool integerList(const std::string& text, const char* what, std::string& out) {
    std::string built;
    size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    };
    skipBlanks();
    if (i == text.size()) {
        out.clear();
        return true;
    }
    while (true) {
        skipBlanks();
        const size_t start = i;
        if (i < text.size() && text[i] == '-') ++i;
        const size_t digits = i;
        while (i < text.size() && i - digits < 10 && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        if (i == digits || (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))) break;
        built.append(text, start, i - start);
        skipBlanks();
        if (i == text.size()) {
            out = built;
            return true;
        }
        if (text[i] != ',') break;
        built += ',';
        ++i;
    }
    BZ_LOG(LOG_ERROR, "processMessage", "Not a list of integers, not shown: " << what);
    return false;
}

void openPanelSlot(GameHandler& gh, PanelSlot& slot, double delaySeconds) {
    slot.visible = true;
    slot.openedAt = gh.now + delaySeconds;
}

void logSendingToJs(const std::string& statement) {
    BZ_LOG(LOG_INFO, "processMessage", "Sending to js: " << statement);
}

std::string quotedItem(const std::string& text) { return "'" + escapeJsString(text) + "',"; }
