// Shot files: one table position with the aim of a stroke as a fixed 2840-byte little-endian
// record (25 ball records of 112 bytes, then the five aim doubles). The client only reads them.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

class GameHandler;

inline constexpr size_t SHOT_FILE_SIZE = 2840;
inline constexpr size_t SHOT_BALL_RECORD_SIZE = 112;

// Every path that matches the glob pattern (tilde expanded), sorted byte-wise; empty when none.
std::vector<std::string> listShotFiles(const std::string& pattern);

// Picks a "*.bzs" file of the working directory and loads it into the table and the aim: with
// currentName in the list, the file before it (direction < 0), itself (0) or after it (> 0);
// otherwise the last file. Returns the name loaded, or "" when nothing was loaded (no such file,
// a step past either end), the table and aim then unchanged; so too, with one ERROR line, for a file
// that cannot be opened, is not exactly SHOT_FILE_SIZE bytes, or holds an infinity or NaN. The
// cue ball's anchor follows the loaded cue ball. The per-ball restore lines go to report.
std::string loadShotFile(GameHandler& gameHandler, const std::string& currentName, int direction,
                         std::ostream& report);
