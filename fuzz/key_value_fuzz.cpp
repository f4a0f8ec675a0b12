// Feeds arbitrary text to the key-value settings reader and checks that what it reads writes, in
// both forms, to text that reads back to the same entries.
#include "core/text.h"
#include "fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using fuzzsupport::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    KeyValueMap map;
    parseKeyValues(map, text);
    for (bool compact : {false, true}) {
        KeyValueMap again;
        parseKeyValues(again, writeKeyValues(map, compact));
        check(again == map);
    }
    check(unescapeValue(escapeValue(text)) == text);
    braceListToJsArray(text);
    escapeJsString(text);
    toInt(text);
    toFloat(text);
    return 0;
}
