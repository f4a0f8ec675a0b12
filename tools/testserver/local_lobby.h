// A lobby to play in on one's own machine: any new name logs in with the lobby's shared password and
// becomes an account, every logged-in user sees a few tables and the user list, chat goes to everyone
// in the lobby (or at the table), and table entry, seats and every table event are relayed to everyone
// at the table. It is the session hook of a TestServer, so it runs on that server's thread only.
#pragma once

#include "tools/testserver/test_server.h"

#include <map>
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

    TableListEntry* findTable(int32_t tableId);
    Message tableListOf(const TableListEntry& table) const;
    Message userList() const;
    void toAll(std::vector<OutgoingMessage>& out, const Message& message) const;
    void toTable(std::vector<OutgoingMessage>& out, int32_t tableId, const Message& message, int except = -1) const;
    void leaveTable(std::vector<OutgoingMessage>& out, int connection);

    std::string lobbyName_;
    std::vector<TableListEntry> tables_;
    std::map<int, Member> members_;  // by connection
    uint32_t nextIid_ = 5000;
};
