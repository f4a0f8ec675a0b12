// Replaces the opener's spawner for its lifetime: every argv is kept, nothing runs.
#pragma once

#include "core/opener.h"

#include <string>
#include <vector>

namespace bztest {

class SpawnRecorder {
public:
    SpawnRecorder() {
        spawned().clear();
        previous_ = setProgramSpawner([](const std::vector<std::string>& argv, std::string&) {
            spawned().push_back(argv);
            return 4242;
        });
    }
    ~SpawnRecorder() { setProgramSpawner(previous_); }

    static std::vector<std::vector<std::string>>& spawned() {
        static std::vector<std::vector<std::string>> calls;
        return calls;
    }

private:
    ProgramSpawner previous_ = nullptr;
};

}  // namespace bztest
