#include "app/application.h"

#include "app/converter.h"
#include "app/frame_loop.h"
#include "app/main_window.h"
#include "app/process_signals.h"
#include "app/sdl_platform.h"
#include "app/sdl_settings_window.h"
#include "app/shell_globals.h"
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/log.h"
#include "dispatch/process_message.h"
#include "net/connection_handler.h"
#include "net/lobby_servers.h"
#include "render/gl_check.h"
#include "ui/engine/web_engine.h"

#include <GL/glew.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

namespace {

std::atomic<bool> threadsLeft{false};

bool startRealEngine(const bzweb::MainArgs& args, const bzweb::WebSettings& settings,
                     bzweb::RefPtr<bzweb::WebApp> app, std::string* error) {
    return bzweb::Initialize(args, settings, std::move(app), error);
}

void echoArguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) std::cerr << "Command line parameter " << i << ": " << argv[i] << "\n";
}

// The lobby poll runs beside the main thread for the whole run; the end waits for it, bounded.
class LobbyPoll {
public:
    void start() {
        ended_ = std::make_shared<std::atomic<bool>>(false);
        thread_ = std::thread([ended = ended_] {
            lobbyPollThread(HtmlWindow::Login);
            ended->store(true);
        });
    }
    // appRunning must be false already. True when the thread has ended within the limit.
    bool stop(std::chrono::milliseconds limit) {
        if (!thread_.joinable()) return true;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!ended_->load() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!ended_->load()) {
            thread_.detach();
            return false;
        }
        thread_.join();
        return true;
    }

private:
    std::thread thread_;
    std::shared_ptr<std::atomic<bool>> ended_;
};

// The logout queued by the quit goes out before the connection threads stop, within the limit.
bool stopConnectionThreads(std::chrono::milliseconds limit) {
    if (connectionHandler == nullptr) return true;
    ConnectionHandler* handler = connectionHandler;
    const auto deadline = std::chrono::steady_clock::now() + limit / 2;
    while (handler->isConnected() && handler->outgoingCount() > 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return runWithin([handler] { handler->stopThreads(); }, limit / 2);
}

// The orderly end: no background thread may outlive the run unnoticed.
void stopEverything(ShellNeighbours& neighbours, LobbyPoll& poll, std::chrono::milliseconds limit) {
    appRunning = false;
    neighbours.closeAudio();
    if (bzweb::IsInitialized()) bzweb::Shutdown();
    bool stopped = stopConnectionThreads(limit);
    stopped = poll.stop(limit) && stopped;
    if (!stopped) {
        BZ_LOG(LOG_ERROR, "main", "A background thread did not stop in time; the process ends without it");
        threadsLeft = true;
    }
}

}  // namespace

bool runWithin(std::function<void()> work, std::chrono::milliseconds limit) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
    };
    auto shared = std::make_shared<Shared>();
    std::thread worker([shared, work = std::move(work)] {
        work();
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->finished = true;
        shared->done.notify_all();
    });
    std::unique_lock<std::mutex> lock(shared->mutex);
    if (shared->done.wait_for(lock, limit, [&] { return shared->finished; })) {
        lock.unlock();
        worker.join();
        return true;
    }
    worker.detach();
    return false;
}

bool threadsLeftRunning() { return threadsLeft.load(); }

int finishProcess(int status) {
    if (!threadsLeftRunning()) return status;
    std::fflush(nullptr);
    std::_Exit(status);
}

int runMain(int argc, char** argv, const ClientOptions& options) {
    ShellNeighbours standIns;
    ShellNeighbours& neighbours = options.neighbours != nullptr ? *options.neighbours : standIns;
    const bzweb::MainArgs args{argc, argv};
    const int subProcess = bzweb::ExecuteProcess(args, neighbours.makeWebApp());
    if (subProcess >= 0) return subProcess;

    installSigpipeHandler();
    if (argc == 3 && std::strcmp(argv[1], "bzs2bzst") == 0) return runConverter(argv[2], std::cout, std::cerr);
    return runClient(argc, argv, options);
}

int runClient(int argc, char** argv, const ClientOptions& options) {
    ShellNeighbours standIns;
    ShellNeighbours& neighbours = options.neighbours != nullptr ? *options.neighbours : standIns;
    threadsLeft = false;
    appRunning = true;
    // Left to itself, the allocator raises both thresholds with the first large block freed (a
    // decoded image, a sound file), and the free top of a thread's heap (tens of MiB after the
    // loading) then stays with the process for good. Fixed: larger blocks come from and go back to
    // the system, and a free top beyond this is given back; a page frame's buffers stay in the heap.
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 4 << 20);

    GameHandler& gh = getGameHandler();
    gh.initPaths();
    gh.loadGameSettingsPrefs(gh.gameSettings);

    SDL_GLContext context = nullptr;
    std::string error;
    switch (openMainWindow(gh.gameSettings.antiAliasing, context, error)) {
        case WindowResult::Opened:
            break;
        case WindowResult::SdlFailed:
            // Mends the start without a display, window or context: it went on into GL calls or blamed the driver.
            std::cerr << "Error: " << error << "\n";
            BZ_LOG(LOG_ERROR, "main", error);
            closeMainWindow(context);
            return 1;
        case WindowResult::NoOpenGl33:
            ssize_t ignored = ::write(STDERR_FILENO, NO_OPENGL_33_MESSAGE, std::strlen(NO_OPENGL_33_MESSAGE));
            (void)ignored;
            closeMainWindow(context);
            return 1;
    }
    installStopSignalHandlers();
    SdlPlatform sdlPlatform;
    setPlatform(&sdlPlatform);
    SdlSettingsWindow sdlSettingsWindow;
    setSettingsWindow(&sdlSettingsWindow);
    if (SDL_GL_SetSwapInterval(-1) != 0) BZ_LOG(LOG_INFO, "main", "No adaptive vsync: " << SDL_GetError());
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_MULTISAMPLE);
    glEnable(GL_CULL_FACE);
    // Bounded: a lost context reports errors for ever.
    BZ_GL_CHECK();
    echoArguments(argc, argv);
    gh.init();
    // Without it the drained messages (lists, table events, chat) would reach nobody.
    installMessageDispatch();

    bzweb::WebSettings settings;
    settings.windowlessRenderingEnabled = true;
    settings.externalMessagePump = false;
    settings.cachePath = "/tmp/";
    const auto startEngine = options.startEngine ? options.startEngine : startRealEngine;
    if (!startEngine(bzweb::MainArgs{argc, argv}, settings, neighbours.makeWebApp(), &error)) {
        std::cerr << "Error: CEF could not initialize!\n";
        BZ_LOG(LOG_ERROR, "main", "Browser engine: " << error);
        setPlatform(nullptr);
        setSettingsWindow(nullptr);
        closeMainWindow(context);
        return -1;
    }
    neighbours.createHtmlWindows();
    neighbours.initScene();

    LobbyPoll poll;
    poll.start();
    if (connectionHandler == nullptr) connectionHandler = new ConnectionHandler();

    gh.loadGameSettingsPrefs(gh.gameSettings);
    neighbours.applyGameSettings();
    neighbours.setViewport(true);

    MonotonicPacingClock pacingClock;
    FrameLoop loop(neighbours, pacingClock);
    loop.prepare(SDL_GetTicks());
    while (loop.runFrame()) {
        if (options.afterFrame) options.afterFrame(loop);
    }
    BZ_LOG(LOG_INFO, "main", "Frame loop ended after " << loop.framesRun() << " frames");
    // The player sees the end at once; the bounded waits below happen out of sight.
    if (mainWindow != nullptr) SDL_HideWindow(mainWindow);

    stopEverything(neighbours, poll, options.threadStopLimit);
    setPlatform(nullptr);
    setSettingsWindow(nullptr);
    closeMainWindow(context);
    return 0;
}
