// What the INFO handlers share: list reads that never go past the end, server texts that the pages
// take as JavaScript values (checked as JSON first), panels opened at the game clock, and the
// "Sending to js: " line.
#pragma once

#include "core/page_script.h"

#include <cstdint>
#include <string>
#include <vector>

class GameHandler;
struct PanelSlot;

// list[index], or fallback when the list is shorter.
int32_t intAt(const std::vector<int32_t>& list, size_t index, int32_t fallback = 0);
// list[index], or the empty text when the list is shorter.
const std::string& textAt(const std::vector<std::string>& list, size_t index);

// The text read as one JSON value and written back compact into out. A text that is not exactly
// one JSON value is refused with an ERROR line naming what it was (the caller then runs nothing).
bool jsonValue(const std::string& text, const char* what, std::string& out);

// Runs "function(value);" in the window, value being text checked by jsonValue (nothing runs when
// it is refused); with sendingLine, the "Sending to js: " line comes first.
void runWithJsonValue(HtmlWindow window, const char* function, const std::string& text, const char* what,
                      bool sendingLine);

// "n,n,n" of decimal integers only (blanks around them allowed); out gets them without blanks.
// Anything else is refused with an ERROR line.
bool integerList(const std::string& text, const char* what, std::string& out);

// Marks the panel open; it shows delaySeconds of game clock later, once its page has had the call.
void openPanelSlot(GameHandler& gh, PanelSlot& slot, double delaySeconds = 0.6);

// The "Sending to js: " line under processMessage.
void logSendingToJs(const std::string& statement);

// "'text'," with the text through the one escaper.
std::string quotedItem(const std::string& text);
