#include "tools/testserver/replay_store.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <sstream>

namespace {

// Names travel as single words in the text.
std::string word(std::string text) {
    if (text.empty()) return "-";
    for (char& c : text)
        if (std::isspace(static_cast<unsigned char>(c))) c = '_';
    return text;
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string nowText() {
    const std::time_t t = std::time(nullptr);
    std::tm parts{};
    localtime_r(&t, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &parts);
    return text;
}

// A JSON string (the page reads the list as a JavaScript value).
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) continue;
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::string replayStatusRecord(const GameStatus& s) {
    std::ostringstream o;
    o << "{ " << std::clamp(s.playerOn, 0, 1) << ' ' << std::clamp(s.maxShotTimeNow, 0, 90) << ' '
      << std::clamp(s.gameState, 0, 3) << ' ' << std::clamp(s.frameWonBy, -1, 1) << ' '
      << std::clamp(s.matchWonBy, -1, 1);
    for (int v : s.framesWon) o << ' ' << std::clamp(v, 0, 18);
    for (int v : s.frameScore) o << ' ' << std::clamp(v, 0, 9999);
    for (int v : s.negativePoints) o << ' ' << v;
    o << ' ' << std::clamp(s.breakScore, 0, 9999);
    for (int v : s.ballsPotted) o << ' ' << v;
    o << " 0 0 0 0 " << std::clamp(s.scoreForPocketedBalls, 0, 16) << ' ' << std::clamp(s.penalty, 0, 10);
    o << " -1 " << std::clamp(s.ballOn, 0, 10) << ' ' << std::clamp(s.nominatedBall, -1, 10);
    for (bool flag : {s.ballInHand, s.respottedBlack, s.foul, s.freeBall, s.foulAndAMiss, s.timeout, s.warningTwoMisses,
                      s.frameAwardedThreeMisses, s.frameAwardedThreeTimeouts})
        o << ' ' << (flag ? 1 : 0);
    o << ' ' << std::clamp(s.concededBy, -1, 1) << ' ' << std::clamp(s.matchConcededBy, -1, 1) << " }";
    return o.str();
}

std::string replayBallRecords(const TableEvent& status) {
    std::ostringstream o;
    o.precision(10);
    const auto& balls = status.balls();
    for (int i = 0; i < GAME_STATUS_BALLS; ++i) {
        const BallState& b = balls[i];
        if (i == 0) {
            const auto& q = b.orientation;
            o << "b 0 0 " << b.x << ' ' << b.z << ' ' << q[0] << ' ' << q[1] << ' ' << q[2] << ' ' << q[3] << ' ';
        } else if (b.onTable) {
            o << "b " << i << " 0 " << b.x << ' ' << b.z << ' ';
        } else {
            // Three numbers with the height below the bed: off the table, in its pocket.
            o << "b " << i << ' ' << std::clamp(b.pocket, 0, 5) << ' ' << b.x << " -100 " << b.z << ' ';
        }
    }
    return o.str();
}

void ReplayStore::begin(int tableId, const std::array<std::string, 2>& players, const TableEvent& rack) {
    StoredFrame frame;
    frame.players = players;
    frame.date = nowText();
    const GameStatus& s = rack.status();
    std::ostringstream o;
    o << "v 1 t 2 s p " << word(players[0]) << ' ' << word(players[1]) << " i " << frame.date << " local " << tableId
      << ' ' << s.gameType << ' ' << s.bestOf << ' ' << s.maxShotTime << ' ' << s.maxPointsBehind << " 0 0 "
      << replayBallRecords(rack) << replayStatusRecord(s) << ' ';
    frame.text = o.str();
    open_[tableId] = std::move(frame);
}

void ReplayStore::stroke(int tableId, const AimParameters& aim, int ms, const TableEvent& after) {
    auto found = open_.find(tableId);
    if (found == open_.end()) return;
    StoredFrame& frame = found->second;
    std::ostringstream o;
    o.precision(10);
    o << "T " << ms << " s 0 " << aim.aimAngle << ' ' << aim.power << ' ' << aim.topSpin << ' ' << aim.sideSpin << ' '
      << aim.elevation << ' ' << replayBallRecords(after) << replayStatusRecord(after.status()) << ' ';
    frame.text += o.str();
    ++frame.strokes;
    frame.lastMs = ms;
    frame.endsOnRuling = false;
}

void ReplayStore::ruling(int tableId, int ms, const std::string& event, const TableEvent& after) {
    auto found = open_.find(tableId);
    if (found == open_.end()) return;
    // The ball records mark the shot as changed, so the status after them closes it instead of
    // passing as an event of the next stroke. No retake token: its reader puts the balls back to
    // before the stroke, where here the offender plays on from where they lie.
    StoredFrame& frame = found->second;
    frame.text += "T " + std::to_string(ms) + " " + (event.empty() ? "" : event + " ") + replayBallRecords(after) +
                  replayStatusRecord(after.status()) + " ";
    frame.lastMs = ms;
    frame.endsOnRuling = true;
}

void ReplayStore::end(int tableId, const TableEvent& last) {
    auto found = open_.find(tableId);
    if (found == open_.end()) return;
    StoredFrame frame = std::move(found->second);
    open_.erase(found);
    const GameStatus& s = last.status();
    const std::string status = replayStatusRecord(s) + " ";
    // Fault mended: a frame that ended without a stroke (a concession) replayed to the status before
    // its end, frames tally and shot clock included. A record's status shows after its stroke or once
    // the record after it loads: the end is a record of its own, and one more record follows it.
    if (frame.endsOnRuling || s.concededBy >= 0) {
        const std::string balls = replayBallRecords(last);
        frame.text += "T " + std::to_string(frame.lastMs + 1000) + " ";
        if (s.concededBy >= 0) frame.text += "c " + std::to_string(s.concededBy) + " ";
        frame.text += balls + status + "T " + std::to_string(frame.lastMs + 2000) + " " + balls + status;
    } else {
        frame.text += status;
    }
    frame.score = s.frameScore;
    frame.wonBy = s.frameWonBy;
    frame.id = nextId_++;
    kept_.push_back(std::move(frame));
}

const StoredFrame* ReplayStore::find(int id) const {
    for (const StoredFrame& frame : kept_)
        if (frame.id == id) return &frame;
    return nullptr;
}

std::vector<std::string> ReplayStore::results(const std::string& user) const {
    std::vector<std::string> lines;
    for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) {
        const StoredFrame& f = *it;
        if (f.players[0] != user && f.players[1] != user) continue;
        std::string line = f.date + ", " + f.players[0] + " " + std::to_string(f.score[0]) + "-" +
                           std::to_string(f.score[1]) + " " + f.players[1];
        if (f.players[0] == f.players[1]) {
            line += ", practice";
        } else if (f.wonBy == 0 || f.wonBy == 1) {
            line += f.players[f.wonBy] == user ? ", won" : ", lost";
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string ReplayStore::search(const std::string& query) const {
    const std::string wanted = lower(query);
    std::string list = "[";
    for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) {
        const StoredFrame& f = *it;
        const bool match = wanted.empty() || lower(f.players[0]).find(wanted) != std::string::npos ||
                           lower(f.players[1]).find(wanted) != std::string::npos;
        if (!match) continue;
        if (list.size() > 1) list += ",";
        list += "{\"objid\":" + quoted("f/" + std::to_string(f.id) + ".1") + ",\"players\":[" + quoted(f.players[0]) +
                "," + quoted(f.players[1]) + "],\"date\":" + quoted(f.date) + "}";
    }
    return list + "]";
}
