#include "net/table_event.h"

#include "core/log.h"
#include "net/wire_io.h"

// These layouts live at namespace scope, not in an anonymous namespace, so that the generic wire() calls
// (array elements, wireAll) find them by argument-dependent lookup; static keeps them to this file.
template <class Io>
static bool wire(Io& io, AimParameters& aim) {
    return wireAll(io, aim.aimAngle, aim.power, aim.topSpin, aim.sideSpin, aim.elevation);
}

template <class Io>
static bool wire(Io& io, BallState& ball) {
    return wireAll(io, ball.onTable, ball.pocket, ball.pocketTime, ball.x, ball.y, ball.z, ball.orientation);
}

// A status list travels as its values and a negative end marker, so the writer stops at the first negative
// value: that is where a reader ends the list.
template <class Io>
static bool wireMarkedList(Io& io, std::vector<int32_t>& list) {
    if constexpr (Io::reading) {
        list.clear();
        for (;;) {
            int32_t value = 0;
            if (!io.f(value)) return false;
            if (value < 0) return true;
            list.push_back(value);
        }
    } else {
        for (int32_t value : list) {
            if (value < 0) break;
            io.f(value);
        }
        int32_t endMarker = -1;
        return io.f(endMarker);
    }
}

template <class Io>
static bool wire(Io& io, GameStatus& s) {
    return wireAll(io, s.matchDuration, s.frameDuration, s.breakDuration, s.players) &&
           wireAll(io, s.striker, s.startInfo, s.playerOn, s.playerOnFirst, s.gameType, s.bestOf, s.maxShotTime,
                   s.maxShotTimeNow, s.maxPointsBehind, s.gameState, s.frameWonBy, s.matchWonBy, s.framesWon,
                   s.frameScore, s.negativePoints, s.frameOverScore, s.breakScore, s.ballsPotted, s.bestBreak,
                   s.bestBreakScore, s.scoreForPocketedBalls, s.penalty, s.ballOn, s.nominatedBall) &&
           wireAll(io, s.ballInHand, s.respottedBlack, s.ballOnFull, s.foul, s.freeBall, s.foulAndAMiss,
                   s.timeout) &&
           wireAll(io, s.missCount, s.timeoutCount) &&
           wireAll(io, s.warningTwoMisses, s.frameAwardedThreeMisses, s.frameAwardedThreeTimeouts) &&
           wireAll(io, s.concededBy, s.matchConcededBy, s.rerackRequests, s.abortRequests, s.postponeRequests,
                   s.prevBallOn, s.prevBallOnFull) &&
           wireAll(io, s.prevFreeBall) && wireMarkedList(io, s.statusMarkers) &&
           wireMarkedList(io, s.touchingBalls) && wireMarkedList(io, s.thirdList);
}

// The payload after type and oid. END and the unknown types have none.
template <class Io>
static bool wirePayload(Io& io, TableEvent& e) {
    switch (static_cast<uint16_t>(e.type)) {
        case 1:
        case 23:
            return wireAll(io, e.stamp, e.ball, e.ballValues, e.orientation);
        case 12:
        case 13:
            return wireAll(io, e.ball, e.ballValues, e.orientation);
        case 2:
        case 9:
            return wireAll(io, e.stamp, e.ball);
        case 3:
            return wireAll(io, e.stamp, e.ball, e.aim);
        case 4:
        case 26:
            return wireAll(io, e.stamp, e.aim);
        case 8:
        case 20:
        case 21:
        case 24:
            return wireAll(io, e.stamp);
        case 10:
            return wireAll(io, e.stamp, e.aim, e.number);
        case 11:
            return wireAll(io, e.single);
        case 14:
        case 15:
            return wireAll(io, e.ball, e.number, e.ballValues[0], e.ballValues[1], e.extraValues);
        case 16:
            return wireAll(io, e.ball, e.number, e.ballValues[0], e.ballValues[1]);
        case 17:
            return wireAll(io, e.flag1, e.flag3);
        case 18:
            return wireAll(io, e.pairA, e.pairB, e.flag1, e.flag2, e.flag3, e.flag4);
        case 19:
        case 27:
        case 28:
        case 29:
        case 30:
        case 31:
        case 32:
        case 33:
        case 34:
        case 35:
        case 36:
            return wireAll(io, e.stamp, e.value);
        case 22: {
            // Written from a copy when the event has none, so that writing never changes it.
            StatusRecord empty;
            StatusRecord& r = Io::reading || e.hasStatus() ? e.record() : empty;
            return wireAll(io, e.stamp, r.status, r.balls, r.savedBalls);
        }
        case 25:
            return wireAll(io, e.value, e.startInfo);
        default:
            return true;
    }
}

TableEvent::TableEvent(const TableEvent& other)
    : TableEventFields(other),
      statusRecord(other.statusRecord ? std::make_unique<StatusRecord>(*other.statusRecord) : nullptr) {}

TableEvent& TableEvent::operator=(const TableEvent& other) {
    if (this != &other) *this = TableEvent(other);
    return *this;
}

StatusRecord& TableEvent::record() {
    if (!statusRecord) statusRecord = std::make_unique<StatusRecord>();
    return *statusRecord;
}

const StatusRecord& TableEvent::record() const {
    static const StatusRecord none;
    return statusRecord ? *statusRecord : none;
}

bool TableEvent::operator==(const TableEvent& o) const {
    return static_cast<const TableEventFields&>(*this) == o && record() == o.record();
}

bool isKnownTableEventType(uint16_t type) {
    return type <= 4 || (type >= 8 && type <= MAX_TABLE_EVENT_TYPE);
}

void writeTableEvents(Buffer& out, const std::vector<TableEvent>& events) {
    WireWriter io{out};
    for (const TableEvent& event : events) {
        TableEvent& e = forWriting(event);
        wireAll(io, e.type, e.oid);
        if (e.type == TableEventType::END) return;
        wirePayload(io, e);
    }
    TableEventType end = TableEventType::END;
    uint32_t endOid = 0;
    wireAll(io, end, endOid);
}

ParseResult readTableEvents(Buffer& in, std::vector<TableEvent>& events) {
    WireReader io{in};
    for (;;) {
        TableEvent e;
        if (!wireAll(io, e.type, e.oid)) return ParseResult::Incomplete;
        const auto type = static_cast<uint16_t>(e.type);
        if (type == 0) {
            events.shrink_to_fit();  // a queued message keeps what its events need, not the growth room
            return ParseResult::Complete;
        }
        if (!isKnownTableEventType(type)) {
            BZ_LOG(LOG_ERROR, "Message", "invalid msg: unknown TableEvent type: " << type);
            return ParseResult::Invalid;
        }
        if (!wirePayload(io, e)) return ParseResult::Incomplete;
        events.push_back(std::move(e));
    }
}
