// Feeds arbitrary text to the status-record reader: a refused record leaves the values as they
// were, an accepted one keeps every checked value in its range.
#include "client/gamehandler/replay_text.h"
#include "fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using fuzzsupport::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReplayStatus status;
    status.fill(-12345);
    const ReplayStatus before = status;
    ReplayReader in(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!readGameStatus(in, status, 77)) {
        check(status == before);
        return 0;
    }
    check(status[0] == 0 || status[0] == 1);
    check(status[2] >= 0 && status[2] <= 1);
    check(status[28] >= 0 && status[28] <= 6);
    for (int i = 0; i < status[28]; ++i) check(status[29 + i] >= 0 && status[29 + i] <= 24);
    return 0;
}
