// Reading a replay text into shots, events and breaks. The text is a sequence of white-space
// separated words; a word that is no token is skipped, and a number that does not read ends the
// reading with what was read until then. T, the current time stamp, only moves forward.
#include "client/gamehandler/replay_text.h"

#include "core/log.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

namespace {

constexpr double kBallRestY = 26.25;
constexpr double kTableMaxPower = 400.0;     // table constant 0 in every record
constexpr double kTableMaxElevation = 70.0;  // table constant 7 in every record

// The tokens that are one event of a seat, the seat's number following.
struct SeatToken {
    std::string_view word;
    int kind;
    bool changes;
    bool skippable;
};
constexpr SeatToken kSeatTokens[] = {
    {"q", EV_FOUL_PLAY_ON, true, false},       {"w", EV_RETAKE, true, false},
    {"rr", EV_RERACK_REQUESTED, false, false}, {"ra", EV_RERACK_ACCEPTED, true, false},
    {"rd", EV_RERACK_DECLINED, false, false},  {"xe", EV_FRAME_END_DECIDED, false, false},
    {"bd", EV_ABORT_DECIDED, false, false},    {"br", EV_ABORT_REQUESTED, false, false},
    {"ba", EV_ABORT_ACCEPTED, true, false},    {"be", EV_ABORT_DECLINED, false, false},
    {"yl", EV_TIMEOUT_OPTIONS, false, true},   {"yt", EV_TIMEOUT_FOUL, true, false},
    {"c", EV_FRAME_CONCEDED, false, false},
};

// The tokens that are an event with nothing more to read.
struct BareToken {
    std::string_view word;
    int kind;
    bool changes;
    bool skippable;
};
constexpr BareToken kBareTokens[] = {
    {"ac", EV_AIM_END, false, true}, {"claim", EV_CLAIM, true, false}, {"xi", EV_FRAME_END_INACTIVE, false, false},
    {"bi", EV_ABORT_INACTIVE, false, false}, {"undo", EV_UNDO, true, false},
};

// The aiming and stroke tokens: a ball and the aim follow.
struct StrokeToken {
    std::string_view word;
    int kind;
};
constexpr StrokeToken kStrokeTokens[] = {
    {"as", EV_AIM_START}, {"ad", EV_AIM_MOVE}, {"af", EV_AIM_SET}, {"s", EV_STROKE}};

template <typename Row, size_t N>
const Row* findToken(const Row (&rows)[N], const std::string& word) {
    for (const Row& row : rows)
        if (row.word == word) return &row;
    return nullptr;
}

class Parser {
public:
    Parser(std::string_view text, double maxPower, ReplayParse& out) : in_(text), maxPower_(maxPower), out_(out) {}

    void run();

private:
    int clampSeat(int seat) { return std::clamp(seat, 0, 1); }
    void addEvent(ReplayEvent e) {
        e.time = t_;
        open_.events.push_back(e);
    }
    bool token(const std::string& word);
    bool headerToken(const std::string& word);
    bool eventToken(const std::string& word);
    void clearBalls();
    bool seatEvent(int kind, bool changes, bool skippable = false);
    void readBall();
    void stroke(int kind);
    void insertCueStroke(const ReplayEvent& stroke);
    void statusRecord();
    void closeRecord();
    void trackBreak(const ReplayShot& shot);
    void closeBreak(int n);

    ReplayReader in_;
    double maxPower_;
    ReplayParse& out_;
    int t_ = 0;
    ReplayShot open_;
    bool changed_ = false, retakePending_ = false, undoPending_ = false;
    int lastSeat_ = 0;
    ReplayStatus status_{};
    ReplayBreak break_{};
    bool breakOpen_ = false;
};

void Parser::run() {
    std::string word;
    while (in_.readWord(word))
        if (!token(word) || in_.failed()) break;
}

// False when a number does not read, which ends the reading.
bool Parser::token(const std::string& word) {
    if (word == "v" || word == "t" || word == "p" || word == "i" || word == "T") return headerToken(word);
    if (word == "z") {
        clearBalls();
    } else if (word == "b") {
        readBall();
    } else if (word == "{") {
        statusRecord();
    } else if (const StrokeToken* s = findToken(kStrokeTokens, word)) {
        stroke(s->kind);
    } else if (const SeatToken* s = findToken(kSeatTokens, word)) {
        if (!seatEvent(s->kind, s->changes, s->skippable)) return false;
        if (word == "w") retakePending_ = true;
        if (word == "rr") out_.lineUpFewBalls = true;
    } else if (const BareToken* b = findToken(kBareTokens, word)) {
        ReplayEvent e;
        e.kind = b->kind;
        e.skippable = b->skippable;
        addEvent(e);
        if (b->changes) changed_ = true;
        if (word == "undo") undoPending_ = true;
    } else {
        return eventToken(word);
    }
    return true;
}

// The version, the table, the players, the date and info line, and the time stamp.
bool Parser::headerToken(const std::string& word) {
    int n = 0;
    if (word == "v") {
        if (!in_.readInt(n)) return false;
        if (n != 1) BZ_LOG(LOG_ERROR, "startReplay", "bzst file version " << n << " not supported!");
    } else if (word == "t") {
        char c = 0;
        if (!in_.readInt(n) || !in_.readChar(c)) return false;
        out_.tableVersion = n;
        out_.tableType = c == 'p' ? 2 : 1;
    } else if (word == "p") {
        if (!in_.readWord(out_.playerNames[0]) || !in_.readWord(out_.playerNames[1])) return false;
    } else if (word == "i") {
        std::string date, time;
        if (!in_.readWord(date) || !in_.readWord(time) || !in_.readWord(out_.infoText)) return false;
        out_.date = date + " " + time;
        for (int& v : out_.info) in_.readInt(v);
    } else if (word == "T") {
        if (!in_.readInt(n)) return false;
        if (n > t_) out_.totalFrameTime = t_ = n;
    }
    return true;
}

// The events that read numbers of their own; any other word is skipped.
bool Parser::eventToken(const std::string& word) {
    ReplayEvent e;
    if (word == "m") {
        e.kind = EV_BALL_PLACED;
        e.skippable = true;
        if (!in_.readInt(e.ball) || !in_.readDouble(e.x) || !in_.readDouble(e.z)) return false;
        // A placement of no ball must never reach the table.
        if (e.ball >= 0 && e.ball <= 24) addEvent(e);
    } else if (word == "n") {
        e.kind = EV_NOMINATED;
        if (!in_.readInt(e.ball)) return false;
        e.ball = std::clamp(e.ball, 0, 24);
        addEvent(e);
    } else if (word == "ff" || word == "fm") {
        e.kind = word == "ff" ? EV_FRAME_OVER : EV_MATCH_OVER;
        if (!in_.readInt(e.seat) || !in_.readInt(e.a) || !in_.readInt(e.b)) return false;
        e.seat = lastSeat_ = clampSeat(e.seat);
        e.time = t_;
        // Belongs to the shot that ended the frame; before the second shot there is none.
        if (out_.shots.size() >= 2) out_.shots.back().events.push_back(e);
    } else if (word == "cue") {
        e.kind = EV_CUE;
        e.skippable = true;
        if (!in_.readInt(e.seat) || !in_.readInt(e.extra)) return false;
        e.seat = lastSeat_ = clampSeat(e.seat);
        out_.cues[e.seat] = e.extra;
        addEvent(e);
    }
    return true;
}

void Parser::clearBalls() {
    for (ReplayBall& b : open_.balls) {
        b.onTable = false;
        b.pocket = 0;
        b.x = b.y = b.z = 99999.9;
    }
    changed_ = true;
}

bool Parser::seatEvent(int kind, bool changes, bool skippable) {
    ReplayEvent e;
    e.kind = kind;
    e.skippable = skippable;
    if (!in_.readInt(e.seat)) return false;
    e.seat = lastSeat_ = clampSeat(e.seat);
    addEvent(e);
    if (changes) changed_ = true;
    return true;
}

void Parser::readBall() {
    int ball = 0, pocket = 0;
    double x = 0, z = 0, y = kBallRestY;
    ReplayBall rb;
    if (!in_.readInt(ball) || !in_.readInt(pocket)) return;
    if (ball == 0) {
        double w = 1, qx = 0, qy = 0, qz = 0;
        if (!in_.readDouble(x) || !in_.readDouble(z) || !in_.readDouble(w) || !in_.readDouble(qx) ||
            !in_.readDouble(qy) || !in_.readDouble(qz))
            return;
        rb.onTable = true;
        rb.ow = w, rb.ox = qx, rb.oy = qy, rb.oz = qz;
    } else {
        if (!in_.readDouble(x) || !in_.readDouble(z)) return;
        const char next = in_.peekAfterSpace();
        if ((next >= '0' && next <= '9') || next == '-' || next == '.') {
            double third = 0;
            if (!in_.readDouble(third)) return;
            // Three numbers are x, y, z.
            y = z;
            z = third;
        }
        rb.onTable = y >= 0;
    }
    if (ball < 0 || ball > 24 || pocket < -1 || pocket > 5) {
        BZ_LOG(LOG_ERROR, "readBallPosition", "Invalid format");
        return;
    }
    rb.pocket = rb.onTable ? 0 : pocket;
    rb.x = x, rb.y = y, rb.z = z;
    open_.balls[ball] = rb;
    changed_ = true;

    if (rb.onTable && ball != 0 && ball != 7 && ball != 8 && ball != 10) out_.lineUpFewBalls = false;
    if (ball == 8 && open_.status[2] == 1 && !(x >= -1758.25 && x <= 0 && std::fabs(z) <= 862.75))
        out_.lineUpFewBalls = false;
    if (rb.onTable && ball >= 2 && ball <= 7 &&
        (std::fabs(z) > 2.625 || std::fabs(x - ((7 - ball) * 52.5 - 1460.5)) > 26.25))
        out_.lineUpTwelvePending = false;
    if (rb.onTable && ball >= 10 && !(std::fabs(z) <= 157.5 && x >= -1154.75 && x <= -944.75))
        out_.lineUpTwelvePending = false;
    BZ_LOG(LOG_INFO, "readBallPosition", "Ball " << ball << ": " << x << " " << y << " " << z);
}

void Parser::stroke(int kind) {
    ReplayEvent e;
    e.kind = kind;
    e.skippable = kind != EV_STROKE;
    if (!in_.readInt(e.ball)) return;
    for (double& v : e.aim) in_.readDouble(v);
    if (in_.failed()) return;
    e.ball = std::clamp(e.ball, 0, 24);
    auto clampFinite = [](double v, double lo, double hi) { return std::isnan(v) ? lo : std::clamp(v, lo, hi); };
    e.aim[1] = clampFinite(e.aim[1], 1.0, kTableMaxPower);
    e.aim[2] = clampFinite(e.aim[2], -100.0, 100.0);
    e.aim[3] = clampFinite(e.aim[3], -100.0, 100.0);
    e.aim[4] = clampFinite(e.aim[4], 0.0, kTableMaxElevation);
    if (!std::isfinite(e.aim[0])) e.aim[0] = 0;
    // The same direction within a few turns: angles are brought into one turn step by step later.
    if (std::fabs(e.aim[0]) > 36000) e.aim[0] = std::remainder(e.aim[0], 360.0);
    std::vector<ReplayEvent>& events = open_.events;
    if (!events.empty() && events.back().kind == EV_NOMINATED && events.back().time >= t_ - 5) {
        e.extra = events.back().ball;
        events.pop_back();
    }
    addEvent(e);
    if (kind != EV_STROKE) return;

    if (!out_.lineUpFewBalls) out_.lineUpTen = false;
    if (out_.lineUpTwelvePending) {
        int on = 0;
        for (int b = 2; b <= 24; ++b) on += open_.balls[b].onTable ? 1 : 0;
        if (on == 21) out_.lineUpTwelve = true;
        out_.lineUpTwelvePending = false;
    }
    insertCueStroke(e);
}

void Parser::insertCueStroke(const ReplayEvent& stroke) {
    const double power = stroke.aim[1];
    const double d = 360.0 / ((4 * power / maxPower_ + 3) * 60) * 10.0 / 3.0;
    const int lead = d > 2 ? 2000 : static_cast<int>(1000 * d);
    const int h = std::max(t_ - lead, open_.startTime);

    std::vector<ReplayEvent>& events = open_.events;
    ReplayEvent cue = stroke;
    cue.kind = EV_CUE_STROKE;
    cue.skippable = false;
    cue.time = h;
    cue.extra = t_;
    for (size_t i = events.size() - 1; i-- > 0;) {
        if (events[i].kind == EV_AIM_SET) {
            cue.aim[0] = events[i].aim[0];
            break;
        }
    }
    // Walk back from the event before the stroke; the aiming events after H give way to the cue.
    size_t at = 0;
    for (size_t i = events.size() - 1; i-- > 0;) {
        const ReplayEvent& e = events[i];
        if (e.time <= h) {
            at = i + 1;
            break;
        }
        if (e.kind == EV_AIM_START || e.kind == EV_AIM_MOVE || e.kind == EV_AIM_SET) {
            events.erase(events.begin() + static_cast<std::ptrdiff_t>(i));
        } else if (e.kind == EV_BALL_PLACED) {
            at = i + 1;
            break;
        }
    }
    events.insert(events.begin() + static_cast<std::ptrdiff_t>(at), cue);
}

void Parser::statusRecord() {
    // A record that does not read neither closes the shot nor becomes an event.
    if (!readGameStatus(in_, status_, t_)) return;
    if (!changed_) {
        ReplayEvent e;
        e.kind = EV_STATUS;
        e.seat = lastSeat_;
        e.status = status_;
        addEvent(e);
        return;
    }
    closeRecord();
}

void Parser::closeRecord() {
    std::vector<ReplayShot>& shots = out_.shots;
    ReplayStatus values = status_;
    auto applyPlacements = [this](const ReplayShot& from) {
        for (const ReplayEvent& e : from.events)
            if (e.kind == EV_BALL_PLACED) open_.balls[e.ball].x = e.x, open_.balls[e.ball].z = e.z;
    };
    if (retakePending_ || undoPending_) {
        if (shots.size() >= 2) {
            const ReplayShot& before = shots[shots.size() - 2];
            open_.balls = before.balls;
            if (retakePending_) applyPlacements(shots.back());
            if (undoPending_) values = before.status;
        } else if (shots.size() == 1 && retakePending_) {
            applyPlacements(shots.back());
        }
    }
    open_.status = values;
    open_.cues[0] = out_.cues[0];
    open_.cues[1] = out_.cues[1];
    shots.push_back(open_);
    if (out_.playerNames[0] != out_.playerNames[1] && shots.size() == 2)
        shots[0].status[0] = status_[26] != 0 ? shots[1].status[0] : 1 - shots[1].status[0];
    trackBreak(shots.back());

    const int n = shots.back().number;
    open_.number = n + 1;
    open_.startTime = t_;
    open_.events.clear();
    changed_ = retakePending_ = undoPending_ = false;
}

void Parser::trackBreak(const ReplayShot& shot) {
    const int p = shot.status[0], e = shot.status[3], s = shot.status[11], n = shot.number;
    const int prevS = out_.shots.size() >= 2 ? out_.shots[out_.shots.size() - 2].status[11] : 0;
    if (n >= 1 && s >= 1 && prevS == 0) {
        break_ = ReplayBreak{p, s, n, n, shot.startTime, t_ - shot.startTime};
        breakOpen_ = true;
        if (e >= 0) closeBreak(n);
        return;
    }
    if (!breakOpen_) return;
    if (s > break_.score) {
        break_.score = s;
        break_.shotNumberEnd = n;
        break_.duration = t_ - break_.t;
    }
    if (p != break_.byPlayer || e >= 0) closeBreak(n);
}

void Parser::closeBreak(int n) {
    break_.shotNumberEnd = n;
    break_.duration = t_ - break_.t;
    out_.breaks.push_back(break_);
    if (break_.score > out_.bestBreakScore) {
        out_.bestBreakScore = break_.score;
        out_.bestBreakFirstShot = break_.shotNumberStart;
    }
    breakOpen_ = false;
}

}  // namespace

void parseReplayText(std::string_view text, double maxPower, ReplayParse& out) {
    out = ReplayParse{};
    if (!(maxPower > 0)) maxPower = kTableMaxPower;
    Parser(text.substr(0, std::min(text.size(), MAX_REPLAY_TEXT_BYTES)), maxPower, out).run();
}
