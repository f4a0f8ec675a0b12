// The client as the user sees it: under a virtual display with the real browser, a user name and a
// password typed into the real Login page with SDL key and text events and the login button pressed
// with a mouse click reach the loopback server as a login, and the client enters the lobby.
#include "app/application.h"
#include "app/client_neighbours.h"
#include "app/frame_loop.h"
#include "app/shell_globals.h"
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "net/lobby_servers.h"
#include "support/captured_log.h"
#include "tools/testserver/test_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <vector>

namespace {

void pushText(const char* text) {
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    SDL_strlcpy(event.text.text, text, sizeof event.text.text);
    SDL_PushEvent(&event);
}

void pushKey(SDL_Keycode key) {
    for (Uint32 type : {Uint32(SDL_KEYDOWN), Uint32(SDL_KEYUP)}) {
        SDL_Event event{};
        event.type = type;
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    }
}

void pushClick(int x, int y) {
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = x;
    motion.motion.y = y;
    SDL_PushEvent(&motion);
    for (Uint32 type : {Uint32(SDL_MOUSEBUTTONDOWN), Uint32(SDL_MOUSEBUTTONUP)}) {
        SDL_Event event{};
        event.type = type;
        event.button.button = SDL_BUTTON_LEFT;
        event.button.clicks = 1;
        event.button.x = x;
        event.button.y = y;
        SDL_PushEvent(&event);
    }
}

// Steps run one after the other, each once its condition holds, a few frames apart.
struct Script {
    struct Step {
        const char* what;  // what the step waits for, for the failure message
        std::function<bool()> ready;
        std::function<void()> act;
    };
    std::vector<Step> steps;
    size_t next = 0;
    uint64_t lastFrame = 0;
    void run(uint64_t frame) {
        if (next >= steps.size() || frame < lastFrame + 20 || !steps[next].ready()) return;
        steps[next++].act();
        lastFrame = frame;
    }
};

TEST(LoginWindow, TypedCredentialsAndAClickLogInAtTheServer) {
    bztest::CapturedLog log("bz-login-window");
    GameHandler& gh = getGameHandler();
    gh.prefPath = log.folder();
    gh.basePath = BZ_APP_DIR;
    ASSERT_TRUE(std::filesystem::exists(std::string(BZ_APP_DIR) + "res/vidoda.dat"));

    TestServerConfig config;
    config.accounts = {{"Alice", "secret"}};
    TestServer server;
    server.setConfig(config);
    ASSERT_TRUE(server.start());
    resetLobbyServers("127.0.0.1", server.port());

    const auto online = [] {
        std::lock_guard<std::mutex> lock(lobbyServersMutex);
        return !lobbyServers.empty() && lobbyServers[0].online;
    };
    Script script;
    const auto always = [] { return true; };
    // The form is ready once the pages have loaded, the loading has ended and a lobby answered.
    script.steps.push_back({"the loaded login page and an answering lobby",
                            [&] { return appState == STATE_LOGIN && resourcesLoaded && online(); }, [] {}});
    script.steps.push_back({"typing the name", always, [] { pushText("Alice"); }});
    script.steps.push_back({"the Return key", always, [] { pushKey(SDLK_RETURN); }});  // on to the password field
    script.steps.push_back({"typing the password", always, [] { pushText("sec"); pushText("ret"); }});
    // The button is moved to the body and pinned to a known place, so the click needs no knowledge of the page's layout.
    script.steps.push_back({"pinning the button", always, [] {
                                runJavaScript(HtmlWindow::Login,
                                              "var b = document.getElementById('login'); document.body.appendChild(b); b.style.position = 'fixed';"
                                              "b.style.left = '300px'; b.style.top = '300px'; b.style.width = '200px';"
                                              "b.style.height = '40px'; b.style.zIndex = '9999';");
                            }});
    script.steps.push_back({"the click", always, [] { pushClick(400, 320); }});
    script.steps.push_back({"the lobby state after the login", [] { return appState == STATE_LOBBY; }, [] {
                                SDL_Event quit{};
                                quit.type = SDL_QUIT;
                                SDL_PushEvent(&quit);
                            }});

    ClientNeighbours neighbours;
    ClientOptions options;
    options.neighbours = &neighbours;
    // A generous ceiling: every step ends on an event, and a loaded machine needs minutes.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(400);
    options.afterFrame = [&](FrameLoop& loop) {
        script.run(loop.framesRun());
        if (std::chrono::steady_clock::now() > deadline) appRunning = false;
    };
    char program[] = "baizeron";
    char* argv[] = {program, nullptr};
    const int status = runClient(1, argv, options);

    EXPECT_EQ(status, 0);
    EXPECT_EQ(script.next, script.steps.size()) 
        << "no " << (script.next < script.steps.size() ? script.steps[script.next].what : "") << " within 400 s\n"
        << log.text();
    EXPECT_EQ(server.countReceived(MessageId::LOGIN_REQ), 1u);
    EXPECT_EQ(log.count("loginEnterLobby: Players Lounge Alice ***** "), 1);
    EXPECT_EQ(log.text().find("secret"), std::string::npos);
    server.stop();
    resetLobbyServers(DEFAULT_GAME_SERVER_HOST, DEFAULT_LOBBY_PORT);
}

}  // namespace
