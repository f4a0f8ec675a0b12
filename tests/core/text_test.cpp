#include "core/text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <string>

namespace {

// Decodes the body of a JavaScript string literal the way a script engine would. Fails (returns
// false) on anything that would end or break the literal: a raw line terminator or an unescaped
// quote of either kind.
bool decodeJsLiteral(const std::string& body, std::string& out) {
    auto appendUtf8 = [&out](unsigned cp) {
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | cp >> 6);
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xE0 | cp >> 12);
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    };
    auto hexValue = [&body](size_t at, size_t digits, unsigned& value) {
        if (at + digits > body.size()) return false;
        value = 0;
        for (size_t k = 0; k < digits; ++k) {
            char c = body[at + k];
            unsigned d = (c >= '0' && c <= '9') ? unsigned(c - '0')
                         : (c >= 'a' && c <= 'f') ? unsigned(c - 'a' + 10)
                         : (c >= 'A' && c <= 'F') ? unsigned(c - 'A' + 10)
                                                  : 16u;
            if (d == 16) return false;
            value = value * 16 + d;
        }
        return true;
    };
    out.clear();
    for (size_t i = 0; i < body.size(); ++i) {
        unsigned char c = body[i];
        if (c == '\n' || c == '\r' || c == '"' || c == '\'') return false;
        if (c == 0xE2 && i + 2 < body.size() && (unsigned char)body[i + 1] == 0x80 &&
            ((unsigned char)body[i + 2] == 0xA8 || (unsigned char)body[i + 2] == 0xA9))
            return false;
        if (c != '\\') {
            out += char(c);
            continue;
        }
        if (++i >= body.size()) return false;
        unsigned value = 0;
        switch (body[i]) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case '\\': out += '\\'; break;
            case '"': out += '"'; break;
            case '\'': out += '\''; break;
            case 'x':
                if (!hexValue(i + 1, 2, value)) return false;
                out += char(value);
                i += 2;
                break;
            case 'u':
                if (!hexValue(i + 1, 4, value)) return false;
                appendUtf8(value);
                i += 4;
                break;
            default: return false;  // other escapes are not expected from the escaper
        }
    }
    return true;
}

struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

}  // namespace

TEST(KeyValue, EmptyTextAndEmptyMap) {
    KeyValueMap map;
    parseKeyValues(map, "");
    EXPECT_TRUE(map.empty());
    EXPECT_EQ(writeKeyValues(map, false), "");
    EXPECT_EQ(writeKeyValues(map, true), "");
}

TEST(KeyValue, BothFormsInByteOrder) {
    KeyValueMap map;
    setKeyValue(map, "fps", "60");
    setKeyValue(map, "arena", "x");
    setKeyValue(map, "Zeta", "z");  // upper case sorts before lower case
    EXPECT_EQ(writeKeyValues(map, false), "Zeta = \"z\";\narena = \"x\";\nfps = \"60\";\n");
    EXPECT_EQ(writeKeyValues(map, true), "Zeta=\"z\";arena=\"x\";fps=\"60\";");
    setKeyValue(map, "fps", "30");
    EXPECT_EQ(getKeyValue(map, "fps"), "30");
    // A prefix sorts first and high bytes after ASCII.
    KeyValueMap ordered;
    ordered["ab"] = "";
    ordered["a"] = "";
    ordered["a\xC3"] = "";
    auto it = ordered.begin();
    EXPECT_EQ((it++)->first, "a");
    EXPECT_EQ((it++)->first, "ab");
    EXPECT_EQ(it->first, "a\xC3");
}

TEST(KeyValue, EscapedValuesRoundTrip) {
    const std::string nasty = "a\"b\\c\td\ne\rf\\\"\\\\g\\";
    EXPECT_EQ(escapeValue("\t\n\r\"\\"), "\\t\\n\\r\\\"\\\\");
    KeyValueMap map;
    setKeyValue(map, "v", nasty);
    setKeyValue(map, "all", [] {
        std::string s;
        for (int c = 0; c < 256; ++c) s += char(c);
        return s;
    }());
    for (bool compact : {false, true}) {
        KeyValueMap back;
        parseKeyValues(back, writeKeyValues(map, compact));
        EXPECT_EQ(back, map) << compact;
    }
    EXPECT_EQ(unescapeValue("plain text"), "plain text");
    EXPECT_EQ(unescapeValue("\\\\n"), "\\n");   // escaped backslash is not the start of \n
    EXPECT_EQ(unescapeValue("a\\qb\\"), "a\\qb\\");  // unknown pair and lone backslash kept
}

TEST(KeyValue, ReaderToleratesLayout) {
    KeyValueMap map;
    parseKeyValues(map, ";; 12 \"7\" name   =   \"one\";\nsecond=\"two\"");
    EXPECT_EQ(getKeyValue(map, "name"), "one");
    EXPECT_EQ(getKeyValue(map, "second"), "two");
    EXPECT_EQ(map.size(), 2u);

    map.clear();
    parseKeyValues(map, "user_name = \"bob\";");  // cut at the underscore
    EXPECT_EQ(getKeyValue(map, "user"), "bob");
    EXPECT_EQ(map.size(), 1u);

    map.clear();
    parseKeyValues(map, "a = \"1\"; a = \"2\"; a = \"3");
    EXPECT_EQ(getKeyValue(map, "a"), "2");  // the last complete entry wins

    map.clear();
    parseKeyValues(map, "k = junk \"v\";");  // bytes between "=" and the quote are skipped
    EXPECT_EQ(getKeyValue(map, "k"), "v");
}

TEST(KeyValue, TruncatedTextKeepsEarlierEntries) {
    for (const char* text : {"a = \"1\"; b = \"2", "a = \"1\"; b = \"", "a = \"1\"; b", "a = \"1\"; b c d",
                             "a = \"1\"; b = ", "a = \"1\"; b = \"x\\\"", "a = \"1\"; b = \"x\\"}) {
        KeyValueMap map;
        parseKeyValues(map, text);
        EXPECT_EQ(map.size(), 1u) << text;
        EXPECT_EQ(getKeyValue(map, "a"), "1") << text;
    }
}

TEST(KeyValue, GetOfAbsentOrEmpty) {
    KeyValueMap map;
    parseKeyValues(map, "empty = \"\";");
    EXPECT_EQ(map.count("empty"), 1u);
    EXPECT_EQ(getKeyValue(map, "empty"), "");
    EXPECT_EQ(getKeyValue(map, "missing"), "");
    EXPECT_EQ(map.count("missing"), 0u);
}

TEST(JsEscape, QuotesBackslashAndLineEnds) {
    EXPECT_EQ(escapeJsString("a\\b\"c'd\ne\rf"), "a\\\\b\\\"c\\'d\\ne\\rf");
    EXPECT_EQ(escapeJsString("x\xE2\x80\xA8y\xE2\x80\xA9z"), "x\\u2028y\\u2029z");
    EXPECT_EQ(escapeJsString(std::string("\0\x01\t\x1f\x7f", 5)), "\\x00\\x01\\x09\\x1f\\x7f");
    // Other UTF-8 passes through untouched, including truncated look-alikes.
    EXPECT_EQ(escapeJsString("\xC3\xA9\xE2\x80\xA6\xE2\x80"), "\xC3\xA9\xE2\x80\xA6\xE2\x80");
}

TEST(JsEscape, EveryByteSurvivesALiteralInEitherQuote) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += char(c);
    all += "\xE2\x80\xA8\xE2\x80\xA9 \\'\"\\\r\n";
    const std::string escaped = escapeJsString(all);
    for (unsigned char c : escaped) EXPECT_FALSE(c < 0x20 || c == 0x7F) << int(c);
    std::string decoded;
    ASSERT_TRUE(decodeJsLiteral(escaped, decoded));
    EXPECT_EQ(decoded, all);
}

TEST(Numbers, ReadingLikeAStream) {
    EXPECT_EQ(toInt(""), 0);
    EXPECT_EQ(toInt("abc"), 0);
    EXPECT_EQ(toInt("x12"), 0);
    EXPECT_EQ(toInt(" 42"), 42);
    EXPECT_EQ(toInt("-7;"), -7);
    EXPECT_EQ(toInt("12abc"), 12);
    EXPECT_EQ(toInt("+5"), 5);
    EXPECT_EQ(toInt("99999999999"), INT32_MAX);
    EXPECT_EQ(toFloat("59.94"), 59.94f);
    EXPECT_EQ(toFloat(" -1.5e2x"), -150.0f);
    EXPECT_EQ(toFloat(".5"), 0.5f);
    EXPECT_EQ(toFloat(""), 0.0f);
    EXPECT_EQ(toFloat("inf"), 0.0f);
    EXPECT_EQ(toFloat("nan"), 0.0f);
    // Around the shapes read without a stream: the stream's results all the same.
    EXPECT_EQ(toInt("-123456789|"), -123456789);
    EXPECT_EQ(toInt("2147483648"), INT32_MAX);
    EXPECT_EQ(toInt("-0012"), -12);
    EXPECT_EQ(toFloat("-.25"), -0.25f);
    EXPECT_EQ(toFloat("1e"), 0.0f);  // a dangling exponent fails the stream
    EXPECT_EQ(toFloat("1e99"), FLT_MAX);
    EXPECT_EQ(toFloat("0x10"), 0.0f);
    EXPECT_EQ(toFloat("1.5|"), 1.5f);
}

TEST(Numbers, Writing) {
    EXPECT_EQ(intToString(0), "0");
    EXPECT_EQ(intToString(-2147483647 - 1), "-2147483648");
    EXPECT_EQ(floatToString(60.0f), "60");
    EXPECT_EQ(floatToString(59.94f), "59.94");
    EXPECT_EQ(floatToString(0.5f), "0.5");
    EXPECT_EQ(floatToString(1234567.0f), "1.23457e+06");
    EXPECT_EQ(floatToString(0.0001f), "0.0001");
    EXPECT_EQ(floatToString(0.00001f), "1e-05");
    EXPECT_EQ(floatToExactString(0.1f), "0.100000001");
    EXPECT_EQ(doubleToExactString(0.1), "0.10000000000000001");
    EXPECT_EQ(doubleToExactString(-0.0), "-0");
}

TEST(Numbers, ExactFormsReadBackBitIdentical) {
    for (float f : {0.1f, -1.0f / 3.0f, FLT_MAX, -FLT_MAX, FLT_MIN, FLT_TRUE_MIN, 1e-40f, 123456.789f, -0.0f}) {
        const std::string s = floatToExactString(f);
        EXPECT_LE(s.size(), 15u) << s;
        const float back = std::strtof(s.c_str(), nullptr);
        EXPECT_EQ(std::memcmp(&back, &f, sizeof f), 0) << s;
    }
    for (double d : {0.1, -1.0 / 3.0, DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN, -2.2250738585072e-310, 1e300, -0.0}) {
        const std::string s = doubleToExactString(d);
        EXPECT_LE(s.size(), 24u) << s;
        const double back = std::strtod(s.c_str(), nullptr);
        EXPECT_EQ(std::memcmp(&back, &d, sizeof d), 0) << s;
    }
}

TEST(Numbers, IndependentOfTheGlobalLocale) {
    const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    EXPECT_EQ(floatToString(1.5f), "1.5");
    EXPECT_EQ(doubleToExactString(0.25), "0.25");
    EXPECT_EQ(toFloat("2.5"), 2.5f);
    std::locale::global(saved);
}

TEST(BraceList, OnlyTheOuterPair) {
    EXPECT_EQ(braceListToJsArray("{1,{2,3},4}"), "[1,{2,3},4]");
    EXPECT_EQ(braceListToJsArray("{}"), "[]");
    EXPECT_EQ(braceListToJsArray("{"), "{");
    EXPECT_EQ(braceListToJsArray("}"), "}");
    EXPECT_EQ(braceListToJsArray("{a"), "{a");
    EXPECT_EQ(braceListToJsArray("a,b"), "a,b");
    EXPECT_EQ(braceListToJsArray(""), "");
}
