// The one record in which every protocol message travels between the client and the game server.
// One set of fields serves all message ids; each id uses only the fields its body carries.
#pragma once

#include "net/buffer.h"
#include "net/protocol.h"
#include "net/table_event.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ServerAddress {
    std::string address;
    uint16_t port = 0;

    bool operator==(const ServerAddress&) const = default;
};

struct TableListEntry {
    int32_t tableId = 0;  // never 0 on the wire: 0 ends the table list
    std::string tableName;
    int32_t tableType = 0;
    int32_t gameType = 0;
    int32_t bestOf = 0;
    int32_t gameState = 0;
    int32_t maxPointsBehind = 0;
    int32_t maxShotTime = 0;
    int32_t privacy = 0;
    int32_t arena = 0;
    int32_t framesWon1 = 0;
    int32_t framesWon2 = 0;
    std::string player1;
    std::string player2;
    std::vector<std::string> viewers;  // never empty names: an empty name ends the list

    bool operator==(const TableListEntry&) const = default;
};

struct UserListEntry {
    std::string userName;  // never empty on the wire: an empty name ends the user list
    uint16_t userType = 0;
    int32_t rating = 0;
    int32_t rank = 0;
    int32_t flags = 0;

    bool operator==(const UserListEntry&) const = default;
};

// Index of each match setting in Message::settings (the slot number minus one). Slot 4 never travels.
enum TableSettingsSlot : int {
    SETTINGS_DIFFICULTY = 0,
    SETTINGS_GAME_TYPE = 1,
    SETTINGS_MATCH_LENGTH = 2,
    SETTINGS_UNUSED = 3,
    SETTINGS_AUTO_CONCEDE_LIMIT = 4,
    SETTINGS_SHOT_TIME_LIMIT = 5,
    SETTINGS_PRIVACY = 6,
};

// Everything that a message carries, kept apart from the serialising state so that copies can take the
// fields and leave the write area behind.
struct MessageFields {
    uint16_t version = MESSAGE_PROTOCOL_VERSION;
    uint32_t length = 0;  // the header's length as held here; serialising writes the real one
    MessageId id{};       // 0 in a parsed record: no message could be taken from the bytes
    uint32_t iid = 0;     // sequence number

    // HELLO, LOGIN_CHALLENGE (challenge in salt), HELLO_REPLY, LOGIN_REQ.
    std::string sid;
    std::string salt;
    std::string nick;
    std::string pwd;

    // SERVER_STATUS.
    std::string statusText;
    std::string lobbyName;
    std::string lobbyVersion;
    uint32_t maxUsers = 0;
    uint32_t currentUsers = 0;
    std::vector<ServerAddress> servers;

    // INFO; infoCode also carries the arena of TABLE_SETTINGS and the deferrable flag of CHAT_MESSAGE.
    int32_t infoCode = 0;
    int32_t valueA = 0;
    int32_t valueB = 0;
    std::string textA;
    std::string textB;
    std::vector<int32_t> intList;
    std::vector<std::string> textList;

    std::vector<TableListEntry> tables;
    std::vector<UserListEntry> users;

    int32_t tableId = 0;
    std::string userName;  // ENTER_TABLE_INFO, EXIT_TABLE_INFO
    std::string player1;   // PLAY_TABLE_INFO, STOP_PLAY_TABLE_INFO
    std::string player2;

    // TABLE_SETTINGS_REQ and _INFO: the table's name and the match settings, indexed by TableSettingsSlot.
    std::string settingsText;
    std::array<uint16_t, 7> settings{};

    std::vector<TableEvent> events;

    // CHAT_MESSAGE.
    uint16_t toTable = 0;  // 1 = table chat, 0 = lobby chat
    ChatClass chatClass = ChatClass::CHAT;
    std::string sender;
    std::string text1;
    std::string playerName1;
    std::string text2;
    std::string playerName2;
    std::string text3;

    bool operator==(const MessageFields&) const = default;
};

struct Message : MessageFields {
    // Set by parsing only: the bytes of the reader that this message took, padding included.
    int32_t consumed = 0;
    // Set by parsing only: the bytes are not a valid message (logged once).
    bool invalid = false;
    // The write area that serialize fills; parsed messages leave it empty.
    Buffer buffer;
    bool serialized = false;

    // An empty message: version 1, every string and list empty, every number 0.
    explicit Message(MessageId id = MessageId{}, uint32_t iid = 0);
    // Parses one message at the reader's cursor. Complete: the cursor moves past it, consumed is set.
    // Incomplete (id 0, not invalid): nothing is consumed; parse again when more bytes have arrived.
    // Invalid: one ERROR line is logged and nothing is consumed.
    explicit Message(Buffer& reader);

    // A copy takes every field but starts with an empty write area, so it serialises afresh.
    Message(const Message& other);
    Message& operator=(const Message& other);
    Message(Message&&) noexcept = default;
    Message& operator=(Message&&) noexcept = default;
    ~Message() = default;

    static Message initInfo(uint32_t iid, int32_t infoCode, int32_t valueA, int32_t valueB,
                            const std::string& textA, const std::string& textB);
    static Message initInfo(uint32_t iid, InfoCode infoCode, int32_t valueA, int32_t valueB,
                            const std::string& textA, const std::string& textB);
    static Message initChat(uint32_t iid, uint16_t toTable, ChatClass chatClass, int32_t deferrable,
                            const std::string& sender, int32_t tableId, const std::string& text1,
                            const std::string& playerName1, const std::string& text2,
                            const std::string& playerName2, const std::string& text3);

    // Writes header, body and 0xFF padding to a multiple of blockSize into the write area, replacing
    // whatever it held, and sets serialized.
    void serialize(int32_t blockSize = MESSAGE_BLOCK_SIZE);
    // The serialised bytes (writeData, writeLength); serialises only when not yet done.
    const Buffer& getBuffer(int32_t blockSize = MESSAGE_BLOCK_SIZE);

    ParseResult parseResult() const;

    // About how much memory the record takes, its texts and lists included.
    size_t footprint() const;
};
