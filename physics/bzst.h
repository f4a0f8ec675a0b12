// The bzst position string: one line with every ball on the bed or in a pocket (the cue ball with
// its orientation) and the aim of the next stroke, e.g.
//   v 1 t 2 c b 0 0 1755.625 -105 1 0 0 0 b 10 3 1800 -120.5 900 a 90 160 80 0 0 e
#pragma once

#include <string>

#include "physics/table.h"

// The table's position and the given aim (degrees, power up to [0], spins in percent, degrees),
// ending in a newline. Doubles and the orientation floats are written so they read back exactly.
std::string writeBzstString(const Table& table, double angle, double power, double topSpin, double sideSpin,
                            double elevation);

// Reads a position into the 25 balls of the status. A bad head leaves the balls as they were; a
// bad body (an unknown token, a number that does not parse, a ball id outside 0..24 or a pocket
// above 5) returns false with the balls already parked and partly filled. A negative pocket is
// accepted and leaves its ball neither on the bed nor in a pocket. The aim is only logged.
bool loadBzstString(LiveStatus& status, const std::string& text);
