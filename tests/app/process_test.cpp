// The executable's modes as a user starts them: the converter, and the client path it must not take
// by mistake; the SIGPIPE handler and the bounded wait of the end.
#include "app/application.h"
#include "app/process_signals.h"
#include "support/shot_file_bytes.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

struct RunResult {
    int status = -1;
    std::string out, err;
};

// Runs the client in dir with the arguments and the extra environment; stdout and stderr captured.
RunResult runClientProcess(const fs::path& dir, const std::vector<std::string>& args, const std::string& env = "") {
    const fs::path out = dir / "out.txt", err = dir / "err.txt";
    std::string command = "cd '" + dir.string() + "' && env -u DISPLAY " + env + " '" BZ_CLIENT_EXE "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " >'" + out.string() + "' 2>'" + err.string() + "'";
    RunResult result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    auto slurp = [](const fs::path& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };
    result.out = slurp(out);
    result.err = slurp(err);
    return result;
}

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("bz-process-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(ProcessTest, ConverterPrintsTheBzstLineOfTheNamedFile) {
    bztest::ShotFileBytes file;
    file.setAim(90, 160, 80, 0, 0);
    file.write((dir_ / "break.bzs").string());
    bztest::ShotFileBytes().write((dir_ / "zlast.bzs").string());

    const RunResult run = runClientProcess(dir_, {"bzs2bzst", "break.bzs"});
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.out.rfind("break.bzs bzst: v 1 t ", 0), 0u) << run.out;
    EXPECT_NE(run.out.find(" a 90 160 80 0 0 e"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.back(), '\n');
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << "only the result on standard output";
    EXPECT_NE(run.err.find("Restoring ball: id=0"), std::string::npos);
    EXPECT_EQ(run.err.find("Command line parameter"), std::string::npos);
}

TEST_F(ProcessTest, ConverterFailsOnAMissingOrShortFile) {
    bztest::ShotFileBytes().write((dir_ / "other.bzs").string());
    bztest::ShotFileBytes().write((dir_ / "short.bzs").string(), 2000);
    for (const char* name : {"missing.bzs", "short.bzs", "other"}) {
        const RunResult run = runClientProcess(dir_, {"bzs2bzst", name});
        EXPECT_NE(run.status, 0) << name;
        EXPECT_TRUE(run.out.empty()) << name << ": " << run.out;
        EXPECT_NE(run.err.find("bzs2bzst:"), std::string::npos) << name << ": " << run.err;
    }
}

TEST_F(ProcessTest, ThreeArgumentsStartTheClient) {
    bztest::ShotFileBytes().write((dir_ / "a.bzs").string());
    // No video device that can make a GL window: the client path fails with SDL's reason.
    const std::string home = "'" + dir_.string() + "'";
    const RunResult run = runClientProcess(dir_, {"bzs2bzst", "a.bzs", "x"},
                                           "SDL_VIDEODRIVER=dummy HOME=" + home + " XDG_DATA_HOME=" + home);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_NE(run.err.find("Error: "), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("OpenGL Error!"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("bzs2bzst:"), std::string::npos) << run.err;
}

TEST(Signals, SigpipeIsReportedAndSurvived) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::fflush(stdout);
    const int savedOut = ::dup(STDOUT_FILENO);
    ::dup2(fds[1], STDOUT_FILENO);
    installSigpipeHandler();
    std::raise(SIGPIPE);
    ::dup2(savedOut, STDOUT_FILENO);
    ::close(savedOut);
    ::close(fds[1]);
    char text[64] = {};
    const ssize_t n = ::read(fds[0], text, sizeof text - 1);
    ::close(fds[0]);
    EXPECT_EQ(std::string(text, n > 0 ? n : 0), "Caught signal SIGPIPE " + std::to_string(SIGPIPE) + "\n");
    std::signal(SIGPIPE, SIG_DFL);
}

TEST(BoundedWait, WaitsForWorkThatEndsAndGivesUpOnWorkThatDoesNot) {
    std::atomic<bool> done{false};
    EXPECT_TRUE(runWithin([&] { done = true; }, std::chrono::milliseconds(2000)));
    EXPECT_TRUE(done);

    auto release = std::make_shared<std::atomic<bool>>(false);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(runWithin(
        [release] {
            while (!release->load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        },
        std::chrono::milliseconds(50)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    release->store(true);  // let the left thread end before the test process does
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace
