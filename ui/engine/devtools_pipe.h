// The browser child process and the DevTools pipe to it: NUL-terminated JSON messages over one
// socket that the child sees as its descriptors 3 (commands in) and 4 (messages out).
#pragma once

#include "ui/engine/web_json.h"
#include "ui/engine/web_types.h"

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bzweb {

class BrowserProcess {
public:
    ~BrowserProcess();
    // Starts binary in a process group of its own; fd receives this side of the pipe.
    bool Spawn(const std::string& binary, const std::vector<std::string>& args, const std::string& stderrPath, int& fd,
               std::string& error);
    // Waits up to graceMs for the browser to end by itself, then kills what is left of its process
    // group and collects it. Safe to call again and from any thread; later calls give the first result.
    TerminationStatus Reap(int graceMs);
    pid_t pid() const { return pid_; }
    // How the process ended, as text for messages ("exit status 1", "signal 9").
    std::string exitText() const;

private:
    std::mutex mutex_;
    pid_t pid_ = 0;
    bool reaped_ = false;
    int rawStatus_ = 0;
    TerminationStatus status_ = TerminationStatus::AbnormalTermination;
};

// One I/O thread reads and writes the pipe, so the main thread never blocks on it. Screencast frames
// are picked out of the stream without a full parse and handed to onFrame on the I/O thread;
// everything else is parsed and waits for TakeMessages.
class DevToolsPipe {
public:
    struct Callbacks {
        // session: the protocol session; frameNumber: the frame's number for its acknowledgement.
        std::function<void(const std::string& session, std::string message, size_t dataOffset, size_t dataLength)> onFrame;
        // The browser closed its end; runs on the I/O thread, once.
        std::function<void()> onClosed;
        // New messages are waiting.
        std::function<void()> onMessages;
    };

    ~DevToolsPipe();
    bool Start(int fd, Callbacks callbacks, std::string& error);
    void Stop();
    int64_t NextId() { return nextId_.fetch_add(1); }
    // Queues one message (without its NUL); thread-safe, never blocks. Past kMaxUnsent bytes that the
    // browser has not read, it is taken as hung: the message is dropped and the pipe closes as if
    // the browser had closed it.
    void Send(std::string message);
    static constexpr size_t kMaxUnsent = size_t(64) << 20;
    void TakeMessages(std::vector<JsonValue>& out);
    // Waits until a message is waiting or the pipe has closed.
    bool WaitForMessages(int timeoutMs);
    bool closed() const { return closed_.load(); }
    // The browser stopped reading and the pipe gave up on it.
    bool overflowed() const { return overflowed_.load(); }

private:
    void Run();
    bool ReadSome();
    bool WriteSome();
    void Dispatch(size_t begin, size_t end);
    bool HandleFrame(size_t begin, size_t end);

    int fd_ = -1;
    int wakeFd_ = -1;
    Callbacks callbacks_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> closed_{false};
    std::atomic<bool> overflowed_{false};
    std::atomic<int64_t> nextId_{1};

    std::mutex outMutex_;
    std::string out_;  // guarded by outMutex_
    size_t outSent_ = 0;

    std::string in_;  // I/O thread only
    size_t scanned_ = 0;
    std::chrono::steady_clock::time_point lastLargeRead_;  // in_ last held more than its kept size

    std::mutex inMutex_;
    std::condition_variable inCv_;
    std::vector<JsonValue> inbox_;
};

}  // namespace bzweb
