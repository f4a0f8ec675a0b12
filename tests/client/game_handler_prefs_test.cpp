// The game controller's paths and its operations on the preferences file.
#include "client/gamehandler/game_handler.h"

#include "core/archive.h"
#include "core/log.h"
#include "support/captured_log.h"
#include "core/prefs.h"
#include "net/connection_handler.h"
#include "ui/login_requests.h"
#include "core/page_script.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class GameHandlerPrefsTest : public ::testing::Test {
protected:
    void SetUp() override {
        gh.prefPath = dir.string() + "/";
        gh.mouseOrTouchpadPopUpPending = false;
        previousSink = setPageScriptSink(&pages);
    }

    void TearDown() override {
        setPageScriptSink(previousSink);
        gh.prefPath.clear();
    }

    static std::string readText(const fs::path& path) { return bztest::readFileText(path); }

    GameHandler& gh = getGameHandler();
    bztest::CapturedLog log{"bzgh"};
    const fs::path& dir = log.dir();
    RecordingPageScriptSink pages;
    PageScriptSink* previousSink = nullptr;
};

TEST_F(GameHandlerPrefsTest, ShowSavedCredentialsEscapesBothTexts) {
    gh.showSavedCredentials();
    gh.saveCredentials("O\"Neil\\", "a\nb'c");
    gh.showSavedCredentials();
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Login),
              (std::vector<std::string>{"setCredentials({username:\"\",password:\"\",});",
                                        "setCredentials({username:\"O\\\"Neil\\\\\",password:\"a\\nb\\'c\",});"}));
    std::string user, password;
    gh.loadCredentials(user, password);
    EXPECT_EQ(user, "O\"Neil\\");
    EXPECT_EQ(password, "a\nb'c");
}

TEST_F(GameHandlerPrefsTest, ForgetCredentialsOnlyForTheStoredUser) {
    gh.saveCredentials("alice", "pw");
    gh.forgetCredentials("bob");
    std::string user, password;
    gh.loadCredentials(user, password);
    EXPECT_EQ(user, "alice");
    gh.forgetCredentials("alice");
    gh.loadCredentials(user, password);
    EXPECT_EQ(user, "");
    EXPECT_EQ(password, "");
}

TEST_F(GameHandlerPrefsTest, MissingFileArmsTheMouseOrTouchpadQuestion) {
    GameSettings settings;
    settings.lobbyWidth = 77;
    gh.loadGameSettingsPrefs(settings);
    EXPECT_TRUE(gh.mouseOrTouchpadPopUpPending);
    EXPECT_EQ(settings.lobbyWidth, 77);

    // A file that opens arms nothing, and saved settings come back.
    gh.mouseOrTouchpadPopUpPending = false;
    settings.fps = 48.0f;
    gh.saveGameSettingsPrefs(settings);
    GameSettings loaded;
    gh.loadGameSettingsPrefs(loaded);
    EXPECT_FALSE(gh.mouseOrTouchpadPopUpPending);
    EXPECT_EQ(loaded.lobbyWidth, 77);
    EXPECT_EQ(loaded.fps, 48.0f);

    { std::ofstream truncate(dir / "prefs.dat", std::ios::binary | std::ios::trunc); }
    gh.loadGameSettingsPrefs(loaded);
    EXPECT_FALSE(gh.mouseOrTouchpadPopUpPending);
}

TEST_F(GameHandlerPrefsTest, NamedValuesKeepTheOtherEntries) {
    gh.saveCredentials("alice", "pw");
    gh.saveParamPrefs("userList", "alice bob");
    EXPECT_EQ(gh.loadParamPrefs("userList"), "alice bob");
    EXPECT_EQ(gh.loadParamPrefs("failedUserList"), "");
    std::string user, password;
    gh.loadCredentials(user, password);
    EXPECT_EQ(user, "alice");

    gh.prefPath.clear();
    EXPECT_EQ(gh.loadParamPrefs("userList"), "");
    EXPECT_NE(readText(dir / "bzlog.txt").find("loadParamPrefs: ERROR: No prefs folder available."),
              std::string::npos);
}

TEST_F(GameHandlerPrefsTest, FailedLoginsCountedFromTwoThreadsAreAllKept) {
    constexpr int count = 20;
    // Each count is one read-change-write; a save from another thread must not come between.
    std::thread other([&] {
        for (int i = 0; i < count; ++i) gh.countFailedLogin("bob");
    });
    for (int i = 0; i < count; ++i) {
        gh.countFailedLogin("alice");
        gh.saveGameSettingsPrefs(gh.gameSettings);
    }
    other.join();
    const std::string list = gh.loadParamPrefs("failedUserList");
    EXPECT_NE(list.find("alice:20,"), std::string::npos) << list;
    EXPECT_NE(list.find("bob:20,"), std::string::npos) << list;
    EXPECT_EQ(list.size(), std::strlen("alice:20,bob:20,"));
}

TEST_F(GameHandlerPrefsTest, LoginRequestRemembersAndShowsCredentials) {
    loginEnterLobby("", "alice", "pw", true);
    loginEnterLobby("-", "", "", false);
    loginEnterLobby("", "bob", "", false);  // not the remembered user: kept
    loginEnterLobby("-", "", "", false);
    loginEnterLobby("", "alice", "", false);
    loginEnterLobby("-", "", "", false);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Login),
              (std::vector<std::string>{"setCredentials({username:\"alice\",password:\"pw\",});",
                                        "setCredentials({username:\"alice\",password:\"pw\",});",
                                        "setCredentials({username:\"\",password:\"\",});"}));
    // A server name logs in; without a connection handler nothing can start.
    ASSERT_EQ(connectionHandler, nullptr);
    loginEnterLobby("Players Lounge", "alice", "pw", false);
    EXPECT_EQ(pages.entries().size(), 3u);
}

TEST_F(GameHandlerPrefsTest, InitPathsSetsTheFoldersAndStartsTheLog) {
    const char* previousDataHome = std::getenv("XDG_DATA_HOME");
    const std::string savedDataHome = previousDataHome ? previousDataHome : "";
    const std::string savedBase = gh.basePath;
    ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
    const fs::path expectedPref = dir / "Baizeron" / "Baizeron";
    fs::create_directories(expectedPref);
    // A configuration that has logging on, so the path lines can be read back.
    std::ofstream(expectedPref / "bzlogconfig.txt") << "1 65535 0 200 0 0\n";

    resetLogForTests();
    gh.prefPath.clear();
    gh.basePath.clear();
    gh.initPaths();
    EXPECT_EQ(gh.prefPath, expectedPref.string() + "/");
    ASSERT_FALSE(gh.basePath.empty());
    EXPECT_EQ(gh.basePath.back(), '/');
    EXPECT_EQ(fs::canonical(gh.basePath), fs::canonical("/proc/self/exe").parent_path());
    EXPECT_EQ(ArchiveIndex::instance().baseFolder(), gh.basePath);
    const std::string log = readText(expectedPref / "bzlog.txt");
    EXPECT_NE(log.find("initPaths: basepath=" + gh.basePath), std::string::npos) << log;
    EXPECT_NE(log.find("initPaths: prefpath=" + gh.prefPath), std::string::npos) << log;

    // Later calls keep both folders.
    const std::string base = gh.basePath;
    gh.basePath = "/elsewhere/";
    gh.initPaths();
    EXPECT_EQ(gh.basePath, "/elsewhere/");
    EXPECT_EQ(gh.prefPath, expectedPref.string() + "/");

    gh.basePath = savedBase;
    ArchiveIndex::instance().setBaseFolder(savedBase);
    if (previousDataHome) {
        ::setenv("XDG_DATA_HOME", savedDataHome.c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
}

}  // namespace
