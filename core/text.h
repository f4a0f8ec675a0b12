// The key-value settings text, the two escapers and the number/text conversions shared by the
// whole client. Free functions over values: no state, safe on any thread.
#pragma once

#include <map>
#include <string>
#include <string_view>

// Name to value, both byte strings, kept in byte-wise (unsigned) order of the names, which is the
// order std::string compares in.
using KeyValueMap = std::map<std::string, std::string>;

// Adds or replaces the entries found in lines of the form  name = "value";  (or the compact
// name="value"; form). Entries complete before a truncation are kept; the unfinished one is dropped.
void parseKeyValues(KeyValueMap& map, const std::string& text);
// The long form puts each entry on its own line; the compact form is one line with no separators.
std::string writeKeyValues(const KeyValueMap& map, bool compact);
// The value, or the empty text when the name is absent.
std::string getKeyValue(const KeyValueMap& map, const std::string& name);
void setKeyValue(KeyValueMap& map, const std::string& name, const std::string& value);

// Escapes tab, newline, carriage return, double quote and backslash for a key-value value.
std::string escapeValue(const std::string& text);
std::string unescapeValue(const std::string& text);

// Makes any text safe inside a double- or single-quoted JavaScript string literal; the page reads
// back exactly the bytes given. Every text the client puts into a quoted literal goes through here.
std::string escapeJsString(std::string_view text);
// Makes a user's text show as plain text where a page inserts it as HTML: & < > " ' as entities.
std::string escapeHtml(const std::string& text);

// Read a leading decimal number as an input stream does (blanks, sign, digits); 0 when none.
int toInt(std::string_view text);
float toFloat(std::string_view text);

std::string intToString(int value);
// Six significant digits, as an output stream's default format writes them ("60", "59.94").
std::string floatToString(float value);
// Round-trip forms ("%.9g" and "%.17g") for position strings that must read back bit-identical.
std::string floatToExactString(float value);
std::string doubleToExactString(double value);

// "{a,{b}}" becomes "[a,{b}]": the server's braced lists as JavaScript arrays. Other texts unchanged.
std::string braceListToJsArray(const std::string& text);
