// The one log of the client: bzlog.txt and its configuration bzlogconfig.txt in the preference folder.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

enum LogLevel : unsigned {
    LOG_ERROR = 0x02,
    LOG_INFO = 0x08,
    LOG_DEBUG = 0x10,
};

// The persistent configuration, in the order of the file.
struct LogConfig {
    int enabled = 0;
    uint32_t levelMask = 0xFFFF;
    int64_t maxDurationSeconds = 120;
    int64_t maxLineLength = 200;
    int64_t maxFileSize = 524288;
    int64_t uploadOffset = 0;
};

// Sets both paths from the preference folder and loads the configuration. An empty folder
// leaves the log without paths, so nothing is ever written at the root of the file system.
void initLog(const std::string& prefFolder);
void saveLogConfig();
void enableLog();
void disableLog();
uint64_t logFileSize();
void deleteLogFile();
std::string readLogChunk(uint64_t& logSizeOut);
void writeLogLine(int64_t clockNanos, const std::string& line);

// A copy of the configuration, and a way to store the server's new limits before enableLog.
LogConfig logConfig();
void setLogLimits(uint32_t levelMask, int64_t maxDurationSeconds, int64_t maxLineLength, int64_t maxFileSize);
std::string logPath();
std::string logConfigPath();

// The gate every call site passes before it builds a line: enabled, a log path, the level bit.
bool logWanted(LogLevel level);
// Builds "@time: function: prefix message\n" from one clock reading and writes it.
void logLine(LogLevel level, const char* function, const std::string& message);
// Formats the time stamp of a line from nanoseconds since the epoch (local time).
std::string formatLogTime(int64_t clockNanos);
// Nanoseconds since the epoch on the system clock.
int64_t wallClockNanos();

// Tests reset the process-wide state between cases.
void resetLogForTests();

// BZ_LOG(LOG_INFO, "initPaths", "basepath=" << path): nothing is formatted unless the line is wanted.
#define BZ_LOG(level, function, expr)                        \
    do {                                                     \
        if (logWanted(level)) {                              \
            std::ostringstream bzLogStream_;                 \
            bzLogStream_ << expr;                            \
            logLine(level, function, bzLogStream_.str());    \
        }                                                    \
    } while (0)
