#include "core/log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary);
    out << text;
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLogForTests();
        dir = fs::temp_directory_path() / ("bzlog-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        folder = dir.string() + "/";
    }
    void TearDown() override {
        resetLogForTests();
        fs::remove_all(dir);
    }
    fs::path config() const { return dir / "bzlogconfig.txt"; }
    fs::path log() const { return dir / "bzlog.txt"; }

    fs::path dir;
    std::string folder;
};

constexpr int64_t kSecond = 1000000000;

}  // namespace

TEST_F(LogTest, NoConfigurationMeansOffAndEnableWritesDefaults) {
    initLog(folder);
    EXPECT_EQ(logPath(), folder + "/bzlog.txt");
    EXPECT_FALSE(logWanted(LOG_ERROR));
    BZ_LOG(LOG_INFO, "test", "not written");
    EXPECT_FALSE(fs::exists(log()));
    enableLog();
    EXPECT_EQ(readFile(config()), "1 65535 60 200 262144 0");
}

TEST_F(LogTest, ShortConfigurationKeepsValuesReadAndStaysOff) {
    writeFile(config(), "1 255");
    initLog(folder);
    LogConfig c = logConfig();
    EXPECT_EQ(c.enabled, 0);
    EXPECT_EQ(c.levelMask, 255u);
    EXPECT_EQ(c.maxDurationSeconds, 120);
    EXPECT_EQ(c.maxLineLength, 200);
    EXPECT_EQ(c.maxFileSize, 524288);
    EXPECT_EQ(c.uploadOffset, 0);
}

TEST_F(LogTest, LineFormatAndLevelMask) {
    writeFile(config(), "1\n10 0 200 0 0");  // mask 0x0A: errors and info only
    initLog(folder);
    BZ_LOG(LOG_ERROR, "BZFile", "Too few bytes read.");
    BZ_LOG(LOG_DEBUG, "render", "dropped");
    BZ_LOG(LOG_INFO, "initPaths", "basepath=" << "/x/");
    std::string text = readFile(log());
    std::istringstream lines(text);
    std::string first, second, extra;
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_FALSE(std::getline(lines, extra));
    ASSERT_EQ(first.size(), 24u + std::string(": BZFile: ERROR: Too few bytes read.").size());
    EXPECT_EQ(first[0], '@');
    EXPECT_EQ(first[5], '-');
    EXPECT_EQ(first[11], ' ');
    EXPECT_EQ(first[20], '.');
    EXPECT_EQ(first.substr(24), ": BZFile: ERROR: Too few bytes read.");
    EXPECT_EQ(second.substr(24), ": initPaths: basepath=/x/");
}

// The log holds what the user typed and the server said: it is made readable by its owner only.
TEST_F(LogTest, TheLogFileIsCreatedForItsOwnerOnly) {
    const mode_t before = ::umask(022);
    initLog(folder);
    enableLog();
    BZ_LOG(LOG_ERROR, "test", "a line");
    ::umask(before);
    struct stat st {};
    ASSERT_EQ(::stat(log().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(LogTest, TimeStampFormat) {
    // 2026-01-31 18:04:09.071 UTC, printed in local time; only the shape and milliseconds are fixed.
    std::string t = formatLogTime(1769882649LL * kSecond + 71 * 1000000 + 999);
    ASSERT_EQ(t.size(), 24u);
    EXPECT_EQ(t.substr(20), ".071");
}

TEST_F(LogTest, DurationLimit) {
    writeFile(config(), "1 65535 120 200 0 0");
    initLog(folder);
    LogConfig c = logConfig();
    ASSERT_EQ(c.enabled, 1);
    const int64_t start = wallClockNanos();
    writeLogLine(start + 120 * kSecond + 900000000, "kept\n");
    EXPECT_EQ(readFile(log()), "kept\n");
    writeLogLine(start + 121 * kSecond + 1000000, "lost\n");
    EXPECT_EQ(readFile(log()), "kept\n");
    EXPECT_EQ(logConfig().enabled, 0);
    EXPECT_EQ(readFile(config()).substr(0, 2), "0 ");
}

TEST_F(LogTest, ClockSteppingBackCountsAsNoTime) {
    writeFile(config(), "1 65535 120 200 0 0");
    initLog(folder);
    writeLogLine(wallClockNanos() - 1000 * kSecond, "earlier\n");
    EXPECT_EQ(readFile(log()), "earlier\n");
    EXPECT_EQ(logConfig().enabled, 1);
}

TEST_F(LogTest, LineLengthAndNulCutTheLine) {
    writeFile(config(), "1 65535 0 200 0 0");
    initLog(folder);
    writeLogLine(wallClockNanos(), std::string(250, 'a') + "\n");
    writeLogLine(wallClockNanos(), std::string("ab\0cd\n", 6));
    EXPECT_EQ(readFile(log()), std::string(200, 'a') + "ab");
}

TEST_F(LogTest, FileSizeLimitKeepsTheLineThatReachesIt) {
    writeFile(config(), "1 65535 0 200 1000 0");
    initLog(folder);
    const std::string line(99, 'x');
    for (int i = 0; i < 10; ++i) writeLogLine(wallClockNanos(), line + "\n");
    EXPECT_EQ(logConfig().enabled, 0);
    EXPECT_EQ(fs::file_size(log()), 1000u);
    writeLogLine(wallClockNanos(), "after\n");
    EXPECT_EQ(fs::file_size(log()), 1000u);
}

TEST_F(LogTest, ExistingLargeLogStillTakesOneLine) {
    writeFile(log(), std::string(5000, 'o'));
    writeFile(config(), "1 65535 0 200 1000 0");
    initLog(folder);
    writeLogLine(wallClockNanos(), "one\n");
    EXPECT_EQ(fs::file_size(log()), 5004u);
    EXPECT_EQ(logConfig().enabled, 0);
}

TEST_F(LogTest, UploadCycleWithLoggingOff) {
    writeFile(log(), std::string(100000, 'z'));
    initLog(folder);
    uint64_t size = 0;
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(readLogChunk(size).size(), 32768u);
        EXPECT_EQ(size, 100000u);
        EXPECT_EQ(logConfig().uploadOffset, 32768 * i);
    }
    EXPECT_EQ(readLogChunk(size).size(), 1696u);
    EXPECT_FALSE(fs::exists(log()));
    EXPECT_EQ(logConfig().uploadOffset, 0);
    EXPECT_EQ(readFile(config()), "0 65535 60 200 262144 0");
    EXPECT_EQ(readLogChunk(size), "");
    EXPECT_EQ(size, 0u);
}

TEST_F(LogTest, UploadWhileLoggingWaitsForEnoughBytes) {
    writeFile(config(), "1 65535 0 5000 0 0");
    initLog(folder);
    writeLogLine(wallClockNanos(), std::string(1000, 'q'));
    uint64_t size = 0;
    EXPECT_EQ(readLogChunk(size), "");
    EXPECT_EQ(size, 1000u);
    EXPECT_EQ(logConfig().uploadOffset, 0);
    writeLogLine(wallClockNanos(), std::string(2000, 'r'));
    EXPECT_EQ(readLogChunk(size).size(), 3000u);
    EXPECT_FALSE(fs::exists(log()));
}

TEST_F(LogTest, OffsetAtEndChangesNothing) {
    writeFile(log(), "12345");
    writeFile(config(), "0 65535 0 200 0 5");
    initLog(folder);
    uint64_t size = 0;
    EXPECT_EQ(readLogChunk(size), "");
    EXPECT_EQ(size, 5u);
    EXPECT_TRUE(fs::exists(log()));
    EXPECT_EQ(logConfig().uploadOffset, 5);
}

TEST_F(LogTest, EmptyFolderWritesNothingAtTheRoot) {
    initLog("");
    EXPECT_EQ(logPath(), "");
    enableLog();
    EXPECT_FALSE(logWanted(LOG_ERROR));
    writeLogLine(wallClockNanos(), "nowhere\n");
    EXPECT_EQ(logConfig().enabled, 1);
}

TEST_F(LogTest, LinesFromSeveralThreadsAreWholeAndCounted) {
    writeFile(config(), "1 65535 0 200 0 0");
    initLog(folder);
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 200; ++i) BZ_LOG(LOG_INFO, "thread", "line " << i);
        });
    for (auto& t : threads) t.join();
    std::istringstream lines(readFile(log()));
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        EXPECT_NE(line.find(": thread: line "), std::string::npos);
        ++count;
    }
    EXPECT_EQ(count, 600);
}
