// The records a replay text is read into, the cursor that reads it, and the readers of the status
// record ("{ ... }") and of the whole text. A replay text is a position string extended with time
// stamps, table events and status records; see replay_text.cpp for its tokens.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int REPLAY_STATUS_VALUES = 49;
using ReplayStatus = std::array<int, REPLAY_STATUS_VALUES>;

// The longest replay text kept; a server sending more is cut off there.
inline constexpr size_t MAX_REPLAY_TEXT_BYTES = 16u << 20;

// The kinds of recorded events (the numbers are those of the text's record).
enum ReplayEventKind : int {
    EV_BALL_PLACED = 3,
    EV_CLAIM = 4,
    EV_AIM_START = 5,
    EV_AIM_MOVE = 6,
    EV_AIM_END = 7,
    EV_AIM_SET = 8,
    EV_NOMINATED = 9,
    EV_STROKE = 10,
    EV_FOUL_PLAY_ON = 11,
    EV_RETAKE = 12,
    EV_RERACK_REQUESTED = 13,
    EV_RERACK_ACCEPTED = 14,
    EV_RERACK_DECLINED = 15,
    EV_FRAME_END_INACTIVE = 16,
    EV_FRAME_END_DECIDED = 17,
    EV_ABORT_INACTIVE = 18,
    EV_ABORT_DECIDED = 19,
    EV_ABORT_REQUESTED = 20,
    EV_ABORT_ACCEPTED = 21,
    EV_ABORT_DECLINED = 22,
    EV_TIMEOUT_OPTIONS = 23,
    EV_TIMEOUT_FOUL = 24,
    EV_STATUS = 25,
    EV_FRAME_OVER = 26,
    EV_MATCH_OVER = 27,
    EV_FRAME_CONCEDED = 28,
    EV_CUE_STROKE = 29,
    EV_CUE = 30,
    EV_UNDO = 31,
};

struct ReplayBall {
    bool onTable = false;
    int pocket = 0;
    double spare = 0;
    double x = 0, y = 0, z = 0;
    double ow = 1, ox = 0, oy = 0, oz = 0;
};

struct ReplayEvent {
    int time = 0;  // ms of replay time
    bool skippable = false;
    int kind = 0;
    int ball = 0;
    double x = 0, z = 0;
    std::array<double, 5> aim{};  // angle, power, top spin, side spin, elevation
    int seat = 0;
    int extra = 0;  // nominated ball of a stroke, shot time of a cue stroke, cue of EV_CUE
    ReplayStatus status{};  // EV_STATUS only
    int a = 0, b = 0;
};

struct ReplayShot {
    int number = 0;
    int startTime = 0;
    int cues[2] = {0, 0};
    std::array<ReplayBall, 25> balls{};
    ReplayStatus status{};
    std::vector<ReplayEvent> events;
};

struct ReplayBreak {
    int byPlayer = 0, score = 0, shotNumberStart = 0, shotNumberEnd = 0, t = 0, duration = 0;
};

// A cursor over a text (not copied: it must outlive the reader) that reads as stream extraction does: words and numbers separated by white
// space; once a read fails every later read fails too.
class ReplayReader {
public:
    explicit ReplayReader(std::string_view text) : text_(text) {}
    bool readInt(int& value);
    bool readDouble(double& value);
    bool readWord(std::string& word);
    bool readChar(char& c);  // the next character that is not white space
    // The next character after white space, without taking it; 0 at the end.
    char peekAfterSpace();
    bool failed() const { return failed_; }
    size_t position() const { return pos_; }

private:
    void skipSpace();
    bool fail() { return !(failed_ = true); }
    std::string_view text_;
    size_t pos_ = 0;
    bool failed_ = false;
};

// Reads one status record after its "{" into status; replayT is the record's time. On failure the
// array keeps its values and false is returned.
bool readGameStatus(ReplayReader& in, ReplayStatus& status, int replayT);

// Everything the reading of a replay text gives.
struct ReplayParse {
    int tableVersion = 0, tableType = 1;
    std::string playerNames[2];
    std::string date;  // date + " " + time
    std::string infoText;
    std::array<int, 7> info{};  // table id, game type, best of, max shot time, max points behind, frames won x2
    std::vector<ReplayShot> shots;
    std::vector<ReplayBreak> breaks;
    int totalFrameTime = 0;
    int cues[2] = {0, 0};
    bool lineUpFewBalls = true, lineUpTen = true, lineUpTwelvePending = true, lineUpTwelve = false;
    int bestBreakScore = 0, bestBreakFirstShot = 0;
};

// Reads a whole replay text; maxPower is the game controller's (the cue-stroke lead time).
void parseReplayText(std::string_view text, double maxPower, ReplayParse& out);
