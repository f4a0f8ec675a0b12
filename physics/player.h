// The part of a user's registry entry that the table reads; the registry owns the records.
#pragma once

#include <cstdint>
#include <string>

struct Player {
    std::string nick;
    uint16_t userType = 0;    // bit 0x40 puts the person at the front of a table's people list
    uint32_t rank = 9999999;  // until the server gives one; the lower rank takes seat 0
    // From the user list, and the cue the user plays with (current-cue message, replays).
    uint32_t rating = 1200;
    uint32_t flags = 0;
    int32_t currentCue = 1;
};
