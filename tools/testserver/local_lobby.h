// A lobby to play in on one's own machine: any new name logs in with the lobby's shared password and
// becomes an account, every logged-in user sees a few tables and the user list, chat goes to everyone
// in the lobby (or at the table), and table entry, seats and every table event are relayed to everyone
// at the table. Two seated players start a frame by a coin toss, one player alone by "/single"; after
// each stroke the lobby rolls it on its own table and sends the game status. It is the session hook
// of a TestServer, so it runs on that server's thread only.
#pragma once

#include "tools/testserver/local_frame.h"
#include "tools/testserver/test_server.h"

#include <array>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

class LocalLobby {
public:
    static constexpr const char* kNewcomerPassword = "snooker";

    explicit LocalLobby(std::string lobbyName, int tableCount = 4);

    // A server config whose session hook is this lobby; the lobby must outlive the server.
    TestServerConfig serverConfig();

    std::vector<OutgoingMessage> onMessage(int connection, const std::string& user, const Message& message);

private:
    struct Member {
        std::string user;
        int tableId = 0;  // 0: in the lobby
        bool greeted = false;
    };

    // The start and the frame of one table.
    struct Game {
        std::array<bool, 2> startRequested{};
        int coinTossWinner = -1;  // the seat that chooses who breaks, -1 no toss pending
        std::unique_ptr<LocalFrame> frame = std::make_unique<LocalFrame>();
    };

    TableListEntry* findTable(int32_t tableId);
    // The client seats the lower rank in seat 0 and fills seat 0 first, so the lobby's seats keep
    // that order too: ranks follow the order of first login.
    int rankOf(const std::string& user) const;
    bool seat(TableListEntry& table, const std::string& user);
    void unseat(TableListEntry& table, const std::string& user);
    int seatOf(const TableListEntry& table, const std::string& user) const;
    void onTableEvent(std::vector<OutgoingMessage>& out, int connection, const std::string& user, const Message& message);
    void onStartInfo(std::vector<OutgoingMessage>& out, TableListEntry& table, int seat, const TableEvent& event);
    void startSingle(std::vector<OutgoingMessage>& out, int connection, const std::string& user);
    void startFrame(std::vector<OutgoingMessage>& out, TableListEntry& table, int breaker);
    // Drops the start requests and the frame: a seated player left.
    void endGame(TableListEntry& table);
    void sendSeats(std::vector<OutgoingMessage>& out, const TableListEntry& table, MessageId id);
    // The GAME_STATUS of a table: its frame, or with no frame in play its seats and gameState 0.
    TableEvent tableStatus(const TableListEntry& table);
    Message tableEvents(std::vector<TableEvent> events);
    Message tableListOf(const TableListEntry& table) const;
    Message userList() const;
    void toAll(std::vector<OutgoingMessage>& out, const Message& message) const;
    void toTable(std::vector<OutgoingMessage>& out, int32_t tableId, const Message& message, int except = -1) const;
    void leaveTable(std::vector<OutgoingMessage>& out, int connection);

    std::string lobbyName_;
    std::vector<TableListEntry> tables_;
    std::map<int, Member> members_;  // by connection
    std::map<int32_t, Game> games_;  // by table id
    std::map<std::string, int> ranks_;
    std::minstd_rand coin_{std::random_device{}()};
    // Every message the lobby makes takes the next number, so a status is always newer than the
    // table entry it follows: the client drops a status that is not.
    uint32_t nextIid_ = 5000;
};
