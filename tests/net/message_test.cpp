#include "net/message.h"
#include "wire_bytes.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Serialises m, checks the bytes against the expected ones, parses them back and checks the fields.
void expectWireForm(const Message& m, const ByteVector& expected) {
    const ByteVector bytes = serialized(m);
    EXPECT_EQ(bytes, expected);
    const Message parsed = parseBytes(bytes);
    ASSERT_EQ(parsed.parseResult(), ParseResult::Complete);
    EXPECT_EQ(parsed.consumed, static_cast<int32_t>(bytes.size()));
    MessageFields want = m;
    want.length = static_cast<uint32_t>(bytes.size());  // parsing keeps the header's length
    EXPECT_TRUE(fieldsOf(parsed) == want);
}

Message withTable(MessageId id, int32_t tableId) {
    Message m(id, 77);
    m.tableId = tableId;
    return m;
}

Message sampleTableList() {
    Message m(MessageId::TABLE_LIST_INFO, 9);
    TableListEntry t;
    t.tableId = 12;
    t.tableName = "Crucible";
    t.tableType = 1, t.gameType = 2, t.bestOf = 3, t.gameState = 4, t.maxPointsBehind = -5, t.maxShotTime = 60;
    t.privacy = 1, t.arena = 2, t.framesWon1 = 1, t.framesWon2 = 0;
    t.player1 = "alice";
    t.player2 = "bob";
    t.viewers = {"carol", "dave"};
    m.tables.push_back(t);
    TableListEntry empty;
    empty.tableId = 13;
    m.tables.push_back(empty);
    return m;
}

ByteVector sampleTableListBytes() {
    return Bytes()
        .header(MessageId::TABLE_LIST_INFO, 9)
        .u32(12).str("Crucible").u32(1).u32(2).u32(3).u32(4).u32(static_cast<uint32_t>(-5)).u32(60)
        .u32(1).u32(2).u32(1).u32(0).str("alice").str("bob").str("carol").str("dave").str("")
        .u32(13).str("").u32(0).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0)
        .str("").str("").str("")
        .u32(0)
        .message();
}

Message sampleInfo() {
    Message m = Message::initInfo(5001, InfoCode::HBPING_REPLY, 42, -7, "text a", "");
    m.intList = {1, -2, 0x7FFFFFFF};
    m.textList = {"x", "", "yz"};
    return m;
}

ByteVector sampleInfoBytes() {
    return Bytes()
        .header(MessageId::INFO, 5001)
        .u32(25).u32(42).u32(static_cast<uint32_t>(-7)).str("text a").str("")
        .u32(3).u32(1).u32(static_cast<uint32_t>(-2)).u32(0x7FFFFFFF)
        .u32(3).str("x").str("").str("yz")
        .message();
}

}  // namespace

TEST(MessageWireTest, LogoutIsSixteenBytes) {
    const ByteVector expected{0x00, 0x01, 0x00, 0x00, 0x00, 0x10, 0x03, 0xEA,
                              0x00, 0x00, 0x13, 0x89, 0xFF, 0xFF, 0xFF, 0xFF};
    expectWireForm(Message(MessageId::LOGOUT_REQ, 5001), expected);
}

TEST(MessageWireTest, BodilessIds) {
    for (MessageId id : {MessageId::SERVER_STATUS_REQ, MessageId::LOGIN_OK, MessageId::LOGIN_FAILED,
                         MessageId::NO_LOGIN, MessageId::LOGOUT_REQ}) {
        SCOPED_TRACE(static_cast<int>(id));
        Message m(id, 3);
        m.nick = "not carried";  // fields outside the body stay home
        expectWireForm(Message(id, 3), Bytes().header(id, 3).message());
        EXPECT_EQ(serialized(m), Bytes().header(id, 3).message());
    }
}

TEST(MessageWireTest, HandshakeBodies) {
    Message hello(MessageId::HELLO, 1);
    hello.sid = "0123456789";
    hello.salt = "abcd";
    expectWireForm(hello, Bytes().header(MessageId::HELLO, 1).str("0123456789").str("abcd").message());

    Message reply(MessageId::HELLO_REPLY, 1);
    reply.nick = "alice";
    expectWireForm(reply, Bytes().header(MessageId::HELLO_REPLY, 1).str("alice").message());

    Message challenge(MessageId::LOGIN_CHALLENGE, 2);
    challenge.salt = "challenge text";
    expectWireForm(challenge, Bytes().header(MessageId::LOGIN_CHALLENGE, 2).str("challenge text").message());

    Message login(MessageId::LOGIN_REQ, 2);
    login.nick = "alice";
    login.pwd = std::string(20, 'p');
    expectWireForm(login, Bytes().header(MessageId::LOGIN_REQ, 2).str("alice").str(std::string(20, 'p')).message());
}

TEST(MessageWireTest, ServerStatusListEndsWithEmptyAddress) {
    Message m(MessageId::SERVER_STATUS, 4);
    m.statusText = "ok";
    m.lobbyName = "Players Lounge";
    m.lobbyVersion = "0.1.777";
    m.maxUsers = 500;
    m.currentUsers = 42;
    m.servers = {{"10.0.0.1", 42147}, {"host.example", 42148}};
    expectWireForm(m, Bytes()
                          .header(MessageId::SERVER_STATUS, 4)
                          .str("ok").str("Players Lounge").str("0.1.777").u32(500).u32(42)
                          .str("10.0.0.1").u16(42147).str("host.example").u16(42148).str("")
                          .message());
}

TEST(MessageWireTest, InfoWithCountedLists) {
    expectWireForm(sampleInfo(), sampleInfoBytes());
    const Message plain = Message::initInfo(7, 10, 0, 0, "0.1.777", "");
    EXPECT_EQ(plain.id, MessageId::INFO);
    EXPECT_EQ(plain.infoCode, 10);
    expectWireForm(plain, Bytes().header(MessageId::INFO, 7).u32(10).u32(0).u32(0).str("0.1.777").str("")
                              .u32(0).u32(0).message());
}

TEST(MessageWireTest, TableAndUserLists) {
    expectWireForm(sampleTableList(), sampleTableListBytes());
    expectWireForm(Message(MessageId::TABLE_LIST_INFO, 9), Bytes().header(MessageId::TABLE_LIST_INFO, 9).u32(0).message());

    Message users(MessageId::USER_LIST_INFO, 8);
    users.users = {{"alice|x|1", 0x40, 1500, 3, 7}, {"bob", 1, -1, 0, 0}};
    expectWireForm(users, Bytes()
                              .header(MessageId::USER_LIST_INFO, 8)
                              .str("alice|x|1").u16(0x40).u32(1500).u32(3).u32(7)
                              .str("bob").u16(1).u32(0xFFFFFFFF).u32(0).u32(0)
                              .str("")
                              .message());
    expectWireForm(Message(MessageId::USER_LIST_INFO, 8), Bytes().header(MessageId::USER_LIST_INFO, 8).u8(0).message());
}

TEST(MessageWireTest, TableRequestsAndAnswers) {
    for (MessageId id : {MessageId::ENTER_TABLE_REQ, MessageId::EXIT_TABLE_REQ, MessageId::PLAY_TABLE_REQ,
                         MessageId::STOP_PLAY_TABLE_REQ}) {
        SCOPED_TRACE(static_cast<int>(id));
        expectWireForm(withTable(id, 0x01020304), Bytes().header(id, 77).u32(0x01020304).message());
    }
    for (MessageId id : {MessageId::ENTER_TABLE_INFO, MessageId::EXIT_TABLE_INFO}) {
        Message m = withTable(id, 5);
        m.userName = "carol";
        expectWireForm(m, Bytes().header(id, 77).u32(5).str("carol").message());
    }
    for (MessageId id : {MessageId::PLAY_TABLE_INFO, MessageId::STOP_PLAY_TABLE_INFO}) {
        Message m = withTable(id, 5);
        m.player1 = "alice";
        m.player2 = "";
        expectWireForm(m, Bytes().header(id, 77).u32(5).str("alice").str("").message());
    }
}

TEST(MessageWireTest, TableSettingsCarrySixSlotsAndTheArena) {
    for (MessageId id : {MessageId::TABLE_SETTINGS_REQ, MessageId::TABLE_SETTINGS_INFO}) {
        Message m = withTable(id, 7);
        m.settingsText = "T7";
        m.settings[SETTINGS_DIFFICULTY] = 2;
        m.settings[SETTINGS_GAME_TYPE] = 1;
        m.settings[SETTINGS_MATCH_LENGTH] = 3;
        m.settings[SETTINGS_AUTO_CONCEDE_LIMIT] = 12;
        m.settings[SETTINGS_SHOT_TIME_LIMIT] = 60;
        m.settings[SETTINGS_PRIVACY] = 0;
        m.infoCode = 1;
        expectWireForm(m, Bytes().header(id, 77).u32(7).str("T7").u16(2).u16(1).u16(3).u16(12).u16(60).u16(0)
                              .u32(1).message());
        m.settings[SETTINGS_UNUSED] = 99;  // never travels
        EXPECT_EQ(parseBytes(serialized(m)).settings[SETTINGS_UNUSED], 0);
    }
}

TEST(MessageWireTest, EmptyTableEventIsThirtyTwoBytes) {
    ByteVector expected = Bytes().header(MessageId::TABLE_EVENT, 3).u16(0).u32(0).message();
    ASSERT_EQ(expected.size(), 32u);
    expectWireForm(Message(MessageId::TABLE_EVENT, 3), expected);
}

TEST(MessageWireTest, ChatLine) {
    const Message m = Message::initChat(6, 1, ChatClass::CHAT, 0, "alice", 0, "hello", "", "", "", "");
    expectWireForm(m, Bytes()
                          .header(MessageId::CHAT_MESSAGE, 6)
                          .u16(1).u16(0).u32(0).str("alice").u32(0).str("hello").str("").str("").str("").str("")
                          .message());
    const Message received = Message::initChat(7, 0, ChatClass::BIG_BREAK_2, 1, "srv", 3, "a", "b", "c", "d", "e");
    expectWireForm(received, Bytes()
                                 .header(MessageId::CHAT_MESSAGE, 7)
                                 .u16(0).u16(4).u32(1).str("srv").u32(3).str("a").str("b").str("c").str("d").str("e")
                                 .message());
}

TEST(MessageWireTest, BodyEndingOnBlockBoundaryGetsNoPadding) {
    // 12 header bytes + 4 bytes of table id = 16.
    const ByteVector bytes = serialized(withTable(MessageId::ENTER_TABLE_REQ, 1));
    EXPECT_EQ(bytes.size(), 16u);
    EXPECT_EQ(bytes.back(), 0x01);
}

TEST(MessageWireTest, UnknownIdSerialisesHeaderOnly) {
    EXPECT_EQ(serialized(Message(static_cast<MessageId>(10), 1)),
              Bytes().header(static_cast<MessageId>(10), 1).message());
}

TEST(MessageWireTest, ListsStopWhereAReaderWouldStop) {
    // An element that would read as the end marker ends the list, so the message still parses as one.
    Message tables = sampleTableList();
    tables.tables[0].viewers = {"carol", "", "dave"};
    tables.tables.insert(tables.tables.begin() + 1, TableListEntry{});  // tableId 0
    Message users(MessageId::USER_LIST_INFO, 1);
    users.users = {{"alice", 0, 0, 0, 0}, {std::string("\0x", 2), 0, 0, 0, 0}, {"bob", 0, 0, 0, 0}};
    Message status(MessageId::SERVER_STATUS, 1);
    status.servers = {{"a", 1}, {"", 2}, {"b", 3}};

    for (const Message* m : {&tables, &users, &status}) {
        const ByteVector bytes = serialized(*m);
        const Message parsed = parseBytes(bytes);
        ASSERT_EQ(parsed.parseResult(), ParseResult::Complete);
        EXPECT_EQ(parsed.consumed, static_cast<int32_t>(bytes.size()));
    }
    EXPECT_EQ(parseBytes(serialized(tables)).tables.size(), 1u);
    EXPECT_EQ(parseBytes(serialized(tables)).tables[0].viewers, std::vector<std::string>{"carol"});
    EXPECT_EQ(parseBytes(serialized(users)).users.size(), 1u);
    EXPECT_EQ(parseBytes(serialized(status)).servers.size(), 1u);
}

TEST(MessageWireTest, StringsWithNulKeepTheStreamInStep) {
    Message m = Message::initInfo(1, 1, 2, 3, std::string("ab\0cd", 5), "next");
    const Message parsed = parseBytes(serialized(m));
    ASSERT_EQ(parsed.parseResult(), ParseResult::Complete);
    EXPECT_EQ(parsed.textA, "ab");
    EXPECT_EQ(parsed.textB, "next");
}

TEST(MessageRecordTest, GetBufferSerialisesOnce) {
    Message m = sampleInfo();
    const Buffer& first = m.getBuffer(16);
    const uint8_t* data = first.writeData;
    const ByteVector bytes(first.writeData, first.writeData + first.writeLength);
    const Buffer& second = m.getBuffer(16);
    EXPECT_EQ(second.writeData, data);
    EXPECT_EQ(ByteVector(second.writeData, second.writeData + second.writeLength), bytes);
    EXPECT_TRUE(m.serialized);
    m.serialize(16);  // again: the same bytes, not two copies
    EXPECT_EQ(ByteVector(m.buffer.writeData, m.buffer.writeData + m.buffer.writeLength), bytes);
    EXPECT_EQ(m.length, 0u);  // the record's own length stays as it was
}

TEST(MessageRecordTest, CopyStartsWithEmptyWriteAreaAndSerialisesTheSame) {
    Message m = sampleInfo();
    const ByteVector bytes = serialized(m);
    m.getBuffer(16);
    Message copy(m);
    EXPECT_FALSE(copy.serialized);
    EXPECT_EQ(copy.buffer.writeLength, 0);
    EXPECT_NE(copy.buffer.writeData, m.buffer.writeData);
    EXPECT_TRUE(fieldsOf(copy) == fieldsOf(m));
    EXPECT_EQ(serialized(copy), bytes);

    Message assigned(MessageId::LOGOUT_REQ, 1);
    assigned.getBuffer(16);
    assigned = m;
    EXPECT_FALSE(assigned.serialized);
    EXPECT_EQ(assigned.buffer.writeLength, 0);
    EXPECT_EQ(serialized(assigned), bytes);
}

TEST(MessageRecordTest, PlainConstructorIsEmpty) {
    const Message m(MessageId::ENTER_TABLE_REQ, 5001);
    EXPECT_EQ(m.version, 1);
    EXPECT_EQ(m.iid, 5001u);
    EXPECT_EQ(m.buffer.blockSize, 16);
    EXPECT_TRUE(m.buffer.ok);
    EXPECT_FALSE(m.serialized);
    EXPECT_FALSE(m.invalid);
    EXPECT_EQ(m.consumed, 0);
    MessageFields expected;
    expected.id = MessageId::ENTER_TABLE_REQ;
    expected.iid = 5001;
    EXPECT_TRUE(fieldsOf(m) == expected);
}

TEST(MessageParseTest, HeaderFieldsAreKept) {
    ByteVector bytes = serialized(withTable(MessageId::ENTER_TABLE_INFO, 3));
    bytes[5] = 0x99;  // the length is read but never checked
    const Message parsed = parseBytes(bytes);
    ASSERT_EQ(parsed.parseResult(), ParseResult::Complete);
    EXPECT_EQ(parsed.length, 0x99u);
    EXPECT_EQ(parsed.iid, 77u);
}

TEST(MessageParseTest, ShortInputIsIncomplete) {
    const ByteVector bytes = serialized(Message(MessageId::LOGOUT_REQ, 1));
    {
        Buffer reader(bytes.data(), 11);
        const Message m(reader);
        EXPECT_EQ(m.parseResult(), ParseResult::Incomplete);
        EXPECT_FALSE(m.invalid);
        EXPECT_FALSE(reader.ok);
    }
    {
        Buffer reader(bytes.data(), 12);  // header without its padding
        const Message m(reader);
        EXPECT_EQ(m.id, MessageId{});
        EXPECT_FALSE(m.invalid);
        EXPECT_FALSE(reader.ok);
        EXPECT_EQ(reader.readPos, 0);
        EXPECT_EQ(m.consumed, 0);
    }
}

TEST(MessageParseTest, StreamFedOneByteAtATimeCompletesOnlyAtItsLastByte) {
    for (const ByteVector& bytes : {sampleInfoBytes(), sampleTableListBytes(), serialized(Message(MessageId::TABLE_EVENT, 2))}) {
        for (size_t n = 0; n < bytes.size(); ++n) {
            Buffer reader(bytes.data(), static_cast<int32_t>(n));
            const Message m(reader);
            ASSERT_EQ(m.parseResult(), ParseResult::Incomplete) << "at " << n << " of " << bytes.size();
            ASSERT_EQ(reader.readPos, 0);
        }
        EXPECT_EQ(parseBytes(bytes).parseResult(), ParseResult::Complete);
    }
}

TEST(MessageParseTest, TwoMessagesBackToBack) {
    ByteVector stream = sampleInfoBytes();
    const ByteVector second = sampleTableListBytes();
    stream.insert(stream.end(), second.begin(), second.end());
    Buffer reader(stream.data(), static_cast<int32_t>(stream.size()));
    const Message a(reader);
    ASSERT_EQ(a.parseResult(), ParseResult::Complete);
    EXPECT_EQ(a.consumed, static_cast<int32_t>(sampleInfoBytes().size()));
    EXPECT_EQ(reader.readPos, a.consumed);
    const Message b(reader);
    ASSERT_EQ(b.parseResult(), ParseResult::Complete);
    EXPECT_EQ(b.consumed, static_cast<int32_t>(second.size()));
    EXPECT_EQ(b.tables, sampleTableList().tables);
    const Message c(reader);
    EXPECT_EQ(c.parseResult(), ParseResult::Incomplete);
}

TEST(MessageParseTest, NegativeInfoCountReadsNothing) {
    const ByteVector bytes = Bytes()
                                 .header(MessageId::INFO, 1)
                                 .u32(1).u32(0).u32(0).str("").str("")
                                 .u32(0x80000000)
                                 .u32(1).str("only")
                                 .message();
    const Message m = parseBytes(bytes);
    ASSERT_EQ(m.parseResult(), ParseResult::Complete);
    EXPECT_TRUE(m.intList.empty());
    EXPECT_EQ(m.textList, std::vector<std::string>{"only"});
}

TEST(MessageParseTest, HugeCountsAreIncompleteWithoutAllocating) {
    // Counts that the bytes present cannot hold: the message cannot be complete yet, and nothing the size
    // of the count is reserved (the sanitiser build would report a multi-gigabyte allocation).
    const ByteVector ints = Bytes().header(MessageId::INFO, 1).u32(1).u32(0).u32(0).str("").str("")
                                .u32(0x7FFFFFFF).u32(1).u32(2).message();
    Buffer reader(ints.data(), static_cast<int32_t>(ints.size()));
    const Message a(reader);
    EXPECT_EQ(a.parseResult(), ParseResult::Incomplete);
    EXPECT_FALSE(reader.ok);

    const ByteVector texts = Bytes().header(MessageId::INFO, 1).u32(1).u32(0).u32(0).str("").str("")
                                 .u32(0).u32(0x40000000).str("a").message();
    EXPECT_EQ(parseBytes(texts).parseResult(), ParseResult::Incomplete);
}

TEST(MessageParseTest, InvalidValuesAreLoggedOnce) {
    struct Case {
        const char* name;
        ByteVector bytes;
        std::string line;
    };
    const std::string helloLine =
        "invalid msg: success & (sid.length() != SID_LENGTH || salt.length() != SALT_LENGTH)";
    const std::string loginLine =
        "invalid msg: success && (nick.length() < MIN_NICK_LENGTH || nick.length() > (MAX_NICK_LENGTH + 1) || "
        "pwd.length() != PWD_LENGTH)";
    const auto login = [](const std::string& nick, const std::string& pwd) {
        return Bytes().header(MessageId::LOGIN_REQ, 1).str(nick).str(pwd).message();
    };
    std::vector<Case> cases{
        {"version 2", Bytes().u16(2).u32(16).u16(1002).u32(1).message(),
         "invalid msg: success && version != MESSAGE_PROTOCOL_VERSION, version=2"},
        {"version 2, header only", ByteVector{0, 2, 0, 0, 0, 16, 3, 0xEA, 0, 0, 0, 1},
         "invalid msg: success && version != MESSAGE_PROTOCOL_VERSION, version=2"},
        {"id 1016", Bytes().header(static_cast<MessageId>(1016), 1).message(), "invalid msg: unknown message id: 1016"},
        {"id 10", Bytes().header(static_cast<MessageId>(10), 1).message(), "invalid msg: unknown message id: 10"},
        {"id 0", Bytes().header(MessageId{}, 1).message(), "invalid msg: unknown message id: 0"},
        {"sid of 9", Bytes().header(MessageId::HELLO, 1).str("012345678").str("abcd").message(), helloLine},
        {"salt of 5", Bytes().header(MessageId::HELLO, 1).str("0123456789").str("abcde").message(), helloLine},
        {"nick of 22", login(std::string(22, 'n'), std::string(20, 'p')), loginLine},
        {"nick of 2", login("nn", std::string(20, 'p')), loginLine},
        {"pwd of 19", login("nick", std::string(19, 'p')), loginLine},
        {"pwd of 21", login("nick", std::string(21, 'p')), loginLine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        Buffer reader(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
        const Message m(reader);
        EXPECT_TRUE(m.invalid);
        EXPECT_EQ(m.id, MessageId{});
        EXPECT_EQ(m.parseResult(), ParseResult::Invalid);
        EXPECT_EQ(reader.readPos, 0);
        const auto lines = log.lines();
        ASSERT_EQ(lines.size(), 1u);
        const std::string suffix = ": Message: ERROR: " + c.line;
        ASSERT_GE(lines[0].size(), suffix.size());
        EXPECT_EQ(lines[0].substr(lines[0].size() - suffix.size()), suffix);
    }
}

TEST(MessageParseTest, LengthLimitsAcceptTheirBounds) {
    Message login(MessageId::LOGIN_REQ, 1);
    login.pwd = std::string(20, 'p');
    for (int n : {3, 21}) {
        login.nick = std::string(n, 'n');
        EXPECT_EQ(parseBytes(serialized(login)).parseResult(), ParseResult::Complete) << n;
    }
}

TEST(MessageParseTest, InvalidIsReportedEvenWithoutPadding) {
    ByteVector bytes = Bytes().header(MessageId::HELLO, 1).str("short").str("abcd").v;
    EXPECT_EQ(parseBytes(bytes).parseResult(), ParseResult::Invalid);
    // A string still waiting for its NUL is only incomplete.
    bytes = Bytes().header(MessageId::HELLO, 1).str("short").v;
    bytes.push_back('a');
    EXPECT_EQ(parseBytes(bytes).parseResult(), ParseResult::Incomplete);
}

TEST(MessageParseTest, EveryTruncationIsIncompleteAndRandomBytesNeverCrash) {
    const std::vector<ByteVector> samples{sampleInfoBytes(), sampleTableListBytes()};
    for (const ByteVector& bytes : samples) {
        for (size_t n = 0; n < bytes.size(); ++n) {
            ByteVector cut(bytes.begin(), bytes.begin() + static_cast<long>(n));  // exact size: ASan sees overreads
            EXPECT_EQ(parseBytes(cut).parseResult(), ParseResult::Incomplete);
        }
    }
    std::mt19937 rng(12345);
    for (int round = 0; round < 20000; ++round) {
        ByteVector bytes(rng() % 96);
        for (auto& b : bytes) b = static_cast<uint8_t>(rng());
        if (bytes.size() >= 8 && round % 2 == 0) {
            // A plausible header so that the bodies are reached too.
            bytes[0] = 0, bytes[1] = 1;
            const uint16_t ids[] = {2, 4, 5, 9, 1000, 1001, 1003, 1012, 1014, 1015};
            const uint16_t id = ids[rng() % 10];
            bytes[6] = static_cast<uint8_t>(id >> 8), bytes[7] = static_cast<uint8_t>(id);
        }
        Buffer reader(bytes.data(), static_cast<int32_t>(bytes.size()));
        const Message m(reader);
        if (m.parseResult() == ParseResult::Complete) {
            EXPECT_EQ(m.consumed % 16, 0);
            EXPECT_LE(m.consumed, static_cast<int32_t>(bytes.size()));
            EXPECT_EQ(reader.readPos, m.consumed);
        } else {
            EXPECT_EQ(reader.readPos, 0);
        }
    }
}
