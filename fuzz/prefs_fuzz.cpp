// Puts arbitrary bytes in place of the preferences file and reads them as every operation does; the
// deciphered sealed string is fuzzed too, so that its length field and text are reached directly.
#include "core/prefs.h"
#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    std::string text;
    if (unpackSealedString(bytes, text)) {
        KeyValueMap map;
        parseKeyValues(map, text);
    }

    const std::string path = prefsFilePath(fuzzsupport::tempFolder());
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    KeyValueMap map;
    readPrefsFile(fuzzsupport::tempFolder(), map, {"fuzz", false});
    std::string user, password;
    loadCredentials(fuzzsupport::tempFolder(), user, password);
    if (!user.empty()) setCredentialsStatement(user, password);
    loadParamPrefs(fuzzsupport::tempFolder(), "userList");
    return 0;
}
