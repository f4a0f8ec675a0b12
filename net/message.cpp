#include "net/message.h"

#include "core/log.h"
#include "net/wire_io.h"

#include <algorithm>
#include <cstring>

// The list layouts stay at namespace scope (static) so that they overload the generic wire() of wire_io.h.

// A string that the writer would put on the wire as a bare NUL, which readers take for a list's end.
static bool wiresAsEmpty(const std::string& text) {
    return text.empty() || text[0] == '\0';
}

// A u32 count, then that many elements. A count that the bytes present cannot hold is incomplete before
// anything is allocated; minBytes is the least an element takes on the wire.
template <class Io, class T>
static bool wireCounted(Io& io, std::vector<T>& list, int32_t minBytes, bool fixedWidth) {
    if constexpr (Io::reading) {
        list.clear();
        int32_t count = 0;
        if (!io.f(count)) return false;
        if (count <= 0) return true;
        if (count > io.buffer.remaining() / minBytes) {
            if (fixedWidth) io.buffer.ok = false;
            return false;
        }
        list.resize(static_cast<size_t>(count));
        for (T& element : list) {
            if (!wire(io, element)) return false;
        }
        return true;
    } else {
        auto count = static_cast<int32_t>(list.size());
        io.f(count);
        for (T& element : list) wire(io, element);
        return true;
    }
}

// Pairs of address and port up to an empty address.
template <class Io>
static bool wireServers(Io& io, std::vector<ServerAddress>& servers) {
    if constexpr (Io::reading) {
        servers.clear();
        for (;;) {
            ServerAddress server;
            if (!io.f(server.address)) return false;
            if (server.address.empty()) return true;
            if (!io.f(server.port)) return false;
            servers.push_back(std::move(server));
        }
    } else {
        for (ServerAddress& server : servers) {
            if (wiresAsEmpty(server.address)) break;
            wireAll(io, server.address, server.port);
        }
        std::string end;
        return io.f(end);
    }
}

// Names up to an empty name.
template <class Io>
static bool wireNames(Io& io, std::vector<std::string>& names) {
    if constexpr (Io::reading) {
        names.clear();
        for (;;) {
            std::string name;
            if (!io.f(name)) return false;
            if (name.empty()) return true;
            names.push_back(std::move(name));
        }
    } else {
        for (std::string& name : names) {
            if (wiresAsEmpty(name)) break;
            io.f(name);
        }
        std::string end;
        return io.f(end);
    }
}

template <class Io>
static bool wireTableRest(Io& io, TableListEntry& t) {
    return wireAll(io, t.tableName, t.tableType, t.gameType, t.bestOf, t.gameState, t.maxPointsBehind,
                   t.maxShotTime, t.privacy, t.arena, t.framesWon1, t.framesWon2, t.player1, t.player2) &&
           wireNames(io, t.viewers);
}

// Tables up to a table id of 0.
template <class Io>
static bool wireTables(Io& io, std::vector<TableListEntry>& tables) {
    if constexpr (Io::reading) {
        tables.clear();
        for (;;) {
            TableListEntry table;
            if (!io.f(table.tableId)) return false;
            if (table.tableId == 0) return true;
            if (!wireTableRest(io, table)) return false;
            tables.push_back(std::move(table));
        }
    } else {
        for (TableListEntry& table : tables) {
            if (table.tableId == 0) break;
            io.f(table.tableId);
            wireTableRest(io, table);
        }
        int32_t end = 0;
        return io.f(end);
    }
}

// Users up to an empty user name.
template <class Io>
static bool wireUsers(Io& io, std::vector<UserListEntry>& users) {
    if constexpr (Io::reading) {
        users.clear();
        for (;;) {
            UserListEntry user;
            if (!io.f(user.userName)) return false;
            if (user.userName.empty()) return true;
            if (!wireAll(io, user.userType, user.rating, user.rank, user.flags)) return false;
            users.push_back(std::move(user));
        }
    } else {
        for (UserListEntry& user : users) {
            if (wiresAsEmpty(user.userName)) break;
            wireAll(io, user.userName, user.userType, user.rating, user.rank, user.flags);
        }
        std::string end;
        return io.f(end);
    }
}

template <class Io>
static bool wireTableSettings(Io& io, MessageFields& m) {
    auto& s = m.settings;
    return wireAll(io, m.tableId, m.settingsText, s[SETTINGS_DIFFICULTY], s[SETTINGS_GAME_TYPE],
                   s[SETTINGS_MATCH_LENGTH], s[SETTINGS_AUTO_CONCEDE_LIMIT], s[SETTINGS_SHOT_TIME_LIMIT],
                   s[SETTINGS_PRIVACY], m.infoCode);
}

static bool isKnownMessageId(MessageId id) {
    const auto value = static_cast<uint16_t>(id);
    return (value >= 1 && value <= 9) || (value >= 1000 && value <= 1015);
}

// The body of the message's id, in either direction. Ids without a body (and unknown ids, which the
// parser rejects before this) carry nothing.
template <class Io>
static ParseResult wireBody(Io& io, MessageFields& m) {
    auto fitted = [](bool all) { return all ? ParseResult::Complete : ParseResult::Incomplete; };
    switch (m.id) {
        case MessageId::HELLO:
            return fitted(wireAll(io, m.sid, m.salt));
        case MessageId::HELLO_REPLY:
            return fitted(wireAll(io, m.nick));
        case MessageId::LOGIN_CHALLENGE:
            return fitted(wireAll(io, m.salt));
        case MessageId::LOGIN_REQ:
            return fitted(wireAll(io, m.nick, m.pwd));
        case MessageId::SERVER_STATUS:
            return fitted(wireAll(io, m.statusText, m.lobbyName, m.lobbyVersion, m.maxUsers, m.currentUsers) &&
                          wireServers(io, m.servers));
        case MessageId::INFO:
            return fitted(wireAll(io, m.infoCode, m.valueA, m.valueB, m.textA, m.textB) &&
                          wireCounted(io, m.intList, 4, true) && wireCounted(io, m.textList, 1, false));
        case MessageId::TABLE_LIST_INFO:
            return fitted(wireTables(io, m.tables));
        case MessageId::USER_LIST_INFO:
            return fitted(wireUsers(io, m.users));
        case MessageId::ENTER_TABLE_REQ:
        case MessageId::EXIT_TABLE_REQ:
        case MessageId::PLAY_TABLE_REQ:
        case MessageId::STOP_PLAY_TABLE_REQ:
            return fitted(wireAll(io, m.tableId));
        case MessageId::ENTER_TABLE_INFO:
        case MessageId::EXIT_TABLE_INFO:
            return fitted(wireAll(io, m.tableId, m.userName));
        case MessageId::PLAY_TABLE_INFO:
        case MessageId::STOP_PLAY_TABLE_INFO:
            return fitted(wireAll(io, m.tableId, m.player1, m.player2));
        case MessageId::TABLE_SETTINGS_REQ:
        case MessageId::TABLE_SETTINGS_INFO:
            return fitted(wireTableSettings(io, m));
        case MessageId::TABLE_EVENT:
            if constexpr (Io::reading) {
                return readTableEvents(io.buffer, m.events);
            } else {
                writeTableEvents(io.buffer, m.events);
                return ParseResult::Complete;
            }
        case MessageId::CHAT_MESSAGE:
            return fitted(wireAll(io, m.toTable, m.chatClass, m.infoCode, m.sender, m.tableId, m.text1,
                                  m.playerName1, m.text2, m.playerName2, m.text3));
        default:
            return ParseResult::Complete;
    }
}

// Lengths that the peer checks too; a mismatch means the stream is not what it should be.
static bool hasValidLengths(const MessageFields& m) {
    if (m.id == MessageId::HELLO && (m.sid.length() != SID_LENGTH || m.salt.length() != SALT_LENGTH)) {
        BZ_LOG(LOG_ERROR, "Message", "invalid msg: success & (sid.length() != SID_LENGTH || salt.length() != SALT_LENGTH)");
        return false;
    }
    if (m.id == MessageId::LOGIN_REQ &&
        (m.nick.length() < MIN_NICK_LENGTH || m.nick.length() > MAX_NICK_LENGTH + 1 ||
         m.pwd.length() != PWD_LENGTH)) {
        BZ_LOG(LOG_ERROR, "Message",
               "invalid msg: success && (nick.length() < MIN_NICK_LENGTH || nick.length() > (MAX_NICK_LENGTH + 1) "
               "|| pwd.length() != PWD_LENGTH)");
        return false;
    }
    return true;
}

// A block size below 1 would divide by zero; such a buffer is simply not padded.
static int64_t effectiveBlockSize(int32_t blockSize) {
    return blockSize < 1 ? 1 : blockSize;
}

Message::Message(MessageId id, uint32_t iid) {
    this->id = id;
    this->iid = iid;
}

Message::Message(const Message& other)
    : MessageFields(other),
      consumed(other.consumed),
      invalid(other.invalid),
      buffer(other.buffer.blockSize),
      serialized(false) {}

Message& Message::operator=(const Message& other) {
    if (this != &other) {
        MessageFields::operator=(other);
        consumed = other.consumed;
        invalid = other.invalid;
        buffer = Buffer(other.buffer.blockSize);
        serialized = false;
    }
    return *this;
}

Message Message::initInfo(uint32_t iid, int32_t infoCode, int32_t valueA, int32_t valueB, const std::string& textA,
                          const std::string& textB) {
    Message m(MessageId::INFO, iid);
    m.infoCode = infoCode;
    m.valueA = valueA;
    m.valueB = valueB;
    m.textA = textA;
    m.textB = textB;
    return m;
}

Message Message::initInfo(uint32_t iid, InfoCode infoCode, int32_t valueA, int32_t valueB, const std::string& textA,
                          const std::string& textB) {
    return initInfo(iid, static_cast<int32_t>(infoCode), valueA, valueB, textA, textB);
}

Message Message::initChat(uint32_t iid, uint16_t toTable, ChatClass chatClass, int32_t deferrable,
                          const std::string& sender, int32_t tableId, const std::string& text1,
                          const std::string& playerName1, const std::string& text2, const std::string& playerName2,
                          const std::string& text3) {
    Message m(MessageId::CHAT_MESSAGE, iid);
    m.toTable = toTable;
    m.chatClass = chatClass;
    m.infoCode = deferrable;
    m.sender = sender;
    m.tableId = tableId;
    m.text1 = text1;
    m.playerName1 = playerName1;
    m.text2 = text2;
    m.playerName2 = playerName2;
    m.text3 = text3;
    return m;
}

Message::Message(Buffer& reader) {
    const int32_t start = reader.readPos;
    WireReader io{reader};
    ParseResult result = ParseResult::Incomplete;
    if (wireAll(io, version, length, id, iid)) {
        if (version != MESSAGE_PROTOCOL_VERSION) {
            BZ_LOG(LOG_ERROR, "Message",
                   "invalid msg: success && version != MESSAGE_PROTOCOL_VERSION, version=" << version);
            result = ParseResult::Invalid;
        } else if (!isKnownMessageId(id)) {
            BZ_LOG(LOG_ERROR, "Message", "invalid msg: unknown message id: " << static_cast<uint16_t>(id));
            result = ParseResult::Invalid;
        } else {
            result = wireBody(io, *this);
            if (result == ParseResult::Complete && !hasValidLengths(*this)) result = ParseResult::Invalid;
        }
    }
    if (result == ParseResult::Complete) {
        // The receiver finds the end of a message only through its body; the padding must be there too.
        const int64_t used = int64_t{reader.readPos} - start;
        const int64_t block = effectiveBlockSize(reader.blockSize);
        const int64_t end = start + (used + block - 1) / block * block;
        if (end > reader.readLength) {
            reader.ok = false;
            result = ParseResult::Incomplete;
        } else {
            reader.readPos = static_cast<int32_t>(end);
            consumed = static_cast<int32_t>(end - start);
        }
    }
    if (result != ParseResult::Complete) {
        // Nothing is taken: the same bytes are parsed again from the start once more have arrived.
        static_cast<MessageFields&>(*this) = MessageFields();
        id = MessageId{};
        consumed = 0;
        invalid = result == ParseResult::Invalid;
        reader.readPos = start;
    }
}

void Message::serialize(int32_t blockSize) {
    buffer.blockSize = blockSize;
    buffer.writeLength = 0;
    WireWriter io{buffer};
    uint32_t lengthPlaceholder = 0;
    wireAll(io, version, lengthPlaceholder, id, iid);
    wireBody(io, *this);

    const int64_t block = effectiveBlockSize(blockSize);
    const auto padding = static_cast<int32_t>((block - buffer.writeLength % block) % block);
    if (padding > 0 && buffer.reserve(padding)) {
        std::memset(buffer.writeData + buffer.writeLength, 0xFF, static_cast<size_t>(padding));
        buffer.writeLength += padding;
    }
    if (buffer.writeLength >= 6) {
        const auto total = static_cast<uint32_t>(buffer.writeLength);
        buffer.writeData[2] = static_cast<uint8_t>(total >> 24);
        buffer.writeData[3] = static_cast<uint8_t>(total >> 16);
        buffer.writeData[4] = static_cast<uint8_t>(total >> 8);
        buffer.writeData[5] = static_cast<uint8_t>(total);
    }
    serialized = true;
}

const Buffer& Message::getBuffer(int32_t blockSize) {
    if (!serialized) serialize(blockSize);
    return buffer;
}

ParseResult Message::parseResult() const {
    if (invalid) return ParseResult::Invalid;
    if (id == MessageId{}) return ParseResult::Incomplete;
    return ParseResult::Complete;
}

size_t Message::footprint() const {
    // Every text travels with at least as many bytes as it takes; the records of the lists are added.
    size_t bytes = sizeof(Message) + static_cast<size_t>(std::max(consumed, buffer.writeCapacity));
    bytes += servers.capacity() * sizeof(ServerAddress) + intList.capacity() * sizeof(int32_t) +
             textList.capacity() * sizeof(std::string) + tables.capacity() * sizeof(TableListEntry) +
             users.capacity() * sizeof(UserListEntry) + events.capacity() * sizeof(TableEvent);
    for (const TableListEntry& table : tables) bytes += table.viewers.capacity() * sizeof(std::string);
    for (const TableEvent& event : events) {
        if (!event.hasStatus()) continue;
        const GameStatus& s = event.status();
        bytes += sizeof(StatusRecord) +
                 (s.statusMarkers.capacity() + s.touchingBalls.capacity() + s.thirdList.capacity()) * sizeof(int32_t);
    }
    return bytes;
}
