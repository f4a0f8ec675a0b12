#include "core/prefs.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <set>

#include "core/cipher.h"
#include "core/log.h"

namespace {

constexpr size_t kBlockSize = 16;
constexpr size_t kLengthFieldSize = 4;

// The receiver thread (named values at login) and the main thread (settings, credentials) both
// save; without this one would overwrite the other's entries.
std::mutex& prefsWriteMutex() {
    static std::mutex mutex;
    return mutex;
}

bool checkFolder(const std::string& prefFolder, const PrefsLogName& log) {
    if (!prefFolder.empty()) return true;
    BZ_LOG(LOG_ERROR, log.operation, "No prefs folder available.");
    return false;
}

// Reads at most `limit` bytes; false when the file cannot be opened.
bool readFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    bytes.clear();
    uint8_t chunk[16384];
    while (bytes.size() < limit) {
        const size_t got = std::fread(chunk, 1, std::min(sizeof chunk, limit - bytes.size()), file);
        if (got == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    std::fclose(file);
    return true;
}

bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= size_t(written);
    }
    return true;
}

// A save writes "prefs.dat.<pid>.XXXXXX" and renames it over "prefs.dat". A process killed in
// between leaves it behind: a full copy of the preferences, saved password included.
bool isDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

bool isTempSuffix(const std::string& text) {
    return text.size() == 6 && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isalnum(c); });
}

// Whether a file of the folder is a temporary file of a save that can no longer finish: one of
// this process (saves are serialised, so none is under way) or of a process that has ended.
bool isStaleTempFile(const std::string& name) {
    const std::string prefix = std::string(kPrefsFileName) + ".";
    if (name.compare(0, prefix.size(), prefix) != 0) return false;
    const std::string rest = name.substr(prefix.size());
    const size_t dot = rest.find('.');
    if (dot == std::string::npos) return isTempSuffix(rest);  // the older name, without the process
    const std::string pid = rest.substr(0, dot);
    if (!isDigits(pid) || pid.size() > 9 || !isTempSuffix(rest.substr(dot + 1))) return false;
    const pid_t owner = pid_t(std::stol(pid));
    return owner == ::getpid() || (::kill(owner, 0) != 0 && errno == ESRCH);
}

// Called with the write lock held.
void removeStaleTempFiles(const std::string& prefFolder) {
    DIR* dir = ::opendir(prefFolder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (isStaleTempFile(name)) ::unlink((prefFolder + name).c_str());
    }
    ::closedir(dir);
}

// The first read of a folder in this run clears what an earlier run left; every save does too.
void removeStaleTempFilesOnce(const std::string& prefFolder) {
    static std::set<std::string> cleared;
    std::lock_guard<std::mutex> lock(prefsWriteMutex());
    if (cleared.insert(prefFolder).second) removeStaleTempFiles(prefFolder);
}

// Writes the block to a fresh file beside `path` and renames it over `path`. Until the rename the
// old file is untouched; on any failure the temporary file is removed.
bool replaceFile(const std::string& path, const std::vector<uint8_t>& block) {
    std::string tempPath = path + "." + std::to_string(::getpid()) + ".XXXXXX";
    const int fd = ::mkstemp(tempPath.data());
    if (fd < 0) return false;
    bool ok = writeAll(fd, block.data(), block.size());
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(tempPath.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tempPath.c_str());
    return ok;
}

// The text of a sealed block that does not unpack: what the whole deciphered blocks hold after
// the length field, up to the stated length. Only whole entries of it are read. A stated length
// that no saved file can have marks bytes that were never a cut file: they give nothing.
std::string cutSealedText(const std::vector<uint8_t>& block) {
    const size_t whole = block.size() / kBlockSize * kBlockSize;
    if (whole <= kLengthFieldSize) return {};
    uint64_t length = 0;
    for (size_t i = 0; i < kLengthFieldSize; ++i) length |= uint64_t(block[i]) << (8 * i);
    if (length + kLengthFieldSize + 1 > kPrefsMaxFileSize) return {};
    const size_t end = size_t(std::min<uint64_t>(whole, kLengthFieldSize + length));
    return std::string(block.begin() + kLengthFieldSize, block.begin() + std::ptrdiff_t(end));
}

// Reads the file into `map`; the caller has checked the folder. `damaged` tells a file that holds
// bytes but does not unpack (cut short, corrupted, too large) from one that is empty.
PrefsRead readEntries(const std::string& prefFolder, KeyValueMap& map, const PrefsLogName& log,
                      bool* damaged = nullptr) {
    map.clear();
    const std::string path = prefsFilePath(prefFolder);
    if (log.openingLines) BZ_LOG(LOG_INFO, log.operation, "Opening file for reading: " << path);
    std::vector<uint8_t> bytes;
    if (!readFileBytes(path, kPrefsMaxFileSize, bytes)) return PrefsRead::NotOpened;
    if (bytes.empty()) return PrefsRead::NoEntries;
    decryptSealedString(bytes, kPrefsKeyText);
    std::string text;
    if (!unpackSealedString(bytes, text)) {
        if (damaged) *damaged = true;
        // A file cut short still holds its first entries whole: the reader takes every entry
        // whose closing quote is there and drops the one the cut runs through.
        // Fault mended: read as empty, a cut file lost every setting still whole in it.
        text = cutSealedText(bytes);
        parseKeyValues(map, text);
        // A password whose user name was cut off belongs to no one and could never be forgotten.
        if (map.count("username") == 0) map.erase("password");
        return map.empty() ? PrefsRead::NoEntries : PrefsRead::Entries;
    }
    parseKeyValues(map, text);
    return map.empty() ? PrefsRead::NoEntries : PrefsRead::Entries;
}

// Rewrites a file with the same key under the same name (created 0600), for a copy that is not
// the preferences file itself.
bool rewriteSealedFile(const std::string& path, const KeyValueMap& map) {
    std::vector<uint8_t> block = packSealedString(writeKeyValues(map, false));
    encryptSealedString(block, kPrefsKeyText);
    return replaceFile(path, block);
}

}  // namespace

std::vector<uint8_t> packSealedString(const std::string& text) {
    const size_t length = text.size();
    const size_t size = (length + kLengthFieldSize + 1 + kBlockSize - 1) / kBlockSize * kBlockSize;
    std::vector<uint8_t> block(size, 0);
    const uint32_t stored = uint32_t(length);
    for (size_t i = 0; i < kLengthFieldSize; ++i) block[i] = uint8_t(stored >> (8 * i));
    std::copy(text.begin(), text.end(), block.begin() + kLengthFieldSize);
    return block;
}

void encryptSealedString(std::vector<uint8_t>& block, const std::string& keyText) {
    if (block.size() < kBlockSize) return;
    const Cipher cipher(keyText);
    for (size_t offset = 0; offset + kBlockSize <= block.size(); offset += kBlockSize)
        cipher.encryptBlock(block.data() + offset);
}

void decryptSealedString(std::vector<uint8_t>& block, const std::string& keyText) {
    if (block.size() < kBlockSize) return;
    const Cipher cipher(keyText);
    for (size_t offset = 0; offset + kBlockSize <= block.size(); offset += kBlockSize)
        cipher.decryptBlock(block.data() + offset);
}

bool unpackSealedString(const std::vector<uint8_t>& block, std::string& text) {
    const size_t size = block.size();
    if (size < kLengthFieldSize) return false;
    uint64_t length = 0;
    for (size_t i = 0; i < kLengthFieldSize; ++i) length |= uint64_t(block[i]) << (8 * i);
    if (length + kLengthFieldSize + 1 > size) return false;
    if (block[kLengthFieldSize + length] != 0) return false;
    // Fault mended: stopping at the first zero byte cut off every entry behind a value holding one.
    const auto begin = block.begin() + kLengthFieldSize;
    text.assign(begin, begin + std::ptrdiff_t(length));
    return true;
}

std::string prefsFilePath(const std::string& prefFolder) { return prefFolder + kPrefsFileName; }

PrefsRead readPrefsFile(const std::string& prefFolder, KeyValueMap& map, const PrefsLogName& log) {
    map.clear();
    if (!checkFolder(prefFolder, log)) return PrefsRead::NoFolder;
    removeStaleTempFilesOnce(prefFolder);
    return readEntries(prefFolder, map, log);
}

bool updatePrefsFile(const std::string& prefFolder, const PrefsLogName& log,
                     const std::function<bool(KeyValueMap&)>& change) {
    if (!checkFolder(prefFolder, log)) return false;
    std::lock_guard<std::mutex> lock(prefsWriteMutex());
    removeStaleTempFiles(prefFolder);
    KeyValueMap map;
    bool damaged = false;
    readEntries(prefFolder, map, log, &damaged);
    if (!change(map)) return false;
    if (damaged) {
        // The new file would hold only this save's entries: the user's others are kept aside.
        const std::string aside = prefsFilePath(prefFolder) + kPrefsDamagedSuffix;
        const bool moved = ::rename(prefsFilePath(prefFolder).c_str(), aside.c_str()) == 0;
        // It may hold the saved password; a file of an older run may have been made readable to all.
        if (moved) ::chmod(aside.c_str(), 0600);
        BZ_LOG(LOG_ERROR, log.operation,
               "Preferences file unreadable" << (moved ? ", moved aside to " + aside : ", could not be moved aside"));
        if (!moved) return false;
    }

    std::vector<uint8_t> block = packSealedString(writeKeyValues(map, false));
    if (block.size() > kPrefsMaxFileSize) {
        // Readers would reject it, and the next save would wipe every entry.
        BZ_LOG(LOG_ERROR, log.operation, "Preferences too large to store: " << block.size() << " bytes");
        return false;
    }
    encryptSealedString(block, kPrefsKeyText);
    const std::string path = prefsFilePath(prefFolder);
    if (log.openingLines) BZ_LOG(LOG_INFO, log.operation, "Opening file for writing: " << path);
    return replaceFile(path, block);
}

void loadCredentials(const std::string& prefFolder, std::string& userName, std::string& password) {
    userName.clear();
    password.clear();
    KeyValueMap map;
    if (readPrefsFile(prefFolder, map, {"loadCredentials"}) != PrefsRead::Entries) return;
    userName = getKeyValue(map, "username");
    password = getKeyValue(map, "password");
}

bool saveCredentials(const std::string& prefFolder, const std::string& userName, const std::string& password) {
    return updatePrefsFile(prefFolder, {"saveCredentials"}, [&](KeyValueMap& map) {
        setKeyValue(map, "username", userName);
        setKeyValue(map, "password", password);
        return true;
    });
}

bool forgetCredentials(const std::string& prefFolder, const std::string& userName) {
    forgetDamagedCredentials(prefFolder);
    std::string storedUser, storedPassword;
    loadCredentials(prefFolder, storedUser, storedPassword);
    if (storedUser != userName) return false;
    return saveCredentials(prefFolder, "", "");
}

void forgetDamagedCredentials(const std::string& prefFolder) {
    if (prefFolder.empty()) return;
    std::lock_guard<std::mutex> lock(prefsWriteMutex());
    const std::string aside = prefsFilePath(prefFolder) + kPrefsDamagedSuffix;
    std::vector<uint8_t> bytes;
    if (!readFileBytes(aside, kPrefsMaxFileSize, bytes) || bytes.empty()) return;
    decryptSealedString(bytes, kPrefsKeyText);
    std::string text;
    const bool whole = unpackSealedString(bytes, text);
    if (!whole) text = cutSealedText(bytes);
    KeyValueMap map;
    parseKeyValues(map, text);
    // The copy is no login of its own: whichever user it names, its credentials go. A cut tail may
    // hold them where they cannot be read, so a cut copy is rewritten from its readable entries.
    const bool holds = !getKeyValue(map, "username").empty() || !getKeyValue(map, "password").empty();
    if (whole && !holds) return;
    if (holds) {
        setKeyValue(map, "username", "");
        setKeyValue(map, "password", "");
    }
    if (!rewriteSealedFile(aside, map)) BZ_LOG(LOG_ERROR, "forgetCredentials", "could not clear the credentials of " << aside);
}

std::string setCredentialsStatement(const std::string& userName, const std::string& password) {
    return "setCredentials({username:\"" + escapeJsString(userName) + "\",password:\"" + escapeJsString(password) +
           "\",});";
}

std::string loadParamPrefs(const std::string& prefFolder, const std::string& name) {
    KeyValueMap map;
    if (readPrefsFile(prefFolder, map, {"loadParamPrefs", false}) != PrefsRead::Entries) return {};
    return getKeyValue(map, name);
}

bool saveParamPrefs(const std::string& prefFolder, const std::string& name, const std::string& value) {
    return updatePrefsFile(prefFolder, {"saveParamPrefs", false}, [&](KeyValueMap& map) {
        setKeyValue(map, name, value);
        return true;
    });
}
