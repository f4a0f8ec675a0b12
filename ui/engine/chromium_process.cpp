// Starting and stopping the browser: finding its binary, its profile folder, its arguments and
// the sandbox question, the pipe to it, and its first answer.
#include "ui/engine/chromium_backend.h"

#include "core/log.h"
#include "ui/engine/chromium_backend_internal.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

namespace bzweb {

namespace fs = std::filesystem;

namespace {

constexpr const char* kHeadlessShell = "/usr/lib/chromium/chromium-headless-shell";
constexpr const char* kChromium = "/usr/lib/chromium/chromium";
constexpr const char* kProfilePrefix = "bzweb-";

// The text of a small system file, or "" when it cannot be read.
std::string ReadSmallFile(const char* path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    return text;
}

// Profile folders of earlier runs whose program is gone (a crash leaves them behind).
void RemoveStaleProfiles(const fs::path& base) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(base, ec)) {
        std::string name = entry.path().filename().string();
        if (name.rfind(kProfilePrefix, 0) != 0 || !entry.is_directory(ec)) continue;
        long pid = std::strtol(name.c_str() + 6, nullptr, 10);
        if (pid <= 0 || pid == getpid()) continue;
        if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) fs::remove_all(entry.path(), ec);
    }
}

// The browser's command line: headless, without network, talking over the pipe, keeping its
// profile in profile; without the sandbox when sandboxless names why.
std::vector<std::string> BrowserArguments(const fs::path& profile, const std::string& sandboxless) {
    std::vector<std::string> args = {
        "--headless", "--disable-gpu", "--disable-quic", "--no-first-run",
        "--no-default-browser-check", "--disable-background-networking", "--disable-component-update",
        "--disable-sync", "--disable-extensions", "--disable-default-apps", "--mute-audio", "--password-store=basic",
        // Every page is shown or about to be: none may be slowed down as a background tab.
        "--disable-background-timer-throttling", "--disable-renderer-backgrounding",
        "--disable-backgrounding-occluded-windows",
        // All pages are file:// pages: one renderer for all of them instead of one each.
        "--process-per-site",
        // No network: names do not resolve and anything but loopback goes to a closed local port.
        "--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE localhost", "--proxy-server=127.0.0.1:9",
        "--remote-debugging-pipe", "--user-data-dir=" + profile.string(),
        // Memory: the compositing (in software, the GPU being off) and the network service run in
        // the browser process instead of two processes of their own.
        "--in-process-gpu", "--enable-features=NetworkServiceInProcess2"};
    if (!sandboxless.empty()) {
        args.insert(args.begin() + 1, "--no-sandbox");
        // Without the sandbox the zygote processes that prepare sandboxed children are not needed,
        // and the one renderer that all pages share separates nothing from the browser: it runs in
        // the browser's process (15-20 MiB less).
        args.push_back("--no-zygote");
        args.push_back("--single-process");
    }
    return args;
}

// Why the browser runs without its sandbox here, or "" when it has it; said once in the log.
std::string CheckSandbox() {
    // The pages show what the server sends: the browser keeps its sandbox wherever it can have it.
    const std::string sandboxless =
        SandboxlessReason(geteuid(), ReadSmallFile("/proc/sys/kernel/unprivileged_userns_clone"),
                          ReadSmallFile("/proc/sys/user/max_user_namespaces"));
    static std::atomic<bool> sandboxlessLogged{false};
    if (!sandboxless.empty() && !sandboxlessLogged.exchange(true))
        BZ_LOG(LOG_INFO, "ChromiumBackend", "the browser runs without its sandbox: " << sandboxless);
    return sandboxless;
}

}  // namespace

namespace chromium {

bool ChromiumBackend::Start(std::string& error) {
    binary_ = FindBrowserBinary(settings_);
    if (binary_.empty()) {
        error = settings_.browserPath.empty()
                    ? std::string("no headless browser installed (looked for ") + kHeadlessShell + " and " + kChromium +
                          "; Debian packages chromium-headless-shell or chromium)"
                    : "the browser " + settings_.browserPath + " is not an executable file";
        return false;
    }
    newHeadless_ = fs::path(binary_).filename().string().find("headless") == std::string::npos;
    if (!MakeProfile(error)) return false;
    if (const char* dir = std::getenv("BZ_PAGE_TEXT_DIR"); dir && *dir) pageTextDir_ = dir;

    const std::vector<std::string> args = BrowserArguments(profile_, CheckSandbox());
    int fd = -1;
    if (!process_.Spawn(binary_, args, settings_.browserLogFile, fd, error)) {
        Stop();
        return false;
    }
    started_ = true;
    if (!ConnectPipe(fd, error)) {
        Stop();
        return false;
    }
    std::string version;
    if (!AwaitVersion(version)) {
        if (pipe_.closed()) {
            while (!deathKnown_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            error = binary_ + " ended at start (" + process_.exitText() + ")";
        } else {
            error = binary_ + " did not answer within " + std::to_string(settings_.startTimeoutMs) + " ms";
        }
        Stop();
        return false;
    }
    BZ_LOG(LOG_INFO, "Initialize", "browser " << version << " (" << binary_ << ", pid " << process_.pid() << ")");
    return true;
}

// A profile folder of this run's own, after clearing away those of runs that crashed.
bool ChromiumBackend::MakeProfile(std::string& error) {
    fs::path base = settings_.cachePath;
    if (base.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp && *tmp ? tmp : "/tmp";
    }
    RemoveStaleProfiles(base);
    std::string pattern = (base / (std::string(kProfilePrefix) + std::to_string(getpid()) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) {
        error = "cannot make a profile folder under " + base.string() + ": " + std::strerror(errno);
        return false;
    }
    profile_ = pattern;
    return true;
}

// The frame decoders and the pipe on fd, whose frames go to the decoders.
bool ChromiumBackend::ConnectPipe(int fd, std::string& error) {
    decoder_ = std::make_unique<FrameDecoderPool>(settings_.decoderThreads, [this] {
        if (wake_) wake_();
    });
    DevToolsPipe::Callbacks callbacks;
    callbacks.onFrame = [this](const std::string& session, std::string message, size_t offset, size_t length) {
        decoder_->Submit(session, std::move(message), offset, length);
    };
    callbacks.onClosed = [this] {
        // A browser that stopped reading is hung: it gets no time to end by itself (the pipe has said why).
        bool hung = pipe_.overflowed();
        deathStatus_ = process_.Reap(hung ? 0 : 2000);
        if (!hung) BZ_LOG(LOG_ERROR, "DevToolsPipe", "the browser closed its pipe (" << process_.exitText() << ")");
        deathKnown_ = true;
    };
    callbacks.onMessages = [this] {
        if (wake_) wake_();
    };
    return pipe_.Start(fd, std::move(callbacks), error);
}

// Asks the browser its version and waits for the answer, up to the start timeout; false when none came.
bool ChromiumBackend::AwaitVersion(std::string& version) {
    bool answered = false;
    Command("", "Browser.getVersion", JsonValue::object(), [&](const JsonValue& r) {
        answered = true;
        version = Str(Field(r, "result"), "product");
        if (version.empty()) version = "?";
    });
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(settings_.startTimeoutMs);
    while (!answered) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || pipe_.closed()) break;
        pipe_.WaitForMessages(static_cast<int>(left.count()));
        std::vector<JsonValue> msgs;
        pipe_.TakeMessages(msgs);
        for (auto& m : msgs) DeliverReply(m);  // events before the first view have nobody to go to
    }
    return answered;
}

void ChromiumBackend::Stop() {
    if (stopped_) return;
    stopped_ = true;
    pipe_.Stop();  // closing our end makes the browser quit by itself
    decoder_.reset();
    if (started_) process_.Reap(2000);
    if (!profile_.empty()) {
        std::error_code ec;
        fs::remove_all(profile_, ec);
    }
    replies_.clear();
    views_.clear();
    sessions_.clear();
    failedViews_.clear();
}

}  // namespace chromium

std::string FindBrowserBinary(const WebSettings& settings) {
    if (!settings.browserPath.empty()) return access(settings.browserPath.c_str(), X_OK) == 0 ? settings.browserPath : "";
    for (const char* p : {kHeadlessShell, kChromium}) {
        if (access(p, X_OK) == 0) return p;
    }
    return "";
}

std::string SandboxlessReason(unsigned effectiveUid, const std::string& usernsCloneFlag, const std::string& maxUserNamespaces) {
    auto firstWord = [](const std::string& text) { return text.substr(0, text.find_first_of(" \t\r\n")); };
    if (effectiveUid == 0) return "the client runs as root";
    if (firstWord(usernsCloneFlag) == "0" || firstWord(maxUserNamespaces) == "0")
        return "the system allows no user namespaces for it";
    return "";
}

}  // namespace bzweb
