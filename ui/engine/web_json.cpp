#include "ui/engine/web_json.h"

namespace bzweb {

std::optional<JsonValue> ParseJson(std::string_view text) {
    JsonValue v = JsonValue::parse(text.begin(), text.end(), nullptr, false);
    if (v.is_discarded()) return std::nullopt;
    return v;
}

std::string WriteJson(const JsonValue& value) {
    return value.dump(-1, ' ', false, JsonValue::error_handler_t::replace);
}

}  // namespace bzweb
