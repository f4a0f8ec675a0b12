// What the fuzz targets share: a check that stops the run, and a folder for the files a target
// writes, made once and removed at exit.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzzsupport {

inline void check(bool condition) {
    if (!condition) std::abort();
}

// The folder ends with "/". It is never destroyed, so that the exit handler can still name it.
inline const std::string& tempFolder() {
    static const std::string* path = [] {
        char pattern[] = "/tmp/bzfuzz-XXXXXX";
        if (!::mkdtemp(pattern)) std::abort();
        auto* made = new std::string(std::string(pattern) + "/");
        std::atexit([] { std::filesystem::remove_all(tempFolder()); });
        return made;
    }();
    return *path;
}

}  // namespace fuzzsupport
