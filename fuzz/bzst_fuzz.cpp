// Feeds arbitrary text to the bzst position reader and checks that a position it accepts writes to a
// text that reads back and writes again to the very same text.
#include "physics/bzst.h"
#include "physics/table.h"
#include "fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using fuzzsupport::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Table* table = new Table();  // the log is off: a table's set-up logs nothing here
    const std::string text(reinterpret_cast<const char*>(data), size);
    Table fresh;
    if (!loadBzstString(fresh.status, text)) return 0;
    const std::string first = writeBzstString(fresh, 90, 100, 0, 0, 0);
    if (!loadBzstString(table->status, first)) std::abort();
    check(writeBzstString(*table, 90, 100, 0, 0, 0) == first);
    return 0;
}
