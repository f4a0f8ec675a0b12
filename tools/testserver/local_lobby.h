// A lobby to play in on one's own machine: any new name logs in with the lobby's shared password and
// becomes an account, every logged-in user sees a few tables and the user list, chat goes to everyone
// in the lobby (or at the table), and table entry, seats and every table event are relayed to everyone
// at the table. Two seated players start a frame by a coin toss, one player alone by "/single"; after
// each stroke the lobby rolls it on its own table and sends the game status. A concede, or a seated
// player leaving, gives the frame to the other seat; an abort or a rerack needs the other player's yes
// (alone at the table, it is granted at once); "/lineup N" then a rerack lays out a practice line-up.
// The frames played since the start are kept for the Replays window. It is the session hook of a
// TestServer, so it runs on that server's thread only.
#pragma once

#include "tools/testserver/local_frame.h"
#include "tools/testserver/replay_store.h"
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

    // Every new rack holds only this many reds (1..15): short frames to try things out.
    void setRedsInRack(int reds) { redsInRack_ = reds; }
    const ReplayStore& replays() const { return replays_; }
    // How many users are logged in: the count of the lobby's status answer.
    uint32_t userCount() const { return static_cast<uint32_t>(members_.size()); }

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
        std::array<bool, 2> rerackAsked{};
        std::array<bool, 2> abortAsked{};
        int lineUp = 0;  // the line-up the next rerack lays out (practice), 0 none
        int strokeMs = 0;  // the frame's time in the replay text
    };

    TableListEntry* findTable(int32_t tableId);
    // The client seats the lower rank in seat 0 and fills seat 0 first, so the lobby's seats keep
    // that order too: ranks follow the order of first login.
    int rankOf(const std::string& user) const;
    bool seat(TableListEntry& table, const std::string& user);
    // The player leaves the seat; one still at the table looks on again.
    void unseat(TableListEntry& table, const std::string& user, bool stays);
    int seatOf(const TableListEntry& table, const std::string& user) const;
    void onChat(std::vector<OutgoingMessage>& out, int connection, const std::string& user, const Message& message);
    // PLAY_TABLE_REQ takes a seat, STOP_PLAY_TABLE_REQ gives it up, ending a game in play.
    void onSeatRequest(std::vector<OutgoingMessage>& out, int connection, const std::string& user,
                       const Message& message);
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
    // The whole table list, under the next sequence number.
    Message tableList();
    Message userList();
    // Where every user is, for the Online tab.
    Message onlineList() const;
    // The table list and the Online tab to everyone: after anyone entered, sat or left.
    void sendLists(std::vector<OutgoingMessage>& out);

    // The frame's own requests (local_lobby_games.cpp).
    bool practice(const TableListEntry& table) const;
    // A seat's concede, abort or rerack request; false when the event is not one of these.
    bool onFrameRequest(std::vector<OutgoingMessage>& out, TableListEntry& table, int seat, const TableEvent& event);
    // The frame ends before its time: won by the other seat (conceded, or the seat left), or
    // without a winner (aborted, seat -1).
    void endFrameEarly(std::vector<OutgoingMessage>& out, TableListEntry& table, int seat, bool aborted,
                       std::vector<TableEvent> before = {});
    void rerack(std::vector<OutgoingMessage>& out, TableListEntry& table, int seat);
    // The frame has ended: the table is free to start another.
    void frameOver(std::vector<OutgoingMessage>& out, TableListEntry& table);
    // The frame's figures for the match statistics of everyone at the table.
    void sendMatchStats(std::vector<OutgoingMessage>& out, const TableListEntry& table);
    // INFO requests the lobby answers: replays, the tutorial.
    void onInfo(std::vector<OutgoingMessage>& out, int connection, const Message& message);
    bool onReplayCommand(std::vector<OutgoingMessage>& out, int connection, const std::string& text);
    Message notice(const std::string& text, int tableId) const;
    void toAll(std::vector<OutgoingMessage>& out, const Message& message) const;
    void toTable(std::vector<OutgoingMessage>& out, int32_t tableId, const Message& message, int except = -1) const;
    void leaveTable(std::vector<OutgoingMessage>& out, int connection);
    bool enterTable(std::vector<OutgoingMessage>& out, int connection, const std::string& user, int32_t tableId);

    std::string lobbyName_;
    std::vector<TableListEntry> tables_;
    std::map<int, Member> members_;  // by connection
    std::map<int32_t, Game> games_;  // by table id
    std::map<std::string, int> ranks_;
    std::minstd_rand coin_{std::random_device{}()};
    ReplayStore replays_;
    int redsInRack_ = 15;
    // Every message the lobby makes takes the next number, so a status is always newer than the
    // table entry it follows: the client drops a status that is not.
    uint32_t nextIid_ = 5000;
};
