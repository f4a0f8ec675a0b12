// The client as the user starts it, under a virtual display: it opens its window, runs its frames
// with the stand-in browser, reaches the login state once the pages have started, and on SDL_QUIT
// logs out and ends with every thread of its own stopped.
#include "core/app_status.h"
#include "app//application.h"
#include "app/frame_loop.h"
#include "app/sdl_settings_window.h"
#include "app/shell_globals.h"
#include "core/page_script.h"
#include "client/gamehandler/game_handler.h"
#include "net/lobby_servers.h"
#include "support/captured_log.h"
#include "ui/engine/backend.h"
#include "ui/engine/fake_backend.h"
#include "ui/engine/web_engine.h"

#include "display_leak_check.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <set>

namespace {

namespace fs = std::filesystem;

// A loopback port on which nothing listens: the lobby poll's queries fail at once.
uint32_t closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// The names of the process's threads other than this one.
std::multiset<std::string> otherThreads() {
    std::multiset<std::string> names;
    const std::string self = std::to_string(::gettid());
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == self) continue;
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        names.insert(name);
    }
    return names;
}

TEST(ClientRun, OpensRunsReachesLoginAndQuitsCleanly) {
    // The preferences and the log live in the test's own folder.
    bztest::CapturedLog log("bz-client-run");
    getGameHandler().prefPath = log.folder();
    resetLobbyServers("127.0.0.1", closedPort());
    const std::multiset<std::string> threadsBefore = otherThreads();

    RecordingPageScriptSink pages;
    setPageScriptSink(&pages);
    ClientOptions options;
    options.startEngine = [](const bzweb::MainArgs&, const bzweb::WebSettings& settings,
                             bzweb::RefPtr<bzweb::WebApp> app, std::string* error) {
        return bzweb::InitializeWithBackend(settings, std::move(app), std::make_unique<bzweb::FakeBackend>(), error);
    };
    uint64_t loginFrame = 0;
    int windowWidthSeen = 0;
    bool screenshotTaken = false;
    bool sdlSettingsWindow = false;
    const std::string artefact = std::string(BZ_ARTEFACT_DIR) + "/client_window.png";
    options.afterFrame = [&](FrameLoop& loop) {
        if (appState == STATE_LOGIN && loginFrame == 0) loginFrame = loop.framesRun();
        if (mainWindow != nullptr) SDL_GetWindowSize(mainWindow, &windowWidthSeen, nullptr);
        // Settings saved on the pages reach the window and the scene only through the real one.
        sdlSettingsWindow = dynamic_cast<SdlSettingsWindow*>(&settingsWindow()) != nullptr;
        const bool done = loginFrame != 0 && loop.framesRun() >= std::max<uint64_t>(100, loginFrame + 10);
        if (done && !screenshotTaken) {
            fs::create_directories(BZ_ARTEFACT_DIR);
            const std::string command = "xwd -root -silent | convert xwd:- '" + artefact + "'";
            screenshotTaken = std::system(command.c_str()) == 0;
            SDL_Event quit{};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
        }
        // A run that never reaches the login state ends all the same.
        if (loop.framesRun() > 20000 && !screenshotTaken) appRunning = false;
    };

    char program[] = "baizeron", first[] = "x", second[] = "y";
    char* argv[] = {program, first, second, nullptr};
    std::ostringstream errors;
    std::streambuf* const standardError = std::cerr.rdbuf(errors.rdbuf());
    const int status = runClient(3, argv, options);
    std::cerr.rdbuf(standardError);
    setPageScriptSink(nullptr);

    EXPECT_EQ(status, 0);
    EXPECT_NE(errors.str().find("Command line parameter 1: x\nCommand line parameter 2: y\n"), std::string::npos)
        << errors.str();
    EXPECT_GT(loginFrame, 0u) << "the login state was not reached";
    EXPECT_GE(windowWidthSeen, 1020);
    EXPECT_TRUE(sdlSettingsWindow);
    EXPECT_EQ(dynamic_cast<SdlSettingsWindow*>(&settingsWindow()), nullptr);  // none outlives the run
    EXPECT_TRUE(screenshotTaken);
    EXPECT_TRUE(fs::exists(artefact));
    // The quit logged out.
    EXPECT_FALSE(pages.statementsStartingWith(HtmlWindow::Login, "logout();").empty());
    EXPECT_FALSE(pages.statementsStartingWith(HtmlWindow::Login, "focusUserName();").empty());
    EXPECT_FALSE(appRunning);
    EXPECT_FALSE(bzweb::IsInitialized());
    EXPECT_FALSE(threadsLeftRunning());
    // Only the software renderer's own workers may remain (they belong to the GL driver's library).
    for (const std::string& name : otherThreads()) {
        if (threadsBefore.count(name) != 0) continue;
        EXPECT_EQ(name.rfind("llvmpipe", 0), 0u) << "thread left running: " << name;
    }
    EXPECT_EQ(log.count("Loaded all browser windows"), 1);
    EXPECT_EQ(log.count("Frame loop ended after"), 1);
    EXPECT_EQ(log.count("ERROR"), 0) << log.text();
}

}  // namespace
