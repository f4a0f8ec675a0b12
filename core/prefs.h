// The preferences file "prefs.dat": one sealed, enciphered key-value text in the preference folder
// holding the saved credentials, the game settings and the login logic's named values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/text.h"

inline constexpr const char* kPrefsFileName = "prefs.dat";
inline constexpr const char* kPrefsKeyText = "sheet.ini.tag";
// A file that holds bytes but does not read whole is renamed to "prefs.dat.damaged" by the next save.
inline constexpr const char* kPrefsDamagedSuffix = ".damaged";
// Every read takes the whole file up to this size, and no save writes more, so a saved file is
// always read back whole.
inline constexpr size_t kPrefsMaxFileSize = size_t(1) << 20;

// Sealed string: the text's length (u32 little-endian), the text, a zero byte, zero fill up to a
// multiple of 16 bytes (16 for 0..11 text bytes, 32 for 12..27, ...).
std::vector<uint8_t> packSealedString(const std::string& text);
// Encipher or decipher each whole 16-byte block in place; a block shorter than 16 bytes is left
// alone, and so are the bytes behind the last whole block.
void encryptSealedString(std::vector<uint8_t>& block, const std::string& keyText);
void decryptSealedString(std::vector<uint8_t>& block, const std::string& keyText);
// False when the block is shorter than the length field, the stated length does not fit, or the
// byte after the text is not zero. The text is all stated bytes, zero bytes included.
bool unpackSealedString(const std::vector<uint8_t>& block, std::string& text);

// How an operation appears in the log: its name in every line, and whether it writes the
// "Opening file for reading/writing: " lines (the named-value operations do not).
struct PrefsLogName {
    const char* operation;
    bool openingLines = true;
};

enum class PrefsRead {
    NoFolder,   // empty preference folder: logged as an error, nothing read
    NotOpened,  // the file could not be opened (usually: it does not exist yet)
    NoEntries,  // opened, but empty, too short, corrupt or foreign
    Entries,    // the map holds what the file stored
};

// The folder followed by "prefs.dat"; the folder text ends with the path separator.
std::string prefsFilePath(const std::string& prefFolder);

// Fills `map` (emptied first) from the file.
PrefsRead readPrefsFile(const std::string& prefFolder, KeyValueMap& map, const PrefsLogName& log);

// One whole read-change-write of the file, serialised with every other one in the process. The
// map holds the stored entries (none when the file yields nothing); `change` edits it and returns
// false to leave the file as it is. The new file is written beside the old one and renamed over
// it, so a failed or interrupted save leaves the old file whole; temporary files that ended
// processes left are removed (by the first read of a run too). A file that does not unpack is
// moved aside, with one ERROR line, before the new one takes its place. `change` must not call back into
// this store. Returns true when the new file is in place.
bool updatePrefsFile(const std::string& prefFolder, const PrefsLogName& log,
                     const std::function<bool(KeyValueMap&)>& change);

// Clears any credentials from "prefs.dat.damaged", the copy a save keeps of a file it could not
// read whole (forgetCredentials calls it).
void forgetDamagedCredentials(const std::string& prefFolder);
// Both emptied, then set from "username" and "password".
void loadCredentials(const std::string& prefFolder, std::string& userName, std::string& password);
bool saveCredentials(const std::string& prefFolder, const std::string& userName, const std::string& password);
// Stores empty credentials when the stored user name equals `userName`; otherwise the file is
// left untouched (the damaged copy loses its credentials in any case). Returns true when it stored the empty
// credentials.
bool forgetCredentials(const std::string& prefFolder, const std::string& userName);
// The Login page statement that shows saved credentials: setCredentials({username:"…",password:"…",});
std::string setCredentialsStatement(const std::string& userName, const std::string& password);

// A named value of the login logic ("userList", "failedUserList"), or the empty text.
std::string loadParamPrefs(const std::string& prefFolder, const std::string& name);
bool saveParamPrefs(const std::string& prefFolder, const std::string& name, const std::string& value);
