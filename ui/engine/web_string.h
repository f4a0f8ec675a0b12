// Conversions between the UTF-8 text of the layer's interfaces and the UTF-16 units of key events.
#pragma once

#include <string>
#include <string_view>

namespace bzweb {

// False (and out unchanged past what was converted) when the text is not valid UTF-8.
bool Utf8ToUtf16(std::string_view in, std::u16string& out);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view in);

}  // namespace bzweb
