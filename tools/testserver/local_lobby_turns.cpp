// The events of a frame that change whose turn it is or where the cue ball lies: the answers to a
// foul, the end of the shot clock and the cue ball placed in hand.
#include "tools/testserver/local_lobby.h"

#include "physics/ball.h"

bool LocalLobby::onTurnEvent(std::vector<OutgoingMessage>& out, TableListEntry& table, const std::string& user,
                             const TableEvent& event) {
    LocalFrame& frame = *games_[table.tableId].frame;
    const bool onTurn = frame.inPlay() && (frame.score().playerOn == 0 ? table.player1 : table.player2) == user;
    switch (event.type) {
        case TableEventType::BALL_PLACED:
            // Alone at the table the player sets up any position; in a match only the cue ball in
            // hand moves, by the player on turn, within the D.
            if (practice(table) && seatOf(table, user) >= 0) {
                frame.placeBall(event.ball, event.ballValues[0], event.ballValues[1]);
                return true;
            }
            return onTurn && event.ball == BALL_WHITE && frame.placeCueBallInHand(event.ballValues[0], event.ballValues[1]);
        case TableEventType::BALL_REMOVED:
            if (!practice(table) || seatOf(table, user) < 0) return false;
            frame.removeBall(event.ball);
            return true;
        case TableEventType::LIVE_AIM_START:
            if (event.ball >= 0) return true;
            // The player's own clock ran out (-1); a claim (-2) the lobby does not judge. Neither is
            // an aim for the others to draw.
            if (event.ball == -1 && onTurn) {
                const int striker = frame.score().playerOn;
                frame.timeOut();
                rule(table, "yt " + std::to_string(striker));
                toTable(out, table.tableId, tableEvents({frame.status()}));
                sendMatchStats(out, table);
            }
            return false;
        case TableEventType::FOUL_PLAY_ON:
            return onTurn && frame.playOn();
        case TableEventType::FOUL_RETAKE:
            if (!onTurn || !frame.retake()) return false;
            rule(table, "");
            // The offender on turn first, so that the answer's notice names who plays.
            toTable(out, table.tableId, tableEvents({frame.status(), event}));
            return false;
        default:
            return true;
    }
}

void LocalLobby::rule(const TableListEntry& table, const std::string& event) {
    Game& game = games_[table.tableId];
    // Mends the replay that kept the turn and score of the stroke before a time-out or a retake.
    game.strokeMs += 1000;
    replays_.ruling(table.tableId, game.strokeMs, event, game.frame->status());
}
