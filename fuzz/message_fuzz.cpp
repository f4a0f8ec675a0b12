// Feeds arbitrary bytes to the message parser as the connection would (message after message from one
// stream) and checks that whatever parses serialises to a form that parses back to the same bytes.
#include "net/message.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void roundTrip(Message& parsed) {
    Message copy(parsed);
    const Buffer& first = copy.getBuffer(MESSAGE_BLOCK_SIZE);
    check(first.writeLength % MESSAGE_BLOCK_SIZE == 0);

    Buffer reader(first.writeData, first.writeLength);
    Message again(reader);
    check(again.parseResult() == ParseResult::Complete);
    check(again.consumed == first.writeLength);

    const Buffer& second = again.getBuffer(MESSAGE_BLOCK_SIZE);
    check(second.writeLength == first.writeLength);
    check(std::memcmp(second.writeData, first.writeData, static_cast<size_t>(first.writeLength)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return 0;
    Buffer reader(data, static_cast<int32_t>(size));
    for (;;) {
        const int32_t before = reader.readPos;
        Message message(reader);
        const ParseResult result = message.parseResult();
        if (result != ParseResult::Complete) {
            check(reader.readPos == before);
            check(message.consumed == 0);
            break;
        }
        check(message.consumed > 0 && message.consumed % MESSAGE_BLOCK_SIZE == 0);
        check(reader.readPos == before + message.consumed && reader.readPos <= reader.readLength);
        roundTrip(message);
    }
    return 0;
}
