#include "net/message.h"
#include "wire_bytes.h"

#include <gtest/gtest.h>

#include <functional>

#include <malloc.h>

namespace {

// An event whose every field holds a distinct value, so a field in the wrong place shows.
TableEvent filledEvent(uint16_t type) {
    TableEvent e(static_cast<TableEventType>(type));
    e.oid = 0x0A0B0C0D;
    e.stamp = 1.5;
    e.ball = 7;
    e.number = -3;
    e.single = 2.25;
    e.ballValues = {10, 11, 12, 13, 14, 15, 16};
    e.orientation = {0.5f, 0.25f, -0.5f, 1.0f};
    e.extraValues = {20, 21};
    e.aim = {90.0, 1200.0, -50.0, 25.0, 5.0};
    e.value = 1;
    e.pairA = 4;
    e.pairB = 5;
    e.flag1 = true;
    e.flag2 = false;
    e.flag3 = true;
    e.flag4 = true;
    e.startInfo = StartInfo::COIN_TOSS;
    return e;
}

Bytes& aimBytes(Bytes& b) { return b.f64(90.0).f64(1200.0).f64(-50.0).f64(25.0).f64(5.0); }

Bytes& ballStateBytes(Bytes& b) {
    for (double v : {10.0, 11.0, 12.0, 13.0, 14.0, 15.0, 16.0}) b.f64(v);
    return b.f32(0.5f).f32(0.25f).f32(-0.5f).f32(1.0f);
}

// The payload of a filled event of each type, built field by field.
ByteVector expectedPayload(uint16_t type) {
    Bytes b;
    switch (type) {
        case 1: case 23: b.f64(1.5).u32(7); ballStateBytes(b); break;
        case 12: case 13: b.u32(7); ballStateBytes(b); break;
        case 2: case 9: b.f64(1.5).u32(7); break;
        case 3: b.f64(1.5).u32(7); aimBytes(b); break;
        case 4: case 26: b.f64(1.5); aimBytes(b); break;
        case 8: case 20: case 21: case 24: b.f64(1.5); break;
        case 10: b.f64(1.5); aimBytes(b).u32(static_cast<uint32_t>(-3)); break;
        case 11: b.f64(2.25); break;
        case 14: case 15: b.u32(7).u32(static_cast<uint32_t>(-3)).f64(10).f64(11).f64(20).f64(21); break;
        case 16: b.u32(7).u32(static_cast<uint32_t>(-3)).f64(10).f64(11); break;
        case 17: b.u8(1).u8(1); break;
        case 18: b.u32(4).u32(5).u8(1).u8(0).u8(1).u8(1); break;
        case 25: b.u32(1).u16(3); break;
        default: b.f64(1.5).u32(1); break;  // 19 and 27 to 36
    }
    return b.v;
}

// A filled event keeps only the fields its type carries after a round trip.
TableEvent carriedPart(const TableEvent& filled) {
    Message m(MessageId::TABLE_EVENT, 1);
    m.events.push_back(filled);
    return parseBytes(serialized(m)).events.at(0);
}

GameStatus sampleStatus() {
    GameStatus s;
    s.matchDuration = 100000, s.frameDuration = 20000, s.breakDuration = 3000;
    s.players = {"alice", "bob"};
    s.striker = 1, s.playerOn = 1, s.gameType = 15, s.bestOf = 3, s.gameState = 1, s.frameWonBy = -1;
    s.matchWonBy = -1, s.frameScore = {24, 7}, s.ballsPotted = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    s.nominatedBall = 5, s.ballInHand = true, s.timeout = true, s.missCount = 2, s.timeoutCount = 1;
    s.frameAwardedThreeTimeouts = true, s.concededBy = -1, s.matchConcededBy = 0, s.postponeRequests = {1, 2};
    s.prevBallOnFull = 9, s.prevFreeBall = true;
    s.statusMarkers = {1000};
    s.touchingBalls = {3, 0};
    return s;
}

}  // namespace

TEST(TableEventTest, EveryTypeHasItsPayload) {
    std::vector<uint16_t> types;
    for (uint16_t t = 1; t <= 36; ++t) {
        if (t < 5 || t > 7) types.push_back(t);
    }
    types.erase(std::find(types.begin(), types.end(), 22));  // the game status has its own test
    for (uint16_t type : types) {
        SCOPED_TRACE(type);
        Message m(MessageId::TABLE_EVENT, 2);
        m.events.push_back(filledEvent(type));
        const ByteVector expected = Bytes()
                                        .header(MessageId::TABLE_EVENT, 2)
                                        .u16(type).u32(0x0A0B0C0D).raw(expectedPayload(type))
                                        .u16(0).u32(0)
                                        .message();
        const ByteVector bytes = serialized(m);
        EXPECT_EQ(bytes, expected);
        const Message parsed = parseBytes(bytes);
        ASSERT_EQ(parsed.parseResult(), ParseResult::Complete);
        ASSERT_EQ(parsed.events.size(), 1u);  // the END is not stored
        EXPECT_EQ(serialized(parsed), expected);
    }
}

TEST(TableEventTest, CarriedFieldsSurviveAndOthersStayEmpty) {
    const TableEvent shot = carriedPart(filledEvent(10));
    EXPECT_EQ(shot.aim, (AimParameters{90.0, 1200.0, -50.0, 25.0, 5.0}));
    EXPECT_EQ(shot.number, -3);
    EXPECT_EQ(shot.ball, 0);
    const TableEvent start = carriedPart(filledEvent(25));
    EXPECT_EQ(start.value, 1);
    EXPECT_EQ(start.startInfo, StartInfo::COIN_TOSS);
    EXPECT_EQ(start.stamp, 0.0);
    const TableEvent flags = carriedPart(filledEvent(17));
    EXPECT_TRUE(flags.flag1);
    EXPECT_TRUE(flags.flag3);
    EXPECT_FALSE(flags.flag4);  // type 17 carries only the first and third
    const TableEvent placed = carriedPart(filledEvent(1));
    EXPECT_EQ(placed.ballValues, (std::array<double, 7>{10, 11, 12, 13, 14, 15, 16}));
    EXPECT_EQ(placed.orientation, (std::array<float, 4>{0.5f, 0.25f, -0.5f, 1.0f}));
}

TEST(TableEventTest, GameStatusPayloadSizeAndRoundTrip) {
    TableEvent e(TableEventType::GAME_STATUS);
    Message m(MessageId::TABLE_EVENT, 4);
    m.events.push_back(e);
    // header 12, type and oid 6, payload 2,899, END 6
    EXPECT_EQ(m.getBuffer(16).writeLength, (12 + 6 + 2899 + 6 + 15) / 16 * 16);

    e.stamp = 3.0;
    e.status() = sampleStatus();
    for (int i = 0; i < GAME_STATUS_BALLS; ++i) {
        e.balls()[i] = {i % 2 == 0, i % 7 - 1, i * 0.5, i * 10.0, 26.25, -i * 3.0, {1.0f, 0.0f, 0.0f, float(i)}};
        e.savedBalls()[i] = e.balls()[i];
        e.savedBalls()[i].x += 1;
    }
    Message full(MessageId::TABLE_EVENT, 5);
    full.events = {e, filledEvent(10)};
    const ByteVector bytes = serialized(full);
    // Status lists: 1000 | -1, 3 0 | -1, | -1 add 16 bytes to the empty payload.
    EXPECT_EQ(bytes.size(), static_cast<size_t>((12 + 6 + 2899 + 16 + 6 + 62 + 6 + 15) / 16 * 16));
    const Message parsed = parseBytes(bytes);
    ASSERT_EQ(parsed.parseResult(), ParseResult::Complete);
    ASSERT_EQ(parsed.events.size(), 2u);
    EXPECT_TRUE(parsed.events[0] == e);
    EXPECT_EQ(parsed.events[0].status().concededBy, -1);
    EXPECT_FALSE(parsed.events[1].hasStatus());  // only the status event holds one
    Message copy = parsed;
    copy.events[0].balls()[3].x = -1;  // a copy has a status of its own
    EXPECT_EQ(parsed.events[0].balls()[3].x, e.balls()[3].x);
}

TEST(TableEventTest, AParsedEventTakesMemoryCloseToItsWireSize) {
    // Events of a stamp only, 14 bytes each on the wire: no room for a game status in each of them.
    Message m(MessageId::TABLE_EVENT, 1);
    m.events.assign(4000, filledEvent(8));
    const ByteVector bytes = serialized(m);
    const auto heapInUse = [] {
        const struct mallinfo2 info = mallinfo2();
        return info.uordblks + info.hblkhd;
    };
    const size_t before = heapInUse();
    const Message parsed = parseBytes(bytes);
    const size_t used = heapInUse() - before;
    ASSERT_EQ(parsed.events.size(), 4000u);
    EXPECT_LT(used, 16 * bytes.size());
    EXPECT_LE(used, parsed.footprint());  // what the incoming queue counts is not less than it takes
    EXPECT_FALSE(parsed.events[0].hasStatus());
}

TEST(TableEventTest, GameStatusWireLayout) {
    // The fields after the stamp, in wire order, for one status with lists.
    TableEvent e(TableEventType::GAME_STATUS);
    e.status() = sampleStatus();
    Message m(MessageId::TABLE_EVENT, 4);
    m.events.push_back(e);
    const ByteVector bytes = serialized(m);

    const GameStatus& s = e.status();
    Bytes b;
    b.header(MessageId::TABLE_EVENT, 4).u16(22).u32(0).f64(0.0);
    b.u32(s.matchDuration).u32(s.frameDuration).u32(s.breakDuration).str("alice").str("bob");
    for (int32_t v : {s.striker, s.startInfo, s.playerOn, s.playerOnFirst, s.gameType, s.bestOf, s.maxShotTime,
                      s.maxShotTimeNow, s.maxPointsBehind, s.gameState, s.frameWonBy, s.matchWonBy}) {
        b.u32(static_cast<uint32_t>(v));
    }
    for (const auto& pair : {s.framesWon, s.frameScore, s.negativePoints, s.frameOverScore}) b.u32(pair[0]).u32(pair[1]);
    b.u32(s.breakScore);
    for (int32_t v : s.ballsPotted) b.u32(v);
    b.u32(s.bestBreak[0]).u32(s.bestBreak[1]).u32(s.bestBreakScore[0]).u32(s.bestBreakScore[1]);
    b.u32(s.scoreForPocketedBalls).u32(s.penalty).u32(s.ballOn).u32(s.nominatedBall);
    b.u8(1).u8(0).u8(0).u8(0).u8(0).u8(0).u8(1);  // ballInHand ... timeout
    b.u32(2).u32(1);
    b.u8(0).u8(0).u8(1);
    b.u32(0xFFFFFFFF).u32(0).u32(0).u32(0).u32(0).u32(0).u32(1).u32(2).u32(s.prevBallOn).u32(9);
    b.u8(1);
    b.u32(1000).u32(0xFFFFFFFF).u32(3).u32(0).u32(0xFFFFFFFF).u32(0xFFFFFFFF);
    for (int i = 0; i < 2 * GAME_STATUS_BALLS; ++i) b.u8(0).u32(0).f64(0).f64(0).f64(0).f64(0).f32(0).f32(0).f32(0).f32(0);
    b.u16(0).u32(0);
    EXPECT_EQ(bytes, b.message());
}

TEST(TableEventTest, AnyNegativeValueEndsAStatusList) {
    TableEvent e(TableEventType::GAME_STATUS);
    e.status().thirdList = {4, 5};
    Message m(MessageId::TABLE_EVENT, 1);
    m.events.push_back(e);
    ByteVector bytes = serialized(m);
    // The writer keeps a negative value out of a list: it would end the list early for the reader.
    Message withNegative = m;
    withNegative.events[0].status().thirdList = {4, -7, 5};
    const Message truncated = parseBytes(serialized(withNegative));
    ASSERT_EQ(truncated.parseResult(), ParseResult::Complete);
    EXPECT_EQ(truncated.events[0].status().thirdList, std::vector<int32_t>{4});

    // A received marker of -5 ends the list as -1 does.
    const size_t thirdListEnd = 12 + 6 + 8 + 12 + 2 + 156 + 7 + 8 + 3 + 40 + 1 + 4 + 4 + 8;
    ASSERT_EQ(bytes[thirdListEnd + 3], 0xFF);
    bytes[thirdListEnd + 3] = 0xFB;
    const Message parsed = parseBytes(bytes);
    ASSERT_EQ(parsed.parseResult(), ParseResult::Complete);
    EXPECT_EQ(parsed.events[0].status().thirdList, (std::vector<int32_t>{4, 5}));
}

TEST(TableEventTest, EndInsideTheListEndsIt) {
    Message m(MessageId::TABLE_EVENT, 1);
    m.events = {filledEvent(8), TableEvent(TableEventType::END), filledEvent(9)};
    const ByteVector bytes = serialized(m);
    EXPECT_EQ(bytes, Bytes()
                         .header(MessageId::TABLE_EVENT, 1)
                         .u16(8).u32(0x0A0B0C0D).f64(1.5)
                         .u16(0).u32(0)
                         .message());
    const Message parsed = parseBytes(bytes);
    ASSERT_EQ(parsed.parseResult(), ParseResult::Complete);
    EXPECT_EQ(parsed.events.size(), 1u);
}

TEST(TableEventTest, ListWithoutEndIsIncomplete) {
    ByteVector bytes = Bytes().header(MessageId::TABLE_EVENT, 1).u16(8).u32(0).f64(1.5).v;
    while (bytes.size() % 16 != 0) bytes.push_back(0xFF);  // padding where END should be: type 0xFFFF...
    bytes.pop_back();                                       // ...cut short of its oid
    const Message m = parseBytes(bytes);
    EXPECT_EQ(m.parseResult(), ParseResult::Incomplete);
    EXPECT_TRUE(m.events.empty());  // events read so far go with it
    const ByteVector bare = Bytes().header(MessageId::TABLE_EVENT, 1).u16(8).u32(0).f64(1.5).v;
    EXPECT_EQ(parseBytes(bare).parseResult(), ParseResult::Incomplete);
}

TEST(TableEventTest, UnknownTypesAreInvalid) {
    for (uint16_t type : {5, 6, 7, 37, 0xFFFF}) {
        SCOPED_TRACE(type);
        LogCapture log;
        const ByteVector bytes =
            Bytes().header(MessageId::TABLE_EVENT, 1).u16(8).u32(0).f64(0).u16(type).u32(0).u16(0).u32(0).message();
        const Message m = parseBytes(bytes);
        EXPECT_EQ(m.parseResult(), ParseResult::Invalid);
        const auto lines = log.lines();
        ASSERT_EQ(lines.size(), 1u);
        const std::string suffix = ": Message: ERROR: invalid msg: unknown TableEvent type: " + std::to_string(type);
        EXPECT_EQ(lines[0].substr(lines[0].size() - std::min(lines[0].size(), suffix.size())), suffix);
    }
    for (uint16_t type : {30, 33}) {
        const ByteVector bytes = Bytes().header(MessageId::TABLE_EVENT, 1).u16(type).u32(0).f64(0).u32(1).u16(0).u32(0).message();
        EXPECT_EQ(parseBytes(bytes).parseResult(), ParseResult::Complete) << type;
    }
}

TEST(TableEventTest, BytesReadAsBoolsAreTrueWhenNonZero) {
    const ByteVector bytes =
        Bytes().header(MessageId::TABLE_EVENT, 1).u16(18).u32(0).u32(1).u32(2).u8(2).u8(0).u8(0x80).u8(1).u16(0).u32(0).message();
    const Message m = parseBytes(bytes);
    ASSERT_EQ(m.parseResult(), ParseResult::Complete);
    const TableEvent& e = m.events.at(0);
    EXPECT_TRUE(e.flag1);
    EXPECT_FALSE(e.flag2);
    EXPECT_TRUE(e.flag3);
    EXPECT_TRUE(e.flag4);
}

TEST(TableEventTest, GameStatusFedByteByByteCompletesAtTheEnd) {
    TableEvent e(TableEventType::GAME_STATUS);
    e.status() = sampleStatus();
    Message m(MessageId::TABLE_EVENT, 1);
    m.events.push_back(e);
    const ByteVector bytes = serialized(m);
    for (size_t n = 0; n < bytes.size(); ++n) {
        ByteVector cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
        ASSERT_EQ(parseBytes(cut).parseResult(), ParseResult::Incomplete) << n;
    }
    EXPECT_EQ(parseBytes(bytes).parseResult(), ParseResult::Complete);
}
