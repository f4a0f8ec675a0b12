// How the game controller and the dispatch write page statements: built once as one text, then run
// in each window named, in the order named, with one "Sending to js: " log line where the caller
// wants the statement logged. Numbers are plain signed decimal, booleans 1 or 0, and every text
// inside a quoted literal goes through escapeJsString. List and object builders put a comma after
// every element, the last one included, as the pages expect.
#pragma once

#include "core/page_script.h"

#include <initializer_list>
#include <string>

// 'text' with the text escaped for the single-quoted literal.
std::string jsQuoted(const std::string& text);
// "1" or "0".
const char* jsFlag(bool value);

// Runs the statement in each window in order; logs it first (once) under the function name when
// function is not null.
void runInPages(std::initializer_list<HtmlWindow> windows, const std::string& statement,
                const char* function = nullptr);

// Builds "name({key:value,key:value,});" or a list "[a,b,]": every entry followed by a comma.
class JsObject {
public:
    JsObject& number(const char* key, long long value);
    JsObject& text(const char* key, const std::string& value);  // escaped and quoted
    JsObject& raw(const char* key, const std::string& value);   // an already safe JavaScript value
    // "{" + entries + "}"
    std::string str() const { return "{" + body_ + "}"; }
    // call + "(" + str() + ");"
    std::string call(const std::string& function) const { return function + "(" + str() + ");"; }

private:
    std::string body_;
};
