#include "client/gamehandler/page_statements.h"

#include "core/log.h"
#include "core/text.h"

std::string jsQuoted(const std::string& text) { return "'" + escapeJsString(text) + "'"; }

const char* jsFlag(bool value) { return value ? "1" : "0"; }

void runInPages(std::initializer_list<HtmlWindow> windows, const std::string& statement, const char* function) {
    if (function != nullptr) BZ_LOG(LOG_INFO, function, "Sending to js: " << statement);
    for (HtmlWindow window : windows) runJavaScript(window, statement);
}

JsObject& JsObject::number(const char* key, long long value) {
    body_ += std::string(key) + ":" + std::to_string(value) + ",";
    return *this;
}

JsObject& JsObject::text(const char* key, const std::string& value) {
    body_ += std::string(key) + ":" + jsQuoted(value) + ",";
    return *this;
}

JsObject& JsObject::raw(const char* key, const std::string& value) {
    body_ += std::string(key) + ":" + value + ",";
    return *this;
}
