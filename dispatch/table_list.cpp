// The lobby's table list and user list: one page call each for the lobby pages, and the records
// that concern the own user set up the own table, the own nick's spelling and the window title.
#include "dispatch/table_list.h"

#include "client/gamehandler/page_statements.h"
#include "core/log.h"
#include "core/platform.h"
#include "core/text.h"
#include "dispatch/handlers.h"
#include "net/connection_handler.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The digits at pos (moved past them) as a number; false when there are none.
bool readDigits(const std::string& text, size_t& pos, int& value) {
    const size_t start = pos;
    while (pos < text.size() && isDigit(text[pos])) ++pos;
    if (pos == start) return false;
    value = toInt(text.substr(start, pos - start));
    return true;
}

std::string unsignedText(int32_t value) { return std::to_string(static_cast<uint32_t>(value)); }

// The "|"-separated fields of a user record: nick, form, num_max_p, num_max_c, hb_p, hb_c,
// inReplayMode, lobby; fields after the eighth are not read.
struct UserRecord {
    std::array<std::string_view, 8> fields;
    size_t count = 0;
    std::string_view field(size_t i) const { return i < count ? fields[i] : std::string_view(); }
};

UserRecord splitUserRecord(std::string_view record) {
    UserRecord r;
    while (r.count < r.fields.size()) {
        const size_t bar = record.find('|');
        r.fields[r.count++] = record.substr(0, bar);
        if (bar == std::string_view::npos) break;
        record.remove_prefix(bar + 1);
    }
    return r;
}

template <typename Number>
void appendNumber(std::string& out, Number value) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// About the size of one user's object, so that a long list's text grows without copies.
constexpr size_t kUserObjectSizeHint = 160;

// One user's object of the user list, appended without temporaries: long lists are thousands.
void appendUserObject(std::string& out, const UserListEntry& entry, const UserRecord& record) {
    out += "{userName:'";
    out += escapeJsString(record.field(0));
    out += "',userType:";
    appendNumber(out, entry.userType);
    out += ",rating:";
    appendNumber(out, static_cast<uint32_t>(entry.rating));
    out += ",rank:";
    appendNumber(out, static_cast<uint32_t>(entry.rank));
    out += ",flags:";
    appendNumber(out, static_cast<uint32_t>(entry.flags));
    // As a stream writes a double by default (%g, six significant digits), whatever the locale.
    out += ",form:";
    char form[32];
    out.append(form, std::to_chars(form, form + sizeof form, static_cast<double>(toFloat(record.field(1))),
                                   std::chars_format::general, 6)
                         .ptr);
    static constexpr const char* kNumberKeys[] = {",num_max_p:", ",num_max_c:", ",hb_p:", ",hb_c:",
                                                  ",inReplayMode:"};
    for (size_t i = 0; i < 5; ++i) {
        out += kNumberKeys[i];
        appendNumber(out, toInt(record.field(2 + i)));
    }
    out += ",},";
}

std::string tableObject(const TableListEntry& t) {
    std::string s = "{tableId:" + std::to_string(t.tableId) + ",tableName:" + jsQuoted(t.tableName) +
                    ",tableType:" + unsignedText(t.tableType) + ",gameType:" + unsignedText(t.gameType) +
                    ",gameState:" + unsignedText(t.gameState) + ",bestOf:" + unsignedText(t.bestOf) +
                    ",maxPointsBehind:" + std::to_string(t.maxPointsBehind) +
                    ",maxShotTime:" + std::to_string(t.maxShotTime) + ",privacy:" + unsignedText(t.privacy) +
                    ",arena:" + std::to_string(t.arena) + ",framesWon1:" + unsignedText(t.framesWon1) +
                    ",framesWon2:" + unsignedText(t.framesWon2) + ",player1:" + jsQuoted(t.player1) +
                    ",player2:" + jsQuoted(t.player2) + ",viewers:[";
    for (const std::string& viewer : t.viewers) s += jsQuoted(viewer) + ",";
    return s + "]},";
}

// The own table follows the server's record of it.
void updateOwnTable(GameHandler& gh, const TableListEntry& t) {
    runJavaScript(HtmlWindow::BottomBox, "inbzInfoTableInfo({tableId: " + std::to_string(t.tableId) +
                                             ",tableType: " + unsignedText(t.tableType) +
                                             "});inbzUpdatePlayerNames({player1: " + jsQuoted(t.player1) +
                                             ",player2: " + jsQuoted(t.player2) + ",});");
    Table& table = gh.table;
    table.setId(t.tableId);
    const TableNameOptions options = parseTableNameOptions(t.tableName);
    table.setName(options.shownName);
    gh.tableNameFlagT = options.flagT;
    gh.tableNameFlagF = options.flagF;
    const int previousLineUp = gh.lineUpNumber;
    gh.lineUpNumber = options.lineUpNumber;
    if (gh.lineUpNumber != previousLineUp) {
        runJavaScript(HtmlWindow::BottomBox, "inbzLineUpNumber({lineUpNumber: " + std::to_string(gh.lineUpNumber) + "});");
    }

    int version = 0;
    table.getVersionAndType(version);
    table.setTableType(version, t.tableType);

    LiveStatus& status = *gh.liveStatus;
    status.gameType = t.gameType;
    status.gameState = t.gameState;
    status.bestOf = t.bestOf;
    status.maxPointsBehind = t.maxPointsBehind;
    status.maxShotTime = t.maxShotTime;
    table.setTableMode(t.privacy);
    table.arena = t.arena;
    status.framesWon[0] = t.framesWon1;
    status.framesWon[1] = t.framesWon2;

    table.setPlayer(0, nullptr);
    table.setPlayer(1, nullptr);
    while (table.getPeopleCount() > 0) table.removePerson(table.getPerson(0));
    for (const std::string& viewer : t.viewers) table.insertPerson(gh.findPlayer(viewer));
    if (!t.player1.empty()) table.addPlayer(gh.findPlayer(t.player1));
    if (!t.player2.empty()) {
        if (t.player2 == t.player1) {
            table.setPlayer(1, table.getPlayer(0));  // one person in both seats
        } else {
            table.addPlayer(gh.findPlayer(t.player2));
        }
    }
    if (status.players[0] == nullptr && !t.player1.empty()) status.players[0] = gh.findPlayer(t.player1);
    if (status.players[1] == nullptr && !t.player2.empty()) status.players[1] = gh.findPlayer(t.player2);

    gh.ownUserFirstViewer = !t.viewers.empty() && t.viewers.front() == gh.ownNick();
    gh.updateStartMatchButtons(options.tNumber);
}

void updateOwnRecord(GameHandler& gh, const Player& player) {
    if (!gh.ownUserNameConfirmed && connectionHandler != nullptr) {
        BZ_LOG(LOG_INFO, "processMessage",
               "Updating own user name from \"" << connectionHandler->userName << "\" to \"" << player.nick << "\"");
        connectionHandler->userName = player.nick;
        runInPages({HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::People, HtmlWindow::BioTut,
                    HtmlWindow::MatchStats, HtmlWindow::Tasks},
                   "inbzInfoUserName({ userName: " + jsQuoted(player.nick) + "});");
        gh.ownUserNameConfirmed = true;
    }
    std::string title = "Baizeron    User: " + player.nick;
    if (player.rank <= 999999) title += " | Rank: " + std::to_string(player.rank);
    title += " | Rating: " + std::to_string(player.rating);
    platform().setWindowTitle(title);
    gh.ownUserType = player.userType;
    runInPages({HtmlWindow::Replays, HtmlWindow::BottomBox},
               "inbzSetMyPlayerType({ myPlayerType: " + std::to_string(player.userType) + "});");
}

}  // namespace

bool sameNickIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

TableNameOptions parseTableNameOptions(const std::string& name) {
    TableNameOptions options;
    options.shownName = name;
    if (name.size() < 2 || name[0] != '(') return options;
    size_t pos = 1;
    while (pos < name.size()) {
        const char c = name[pos++];
        if (c == ')') {
            options.shownName = name.substr(pos);
            break;
        }
        int digits = 0;
        if (c == 't') {
            options.flagT = true;
            if (readDigits(name, pos, digits)) options.tNumber = digits;
        } else if (c == 'f') {
            options.flagF = true;
        } else if (c == 'l') {
            if (readDigits(name, pos, digits)) options.lineUpNumber = digits;
        }
    }
    return options;
}

void onTableListInfo(GameHandler& gh, const Message& message) {
    std::string statement = "inbzTableInfo([";
    for (const TableListEntry& entry : message.tables) {
        statement += tableObject(entry);
        bool listsMe = false;
        for (const std::string& viewer : entry.viewers) {
            if (connectionHandler != nullptr && viewer == gh.ownNick()) listsMe = true;
        }
        if (listsMe && !gh.replayMode) updateOwnTable(gh, entry);
    }
    statement += "]);";
    runInPages({HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::People}, statement);
}

void onUserListInfo(GameHandler& gh, const Message& message) {
    std::string statement = "inbzUserInfo([";
    statement.reserve(statement.size() + message.users.size() * kUserObjectSizeHint);
    for (const UserListEntry& entry : message.users) {
        BZ_LOG(LOG_INFO, "processMessage", "USER_LIST_INFO: " << entry.userName);
        const UserRecord record = splitUserRecord(entry.userName);
        const std::string_view nick = record.field(0);
        const std::string_view lobby = record.count >= 8 ? record.field(7) : std::string_view(gh.lobbyName);
        if (lobby == gh.lobbyName) appendUserObject(statement, entry, record);

        Player* player = gh.findPlayer(nick);
        player->userType = entry.userType;
        player->rating = static_cast<uint32_t>(entry.rating);
        player->rank = static_cast<uint32_t>(entry.rank);
        player->flags = static_cast<uint32_t>(entry.flags);
        if (connectionHandler != nullptr && sameNickIgnoringAsciiCase(player->nick, gh.ownNick())) {
            updateOwnRecord(gh, *player);
        }
    }
    statement += "]);";
    runInPages({HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::People, HtmlWindow::BioTut,
                HtmlWindow::MatchStats, HtmlWindow::Tasks},
               statement);
    // Mends the registry that grew with every nick of the run: a whole list names everyone in the
    // lobbies, so the users who left are forgotten unless the own table still holds them. An empty
    // list changes nothing.
    if (!message.users.empty()) gh.players.sweep(gh.table.heldPlayers());
}
