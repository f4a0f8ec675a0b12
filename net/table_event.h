// One event at a table, as it travels in a TABLE_EVENT message. Each type uses only the fields that its
// payload carries; the rest keep their starting values.
#pragma once

#include "net/buffer.h"
#include "net/game_status.h"
#include "net/protocol.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// The game status and both ball arrays of a GAME_STATUS event: about 3 KB, so they are made only
// for the events that carry them and every other event stays small.
struct StatusRecord {
    GameStatus status;
    std::array<BallState, GAME_STATUS_BALLS> balls{};
    std::array<BallState, GAME_STATUS_BALLS> savedBalls{};

    bool operator==(const StatusRecord&) const = default;
};

// The fields that every event has room for, whatever its type.
struct TableEventFields {
    TableEventType type = TableEventType::END;
    uint32_t oid = 0;  // the client sends 0
    double stamp = 0;
    int32_t ball = 0;    // ball id (1, 2, 12, 13), cue-ball index (3), nominated value (9), first number (14-16)
    int32_t number = 0;  // SHOT's nominated ball, second number (14-16)
    double single = 0;   // type 11
    std::array<double, 7> ballValues{};  // x and z on the table, then five more (1, 12, 13); 14-16 use two
    std::array<float, 4> orientation{};  // types 1, 12, 13
    std::array<double, 2> extraValues{};  // types 14, 15
    AimParameters aim;                    // types 3, 4, 10, 26
    int32_t value = 0;  // types 19, 25, 27-36 (FRAME_CONCEDED: the conceding player's index)
    int32_t pairA = 0;  // types 17, 18
    int32_t pairB = 0;
    bool flag1 = false;
    bool flag2 = false;
    bool flag3 = false;
    bool flag4 = false;
    StartInfo startInfo{};  // type 25

    bool operator==(const TableEventFields&) const = default;
};

struct TableEvent : TableEventFields {
    TableEvent() = default;
    explicit TableEvent(TableEventType type) { this->type = type; }
    TableEvent(const TableEvent& other);
    TableEvent& operator=(const TableEvent& other);
    TableEvent(TableEvent&&) noexcept = default;
    TableEvent& operator=(TableEvent&&) noexcept = default;
    ~TableEvent() = default;

    // Type 22: the status with both ball arrays. On an event without them the const accessors give
    // empty ones and the others make them.
    GameStatus& status() { return record().status; }
    const GameStatus& status() const { return record().status; }
    std::array<BallState, GAME_STATUS_BALLS>& balls() { return record().balls; }
    const std::array<BallState, GAME_STATUS_BALLS>& balls() const { return record().balls; }
    std::array<BallState, GAME_STATUS_BALLS>& savedBalls() { return record().savedBalls; }
    const std::array<BallState, GAME_STATUS_BALLS>& savedBalls() const { return record().savedBalls; }
    bool hasStatus() const { return statusRecord != nullptr; }
    StatusRecord& record();
    const StatusRecord& record() const;

    bool operator==(const TableEvent& other) const;

private:
    std::unique_ptr<StatusRecord> statusRecord;
};

// Whether a received event of this type can be read (0 to 4 and 8 to 36).
bool isKnownTableEventType(uint16_t type);

// Writes the events in order and closes the list with an END event. An END inside the list ends it
// there: a reader stops at the first END, so anything written after it would be taken for the next message.
void writeTableEvents(Buffer& out, const std::vector<TableEvent>& events);

// Reads events up to the END event (which is not stored). An unknown type is Invalid and logged; a field
// that has not arrived is Incomplete.
ParseResult readTableEvents(Buffer& in, std::vector<TableEvent>& events);
