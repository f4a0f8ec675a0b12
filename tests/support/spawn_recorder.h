// Replaces the opener's spawner for its lifetime: every argv is kept, nothing runs, and every
// opener "ends" with the status set in exitStatus().
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
        exitStatus() = 0;
        previousWaiter_ = setProgramWaiter([](int) { return exitStatus(); });
    }
    ~SpawnRecorder() {
        waitForOpeners(10000);
        setProgramSpawner(previous_);
        setProgramWaiter(previousWaiter_);
    }

    static int& exitStatus() {
        static int status = 0;
        return status;
    }

    static std::vector<std::vector<std::string>>& spawned() {
        static std::vector<std::vector<std::string>> calls;
        return calls;
    }

private:
    ProgramSpawner previous_ = nullptr;
    ProgramWaiter previousWaiter_ = nullptr;
};

}  // namespace bztest
