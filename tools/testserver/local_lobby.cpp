#include "tools/testserver/local_lobby.h"

#include <algorithm>

LocalLobby::LocalLobby(std::string lobbyName, int tableCount) : lobbyName_(std::move(lobbyName)) {
    for (int i = 1; i <= tableCount; ++i) {
        TableListEntry table;
        table.tableId = i;
        table.tableName = "Table " + std::to_string(i);
        table.bestOf = 1;
        table.maxShotTime = 60;
        tables_.push_back(table);
    }
}

TestServerConfig LocalLobby::serverConfig() {
    TestServerConfig config;
    config.lobbyName = lobbyName_;
    config.newcomerPassword = kNewcomerPassword;
    config.currentUsers = 0;
    config.sessionHook = [this](int connection, const std::string& user, const Message& message) {
        return onMessage(connection, user, message);
    };
    return config;
}

TableListEntry* LocalLobby::findTable(int32_t tableId) {
    auto found = std::find_if(tables_.begin(), tables_.end(), [&](const TableListEntry& t) { return t.tableId == tableId; });
    return found == tables_.end() ? nullptr : &*found;
}

Message LocalLobby::tableListOf(const TableListEntry& table) const {
    Message m(MessageId::TABLE_LIST_INFO);
    m.tables.push_back(table);
    return m;
}

Message LocalLobby::userList() const {
    Message m(MessageId::USER_LIST_INFO);
    for (const auto& [connection, member] : members_) m.users.push_back({member.user});
    return m;
}

void LocalLobby::toAll(std::vector<OutgoingMessage>& out, const Message& message) const {
    for (const auto& [connection, member] : members_) out.push_back({connection, message});
}

void LocalLobby::toTable(std::vector<OutgoingMessage>& out, int32_t tableId, const Message& message, int except) const {
    for (const auto& [connection, member] : members_) {
        if (member.tableId == tableId && connection != except) out.push_back({connection, message});
    }
}

void LocalLobby::leaveTable(std::vector<OutgoingMessage>& out, int connection) {
    Member& member = members_[connection];
    TableListEntry* table = findTable(member.tableId);
    if (table == nullptr) return;
    Message exit(MessageId::EXIT_TABLE_INFO, nextIid_++);
    exit.tableId = table->tableId;
    exit.userName = member.user;
    toAll(out, exit);
    std::erase(table->viewers, member.user);
    if (table->player1 == member.user) table->player1.clear();
    if (table->player2 == member.user) table->player2.clear();
    member.tableId = 0;
    toAll(out, tableListOf(*table));
}

std::vector<OutgoingMessage> LocalLobby::onMessage(int connection, const std::string& user, const Message& message) {
    std::vector<OutgoingMessage> out;
    if (message.id == MessageId::LOGIN_OK) {
        members_[connection] = {user, 0, false};
        return out;
    }
    // The client deciphers what arrives under the key of the moment, and it takes the key of the
    // login only once it has read LOGIN_OK: so the lists wait for its first word after the login.
    if (auto member = members_.find(connection); member != members_.end() && !member->second.greeted) {
        member->second.greeted = true;
        Message tables(MessageId::TABLE_LIST_INFO, nextIid_++);
        tables.tables = tables_;
        out.push_back({connection, tables});
        toAll(out, userList());
    }
    switch (message.id) {
        case MessageId::LOGOUT_REQ:
            leaveTable(out, connection);
            members_.erase(connection);
            toAll(out, userList());
            break;
        case MessageId::CHAT_MESSAGE: {
            // The sender is the logged-in name, whatever the message claims.
            Message chat(message);
            chat.sender = user;
            const int tableId = members_[connection].tableId;
            if (chat.toTable != 0 && tableId != 0) {
                chat.tableId = tableId;
                toTable(out, tableId, chat);
            } else {
                chat.toTable = 0;
                toAll(out, chat);
            }
            break;
        }
        case MessageId::ENTER_TABLE_REQ: {
            TableListEntry* table = findTable(message.tableId);
            if (table == nullptr) break;
            leaveTable(out, connection);
            members_[connection].tableId = table->tableId;
            table->viewers.push_back(user);
            Message enter(MessageId::ENTER_TABLE_INFO, nextIid_++);
            enter.tableId = table->tableId;
            enter.userName = user;
            toAll(out, enter);
            toAll(out, tableListOf(*table));
            break;
        }
        case MessageId::EXIT_TABLE_REQ:
            leaveTable(out, connection);
            break;
        case MessageId::PLAY_TABLE_REQ:
        case MessageId::STOP_PLAY_TABLE_REQ: {
            TableListEntry* table = findTable(members_[connection].tableId);
            if (table == nullptr) break;
            const bool sitting = message.id == MessageId::PLAY_TABLE_REQ;
            if (sitting && table->player1.empty() && table->player2 != user) {
                table->player1 = user;
            } else if (sitting && table->player2.empty() && table->player1 != user) {
                table->player2 = user;
            } else if (!sitting) {
                if (table->player1 == user) table->player1.clear();
                if (table->player2 == user) table->player2.clear();
            } else {
                break;  // both seats taken
            }
            Message seats(sitting ? MessageId::PLAY_TABLE_INFO : MessageId::STOP_PLAY_TABLE_INFO, nextIid_++);
            seats.tableId = table->tableId;
            seats.player1 = table->player1;
            seats.player2 = table->player2;
            toAll(out, seats);
            toAll(out, tableListOf(*table));
            break;
        }
        case MessageId::TABLE_EVENT: {
            const int tableId = members_[connection].tableId;
            // Echoed to the sender too: a client plays its own stroke when the server sends it back.
            if (tableId != 0) toTable(out, tableId, message, -1);
            break;
        }
        default:
            break;
    }
    return out;
}
