#include "core/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace {

// Three threads write lines and the main thread changes the configuration: one lock guards it all.
std::recursive_mutex logMutex;
LogConfig config;
std::string pathOfLog;
std::string pathOfConfig;
int64_t logStartTime = 0;
uint64_t logSize = 0;

constexpr uint64_t kChunkSize = 32768;
constexpr uint64_t kMinChunkWhileLogging = 2048;

// Whole seconds since logging started; a clock that stepped backwards counts as no time at all.
uint64_t elapsedSeconds(int64_t now) {
    if (now <= logStartTime) return 0;
    return static_cast<uint64_t>((now - logStartTime) / 1000000000);
}

bool durationOver(int64_t now) {
    return config.maxDurationSeconds != 0 &&
           elapsedSeconds(now) > static_cast<uint64_t>(config.maxDurationSeconds);
}

void saveLocked() {
    if (pathOfConfig.empty()) return;
    FILE* f = std::fopen(pathOfConfig.c_str(), "w");
    if (!f) return;
    std::fprintf(f, "%d %u %ld %ld %ld %ld", config.enabled, config.levelMask,
                 static_cast<long>(config.maxDurationSeconds), static_cast<long>(config.maxLineLength),
                 static_cast<long>(config.maxFileSize), static_cast<long>(config.uploadOffset));
    std::fclose(f);
}

uint64_t fileSizeLocked() {
    if (pathOfLog.empty()) return 0;
    FILE* f = std::fopen(pathOfLog.c_str(), "rb");
    if (!f) return 0;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    std::fclose(f);
    return size < 0 ? 0 : static_cast<uint64_t>(size);
}

void deleteLocked() {
    if (!pathOfLog.empty()) std::remove(pathOfLog.c_str());
    logSize = 0;
    config.uploadOffset = 0;
}

}  // namespace

int64_t wallClockNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void initLog(const std::string& prefFolder) {
    std::lock_guard lock(logMutex);
    if (prefFolder.empty()) {
        pathOfLog.clear();
        pathOfConfig.clear();
    } else {
        pathOfLog = prefFolder + "/" + "bzlog.txt";
        pathOfConfig = prefFolder + "/" + "bzlogconfig.txt";
    }
    FILE* f = pathOfConfig.empty() ? nullptr : std::fopen(pathOfConfig.c_str(), "r");
    if (!f) {
        config.enabled = 0;
        config.maxDurationSeconds = 60;
        config.maxLineLength = 200;
        config.maxFileSize = 262144;
        config.uploadOffset = 0;
        return;
    }
    int enabled = config.enabled;
    unsigned mask = config.levelMask;
    long duration = config.maxDurationSeconds, lineLength = config.maxLineLength;
    long fileSize = config.maxFileSize, offset = config.uploadOffset;
    int got = std::fscanf(f, "%d%u%ld%ld%ld%ld", &enabled, &mask, &duration, &lineLength, &fileSize, &offset);
    std::fclose(f);
    // Values read before a failure are kept; the rest keep what they were.
    if (got >= 1) config.enabled = enabled;
    if (got >= 2) config.levelMask = mask;
    if (got >= 3) config.maxDurationSeconds = duration;
    if (got >= 4) config.maxLineLength = lineLength;
    if (got >= 5) config.maxFileSize = fileSize;
    if (got >= 6) config.uploadOffset = offset;
    if (got < 6) {
        config.enabled = 0;
        return;
    }
    if (config.enabled != 0) {
        logStartTime = wallClockNanos();
        logSize = fileSizeLocked();
    }
}

void saveLogConfig() {
    std::lock_guard lock(logMutex);
    saveLocked();
}

void enableLog() {
    std::lock_guard lock(logMutex);
    config.enabled = 1;
    logStartTime = wallClockNanos();
    saveLocked();
}

void disableLog() {
    std::lock_guard lock(logMutex);
    config.enabled = 0;
    saveLocked();
}

uint64_t logFileSize() {
    std::lock_guard lock(logMutex);
    return fileSizeLocked();
}

void deleteLogFile() {
    std::lock_guard lock(logMutex);
    deleteLocked();
}

std::string readLogChunk(uint64_t& logSizeOut) {
    std::lock_guard lock(logMutex);
    if (config.enabled != 0 && durationOver(wallClockNanos())) {
        config.enabled = 0;
        saveLocked();
    }
    const uint64_t size = fileSizeLocked();
    logSizeOut = size;
    const uint64_t offset = static_cast<uint64_t>(config.uploadOffset);
    if (offset >= size) return {};
    FILE* f = std::fopen(pathOfLog.c_str(), "rb");
    if (!f) return {};
    std::string buffer(kChunkSize, '\0');
    size_t count = 0;
    if (std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0)
        count = std::fread(buffer.data(), 1, std::min(size - offset, kChunkSize), f);
    std::fclose(f);
    // While the log grows, hand out only pieces worth a message; once it is off, hand out the rest.
    if (config.enabled != 0 && count < kMinChunkWhileLogging) return {};
    buffer.resize(count);
    std::string result = buffer.substr(0, buffer.find('\0'));
    config.uploadOffset += static_cast<int64_t>(count);
    if (static_cast<uint64_t>(config.uploadOffset) >= size) deleteLocked();
    saveLocked();
    return result;
}

namespace {

// The log holds what the user typed and what the server said: only its owner may read it.
FILE* openForAppending(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    FILE* f = ::fdopen(fd, "ab");
    if (!f) ::close(fd);
    return f;
}

}  // namespace

void writeLogLine(int64_t clockNanos, const std::string& line) {
    std::lock_guard lock(logMutex);
    if (config.enabled == 0) return;
    if (durationOver(clockNanos)) {
        config.enabled = 0;
        saveLocked();
        return;
    }
    if (!pathOfLog.empty()) {
        if (FILE* f = openForAppending(pathOfLog)) {
            // Written as a C string: a NUL inside the line ends it, like the length limit.
            size_t length = std::min<size_t>(line.size(), line.find('\0'));
            if (config.maxLineLength >= 0)
                length = std::min<uint64_t>(length, static_cast<uint64_t>(config.maxLineLength));
            logSize += std::fwrite(line.data(), 1, length, f);
            std::fclose(f);
        }
    }
    if (config.maxFileSize != 0 && logSize >= static_cast<uint64_t>(config.maxFileSize)) {
        config.enabled = 0;
        saveLocked();
    }
}

LogConfig logConfig() {
    std::lock_guard lock(logMutex);
    return config;
}

void setLogLimits(uint32_t levelMask, int64_t maxDurationSeconds, int64_t maxLineLength, int64_t maxFileSize) {
    std::lock_guard lock(logMutex);
    config.levelMask = levelMask;
    if (maxDurationSeconds >= 0) config.maxDurationSeconds = maxDurationSeconds;
    if (maxLineLength >= 0) config.maxLineLength = maxLineLength;
    if (maxFileSize >= 0) config.maxFileSize = maxFileSize;
}

std::string logPath() {
    std::lock_guard lock(logMutex);
    return pathOfLog;
}

std::string logConfigPath() {
    std::lock_guard lock(logMutex);
    return pathOfConfig;
}

bool logWanted(LogLevel level) {
    std::lock_guard lock(logMutex);
    return config.enabled != 0 && !pathOfLog.empty() && (config.levelMask & level) != 0;
}

std::string formatLogTime(int64_t clockNanos) {
    const time_t seconds = static_cast<time_t>(clockNanos / 1000000000);
    const unsigned long millis = static_cast<unsigned long>((clockNanos % 1000000000) / 1000000);
    struct tm local {};
    localtime_r(&seconds, &local);
    char text[65];
    std::snprintf(text, sizeof text, "@%04u-%02u-%02u %02u:%02u:%02u.%03lu", unsigned(local.tm_year + 1900),
                  unsigned(local.tm_mon + 1), unsigned(local.tm_mday), unsigned(local.tm_hour),
                  unsigned(local.tm_min), unsigned(local.tm_sec), millis);
    return text;
}

void logLine(LogLevel level, const char* function, const std::string& message) {
    const int64_t now = wallClockNanos();
    const char* prefix = level == LOG_ERROR ? "ERROR: " : level == LOG_DEBUG ? "DEBUG: " : "";
    std::string line = formatLogTime(now);
    line += ": ";
    line += function;
    line += ": ";
    line += prefix;
    line += message;
    line += '\n';
    writeLogLine(now, line);
}

void resetLogForTests() {
    std::lock_guard lock(logMutex);
    config = LogConfig{};
    pathOfLog.clear();
    pathOfConfig.clear();
    logStartTime = 0;
    logSize = 0;
}
