// JSON values as the interface code reads and writes them (requests from the pages, answers).
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace bzweb {

using JsonValue = nlohmann::json;

// No value for text that is not one complete JSON document; never throws.
std::optional<JsonValue> ParseJson(std::string_view text);
// Compact text; invalid UTF-8 in strings becomes U+FFFD instead of failing.
std::string WriteJson(const JsonValue& value);

}  // namespace bzweb
