// The frames played in the local lobby since it started, kept as replay texts: each frame is
// written as it is played (the rack, every stroke with the balls where they came to rest and the
// status after it, the end), then kept when it ends. Searches match a player's name; the replay
// request names a frame by its number.
#pragma once

#include "net/table_event.h"

#include <array>
#include <map>
#include <string>
#include <vector>

struct StoredFrame {
    int id = 0;  // the match number of the replay request; one frame per match here
    std::array<std::string, 2> players;
    std::string date;  // "YYYY-MM-DD HH:MM"
    std::string text;  // the replay text
    int strokes = 0;
    std::array<int, 2> score{};  // at the end
    int wonBy = -1;
    int lastMs = 0;             // the time of the last record
    bool endsOnRuling = false;  // the last record is a ruling, not a stroke
};

class ReplayStore {
public:
    // A frame starts at a table: its players, and the status of the rack (balls and scores).
    void begin(int tableId, const std::array<std::string, 2>& players, const TableEvent& rack);
    // A stroke at the table and the status after it.
    void stroke(int tableId, const AimParameters& aim, int ms, const TableEvent& after);
    // The turn or the score changed without a stroke (a time-out, "They play again"): a record of
    // its own, so that the replay shows the turn and score as the frame had them from there on.
    // The event token (may be empty) goes before the balls, which stay where they lie.
    void ruling(int tableId, int ms, const std::string& event, const TableEvent& after);
    // The frame ended with this status: it is kept, with or without strokes. An end without a
    // stroke is a record of its own with one more after it: the client shows a record without a
    // stroke once it loads the next.
    void end(int tableId, const TableEvent& last);
    // The frame was left without an end (the rack changed, the lobby closed): it is dropped.
    void drop(int tableId) { open_.erase(tableId); }

    // The kept frames whose players' names contain the query (letter case ignored; an empty query
    // finds every frame), newest first, as the list the Replays page reads.
    std::string search(const std::string& query) const;
    const StoredFrame* find(int id) const;
    // The user's frames, newest first, each as one line of a bio: date, players, score, result.
    std::vector<std::string> results(const std::string& user) const;
    const std::vector<StoredFrame>& frames() const { return kept_; }

private:
    std::map<int, StoredFrame> open_;  // by table id
    std::vector<StoredFrame> kept_;
    int nextId_ = 1;
};

// The status as the replay text writes it: "{ ... }".
std::string replayStatusRecord(const GameStatus& status);
// Every ball of a status as "b" records.
std::string replayBallRecords(const TableEvent& status);
