// Feeds arbitrary bytes to the table-event list reader (game status included) and checks that a list
// that reads whole writes to bytes that read back and write again to the very same bytes.
#include "net/table_event.h"
#include "fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

using fuzzsupport::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return 0;
    Buffer reader(data, static_cast<int32_t>(size));
    std::vector<TableEvent> events;
    const ParseResult result = readTableEvents(reader, events);
    check(reader.readPos >= 0 && reader.readPos <= reader.readLength);
    if (result != ParseResult::Complete) return 0;
    for (const TableEvent& event : events) {
        // Only the status event holds a status record.
        check(event.hasStatus() == (event.type == TableEventType::GAME_STATUS));
    }

    Buffer first;
    writeTableEvents(first, events);
    Buffer again(first.writeData, first.writeLength);
    std::vector<TableEvent> reread;
    check(readTableEvents(again, reread) == ParseResult::Complete);
    check(again.readPos == first.writeLength);
    check(reread.size() == events.size());
    Buffer second;
    writeTableEvents(second, reread);
    check(second.writeLength == first.writeLength);
    check(std::memcmp(second.writeData, first.writeData, static_cast<size_t>(first.writeLength)) == 0);
    return 0;
}
