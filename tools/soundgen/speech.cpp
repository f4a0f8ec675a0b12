#include "tools/soundgen/speech.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

extern char** environ;

namespace soundgen {

const Voice& refereeVoice(int index) {
    static const Voice voices[] = {
        {"en-gb-x-rp+m3", 65, 165},
        {"en-us+f2", 58, 165},
        {"en-gb-scotland+m7", 5, 155},
    };
    return voices[std::clamp(index, 0, 2)];
}

bool speak(const std::string& espeak, const Voice& voice, int wordsPerMinute, const std::string& text, Pcm& out,
           std::string& error) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        error = "pipe failed";
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    const std::string rate = std::to_string(wordsPerMinute), pitch = std::to_string(voice.pitch);
    std::vector<std::string> args = {espeak, "-v", voice.name, "-s", rate, "-p", pitch, "--stdout", text};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, espeak.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    std::string bytes;
    if (spawned == 0) {
        char chunk[65536];
        ssize_t n;
        while ((n = read(pipeFds[0], chunk, sizeof chunk)) > 0) bytes.append(chunk, size_t(n));
    }
    close(pipeFds[0]);
    if (spawned != 0) {
        error = "cannot start " + espeak;
        return false;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = espeak + " failed on \"" + text + "\"";
        return false;
    }
    if (!parseWav(bytes, out, error)) return false;
    if (out.channels != 1) {
        error = "speech is not mono";
        return false;
    }
    return true;
}

std::vector<int16_t> trimSpeech(const std::vector<int16_t>& samples, int rate) {
    constexpr int kFloor = 300;  // about -41 dBFS
    const auto loud = [](int16_t v) { return std::abs(int(v)) > kFloor; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end()) return {};
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    const size_t lead = size_t(rate / 100), tail = size_t(rate / 40);  // 10 ms, 25 ms
    const size_t from = size_t(first - samples.begin()) > lead ? size_t(first - samples.begin()) - lead : 0;
    const size_t to = std::min(samples.size(), size_t(last - samples.begin()) + tail);
    std::vector<int16_t> out(samples.begin() + long(from), samples.begin() + long(to));
    const size_t fadeIn = std::min(out.size(), lead), fadeOut = std::min(out.size(), tail);
    for (size_t i = 0; i < fadeIn; ++i) out[i] = int16_t(out[i] * long(i) / long(fadeIn));
    for (size_t i = 0; i < fadeOut; ++i) out[out.size() - 1 - i] = int16_t(out[out.size() - 1 - i] * long(i) / long(fadeOut));
    return out;
}

}  // namespace soundgen
