#include "core/prefs.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/log.h"
#include "support/captured_log.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

// The text sealed in a file, deciphered without the store's reader.
std::string storedText(const fs::path& p) {
    Bytes bytes = readBytes(p);
    decryptSealedString(bytes, kPrefsKeyText);
    std::string text;
    EXPECT_TRUE(unpackSealedString(bytes, text));
    return text;
}

ino_t inodeOf(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_ino;
}

class PrefsTest : public ::testing::Test {
protected:
    fs::path prefs() const { return dir / "prefs.dat"; }
    std::string logText() const { return log.text(); }
    KeyValueMap stored() const {
        KeyValueMap map;
        readPrefsFile(folder, map, {"test", false});
        return map;
    }
    size_t filesInFolder() const {
        size_t count = 0;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().filename().string().rfind("prefs.dat", 0) == 0) ++count;
        return count;
    }

    bztest::CapturedLog log{"bzprefs"};
    const fs::path& dir = log.dir();
    const std::string folder = log.folder();
};

}  // namespace

TEST(SealedString, PacksToWholeBlocksWithLengthAndTerminator) {
    const Bytes eleven = packSealedString("hello world");
    ASSERT_EQ(eleven.size(), 16u);
    EXPECT_EQ(Bytes(eleven.begin(), eleven.begin() + 4), (Bytes{11, 0, 0, 0}));
    EXPECT_EQ(std::string(eleven.begin() + 4, eleven.begin() + 15), "hello world");
    EXPECT_EQ(eleven[15], 0);

    const Bytes twelve = packSealedString("hello world!");
    ASSERT_EQ(twelve.size(), 32u);
    EXPECT_EQ(twelve[0], 12);
    EXPECT_EQ(Bytes(twelve.begin() + 16, twelve.end()), Bytes(16, 0));

    EXPECT_EQ(packSealedString(""), Bytes(16, 0));
    EXPECT_EQ(packSealedString(std::string(27, 'x')).size(), 32u);
    EXPECT_EQ(packSealedString(std::string(28, 'x')).size(), 48u);
    EXPECT_EQ(packSealedString(std::string(300, 'x'))[1], 1);  // 300 = 0x12c, little-endian
}

TEST(SealedString, UnpackRejectsWhatDoesNotFit) {
    std::string text = "unchanged";
    EXPECT_FALSE(unpackSealedString(Bytes{}, text));
    EXPECT_FALSE(unpackSealedString(Bytes{0, 0, 0}, text));
    EXPECT_FALSE(unpackSealedString(Bytes{0, 0, 0, 0}, text));        // no room for the terminator
    EXPECT_FALSE(unpackSealedString(Bytes{2, 0, 0, 0, 'a', 'b'}, text));
    EXPECT_FALSE(unpackSealedString(Bytes{1, 0, 0, 0, 'a', 'b'}, text));  // terminator not zero
    Bytes huge(16, 0);
    huge[0] = huge[1] = huge[2] = huge[3] = 0xFF;  // length near 2^32 must not wrap around
    EXPECT_FALSE(unpackSealedString(huge, text));
    EXPECT_EQ(text, "unchanged");

    EXPECT_TRUE(unpackSealedString(Bytes{0, 0, 0, 0, 0}, text));
    EXPECT_EQ(text, "");
    const std::string withZero("a\0b", 3);
    EXPECT_TRUE(unpackSealedString(packSealedString(withZero), text));
    EXPECT_EQ(text, withZero);
}

TEST(SealedString, CiphersOnlyWholeBlocks) {
    Bytes shortBlock = {1, 2, 3, 4, 5};
    encryptSealedString(shortBlock, kPrefsKeyText);
    EXPECT_EQ(shortBlock, (Bytes{1, 2, 3, 4, 5}));

    Bytes block = packSealedString("hello world!");
    block.push_back(0xAB);  // a tail behind the last whole block
    const Bytes plain = block;
    encryptSealedString(block, kPrefsKeyText);
    EXPECT_NE(Bytes(block.begin(), block.begin() + 16), Bytes(plain.begin(), plain.begin() + 16));
    EXPECT_EQ(block.back(), 0xAB);
    decryptSealedString(block, kPrefsKeyText);
    EXPECT_EQ(block, plain);
}

TEST_F(PrefsTest, FileIsExactlyTheEncipheredBlock) {
    // Expected bytes computed with an independent XXTEA over the SHA-256 key of "sheet.ini.tag".
    ASSERT_TRUE(saveParamPrefs(folder, "abc", "d"));  // text: abc = "d";\n  (11 bytes)
    EXPECT_EQ(readBytes(prefs()), (Bytes{0x04, 0xe4, 0x91, 0xdc, 0x86, 0xc0, 0x62, 0xe1, 0x4e, 0x61, 0x08, 0xb4,
                                         0xf3, 0xa1, 0xc7, 0xb1}));
    EXPECT_EQ(loadParamPrefs(folder, "abc"), "d");

    fs::remove(prefs());
    ASSERT_TRUE(saveParamPrefs(folder, "abcd", "e"));  // 12 bytes: two blocks
    EXPECT_EQ(readBytes(prefs()),
              (Bytes{0x21, 0x0e, 0xd7, 0xab, 0xa0, 0xc0, 0xbd, 0xcd, 0x08, 0x8e, 0xb5, 0x30, 0x85, 0x4a, 0x4a, 0xbb,
                     0xc4, 0x5e, 0x77, 0x7e, 0x90, 0x64, 0x37, 0x7c, 0x9b, 0xd6, 0x65, 0x27, 0x6a, 0x32, 0xac, 0x34}));
    EXPECT_EQ(loadParamPrefs(folder, "abcd"), "e");

    fs::remove(prefs());
    ASSERT_TRUE(updatePrefsFile(folder, {"test"}, [](KeyValueMap&) { return true; }));  // the empty text
    EXPECT_EQ(readBytes(prefs()), (Bytes{0xc4, 0x5e, 0x77, 0x7e, 0x90, 0x64, 0x37, 0x7c, 0x9b, 0xd6, 0x65, 0x27,
                                         0x6a, 0x32, 0xac, 0x34}));
    KeyValueMap map;
    EXPECT_EQ(readPrefsFile(folder, map, {"test"}), PrefsRead::NoEntries);
}

TEST_F(PrefsTest, CredentialsRoundTripAndKeepOtherEntries) {
    std::string user = "x", password = "y";
    loadCredentials(folder, user, password);
    EXPECT_EQ(user, "");
    EXPECT_EQ(password, "");
    EXPECT_FALSE(fs::exists(prefs()));

    const std::string tricky = "a\"b\\c\nd";
    ASSERT_TRUE(saveCredentials(folder, "me", tricky));
    EXPECT_EQ(storedText(prefs()), "password = \"a\\\"b\\\\c\\nd\";\nusername = \"me\";\n");
    loadCredentials(folder, user, password);
    EXPECT_EQ(user, "me");
    EXPECT_EQ(password, tricky);
    EXPECT_EQ(setCredentialsStatement(user, password),
              "setCredentials({username:\"me\",password:\"a\\\"b\\\\c\\nd\",});");
    EXPECT_EQ(setCredentialsStatement("", ""), "setCredentials({username:\"\",password:\"\",});");

    ASSERT_TRUE(saveParamPrefs(folder, "userList", "me,you"));
    loadCredentials(folder, user, password);
    EXPECT_EQ(user, "me");
    EXPECT_EQ(loadParamPrefs(folder, "userList"), "me,you");
    EXPECT_EQ(loadParamPrefs(folder, "failedUserList"), "");
}

TEST_F(PrefsTest, ForgetOnlyTheStoredUser) {
    ASSERT_TRUE(saveCredentials(folder, "me", "pw"));
    const Bytes before = readBytes(prefs());
    const ino_t inode = inodeOf(prefs());
    EXPECT_FALSE(forgetCredentials(folder, "someoneElse"));
    EXPECT_EQ(inodeOf(prefs()), inode);  // not rewritten
    EXPECT_EQ(readBytes(prefs()), before);

    EXPECT_TRUE(forgetCredentials(folder, "me"));
    const KeyValueMap map = stored();
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map.at("username"), "");
    EXPECT_EQ(map.at("password"), "");
    EXPECT_TRUE(forgetCredentials(folder, ""));  // both empty count as equal
}

TEST_F(PrefsTest, LogLinesCarryTheOperationName) {
    saveCredentials(folder, "me", "pw");
    std::string user, password;
    loadCredentials(folder, user, password);
    saveParamPrefs(folder, "userList", "me");
    loadParamPrefs(folder, "userList");
    const std::string path = folder + "prefs.dat";
    const std::string log = logText();
    EXPECT_NE(log.find(": saveCredentials: Opening file for reading: " + path + "\n"), std::string::npos);
    EXPECT_NE(log.find(": saveCredentials: Opening file for writing: " + path + "\n"), std::string::npos);
    EXPECT_NE(log.find(": loadCredentials: Opening file for reading: " + path + "\n"), std::string::npos);
    EXPECT_EQ(log.find("ParamPrefs"), std::string::npos);

    // Without a folder every operation reports it and touches nothing.
    EXPECT_FALSE(saveParamPrefs("", "a", "b"));
    EXPECT_EQ(loadParamPrefs("", "a"), "");
    EXPECT_FALSE(saveCredentials("", "a", "b"));
    EXPECT_FALSE(fs::exists("prefs.dat"));
    const std::string after = logText();
    EXPECT_NE(after.find(": saveParamPrefs: ERROR: No prefs folder available.\n"), std::string::npos);
    EXPECT_NE(after.find(": loadParamPrefs: ERROR: No prefs folder available.\n"), std::string::npos);
    EXPECT_NE(after.find(": saveCredentials: ERROR: No prefs folder available.\n"), std::string::npos);
}

TEST_F(PrefsTest, DamagedFilesReadAsEmptyAndAreReplacedByValidOnes) {
    ASSERT_TRUE(saveParamPrefs(folder, "userList", std::string(40, 'u')));
    const Bytes valid = readBytes(prefs());
    ASSERT_EQ(valid.size(), 64u);

    Bytes garbage(64);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 37 + 11);
    const std::vector<std::pair<std::string, std::string>> damaged = {
        {"empty", ""},
        {"three bytes", "abc"},
        {"truncated", std::string(valid.begin(), valid.begin() + 32)},
        {"odd tail", std::string(valid.begin(), valid.begin() + 40)},
        {"plain text", "username = \"me\";\npassword = \"pw\";\n"},
        {"garbage", std::string(garbage.begin(), garbage.end())},
    };
    for (const auto& [label, bytes] : damaged) {
        SCOPED_TRACE(label);
        writeBytes(prefs(), bytes);
        KeyValueMap map;
        EXPECT_EQ(readPrefsFile(folder, map, {"test"}), PrefsRead::NoEntries);
        EXPECT_TRUE(map.empty());
        EXPECT_EQ(loadParamPrefs(folder, "userList"), "");
        ASSERT_TRUE(saveParamPrefs(folder, "failedUserList", "x"));
        EXPECT_EQ(stored(), (KeyValueMap{{"failedUserList", "x"}}));
    }
    fs::remove(prefs());
    KeyValueMap map;
    EXPECT_EQ(readPrefsFile(folder, map, {"test"}), PrefsRead::NotOpened);
}

TEST_F(PrefsTest, LargeFilesAreReadWholeAndOversizedSavesRefused) {
    // Far beyond 16 KiB: still read whole, so the next save keeps every entry.
    const std::string big(100000, 'b');
    ASSERT_TRUE(saveParamPrefs(folder, "big", big));
    ASSERT_TRUE(saveParamPrefs(folder, "small", "s"));
    EXPECT_EQ(loadParamPrefs(folder, "big"), big);
    EXPECT_EQ(loadParamPrefs(folder, "small"), "s");

    const Bytes before = readBytes(prefs());
    EXPECT_FALSE(saveParamPrefs(folder, "huge", std::string(kPrefsMaxFileSize, 'h')));
    EXPECT_EQ(readBytes(prefs()), before);
    EXPECT_EQ(filesInFolder(), 1u);
    EXPECT_NE(logText().find("saveParamPrefs: ERROR: Preferences too large to store"), std::string::npos);
}

TEST_F(PrefsTest, InterruptedSavesLeaveTheOldFileWhole) {
    ASSERT_TRUE(saveCredentials(folder, "me", "pw"));
    const Bytes before = readBytes(prefs());

    // A temporary file left behind by a crash before the rename changes nothing.
    writeBytes(dir / "prefs.dat.Ab12Cd", "half a fi");
    std::string user, password;
    loadCredentials(folder, user, password);
    EXPECT_EQ(user, "me");
    ASSERT_TRUE(saveParamPrefs(folder, "userList", "me"));
    EXPECT_EQ(stored().size(), 3u);
    fs::remove(dir / "prefs.dat.Ab12Cd");

    // A write that fails part-way (here: the file size limit) leaves the old file and no debris.
    const Bytes beforeFailure = readBytes(prefs());
    rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = saveParamPrefs(folder, "failedUserList", std::string(10000, 'f'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(readBytes(prefs()), beforeFailure);
    EXPECT_EQ(loadParamPrefs(folder, "userList"), "me");
    EXPECT_EQ(filesInFolder(), 1u);
    EXPECT_NE(before, beforeFailure);
}

// The preferences' temporary files in the folder (names that start with "prefs.dat." but are not
// the file kept aside).
size_t tempFilesIn(const fs::path& dir) {
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("prefs.dat.", 0) == 0 && name != std::string("prefs.dat") + kPrefsDamagedSuffix) ++count;
    }
    return count;
}

TEST_F(PrefsTest, SavesKilledMidWayLeaveNoTemporaryFileAfterTheNextStart) {
    ASSERT_TRUE(saveCredentials(folder, "me", "secret"));
    int leftBehind = 0;
    for (int attempt = 0; attempt < 50; ++attempt) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) saveParamPrefs(folder, "userList", std::string(200000 + i, 'u'));
        }
        ::usleep(useconds_t(1000 + attempt * 150));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        if (tempFilesIn(dir) > 0) ++leftBehind;
    }
    RecordProperty("killsThatLeftATemporaryFile", leftBehind);
    // The first read of the next run clears what the killed saves left; the file itself is whole.
    std::string user, password;
    loadCredentials(folder, user, password);
    EXPECT_EQ(user, "me");
    EXPECT_EQ(tempFilesIn(dir), 0u);

    // A save clears them too, but not one of a process that is still running.
    const std::string mine = "prefs.dat." + std::to_string(::getpid()) + ".Ab12Cd";
    const std::string ended = "prefs.dat.999999999.Xy34Zw";  // above any process number Linux gives
    const std::string running = "prefs.dat.1.Qr56St";        // the init process
    for (const std::string& name : {mine, ended, running, std::string("prefs.dat.Ab12Cd")}) writeBytes(dir / name, "copy");
    ASSERT_TRUE(saveParamPrefs(folder, "failedUserList", "x"));
    EXPECT_EQ(tempFilesIn(dir), 1u);
    EXPECT_TRUE(fs::exists(dir / running));
}

// A file cut at any byte keeps every entry that lies whole in its deciphered blocks, through the
// read and through the next save, which keeps the cut file aside, readable by its owner only.
TEST_F(PrefsTest, ACutFileKeepsItsWholeEntriesAndIsKeptAsideBeforeTheNextSave) {
    for (int i = 0; i < 23; ++i) ASSERT_TRUE(saveParamPrefs(folder, "entry" + std::to_string(i + 10), "value" + std::to_string(i)));
    const Bytes whole = readBytes(prefs());
    const std::string text = storedText(prefs());
    const fs::path aside = dir / (std::string("prefs.dat") + kPrefsDamagedSuffix);
    for (size_t cutAt = 0; cutAt < whole.size(); ++cutAt) {
        SCOPED_TRACE("cut at " + std::to_string(cutAt));
        const Bytes cut(whole.begin(), whole.begin() + std::ptrdiff_t(cutAt));
        writeBytes(prefs(), std::string(cut.begin(), cut.end()));
        // Entries whose closing quote lies in a whole block (the text starts after 4 length bytes).
        const size_t readable = cutAt / 16 * 16;
        KeyValueMap expected;
        for (int i = 0; i < 23; ++i) {
            const std::string entry = "entry" + std::to_string(i + 10) + " = \"value" + std::to_string(i) + "\"";
            if (4 + text.find(entry) + entry.size() <= readable) expected["entry" + std::to_string(i + 10)] = "value" + std::to_string(i);
        }
        EXPECT_EQ(stored(), expected);
        ASSERT_TRUE(saveParamPrefs(folder, "userList", "me"));
        expected["userList"] = "me";
        EXPECT_EQ(stored(), expected);
        if (!cut.empty()) {
            EXPECT_EQ(readBytes(aside), cut);
            struct stat st {};
            ASSERT_EQ(::stat(aside.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0600u);
            fs::remove(aside);
        }
    }
    EXPECT_GE(log.count("saveParamPrefs: ERROR: Preferences file unreadable, moved aside to "), 1);
}

// The password must not outlive its forgetting in any copy, and no copy is readable by others.
TEST_F(PrefsTest, ForgettingClearsTheDamagedCopyTooAndEveryCopyIsTheOwnersOnly) {
    ::umask(022);
    ASSERT_TRUE(saveCredentials(folder, "ann", "s3cret"));
    ASSERT_TRUE(saveParamPrefs(folder, "userList", "ann"));
    ASSERT_TRUE(saveParamPrefs(folder, "zzLast", std::string(40, 'z')));  // the entry the cut runs through
    struct stat st {};
    ASSERT_EQ(::stat(prefs().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    Bytes bytes = readBytes(prefs());
    writeBytes(prefs(), std::string(bytes.begin(), bytes.end() - 1));
    ::chmod(prefs().c_str(), 0644);  // as an older run may have left it
    ASSERT_TRUE(saveParamPrefs(folder, "failedUserList", "x"));
    const fs::path aside = dir / (std::string("prefs.dat") + kPrefsDamagedSuffix);
    ASSERT_EQ(::stat(aside.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    EXPECT_TRUE(forgetCredentials(folder, "ann"));
    for (const fs::path& copy : {prefs(), aside}) {
        SCOPED_TRACE(copy.string());
        Bytes b = readBytes(copy);
        decryptSealedString(b, kPrefsKeyText);
        const std::string plain(b.begin(), b.end());
        EXPECT_EQ(plain.find("s3cret"), std::string::npos);
        ASSERT_EQ(::stat(copy.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    EXPECT_EQ(loadParamPrefs(folder, "userList"), "ann");
}

TEST_F(PrefsTest, ValueWithZeroByteKeepsItselfAndLaterEntries) {
    const std::string withZero("ab\0cd", 5);
    ASSERT_TRUE(saveParamPrefs(folder, "a", withZero));
    ASSERT_TRUE(saveParamPrefs(folder, "b", "after"));
    EXPECT_EQ(loadParamPrefs(folder, "a"), withZero);
    EXPECT_EQ(loadParamPrefs(folder, "b"), "after");
}

TEST_F(PrefsTest, UpdateCanDeclineToWrite) {
    EXPECT_FALSE(updatePrefsFile(folder, {"test"}, [](KeyValueMap&) { return false; }));
    EXPECT_FALSE(fs::exists(prefs()));
}

TEST_F(PrefsTest, ConcurrentSavesLoseNoEntries) {
    constexpr int kPerThread = 40;
    auto saver = [this](const std::string& prefix) {
        for (int i = 0; i < kPerThread; ++i) saveParamPrefs(folder, prefix + std::to_string(i), "v" + std::to_string(i));
    };
    std::thread receiver(saver, "recv");
    std::thread mainThread(saver, "main");
    receiver.join();
    mainThread.join();
    const KeyValueMap map = stored();
    EXPECT_EQ(map.size(), size_t(2 * kPerThread));
    EXPECT_EQ(map.at("recv7"), "v7");
    EXPECT_EQ(map.at("main39"), "v39");
    EXPECT_EQ(filesInFolder(), 1u);
}
