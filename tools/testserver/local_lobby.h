// A lobby to play in on one's own machine: any new name logs in with the lobby's shared password and
// becomes an account, every logged-in user sees a few tables and the user list, chat goes to everyone
// in the lobby (or at the table) but those who blocked its sender, a whisper to one user, and table
// entry, seats and every table event go to those at the table only. Two seated players start a
// frame by a coin toss, one player alone by "/single"; after
// each stroke the lobby rolls it on its own table and sends the game status. A concede, or a seated
// player leaving, gives the frame to the other seat; an abort or a rerack needs the other player's yes
// (alone at the table, it is granted at once); "/lineup N" then a rerack lays out a practice line-up,
// kept for every rerack of that practice. A foul is answered by the fouled player, a potted cue ball
// is placed in the D, and an expired shot clock is a foul. The frames played since the start are kept
// for the Replays window; a practice may go on from a replay's position. Each user has Kred, cues
// and a Kred Box, and may play the tutorial's exercises at a table of their own. It is the session
// hook of a TestServer, so it runs on that server's thread only.
#pragma once

#include "tools/testserver/cue_store.h"
#include "tools/testserver/local_frame.h"
#include "tools/testserver/people_lists.h"
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

    // How long each new Kred Box stays closed.
    void setKredBoxSeconds(int seconds) { store_.setBoxSeconds(seconds); }
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
        int lineUp = 0;  // the line-up every rerack of this practice lays out, 0 none
        int strokeMs = 0;  // the frame's time in the replay text
        bool tutorial = false;  // the table of a user's tutorial
        int tutorialTopic = 0;  // the topic chosen there, 0 none
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
    // A placement, a foul's answer or the shot clock's end from a player: false when it is refused
    // and not passed on (local_lobby_turns.cpp).
    bool onTurnEvent(std::vector<OutgoingMessage>& out, TableListEntry& table, const std::string& user,
                     const TableEvent& event);
    // The frame's replay records a change of turn or score made without a stroke.
    void rule(const TableListEntry& table, const std::string& event);
    void onStartInfo(std::vector<OutgoingMessage>& out, TableListEntry& table, int seat, const TableEvent& event);
    void startSingle(std::vector<OutgoingMessage>& out, int connection, const std::string& user);
    void startFrame(std::vector<OutgoingMessage>& out, TableListEntry& table, int breaker);
    // Drops the start requests and the frame: a seated player left. A tutorial's table is racked again.
    void endGame(TableListEntry& table);
    void sendSeats(std::vector<OutgoingMessage>& out, const TableListEntry& table, MessageId id);
    // The GAME_STATUS of a table: its frame with the time left on the shot clock, or with no frame in
    // play its seats and gameState 0.
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
    // A practice goes on from a replay's position: its score, turn and ball on ("/set-game-status").
    void onPracticePosition(std::vector<OutgoingMessage>& out, int connection, const std::string& text);
    // The frame has ended: the table is free to start another.
    void frameOver(std::vector<OutgoingMessage>& out, TableListEntry& table);
    // The frame's figures for the match statistics of everyone at the table.
    void sendMatchStats(std::vector<OutgoingMessage>& out, const TableListEntry& table);
    void sendOwnStats(std::vector<OutgoingMessage>& out, int connection);
    // INFO requests the lobby answers: replays, the tutorial.
    void onInfo(std::vector<OutgoingMessage>& out, int connection, const Message& message);
    bool onReplayCommand(std::vector<OutgoingMessage>& out, int connection, const std::string& text);
    Message notice(const std::string& text, int tableId) const;
    // The tutorial (local_lobby_tutorial.cpp).
    void onTutorialRequest(std::vector<OutgoingMessage>& out, int connection, const Message& message);
    void enterTutorial(std::vector<OutgoingMessage>& out, int connection, const std::string& user);
    Message tutorialStatus(const std::string& user);
    void startExercise(std::vector<OutgoingMessage>& out, TableListEntry& table);
    void stopExercise(TableListEntry& table);
    // The exercise's stroke has been played: the exercise ends, the topic is passed or failed.
    void judgeExercise(std::vector<OutgoingMessage>& out, TableListEntry& table, const TableEvent& after);
    // The cue store and the Kred Box (local_lobby_store.cpp).
    Message cueKredInfo(const std::string& user);
    Message kredBoxInfo(const std::string& user);
    void greetStore(std::vector<OutgoingMessage>& out, int connection, const std::string& user);
    bool onStoreCommand(std::vector<OutgoingMessage>& out, int connection, const std::string& user,
                        const std::string& text);
    void collectKredBox(std::vector<OutgoingMessage>& out, int connection);
    // Whispers, friends, blocks, My account and bios (local_lobby_people.cpp).
    bool onWhisper(std::vector<OutgoingMessage>& out, int connection, const std::string& user, const std::string& text);
    // The friend, block, account and bio requests; false for any other INFO.
    bool onPeopleRequest(std::vector<OutgoingMessage>& out, int connection, const Message& message);
    Message friendsList(const std::string& user) const;
    Message blockedList(const std::string& user) const;
    Message bio(const std::string& user);
    // The user's own lists at login, and the user's coming or going to those who befriended them.
    void greetPeople(std::vector<OutgoingMessage>& out, int connection, const std::string& user);
    void tellFriendsOf(std::vector<OutgoingMessage>& out, const std::string& user);
    std::vector<int> connectionsOf(const std::string& user) const;
    // The user at that connection has blocked the sender: the sender's chat does not go there.
    bool heldBack(int connection, const std::string& sender) const;
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
    CueStore store_;
    PeopleLists people_;
    std::map<std::string, std::string> tutorialsPassed_;
    std::map<std::string, Message> ownStats_;  // by user: the statistics of the last frame played  // by user: one digit per topic, 1 passed
    int redsInRack_ = 15;
    // Every message the lobby makes takes the next number, so a status is always newer than the
    // table entry it follows: the client drops a status that is not.
    uint32_t nextIid_ = 5000;
};
