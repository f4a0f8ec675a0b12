// Puts arbitrary bytes in place of the preferences file and reads them as every operation does; the
// deciphered sealed string is fuzzed too, so that its length field and text are reached directly.
#include "core/prefs.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// Kept for the whole run (never destroyed, so that the exit handler can still name it), removed at exit.
const std::string& folder() {
    static const std::string* path = [] {
        char pattern[] = "/tmp/bzprefs-fuzz-XXXXXX";
        if (!::mkdtemp(pattern)) std::abort();
        auto* made = new std::string(std::string(pattern) + "/");
        std::atexit([] { std::filesystem::remove_all(folder()); });
        return made;
    }();
    return *path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    std::string text;
    if (unpackSealedString(bytes, text)) {
        KeyValueMap map;
        parseKeyValues(map, text);
    }

    const std::string path = prefsFilePath(folder());
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    KeyValueMap map;
    readPrefsFile(folder(), map, {"fuzz", false});
    std::string user, password;
    loadCredentials(folder(), user, password);
    if (!user.empty()) setCredentialsStatement(user, password);
    loadParamPrefs(folder(), "userList");
    return 0;
}
