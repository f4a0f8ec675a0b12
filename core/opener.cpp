#include "core/opener.h"

#include "core/log.h"

#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

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

// The children started here and not yet reaped. Only these are waited for, so the opener never
// takes the exit status of a child that another part of the program started.
std::mutex childrenMutex;
std::vector<int> children;

}  // namespace

bool isOpenableUrl(const std::string& url) {
    const bool web = url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
    if (!web) return false;
    for (unsigned char c : url) {
        if (c < 0x20 || c == 0x7F) return false;
    }
    return true;
}

void reapOpenedPrograms() {
    std::lock_guard<std::mutex> lock(childrenMutex);
    for (auto it = children.begin(); it != children.end();) {
        const pid_t done = ::waitpid(*it, nullptr, WNOHANG);
        if (done == *it || (done < 0 && errno == ECHILD)) {
            it = children.erase(it);
        } else {
            ++it;
        }
    }
}

bool openExternal(const std::string& url) {
    reapOpenedPrograms();
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
        return false;
    }
    if (spawn == nullptr) {
        std::lock_guard<std::mutex> lock(childrenMutex);
        children.push_back(pid);
    }
    return true;
}

ProgramSpawner setProgramSpawner(ProgramSpawner replacement) { return spawner.exchange(replacement); }
