#include "tools/testserver/local_lobby.h"

#include "physics/ball.h"

#include <algorithm>
#include <cstdlib>

LocalLobby::LocalLobby(std::string lobbyName, int tableCount) : lobbyName_(std::move(lobbyName)) {
    for (int i = 1; i <= tableCount; ++i) {
        TableListEntry table;
        table.tableId = i;
        table.tableName = "Table " + std::to_string(i);
        table.tableType = 1;  // the table the lobby rolls strokes on, so the clients roll the same
        table.gameType = 1;   // snooker
        table.bestOf = 1;
        table.maxShotTime = 60;
        tables_.push_back(table);
        games_[i];
    }
}

TestServerConfig LocalLobby::serverConfig() {
    TestServerConfig config;
    config.lobbyName = lobbyName_;
    config.newcomerPassword = kNewcomerPassword;
    config.currentUsers = 0;
    config.currentUsersNow = [this] { return userCount(); };
    config.sessionHook = [this](int connection, const std::string& user, const Message& message) {
        return onMessage(connection, user, message);
    };
    return config;
}

TableListEntry* LocalLobby::findTable(int32_t tableId) {
    auto found = std::find_if(tables_.begin(), tables_.end(), [&](const TableListEntry& t) { return t.tableId == tableId; });
    return found == tables_.end() ? nullptr : &*found;
}

Message LocalLobby::tableList() {
    // Whole: the pages take each list for all the tables there are.
    Message m(MessageId::TABLE_LIST_INFO, nextIid_++);
    m.tables = tables_;
    return m;
}

Message LocalLobby::userList() {
    Message m(MessageId::USER_LIST_INFO, nextIid_++);
    for (const auto& [connection, member] : members_) m.users.push_back({member.user, 0, 0, rankOf(member.user)});
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

int LocalLobby::rankOf(const std::string& user) const {
    auto found = ranks_.find(user);
    return found == ranks_.end() ? 0 : found->second;
}

bool LocalLobby::seat(TableListEntry& table, const std::string& user) {
    if (seatOf(table, user) >= 0 || !table.player2.empty()) return false;
    (table.player1.empty() ? table.player1 : table.player2) = user;
    if (!table.player2.empty() && rankOf(table.player2) < rankOf(table.player1)) std::swap(table.player1, table.player2);
    // The viewers are those who look on: the first of them is next in line for a seat.
    std::erase(table.viewers, user);
    return true;
}

void LocalLobby::unseat(TableListEntry& table, const std::string& user, bool stays) {
    const bool seated = seatOf(table, user) >= 0;
    if (table.player2 == user) table.player2.clear();
    if (table.player1 == user) {
        table.player1 = table.player2;
        table.player2.clear();
    }
    if (seated && stays && std::find(table.viewers.begin(), table.viewers.end(), user) == table.viewers.end())
        table.viewers.push_back(user);
}

int LocalLobby::seatOf(const TableListEntry& table, const std::string& user) const {
    if (table.player1 == user) return 0;
    return table.player2 == user ? 1 : -1;
}

TableEvent LocalLobby::tableStatus(const TableListEntry& table) {
    const LocalFrame& frame = *games_[table.tableId].frame;
    TableEvent status = frame.status();
    // Fault mended: one who entered during a turn had the whole limit on the clock of the player on turn.
    if (frame.inPlay()) status.status().maxShotTimeNow = frame.shotSecondsLeft();
    if (!frame.inPlay()) {
        // No frame: the seats as they are now and nothing of the last frame's result, or one who
        // enters would read that frame's end as the table's state.
        GameStatus& s = status.status();
        s.players = {table.player1, table.player2};
        s.matchDuration = s.frameDuration = s.breakDuration = 0;
        s.gameState = 0;
        s.frameWonBy = s.matchWonBy = -1;
        s.concededBy = s.matchConcededBy = -1;
        s.framesWon = s.frameScore = s.frameOverScore = s.negativePoints = {};
        s.breakScore = s.scoreForPocketedBalls = s.penalty = 0;
        s.ballsPotted = {};
        s.bestBreak = s.bestBreakScore = {};
        s.foul = false;
        s.playerOn = s.striker = s.playerOnFirst = 0;
        s.ballOn = 1;
        s.ballInHand = s.timeout = false;
        // A start asked for and not yet answered: the other seated player is offered to start too.
        const Game& game = games_[table.tableId];
        for (int seat : {0, 1}) {
            if (!game.startRequested[seat]) continue;
            s.startInfo = static_cast<int32_t>(StartInfo::START_REQUESTED);
            s.striker = seat;
        }
    }
    return status;
}

Message LocalLobby::tableEvents(std::vector<TableEvent> events) {
    Message m(MessageId::TABLE_EVENT, nextIid_++);
    m.events = std::move(events);
    return m;
}

void LocalLobby::sendSeats(std::vector<OutgoingMessage>& out, const TableListEntry& table, MessageId id) {
    Message seats(id, nextIid_++);
    seats.tableId = table.tableId;
    seats.player1 = table.player1;
    seats.player2 = table.player2;
    // Fault mended: seats went to everyone, and the client applies them to its own table whatever
    // table they name.
    toTable(out, table.tableId, seats);
    sendLists(out);
}

void LocalLobby::endGame(TableListEntry& table) {
    Game& game = games_[table.tableId];
    game.startRequested = {};
    game.coinTossWinner = -1;
    game.frame->stop();
    // Fault mended: the next to sit at a table a tutorial left found the exercise's balls, or none.
    if (game.tutorial) game.frame->rack();
    game.tutorial = false;
    game.tutorialTopic = 0;
    table.gameState = 0;
}

void LocalLobby::leaveTable(std::vector<OutgoingMessage>& out, int connection) {
    Member& member = members_[connection];
    TableListEntry* table = findTable(member.tableId);
    if (table == nullptr) return;
    const int seat = seatOf(*table, member.user);
    // The one who stays wins the frame and is told so before the seat empties.
    if (seat >= 0 && games_[table->tableId].frame->inPlay()) endFrameEarly(out, *table, seat, practice(*table));
    if (seat >= 0) endGame(*table);
    Message exit(MessageId::EXIT_TABLE_INFO, nextIid_++);
    exit.tableId = table->tableId;
    exit.userName = member.user;
    toTable(out, table->tableId, exit);
    std::erase(table->viewers, member.user);
    const bool wasSeated = seatOf(*table, member.user) >= 0;
    unseat(*table, member.user, false);
    member.tableId = 0;
    // The seated are no viewers, so their clients learn of a seat that empties from the seats.
    if (wasSeated) {
        sendSeats(out, *table, MessageId::STOP_PLAY_TABLE_INFO);
    } else {
        sendLists(out);
    }
}

bool LocalLobby::enterTable(std::vector<OutgoingMessage>& out, int connection, const std::string& user, int32_t tableId) {
    TableListEntry* table = findTable(tableId);
    if (table == nullptr) return false;
    leaveTable(out, connection);
    members_[connection].tableId = table->tableId;
    table->viewers.push_back(user);
    Message enter(MessageId::ENTER_TABLE_INFO, nextIid_++);
    enter.tableId = table->tableId;
    enter.userName = user;
    // Fault mended: entries went to everyone, and the client counts whoever enters among the people
    // of its own table.
    toTable(out, table->tableId, enter);
    sendLists(out);
    // A newcomer sees the table as it stands, also when no frame is in play: the client takes a
    // frame to be in play until a status says otherwise, and would not offer a start.
    out.push_back({connection, tableEvents({tableStatus(*table)})});
    return true;
}

std::vector<OutgoingMessage> LocalLobby::onMessage(int connection, const std::string& user, const Message& message) {
    std::vector<OutgoingMessage> out;
    if (message.id == MessageId::LOGIN_OK) {
        members_[connection] = {user, 0, false};
        ranks_.try_emplace(user, static_cast<int>(ranks_.size()) + 1);
        return out;
    }
    // The client deciphers what arrives under the key of the moment, and it takes the key of the
    // login only once it has read LOGIN_OK: so the lists wait for its first word after the login.
    if (auto member = members_.find(connection); member != members_.end() && !member->second.greeted) {
        member->second.greeted = true;
        out.push_back({connection, tableList()});
        toAll(out, userList());
        toAll(out, onlineList());
        greetStore(out, connection, member->second.user);
        greetPeople(out, connection, member->second.user);
        // The topics passed, as every login learns them: the client suggests the tutorial to one who
        // has passed none, once, here rather than whenever the tutorial is first entered.
        out.push_back({connection, tutorialStatus(member->second.user)});
    }
    switch (message.id) {
        case MessageId::LOGOUT_REQ:
            leaveTable(out, connection);
            members_.erase(connection);
            toAll(out, userList());
            toAll(out, onlineList());
            tellFriendsOf(out, user);
            break;
        case MessageId::CHAT_MESSAGE:
            onChat(out, connection, user, message);
            break;
        case MessageId::ENTER_TABLE_REQ:
            enterTable(out, connection, user, message.tableId);
            break;
        case MessageId::EXIT_TABLE_REQ:
            leaveTable(out, connection);
            sendOwnStats(out, connection);
            break;
        case MessageId::PLAY_TABLE_REQ:
        case MessageId::STOP_PLAY_TABLE_REQ:
            onSeatRequest(out, connection, user, message);
            break;
        case MessageId::TABLE_EVENT:
            onTableEvent(out, connection, user, message);
            break;
        case MessageId::INFO:
            if (!onPeopleRequest(out, connection, message)) onInfo(out, connection, message);
            break;
        default:
            break;
    }
    return out;
}

void LocalLobby::onChat(std::vector<OutgoingMessage>& out, int connection, const std::string& user,
                        const Message& message) {
    if (message.text1 == "/single") {
        startSingle(out, connection, user);
        return;
    }
    if (message.text1.rfind("/lineup ", 0) == 0) {
        // The line-up the practice player's next rerack lays out.
        TableListEntry* table = findTable(members_[connection].tableId);
        if (table != nullptr && seatOf(*table, user) >= 0)
            games_[table->tableId].lineUp = std::atoi(message.text1.c_str() + 8);
        return;
    }
    if (onReplayCommand(out, connection, message.text1)) return;
    if (onStoreCommand(out, connection, user, message.text1)) return;
    if (message.text1.rfind("/set-game-status", 0) == 0) {
        onPracticePosition(out, connection, message.text1);
        return;
    }
    if (onWhisper(out, connection, user, message.text1)) return;
    // The sender is the logged-in name, and the line is a user's chat, whatever the message
    // claims: other classes carry the server's own markup, which the client shows as it is.
    Message chat(message);
    chat.sender = user;
    chat.chatClass = ChatClass::CHAT;
    const int tableId = members_[connection].tableId;
    std::vector<OutgoingMessage> lines;
    if (chat.toTable != 0 && tableId != 0) {
        chat.tableId = tableId;
        toTable(lines, tableId, chat);
    } else {
        chat.toTable = 0;
        toAll(lines, chat);
    }
    for (OutgoingMessage& line : lines)
        if (!heldBack(line.connection, user)) out.push_back(std::move(line));
}

void LocalLobby::onSeatRequest(std::vector<OutgoingMessage>& out, int connection, const std::string& user,
                               const Message& message) {
    TableListEntry* table = findTable(members_[connection].tableId);
    if (table == nullptr) return;
    const bool sitting = message.id == MessageId::PLAY_TABLE_REQ;
    if (sitting ? !seat(*table, user) : seatOf(*table, user) < 0) return;  // seats taken, or not seated
    if (!sitting) {
        if (games_[table->tableId].frame->inPlay())
            endFrameEarly(out, *table, seatOf(*table, user), practice(*table));
        endGame(*table);
        unseat(*table, user, true);
    }
    sendSeats(out, *table, sitting ? MessageId::PLAY_TABLE_INFO : MessageId::STOP_PLAY_TABLE_INFO);
    // Whoever sits at a table without a frame learns its start state, or the client would keep that
    // of the last frame played there.
    if (sitting && !games_[table->tableId].frame->inPlay()) toTable(out, table->tableId, tableEvents({tableStatus(*table)}));
}

void LocalLobby::onTableEvent(std::vector<OutgoingMessage>& out, int connection, const std::string& user,
                              const Message& message) {
    TableListEntry* table = findTable(members_[connection].tableId);
    if (table == nullptr) return;
    Game& game = games_[table->tableId];
    const int seat = seatOf(*table, user);
    std::vector<TableEvent> relayed;
    std::vector<const TableEvent*> strokes;
    for (const TableEvent& e : message.events) {
        switch (e.type) {
            case TableEventType::START_INFO:
                if (seat >= 0) onStartInfo(out, *table, seat, e);
                continue;
            case TableEventType::FRAME_CONCEDED:
            case TableEventType::RERACK_REQUESTED:
            case TableEventType::RERACK_ACCEPTED:
            case TableEventType::RERACK_DECLINED:
            case TableEventType::ABORT_REQUESTED:
            case TableEventType::ABORT_ACCEPTED:
            case TableEventType::ABORT_DECLINED:
                if (seat >= 0) onFrameRequest(out, *table, seat, e);
                continue;
            case TableEventType::SHOT: {
                // Only the player on turn strokes, in a frame; anything else would part the clients'
                // tables.
                const int on = game.frame->score().playerOn;
                if (!game.frame->inPlay() || (on == 0 ? table->player1 : table->player2) != user) continue;
                strokes.push_back(&e);
                break;
            }
            case TableEventType::BALL_PLACED:
            case TableEventType::BALL_REMOVED:
            case TableEventType::LIVE_AIM_START:
            case TableEventType::FOUL_PLAY_ON:
            case TableEventType::FOUL_RETAKE:
                if (!onTurnEvent(out, *table, user, e)) continue;
                break;
            default: break;
        }
        relayed.push_back(e);
    }
    // Echoed to the sender too: a client plays its own stroke when the server sends it back.
    if (!relayed.empty()) toTable(out, table->tableId, tableEvents(std::move(relayed)));
    for (const TableEvent* stroke : strokes) {
        if (!game.frame->inPlay()) break;  // an earlier stroke of the message ended it
        TableEvent after = game.frame->playStroke(*stroke);
        if (game.tutorial) {
            judgeExercise(out, *table, after);
            continue;
        }
        // Some seconds a stroke in the replay: the time it takes the balls to come to rest.
        game.strokeMs += 6000;
        replays_.stroke(table->tableId, stroke->aim, game.strokeMs, after);
        toTable(out, table->tableId, tableEvents({after}));
        sendMatchStats(out, *table);
        if (!game.frame->inPlay()) {
            replays_.end(table->tableId, after);
            frameOver(out, *table);
        }
    }
}

void LocalLobby::onStartInfo(std::vector<OutgoingMessage>& out, TableListEntry& table, int seat,
                             const TableEvent& event) {
    Game& game = games_[table.tableId];
    if (game.frame->inPlay()) return;
    TableEvent told(TableEventType::START_INFO);
    switch (event.startInfo) {
        case StartInfo::START_REQUESTED:
        case StartInfo::START_CANCELLED: {
            game.startRequested[seat] = event.startInfo == StartInfo::START_REQUESTED;
            told.startInfo = event.startInfo;
            told.value = seat;
            toTable(out, table.tableId, tableEvents({told}));
            const bool twoPlayers = !table.player1.empty() && !table.player2.empty() && table.player1 != table.player2;
            if (!twoPlayers || !game.startRequested[0] || !game.startRequested[1]) break;
            game.startRequested = {};
            game.coinTossWinner = std::uniform_int_distribution<int>(0, 1)(coin_);
            told.startInfo = StartInfo::COIN_TOSS;
            told.value = game.coinTossWinner;
            toTable(out, table.tableId, tableEvents({told}));
            break;
        }
        case StartInfo::STARTED_AFTER_COIN_TOSS:
            // The winner of the toss says who breaks.
            if (seat == game.coinTossWinner) startFrame(out, table, event.value == 1 ? 1 : 0);
            break;
        default:
            break;
    }
}

void LocalLobby::startSingle(std::vector<OutgoingMessage>& out, int connection, const std::string& user) {
    TableListEntry* table = findTable(members_[connection].tableId);
    if (table == nullptr) return;
    // Practice needs the table to oneself: empty seats, or seats that hold only this player.
    const bool free = (table->player1.empty() || table->player1 == user) &&
                      (table->player2.empty() || table->player2 == user);
    if (!free) return;
    table->player1 = table->player2 = user;
    std::erase(table->viewers, user);
    sendSeats(out, *table, MessageId::PLAY_TABLE_INFO);
    startFrame(out, *table, 0);
    toTable(out, table->tableId,
            notice("Practice: the line-up chosen in the Line-up window stays for every rerack until another is "
                   "chosen. To choose another later, press Line-up in the bar below the table.",
                   table->tableId));
}

void LocalLobby::startFrame(std::vector<OutgoingMessage>& out, TableListEntry& table, int breaker) {
    Game& game = games_[table.tableId];
    game.startRequested = {};
    game.coinTossWinner = -1;
    game.frame->start({table.player1, table.player2}, breaker, table.maxShotTime);
    game.frame->keepReds(redsInRack_);
    game.rerackAsked = game.abortAsked = {};
    game.lineUp = 0;
    game.strokeMs = 0;
    // The breaker plays from the D: on its own spot against the baulk cushion the cue ball leaves
    // no room for the cue.
    game.frame->putCueBallInD();
    table.gameState = 1;
    // The rack before the start of play: the client opens a frame only while its score stands at 0-0.
    TableEvent begin(TableEventType::START_INFO);
    begin.startInfo = StartInfo::STARTED_AFTER_COIN_TOSS;
    begin.value = breaker;
    toTable(out, table.tableId, tableEvents({game.frame->status(), begin}));
    // Mends the shot clock that did not run for the break: the start of play stops both clocks, and
    // only a status starts the one on turn, as after every stroke.
    toTable(out, table.tableId, tableEvents({game.frame->status()}));
    replays_.begin(table.tableId, {table.player1, table.player2}, game.frame->status());
    sendLists(out);
    sendMatchStats(out, table);
}
