#include "core/opener.h"

#include "core/log.h"

#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

extern char** environ;

namespace {

int spawnProgram(const std::vector<std::string>& argv, std::string& error) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int result = posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
    if (result != 0) {
        error = std::strerror(result);
        return -1;
    }
    return pid;
}

std::atomic<ProgramSpawner> spawner{nullptr};
std::atomic<ProgramWaiter> waiter{nullptr};

int waitProgram(int pid) {
    int status = 0;
    pid_t done = -1;
    do {
        done = ::waitpid(pid, &status, 0);
    } while (done < 0 && errno == EINTR);
    return done == pid ? status : -1;
}

std::mutex failedMutex;
std::vector<std::string> failed;
std::condition_variable waitersDone;
int waitersRunning = 0;

// The opener's exit status, taken off the main thread: the desktop's opener may take a while (it
// may even be the browser itself), and the player must not wait for it.
void awaitOpener(int pid, ProgramWaiter wait, std::string url) {
    const int status = wait(pid);
    if (status != 0) {
        BZ_LOG(LOG_ERROR, "openExternal", "system call 'xdg-open \"" << url << "\"' returned " << status);
    } else {
        BZ_LOG(LOG_INFO, "openExternal", "system call 'xdg-open \"" << url << "\"' returned 0");
    }
    std::lock_guard<std::mutex> lock(failedMutex);
    if (status != 0) failed.push_back(std::move(url));
    --waitersRunning;
    waitersDone.notify_all();
}

}  // namespace

bool isOpenableUrl(const std::string& url) {
    const bool web = url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
    if (!web) return false;
    for (unsigned char c : url) {
        if (c < 0x20 || c == 0x7F) return false;
    }
    return true;
}

std::vector<std::string> takeFailedOpens() {
    std::lock_guard<std::mutex> lock(failedMutex);
    std::vector<std::string> out;
    out.swap(failed);
    return out;
}

bool waitForOpeners(int timeoutMs) {
    std::unique_lock<std::mutex> lock(failedMutex);
    return waitersDone.wait_for(lock, std::chrono::milliseconds(timeoutMs), [] { return waitersRunning == 0; });
}

bool openExternal(const std::string& url) {
    BZ_LOG(LOG_INFO, "openExternal", "'" << url << "'");
    if (!isOpenableUrl(url)) {
        BZ_LOG(LOG_ERROR, "openExternal", "Refused to open '" << url << "': not an http(s) address");
        return false;
    }
    std::string error;
    ProgramSpawner spawn = spawner.load();
    const int pid = (spawn != nullptr ? spawn : spawnProgram)({"xdg-open", url}, error);
    if (pid < 0) {
        BZ_LOG(LOG_ERROR, "openExternal", "starting 'xdg-open' for '" << url << "' failed: " << error);
        std::lock_guard<std::mutex> lock(failedMutex);
        failed.push_back(url);
        return false;
    }
    ProgramWaiter wait = waiter.load();
    {
        std::lock_guard<std::mutex> lock(failedMutex);
        ++waitersRunning;
    }
    std::thread(awaitOpener, pid, wait != nullptr ? wait : waitProgram, url).detach();
    return true;
}

ProgramSpawner setProgramSpawner(ProgramSpawner replacement) { return spawner.exchange(replacement); }

ProgramWaiter setProgramWaiter(ProgramWaiter replacement) { return waiter.exchange(replacement); }
