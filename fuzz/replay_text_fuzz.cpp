// Feeds arbitrary text to the replay reader: it must end, never index outside its records, and
// keep every stored ball id, pocket and seat in range.
#include "client/gamehandler/replay_text.h"
#include "fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using fuzzsupport::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReplayParse parsed;
    parseReplayText(std::string_view(reinterpret_cast<const char*>(data), size), 400, parsed);
    for (const ReplayShot& shot : parsed.shots) {
        for (const ReplayBall& b : shot.balls) check(b.pocket >= -1 && b.pocket <= 5);
        check(shot.status[28] >= 0 && shot.status[28] <= 6);
        for (const ReplayEvent& e : shot.events) {
            check(e.seat == 0 || e.seat == 1);
            check(e.ball >= 0 && e.ball <= 24);
        }
    }
    return 0;
}
