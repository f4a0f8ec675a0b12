// The local lobby's answers beyond seats and strokes: concede, abort and rerack (with the practice
// line-ups), the match statistics, the Online tab, the replays of the frames played here, and the
// routing of the INFO requests.
#include "tools/testserver/local_lobby.h"

#include "physics/ball.h"

#include <cstdlib>
#include <sstream>

namespace {

// A replay command as the Replays page sends it: "/replay frame <id> <frame>".
bool readReplayCommand(const std::string& text, std::string& kind, int& id) {
    std::istringstream in(text);
    std::string word;
    if (!(in >> word) || word != "/replay" || !(in >> kind >> id)) return false;
    return true;
}

// The position of a replay that a practice goes on from, as the client sends it: "/set-game-status"
// then frames won (2), scores (2), negative points (2), ball in hand, player on, break, ball on,
// nominated ball, the break's balls by value (10), and the balls touching the cue ball.
bool readGameStatusCommand(const std::string& text, FrameScore& state, bool& ballInHand) {
    std::istringstream in(text);
    std::string word;
    int framesWon[2], negative[2], hand = 0, nominated = 0;
    if (!(in >> word) || word != "/set-game-status") return false;
    if (!(in >> framesWon[0] >> framesWon[1] >> state.score[0] >> state.score[1] >> negative[0] >> negative[1] >> hand >>
          state.playerOn >> state.breakScore >> state.ballOn >> nominated))
        return false;
    for (int& potted : state.ballsPotted)
        if (!(in >> potted)) return false;
    ballInHand = hand != 0;
    return state.ballOn >= 0 && state.ballOn <= BALL_BLACK;
}

}  // namespace

void LocalLobby::onPracticePosition(std::vector<OutgoingMessage>& out, int connection, const std::string& text) {
    TableListEntry* table = findTable(members_[connection].tableId);
    FrameScore state;
    bool ballInHand = false;
    if (table == nullptr || !practice(*table) || seatOf(*table, members_[connection].user) < 0) return;
    Game& game = games_[table->tableId];
    if (!game.frame->inPlay() || !readGameStatusCommand(text, state, ballInHand)) return;
    // The balls are already where the replay had them (the placements came first); the score, the
    // turn and the ball on follow, and both tables agree from the first stroke on.
    game.frame->setState(state, ballInHand);
    const TableEvent status = game.frame->status();
    toTable(out, table->tableId, tableEvents({status}));
    replays_.begin(table->tableId, {table->player1, table->player2}, status);
    game.strokeMs = 0;
    sendMatchStats(out, *table);
}

bool LocalLobby::practice(const TableListEntry& table) const {
    return !table.player1.empty() && table.player1 == table.player2;
}

Message LocalLobby::notice(const std::string& text, int tableId) const {
    return Message::initChat(0, tableId != 0 ? 1 : 0, ChatClass::LOCAL_NOTICE, 0, "", tableId, text, "", "", "", "");
}

Message LocalLobby::onlineList() const {
    Message m = Message::initInfo(0, InfoCode::USER_INFO, 0, 0, "", "");
    for (const auto& [connection, member] : members_) {
        const TableListEntry* table = nullptr;
        for (const TableListEntry& t : tables_)
            if (t.tableId == member.tableId) table = &t;
        const bool seated = table != nullptr && (table->player1 == member.user || table->player2 == member.user);
        const std::string role = table == nullptr ? "" : seated ? "player" : "viewer";
        m.textList.insert(m.textList.end(), {member.user, "0", "0", std::to_string(rankOf(member.user)), "0", "0", "0",
                                             "0", "0", "0", lobbyName_, std::to_string(member.tableId), role, "0", "@END@"});
    }
    return m;
}

void LocalLobby::sendLists(std::vector<OutgoingMessage>& out) {
    toAll(out, tableList());
    toAll(out, onlineList());
}

void LocalLobby::sendMatchStats(std::vector<OutgoingMessage>& out, const TableListEntry& table) {
    const LocalFrame& frame = *games_[table.tableId].frame;
    const auto& f = frame.figures();
    const FrameScore& score = frame.score();
    const int won0 = score.frameWonBy == 0 ? 1 : 0, won1 = score.frameWonBy == 1 ? 1 : 0;
    // In the order of the statistics page: points, pots, pot success, long pots, safety success,
    // highest break, breaks over 50, fouls, misses, average shot time, frames won; two per row.
    std::vector<int32_t> figures = {f[0].points, f[1].points, f[0].pots, f[1].pots, 0, 0, 0, 0, 0, 0,
                                    f[0].highestBreak, f[1].highestBreak, f[0].highestBreak > 50, f[1].highestBreak > 50,
                                    f[0].fouls, f[1].fouls, 0, 0, 0, 0, won0, won1};
    Message stats = Message::initInfo(nextIid_++, InfoCode::MATCH_STATS_INFO, table.tableId, frame.inPlay() ? 1 : 2, "", "");
    stats.intList = figures;
    stats.textList = {frame.players()[0], frame.players()[1]};
    toTable(out, table.tableId, stats);
    for (const std::string& player : frame.players())
        if (!player.empty()) ownStats_[player] = stats;
}

void LocalLobby::sendOwnStats(std::vector<OutgoingMessage>& out, int connection) {
    // Back in the lobby the Statistics button shows the user's own last frame, not the one looked on
    // at the table; none yet, and it says so.
    auto own = ownStats_.find(members_[connection].user);
    Message stats = own != ownStats_.end() ? own->second : Message::initInfo(0, InfoCode::MATCH_STATS_INFO, 0, 0, "", "");
    stats.iid = nextIid_++;
    out.push_back({connection, stats});
}

bool LocalLobby::onFrameRequest(std::vector<OutgoingMessage>& out, TableListEntry& table, int seat, const TableEvent& event) {
    Game& game = games_[table.tableId];
    if (!game.frame->inPlay()) return true;
    const bool alone = practice(table);
    TableEvent told(event.type);
    told.value = seat;
    switch (event.type) {
        case TableEventType::FRAME_CONCEDED:
            // Alone at the table both seats are the player's: the event names the one conceding.
            if (alone) told.value = event.value == 1 ? 1 : 0;
            endFrameEarly(out, table, told.value, false, {told});
            return true;
        case TableEventType::ABORT_REQUESTED:
            game.abortAsked[seat] = true;
            if (alone || game.abortAsked[1 - seat]) {
                TableEvent accepted(TableEventType::ABORT_ACCEPTED);
                accepted.value = seat;
                endFrameEarly(out, table, -1, true, {accepted});
            } else {
                toTable(out, table.tableId, tableEvents({told}));
            }
            return true;
        case TableEventType::ABORT_ACCEPTED:
            if (!game.abortAsked[1 - seat]) return true;  // nothing was asked
            endFrameEarly(out, table, -1, true, {told});
            return true;
        case TableEventType::ABORT_DECLINED:
        case TableEventType::RERACK_DECLINED:
            game.abortAsked = game.rerackAsked = {};
            toTable(out, table.tableId, tableEvents({told}));
            return true;
        case TableEventType::RERACK_REQUESTED:
            game.rerackAsked[seat] = true;
            if (alone || game.rerackAsked[1 - seat]) {
                rerack(out, table, seat);
            } else {
                toTable(out, table.tableId, tableEvents({told}));
            }
            return true;
        case TableEventType::RERACK_ACCEPTED:
            if (game.rerackAsked[1 - seat]) rerack(out, table, seat);
            return true;
        default:
            return false;
    }
}

void LocalLobby::rerack(std::vector<OutgoingMessage>& out, TableListEntry& table, int seat) {
    Game& game = games_[table.tableId];
    const int lineUp = game.lineUp;
    const int breaker = game.frame->status().status().playerOnFirst;
    replays_.drop(table.tableId);
    game.frame->start({table.player1, table.player2}, breaker, table.maxShotTime);
    if (lineUp > 0 && practice(table)) {
        game.frame->layOutLineUp(lineUp);
    } else {
        game.frame->keepReds(redsInRack_);
    }
    game.frame->putCueBallInD();
    game.rerackAsked = game.abortAsked = {};
    game.strokeMs = 0;
    TableEvent accepted(TableEventType::RERACK_ACCEPTED);
    accepted.value = seat;
    const TableEvent rack = game.frame->status();
    toTable(out, table.tableId, tableEvents({accepted, rack}));
    replays_.begin(table.tableId, {table.player1, table.player2}, rack);
    sendMatchStats(out, table);
}

void LocalLobby::endFrameEarly(std::vector<OutgoingMessage>& out, TableListEntry& table, int seat, bool aborted,
                               std::vector<TableEvent> before) {
    Game& game = games_[table.tableId];
    if (!game.frame->inPlay()) return;
    if (aborted) {
        game.frame->abort();
    } else {
        game.frame->concede(seat);
    }
    TableEvent last = game.frame->status();
    if (aborted) {
        replays_.drop(table.tableId);
    } else {
        replays_.end(table.tableId, last);
    }
    // The events that ended it, then the status under a newer number: the clients apply it.
    before.push_back(std::move(last));
    toTable(out, table.tableId, tableEvents(std::move(before)));
    sendMatchStats(out, table);
    frameOver(out, table);
}

void LocalLobby::frameOver(std::vector<OutgoingMessage>& out, TableListEntry& table) {
    endGame(table);
    if (practice(table)) {
        // Practice over: the player holds one seat again, free to practise again or to be joined.
        table.player2.clear();
        sendSeats(out, table, MessageId::STOP_PLAY_TABLE_INFO);
    } else {
        sendLists(out);
    }
}

bool LocalLobby::onReplayCommand(std::vector<OutgoingMessage>& out, int connection, const std::string& text) {
    std::string kind;
    int id = 0;
    if (!readReplayCommand(text, kind, id)) return false;
    const StoredFrame* frame = replays_.find(id);
    const int tableId = members_[connection].tableId;
    if (frame == nullptr || kind != "frame") {
        out.push_back({connection, notice("This local lobby keeps only the frames played since it started; "
                                          "that replay is not among them.", tableId)});
        return true;
    }
    Message replay = Message::initInfo(nextIid_++, InfoCode::REPLAY_INFO, 2, 3, frame->text, "");
    replay.intList = {frame->id, 1, 1, 1, 1, 1};
    out.push_back({connection, replay});
    return true;
}

void LocalLobby::onInfo(std::vector<OutgoingMessage>& out, int connection, const Message& message) {
    switch (static_cast<InfoCode>(message.infoCode)) {
        case InfoCode::REPLAY_LIST_REQ:
            // A search (1), a top-20 list (2) or the favourites: all answered from the frames kept.
            if (message.valueA == 2) {
                out.push_back({connection, Message::initInfo(nextIid_++, InfoCode::INFO_CODE_REPLAY_TOP20_INFO, 0, 0,
                                                             replays_.search(""), "")});
            } else {
                out.push_back({connection, Message::initInfo(nextIid_++, InfoCode::INFO_CODE_REPLAY_SEARCH_DATA, 0, 0,
                                                             replays_.search(message.valueA == 1 ? message.textA : ""),
                                                             "")});
            }
            break;
        case InfoCode::INFO_CODE_EXIT_REPLAY_REQ: {
            if (message.valueA == 0) {
                out.push_back({connection, Message::initInfo(nextIid_++, InfoCode::EXIT_REPLAY_INFO, 0, 0, "", "")});
                break;
            }
            // Going on from the replay: a table nobody sits at and nobody looks on, or a refusal.
            TableListEntry* free = nullptr;
            for (TableListEntry& t : tables_)
                if (!free && t.player1.empty() && t.player2.empty() && t.viewers.empty()) free = &t;
            if (free == nullptr) {
                out.push_back({connection, Message::initInfo(nextIid_++, InfoCode::EXIT_REPLAY_INFO, -1, 0, "", "")});
                break;
            }
            out.push_back({connection, Message::initInfo(nextIid_++, InfoCode::EXIT_REPLAY_INFO, free->tableId, 0, "", "")});
            enterTable(out, connection, members_[connection].user, free->tableId);
            break;
        }
        case InfoCode::INFO_CODE_KRED_BOX_COLLECT:
            collectKredBox(out, connection);
            break;
        case InfoCode::INFO_CODE_ENTER_TUTCH_REQ:
        case InfoCode::INFO_CODE_EXIT_TUTCH_REQ:
        case InfoCode::INFO_CODE_SELECT_TUTCH_TOPIC:
        case InfoCode::INFO_CODE_START_TUTCH_TOPIC:
        case InfoCode::INFO_CODE_CANCEL_TUTCH_TOPIC:
            onTutorialRequest(out, connection, message);
            break;
        default:
            break;
    }
}
