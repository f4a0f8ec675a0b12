#include "ui/engine/devtools_pipe.h"

#include "core/log.h"

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace bzweb {

namespace {

constexpr size_t kReadChunk = 1 << 18;
constexpr size_t kMaxMessage = size_t(64) << 20;
constexpr size_t kMaxReadPerRound = size_t(8) << 20;
// A read buffer that a large frame grew past this is given back once no message as large has come
// for a while (the small replies and events go on meanwhile).
constexpr size_t kKeptReadBuffer = size_t(1) << 20;
constexpr std::chrono::milliseconds kReadBufferRelease{2000};
constexpr const char kFramePrefix[] = "{\"method\":\"Page.screencastFrame\"";

std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

// ---- the child

BrowserProcess::~BrowserProcess() {
    if (pid_ > 0) Reap(0);
}

bool BrowserProcess::Spawn(const std::string& binary, const std::vector<std::string>& args,
                           const std::string& stderrPath, int& fd, std::string& error) {
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) {
        error = Errno("socketpair");
        return false;
    }
    // The child's end must not already sit on 3 or 4, or duplicating it there would keep close-on-exec.
    int child = fcntl(sv[1], F_DUPFD_CLOEXEC, 10);
    close(sv[1]);
    if (child < 0) {
        error = Errno("fcntl");
        close(sv[0]);
        return false;
    }

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(binary.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const char* logPath = stderrPath.empty() ? "/dev/null" : stderrPath.c_str();
    posix_spawn_file_actions_addopen(&actions, 1, logPath, O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_adddup2(&actions, child, 3);
    posix_spawn_file_actions_adddup2(&actions, child, 4);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A group of its own: a Ctrl+C in the terminal is the program's to handle, and the browser's
    // helper processes can be ended together.
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD, SIGQUIT}) sigaddset(&defaults, s);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    int rc = posix_spawn(&pid, binary.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(child);
    if (rc != 0) {
        error = "cannot start " + binary + ": " + std::strerror(rc);
        close(sv[0]);
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    pid_ = pid;
    reaped_ = false;
    fcntl(sv[0], F_SETFL, fcntl(sv[0], F_GETFL) | O_NONBLOCK);
    fd = sv[0];
    return true;
}

TerminationStatus BrowserProcess::Reap(int graceMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pid_ <= 0 || reaped_) return status_;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    for (;;) {
        siginfo_t info{};
        if (waitid(P_PID, pid_, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_) break;
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The group id stays ours until the leader is collected, so this cannot hit a stranger.
    kill(-pid_, SIGKILL);
    int st = 0;
    pid_t r;
    do {
        r = waitpid(pid_, &st, 0);
    } while (r < 0 && errno == EINTR);
    reaped_ = true;
    rawStatus_ = r == pid_ ? st : 0;
    if (r != pid_) {
        status_ = TerminationStatus::AbnormalTermination;
    } else if (WIFSIGNALED(st)) {
        int sig = WTERMSIG(st);
        status_ = (sig == SIGKILL || sig == SIGTERM || sig == SIGINT || sig == SIGHUP) ? TerminationStatus::Killed
                                                                                    : TerminationStatus::Crashed;
    } else {
        status_ = TerminationStatus::AbnormalTermination;
    }
    return status_;
}

std::string BrowserProcess::exitText() const {
    if (WIFSIGNALED(rawStatus_)) return "signal " + std::to_string(WTERMSIG(rawStatus_));
    return "exit status " + std::to_string(WEXITSTATUS(rawStatus_));
}

// ---- the pipe

DevToolsPipe::~DevToolsPipe() { Stop(); }

bool DevToolsPipe::Start(int fd, Callbacks callbacks, std::string& error) {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        error = Errno("eventfd");
        return false;
    }
    fd_ = fd;
    callbacks_ = std::move(callbacks);
    thread_ = std::thread([this] { Run(); });
    return true;
}

void DevToolsPipe::Stop() {
    if (thread_.joinable()) {
        stop_ = true;
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    if (fd_ >= 0) close(fd_);
    if (wakeFd_ >= 0) close(wakeFd_);
    fd_ = wakeFd_ = -1;
}

void DevToolsPipe::Send(std::string message) {
    {
        std::lock_guard<std::mutex> lock(outMutex_);
        if (overflowed_) return;
        if (outSent_ == out_.size()) {
            out_.clear();
            outSent_ = 0;
        }
        size_t unsent = out_.size() - outSent_;
        if (unsent > 0 && unsent + message.size() + 1 > kMaxUnsent) {
            BZ_LOG(LOG_ERROR, "DevToolsPipe", "the browser has left " << unsent << " bytes of commands unread; taken as hung and stopped");
            overflowed_ = true;
        } else {
            out_ += message;
            out_ += '\0';
        }
    }
    uint64_t one = 1;
    if (wakeFd_ >= 0) {
        [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
    }
}

void DevToolsPipe::TakeMessages(std::vector<JsonValue>& out) {
    std::lock_guard<std::mutex> lock(inMutex_);
    if (out.empty()) {
        out.swap(inbox_);
    } else {
        for (auto& m : inbox_) out.push_back(std::move(m));
        inbox_.clear();
    }
}

bool DevToolsPipe::WaitForMessages(int timeoutMs) {
    std::unique_lock<std::mutex> lock(inMutex_);
    return inCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !inbox_.empty() || closed_; }) &&
           !inbox_.empty();
}

void DevToolsPipe::Run() {
    bool peerClosed = false;
    while (!stop_) {
        bool wantWrite;
        {
            std::lock_guard<std::mutex> lock(outMutex_);
            wantWrite = outSent_ < out_.size();
        }
        pollfd fds[2] = {{fd_, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0}, {wakeFd_, POLLIN, 0}};
        int timeoutMs = -1;
        if (in_.capacity() > kKeptReadBuffer) {
            const auto quiet = std::chrono::steady_clock::now() - lastLargeRead_;
            if (quiet >= kReadBufferRelease && in_.empty()) {
                // The pages are still: the frame that grew the buffer has long been decoded.
                std::string().swap(in_);
                scanned_ = 0;
                malloc_trim(0);
            } else {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(kReadBufferRelease - quiet);
                timeoutMs = int(std::clamp<int64_t>(left.count(), 1, kReadBufferRelease.count()));
            }
        }
        const int ready = poll(fds, 2, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            BZ_LOG(LOG_ERROR, "DevToolsPipe", "poll failed: " << std::strerror(errno));
            peerClosed = true;
            break;
        }
        if (ready == 0) continue;
        if (fds[1].revents & POLLIN) {
            uint64_t v;
            [[maybe_unused]] ssize_t n = read(wakeFd_, &v, sizeof v);
        }
        if (overflowed_) {
            peerClosed = true;
            break;
        }
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) && !ReadSome()) {
            peerClosed = true;
            break;
        }
        if ((fds[0].revents & POLLOUT) && !WriteSome()) {
            peerClosed = true;
            break;
        }
    }
    if (peerClosed) {
        closed_ = true;
        inCv_.notify_all();
        if (callbacks_.onClosed) callbacks_.onClosed();
        if (callbacks_.onMessages) callbacks_.onMessages();
    }
}

bool DevToolsPipe::ReadSome() {
    static thread_local std::vector<char> chunk(kReadChunk);
    size_t total = 0;
    bool open = true;
    while (total < kMaxReadPerRound) {
        ssize_t n = read(fd_, chunk.data(), chunk.size());
        if (n > 0) {
            in_.append(chunk.data(), static_cast<size_t>(n));
            total += static_cast<size_t>(n);
            if (in_.size() > kKeptReadBuffer) lastLargeRead_ = std::chrono::steady_clock::now();
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        open = false;  // end of file or a hard error: the browser is gone
        break;
    }

    size_t consumed = 0;
    size_t before;
    {
        std::lock_guard<std::mutex> lock(inMutex_);
        before = inbox_.size();
    }
    for (;;) {
        size_t nul = in_.find('\0', scanned_);
        if (nul == std::string::npos) {
            scanned_ = in_.size();
            break;
        }
        Dispatch(consumed, nul);
        consumed = nul + 1;
        scanned_ = consumed;
    }
    if (consumed > 0) {
        in_.erase(0, consumed);
        scanned_ -= consumed;
    }
    if (in_.size() > kMaxMessage) {
        BZ_LOG(LOG_ERROR, "DevToolsPipe", "message over " << kMaxMessage << " bytes dropped");
        in_.clear();
        scanned_ = 0;
    }
    bool fresh;
    {
        std::lock_guard<std::mutex> lock(inMutex_);
        fresh = inbox_.size() > before;
    }
    if (fresh) {
        inCv_.notify_all();
        if (callbacks_.onMessages) callbacks_.onMessages();
    }
    return open;
}

bool DevToolsPipe::WriteSome() {
    std::lock_guard<std::mutex> lock(outMutex_);
    while (outSent_ < out_.size()) {
        ssize_t n = send(fd_, out_.data() + outSent_, out_.size() - outSent_, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            outSent_ += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        return false;
    }
    if (outSent_ == out_.size()) {
        out_.clear();
        outSent_ = 0;
    } else if (outSent_ > (size_t(1) << 20)) {
        out_.erase(0, outSent_);
        outSent_ = 0;
    }
    return true;
}

void DevToolsPipe::Dispatch(size_t begin, size_t end) {
    const size_t prefixLen = sizeof(kFramePrefix) - 1;
    if (end - begin > prefixLen && in_.compare(begin, prefixLen, kFramePrefix) == 0 && HandleFrame(begin, end)) return;
    JsonValue v = JsonValue::parse(in_.data() + begin, in_.data() + end, nullptr, false);
    if (v.is_discarded() || !v.is_object()) {
        BZ_LOG(LOG_ERROR, "DevToolsPipe", "unreadable message from the browser");
        return;
    }
    std::lock_guard<std::mutex> lock(inMutex_);
    inbox_.push_back(std::move(v));
}

// A frame message is mostly its base64 image: parse only what is around it, acknowledge at once so
// that the browser can go on to the next frame, and leave the image to the decoders.
bool DevToolsPipe::HandleFrame(size_t begin, size_t end) {
    size_t key = in_.find("\"data\":\"", begin);
    if (key == std::string::npos || key >= end) return false;
    size_t dataStart = key + 8;
    size_t dataEnd = in_.find('"', dataStart);
    if (dataEnd == std::string::npos || dataEnd >= end) return false;
    std::string rest = in_.substr(begin, dataStart - begin);
    rest.append(in_, dataEnd, end - dataEnd);
    JsonValue v = JsonValue::parse(rest, nullptr, false);
    if (v.is_discarded() || !v.is_object()) return false;
    auto session = v.find("sessionId");
    auto params = v.find("params");
    if (session == v.end() || !session->is_string() || params == v.end() || !params->is_object()) return false;
    auto frameNumber = params->find("sessionId");
    if (frameNumber == params->end() || !frameNumber->is_number_integer()) return false;

    JsonValue ack = {{"id", NextId()},
                     {"method", "Page.screencastFrameAck"},
                     {"params", {{"sessionId", frameNumber->get<int64_t>()}}},
                     {"sessionId", *session}};
    Send(ack.dump());
    if (callbacks_.onFrame) {
        callbacks_.onFrame(session->get<std::string>(), in_.substr(begin, end - begin), dataStart - begin,
                           dataEnd - dataStart);
    }
    return true;
}

}  // namespace bzweb
