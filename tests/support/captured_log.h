// A temporary folder of one test, with the log switched on into it, so a test can read the lines
// its code wrote. Removed again when the test ends.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/log.h"

namespace bztest {

inline std::string readFileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class CapturedLog {
public:
    explicit CapturedLog(const std::string& tag = "bztest") {
        dir_ = std::filesystem::temp_directory_path() /
               (tag + "-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        resetLogForTests();
        initLog(folder());
        // No time limit: on a loaded machine a test runs past the minute a new log stops after.
        setLogLimits(logConfig().levelMask, 0, -1, -1);
        enableLog();
    }
    ~CapturedLog() {
        resetLogForTests();
        std::filesystem::remove_all(dir_);
    }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;

    const std::filesystem::path& dir() const { return dir_; }
    // The folder as a preference folder: ending with the separator.
    std::string folder() const { return dir_.string() + "/"; }
    std::string text() const { return readFileText(dir_ / "bzlog.txt"); }
    int count(const std::string& needle) const {
        const std::string all = text();
        int n = 0;
        for (size_t at = all.find(needle); at != std::string::npos; at = all.find(needle, at + 1)) ++n;
        return n;
    }

private:
    std::filesystem::path dir_;
};

}  // namespace bztest
