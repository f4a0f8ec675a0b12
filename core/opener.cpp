#include "core/opener.h"

#include "core/log.h"

#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cerrno>
#include <cstdint>
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

std::mutex waitersMutex;
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
    std::lock_guard<std::mutex> lock(waitersMutex);
    --waitersRunning;
    waitersDone.notify_all();
}

}  // namespace

namespace {

// Characters that end or split a line, space or reorder what is shown, or show nothing at all: an
// address holding one can be read by the desktop's programs as something else than it looks.
bool isHiddenOrSeparator(uint32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0xAD || c == 0x034F || c == 0x061C || c == 0x115F ||
           c == 0x1160 || c == 0x1680 || c == 0x180E || (c >= 0x2000 && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F) ||
           (c >= 0x205F && c <= 0x206F) || c == 0x3000 || c == 0x3164 || c == 0xFEFF || c == 0xFFA0 ||
           (c >= 0xFFF0 && c <= 0xFFFF) || (c >= 0xE0000 && c <= 0xE0FFF);
}

// The next code point of well-formed UTF-8 (no overlong forms, no surrogates); false otherwise.
bool nextCodePoint(const std::string& text, size_t& at, uint32_t& c) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const int more = lead < 0x80 ? 0 : lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
                                     : lead >= 0xF0 && lead <= 0xF4 ? 3 : -1;
    if (more < 0 || at + static_cast<size_t>(more) >= text.size() + (more == 0)) return false;
    c = more == 0 ? lead : lead & (0x3F >> more);
    for (int i = 1; i <= more; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return false;
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    static const uint32_t least[4] = {0, 0x80, 0x800, 0x10000};
    if (c < least[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    at += static_cast<size_t>(more) + 1;
    return true;
}

}  // namespace

bool isOpenableUrl(const std::string& url) {
    const bool web = url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
    if (!web) return false;
    // No shell ever sees the address, but the desktop's opener may hand it to one (a browser's
    // launcher script): quotes, blanks and the shell's own characters are refused outright.
    if (url.find_first_of(" \"'`$\\<>") != std::string::npos) return false;
    for (size_t at = 0; at < url.size();) {
        uint32_t c = 0;
        if (!nextCodePoint(url, at, c) || isHiddenOrSeparator(c)) return false;
    }
    return true;
}

bool waitForOpeners(int timeoutMs) {
    std::unique_lock<std::mutex> lock(waitersMutex);
    return waitersDone.wait_for(lock, std::chrono::milliseconds(timeoutMs), [] { return waitersRunning == 0; });
}

bool openExternal(const std::string& url) {
    BZ_LOG(LOG_INFO, "openExternal", "'" << url << "'");
    if (!isOpenableUrl(url)) {
        BZ_LOG(LOG_ERROR, "openExternal", "Refused to open '" << url << "': not a plain http(s) address");
        return false;
    }
    std::string error;
    ProgramSpawner spawn = spawner.load();
    const int pid = (spawn != nullptr ? spawn : spawnProgram)({"xdg-open", url}, error);
    if (pid < 0) {
        BZ_LOG(LOG_ERROR, "openExternal", "starting 'xdg-open' for '" << url << "' failed: " << error);
        return false;
    }
    ProgramWaiter wait = waiter.load();
    {
        std::lock_guard<std::mutex> lock(waitersMutex);
        ++waitersRunning;
    }
    std::thread(awaitOpener, pid, wait != nullptr ? wait : waitProgram, url).detach();
    return true;
}

ProgramSpawner setProgramSpawner(ProgramSpawner replacement) { return spawner.exchange(replacement); }

ProgramWaiter setProgramWaiter(ProgramWaiter replacement) { return waiter.exchange(replacement); }
