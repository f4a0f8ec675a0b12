// Reads members out of an archive file of arbitrary bytes through an index whose last row the input
// also chooses (its first 16 bytes: offset and length), and walks each member with every reader.
#include "core/archive.h"
#include "core/archive_io.h"
#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

using fuzzsupport::check;

namespace {

uint64_t readLe64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

void walk(const std::string& name) {
    BZFile file(name);
    if (!file.isOpen()) return;
    const char* bytes = nullptr;
    const uint64_t length = file.data(&bytes);
    check(length == file.size());
    std::string line;
    uint64_t lines = 0;
    while (file.getLine(line)) check(++lines <= length + 1);
    check(file.seek(0, 0) == 0);
    char chunk[7];
    uint64_t total = 0;
    while (uint64_t got = file.read(chunk, sizeof chunk)) total += got;
    check(total == length);
    file.seek(uint64_t(-3), 2);

    ArchiveIOStream stream(name);
    check(stream.FileSize() == length);
    while (stream.Read(chunk, 3, 2) > 0) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint64_t chosenOffset = 0, chosenLength = 0;
    if (size >= 16) {
        chosenOffset = readLe64(data);
        chosenLength = readLe64(data + 8);
        data += 16;
        size -= 16;
    }
    const std::string archive = fuzzsupport::tempFolder() + "vidoda.dat";
    if (FILE* file = std::fopen(archive.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    ArchiveIndex& index = ArchiveIndex::instance();
    index.replaceTable({{"a", 0, 5},
                        {"b", 16, 40},
                        {"empty", 32, 0},
                        {"past", uint64_t(1) << 40, 16},
                        {"wraps", 0, ~uint64_t(0)},
                        {"chosen", chosenOffset, chosenLength}},
                       "vidoda.dat");
    index.setBaseFolder(fuzzsupport::tempFolder());
    for (const char* name : {"a", "b", "empty", "past", "wraps", "chosen", "missing"}) walk(name);
    return 0;
}
