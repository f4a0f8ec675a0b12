#include "core/text.h"

#include <charconv>
#include <locale>
#include <sstream>

namespace {

bool isLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isNameByte(unsigned char c) { return isLetter(c) || (c >= '0' && c <= '9'); }

// The classic locale keeps "." as the decimal point whatever locale the process was given.
template <typename T>
T readNumber(std::string_view text) {
    std::istringstream in{std::string(text)};
    in.imbue(std::locale::classic());
    T value{};
    in >> value;  // on failure the stream stores 0, on overflow the nearest limit
    return value;
}

std::string formatG(double value, int precision) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(precision);
    out << value;
    return out.str();
}

}  // namespace

void parseKeyValues(KeyValueMap& map, const std::string& text) {
    const size_t size = text.size();
    size_t i = 0;
    while (i < size) {
        if (!isLetter(text[i])) {
            ++i;
            continue;
        }
        const size_t nameStart = i;
        while (i < size && isNameByte(text[i])) ++i;
        if (i >= size) return;
        std::string name = text.substr(nameStart, i - nameStart);
        const size_t equals = text.find('=', i);
        if (equals == std::string::npos) return;
        const size_t open = text.find('"', equals + 1);
        if (open == std::string::npos || open + 1 >= size) return;
        std::string raw;
        i = open + 1;
        bool closed = false;
        while (i < size) {
            const char c = text[i];
            if (c == '"') {
                closed = true;
                ++i;
                break;
            }
            raw += c;
            if (c == '\\' && i + 1 < size) raw += text[++i];
            ++i;
        }
        if (!closed) return;
        map[std::move(name)] = unescapeValue(raw);
    }
}

std::string writeKeyValues(const KeyValueMap& map, bool compact) {
    std::string out;
    for (const auto& [name, value] : map) {
        out += name;
        out += compact ? "=\"" : " = \"";
        out += escapeValue(value);
        out += "\";";
        if (!compact) out += '\n';
    }
    return out;
}

std::string getKeyValue(const KeyValueMap& map, const std::string& name) {
    auto it = map.find(name);
    return it == map.end() ? std::string() : it->second;
}

void setKeyValue(KeyValueMap& map, const std::string& name, const std::string& value) { map[name] = value; }

std::string escapeValue(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default: out += c;
        }
    }
    return out;
}

std::string unescapeValue(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        switch (next) {
            case 't': out += '\t'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            default:  // never written; keep both bytes
                out += '\\';
                out += next;
        }
    }
    return out;
}

std::string escapeJsString(std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '\\': out += "\\\\"; continue;
            case '"': out += "\\\""; continue;
            case '\'': out += "\\'"; continue;
            case '\n': out += "\\n"; continue;
            case '\r': out += "\\r"; continue;
            default: break;
        }
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
                    static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
            // U+2028 and U+2029 end a line inside a script, so they cannot stand raw in a literal.
            out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The numbers of server records are mostly plain, and a stream per number made long user lists
// slow: the plain shapes are read directly, anything else as the stream reads it.
int toInt(std::string_view text) {
    const size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
    size_t end = start;
    int value = 0;
    while (end < text.size() && end - start < 9 && text[end] >= '0' && text[end] <= '9') {
        value = value * 10 + (text[end++] - '0');
    }
    // Up to nine digits cannot overflow; what follows them must not be another digit.
    const bool plain = end > start && (end == text.size() || text[end] < '0' || text[end] > '9');
    if (!plain) return readNumber<int>(text);
    return start == 1 ? -value : value;
}

float toFloat(std::string_view text) {
    const size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
    // Only a text that is wholly one decimal number: the stream and from_chars differ on the rest.
    if (start < text.size() && ((text[start] >= '0' && text[start] <= '9') || text[start] == '.')) {
        float value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error == std::errc() && end == text.data() + text.size()) return value;
    }
    return readNumber<float>(text);
}

std::string intToString(int value) { return std::to_string(value); }

std::string floatToString(float value) { return formatG(value, 6); }

std::string floatToExactString(float value) { return formatG(value, 9); }

std::string doubleToExactString(double value) { return formatG(value, 17); }

std::string braceListToJsArray(const std::string& text) {
    if (text.size() < 2 || text.front() != '{' || text.back() != '}') return text;
    return "[" + text.substr(1, text.size() - 2) + "]";
}

std::string escapeHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}
